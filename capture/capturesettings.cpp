#include "capture/capturesettings.h"

#include <QApplication>
#include <QColor>
#include <QPalette>
#include <QSettings>

#include <memory>

namespace tovradocs::Internal::CaptureSettings {

namespace {

QString &iniFile()
{
    static QString file;
    return file;
}

std::unique_ptr<QSettings> open()
{
    if (!iniFile().isEmpty())
        return std::make_unique<QSettings>(iniFile(), QSettings::IniFormat);
    return std::make_unique<QSettings>(QSettings::IniFormat, QSettings::UserScope, componentTitle(),
                                       componentTitle());
}

QString keyOf(const QString &section, const QString &key)
{
    // QSettings reserves "/" and treats spaces fine; sections map to groups.
    return section + u'/' + key;
}

} // namespace

QString componentTitle() { return QStringLiteral("TovraDocs"); }

QString value(const QString &section, const QString &key, const QString &defaultValue)
{
    return open()->value(keyOf(section, key), defaultValue).toString();
}

void setValue(const QString &section, const QString &key, const QString &value)
{
    open()->setValue(keyOf(section, key), value);
}

void setFileName(const QString &file) { iniFile() = file; }

qint64 parseNumber(const QString &text, qint64 fallback)
{
    QString t = text.trimmed();
    bool ok = false;
    qint64 n = 0;
    if (t.startsWith(QLatin1String("&H"), Qt::CaseInsensitive)) {
        t = t.mid(2);
        if (t.endsWith(u'&'))
            t.chop(1);
        n = t.toLongLong(&ok, 16);
    } else {
        n = t.toLongLong(&ok, 10);
    }
    return ok ? n : fallback;
}

QColor colourOf(qint64 value)
{
    if (value == 0x80000005LL)
        return QApplication::palette().color(QPalette::Window);
    return QColor(int(value & 0xFF), int((value >> 8) & 0xFF), int((value >> 16) & 0xFF));
}

} // namespace tovradocs::Internal::CaptureSettings
