#include "illustrationprinting.h"

#include "component/dialogservice.h"
#include "printing/systemprinter.h"

#include <QPainter>
#include <QPrinter>

namespace tovradocs::Internal {

namespace {

constexpr qreal kScreenDpi = 96;

IllustrationPrinterFactory &factory()
{
    static IllustrationPrinterFactory f;
    return f;
}

} // namespace

void setIllustrationPrinterFactory(IllustrationPrinterFactory f)
{
    factory() = std::move(f);
}

Outcome printIllustrationPicture(QWidget *parent, const QImage &picture)
{
    // The component's one printer unless a caller routes prints elsewhere: the
    // printer chosen anywhere (a CUPS queue, or "Save as PDF") prints here too.
    std::unique_ptr<QPrinter> routed = factory() ? factory()(parent) : nullptr;
    if (factory() && !routed)
        return Outcome::failure(QString());
    QPrinter *printer = routed ? routed.get() : &SystemPrinter::printer();
    QPainter painter;
    if (routed) {
        if (!painter.begin(printer))
            return Outcome::failure(QStringLiteral("The printer could not start the print job."));
    } else if (!SystemPrinter::beginJob(painter, parent)) {
        return Outcome::failure(QString()); // cancelled, or already told why
    }
    const QRectF page = printer->pageRect(QPrinter::DevicePixel).translated(-printer->pageRect(QPrinter::DevicePixel).topLeft());
    QSizeF size = QSizeF(picture.size()) * printer->resolution() / kScreenDpi;
    if (size.width() > page.width() || size.height() > page.height())
        size.scale(page.size(), Qt::KeepAspectRatio);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(QRectF(QPointF(0, 0), size), picture);
    if (!painter.end())
        return Outcome::failure(QStringLiteral("The print job could not be finished."));
    return Outcome();
}

} // namespace tovradocs::Internal
