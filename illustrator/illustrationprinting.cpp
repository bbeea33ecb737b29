#include "illustrationprinting.h"

#include "component/dialogservice.h"

#include <QPainter>
#include <QPrinter>
#include <QPrinterInfo>

namespace tovradocs::Internal {

namespace {

constexpr qreal kScreenDpi = 96;

IllustrationPrinterFactory &factory()
{
    static IllustrationPrinterFactory f;
    return f;
}

std::unique_ptr<QPrinter> defaultPrinter(QWidget *parent)
{
    const QPrinterInfo info = QPrinterInfo::defaultPrinter();
    if (!info.isNull())
        return std::make_unique<QPrinter>(info, QPrinter::HighResolution);
    const QString path = DialogService::saveFile(parent, QStringLiteral("Print to PDF"),
                                                 QStringLiteral("PDF Document (*.pdf)"));
    if (path.trimmed().isEmpty())
        return nullptr;
    auto printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
    printer->setOutputFormat(QPrinter::PdfFormat);
    printer->setOutputFileName(path);
    printer->setPageMargins(QMarginsF());
    return printer;
}

} // namespace

void setIllustrationPrinterFactory(IllustrationPrinterFactory f)
{
    factory() = std::move(f);
}

Outcome printIllustrationPicture(QWidget *parent, const QImage &picture)
{
    std::unique_ptr<QPrinter> printer = factory() ? factory()(parent) : defaultPrinter(parent);
    if (!printer)
        return Outcome::failure(QString());
    QPainter painter;
    if (!painter.begin(printer.get()))
        return Outcome::failure(QStringLiteral("The printer could not start the print job."));
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
