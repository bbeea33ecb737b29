#include <tovradocs/mediamanager.h>

#include "component/hostlink.h"
#include "illustrator/illustrator.h"
#include "illustrator/printillustration.h"

// The members of MediaManager that open the illustrator's windows.

namespace tovradocs {

using namespace Internal;

void MediaManager::EditIllustration(const QString &IllustrationName, const QString &Illustrationfile,
                                    qint32 DocumentId, qint32 ParentTblID, qint32 ParentRecID, bool bIsolated)
{
    trapErrors(QStringLiteral("MediaManager"), [&] {
        Illustrator window(parentWindow());
        window.EditIllustration(IllustrationName, Illustrationfile, DocumentId, ParentTblID, ParentRecID,
                                bIsolated);
    });
}

void MediaManager::ShowIllustrationPrint(const QString &IlsFile, qint32 DocID, qint32 IllustrationID)
{
    trapErrors(QStringLiteral("MediaManager"), [&] {
        PrintIllustration window(parentWindow());
        window.ShowIllustrationPrint(IlsFile, DocID, IllustrationID);
    });
}

} // namespace tovradocs
