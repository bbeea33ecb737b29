#pragma once

#include "component/result.h"

#include <QString>

namespace tovradocs {

class ReferenceHost;

namespace Internal {

// The demo practice: patients, visits, books with pictures the program draws,
// documents, categories, transitions, tutorial videos and a few clinical rows.
class DemoPractice
{
public:
    // True when the database holds no patients and no books.
    static bool isEmpty(ReferenceHost &host);
    // Fills an empty database; does nothing to one that holds data.
    static Outcome create(ReferenceHost &host);
    // Two short tutorial clips in folder, which becomes the tutorial folder
    // unless the user has one.
    static void makeTutorialClips(const QString &folder);
    // Where the dental chart picture of a visit is kept.
    static QString chartFile(const QString &libraryFolder, qint32 visitCode);
};

} // namespace Internal
} // namespace tovradocs
