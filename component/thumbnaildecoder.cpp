#include "component/thumbnaildecoder.h"

#include "component/jpegdc.h"

#include <QFile>
#include <QFileInfo>
#include <QTransform>

#include <cmath>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

// libjpeg's header wants size_t and FILE declared first.
#include <jpeglib.h>
#include <tiffio.h>
#include <webp/decode.h>
#include <webp/demux.h>

namespace tovradocs::Internal {

namespace {

struct JpegError
{
    jpeg_error_mgr manager;
    std::jmp_buf jump;
    char message[JMSG_LENGTH_MAX];
};

void jpegFail(j_common_ptr c)
{
    auto *e = reinterpret_cast<JpegError *>(c->err);
    (*c->err->format_message)(c, e->message);
    std::longjmp(e->jump, 1);
}

void jpegQuiet(j_common_ptr, int) {}

// The smallest M/8 scale whose output covers fit.
int jpegScale(QSize stored, QSize fit)
{
    for (int num = 1; num < 8; ++num) {
        const int w = (stored.width() * num + 7) / 8;
        const int h = (stored.height() * num + 7) / 8;
        if (w >= fit.width() && h >= fit.height())
            return num;
    }
    return 8;
}

struct JpegJob
{
    const uchar *data = nullptr;
    size_t size = 0;
    const uchar *tables = nullptr; // abbreviated streams (TIFF) keep them apart
    size_t tablesSize = 0;
    J_COLOR_SPACE stored = JCS_UNKNOWN;
    int edge = 0; // picks the scale
    int scale = 0; // or this one
    QImage *into = nullptr; // rows go here, from intoRow, instead of a new picture
    int intoRow = 0;
};

struct JpegResult
{
    QImage image;
    QSize original;
    int orientation = 1;
    bool unsupported = false; // CMYK and the like: the general reader takes it
    bool tooLarge = false;
    QString error;
};

bool dcComplete(j_decompress_ptr c)
{
    for (int i = 0; i < c->num_components; ++i) {
        if (c->coef_bits[i][0] < 0)
            return false;
    }
    return true;
}

// Everything libjpeg touches lives behind one pointer, so a longjmp out of
// the library leaves nothing half-destroyed on this frame.
struct JpegState
{
    jpeg_decompress_struct info;
    JpegError error;
    JpegResult result;
    std::vector<JSAMPROW> rows;
    std::vector<uchar> spare; // for rows past the end of a target
};

JpegResult readJpeg(const JpegJob &job)
{
    const auto state = std::make_unique<JpegState>();
    jpeg_decompress_struct &c = state->info;
    c.err = jpeg_std_error(&state->error.manager);
    state->error.manager.error_exit = jpegFail;
    state->error.manager.emit_message = jpegQuiet;
    jpeg_create_decompress(&c);
    if (setjmp(state->error.jump)) {
        jpeg_destroy_decompress(&c);
        state->result.image = QImage();
        state->result.error = QString::fromLatin1(state->error.message);
        return std::move(state->result);
    }
    if (job.tables) {
        jpeg_mem_src(&c, job.tables, static_cast<unsigned long>(job.tablesSize));
        jpeg_read_header(&c, FALSE);
    }
    jpeg_mem_src(&c, job.data, static_cast<unsigned long>(job.size));
    if (!job.into)
        jpeg_save_markers(&c, JPEG_APP0 + 1, 0xffff);
    jpeg_read_header(&c, TRUE);
    if (job.stored != JCS_UNKNOWN)
        c.jpeg_color_space = job.stored;
    JpegResult &r = state->result;
    r.original = QSize(int(c.image_width), int(c.image_height));
    if (qint64(c.image_width) * c.image_height > MaxClaimedPixels) {
        r.tooLarge = true;
        std::snprintf(state->error.message, sizeof state->error.message,
                      "too large to open (%u x %u pixels; the limit is %.1f megapixels)",
                      c.image_width, c.image_height, double(MaxClaimedPixels) / 1e6);
        std::longjmp(state->error.jump, 1);
    }
    const bool grey = c.num_components == 1;
    if (!grey && c.num_components != 3) {
        jpeg_destroy_decompress(&c);
        r.unsupported = true;
        return std::move(r);
    }
    for (jpeg_saved_marker_ptr m = c.marker_list; m; m = m->next) {
        if (m->marker == JPEG_APP0 + 1 && m->data_length > 6
            && std::memcmp(m->data, "Exif\0\0", 6) == 0) {
            r.orientation = exifOrientation(m->data + 6, qsizetype(m->data_length) - 6);
            break;
        }
    }
    const int scale = job.scale ? job.scale : jpegScale(r.original, fitSize(r.original, job.edge));
    c.scale_num = unsigned(scale);
    c.scale_denom = 8;
    // Nothing of the faster DCT and plain upsampling survives the reduction.
    c.dct_method = JDCT_IFAST;
    c.do_fancy_upsampling = FALSE;
    c.do_block_smoothing = FALSE;
#if Q_BYTE_ORDER == Q_LITTLE_ENDIAN
    c.out_color_space = grey ? JCS_GRAYSCALE : JCS_EXT_BGRX;
#else
    c.out_color_space = grey ? JCS_GRAYSCALE : JCS_EXT_XRGB;
#endif
    // At 1/8 each block is its DC coefficient alone, which a progressive
    // file carries in its first scans: the rest need not be decoded.
    const bool dcOnly = c.progressive_mode && scale == 1;
    c.buffered_image = dcOnly;
    jpeg_start_decompress(&c);
    if (dcOnly) {
        for (;;) {
            const int status = jpeg_consume_input(&c);
            if (status == JPEG_SUSPENDED || status == JPEG_REACHED_EOI
                || (status == JPEG_SCAN_COMPLETED && dcComplete(&c)))
                break;
        }
        jpeg_start_output(&c, c.input_scan_number);
    }
    const QImage::Format format = grey ? QImage::Format_Grayscale8 : QImage::Format_RGB32;
    if (qint64(c.output_width) * c.output_height > MaxReducedPixels) {
        std::snprintf(state->error.message, sizeof state->error.message,
                      "the picture is too large (%u x %u)", c.image_width, c.image_height);
        std::longjmp(state->error.jump, 1);
    }
    QImage *target = job.into;
    int row = job.intoRow;
    if (!target) {
        r.image = QImage(int(c.output_width), int(c.output_height), format);
        if (r.image.isNull())
            std::longjmp(state->error.jump, 1);
        target = &r.image;
        row = 0;
    } else if (target->format() != format || target->width() < int(c.output_width)) {
        std::snprintf(state->error.message, sizeof state->error.message,
                      "a strip does not match the picture");
        std::longjmp(state->error.jump, 1);
    }
    state->rows.resize(size_t(c.rec_outbuf_height));
    state->spare.resize(size_t(c.output_width) * 4);
    while (c.output_scanline < c.output_height) {
        int n = 0;
        for (; n < c.rec_outbuf_height; ++n) {
            const int y = row + int(c.output_scanline) + n;
            // Rows past the target (a last strip's padding) are dropped.
            state->rows[size_t(n)] = y < target->height() ? target->scanLine(y) : state->spare.data();
        }
        if (jpeg_read_scanlines(&c, state->rows.data(), JDIMENSION(n)) == 0)
            break;
    }
    jpeg_abort_decompress(&c); // the rest of the file is not needed
    jpeg_destroy_decompress(&c);
    return std::move(state->result);
}

std::optional<ReducedPicture> fromJpeg(const uchar *data, size_t size, int edge)
{
    if (auto dc = decodeJpegDc(data, size, edge)) {
        ReducedPicture p;
        p.original = dc->original;
        p.decoded = dc->image.size();
        p.image = std::move(dc->image);
        p.orientation = dc->orientation;
        return p;
    }
    JpegJob job;
    job.data = data;
    job.size = size;
    job.edge = edge;
    JpegResult r = readJpeg(job);
    if (r.unsupported)
        return std::nullopt;
    ReducedPicture p;
    p.original = r.original;
    p.decoded = r.image.size();
    p.image = r.image;
    p.orientation = r.orientation;
    p.error = r.error;
    p.tooLarge = r.tooLarge;
    return p;
}

std::optional<ReducedPicture> fromWebp(const uchar *data, size_t size, int edge)
{
    WebPDecoderConfig config;
    if (!WebPInitDecoderConfig(&config) || WebPGetFeatures(data, size, &config.input) != VP8_STATUS_OK
        || config.input.has_animation)
        return std::nullopt; // animations: the general reader shows the first frame
    ReducedPicture p;
    p.original = QSize(config.input.width, config.input.height);
    QSize target = p.original;
    if (target.width() > edge || target.height() > edge) {
        target = fitSize(p.original, edge);
        config.options.use_scaling = 1;
        config.options.scaled_width = target.width();
        config.options.scaled_height = target.height();
    }
    config.options.no_fancy_upsampling = 1;
    config.options.bypass_filtering = 1;
    const bool alpha = config.input.has_alpha;
    QImage image(target, alpha ? QImage::Format_ARGB32 : QImage::Format_RGB32);
    if (image.isNull())
        return std::nullopt;
#if Q_BYTE_ORDER == Q_LITTLE_ENDIAN
    config.output.colorspace = MODE_BGRA;
#else
    config.output.colorspace = MODE_ARGB;
#endif
    config.output.is_external_memory = 1;
    config.output.u.RGBA.rgba = image.bits();
    config.output.u.RGBA.stride = int(image.bytesPerLine());
    config.output.u.RGBA.size = size_t(image.sizeInBytes());
    const VP8StatusCode status = WebPDecode(data, size, &config);
    WebPFreeDecBuffer(&config.output);
    if (status != VP8_STATUS_OK) {
        p.error = QStringLiteral("the WebP data is damaged (code %1)").arg(int(status));
        return p;
    }
    int orientation = 1;
    const WebPData whole{data, size};
    if (WebPDemuxer *demux = WebPDemux(&whole)) {
        WebPChunkIterator chunk;
        if (WebPDemuxGetChunk(demux, "EXIF", 1, &chunk)) {
            const uchar *exif = chunk.chunk.bytes;
            qsizetype n = qsizetype(chunk.chunk.size);
            if (n > 6 && std::memcmp(exif, "Exif\0\0", 6) == 0) {
                exif += 6;
                n -= 6;
            }
            orientation = exifOrientation(exif, n);
            WebPDemuxReleaseChunkIterator(&chunk);
        }
        WebPDemuxDelete(demux);
    }
    p.decoded = image.size();
    p.image = image;
    p.orientation = orientation;
    return p;
}

struct TiffCloser
{
    void operator()(TIFF *t) const { TIFFClose(t); }
};

// Each group of f x f pixels becomes one, row by row as the strips are
// decoded: only one row of the picture is held at full size.
std::optional<ReducedPicture> tiffByRows(TIFF *tif, QSize stored, int edge, int samples,
                                         bool grey, bool whiteIsZero)
{
    const QSize fit = fitSize(stored, edge);
    const int f = std::max(1, std::min(stored.width() / fit.width(), stored.height() / fit.height()));
    const int ow = std::max(1, stored.width() / f);
    const int oh = std::max(1, stored.height() / f);
    const int channels = grey ? 1 : 3;
    if (qint64(ow) * oh > MaxReducedPixels)
        return std::nullopt;
    QImage image(ow, oh, grey ? QImage::Format_Grayscale8 : QImage::Format_RGB32);
    std::vector<uchar> line(size_t(TIFFScanlineSize(tif)));
    std::vector<quint32> sums(size_t(ow) * channels);
    if (image.isNull() || line.size() < size_t(stored.width()) * samples)
        return std::nullopt;
    ReducedPicture p;
    p.original = stored;
    const quint32 area = quint32(f) * quint32(f);
    for (int y = 0; y < oh * f; ++y) {
        if (TIFFReadScanline(tif, line.data(), quint32(y), 0) < 0) {
            p.error = QStringLiteral("row %1 cannot be read").arg(y);
            return p;
        }
        const uchar *in = line.data();
        quint32 *sum = sums.data();
        for (int x = 0; x < ow; ++x, sum += channels) {
            for (int k = 0; k < f; ++k, in += samples) {
                for (int ch = 0; ch < channels; ++ch)
                    sum[ch] += in[ch];
            }
        }
        if ((y + 1) % f)
            continue;
        uchar *out = image.scanLine(y / f);
        sum = sums.data();
        for (int x = 0; x < ow; ++x, sum += channels) {
            if (grey) {
                const uchar v = uchar((sum[0] + area / 2) / area);
                out[x] = whiteIsZero ? uchar(255 - v) : v;
            } else {
                reinterpret_cast<QRgb *>(out)[x] = qRgb(int((sum[0] + area / 2) / area),
                                                        int((sum[1] + area / 2) / area),
                                                        int((sum[2] + area / 2) / area));
            }
        }
        std::fill(sums.begin(), sums.end(), 0u);
    }
    p.decoded = image.size();
    p.image = std::move(image);
    return p;
}

// JPEG-compressed strips, each through the DCT's scaling into its band of a
// reduced picture.
std::optional<ReducedPicture> tiffJpegStrips(TIFF *tif, QSize stored, int edge, quint16 photometric,
                                             qint64 fileSize)
{
    quint32 rowsPerStrip = 0;
    TIFFGetFieldDefaulted(tif, TIFFTAG_ROWSPERSTRIP, &rowsPerStrip);
    rowsPerStrip = std::min(rowsPerStrip, quint32(stored.height()));
    const int scale = jpegScale(stored, fitSize(stored, edge));
    if (rowsPerStrip == 0 || (rowsPerStrip * quint32(scale)) % 8 != 0)
        return std::nullopt;
    quint32 tablesSize = 0;
    void *tables = nullptr;
    if (!TIFFGetField(tif, TIFFTAG_JPEGTABLES, &tablesSize, &tables))
        tables = nullptr;
    const bool grey = photometric == PHOTOMETRIC_MINISBLACK;
    const QSize reduced((stored.width() * scale + 7) / 8, (stored.height() * scale + 7) / 8);
    if (qint64(reduced.width()) * reduced.height() > MaxReducedPixels)
        return std::nullopt;
    QImage image(reduced, grey ? QImage::Format_Grayscale8 : QImage::Format_RGB32);
    if (image.isNull())
        return std::nullopt;
    ReducedPicture p;
    p.original = stored;
    std::vector<uchar> raw;
    const tstrip_t strips = TIFFNumberOfStrips(tif);
    for (tstrip_t s = 0; s < strips; ++s) {
        const tmsize_t size = TIFFRawStripSize(tif, s);
        if (size <= 0 || size > fileSize) { // a damaged count must not size the buffer
            p.error = QStringLiteral("strip %1 is missing").arg(s);
            return p;
        }
        raw.resize(size_t(size));
        if (TIFFReadRawStrip(tif, s, raw.data(), size) < 0) {
            p.error = QStringLiteral("strip %1 cannot be read").arg(s);
            return p;
        }
        JpegJob job;
        job.data = raw.data();
        job.size = raw.size();
        job.tables = static_cast<const uchar *>(tables);
        job.tablesSize = tables ? tablesSize : 0;
        job.stored = photometric == PHOTOMETRIC_YCBCR ? JCS_YCbCr
                     : grey                          ? JCS_GRAYSCALE
                                                     : JCS_RGB;
        job.scale = scale;
        job.into = &image;
        job.intoRow = int(s * rowsPerStrip * quint32(scale) / 8);
        const JpegResult r = readJpeg(job);
        if (r.unsupported)
            return std::nullopt;
        if (!r.error.isEmpty()) {
            p.error = r.error;
            return p;
        }
    }
    p.decoded = image.size();
    p.image = std::move(image);
    return p;
}

std::optional<ReducedPicture> fromTiff(const QString &path, int edge)
{
    static const bool quiet = [] {
        TIFFSetWarningHandler(nullptr); // unknown private tags are common
        return true;
    }();
    Q_UNUSED(quiet);
    const std::unique_ptr<TIFF, TiffCloser> tif(TIFFOpen(QFile::encodeName(path).constData(), "rm"));
    if (!tif)
        return std::nullopt;
    quint32 width = 0, height = 0;
    quint16 samples = 1, bits = 1, photometric = 0, planar = PLANARCONFIG_CONTIG, compression = 0,
            orientation = ORIENTATION_TOPLEFT;
    TIFFGetField(tif.get(), TIFFTAG_IMAGEWIDTH, &width);
    TIFFGetField(tif.get(), TIFFTAG_IMAGELENGTH, &height);
    TIFFGetFieldDefaulted(tif.get(), TIFFTAG_SAMPLESPERPIXEL, &samples);
    TIFFGetFieldDefaulted(tif.get(), TIFFTAG_BITSPERSAMPLE, &bits);
    TIFFGetFieldDefaulted(tif.get(), TIFFTAG_PLANARCONFIG, &planar);
    TIFFGetFieldDefaulted(tif.get(), TIFFTAG_COMPRESSION, &compression);
    TIFFGetFieldDefaulted(tif.get(), TIFFTAG_ORIENTATION, &orientation);
    if (!TIFFGetField(tif.get(), TIFFTAG_PHOTOMETRIC, &photometric) || width == 0 || height == 0
        || width > 1u << 20 || height > 1u << 20 || TIFFIsTiled(tif.get())
        || planar != PLANARCONFIG_CONTIG || bits != 8 || samples > 8)
        return std::nullopt;
    const QSize stored{int(width), int(height)};
    std::optional<ReducedPicture> p;
    const bool grey = photometric == PHOTOMETRIC_MINISBLACK || photometric == PHOTOMETRIC_MINISWHITE;
    if (compression == COMPRESSION_JPEG) {
        if ((photometric == PHOTOMETRIC_YCBCR && samples == 3)
            || (photometric == PHOTOMETRIC_RGB && samples == 3)
            || (photometric == PHOTOMETRIC_MINISBLACK && samples == 1))
            p = tiffJpegStrips(tif.get(), stored, edge, photometric, QFileInfo(path).size());
    } else if (compression != COMPRESSION_OJPEG
               && ((photometric == PHOTOMETRIC_RGB && samples >= 3) || (grey && samples >= 1))) {
        p = tiffByRows(tif.get(), stored, edge, samples, grey,
                       photometric == PHOTOMETRIC_MINISWHITE);
    }
    if (p)
        p->orientation = orientation;
    return p;
}

} // namespace

QSize fitSize(QSize size, int edge)
{
    if (size.isEmpty() || edge <= 0)
        return size;
    if (size.width() >= size.height())
        return QSize(edge, std::max(1, int(std::lround(double(size.height()) * edge / size.width()))));
    return QSize(std::max(1, int(std::lround(double(size.width()) * edge / size.height()))), edge);
}

QImage greyBoxReduced(const QImage &image, int factor)
{
    const bool wide = image.format() == QImage::Format_Grayscale16;
    if (factor <= 1 || (!wide && image.format() != QImage::Format_Grayscale8))
        return image;
    const int ow = image.width() / factor;
    const int oh = image.height() / factor;
    if (ow < 1 || oh < 1)
        return image;
    QImage out(ow, oh, QImage::Format_Grayscale8);
    if (out.isNull())
        return image;
    std::vector<quint64> sums(size_t(ow), 0);
    // 16-bit samples keep their high byte: the averaging is done at full depth.
    const quint64 area = quint64(factor) * quint64(factor) * (wide ? 257u : 1u);
    for (int y = 0; y < oh * factor; ++y) {
        if (wide) {
            const auto *in = reinterpret_cast<const quint16 *>(image.constScanLine(y));
            for (int x = 0; x < ow; ++x) {
                quint32 sum = 0;
                for (int k = 0; k < factor; ++k)
                    sum += in[x * factor + k];
                sums[size_t(x)] += sum;
            }
        } else {
            const uchar *in = image.constScanLine(y);
            for (int x = 0; x < ow; ++x) {
                quint32 sum = 0;
                for (int k = 0; k < factor; ++k)
                    sum += in[x * factor + k];
                sums[size_t(x)] += sum;
            }
        }
        if ((y + 1) % factor)
            continue;
        uchar *line = out.scanLine(y / factor);
        for (int x = 0; x < ow; ++x)
            line[x] = uchar(std::min<quint64>(255, (sums[size_t(x)] + area / 2) / area));
        std::fill(sums.begin(), sums.end(), quint64(0));
    }
    return out;
}

QImage oriented(const QImage &image, int orientation)
{
    if (image.isNull() || orientation <= 1 || orientation > 8)
        return image;
    switch (orientation) {
    case 2: return image.mirrored(true, false);
    case 3: return image.mirrored(true, true);
    case 4: return image.mirrored(false, true);
    default: break;
    }
    // 5-8 turn the picture a quarter; 5 and 7 also mirror it.
    QTransform turn;
    turn.rotate(orientation == 5 || orientation == 6 ? 90 : 270);
    QImage turned = image.transformed(turn);
    if (orientation == 5 || orientation == 7)
        turned = turned.mirrored(true, false);
    return turned;
}

int exifOrientation(const uchar *data, qsizetype size)
{
    if (!data || size < 8)
        return 1;
    const bool little = data[0] == 'I' && data[1] == 'I';
    if (!little && !(data[0] == 'M' && data[1] == 'M'))
        return 1;
    const auto u16 = [&](qsizetype at) -> quint32 {
        return little ? quint32(data[at] | data[at + 1] << 8) : quint32(data[at] << 8 | data[at + 1]);
    };
    const auto u32 = [&](qsizetype at) -> quint32 {
        return little ? u16(at) | u16(at + 2) << 16 : u16(at) << 16 | u16(at + 2);
    };
    const quint32 ifd = u32(4);
    if (ifd > quint32(size) - 2 || ifd < 8)
        return 1;
    const quint32 entries = u16(ifd);
    for (quint32 i = 0; i < entries; ++i) {
        const qsizetype at = qsizetype(ifd) + 2 + qsizetype(i) * 12;
        if (at + 12 > size)
            break;
        if (u16(at) == 0x0112) { // Orientation, a SHORT held in the entry itself
            const quint32 value = u16(at + 8);
            return value >= 1 && value <= 8 ? int(value) : 1;
        }
    }
    return 1;
}

std::optional<ReducedPicture> decodeReduced(const QString &path, int edge)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || file.size() < 16)
        return std::nullopt;
    uchar head[16];
    if (file.peek(reinterpret_cast<char *>(head), sizeof head) != qint64(sizeof head))
        return std::nullopt;
    const bool jpeg = head[0] == 0xff && head[1] == 0xd8 && head[2] == 0xff;
    const bool webp = std::memcmp(head, "RIFF", 4) == 0 && std::memcmp(head + 8, "WEBP", 4) == 0;
    const bool tiff = (std::memcmp(head, "II*\0", 4) == 0 || std::memcmp(head, "MM\0*", 4) == 0);
    if (tiff) {
        file.close();
        return fromTiff(path, edge);
    }
    if (!jpeg && !webp)
        return std::nullopt;
    // Mapped, not read: the decoders take what they need from the page cache.
    const qint64 size = file.size();
    const uchar *data = file.map(0, size);
    if (!data)
        return std::nullopt;
    auto p = jpeg ? fromJpeg(data, size_t(size), edge) : fromWebp(data, size_t(size), edge);
    file.unmap(const_cast<uchar *>(data));
    if (p && p->tooLarge)
        p->error
            = QStringLiteral("The picture \"%1\" is %2.").arg(QFileInfo(path).fileName(), p->error);
    return p;
}

} // namespace tovradocs::Internal
