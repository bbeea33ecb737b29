#pragma once

#include <QList>
#include <QString>

namespace tovradocs::Internal {

// Ready-made illustrations of the demo practice, drawn here as drawing files
// rather than kept as binary files in the sources.
struct DemoIllustration
{
    QString description;
    QString path;
};

// The templates, written into folder.
QList<DemoIllustration> writeIllustrationTemplates(const QString &folder);
// Where the front desk keeps a patient's illustration.
QString patientIllustrationPath(const QString &libraryFolder, qint32 patientCode);
// A treatment plan drawn on the tooth chart; false when it cannot be written.
bool writeTreatmentPlanIllustration(const QString &path);

} // namespace tovradocs::Internal
