#include "support/testhost.h"

#include "component/dialogservice.h"

#include <tovradocs/recordset.h>

#include <QComboBox>
#include <QDebug>
#include <QFile>

namespace tovradocs::Testing {

std::shared_ptr<ReferenceHost> openTestHost(const QString &folder, bool demoPractice)
{
    HostOptions options;
    options.database = folder + QStringLiteral("/practice.db");
    options.libraryFolder = folder + QStringLiteral("/Library");
    options.dataFolder = folder;
    options.createDemoPractice = demoPractice;
    auto host = ReferenceHost::open(options);
    if (!host) {
        qWarning() << "test host:" << host.error();
        return nullptr;
    }
    return host.value();
}

QStringList messageTexts(const Internal::ScriptedResponder &responder)
{
    QStringList texts;
    for (const Internal::Prompt &p : responder.prompts())
        if (p.kind == Internal::Prompt::Message)
            texts << p.text;
    return texts;
}

qint64 scalar(DataLink &host, const QString &sql)
{
    std::unique_ptr<Recordset> rs;
    host.FillRecordSet(rs, sql);
    return rs && rs->recordCount() > 0 ? rs->value(rs->fieldNames().constFirst()).toLongLong() : -1;
}

QVariantMap contentRow(DataLink &host, qint32 entryCode)
{
    std::unique_ptr<Recordset> rs;
    QVariantMap values;
    if (!host.FillRecordSet(rs,
                            QStringLiteral("Select * From BookContents where Entry_Code = ")
                                + QString::number(entryCode))
        || !rs || rs->isEof())
        return values;
    for (const QString &field : rs->fieldNames())
        values.insert(field.toLower(), rs->value(field));
    rs->close();
    return values;
}

QStringList fieldTexts(const QVariantMap &row, const QStringList &expected)
{
    QStringList texts;
    for (const QString &line : expected) {
        const QString field = line.section(u'=', 0, 0);
        texts << field + u'=' + row.value(field).toString();
    }
    return texts;
}

QStringList itemTexts(const QComboBox *combo)
{
    QStringList texts;
    for (int i = 0; i < combo->count(); ++i)
        texts << combo->itemText(i);
    return texts;
}

bool writeFile(const QString &path, const QByteArray &content)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(content) == content.size();
}

QByteArray fileContents(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QObject *findNamed(const QObject *parent, const char *name)
{
    QObject *found = parent->findChild<QObject *>(QString::fromLatin1(name));
    if (!found)
        qFatal("no control %s", name);
    return found;
}

} // namespace tovradocs::Testing
