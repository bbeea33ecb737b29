#pragma once

#include <QString>
#include <QStringList>

namespace tovradocs::Internal {

// A settings file in the classic INI layout, kept line by line so that a save
// changes only the keys that were set and leaves comments, other sections and
// lines it cannot read as they were. Section and key names match without
// regard to case and are written exactly as given (blanks included).
class IniFile
{
public:
    IniFile() = default;
    explicit IniFile(const QString &path) { load(path); }

    // A missing or unreadable file reads as empty.
    bool load(const QString &path);
    void parse(const QByteArray &text);
    QByteArray text() const;
    // Atomic; false (and the file unchanged) when it cannot be written.
    bool save(const QString &path) const;

    bool contains(const QString &section, const QString &key) const;
    QString value(const QString &section, const QString &key, const QString &fallback = {}) const;
    // The leading integer of the value, as the private-profile service reads it.
    int intValue(const QString &section, const QString &key, int fallback) const;
    void setValue(const QString &section, const QString &key, const QString &value);

private:
    int findSection(const QString &section) const;
    int findKey(int sectionLine, const QString &key) const;

    QStringList m_lines;
};

} // namespace tovradocs::Internal
