#include "component/shownpicture.h"
#include "component/adjustmentstore.h"
#include "component/imageloader.h"

#include <QCoreApplication>
#include <QThread>

namespace tovradocs::Internal {

namespace {

bool onUiThread()
{
    return QCoreApplication::instance() && QThread::currentThread() == QCoreApplication::instance()->thread();
}

std::optional<PictureState> stateOf(qint32 entryCode, const QString &path)
{
    AdjustmentStore *store = AdjustmentStore::instance();
    if (onUiThread()) {
        store->preload();
        if (entryCode > 0) {
            const PictureState state = store->load(entryCode, path).state;
            return state.isEmpty() ? std::nullopt : std::optional(state);
        }
    }
    return store->knownState(entryCode, path);
}

} // namespace

QSize shownPictureSize(qint32 entryCode, const QString &path, QSize fileSize)
{
    const std::optional<PictureState> state = stateOf(entryCode, path);
    if (!state)
        return fileSize;
    return shownGeometry(state->adjust, fileSize, fileSize, {}).shown;
}

bool hasShownChanges(qint32 entryCode, const QString &path)
{
    const std::optional<PictureState> state = AdjustmentStore::instance()->knownState(entryCode, path);
    return state && !state->isEmpty();
}

Result<QImage> pictureAsShown(qint32 entryCode, const QString &path, QSize target, bool withOverlay)
{
    const std::optional<PictureState> state = stateOf(entryCode, path);
    const bool fit = target.isValid() && !target.isEmpty();
    if (!state || (state->adjust.isIdentity() && (!withOverlay || state->overlay.isEmpty() || state->overlayHidden))) {
        ImageLoadOptions options;
        if (fit) {
            options.scaledTo = target;
            options.keepAspect = true;
        }
        Result<QImage> image = loadImage(path, options);
        if (image && fit && (image->width() > target.width() || image->height() > target.height()))
            return image->scaled(target, Qt::KeepAspectRatio, Qt::SmoothTransformation);
        return image;
    }
    // A crop needs the file's full resolution; otherwise decode only what fits.
    QSize box;
    if (fit && state->adjust.crop.isNull())
        box = state->adjust.quarterTurns % 2 ? target.transposed() : target;
    const Result<SourcePicture> source = loadSourcePicture(path, box);
    if (!source)
        return Result<QImage>::failure(source.error());
    QImage shown = renderPicture(*source, *state, fit ? target : QSize(), withOverlay);
    if (shown.isNull())
        return Result<QImage>::failure(QStringLiteral("The picture cannot be shown: not enough memory."));
    if (shown.format() == QImage::Format_Grayscale8)
        shown = shown.convertToFormat(QImage::Format_RGB32);
    return shown;
}

} // namespace tovradocs::Internal
