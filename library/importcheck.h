#pragma once

#include <QString>

namespace tovradocs::Internal {

// What keeps a file offered for import from going in as what it claims to be.
struct FileCheck
{
    enum Problem { NoProblem, Missing, Unreadable, Empty, Truncated };
    Problem problem = NoProblem;
    QString reason; // one short sentence for the import grid; empty when fine

    bool isFine() const { return problem == NoProblem; }
    static FileCheck fine() { return {}; }
};

// Checks a file before it is imported, with the same probe the thumbnails and
// "View" use (inspectFile): that it exists and opens, is not empty, and that
// its structure is whole and its header reads. Safe on any thread.
FileCheck checkImportFile(const QString &path);

} // namespace tovradocs::Internal
