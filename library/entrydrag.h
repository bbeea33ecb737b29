#pragma once

#include <QList>
#include <QString>

class QMimeData;

namespace tovradocs::Internal {

class ImgView;

// Pages dragged out of the library window carry their entry codes only: a
// file list would make the library's own page area import them again.
inline const QString kEntryMimeType = QStringLiteral("application/x-tovradocs-entries");

QMimeData *mimeDataForEntries(const QList<qint32> &entryCodes);
QList<qint32> entryCodesFromMimeData(const QMimeData *data);

// Lets a page's picture be dragged: its tag is the entry code.
void enableEntryDrag(ImgView *picture);

} // namespace tovradocs::Internal
