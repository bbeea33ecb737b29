#pragma once

#include "icons/iconimage.h"

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QSet>
#include <QString>

#include <functional>

namespace tovradocs::Internal {

// Reads the icon resources of a PE file (.exe, .dll, .ocx, .cpl, .scr). The
// file is untrusted: every offset and size is checked against the file, the
// resource tree is walked to its fixed three levels only, a directory reached
// a second time refuses the file (loops and shared subtrees would multiply the
// work), and the entries walked and icons listed are capped, so damaged files
// are refused with a message and cost time and memory in proportion to their
// size.
class PeIconReader
{
public:
    // More icons than any real program holds; the rest of a file is not read.
    static constexpr int MaxIcons = 4096;
    // Directory entries walked in one file, about 2 MB of directories.
    static constexpr int MaxEntries = 256 * 1024;

    // True when the first bytes could start a PE file (the "MZ" stamp).
    static bool hasPeStamp(QByteArrayView head);

    // The reader keeps file and may refer to it by pointer: file may be raw
    // data (a mapped file) that outlives the reader.
    explicit PeIconReader(QByteArray file);

    bool isValid() const { return m_error.isEmpty(); }
    QString error() const { return m_error; }
    // Refused for damage, not merely for holding no resources (or being no PE file).
    bool isDamaged() const { return !isValid() && m_damaged; }
    // Why fewer icons are listed than the file names; empty when all are.
    QString note() const { return m_note; }

    // Icon groups in resource order; each one is an icon of the file.
    int iconCount() const { return int(m_groups.size()); }
    // The group's image closest to 32 x 32.
    Result<IconImage> icon(int index) const;
    // Which image of the file that is, as a key equal for groups naming the same image.
    Result<quint64> imageKey(int index) const;

private:
    struct Blob
    {
        quint32 offset = 0;
        quint32 size = 0;
    };
    using Entries = QList<std::pair<quint32, quint32>>;

    bool parse();
    bool fail(const QString &text, bool damaged = true);
    bool rvaToOffset(quint32 rva, quint32 size, quint32 &offset) const;
    bool readDirectory(quint32 at, Entries &entries);
    bool firstLeaf(quint32 entryValue, Blob &blob);
    Result<Blob> chooseImage(int index) const;

    QByteArray m_file;
    QString m_error;
    QString m_note;
    bool m_damaged = false;
    struct Section
    {
        quint32 va, vsize, raw, rawSize;
    };
    QList<Section> m_sections;
    quint32 m_resBase = 0;
    quint32 m_resSize = 0;
    QSet<quint32> m_visited; // directory offsets read so far
    int m_entriesRead = 0;
    QList<Blob> m_groups;
    QHash<quint16, Blob> m_images; // RT_ICON by id, the first of each
};

// What the grabber gets from one file.
struct FileIcons
{
    QList<IconImage> icons; // at 32 x 32
    // Why a file gave no icons or fewer than it names: damaged, unreadable or
    // cut short. Empty for files that simply hold none.
    QString problem;
    bool cancelled = false;
};

// Decoded pixels of one file's icons; a file of real icons stays far below.
constexpr qint64 MaxIconPixelsPerFile = 8 * 1024 * 1024;

// Number of icons in a file the grabber looks at: the icon groups of a PE
// file, one for an icon file, none for anything else. Reads only the first
// bytes of files that are neither.
int iconCountOfFile(const QString &path, QString *error = nullptr);
// Every icon of such a file at 32 x 32, reading it once; damaged icons are
// left out. Groups naming one image decode it once; stop is asked between
// icons and ends the work early when it answers true.
FileIcons iconsOfFile(const QString &path, const std::function<bool()> &stop = {});
// Icon index (0-based) of such a file.
Result<IconImage> iconOfFile(const QString &path, int index);

} // namespace tovradocs::Internal
