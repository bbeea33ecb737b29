#include "printing/mountprinting.h"

#include "printing/clsmultipgpreview.h"
#include "printing/systemprinter.h"

#include <QApplication>

namespace tovradocs::Internal {

namespace {

constexpr float kMargin = 0.25f;
constexpr float kCaptionInches = 0.22f;
// Pictures are decoded for at most this resolution; finer is lost on paper.
constexpr double kMaxPictureDpi = 300;

QRectF fitted(QSizeF picture, const QRectF &box)
{
    const QSizeF size = picture.scaled(box.size(), Qt::KeepAspectRatio);
    return QRectF(box.center().x() - size.width() / 2, box.center().y() - size.height() / 2,
                  size.width(), size.height());
}

} // namespace

void composeMount(clsMultiPgPreview &e, const MountPrint &job)
{
    const float W = e.GetPaperWidth();
    const float H = e.GetPaperHeight();
    e.setFontName(QStringLiteral("Times New Roman"));
    e.setFontBold(true);
    e.setFontSize(14);
    e.setCurrentY(kMargin);
    e.pCenter(job.title);
    e.setFontBold(false);
    e.setFontSize(10);
    if (!job.subtitle.isEmpty())
        e.pCenter(job.subtitle);
    const float top = e.CurrentY() + 0.1f;
    // The board hangs under the title rather than floating mid-page.
    QRectF area(kMargin, top, W - 2 * kMargin, H - top - kMargin);
    const qreal unit = std::min(area.width() / job.mount.grid.width(), area.height() / job.mount.grid.height());
    area.setHeight(unit * job.mount.grid.height());
    const QList<QRectF> rects = slotRects(job.mount, area, 0.08);
    const double dpi = std::min(kMaxPictureDpi, std::max(e.dpiX(), e.dpiY()));
    e.setFontSize(9);
    for (int i = 0; i < rects.size(); ++i) {
        const QRectF &slot = rects.at(i);
        e.pBox(float(slot.x()), float(slot.y()), float(slot.width()), float(slot.height()));
        const QRectF inside = slot.adjusted(0.04, 0.04, -0.04, -(kCaptionInches + 0.04));
        const QImage picture = job.picture
                                   ? job.picture(i, QSize(int(inside.width() * dpi), int(inside.height() * dpi)))
                                   : QImage();
        if (!picture.isNull()) {
            const QRectF drawn = fitted(picture.size(), inside);
            e.pPrintPicture(picture, float(drawn.x()), float(drawn.y()), float(drawn.width()),
                            float(drawn.height()), false, false);
        }
        const QString caption = i < job.captions.size() ? job.captions.at(i) : QString();
        if (!caption.isEmpty()) {
            e.setCurrentY(float(slot.bottom()) - kCaptionInches);
            e.pCenter(caption, true, float(slot.width()), float(slot.x()));
        }
    }
}

void previewMount(const MountPrint &job, QWidget *owner)
{
    clsMultiPgPreview::setShared(std::make_unique<clsMultiPgPreview>());
    clsMultiPgPreview *engine = clsMultiPgPreview::shared();
    engine->setReportTitle(job.title);
    engine->setSendToPrinter(false); // the preview first; its Print comes back here
    // A mount wider than tall fills a landscape sheet; the printer's own
    // orientation comes back afterwards.
    const int orientation = SystemPrinter::orientation();
    engine->setOrientation(job.mount.grid.width() > job.mount.grid.height() ? 2 : 1);
    // The preview's Print switches the engine to the printer; the page is
    // then composed once more there.
    do {
        QApplication::setOverrideCursor(Qt::WaitCursor);
        engine->pStartDoc();
        if (!engine->SendToPrinter() || engine->painter())
            composeMount(*engine, job);
        QApplication::restoreOverrideCursor();
        engine->pEndDoc(1, owner);
    } while (engine->SendToPrinter());
    SystemPrinter::setOrientation(orientation);
    clsMultiPgPreview::releaseShared();
}

} // namespace tovradocs::Internal
