#include "component/pictureadjust.h"
#include "component/imageloader.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLineF>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <cmath>

namespace tovradocs::Internal {

namespace {

constexpr int kRecordVersion = 1;

bool finite(double v)
{
    return std::isfinite(v);
}

const char *kindName(OverlayItem::Kind kind)
{
    switch (kind) {
    case OverlayItem::Length: return "length";
    case OverlayItem::Angle: return "angle";
    case OverlayItem::Text: return "text";
    case OverlayItem::Arrow: return "arrow";
    case OverlayItem::Freehand: return "freehand";
    }
    return "length";
}

// Points each kind needs: exact count, or the least for freehand.
bool pointCountFits(OverlayItem::Kind kind, qsizetype n)
{
    switch (kind) {
    case OverlayItem::Length:
    case OverlayItem::Arrow: return n == 2;
    case OverlayItem::Angle: return n == 3;
    case OverlayItem::Text: return n == 1;
    case OverlayItem::Freehand: return n >= 2 && n <= 100000;
    }
    return false;
}

QJsonObject parseRecord(const QByteArray &record, QString &error)
{
    QJsonParseError parse;
    const QJsonDocument doc = QJsonDocument::fromJson(record, &parse);
    if (parse.error != QJsonParseError::NoError || !doc.isObject()) {
        error = QStringLiteral("it is not a readable record");
        return {};
    }
    const QJsonObject o = doc.object();
    if (o.value(QLatin1String("v")).toInt(-1) != kRecordVersion) {
        error = QStringLiteral("it was written in an unknown form");
        return {};
    }
    return o;
}

// 8 bits per channel in, a lookup table on every channel.
QImage mapThrough(const QImage &picture, const std::array<uchar, 256> &table)
{
    if (picture.format() == QImage::Format_Grayscale8) {
        QImage out(picture.size(), QImage::Format_Grayscale8);
        for (int y = 0; y < picture.height(); ++y) {
            const uchar *in = picture.constScanLine(y);
            uchar *o = out.scanLine(y);
            for (int x = 0; x < picture.width(); ++x)
                o[x] = table[in[x]];
        }
        return out;
    }
    QImage out = picture.convertToFormat(QImage::Format_RGB32);
    for (int y = 0; y < out.height(); ++y) {
        auto *line = reinterpret_cast<QRgb *>(out.scanLine(y));
        for (int x = 0; x < out.width(); ++x) {
            const QRgb c = line[x];
            line[x] = qRgb(table[qRed(c)], table[qGreen(c)], table[qBlue(c)]);
        }
    }
    return out;
}

std::array<uchar, 256> gammaTable(bool invert, double gamma)
{
    std::array<uchar, 256> t{};
    const double exponent = 1.0 / std::clamp(gamma, 0.1, 10.0);
    for (int i = 0; i < 256; ++i) {
        const int v = invert ? 255 - i : i;
        t[size_t(i)] = uchar(std::lround(255.0 * std::pow(v / 255.0, exponent)));
    }
    return t;
}

// Luminance of each pixel, for equalising colour pictures without tinting them.
QImage luminance(const QImage &rgb)
{
    QImage y(rgb.size(), QImage::Format_Grayscale8);
    for (int row = 0; row < rgb.height(); ++row) {
        const auto *in = reinterpret_cast<const QRgb *>(rgb.constScanLine(row));
        uchar *out = y.scanLine(row);
        for (int x = 0; x < rgb.width(); ++x)
            out[x] = uchar(qGray(in[x]));
    }
    return y;
}

QImage equaliseGrey(const QImage &grey)
{
    constexpr int tiles = 8;
    constexpr double clipLimit = 2.5; // times the average count per grey
    const int w = grey.width();
    const int h = grey.height();
    if (w < tiles * 2 || h < tiles * 2)
        return grey;
    // One mapping per tile: the clipped histogram's cumulative sum, with the
    // clipped excess spread evenly.
    std::vector<std::array<uchar, 256>> maps(tiles * tiles);
    for (int ty = 0; ty < tiles; ++ty) {
        for (int tx = 0; tx < tiles; ++tx) {
            const int x0 = tx * w / tiles, x1 = (tx + 1) * w / tiles;
            const int y0 = ty * h / tiles, y1 = (ty + 1) * h / tiles;
            std::array<int, 256> hist{};
            for (int y = y0; y < y1; ++y) {
                const uchar *line = grey.constScanLine(y);
                for (int x = x0; x < x1; ++x)
                    ++hist[line[x]];
            }
            const int count = (x1 - x0) * (y1 - y0);
            // Fractional: small tiles (thumbnails) would otherwise lose the
            // spread excess and turn flat areas black.
            const double limit = std::max(1.0, clipLimit * count / 256);
            double excess = 0;
            std::array<double, 256> clipped{};
            for (int i = 0; i < 256; ++i) {
                clipped[size_t(i)] = std::min<double>(hist[size_t(i)], limit);
                excess += hist[size_t(i)] - clipped[size_t(i)];
            }
            const double share = excess / 256;
            double sum = 0;
            auto &map = maps[size_t(ty * tiles + tx)];
            for (int i = 0; i < 256; ++i) {
                sum += clipped[size_t(i)] + share;
                map[size_t(i)] = uchar(std::clamp(std::lround(sum * 255 / std::max(1, count)), 0L, 255L));
            }
        }
    }
    // Each pixel blends the mappings of the four nearest tile centres.
    QImage out(grey.size(), QImage::Format_Grayscale8);
    const double tw = double(w) / tiles, th = double(h) / tiles;
    for (int y = 0; y < h; ++y) {
        const double gy = std::clamp((y + 0.5) / th - 0.5, 0.0, tiles - 1.0);
        const int ty0 = int(gy), ty1 = std::min(tiles - 1, ty0 + 1);
        const double fy = gy - ty0;
        const uchar *in = grey.constScanLine(y);
        uchar *o = out.scanLine(y);
        for (int x = 0; x < w; ++x) {
            const double gx = std::clamp((x + 0.5) / tw - 0.5, 0.0, tiles - 1.0);
            const int tx0 = int(gx), tx1 = std::min(tiles - 1, tx0 + 1);
            const double fx = gx - tx0;
            const uchar v = in[x];
            const double top = (1 - fx) * maps[size_t(ty0 * tiles + tx0)][v] + fx * maps[size_t(ty0 * tiles + tx1)][v];
            const double bottom = (1 - fx) * maps[size_t(ty1 * tiles + tx0)][v] + fx * maps[size_t(ty1 * tiles + tx1)][v];
            o[x] = uchar(std::lround((1 - fy) * top + fy * bottom));
        }
    }
    return out;
}

// Box blur along rows then columns of one 8-bit plane.
void boxBlur(std::vector<int> &plane, int w, int h, int r)
{
    std::vector<int> tmp(plane.size());
    for (int y = 0; y < h; ++y) {
        int sum = 0;
        const int *in = plane.data() + size_t(y) * w;
        for (int x = -r; x <= r; ++x)
            sum += in[std::clamp(x, 0, w - 1)];
        for (int x = 0; x < w; ++x) {
            tmp[size_t(y) * w + x] = sum / (2 * r + 1);
            sum += in[std::min(w - 1, x + r + 1)] - in[std::max(0, x - r)];
        }
    }
    for (int x = 0; x < w; ++x) {
        int sum = 0;
        for (int y = -r; y <= r; ++y)
            sum += tmp[size_t(std::clamp(y, 0, h - 1)) * w + x];
        for (int y = 0; y < h; ++y) {
            plane[size_t(y) * w + x] = sum / (2 * r + 1);
            sum += tmp[size_t(std::min(h - 1, y + r + 1)) * w + x] - tmp[size_t(std::max(0, y - r)) * w + x];
        }
    }
}

void drawLabel(QPainter &p, QPointF at, const QString &text, double fontPixels)
{
    QFont font = p.font();
    font.setPixelSize(std::max(9, int(fontPixels)));
    font.setBold(true);
    p.setFont(font);
    const QRectF box = p.fontMetrics().boundingRect(text).adjusted(-3, -1, 3, 1);
    QRectF placed = box.translated(at - box.bottomLeft() + QPointF(4, -4));
    // Kept on the picture, so a mark near its edge keeps a readable label.
    const QRectF area = QRectF(QPointF(0, 0), QSizeF(p.device()->width(), p.device()->height()));
    placed.moveLeft(std::clamp(placed.left(), area.left(), std::max(area.left(), area.right() - placed.width())));
    placed.moveTop(std::clamp(placed.top(), area.top(), std::max(area.top(), area.bottom() - placed.height())));
    p.fillRect(placed, QColor(0, 0, 0, 160));
    p.setPen(QColor(255, 230, 0));
    p.drawText(placed, Qt::AlignCenter, text);
}

} // namespace

QByteArray adjustmentsRecord(const PictureState &state)
{
    const Adjustments &a = state.adjust;
    QJsonObject o{{QStringLiteral("v"), kRecordVersion}};
    if (a.windowWidth > 0)
        o.insert(QStringLiteral("window"), QJsonArray{a.windowCenter, a.windowWidth});
    o.insert(QStringLiteral("invert"), a.invert);
    o.insert(QStringLiteral("gamma"), a.gamma);
    o.insert(QStringLiteral("sharpen"), a.sharpen);
    o.insert(QStringLiteral("equalise"), a.equalise);
    o.insert(QStringLiteral("turns"), a.quarterTurns);
    o.insert(QStringLiteral("flipH"), a.flipHorizontal);
    o.insert(QStringLiteral("flipV"), a.flipVertical);
    if (!a.crop.isNull())
        o.insert(QStringLiteral("crop"), QJsonArray{a.crop.x(), a.crop.y(), a.crop.width(), a.crop.height()});
    if (state.userMmPerPixel > 0)
        o.insert(QStringLiteral("mmPerPixel"), state.userMmPerPixel);
    o.insert(QStringLiteral("overlayHidden"), state.overlayHidden);
    return QJsonDocument(o).toJson(QJsonDocument::Compact);
}

QByteArray overlayRecord(const PictureState &state)
{
    QJsonArray items;
    for (const OverlayItem &item : state.overlay) {
        QJsonArray points;
        for (const QPointF &pt : item.points)
            points.append(QJsonArray{pt.x(), pt.y()});
        QJsonObject o{{QStringLiteral("kind"), QString::fromLatin1(kindName(item.kind))},
                      {QStringLiteral("points"), points}};
        if (!item.text.isEmpty())
            o.insert(QStringLiteral("text"), item.text);
        items.append(o);
    }
    return QJsonDocument(QJsonObject{{QStringLiteral("v"), kRecordVersion}, {QStringLiteral("items"), items}})
        .toJson(QJsonDocument::Compact);
}

Outcome readAdjustmentsRecord(const QByteArray &record, PictureState &state)
{
    QString error;
    const QJsonObject o = parseRecord(record, error);
    if (!error.isEmpty())
        return Outcome::failure(error);
    Adjustments a;
    const auto number = [&](const char *key, double fallback) {
        const QJsonValue v = o.value(QLatin1String(key));
        return v.isUndefined() ? fallback : v.toDouble(qQNaN());
    };
    const QJsonValue window = o.value(QLatin1String("window"));
    if (!window.isUndefined()) {
        const QJsonArray w = window.toArray();
        if (w.size() != 2)
            return Outcome::failure(QStringLiteral("its window is damaged"));
        a.windowCenter = w.at(0).toDouble(qQNaN());
        a.windowWidth = w.at(1).toDouble(qQNaN());
        if (!finite(a.windowCenter) || !finite(a.windowWidth) || a.windowWidth <= 0)
            return Outcome::failure(QStringLiteral("its window is damaged"));
    }
    a.invert = o.value(QLatin1String("invert")).toBool();
    a.gamma = number("gamma", 1.0);
    a.sharpen = number("sharpen", 0);
    a.equalise = o.value(QLatin1String("equalise")).toBool();
    const double turns = number("turns", 0);
    a.flipHorizontal = o.value(QLatin1String("flipH")).toBool();
    a.flipVertical = o.value(QLatin1String("flipV")).toBool();
    if (!finite(a.gamma) || a.gamma < 0.1 || a.gamma > 10 || !finite(a.sharpen) || a.sharpen < 0
        || a.sharpen > 3 || !finite(turns) || turns < 0 || turns > 3 || turns != std::floor(turns))
        return Outcome::failure(QStringLiteral("its values are out of range"));
    a.quarterTurns = int(turns);
    const QJsonValue crop = o.value(QLatin1String("crop"));
    if (!crop.isUndefined()) {
        const QJsonArray c = crop.toArray();
        if (c.size() != 4)
            return Outcome::failure(QStringLiteral("its crop is damaged"));
        a.crop = QRect(c.at(0).toInt(-1), c.at(1).toInt(-1), c.at(2).toInt(0), c.at(3).toInt(0));
        if (a.crop.x() < 0 || a.crop.y() < 0 || a.crop.width() <= 0 || a.crop.height() <= 0)
            return Outcome::failure(QStringLiteral("its crop is damaged"));
    }
    const double mm = number("mmPerPixel", 0);
    if (!finite(mm) || mm < 0)
        return Outcome::failure(QStringLiteral("its calibration is damaged"));
    state.adjust = a;
    state.userMmPerPixel = mm;
    state.overlayHidden = o.value(QLatin1String("overlayHidden")).toBool();
    return {};
}

Outcome readOverlayRecord(const QByteArray &record, PictureState &state)
{
    QString error;
    const QJsonObject o = parseRecord(record, error);
    if (!error.isEmpty())
        return Outcome::failure(error);
    const QJsonValue itemsValue = o.value(QLatin1String("items"));
    if (!itemsValue.isArray())
        return Outcome::failure(QStringLiteral("its marks are missing"));
    QList<OverlayItem> items;
    for (const QJsonValue &v : itemsValue.toArray()) {
        const QJsonObject io = v.toObject();
        OverlayItem item;
        const QString kind = io.value(QLatin1String("kind")).toString();
        bool known = false;
        for (auto k : {OverlayItem::Length, OverlayItem::Angle, OverlayItem::Text, OverlayItem::Arrow,
                       OverlayItem::Freehand})
            if (kind == QLatin1String(kindName(k))) {
                item.kind = k;
                known = true;
            }
        if (!known)
            return Outcome::failure(QStringLiteral("it holds a mark of an unknown kind"));
        for (const QJsonValue &p : io.value(QLatin1String("points")).toArray()) {
            const QJsonArray xy = p.toArray();
            const double x = xy.at(0).toDouble(qQNaN()), y = xy.at(1).toDouble(qQNaN());
            if (xy.size() != 2 || !finite(x) || !finite(y))
                return Outcome::failure(QStringLiteral("a mark's points are damaged"));
            item.points.append(QPointF(x, y));
        }
        if (!pointCountFits(item.kind, item.points.size()))
            return Outcome::failure(QStringLiteral("a mark's points are damaged"));
        item.text = io.value(QLatin1String("text")).toString();
        items.append(item);
    }
    state.overlay = items;
    return {};
}

Result<SourcePicture> loadSourcePicture(const QString &path, QSize box)
{
    SourcePicture source;
    QFile file(path);
    QByteArray head;
    if (file.open(QIODevice::ReadOnly))
        head = file.read(132);
    file.close();
    if (Dicom::looksLikeDicom(path, head)) {
        Result<Dicom::GreyPixels> grey = Dicom::decodeGrey(path, box);
        const Result<QSize> size = Dicom::pictureSize(path);
        if (grey && size) {
            source.grey = std::move(grey.value());
            source.fileSize = *size;
            source.spacing = Dicom::pixelSpacing(path);
            return source;
        }
    }
    ImageLoadOptions options;
    if (box.isValid() && !box.isEmpty()) {
        options.scaledTo = box;
        options.keepAspect = true;
    }
    Result<QImage> image = loadImageAsDecoded(path, options);
    if (!image)
        return Result<SourcePicture>::failure(image.error());
    const Result<QSize> size = imageSize(path);
    source.fileSize = size ? *size : image->size();
    if (image->format() == QImage::Format_Grayscale16) {
        // A 16-bit grey picture keeps its depth; its window is its range.
        const QImage &g = *image;
        Dicom::GreyPixels &grey = source.grey;
        grey.size = g.size();
        grey.values.resize(size_t(g.width()) * g.height());
        quint16 low = 65535, high = 0;
        for (int y = 0; y < g.height(); ++y) {
            const auto *line = reinterpret_cast<const quint16 *>(g.constScanLine(y));
            std::copy(line, line + g.width(), grey.values.begin() + qsizetype(y) * g.width());
            for (int x = 0; x < g.width(); ++x) {
                low = std::min(low, line[x]);
                high = std::max(high, line[x]);
            }
        }
        grey.minimum = low;
        grey.maximum = std::max<double>(high, low + 1);
        grey.windowCenter = (grey.minimum + grey.maximum) / 2;
        grey.windowWidth = grey.maximum - grey.minimum;
        return source;
    }
    const bool grey = image->format() == QImage::Format_Grayscale8 || image->isGrayscale();
    source.image = image->convertToFormat(grey ? QImage::Format_Grayscale8 : QImage::Format_RGB32);
    return source;
}

WindowRange defaultWindow(const SourcePicture &source)
{
    if (!source.isDeepGrey())
        return {128, 256, 0, 255};
    const Dicom::GreyPixels &g = source.grey;
    return {g.windowCenter, g.windowWidth, g.minimum, g.maximum};
}

std::pair<double, double> presetWindow(WindowPreset preset, const SourcePicture &source)
{
    const WindowRange r = defaultWindow(source);
    const double span = std::max(1.0, r.maximum - r.minimum);
    // Where the tissue lies on the range (0 least dense) and how wide a window it needs.
    double at = 0.5, width = 0.5;
    switch (preset) {
    case WindowPreset::Enamel: at = 0.78; width = 0.3; break;
    case WindowPreset::DentineBone: at = 0.55; width = 0.5; break;
    case WindowPreset::SoftTissue: at = 0.25; width = 0.35; break;
    }
    if (source.isDeepGrey() && source.grey.monochrome1)
        at = 1 - at; // dense tissue has the low values
    return {r.minimum + at * span, width * span};
}

int windowedValue(double value, double center, double width, bool monochrome1, bool invert, double gamma)
{
    double y;
    if (width <= 1) {
        y = value < center - 0.5 ? 0 : 255;
    } else {
        const double low = center - 0.5 - (width - 1) / 2;
        const double high = center - 0.5 + (width - 1) / 2;
        if (value <= low)
            y = 0;
        else if (value > high)
            y = 255;
        else
            y = ((value - (center - 0.5)) / (width - 1) + 0.5) * 255;
    }
    int out = int(std::lround(std::clamp(y, 0.0, 255.0)));
    if (monochrome1 != invert)
        out = 255 - out;
    if (gamma != 1.0)
        out = int(std::lround(255.0 * std::pow(out / 255.0, 1.0 / std::clamp(gamma, 0.1, 10.0))));
    return out;
}

ReducedGrey reduceGrey(const Dicom::GreyPixels &grey, const QRect &region, QSize size)
{
    ReducedGrey out;
    out.offset = grey.offset;
    out.monochrome1 = grey.monochrome1;
    const QRect r = region.intersected(QRect(QPoint(0, 0), grey.size));
    if (r.isEmpty() || size.isEmpty())
        return out;
    out.size = size;
    out.values.resize(size_t(size.width()) * size.height());
    const int stride = grey.size.width();
    if (size.width() >= r.width() || size.height() >= r.height()) {
        // Enlarging: the nearest stored value.
        for (int y = 0; y < size.height(); ++y) {
            const int sy = r.y() + std::min(r.height() - 1, int(qint64(y) * r.height() / size.height()));
            for (int x = 0; x < size.width(); ++x) {
                const int sx = r.x() + std::min(r.width() - 1, int(qint64(x) * r.width() / size.width()));
                out.values[size_t(y) * size.width() + x] = grey.values[size_t(sy) * stride + sx];
            }
        }
        return out;
    }
    // Reducing: the mean of the stored values each shown pixel covers.
    std::vector<int> columnStart(size_t(size.width()) + 1);
    for (int x = 0; x <= size.width(); ++x)
        columnStart[size_t(x)] = r.x() + int(qint64(x) * r.width() / size.width());
    std::vector<quint32> sums(size_t(size.width()));
    for (int y = 0; y < size.height(); ++y) {
        const int y0 = r.y() + int(qint64(y) * r.height() / size.height());
        const int y1 = r.y() + int(qint64(y + 1) * r.height() / size.height());
        std::fill(sums.begin(), sums.end(), 0);
        for (int sy = y0; sy < y1; ++sy) {
            const quint16 *line = grey.values.data() + size_t(sy) * stride;
            for (int x = 0; x < size.width(); ++x) {
                quint32 s = 0;
                for (int sx = columnStart[size_t(x)]; sx < columnStart[size_t(x) + 1]; ++sx)
                    s += line[sx];
                sums[size_t(x)] += s;
            }
        }
        const int rows = y1 - y0;
        quint16 *o = out.values.data() + size_t(y) * size.width();
        for (int x = 0; x < size.width(); ++x) {
            const quint32 n = quint32(rows * (columnStart[size_t(x) + 1] - columnStart[size_t(x)]));
            o[x] = quint16((sums[size_t(x)] + n / 2) / n);
        }
    }
    return out;
}

QImage applyWindow(const ReducedGrey &reduced, double center, double width, bool invert, double gamma)
{
    QImage out(reduced.size, QImage::Format_Grayscale8);
    if (out.isNull())
        return out;
    // The window itself is linear; gamma and inversion go through a second
    // small table so that building the big one costs no pow().
    const std::array<uchar, 256> tone = gammaTable(reduced.monochrome1 != invert, gamma);
    std::vector<uchar> table(65536);
    const double low = center - 0.5 - (width - 1) / 2;
    const double high = center - 0.5 + (width - 1) / 2;
    const double scale = width > 1 ? 255.0 / (width - 1) : 0;
    for (int v = 0; v < 65536; ++v) {
        const double value = v + reduced.offset;
        int y;
        if (width <= 1)
            y = value < center - 0.5 ? 0 : 255;
        else if (value <= low)
            y = 0;
        else if (value > high)
            y = 255;
        else
            y = int(std::lround(std::clamp((value - (center - 0.5)) * scale + 127.5, 0.0, 255.0)));
        table[size_t(v)] = tone[size_t(y)];
    }
    const int w = reduced.size.width();
    for (int y = 0; y < reduced.size.height(); ++y) {
        const quint16 *in = reduced.values.data() + size_t(y) * w;
        uchar *o = out.scanLine(y);
        for (int x = 0; x < w; ++x)
            o[x] = table[in[x]];
    }
    return out;
}

ShownGeometry shownGeometry(const Adjustments &adjust, QSize fileSize, QSize sourceSize, QSize target)
{
    ShownGeometry g;
    const QRect whole(QPoint(0, 0), fileSize);
    QRect crop = adjust.crop.isNull() ? whole : adjust.crop.intersected(whole);
    if (crop.isEmpty())
        crop = whole;
    const double sx = fileSize.width() > 0 ? double(sourceSize.width()) / fileSize.width() : 1;
    const double sy = fileSize.height() > 0 ? double(sourceSize.height()) / fileSize.height() : 1;
    g.region = QRect(int(std::floor(crop.x() * sx)), int(std::floor(crop.y() * sy)),
                     std::max(1, int(std::lround(crop.width() * sx))),
                     std::max(1, int(std::lround(crop.height() * sy))))
                   .intersected(QRect(QPoint(0, 0), sourceSize));
    const bool odd = adjust.quarterTurns % 2 != 0;
    g.unturned = g.region.size();
    if (target.isValid() && !target.isEmpty())
        g.unturned = g.region.size().scaled(odd ? target.transposed() : target, Qt::KeepAspectRatio)
                         .expandedTo(QSize(1, 1));
    g.shown = odd ? g.unturned.transposed() : g.unturned;

    const double W = g.unturned.width(), H = g.unturned.height();
    QTransform turn;
    switch (adjust.quarterTurns & 3) {
    case 1: turn = QTransform(0, 1, -1, 0, H, 0); break;
    case 2: turn = QTransform(-1, 0, 0, -1, W, H); break;
    case 3: turn = QTransform(0, -1, 1, 0, 0, W); break;
    default: break;
    }
    QTransform flip;
    if (adjust.flipHorizontal)
        flip *= QTransform(-1, 0, 0, 1, g.shown.width(), 0);
    if (adjust.flipVertical)
        flip *= QTransform(1, 0, 0, -1, 0, g.shown.height());
    g.fileToShown = QTransform::fromTranslate(-crop.x(), -crop.y())
                    * QTransform::fromScale(W / crop.width(), H / crop.height()) * turn * flip;
    return g;
}

QImage equalise(const QImage &picture)
{
    if (picture.format() == QImage::Format_Grayscale8)
        return equaliseGrey(picture);
    QImage rgb = picture.convertToFormat(QImage::Format_RGB32);
    const QImage y = luminance(rgb);
    const QImage ey = equaliseGrey(y);
    for (int row = 0; row < rgb.height(); ++row) {
        auto *line = reinterpret_cast<QRgb *>(rgb.scanLine(row));
        const uchar *before = y.constScanLine(row);
        const uchar *after = ey.constScanLine(row);
        for (int x = 0; x < rgb.width(); ++x) {
            const double k = double(after[x] + 1) / double(before[x] + 1);
            const QRgb c = line[x];
            line[x] = qRgb(std::min(255, int(qRed(c) * k)), std::min(255, int(qGreen(c) * k)),
                           std::min(255, int(qBlue(c) * k)));
        }
    }
    return rgb;
}

QImage unsharp(const QImage &picture, double amount)
{
    if (amount <= 0 || picture.isNull())
        return picture;
    const bool grey = picture.format() == QImage::Format_Grayscale8;
    QImage out = grey ? picture.copy() : picture.convertToFormat(QImage::Format_RGB32);
    const int w = out.width(), h = out.height();
    const int radius = std::max(1, std::min(w, h) / 300);
    const int channels = grey ? 1 : 3;
    std::vector<int> plane(size_t(w) * h);
    for (int c = 0; c < channels; ++c) {
        const auto get = [&](int x, int y) {
            if (grey)
                return int(out.constScanLine(y)[x]);
            const QRgb v = reinterpret_cast<const QRgb *>(out.constScanLine(y))[x];
            return c == 0 ? qRed(v) : c == 1 ? qGreen(v) : qBlue(v);
        };
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                plane[size_t(y) * w + x] = get(x, y);
        std::vector<int> blurred = plane;
        for (int pass = 0; pass < 2; ++pass)
            boxBlur(blurred, w, h, radius);
        for (int y = 0; y < h; ++y) {
            for (int x = 0; x < w; ++x) {
                const size_t i = size_t(y) * w + x;
                const int v = std::clamp(int(std::lround(plane[i] + amount * (plane[i] - blurred[i]))), 0, 255);
                if (grey) {
                    out.scanLine(y)[x] = uchar(v);
                } else {
                    QRgb &p = reinterpret_cast<QRgb *>(out.scanLine(y))[x];
                    p = c == 0 ? qRgb(v, qGreen(p), qBlue(p)) : c == 1 ? qRgb(qRed(p), v, qBlue(p))
                                                                      : qRgb(qRed(p), qGreen(p), v);
                }
            }
        }
    }
    return out;
}

Calibration calibrationFor(const PictureState &state, const Dicom::PixelSpacing &spacing)
{
    if (state.userMmPerPixel > 0)
        return {Calibration::User, state.userMmPerPixel, state.userMmPerPixel};
    switch (spacing.source) {
    case Dicom::PixelSpacing::Patient: return {Calibration::PixelSpacing, spacing.x, spacing.y};
    case Dicom::PixelSpacing::Imager: return {Calibration::ImagerPixelSpacing, spacing.x, spacing.y};
    case Dicom::PixelSpacing::None: break;
    }
    return {};
}

double lengthMm(QPointF from, QPointF to, const Calibration &calibration)
{
    if (calibration.source == Calibration::None)
        return -1;
    return std::hypot((to.x() - from.x()) * calibration.mmPerPixelX, (to.y() - from.y()) * calibration.mmPerPixelY);
}

QString lengthText(QPointF from, QPointF to, const Calibration &calibration)
{
    const double mm = lengthMm(from, to, calibration);
    if (mm < 0)
        return QStringLiteral("%1 px").arg(QLineF(from, to).length(), 0, 'f', 0);
    QString source;
    switch (calibration.source) {
    case Calibration::PixelSpacing: source = QStringLiteral("Pixel Spacing"); break;
    case Calibration::ImagerPixelSpacing: source = QStringLiteral("Imager Pixel Spacing"); break;
    case Calibration::User: source = QStringLiteral("user calibration"); break;
    case Calibration::None: break;
    }
    return QStringLiteral("%1 mm (%2)").arg(mm, 0, 'f', 1).arg(source);
}

QString angleText(QPointF a, QPointF vertex, QPointF b)
{
    const double angle = std::abs(QLineF(vertex, a).angleTo(QLineF(vertex, b)));
    return QStringLiteral("%1°").arg(angle > 180 ? 360 - angle : angle, 0, 'f', 1);
}

Result<double> userCalibration(QPointF from, QPointF to, double millimetres)
{
    const double pixels = QLineF(from, to).length();
    if (pixels < 1)
        return Result<double>::failure(
            QStringLiteral("The calibration line has no length. Draw it along an object of known length."));
    if (!(millimetres > 0) || !std::isfinite(millimetres))
        return Result<double>::failure(QStringLiteral("The known length must be more than 0 mm."));
    return millimetres / pixels;
}

void paintOverlay(QImage &shown, const PictureState &state, const QTransform &fileToShown,
                  const Calibration &calibration)
{
    if (state.overlay.isEmpty())
        return;
    QPainter p(&shown);
    p.setRenderHint(QPainter::Antialiasing);
    const double scale = std::max(1, std::min(shown.width(), shown.height()));
    const double penWidth = std::max(1.5, scale / 350);
    const double fontPixels = std::max(10.0, scale / 32);
    const QColor ink(255, 230, 0);
    for (const OverlayItem &item : state.overlay) {
        QList<QPointF> pts;
        for (const QPointF &pt : item.points)
            pts.append(fileToShown.map(pt));
        // A dark edge under the mark keeps it visible on bright bone.
        for (const QColor &colour : {QColor(0, 0, 0, 170), ink}) {
            const bool edge = colour != ink;
            p.setPen(QPen(colour, edge ? penWidth * 2.5 : penWidth, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
            p.setBrush(Qt::NoBrush);
            switch (item.kind) {
            case OverlayItem::Length: {
                p.drawLine(pts[0], pts[1]);
                const QLineF normal = QLineF(pts[0], pts[1]).normalVector();
                const QPointF tick = normal.length() > 0 ? (normal.p2() - normal.p1()) / normal.length() * penWidth * 4
                                                         : QPointF();
                p.drawLine(pts[0] - tick, pts[0] + tick);
                p.drawLine(pts[1] - tick, pts[1] + tick);
                break;
            }
            case OverlayItem::Angle: p.drawPolyline(pts.data(), 3); break;
            case OverlayItem::Arrow: {
                p.drawLine(pts[0], pts[1]);
                const QLineF back(pts[1], pts[0]);
                for (double turn : {25.0, -25.0}) {
                    QLineF head = back;
                    head.setLength(penWidth * 7);
                    head.setAngle(back.angle() + turn);
                    p.drawLine(head);
                }
                break;
            }
            case OverlayItem::Freehand: p.drawPolyline(pts.data(), int(pts.size())); break;
            case OverlayItem::Text: break;
            }
        }
        switch (item.kind) {
        case OverlayItem::Length:
            drawLabel(p, (pts[0] + pts[1]) / 2, lengthText(item.points[0], item.points[1], calibration), fontPixels);
            break;
        case OverlayItem::Angle:
            drawLabel(p, pts[1], angleText(item.points[0], item.points[1], item.points[2]), fontPixels);
            break;
        case OverlayItem::Text: drawLabel(p, pts[0], item.text, fontPixels); break;
        case OverlayItem::Arrow:
            if (!item.text.isEmpty())
                drawLabel(p, pts[0], item.text, fontPixels);
            break;
        case OverlayItem::Freehand: break;
        }
    }
}

QImage reducedBase(const SourcePicture &source, const ShownGeometry &g)
{
    if (source.isDeepGrey())
        return {};
    QImage out = g.region == source.image.rect() ? source.image : source.image.copy(g.region);
    if (out.size() != g.unturned)
        out = out.scaled(g.unturned, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    return out;
}

QImage toneBase(const QImage &base, const Adjustments &a)
{
    if (a.windowWidth <= 0 && !a.invert && a.gamma == 1.0)
        return base;
    std::array<uchar, 256> table{};
    const double c = a.windowWidth > 0 ? a.windowCenter : 128;
    const double w = a.windowWidth > 0 ? a.windowWidth : 256;
    for (int v = 0; v < 256; ++v)
        table[size_t(v)] = uchar(windowedValue(v, c, w, false, a.invert, a.gamma));
    return mapThrough(base, table);
}

QImage finishPicture(QImage out, const PictureState &state, const ShownGeometry &g, const Calibration &calibration,
                     bool withOverlay)
{
    const Adjustments &a = state.adjust;
    if (a.equalise)
        out = equalise(out);
    if (a.sharpen > 0)
        out = unsharp(out, a.sharpen);
    if (a.quarterTurns & 3)
        out = out.transformed(QTransform().rotate(90.0 * (a.quarterTurns & 3)));
    if (a.flipHorizontal || a.flipVertical)
        out = out.mirrored(a.flipHorizontal, a.flipVertical);
    if (withOverlay && !state.overlayHidden && !state.overlay.isEmpty()) {
        out = out.convertToFormat(QImage::Format_RGB32);
        paintOverlay(out, state, g.fileToShown, calibration);
    }
    return out;
}

QImage renderPicture(const SourcePicture &source, const PictureState &state, QSize target, bool withOverlay)
{
    if (source.isNull())
        return {};
    const Adjustments &a = state.adjust;
    const ShownGeometry g = shownGeometry(a, source.fileSize, source.size(), target);
    QImage out;
    if (source.isDeepGrey()) {
        const WindowRange own = defaultWindow(source);
        const ReducedGrey reduced = reduceGrey(source.grey, g.region, g.unturned);
        out = a.windowWidth > 0 ? applyWindow(reduced, a.windowCenter, a.windowWidth, a.invert, a.gamma)
                                : applyWindow(reduced, own.center, own.width, a.invert, a.gamma);
    } else {
        out = toneBase(reducedBase(source, g), a);
    }
    return finishPicture(out, state, g, calibrationFor(state, source.spacing), withOverlay);
}

} // namespace tovradocs::Internal
