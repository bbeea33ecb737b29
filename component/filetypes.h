#pragma once

#include <QByteArrayView>
#include <QString>

class QWidget;

namespace tovradocs::Internal {

// What kind of media a file is and which viewer shows it, from its name alone,
// and the small file utilities every window uses. None of these throws.

QString fileExtension(const QString &fileName);    // upper case, no dot; "" when none
qint32 fileViewer(const QString &extension);       // viewer kind 1..10, 100, 101
// Radiograph mounts (component/mount.h): stored as documents, opened by the
// mount window rather than handed to the host.
inline constexpr qint32 kMountKind = 10;

// The one classification every writer and reader of entries uses. A known
// extension decides; a file with none or an unknown one is recognised by its
// first bytes (at most 4 KiB are read): 1 picture, 2 video, 5 PDF, 101 unknown.
qint32 classifyFile(const QString &fileName);
qint32 contentViewer(QByteArrayView head);
// The entry type a writer stores: 1 for a picture and 2 for a video whatever
// the writer was asked for, else the type the writer gives its documents.
qint32 entryTypeFor(const QString &fileName, qint32 documentType);
// How a stored row is shown, viewed and printed: a picture or video that an
// older writer stored under a document type is what its file is.
qint32 shownEntryType(qint32 storedType, const QString &fileName);
// "*.bmp;*.jpg;..." of every extension of a viewer kind.
QString kindPatterns(qint32 kind);
// patterns followed by those of the kind it lacks, in the kind's order.
QString withKindPatterns(const QString &patterns, qint32 kind);
QString viewerFilterString(qint32 subDocumentType); // elements separated by one '\0'
QString docTypeFilterString(qint32 docType);
bool isRelativePath(const QString &filePath);      // LIBRARY, HELP, WORKSPC, BACKUP
bool doesFileExist(const QString &fileName);
bool folderExists(const QString &path);
QString fileTitle(const QString &path);            // after the last '\' or '/'
QString tempFolder();
// Creates a unique "Tow" file in the temporary folder and returns its name
// with "." & extension appended (the created stem file is left for the caller).
QString tempFileName(const QString &extension);

// Converts a zero-separated filter ("Desc\0*.a\0Desc2\0*.b") into Qt's form.
QString qtFilterFromZeroSeparated(const QString &filter);

// Remembered picker drive and folder, cleared when a MediaManager is created.
QString &lastPickerDrive();
QString &lastPickerFolder();

// The common open (mode 1) or save (other modes) dialog. Empty when cancelled.
QString commonFileDialog(QWidget *owner, qint16 mode, const QString &title,
                         const QString &fileName, const QString &zeroSeparatedFilter,
                         const QString &initialDir, const QString &defaultExt);

// Our properties dialog: name, type, size, dates, dimensions for images.
void showFileProperties(QWidget *owner, const QString &fileName);

// Where ViewFile sends what it does not hand to the host.
class ViewerTargets
{
public:
    virtual ~ViewerTargets() = default;
    virtual bool showVideo(const QString &path, const QString &caption) = 0;
    virtual bool showBrowser(const QString &address, const QString &caption) = 0;
};

// ViewFile: web addresses go to the browser, missing files show nothing,
// kinds 1, 4, 5, 7, 8, 9 go to the host's ViewExtendedFile.
bool viewFile(const QString &fileName, const QString &caption, ViewerTargets &targets);

} // namespace tovradocs::Internal
