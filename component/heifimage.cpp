#include "component/heifimage.h"

#include "component/isomedia.h"
#include "component/thumbnaildecoder.h"

#include <QFile>

#include <libheif/heif.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <mutex>
#include <vector>

namespace tovradocs::Internal::Heif {

namespace {

void initialise()
{
    static std::once_flag once;
    std::call_once(once, [] { heif_init(nullptr); });
}

struct ContextFree
{
    void operator()(heif_context *c) const { heif_context_free(c); }
};
struct HandleRelease
{
    void operator()(heif_image_handle *h) const { heif_image_handle_release(h); }
};
struct ImageRelease
{
    void operator()(heif_image *i) const { heif_image_release(i); }
};
struct OptionsFree
{
    void operator()(heif_decoding_options *o) const { heif_decoding_options_free(o); }
};
struct NclxFree
{
    void operator()(heif_color_profile_nclx *n) const { heif_nclx_color_profile_free(n); }
};
using Context = std::unique_ptr<heif_context, ContextFree>;
using Handle = std::unique_ptr<heif_image_handle, HandleRelease>;
using Image = std::unique_ptr<heif_image, ImageRelease>;

QString describe(const heif_error &error)
{
    return QString::fromUtf8(error.message ? error.message : "unknown error").simplified();
}

// libheif's own limit refuses large pictures before their size can be
// read; ours is checked on the size instead, so the reason names it.
constexpr int kLargestSide = 1 << 20;

// The file mapped, its boxes checked and libheif's view of it.
struct Opened
{
    QFile file;
    const uchar *data = nullptr;
    qint64 size = 0;
    IsoMedia boxes;
    Context context;
    Handle primary;
};

Result<bool> open(Opened &o, const QString &path)
{
    initialise();
    o.file.setFileName(path);
    if (!o.file.open(QIODevice::ReadOnly))
        return Result<bool>::failure(o.file.errorString());
    o.size = o.file.size();
    if (o.size == 0)
        return Result<bool>::failure(QStringLiteral("the file is empty"));
    o.data = o.file.map(0, o.size);
    if (!o.data)
        return Result<bool>::failure(o.file.errorString());
    o.boxes = readIsoMedia(o.data, o.size);
    if (o.boxes.damage == IsoMedia::Truncated)
        return Result<bool>::failure(QStringLiteral("the file is cut short: %1").arg(o.boxes.problem));
    if (!o.boxes.hasMeta)
        return Result<bool>::failure(QStringLiteral("it holds no picture"));
    o.context.reset(heif_context_alloc());
    heif_context_set_maximum_image_size_limit(o.context.get(), kLargestSide);
    heif_error error = heif_context_read_from_memory_without_copy(o.context.get(), o.data,
                                                                  size_t(o.size), nullptr);
    if (error.code != heif_error_Ok)
        return Result<bool>::failure(describe(error));
    heif_image_handle *handle = nullptr;
    error = heif_context_get_primary_image_handle(o.context.get(), &handle);
    if (error.code != heif_error_Ok)
        return Result<bool>::failure(describe(error));
    o.primary.reset(handle);
    return true;
}

// The orientation of the EXIF block a converter copied from a JPEG; only
// honoured where the file has no turn of its own, which would otherwise be
// applied twice (phones write both).
int exifOrientationOf(heif_image_handle *handle)
{
    heif_item_id id = 0;
    if (heif_image_handle_get_list_of_metadata_block_IDs(handle, "Exif", &id, 1) < 1)
        return 1;
    const size_t size = heif_image_handle_get_metadata_size(handle, id);
    if (size < 4 || size > 1024 * 1024)
        return 1;
    std::vector<uchar> exif(size);
    if (heif_image_handle_get_metadata(handle, id, exif.data()).code != heif_error_Ok)
        return 1;
    // A 4-byte offset to the TIFF header comes first.
    const quint32 skip = quint32(exif[0]) << 24 | quint32(exif[1]) << 16 | quint32(exif[2]) << 8 | exif[3];
    if (skip > size - 4)
        return 1;
    return exifOrientation(exif.data() + 4 + skip, qsizetype(size - 4 - skip));
}

QSize upright(QSize size, int orientation)
{
    return orientation >= 5 ? size.transposed() : size;
}

// Averages the samples of one plane into an outW x outH grid: sample (c, r)
// covers picture pixels from (c << sx, r << sy) and goes to the cell that
// pixel falls in at factor f; samples past the last whole cell are dropped.
std::vector<uchar> reducePlane(const uchar *plane, int stride, int w, int h, int sx, int sy, int f,
                               int outW, int outH)
{
    std::vector<int> cellOfColumn(size_t(w), -1);
    std::vector<int> columnsIn(size_t(outW), 0);
    for (int c = 0; c < w; ++c) {
        const int cell = (c << sx) / f;
        if (cell < outW) {
            cellOfColumn[size_t(c)] = cell;
            ++columnsIn[size_t(cell)];
        }
    }
    std::vector<uchar> out(size_t(outW) * outH, 0);
    std::vector<quint32> sums(static_cast<size_t>(outW));
    int row = 0;
    for (int y = 0; y < outH; ++y) {
        std::fill(sums.begin(), sums.end(), 0u);
        int rows = 0;
        for (; row < h && (row << sy) / f == y; ++row, ++rows) {
            const uchar *in = plane + qsizetype(row) * stride;
            for (int c = 0; c < w; ++c) {
                const int cell = cellOfColumn[size_t(c)];
                if (cell >= 0)
                    sums[size_t(cell)] += in[c];
            }
        }
        uchar *line = out.data() + size_t(y) * outW;
        for (int x = 0; x < outW; ++x) {
            const quint32 n = quint32(columnsIn[size_t(x)]) * quint32(rows);
            line[x] = n ? uchar((sums[size_t(x)] + n / 2) / n) : 0;
        }
    }
    return out;
}

struct Matrix
{
    float kr = 0.299f;
    float kb = 0.114f;
    bool full = true;
};

// The colour matrix of the decoded picture, else of the file, else what
// libheif itself assumes (BT.601, full range).
Matrix matrixOf(heif_image *image, heif_image_handle *handle)
{
    heif_color_profile_nclx *raw = nullptr;
    if (heif_image_get_nclx_color_profile(image, &raw).code != heif_error_Ok || !raw) {
        raw = nullptr;
        if (heif_image_handle_get_nclx_color_profile(handle, &raw).code != heif_error_Ok)
            raw = nullptr;
    }
    const std::unique_ptr<heif_color_profile_nclx, NclxFree> nclx(raw);
    Matrix m;
    if (!nclx)
        return m;
    m.full = nclx->full_range_flag != 0;
    switch (int(nclx->matrix_coefficients)) {
    case 1: m.kr = 0.2126f; m.kb = 0.0722f; break;
    case 9:
    case 10: m.kr = 0.2627f; m.kb = 0.0593f; break;
    case 7: m.kr = 0.212f; m.kb = 0.087f; break;
    default: break;
    }
    return m;
}

uchar clamp8(float v)
{
    return uchar(std::clamp(int(v + 0.5f), 0, 255));
}

// 8-bit YCbCr or grey planes averaged down to the box, then converted: the
// full-size picture is never turned into RGB.
QImage reducedFromPlanes(heif_image *image, heif_image_handle *handle, QSize fit)
{
    const heif_colorspace space = heif_image_get_colorspace(image);
    const heif_chroma chroma = heif_image_get_chroma_format(image);
    const int w = heif_image_get_width(image, heif_channel_Y);
    const int h = heif_image_get_height(image, heif_channel_Y);
    if (w <= 0 || h <= 0 || heif_image_get_bits_per_pixel_range(image, heif_channel_Y) != 8)
        return {};
    const bool grey = space == heif_colorspace_monochrome;
    if (!grey && !(space == heif_colorspace_YCbCr
                   && (chroma == heif_chroma_420 || chroma == heif_chroma_422
                       || chroma == heif_chroma_444)))
        return {};
    // Whole blocks only: the caller smooths the rest of the way to fit.
    const int f = std::max(1, std::min(w / std::max(1, fit.width()), h / std::max(1, fit.height())));
    const int outW = std::max(1, w / f);
    const int outH = std::max(1, h / f);
    int stride = 0;
    const uchar *yPlane = heif_image_get_plane_readonly(image, heif_channel_Y, &stride);
    if (!yPlane)
        return {};
    const std::vector<uchar> luma = reducePlane(yPlane, stride, w, h, 0, 0, f, outW, outH);
    QImage out(outW, outH, QImage::Format_RGB32);
    if (out.isNull())
        return {};
    if (grey) {
        for (int y = 0; y < outH; ++y) {
            auto *line = reinterpret_cast<QRgb *>(out.scanLine(y));
            for (int x = 0; x < outW; ++x) {
                const uchar v = luma[size_t(y) * outW + x];
                line[x] = qRgb(v, v, v);
            }
        }
        return out;
    }
    const int sx = chroma == heif_chroma_444 ? 0 : 1;
    const int sy = chroma == heif_chroma_420 ? 1 : 0;
    int cbStride = 0, crStride = 0;
    const uchar *cbPlane = heif_image_get_plane_readonly(image, heif_channel_Cb, &cbStride);
    const uchar *crPlane = heif_image_get_plane_readonly(image, heif_channel_Cr, &crStride);
    const int cw = heif_image_get_width(image, heif_channel_Cb);
    const int ch = heif_image_get_height(image, heif_channel_Cb);
    if (!cbPlane || !crPlane || cw <= 0 || ch <= 0)
        return {};
    const std::vector<uchar> cb = reducePlane(cbPlane, cbStride, cw, ch, sx, sy, f, outW, outH);
    const std::vector<uchar> cr = reducePlane(crPlane, crStride, cw, ch, sx, sy, f, outW, outH);
    const Matrix m = matrixOf(image, handle);
    const float kg = 1.0f - m.kr - m.kb;
    const float yScale = m.full ? 1.0f : 255.0f / 219.0f;
    const float cScale = m.full ? 1.0f : 255.0f / 224.0f;
    const float yOffset = m.full ? 0.0f : 16.0f;
    for (int y = 0; y < outH; ++y) {
        auto *line = reinterpret_cast<QRgb *>(out.scanLine(y));
        for (int x = 0; x < outW; ++x) {
            const size_t i = size_t(y) * outW + x;
            const float Y = (float(luma[i]) - yOffset) * yScale;
            const float Cb = (float(cb[i]) - 128.0f) * cScale;
            const float Cr = (float(cr[i]) - 128.0f) * cScale;
            const float r = Y + 2.0f * (1.0f - m.kr) * Cr;
            const float b = Y + 2.0f * (1.0f - m.kb) * Cb;
            const float g = Y - (2.0f * m.kr * (1.0f - m.kr) * Cr + 2.0f * m.kb * (1.0f - m.kb) * Cb) / kg;
            line[x] = qRgb(clamp8(r), clamp8(g), clamp8(b));
        }
    }
    return out;
}

// The picture in 8-bit RGB(A), as libheif converts it.
QImage interleaved(heif_image_handle *handle, heif_decoding_options *options, QString *error)
{
    const bool alpha = heif_image_handle_has_alpha_channel(handle);
    heif_image *raw = nullptr;
    const heif_error status = heif_decode_image(
        handle, &raw, heif_colorspace_RGB,
        alpha ? heif_chroma_interleaved_RGBA : heif_chroma_interleaved_RGB, options);
    const Image image(raw);
    if (status.code != heif_error_Ok || !image) {
        *error = describe(status);
        return {};
    }
    int stride = 0;
    const uchar *pixels = heif_image_get_plane_readonly(image.get(), heif_channel_interleaved, &stride);
    const int w = heif_image_get_width(image.get(), heif_channel_interleaved);
    const int h = heif_image_get_height(image.get(), heif_channel_interleaved);
    if (!pixels || w <= 0 || h <= 0) {
        *error = QStringLiteral("the decoder gave no picture");
        return {};
    }
    const QImage wrapped(pixels, w, h, stride,
                         alpha ? QImage::Format_RGBA8888 : QImage::Format_RGB888);
    QImage out = wrapped.convertToFormat(alpha ? QImage::Format_ARGB32 : QImage::Format_RGB32);
    if (out.isNull())
        *error = QStringLiteral("not enough memory");
    return out;
}

} // namespace

bool looksLikeHeif(const QByteArray &head)
{
    if (head.size() < 16 || head.mid(4, 4) != "ftyp")
        return false;
    static const char *const brands[] = {"heic", "heix", "heim", "heis", "hevc", "hevx",
                                         "mif1", "msf1", "avif", "avis"};
    const auto known = [](const QByteArray &brand) {
        return std::any_of(std::begin(brands), std::end(brands),
                           [&](const char *b) { return brand == b; });
    };
    if (known(head.mid(8, 4)))
        return true;
    const quint32 boxSize = quint32(uchar(head[0])) << 24 | quint32(uchar(head[1])) << 16
                            | quint32(uchar(head[2])) << 8 | quint32(uchar(head[3]));
    const qsizetype end = std::min<qsizetype>(head.size(), boxSize);
    for (qsizetype at = 16; at + 4 <= end; at += 4)
        if (known(head.mid(at, 4)))
            return true;
    return false;
}

Result<QSize> pictureSize(const QString &path)
{
    Opened o;
    if (auto opened = open(o, path); !opened)
        return Result<QSize>::failure(opened.error());
    const QSize size(heif_image_handle_get_width(o.primary.get()),
                     heif_image_handle_get_height(o.primary.get()));
    if (size.isEmpty())
        return Result<QSize>::failure(QStringLiteral("it holds no picture"));
    return o.boxes.heifTransforms ? size : upright(size, exifOrientationOf(o.primary.get()));
}

Result<Decoded> decode(const QString &path, QSize box, qint64 maxPixels)
{
    Opened o;
    if (auto opened = open(o, path); !opened)
        return Result<Decoded>::failure(opened.error());
    heif_image_handle *primary = o.primary.get();
    const QSize stored(heif_image_handle_get_width(primary), heif_image_handle_get_height(primary));
    if (stored.isEmpty())
        return Result<Decoded>::failure(QStringLiteral("it holds no picture"));
    if (qint64(stored.width()) * stored.height() > maxPixels)
        return Result<Decoded>::failure(
            QStringLiteral("it is too large to open (%1 x %2 pixels; the limit is %3 megapixels)")
                .arg(stored.width())
                .arg(stored.height())
                .arg(double(maxPixels) / 1e6, 0, 'f', 1));
    const int orientation = o.boxes.heifTransforms ? 1 : exifOrientationOf(primary);

    Decoded d;
    d.original = upright(stored, orientation);
    const bool reduce = box.isValid() && !box.isEmpty()
                        && (d.original.width() > box.width() || d.original.height() > box.height());
    // The box holds the upright picture; the decoder gives it as stored.
    const QSize fitUpright
        = reduce ? d.original.scaled(box, Qt::KeepAspectRatio).expandedTo(QSize(1, 1)) : d.original;
    const QSize fit = upright(fitUpright, orientation);

    // A thumbnail the file carries, when it covers what is asked.
    Handle source;
    heif_image_handle *chosen = primary;
    if (reduce && heif_image_handle_get_number_of_thumbnails(primary) > 0) {
        heif_item_id id = 0;
        heif_image_handle *thumb = nullptr;
        if (heif_image_handle_get_list_of_thumbnail_IDs(primary, &id, 1) == 1
            && heif_image_handle_get_thumbnail(primary, id, &thumb).code == heif_error_Ok) {
            source.reset(thumb);
            if (heif_image_handle_get_width(thumb) >= fit.width()
                && heif_image_handle_get_height(thumb) >= fit.height())
                chosen = thumb;
        }
    }

    const std::unique_ptr<heif_decoding_options, OptionsFree> options(heif_decoding_options_alloc());
    options->convert_hdr_to_8bit = 1;
    QImage image;
    QString error;
    if (reduce && !heif_image_handle_has_alpha_channel(chosen)) {
        heif_image *raw = nullptr;
        const heif_error status = heif_decode_image(chosen, &raw, heif_colorspace_undefined,
                                                    heif_chroma_undefined, options.get());
        const Image native(raw);
        if (status.code != heif_error_Ok || !native)
            return Result<Decoded>::failure(describe(status));
        d.decoded = QSize(heif_image_get_width(native.get(), heif_channel_Y),
                          heif_image_get_height(native.get(), heif_channel_Y));
        image = reducedFromPlanes(native.get(), chosen, fit);
    }
    if (image.isNull()) {
        image = interleaved(chosen, options.get(), &error);
        if (image.isNull())
            return Result<Decoded>::failure(error);
        d.decoded = image.size();
    }
    if (reduce && image.size() != fit)
        image = image.scaled(fit, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    d.image = oriented(image, orientation);
    return d;
}

} // namespace tovradocs::Internal::Heif
