#include "library/importcheck.h"

#include "component/fileprobe.h"

namespace tovradocs::Internal {

FileCheck checkImportFile(const QString &path)
{
    const FileProbe probe = inspectFile(path);
    FileCheck check;
    switch (probe.problem) {
    case FileProbe::None: return check;
    case FileProbe::Missing: check.problem = FileCheck::Missing; break;
    case FileProbe::Empty: check.problem = FileCheck::Empty; break;
    case FileProbe::Truncated: check.problem = FileCheck::Truncated; break;
    default: check.problem = FileCheck::Unreadable; break;
    }
    // The grid names the file beside the reason: "The file is cut short (...)."
    QString clause = probe.clause;
    if (clause.startsWith(QLatin1String("it ")))
        clause = QStringLiteral("The file ") + clause.mid(3);
    else if (!clause.isEmpty())
        clause[0] = clause[0].toUpper();
    check.reason = clause + QLatin1Char('.');
    return check;
}

} // namespace tovradocs::Internal
