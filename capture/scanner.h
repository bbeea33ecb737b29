#pragma once

#include "component/result.h"

#include <QImage>
#include <QList>
#include <QObject>
#include <QRectF>
#include <QString>
#include <QStringList>

#include <atomic>
#include <memory>

class QThread;

namespace tovradocs::Internal {

struct ScanDevice
{
    QString name; // what the backend opens, e.g. "test:0"
    QString description;
};

// What a device offers, read from its options.
struct ScanDeviceCaps
{
    QStringList modes;
    QList<int> resolutions; // dots per inch
    QSizeF maxAreaMm;
};

struct ScanRequest
{
    QString device;
    QString mode = QStringLiteral("Color");
    int resolution = 150;
    QRectF areaMm; // empty: the whole bed
    // Extra backend options by name ("test-picture"), set when the device has them.
    QList<QPair<QByteArray, QString>> extra;
};

// Scanning through SANE. Devices are listed and described on the calling
// thread; scans run on a worker thread and report through signals.
class Scanner : public QObject
{
    Q_OBJECT
public:
    enum Outcome { Scanned, Cancelled, NoDocument, Failed };
    Q_ENUM(Outcome)

    explicit Scanner(QObject *parent = nullptr);
    ~Scanner() override;

    static Result<QList<ScanDevice>> devices();
    static Result<ScanDeviceCaps> capabilities(const QString &device);

    void start(const ScanRequest &request);
    // Asks the backend to stop; finished(Cancelled, ...) follows.
    void cancel();
    bool isRunning() const;

Q_SIGNALS:
    void progress(int percent);
    // image is null unless outcome is Scanned.
    void finished(tovradocs::Internal::Scanner::Outcome outcome, const QString &message,
                  const QImage &image);

private:
    struct Job;
    std::shared_ptr<Job> m_job;
    QThread *m_thread = nullptr;
    bool m_busy = false;
};

} // namespace tovradocs::Internal
