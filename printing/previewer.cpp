#include "printing/previewer.h"

#include "component/dialogservice.h"
#include "component/filetypes.h"
#include "component/hostlink.h"
#include "component/imageloader.h"
#include "component/shownpicture.h"
#include "component/adjustmentstore.h"
#include "printing/clsmultipgpreview.h"
#include "printing/frmprintersetup.h"
#include "printing/systemprinter.h"

#include <tovradocs/recordset.h>

#include <QApplication>
#include <QFileInfo>
#include <QFuture>
#include <QHeaderView>
#include <QTableView>
#include <QThreadPool>
#include <QtConcurrent/QtConcurrentRun>

#include <cmath>
#include <deque>

namespace tovradocs::Internal {

namespace previewer {

// Screen pixels per inch of a picture's natural size (15 twips a pixel).
constexpr double kNaturalDpi = 96.0;
// Pictures decoded ahead of the page being drawn; bounds the memory of a long job.
constexpr int kDecodeAhead = 6;

struct Cell
{
    QString path;
    QString caption;
    QSizeF natural;
    bool readable = true;
    bool newPage = false;
    bool heading = false;
    double x = 0, y = 0, w = 0, h = 0;
    QRectF drawn;
};

// Decodes the pictures of a job in order on two threads, each at the size it
// is drawn, a few ahead of the page being composed.
class PictureQueue
{
public:
    PictureQueue(const std::vector<Cell> &cells, double dpi) : m_cells(cells), m_dpi(dpi)
    {
        m_pool.setMaxThreadCount(2);
    }
    ~PictureQueue() { m_pool.waitForDone(); }

    QImage take(size_t index)
    {
        while (m_started < m_cells.size() && m_started < index + kDecodeAhead)
            start(m_started++);
        if (m_futures.empty() || m_first > index)
            return {};
        while (m_first < index) {
            m_futures.pop_front();
            ++m_first;
        }
        QImage image = m_futures.front().result();
        m_futures.pop_front();
        ++m_first;
        return image;
    }

private:
    void start(size_t index)
    {
        const Cell &cell = m_cells[index];
        if (!cell.readable || cell.drawn.isEmpty()) {
            m_futures.push_back(QtConcurrent::run(&m_pool, [] { return QImage(); }));
            return;
        }
        ImageLoadOptions options;
        options.scaledTo = QSize(std::max(1, int(std::ceil(cell.drawn.width() * m_dpi))),
                                 std::max(1, int(std::ceil(cell.drawn.height() * m_dpi))));
        // Never larger than the picture itself.
        const QSize full(int(std::lround(cell.natural.width() * kNaturalDpi)),
                         int(std::lround(cell.natural.height() * kNaturalDpi)));
        if (options.scaledTo.width() >= full.width() || options.scaledTo.height() >= full.height())
            options.scaledTo = QSize();
        options.keepAspect = true;
        const QString path = cell.path;
        m_futures.push_back(QtConcurrent::run(&m_pool, [path, options] {
            // As the viewers show it: adjusted, with its marks.
            Result<QImage> image = pictureAsShown(0, path, options.scaledTo);
            return image ? image.value() : QImage();
        }));
    }

    const std::vector<Cell> &m_cells;
    double m_dpi;
    QThreadPool m_pool;
    std::deque<QFuture<QImage>> m_futures;
    size_t m_started = 0;
    size_t m_first = 0;
};

QString storedPath(const QString &path) { return QString(path).replace(u'\\', u'/'); }

double roundHalfEven(double v) { return std::nearbyint(v); }

} // namespace previewer

using namespace previewer;

QRectF pictureRectInCell(QSizeF natural, double X, double Y, double w, double h, double th)
{
    const double iw = natural.width();
    const double ih = natural.height();
    if (iw <= 0 || ih <= 0)
        return {};
    if (w >= iw && ih + th <= h)
        return {X + (w - iw) / 2, Y + (h - (ih + th)) / 2, iw, ih};
    const double ratio = iw / ih;
    double dw, dh;
    if (w <= h) {
        dw = w;
        dh = roundHalfEven(w / ratio);
    } else {
        dh = h;
        dw = roundHalfEven(h * ratio);
    }
    if (dw > 0 && dh > 0 && dw <= w && dh <= h)
        return {X + (w - dw) / 2, Y + (h - dh) / 2, dw, dh};
    // Whole inches round a panoramic film to nothing in a narrow cell, and a
    // tall picture past its cell: such a picture fills the cell as far as its
    // proportions allow, its caption below it still inside.
    const double room = std::max(h - th - 0.1, h / 2);
    const double scale = std::min(w / iw, room / ih);
    dw = iw * scale;
    dh = ih * scale;
    return {X + (w - dw) / 2, Y + (room - dh) / 2, dw, dh};
}

Previewer::Previewer(QWidget *owner) : m_owner(owner) {}

template<typename Compose>
void Previewer::run(Compose &&compose)
{
    clsMultiPgPreview::setShared(std::make_unique<clsMultiPgPreview>());
    {
        frmPrinterSetUp setup(m_owner ? m_owner.data() : parentWindow());
        DialogService::showModal(&setup);
    }
    if (frmPrinterSetUp::cancelled()) {
        clsMultiPgPreview::releaseShared();
        return;
    }
    m_engine = clsMultiPgPreview::shared();
    do {
        QApplication::setOverrideCursor(Qt::WaitCursor);
        m_engine->pStartDoc();
        const bool printing = m_engine->SendToPrinter();
        // A printer pass that could not open its job composes nothing.
        if (!printing || m_engine->painter()) {
            const int repeats = printing ? SystemPrinter::repeatsForCopies() : 1;
            for (int copy = 0; copy < repeats; ++copy) {
                if (copy > 0)
                    m_engine->pNewPage();
                compose();
                if (copy + 1 < repeats) {
                    QString footer;
                    m_engine->pFooter(footer);
                }
            }
        }
        QApplication::restoreOverrideCursor();
        m_engine->setReportTitle(QStringLiteral("Print Selected Images"));
        QString footer;
        m_engine->pFooter(footer);
        m_engine->pEndDoc(1, nullptr);
    } while (m_engine->SendToPrinter());
    m_engine = nullptr;
    clsMultiPgPreview::releaseShared();
}

void Previewer::ShowPrintPreview(const PageTable &table, qint16, qint16 count,
                                 PtImageReports reportKind, qint32 visitCode, const QString &chartFile,
                                 qint32 patientCode, qint16 patientAge, qint32 reportCode,
                                 Recordset *first, Recordset *, QObject *grid)
{
    run([&] {
        bool report = false;
        if (reportKind != pirNone && visitCode > 0) {
            if (reportKind == pirDrOndalReport)
                report = gridReport(first, grid);
            else if (reportKind != pirImages)
                report = patientReport(reportKind, visitCode, chartFile, patientCode, patientAge, reportCode);
        }
        composeImages(table, count, report);
    });
}

void Previewer::ShowCrossTabReport(Recordset *first, Recordset *, QObject *grid)
{
    run([&] { gridReport(first, grid); });
}

void Previewer::composeImages(const PageTable &table, int count, bool afterReport)
{
    clsMultiPgPreview &e = *m_engine;
    const int layout = e.PrintTemplate;
    if (layout < OnePerPage || layout > FourVertical)
        return;
    e.setFontBold(false);
    e.setFontSize(12);
    const double th = e.GetTextHeight(QStringLiteral("Sample Text"));
    const double W = e.GetPaperWidth();
    const double H = e.GetPaperHeight();

    std::vector<Cell> cells;
    const int last = std::min(count, table.count());
    for (int i = 1; i <= last; ++i) {
        if (table.at(PageTable::SelectedRow, i) != QLatin1String("1")
            || table.at(PageTable::EntryTypeRow, i).trimmed().toInt() != 1)
            continue;
        const QString path = storedPath(table.at(PageTable::FileNameRow, i));
        if (!doesFileExist(path))
            continue;
        Cell cell;
        cell.path = path;
        cell.caption = table.at(PageTable::DescriptionRow, i);
        const Result<QSize> size = imageSize(path);
        cell.readable = size.ok() && !size->isEmpty();
        if (cell.readable) {
            const QSize shown = shownPictureSize(0, path, *size);
            cell.natural = QSizeF(shown.width() / kNaturalDpi, shown.height() / kNaturalDpi);
        }
        cells.push_back(cell);
    }

    const int n = layout == OnePerPage ? 1 : (layout == TwoHorizontal || layout == TwoVertical) ? 2 : 4;
    int k = 0;
    for (Cell &cell : cells) {
        const int r = k % n;
        cell.newPage = r == 0 && (k > 0 || afterReport);
        cell.heading = r == 0 && e.PrintDrNames;
        switch (layout) {
        case OnePerPage:
            cell.x = 1, cell.y = 1, cell.w = W - 2, cell.h = H - 2;
            break;
        case TwoHorizontal:
        case FourHorizontal:
            cell.w = (W - 1 - 0.2 * 2 * n) / n;
            cell.h = H - 1 - th;
            cell.x = 0.7 + r * (cell.w + 0.4);
            cell.y = 1;
            break;
        case TwoVertical:
        case FourVertical:
            cell.w = W - 1.4;
            cell.h = (H - 1 - (0.2 * (2 * n + 2) + n * th)) / n;
            cell.x = 0.7;
            cell.y = 1 + r * (cell.h + 0.6);
            break;
        case FourGrid:
            cell.w = (W - 1 - 0.8) / 2;
            cell.h = (H - 1 - (2 * th + 1.2)) / 2;
            cell.x = 0.7 + (k % 2) * (cell.w + 0.4);
            cell.y = 1 + (k % 4 >= 2 ? 1 : 0) * (cell.h + 0.6);
            break;
        }
        cell.drawn = cell.readable ? pictureRectInCell(cell.natural, cell.x, cell.y, cell.w, cell.h, th)
                                   : QRectF(cell.x, cell.y, cell.w, cell.h);
        if (!cell.drawn.isEmpty())
            ++k;
    }

    const double dpi = e.SendToPrinter() ? std::min<double>(SystemPrinter::imageDpi(), e.dpiX()) : e.dpiX();
    PictureQueue pictures(cells, dpi);
    for (size_t i = 0; i < cells.size(); ++i) {
        const Cell &cell = cells[i];
        if (cell.drawn.isEmpty())
            continue;
        if (cell.newPage)
            e.pNewPage();
        if (cell.heading)
            pageHeading();
        e.setFontBold(false);
        e.setFontSize(12);
        const QImage picture = e.painter() ? pictures.take(i) : QImage();
        if (cell.readable && !picture.isNull()) {
            printCell(picture, cell.natural, cell.x, cell.y, cell.w, cell.h, cell.caption);
            continue;
        }
        // A picture that cannot be decoded keeps its place, framed, with its file name.
        e.pBox(float(cell.x), float(cell.y), float(cell.w), float(cell.h), 0x808080, -1, 1);
        e.setCurrentY(float(cell.y + cell.h / 2 - th / 2));
        e.pCenter(QFileInfo(cell.path).fileName(), false, float(cell.w), float(cell.x));
    }
}

bool Previewer::printCell(const QImage &picture, QSizeF natural, double X, double Y, double w,
                          double h, const QString &caption)
{
    clsMultiPgPreview &e = *m_engine;
    const double th = e.GetTextHeight(QStringLiteral("Sample Text"));
    const QRectF drawn = pictureRectInCell(natural, X, Y, w, h, th);
    if (drawn.isEmpty())
        return false;
    e.pPrintPicture(picture, float(drawn.x()), float(drawn.y()), float(drawn.width()),
                    float(drawn.height()), false, false);
    e.setCurrentX(float(drawn.x()));
    e.setCurrentY(float(drawn.bottom() + 0.1));
    if (e.PrintImageDescription)
        e.pPrint(caption);
    return true;
}

void Previewer::pageHeading()
{
    clsMultiPgPreview &e = *m_engine;
    const float W = e.GetPaperWidth();
    const float H = e.GetPaperHeight();
    e.setFontName(QStringLiteral("Times New Roman"));
    e.pBox(0.5f, 0.5f, W - 1, H - 1, -1, -1, 1);
    e.setFontSize(24);
    e.setFontBold(true);
    e.setCurrentY(0.6f);
    if (e.PrintBoundingBox)
        e.pBox(1, 0.6f, W - 2, -1, 0xC0E0FF, -1, 0);
    e.setFontTransparent(true);
    QString doctor;
    if (DataLink *link = dataLink())
        trapErrors(QStringLiteral("Previewer"), [&] { doctor = link->GetSystemSetting(2).toString(); });
    e.pCenter(QStringLiteral("Dr. ") + doctor, false, -1, 0);
}

bool Previewer::gridReport(Recordset *first, QObject *grid)
{
    clsMultiPgPreview &e = *m_engine;
    if (!first || !first->isOpen() || first->recordCount() == 0)
        return false;
    struct Column
    {
        QString caption;
        QString field;
        double width;
    };
    QList<Column> columns;
    if (auto *view = qobject_cast<QTableView *>(grid); view && view->model()) {
        for (int c = 0; c < view->model()->columnCount(); ++c) {
            if (view->isColumnHidden(c))
                continue;
            const QString caption = view->model()->headerData(c, Qt::Horizontal).toString();
            const QVariant field = view->model()->headerData(c, Qt::Horizontal, Qt::UserRole);
            // Column widths are kept in twips; the view measures pixels.
            columns.append({caption, field.isValid() ? field.toString() : caption,
                            view->columnWidth(c) * 15 / 1440.0});
        }
    }
    e.setFontName(QStringLiteral("Times New Roman"));
    e.setFontBold(true);
    double x = 0.55;
    for (const Column &column : columns) {
        e.pPrint(column.caption, float(x), true);
        x += column.width;
    }
    e.setFontBold(false);
    for (first->moveFirst(); !first->isEof(); first->moveNext()) {
        e.pPrint();
        e.pPrint();
        x = 0.55;
        for (const Column &column : columns) {
            e.pPrint(first->value(column.field).toString(), float(x), true);
            x += column.width;
        }
    }
    return true;
}

} // namespace tovradocs::Internal
