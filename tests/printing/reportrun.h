#pragma once

#include <tovradocs/datalink.h>
#include <tovradocs/mediamanager.h>

#include <QDir>
#include <QTemporaryDir>

#include <memory>

// What the printing tests share around a report run.
namespace reportrun {

// Printing writes temporary pictures; keep them in the test's own folder.
inline void keepTemporaryFilesIn(const QTemporaryDir &temp)
{
    const QString folder = temp.filePath(QStringLiteral("tmp"));
    qputenv("TMPDIR", folder.toLocal8Bit());
    QDir().mkpath(folder);
}

// Runs the patient report as a host would: its own manager, no parent window.
// The print dialog and file name are answered by the test's responder.
inline void print(const std::shared_ptr<tovradocs::DataLink> &link, tovradocs::PtImageReports kind, qint32 visit,
                  const QString &chart)
{
    tovradocs::MediaManager manager;
    QWidget *none = nullptr;
    manager.SetDataLink(link, none);
    manager.RunPatientReportWithImages(kind, visit, chart, 41, 1);
}

} // namespace reportrun
