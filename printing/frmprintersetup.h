#pragma once

#include <QDialog>

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QScrollBar;

namespace tovradocs::Internal {

// "Printer Setup": printer, page layout of the pictures, what is printed with
// them and the printer's options. Preview or Print hand the choices to the
// shared preview engine and the printer; the printer and the copy count are
// remembered for the next time.
class frmPrinterSetUp : public QDialog
{
public:
    explicit frmPrinterSetUp(QWidget *parent = nullptr);

    // True when the last window was left without Preview or Print.
    static bool cancelled();

    // The settings store of the component, section "Options".
    static QString savedPrinter();
    static QString savedCopies();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void buildControls();
    void choosePrinter();
    void orientationClicked(int index);
    void qualityClicked(int index);
    void copiesChanged();
    void showProperties();
    void apply(bool print);
    void showPrinterState();
    void updatePictures();

    QString m_printerName;
    QComboBox *m_cboPrinter = nullptr;
    QLineEdit *m_txtDriver = nullptr;
    QLineEdit *m_txtPort = nullptr;
    QComboBox *m_cboPrintTemplates = nullptr;
    QCheckBox *m_chkDrNames = nullptr;
    QCheckBox *m_chkPatientName = nullptr;
    QCheckBox *m_chkPrintImageDescription = nullptr;
    QCheckBox *m_chkPrintBoundingBox = nullptr;
    QGroupBox *m_fraOrien = nullptr;
    QButtonGroup *m_optOrien = nullptr;
    QButtonGroup *m_optColor = nullptr;
    QButtonGroup *m_optQuality = nullptr;
    QButtonGroup *m_optDuplex = nullptr;
    QLineEdit *m_txtCopies = nullptr;
    QScrollBar *m_vscroll = nullptr;
    QLabel *m_imgPrinterOrien = nullptr;
    QLabel *m_imgPrinterQuality = nullptr;
    QLabel *m_imgPrinterDuplex = nullptr;
    QLabel *m_imgQuality = nullptr;
    QLabel *m_imgDuplex = nullptr;
    QLabel *m_imgCopies = nullptr;
};

} // namespace tovradocs::Internal
