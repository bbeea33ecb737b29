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

// Checks a file before it is imported: that it exists and opens, is not empty,
// and that its header reads and its data is not cut short (pictures, videos
// and PDF files). Cheap on purpose: headers, sizes and a few seeks, never a
// full decode; a JPEG without its end marker at the very end is the one case
// that reads the whole file. Safe on any thread; never throws.
FileCheck checkImportFile(const QString &path);

} // namespace tovradocs::Internal
