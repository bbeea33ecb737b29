#include "standardlists.h"

#include "referencehost.h"

#include <tovradocs/recordset.h>

#include <exception>
#include <iterator>

namespace tovradocs::Internal {

namespace standardlists {

bool hasRows(ReferenceHost &host, const QString &sql)
{
    std::unique_ptr<Recordset> rs;
    return host.FillRecordSet(rs, sql) && rs && !rs->isEof();
}

} // namespace standardlists

Outcome ensureStandardLists(ReferenceHost &host)
{
    try {
        if (!standardlists::hasRows(host, QStringLiteral("Select * from DocumentCategories where Entry_Code > 0"))) {
            static const char *categories[] = {"Brochures", "Consent Forms", "Intraoral Photos",
                                               "Referral Letters", "Treatment Plans", "X-Rays"};
            for (int i = 0; i < int(std::size(categories)); ++i)
                host.ExecuteStmt(false, QStringLiteral("Insert Into DocumentCategories (Entry_Code, Description) "
                                                       "Values (%1, '%2')").arg(i + 1).arg(QLatin1String(categories[i])));
        }
        if (!standardlists::hasRows(host, QStringLiteral("Select * from SystemLists where ParentID = 71"))) {
            // Entry_Code and SubID coincide, so either one names the same effect.
            static const char *transitions[] = {"None", "Fade", "Dissolve", "Wipe Left", "Wipe Right",
                                                "Wipe Up", "Wipe Down", "Slide Left", "Slide Right", "Zoom In",
                                                "Box Out", "Blinds"};
            for (int i = 0; i < int(std::size(transitions)); ++i)
                host.ExecuteStmt(false, QStringLiteral("Insert Into SystemLists (Entry_Code, SubID, Description, ParentID) "
                                                       "Values (%1, %1, '%2', 71)").arg(i + 1).arg(QLatin1String(transitions[i])));
        }
    } catch (const std::exception &e) {
        return Outcome::failure(QStringLiteral("The standard lists could not be written: %1")
                                    .arg(QString::fromLocal8Bit(e.what())));
    }
    return {};
}

} // namespace tovradocs::Internal
