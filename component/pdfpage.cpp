#include "component/pdfpage.h"

#include <QElapsedTimer>
#include <QVariant>

#include <poppler-qt6.h>

#include <algorithm>
#include <mutex>

namespace tovradocs::Internal {

namespace {

void quietPoppler()
{
    static std::once_flag once;
    // Broken documents fill the console otherwise; the failure says what matters.
    std::call_once(once, [] { Poppler::setDebugErrorFunction([](const QString &, const QVariant &) {}, {}); });
}

struct Deadline
{
    QElapsedTimer clock;
    int limitMs = 0;
};

bool pastDeadline(const QVariant &closure)
{
    const auto *deadline = static_cast<const Deadline *>(closure.value<void *>());
    return deadline->clock.elapsed() > deadline->limitMs;
}

} // namespace

Result<QImage> renderFirstPdfPage(const QString &path, int edge, int timeoutMs)
{
    quietPoppler();
    const std::unique_ptr<Poppler::Document> document = Poppler::Document::load(path);
    if (!document)
        return Result<QImage>::failure(QStringLiteral("it is not a PDF document poppler can read"));
    if (document->isLocked())
        return Result<QImage>::failure(QStringLiteral("it is protected by a password"));
    if (document->numPages() < 1)
        return Result<QImage>::failure(QStringLiteral("it has no pages"));
    const std::unique_ptr<Poppler::Page> page = document->page(0);
    if (!page)
        return Result<QImage>::failure(QStringLiteral("its first page cannot be read"));
    const QSizeF points = page->pageSizeF();
    if (points.width() <= 0 || points.height() <= 0)
        return Result<QImage>::failure(QStringLiteral("its first page has no size"));
    // The page's longer side becomes edge pixels, whatever size it claims.
    const double dpi = std::clamp(72.0 * edge / std::max(points.width(), points.height()), 0.5, 600.0);
    document->setRenderHint(Poppler::Document::Antialiasing);
    document->setRenderHint(Poppler::Document::TextAntialiasing);
    document->setPaperColor(Qt::white);
    Deadline deadline;
    deadline.limitMs = timeoutMs;
    deadline.clock.start();
    QImage image = page->renderToImage(dpi, dpi, -1, -1, -1, -1, Poppler::Page::Rotate0, nullptr,
                                       nullptr, pastDeadline,
                                       QVariant::fromValue(static_cast<void *>(&deadline)));
    if (deadline.clock.elapsed() > timeoutMs)
        return Result<QImage>::failure(
            QStringLiteral("its first page takes longer than %1 seconds to draw").arg(timeoutMs / 1000.0));
    if (image.isNull())
        return Result<QImage>::failure(QStringLiteral("its first page cannot be drawn"));
    return image;
}

} // namespace tovradocs::Internal
