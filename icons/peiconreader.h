#pragma once

#include "icons/iconimage.h"

#include <QByteArray>
#include <QList>
#include <QString>

namespace tovradocs::Internal {

// Reads the icon resources of a PE file (.exe, .dll, .ocx, .cpl, .scr). The
// file is untrusted: every offset and size is checked against the file, the
// resource tree is walked to its fixed three levels only, and entry counts are
// capped, so damaged files are refused with a message and never loop.
class PeIconReader
{
public:
    // True when the first bytes could start a PE file (the "MZ" stamp).
    static bool hasPeStamp(QByteArrayView head);

    explicit PeIconReader(QByteArray file);

    bool isValid() const { return m_error.isEmpty(); }
    QString error() const { return m_error; }

    // Icon groups in resource order; each one is an icon of the file.
    int iconCount() const { return int(m_groups.size()); }
    // The group's image closest to 32 x 32.
    Result<IconImage> icon(int index) const;

private:
    struct Blob
    {
        quint32 offset = 0;
        quint32 size = 0;
    };
    struct IconEntry
    {
        quint32 id = 0;
        Blob data;
    };

    bool parse();
    bool fail(const QString &text);
    bool rvaToOffset(quint32 rva, quint32 size, quint32 &offset) const;
    bool readDirectory(quint32 at, QList<std::pair<quint32, quint32>> &entries) const;
    bool firstLeaf(quint32 entryValue, Blob &blob) const;

    QByteArray m_file;
    QString m_error;
    struct Section
    {
        quint32 va, vsize, raw, rawSize;
    };
    QList<Section> m_sections;
    quint32 m_resBase = 0;
    quint32 m_resSize = 0;
    QList<Blob> m_groups;
    QList<IconEntry> m_icons;
};

// Number of icons in a file the grabber looks at: the icon groups of a PE
// file, one for an icon file, none for anything else. Reads only the first
// bytes of files that are neither.
int iconCountOfFile(const QString &path, QString *error = nullptr);
// Every icon of such a file, reading it once; damaged icons are left out.
QList<IconImage> iconsOfFile(const QString &path);
// Icon index (0-based) of such a file.
Result<IconImage> iconOfFile(const QString &path, int index);

} // namespace tovradocs::Internal
