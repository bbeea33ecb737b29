#pragma once

#include <QObject>
#include <QString>

namespace tovradocs {

// Opens the capture environment for its creator and reports back through its
// signals. Lives on the user-interface thread.
class Capturer : public QObject
{
    Q_OBJECT
public:
    explicit Capturer(QObject *parent = nullptr);
    ~Capturer() override;

    // Shows the capture window modeless; returns at once.
    void ShowCapture(const QString &caption);
    // As ShowCapture, but records one clip at once and then closes.
    void CaptureVideo(const QString &caption);
    void TransferFileEntryToDB(bool bVideofile, const QString &first, const QString &second);
    QString RequestNextTempFileName(bool video);

Q_SIGNALS:
    void ImageFileSaved(const QString &first, const QString &second);
    void VideoFileSaved(const QString &first, const QString &second);
    // Handlers connected with Qt::DirectConnection fill fileName.
    void GetNextTempVideoFileName(QString &fileName);
    void GetNextTempImageFileName(QString &fileName);
};

} // namespace tovradocs
