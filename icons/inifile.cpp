#include "icons/inifile.h"

#include <QFile>
#include <QSaveFile>

namespace tovradocs::Internal {

namespace {

// "[Name]" with optional blanks around; anything else is not a section line.
bool sectionName(const QString &line, QString &name)
{
    const QString t = line.trimmed();
    if (t.size() < 2 || !t.startsWith(u'[') || !t.endsWith(u']'))
        return false;
    name = t.mid(1, t.size() - 2).trimmed();
    return true;
}

bool keyLine(const QString &line, QString &key, QString &value)
{
    const QString t = line.trimmed();
    if (t.isEmpty() || t.startsWith(u';') || t.startsWith(u'#'))
        return false;
    const qsizetype eq = t.indexOf(u'=');
    if (eq <= 0)
        return false;
    key = t.left(eq).trimmed();
    value = t.mid(eq + 1).trimmed();
    return !key.isEmpty();
}

} // namespace

bool IniFile::load(const QString &path)
{
    m_lines.clear();
    QFile f(path);
    // Settings files are a few hundred bytes; a huge one is not ours to read.
    if (!f.open(QIODevice::ReadOnly) || f.size() > 1024 * 1024)
        return false;
    parse(f.readAll());
    return true;
}

void IniFile::parse(const QByteArray &text)
{
    m_lines.clear();
    const QString all = QString::fromUtf8(text);
    m_lines = all.split(u'\n');
    for (QString &l : m_lines)
        if (l.endsWith(u'\r'))
            l.chop(1);
    while (!m_lines.isEmpty() && m_lines.last().isEmpty())
        m_lines.removeLast();
}

QByteArray IniFile::text() const
{
    QByteArray out;
    for (const QString &l : m_lines)
        out += l.toUtf8() + "\r\n";
    return out;
}

bool IniFile::save(const QString &path) const
{
    QSaveFile f(path);
    if (!f.open(QIODevice::WriteOnly))
        return false;
    f.write(text());
    return f.commit();
}

int IniFile::findSection(const QString &section) const
{
    QString name;
    for (int i = 0; i < m_lines.size(); ++i)
        if (sectionName(m_lines.at(i), name) && name.compare(section, Qt::CaseInsensitive) == 0)
            return i;
    return -1;
}

int IniFile::findKey(int sectionLine, const QString &key) const
{
    QString name, k, v;
    for (int i = sectionLine + 1; i < m_lines.size(); ++i) {
        if (sectionName(m_lines.at(i), name))
            break;
        if (keyLine(m_lines.at(i), k, v) && k.compare(key, Qt::CaseInsensitive) == 0)
            return i;
    }
    return -1;
}

bool IniFile::contains(const QString &section, const QString &key) const
{
    const int s = findSection(section);
    return s >= 0 && findKey(s, key) >= 0;
}

QString IniFile::value(const QString &section, const QString &key, const QString &fallback) const
{
    const int s = findSection(section);
    const int line = s < 0 ? -1 : findKey(s, key);
    if (line < 0)
        return fallback;
    QString k, v;
    keyLine(m_lines.at(line), k, v);
    return v;
}

int IniFile::intValue(const QString &section, const QString &key, int fallback) const
{
    if (!contains(section, key))
        return fallback;
    const QString v = value(section, key);
    qsizetype end = 0;
    if (end < v.size() && (v[end] == u'-' || v[end] == u'+'))
        ++end;
    while (end < v.size() && v[end].isDigit() && end < 10)
        ++end;
    bool ok = false;
    const int n = v.left(end).toInt(&ok);
    return ok ? n : 0;
}

void IniFile::setValue(const QString &section, const QString &key, const QString &value)
{
    const QString line = key + u'=' + value;
    int s = findSection(section);
    if (s < 0) {
        m_lines << u'[' + section + u']' << line;
        return;
    }
    const int k = findKey(s, key);
    if (k >= 0) {
        m_lines[k] = line;
        return;
    }
    // After the section's last key, before any blank lines that separate sections.
    int at = s + 1;
    QString name;
    while (at < m_lines.size() && !sectionName(m_lines.at(at), name))
        ++at;
    while (at > s + 1 && m_lines.at(at - 1).trimmed().isEmpty())
        --at;
    m_lines.insert(at, line);
}

} // namespace tovradocs::Internal
