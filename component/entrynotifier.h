#pragma once

#include <QObject>

namespace tovradocs::Internal {

// Tells open windows that a writer added an entry to a book, so a mount
// being filled from capture can take the picture. UI thread only.
class EntryNotifier : public QObject
{
    Q_OBJECT

public:
    static EntryNotifier *instance();

Q_SIGNALS:
    void entryAdded(qint32 bookCode, qint32 entryCode, qint32 entryType);
};

} // namespace tovradocs::Internal
