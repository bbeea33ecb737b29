#pragma once

#include <QColor>
#include <QFont>
#include <QImage>
#include <QPointer>
#include <QString>
#include <QVariant>

#include <memory>

class QPainter;
class QWidget;

namespace tovradocs::Internal {

class frmMultiPgPreview;

// The one drawing surface every printed page goes through. Positions and
// sizes are inches from the top-left corner of the printer's printable area.
// With SendToPrinter the operations draw on the system printer; otherwise on a
// page canvas at screen resolution, each finished page saved as
// <temp>/PPview<n>.bmp and shown in the preview window at the end.
class clsMultiPgPreview
{
public:
    clsMultiPgPreview();
    ~clsMultiPgPreview();
    clsMultiPgPreview(const clsMultiPgPreview &) = delete;
    clsMultiPgPreview &operator=(const clsMultiPgPreview &) = delete;

    // The module-wide engine the setup window, preview window and composers share.
    static clsMultiPgPreview *shared();
    static void setShared(std::unique_ptr<clsMultiPgPreview> engine);
    static void releaseShared();

    bool SendToPrinter() const { return m_sendToPrinter; }
    void setSendToPrinter(bool value) { m_sendToPrinter = value; }
    qint16 PrintCopies() const;
    void setPrintCopies(qint16 value);
    qint16 Orientation() const { return m_orientation; }
    void setOrientation(qint16 value);
    qint16 ColorMode() const { return m_colorMode; }
    void setColorMode(qint16 value);
    QString FontName() const;
    void setFontName(const QString &name);
    qint16 FontSize() const;
    void setFontSize(qint16 size);
    bool FontBold() const;
    void setFontBold(bool on);
    bool FontItalic() const;
    void setFontItalic(bool on);
    bool FontUnderline() const;
    void setFontUnderline(bool on);
    bool FontStrikethru() const;
    void setFontStrikethru(bool on);
    qint32 ForeColor() const;
    void setForeColor(qint32 bgr);
    float CurrentX() const;
    void setCurrentX(float x);
    float CurrentY() const;
    void setCurrentY(float y);
    qint16 DrawWidth() const;
    void setDrawWidth(qint16 width);
    qint32 BackColor() const;
    void setBackColor(qint32 bgr);
    bool FontTransparent() const;
    void setFontTransparent(bool on);
    QString ReportTitle() const { return m_reportTitle; }
    void setReportTitle(const QString &title) { m_reportTitle = title; }
    QString ReportSubTitle() const { return m_reportSubTitle; }
    void setReportSubTitle(const QString &title) { m_reportSubTitle = title; }

    // Choices of the print setup window for the page composers; never read here.
    qint16 PrintTemplate = 0;
    bool PrintDrNames = false;
    bool PrintPatientName = false;
    bool PrintImageDescription = false;
    bool PrintBoundingBox = false;

    float GetPaperWidth() const { return m_pageWidth; }
    float GetPaperHeight() const { return m_pageHeight; }
    QVariant GetPage() const;
    float GetTextWidth(const QVariant &text) const;
    float GetTextHeight(const QString &text) const;

    void pStartDoc();
    void pNewPage();
    bool pEndOfPage(float extra, bool withFooter);
    // owner may be null; returns when a modal preview has closed.
    void pEndDoc(quint8 modal, QWidget *owner);
    void pPrintPicture(const QImage &picture, float X = -1, float Y = -1, float width = 0,
                       float height = 0, bool fitToPage = false, bool keepAspect = true);
    void pBox(float X, float Y, float width, float height, qint32 border = -1, qint32 fill = -1,
              qint16 fillStyle = 1);
    void pCircle(float X, float Y, float radius, qint32 border = -1, qint32 fill = -1,
                 qint16 fillStyle = 1, float aspect = 1);
    void pLine(float fromX = -1, float toX = -1, qint16 width = 0, bool spaced = true);
    void pDoubleLine(float fromX = 0, float toX = -1, qint16 width = 0, bool spaced = true);
    void pVerticalLine(float X = -1, float fromY = -1, float toY = -1, qint16 width = 0);
    void pPrintRotate(const QString &text, int angle, float X = -1);

    // Text layout.
    void pPrint(const QString &text = QString(), float X = -1, bool noLineEnd = false);
    void pMultiline(const QVariant &text, float left, float right, const QString &indent,
                    bool noLineEnd, bool pageBreaks);
    void pCenter(const QString &text, bool noLineEnd = false, float fieldWidth = -1, float left = 0);
    void pCenterMultiline(const QVariant &text, float left, float right = -1, bool keep = true,
                          bool noLineEnd = false);
    void pRightJust(const QVariant &text, float right = -1, bool noLineEnd = false);
    void pRightTab(const QVariant &text, float distance, bool noLineEnd = false);
    void pHalfSpace();
    void pQuarterSpace();
    void p15Space();
    void pSpaces(float toX = -1, float fromX = -1, bool symbols = false);
    void pDots(float toX, float fromX = -1);
    void pBullet(float X = -1);
    void pHeader(const QString &title = QString(), const QVariant &subtitle = QVariant(),
                 const QVariant &titleItalic = QVariant());
    void pFooter(QString &text);
    void pPrintedDate(bool centred = true, float X = -1, bool noLineEnd = false);
    void pCancled();
    void pFontName(const QString &name) { setFontName(name); }

    static QString GetRemoveCRLF(const QString &text);
    static QString GetFormalCase(const QString &text);
    static QString GetStripQuotes(const QString &text);

    // Folder of the preview page files; tests point it elsewhere.
    static QString pageFolder();
    static QString pageFile(int index);
    // The preview window of the document being previewed (null otherwise).
    frmMultiPgPreview *previewWindow() const;
    // Resolution of the destination in dots per inch.
    double dpiX() const;
    double dpiY() const;
    // Painter of the destination while a document is open (null otherwise).
    QPainter *painter() const;

private:
    struct Surface;
    Surface &cur();
    const Surface &cur() const;
    void printText(const QString &text, bool noLineEnd);
    void printLinePiece(const QString &piece, float left, bool clean, bool trimmed);
    void drawLine(float x1, float y1, float x2, float y2);
    void savePage();
    float textWidth(const QString &text) const;

    std::unique_ptr<Surface> m_printer;
    std::unique_ptr<Surface> m_canvas;
    QPointer<frmMultiPgPreview> m_window;
    QImage m_canvasImage;
    bool m_sendToPrinter = true;
    bool m_printerOpen = false;
    qint16 m_orientation = 1;
    qint16 m_colorMode = 2;
    float m_pageWidth = 0;
    float m_pageHeight = 0;
    int m_pageIndex = 0;
    int m_printerPage = 1;
    QString m_reportTitle;
    QString m_reportSubTitle;
    bool m_titleItalic = true;
};

} // namespace tovradocs::Internal
