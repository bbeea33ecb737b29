#pragma once

#include <QList>
#include <QStringList>
#include <QUrl>

class QMimeData;

namespace tovradocs::Internal {

// File lists on the clipboard and in drops, as the desktop's file managers
// write them: text/uri-list, and their own "copied files" types, which some
// of them put there alone.
struct ClipboardFiles
{
    QStringList paths;   // local files, in order, without repeats
    QStringList refused; // entries that name no local file we can open, as given
};

// Reads every file list type data holds. Never throws; non-file content gives
// an empty result.
ClipboardFiles filesFromMimeData(const QMimeData *data);

// The local path a file URL names, or "" when it names none here: other
// schemes, another machine, names that are not valid in the file system's
// encoding.
QString localPathFromUrl(const QByteArray &encodedUrl);

// A new QMimeData holding paths as text/uri-list and as the file managers'
// copied-files types, so a paste in a file manager copies the files.
QMimeData *mimeDataForFiles(const QStringList &paths);

} // namespace tovradocs::Internal
