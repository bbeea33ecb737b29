#pragma once

#include "capture/scanner.h"

#include <QDialog>
#include <QPointer>

class QComboBox;
class QDoubleSpinBox;
class QLabel;
class QProgressBar;
class QPushButton;

namespace tovradocs::Internal {

// The scan dialog: scanner, mode, resolution and area, a preview of the bed,
// and the scan itself with progress and cancel. Accepted with the page.
class ScanDialog : public QDialog
{
    Q_OBJECT
public:
    explicit ScanDialog(QWidget *parent);
    ~ScanDialog() override;

    QImage image() const { return m_image; }
    Scanner *scanner() const { return m_scanner; }
    // Backend options set on every scan; tests choose the test device's picture.
    static void setExtraOptions(QList<QPair<QByteArray, QString>> options);

private:
    void deviceChosen();
    void startScan(bool preview);
    void scanFinished(Scanner::Outcome outcome, const QString &message, const QImage &image);
    void cancelClicked();
    void showPreview();
    ScanRequest request(bool preview) const;

    Scanner *m_scanner;
    QComboBox *m_devices;
    QComboBox *m_modes;
    QComboBox *m_resolutions;
    QDoubleSpinBox *m_left;
    QDoubleSpinBox *m_top;
    QDoubleSpinBox *m_width;
    QDoubleSpinBox *m_height;
    QLabel *m_preview;
    QProgressBar *m_progress;
    QPushButton *m_previewButton;
    QPushButton *m_scanButton;
    QPushButton *m_cancel;
    QImage m_previewImage;
    QSizeF m_bedMm;
    QImage m_image;
    bool m_previewing = false;
    QPointer<QWidget> m_focusBeforeScan;
};

} // namespace tovradocs::Internal
