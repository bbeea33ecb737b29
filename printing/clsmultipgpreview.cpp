#include "printing/clsmultipgpreview.h"

#include "component/dialogservice.h"
#include "component/hostlink.h"
#include "printing/frmmultipgpreview.h"
#include "printing/systemprinter.h"

#include <QDir>
#include <QFontMetricsF>
#include <QPainter>
#include <QPrinter>

#include <algorithm>
#include <cmath>

namespace tovradocs::Internal {

namespace multipgpreview {

constexpr double kCanvasDpi = 96.0;
// Printer line widths are counted in the dots of a 600 dpi printer.
constexpr double kPrinterLineDots = 600.0;
constexpr float kGap = 0.03f;

std::unique_ptr<clsMultiPgPreview> &sharedEngine()
{
    static std::unique_ptr<clsMultiPgPreview> engine;
    return engine;
}

QColor fromBgr(qint32 bgr)
{
    return QColor(bgr & 0xFF, (bgr >> 8) & 0xFF, (bgr >> 16) & 0xFF);
}

qint32 toBgr(const QColor &c) { return c.red() | (c.green() << 8) | (c.blue() << 16); }

// The device text is measured on before a document opens.
QPaintDevice *screenDevice()
{
    static QImage image = [] {
        QImage i(1, 1, QImage::Format_RGB32);
        i.setDotsPerMeterX(qRound(kCanvasDpi / 0.0254));
        i.setDotsPerMeterY(qRound(kCanvasDpi / 0.0254));
        return i;
    }();
    return &image;
}

Qt::BrushStyle brushFor(qint16 fillStyle)
{
    switch (fillStyle) {
    case 2: return Qt::HorPattern;
    case 3: return Qt::VerPattern;
    case 4: return Qt::BDiagPattern;
    case 5: return Qt::FDiagPattern;
    case 6: return Qt::CrossPattern;
    case 7: return Qt::DiagCrossPattern;
    default: return Qt::SolidPattern;
    }
}

} // namespace multipgpreview

using namespace multipgpreview;

struct clsMultiPgPreview::Surface
{
    QPainter painter;
    QPaintDevice *device = nullptr;
    bool isPrinter = false;
    QFont font {QStringLiteral("Times New Roman"), 10};
    QColor fore = Qt::black;
    int lineWidth = 1; // printer: 600 dpi dots; canvas: pixels
    bool transparent = true;
    QColor back = Qt::white;
    double x = 0;
    double y = 0;

    QPaintDevice *measureDevice() const
    {
        if (device)
            return device;
        return isPrinter ? static_cast<QPaintDevice *>(&SystemPrinter::printer()) : screenDevice();
    }
    double dpiX() const { return measureDevice()->logicalDpiX(); }
    double dpiY() const { return measureDevice()->logicalDpiY(); }
    QFontMetricsF metrics() const { return QFontMetricsF(font, measureDevice()); }
    double penWidth() const
    {
        return isPrinter ? std::max(1.0, lineWidth * dpiX() / kPrinterLineDots) : lineWidth;
    }
    QPointF at(double ix, double iy) const { return {ix * dpiX(), iy * dpiY()}; }
    QRectF rect(double ix, double iy, double w, double h) const
    {
        return {ix * dpiX(), iy * dpiY(), w * dpiX(), h * dpiY()};
    }
    bool active() const { return painter.isActive(); }
    void preparePen()
    {
        QPen pen(fore);
        pen.setWidthF(penWidth());
        // A line ends where it is told to; square caps would reach past the printable area.
        pen.setCapStyle(Qt::FlatCap);
        painter.setPen(pen);
    }
};

clsMultiPgPreview::clsMultiPgPreview()
    : m_printer(std::make_unique<Surface>()), m_canvas(std::make_unique<Surface>())
{
    m_printer->isPrinter = true;
    setColorMode(2);
    setOrientation(1);
    setPrintCopies(1);
    m_sendToPrinter = true;
    m_titleItalic = true;
}

clsMultiPgPreview::~clsMultiPgPreview()
{
    if (m_printer->active())
        m_printer->painter.end();
    if (m_canvas->active())
        m_canvas->painter.end();
    delete m_window.data();
}

clsMultiPgPreview *clsMultiPgPreview::shared() { return sharedEngine().get(); }

void clsMultiPgPreview::setShared(std::unique_ptr<clsMultiPgPreview> engine)
{
    sharedEngine() = std::move(engine);
}

void clsMultiPgPreview::releaseShared() { sharedEngine().reset(); }

clsMultiPgPreview::Surface &clsMultiPgPreview::cur() { return m_sendToPrinter ? *m_printer : *m_canvas; }

const clsMultiPgPreview::Surface &clsMultiPgPreview::cur() const
{
    return m_sendToPrinter ? *m_printer : *m_canvas;
}

qint16 clsMultiPgPreview::PrintCopies() const { return qint16(SystemPrinter::copies()); }
void clsMultiPgPreview::setPrintCopies(qint16 value) { SystemPrinter::setCopies(value); }

void clsMultiPgPreview::setOrientation(qint16 value)
{
    m_orientation = value;
    SystemPrinter::setOrientation(value);
}

void clsMultiPgPreview::setColorMode(qint16 value)
{
    m_colorMode = value;
    if (m_sendToPrinter)
        SystemPrinter::setColorMode(value);
}

QString clsMultiPgPreview::FontName() const { return cur().font.family(); }

void clsMultiPgPreview::setFontName(const QString &name)
{
    cur().font.setFamily(name);
    printText(QString(), true);
}

qint16 clsMultiPgPreview::FontSize() const { return qint16(std::lround(cur().font.pointSizeF())); }
void clsMultiPgPreview::setFontSize(qint16 size) { cur().font.setPointSizeF(std::max<qint16>(1, size)); }
bool clsMultiPgPreview::FontBold() const { return cur().font.bold(); }
void clsMultiPgPreview::setFontBold(bool on) { cur().font.setBold(on); }
bool clsMultiPgPreview::FontItalic() const { return cur().font.italic(); }
void clsMultiPgPreview::setFontItalic(bool on) { cur().font.setItalic(on); }
bool clsMultiPgPreview::FontUnderline() const { return cur().font.underline(); }
void clsMultiPgPreview::setFontUnderline(bool on) { cur().font.setUnderline(on); }
bool clsMultiPgPreview::FontStrikethru() const { return cur().font.strikeOut(); }
void clsMultiPgPreview::setFontStrikethru(bool on) { cur().font.setStrikeOut(on); }
qint32 clsMultiPgPreview::ForeColor() const { return toBgr(cur().fore); }
void clsMultiPgPreview::setForeColor(qint32 bgr) { cur().fore = fromBgr(bgr); }
float clsMultiPgPreview::CurrentX() const { return float(cur().x); }
void clsMultiPgPreview::setCurrentX(float x) { cur().x = x; }
float clsMultiPgPreview::CurrentY() const { return float(cur().y); }
void clsMultiPgPreview::setCurrentY(float y) { cur().y = y; }

qint16 clsMultiPgPreview::DrawWidth() const
{
    return qint16(m_sendToPrinter ? m_printer->lineWidth : 2 * m_canvas->lineWidth);
}

void clsMultiPgPreview::setDrawWidth(qint16 width)
{
    width = std::max<qint16>(1, width);
    if (m_sendToPrinter)
        m_printer->lineWidth = width;
    else
        m_canvas->lineWidth = std::max(1, int(std::nearbyint(width / 2.0)));
}

qint32 clsMultiPgPreview::BackColor() const { return toBgr(cur().back); }

void clsMultiPgPreview::setBackColor(qint32 bgr)
{
    Surface &s = cur();
    if (bgr == -1) {
        s.transparent = true;
        s.back = Qt::white;
    } else {
        s.transparent = false;
        s.back = fromBgr(bgr);
    }
}

bool clsMultiPgPreview::FontTransparent() const { return cur().transparent; }

void clsMultiPgPreview::setFontTransparent(bool on)
{
    cur().transparent = on;
    if (on)
        cur().back = Qt::white;
}

QVariant clsMultiPgPreview::GetPage() const
{
    return QVariant::fromValue<qint16>(qint16(m_sendToPrinter ? m_printerPage : m_pageIndex + 1));
}

float clsMultiPgPreview::textWidth(const QString &text) const
{
    const Surface &s = cur();
    return float(s.metrics().horizontalAdvance(text) / s.dpiX());
}

float clsMultiPgPreview::GetTextWidth(const QVariant &text) const { return textWidth(text.toString()); }

float clsMultiPgPreview::GetTextHeight(const QString &text) const
{
    const Surface &s = cur();
    const int lines = std::max<qsizetype>(1, text.count(u'\n') + 1);
    return float(lines * s.metrics().height() / s.dpiY());
}

double clsMultiPgPreview::dpiX() const { return cur().dpiX(); }
double clsMultiPgPreview::dpiY() const { return cur().dpiY(); }

QPainter *clsMultiPgPreview::painter() const
{
    const Surface &s = cur();
    return s.active() ? const_cast<QPainter *>(&s.painter) : nullptr;
}

frmMultiPgPreview *clsMultiPgPreview::previewWindow() const { return m_window.data(); }

QString clsMultiPgPreview::pageFolder() { return QDir::tempPath(); }

QString clsMultiPgPreview::pageFile(int index)
{
    return QDir(pageFolder()).filePath(QStringLiteral("PPview%1.bmp").arg(index));
}

void clsMultiPgPreview::pStartDoc()
{
    m_pageIndex = 0;
    m_printerPage = 1;
    const QRectF area = SystemPrinter::printableArea();
    m_pageWidth = float(area.width());
    m_pageHeight = float(area.height());
    if (m_sendToPrinter) {
        Surface &s = *m_printer;
        if (!s.active() && SystemPrinter::beginJob(s.painter, parentWindow()))
            s.device = &SystemPrinter::printer();
        s.x = s.y = 0;
        return;
    }
    if (!m_window)
        m_window = new frmMultiPgPreview(this, parentWindow());
    Surface &c = *m_canvas;
    if (c.active())
        c.painter.end();
    const QSize size(int(std::lround((m_pageWidth + 0.25) * kCanvasDpi)),
                     int(std::lround((m_pageHeight + 0.25) * kCanvasDpi)));
    m_canvasImage = QImage(size.expandedTo(QSize(1, 1)), QImage::Format_RGB32);
    m_canvasImage.setDotsPerMeterX(qRound(kCanvasDpi / 0.0254));
    m_canvasImage.setDotsPerMeterY(qRound(kCanvasDpi / 0.0254));
    m_canvasImage.fill(Qt::white);
    m_window->setCanvasSize(m_canvasImage.size());
    c.device = &m_canvasImage;
    c.painter.begin(&m_canvasImage);
    c.painter.setRenderHint(QPainter::Antialiasing);
    c.painter.setRenderHint(QPainter::SmoothPixmapTransform);
    c.font.setFamily(m_printer->font.family());
    c.font.setPointSizeF(m_printer->font.pointSizeF());
    c.fore = m_printer->fore;
    c.x = c.y = 0;
}

void clsMultiPgPreview::savePage()
{
    if (!m_canvas->active())
        return;
    m_canvas->painter.end();
    if (!m_canvasImage.save(pageFile(m_pageIndex), "BMP"))
        qCWarning(lcPrinting) << "cannot write preview page" << pageFile(m_pageIndex);
}

void clsMultiPgPreview::pNewPage()
{
    if (m_sendToPrinter) {
        if (m_printer->active())
            SystemPrinter::printer().newPage();
        ++m_printerPage;
        m_printer->x = m_printer->y = 0;
        return;
    }
    if (!m_canvas->active())
        return;
    savePage();
    m_canvasImage.fill(Qt::white);
    m_canvas->painter.begin(&m_canvasImage);
    m_canvas->painter.setRenderHint(QPainter::Antialiasing);
    m_canvas->painter.setRenderHint(QPainter::SmoothPixmapTransform);
    ++m_pageIndex;
    m_canvas->x = m_canvas->y = 0;
}

bool clsMultiPgPreview::pEndOfPage(float extra, bool withFooter)
{
    const float h = GetTextHeight(QStringLiteral("TextString"));
    float reserve = h;
    if (withFooter) {
        const qint16 size = FontSize();
        setFontSize(10);
        reserve = 2 * GetTextHeight(QStringLiteral("TextString"));
        setFontSize(size);
    }
    return CurrentY() + h + reserve + extra >= m_pageHeight;
}

void clsMultiPgPreview::pEndDoc(quint8 modal, QWidget *owner)
{
    if (m_sendToPrinter) {
        if (m_printer->active())
            m_printer->painter.end();
        m_printer->device = nullptr;
        m_sendToPrinter = false;
        return;
    }
    if (!m_canvas->active() || !m_window)
        return;
    savePage();
    m_canvas->device = nullptr;
    frmMultiPgPreview *window = m_window;
    window->setLastPage(m_pageIndex);
    window->showPage(0);
    if (owner && window->parentWidget() != owner)
        window->setParent(owner, window->windowFlags());
    if (modal) {
        DialogService::showModal(window);
        delete window;
    } else {
        window->setAttribute(Qt::WA_DeleteOnClose);
        window->show();
        m_window = nullptr;
    }
}

void clsMultiPgPreview::pPrintPicture(const QImage &picture, float X, float Y, float width,
                                      float height, bool fitToPage, bool keepAspect)
{
    if (width == 0)
        width = height;
    if (height == 0)
        height = width;
    if (width == 0 && height == 0)
        fitToPage = true;
    if (picture.isNull() || picture.width() == 0)
        return;
    const double r = double(picture.height()) / picture.width();
    double w = fitToPage ? m_pageWidth : width;
    double h = fitToPage ? m_pageHeight : height;
    double x = X;
    double y = Y;
    if (keepAspect) {
        if (h / w <= r) {
            w = h / r;
            if (X == -1)
                x = (m_pageWidth - w) / 2;
            if (Y == -1)
                y = 0;
        } else {
            h = w * r;
            if (X == -1)
                x = 0;
            if (Y == -1)
                y = (m_pageHeight - h) / 2;
        }
    } else {
        if (X == -1)
            x = 0;
        if (Y == -1)
            y = (m_pageHeight - h) / 2;
    }
    Surface &s = cur();
    if (s.active())
        s.painter.drawImage(s.rect(x, y, w, h), picture);
}

void clsMultiPgPreview::pBox(float X, float Y, float width, float height, qint32 border,
                             qint32 fill, qint16 fillStyle)
{
    Surface &s = cur();
    const QColor line = border == -1 ? s.fore : fromBgr(border);
    const QColor inside = fill == -1 ? line : fromBgr(fill);
    const double savedX = s.x, savedY = s.y;
    const double x = X == -1 ? s.x : X;
    const double y = Y == -1 ? s.y : Y;
    const double w = width == -1 ? m_pageWidth : width;
    const double h = height == -1 ? GetTextHeight(QStringLiteral("Sample Text")) : height;
    if (s.active()) {
        QPen pen(line);
        pen.setWidthF(s.penWidth());
        s.painter.setPen(pen);
        s.painter.setBrush(fillStyle == 1 ? QBrush(Qt::NoBrush) : QBrush(inside, brushFor(fillStyle)));
        s.painter.drawRect(s.rect(x, y, w, h));
        s.painter.setBrush(Qt::NoBrush);
    }
    s.x = savedX;
    s.y = savedY;
}

void clsMultiPgPreview::pCircle(float X, float Y, float radius, qint32 border, qint32 fill,
                                qint16 fillStyle, float aspect)
{
    Surface &s = cur();
    if (!s.active())
        return;
    const QColor line = border == -1 ? s.fore : fromBgr(border);
    const QColor inside = fill == -1 ? line : fromBgr(fill);
    QPen pen(line);
    pen.setWidthF(s.penWidth());
    s.painter.setPen(pen);
    s.painter.setBrush(fillStyle == 1 ? QBrush(Qt::NoBrush) : QBrush(inside, brushFor(fillStyle)));
    // The radius runs along the longer axis; aspect is height to width.
    double rx = radius, ry = radius;
    if (aspect > 1)
        rx = radius / aspect;
    else
        ry = radius * aspect;
    s.painter.drawEllipse(s.at(X, Y), rx * s.dpiX(), ry * s.dpiY());
    s.painter.setBrush(Qt::NoBrush);
}

void clsMultiPgPreview::drawLine(float x1, float y1, float x2, float y2)
{
    Surface &s = cur();
    if (!s.active())
        return;
    s.preparePen();
    s.painter.drawLine(s.at(x1, y1), s.at(x2, y2));
}

void clsMultiPgPreview::pLine(float fromX, float toX, qint16 width, bool spaced)
{
    Surface &s = cur();
    const double savedX = s.x;
    const int savedWidth = s.lineWidth;
    if (fromX == -1)
        fromX = float(s.x);
    if (spaced)
        s.y += kGap;
    if (width > 0)
        setDrawWidth(width);
    if (toX <= fromX)
        toX = m_pageWidth;
    drawLine(fromX, float(s.y), toX, float(s.y));
    s.lineWidth = savedWidth;
    s.x = savedX;
    if (spaced)
        s.y += kGap;
}

void clsMultiPgPreview::pDoubleLine(float fromX, float toX, qint16 width, bool spaced)
{
    Surface &s = cur();
    const double savedX = s.x;
    const int savedWidth = s.lineWidth;
    if (width > 0)
        setDrawWidth(width);
    if (toX <= fromX)
        toX = m_pageWidth;
    s.y += kGap;
    drawLine(fromX, float(s.y), toX, float(s.y));
    s.y += kGap;
    drawLine(fromX, float(s.y), toX, float(s.y));
    s.y += kGap;
    s.x = savedX;
    s.lineWidth = savedWidth;
    if (spaced)
        s.y += kGap;
}

void clsMultiPgPreview::pVerticalLine(float X, float fromY, float toY, qint16 width)
{
    Surface &s = cur();
    const int savedWidth = s.lineWidth;
    const double savedX = s.x, savedY = s.y;
    if (width > 0)
        setDrawWidth(width);
    if (toY == -1) {
        const qint16 size = FontSize();
        setFontSize(10);
        toY = m_pageHeight - 2 * GetTextHeight(QStringLiteral("Sample Text"));
        setFontSize(size);
    }
    if (X == -1)
        X = float(s.x);
    if (X >= m_pageWidth)
        X = m_pageWidth - 0.01f;
    if (fromY == -1)
        fromY = float(s.y);
    drawLine(X, fromY, X, toY);
    s.x = savedX;
    s.y = savedY;
    s.lineWidth = savedWidth;
}

void clsMultiPgPreview::pPrintRotate(const QString &text, int angle, float X)
{
    if (text.isEmpty())
        return;
    angle = std::clamp(angle, 0, 359);
    Surface &s = cur();
    if (X != -1)
        s.x = X;
    if (!s.active())
        return;
    s.painter.save();
    s.painter.setFont(s.font);
    s.painter.setPen(s.fore);
    s.painter.translate(s.at(s.x, s.y));
    s.painter.rotate(-angle);
    s.painter.drawText(QPointF(0, QFontMetricsF(s.font, s.device).ascent()), text);
    s.painter.restore();
    if (!m_sendToPrinter)
        s.x += textWidth(text);
}

void clsMultiPgPreview::printText(const QString &text, bool noLineEnd)
{
    Surface &s = cur();
    const QFontMetricsF fm = s.metrics();
    if (s.active() && !text.isEmpty()) {
        s.painter.setFont(s.font);
        s.painter.setPen(s.fore);
        if (s.transparent) {
            s.painter.setBackgroundMode(Qt::TransparentMode);
        } else {
            s.painter.setBackgroundMode(Qt::OpaqueMode);
            s.painter.setBackground(s.back);
        }
        s.painter.drawText(QPointF(s.x * s.dpiX(), s.y * s.dpiY() + fm.ascent()), text);
        s.painter.setBackgroundMode(Qt::TransparentMode);
    }
    if (noLineEnd) {
        s.x += fm.horizontalAdvance(text) / s.dpiX();
    } else {
        s.x = 0;
        s.y += fm.height() / s.dpiY();
    }
}

} // namespace tovradocs::Internal
