#pragma once

#include "component/pagetable.h"

#include <tovradocs/enums.h>

#include <QPointer>
#include <QString>

class QImage;
class QObject;
class QWidget;

namespace tovradocs {
class Recordset;
}

namespace tovradocs::Internal {

class clsMultiPgPreview;

// Prints library pictures in the layout chosen in "Printer Setup", optionally
// after the visit report of a patient, and prints recordsets as grid
// reports. Each operation shows the setup window, composes the document for
// the preview and composes it again when the user prints from the preview.
class Previewer
{
public:
    explicit Previewer(QWidget *owner = nullptr);

    // Looks at entries 1 to count of table; prints those selected ("1"), of
    // type 1 and with an existing file.
    void ShowPrintPreview(const PageTable &table, qint16 unused, qint16 count,
                          PtImageReports reportKind = pirNone, qint32 visitCode = 0,
                          const QString &chartFile = QString(), qint32 patientCode = 0,
                          qint16 patientAge = 0, qint32 reportCode = 0, Recordset *first = nullptr,
                          Recordset *second = nullptr, QObject *grid = nullptr);
    // grid: a QTableView; its visible columns give caption, width and the
    // field (header data of Qt::UserRole, else the caption).
    void ShowCrossTabReport(Recordset *first, Recordset *second, QObject *grid);

    // The page layouts of the setup window, by number.
    enum Layout {
        OnePerPage = 1,
        TwoHorizontal,
        TwoVertical,
        FourGrid,
        FourHorizontal,
        FourVertical,
    };

private:
    template<typename Compose>
    void run(Compose &&compose);
    // afterReport: the pictures start on a page of their own, but only when there is one to print.
    void composeImages(const PageTable &table, int count, bool afterReport);
    void pageHeading();
    // Both report composers: false when they printed nothing.
    bool patientReport(qint32 reportKind, qint32 visitCode, const QString &chartFile,
                       qint32 patientCode, qint16 patientAge, qint32 reportCode);
    bool gridReport(Recordset *first, QObject *grid);
    // Draws picture (natural size in inches) in the cell; false when nothing was drawn.
    bool printCell(const QImage &picture, QSizeF natural, double X, double Y, double w, double h,
                   const QString &caption);

    QPointer<QWidget> m_owner;
    clsMultiPgPreview *m_engine = nullptr;
};

// Where the cell operation puts a picture of natural size (inches) into a
// cell; empty when the picture has no size. Never outside the cell.
QRectF pictureRectInCell(QSizeF natural, double X, double Y, double w, double h, double captionHeight);

} // namespace tovradocs::Internal
