#include "ilsformat.h"

#include <QBuffer>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QImageWriter>
#include <QSaveFile>
#include <QtEndian>

#include <array>
#include <cmath>
#include <cstring>

namespace tovradocs::Internal {

namespace {

constexpr char kMagic[8] = {'T', 'O', 'V', 'R', 'A', 'I', 'L', 'S'};
constexpr int kHeaderSize = 20;
constexpr qreal kMaxCoordinate = 1e6;
constexpr quint32 kMaxFontFamily = 256;
constexpr quint32 kMaxText = 1 << 20;

class Writer
{
public:
    template<typename T>
    void number(T value)
    {
        const T big = qToBigEndian(value);
        m_bytes.append(reinterpret_cast<const char *>(&big), sizeof big);
    }
    void real(qreal value)
    {
        quint64 bits;
        std::memcpy(&bits, &value, sizeof bits);
        number(bits);
    }
    void bytes(const QByteArray &data)
    {
        number(quint32(data.size()));
        m_bytes.append(data);
    }
    void text(const QString &s) { bytes(s.toUtf8()); }
    void object(const DrawObject &o);
    QByteArray take() { return std::move(m_bytes); }

private:
    QByteArray m_bytes;
};

QByteArray encodePng(const QImage &image)
{
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter(&buffer, "png").write(image);
    return png;
}

void Writer::object(const DrawObject &o)
{
    number(quint8(o.kind));
    real(o.rect.x());
    real(o.rect.y());
    real(o.rect.width());
    real(o.rect.height());
    real(o.rotation);
    number(quint32(o.border.rgba()));
    number(quint32(o.fill.rgba()));
    number(quint16(o.borderWidth));
    number(quint8(o.fillStyle));
    number(quint16(o.points));
    number(quint16(o.roundSize));
    real(o.arcStart);
    real(o.arcSpan);
    text(o.text);
    text(o.fontFamily);
    real(o.fontSize);
    number(quint8((o.bold ? 1 : 0) | (o.italic ? 2 : 0) | (o.underline ? 4 : 0) | (o.strikeOut ? 8 : 0)));
    number(quint8(o.align));
    if (o.kind == ShapeKind::Picture)
        bytes(o.pictureData.isEmpty() ? encodePng(o.picture) : o.pictureData);
    if (o.kind == ShapeKind::Group) {
        number(quint32(o.children.size()));
        for (const DrawObject &child : o.children)
            object(child);
    }
}

// Reads the body; the first failure sticks and every later read returns zero.
class Reader
{
public:
    Reader(QByteArrayView data, const IlsLimits &limits) : m_data(data), m_limits(limits) { }

    bool failed() const { return !m_error.isEmpty(); }
    QString error() const { return m_error; }
    void fail(const QString &why)
    {
        if (m_error.isEmpty())
            m_error = why;
    }
    bool atEnd() const { return m_pos == m_data.size(); }
    qsizetype remaining() const { return m_data.size() - m_pos; }

    template<typename T>
    T number()
    {
        if (failed() || remaining() < qsizetype(sizeof(T))) {
            fail(QStringLiteral("The file ends too early."));
            return T {};
        }
        T value = qFromBigEndian<T>(m_data.data() + m_pos);
        m_pos += sizeof(T);
        return value;
    }
    qreal real(qreal lo, qreal hi, const char *what)
    {
        const quint64 bits = number<quint64>();
        qreal value;
        std::memcpy(&value, &bits, sizeof value);
        if (!std::isfinite(value) || value < lo || value > hi) {
            fail(QStringLiteral("The file holds an impossible %1.").arg(QLatin1String(what)));
            return 0;
        }
        return value;
    }
    int integer(int lo, int hi, int value, const char *what)
    {
        if (value < lo || value > hi) {
            fail(QStringLiteral("The file holds an impossible %1.").arg(QLatin1String(what)));
            return lo;
        }
        return value;
    }
    QByteArrayView bytes(quint32 maxLength)
    {
        const quint32 length = number<quint32>();
        if (failed())
            return {};
        if (length > maxLength || qsizetype(length) > remaining()) {
            fail(QStringLiteral("The file is damaged: a block is longer than the file."));
            return {};
        }
        QByteArrayView view = m_data.sliced(m_pos, length);
        m_pos += length;
        return view;
    }
    QString text(quint32 maxLength)
    {
        const QByteArrayView raw = bytes(maxLength);
        return failed() ? QString() : QString::fromUtf8(raw);
    }
    DrawObject object(int depth);
    QImage picture(QByteArrayView png);
    // Counts the objects a count field announces; false once there are too many.
    bool admit(quint32 count)
    {
        m_objects += count;
        if (m_objects <= quint64(m_limits.maxObjects))
            return true;
        fail(QStringLiteral("The file holds more objects than a drawing can (%1).")
                 .arg(m_limits.maxObjects));
        return false;
    }

private:
    QByteArrayView m_data;
    qsizetype m_pos = 0;
    IlsLimits m_limits;
    qint64 m_pixels = 0;
    quint64 m_objects = 0;
    QString m_error;
};

QImage Reader::picture(QByteArrayView png)
{
    QByteArray copy = png.toByteArray();
    QBuffer buffer(&copy);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, "png");
    const QSize size = reader.size();
    const qint64 pixels = qint64(size.width()) * size.height();
    if (!size.isValid() || size.isEmpty()) {
        fail(QStringLiteral("The file holds a damaged picture (%1).").arg(reader.errorString()));
        return {};
    }
    // Checked against what the picture claims, before anything is decoded.
    if (pixels > m_limits.maxPicturePixels) {
        fail(QStringLiteral("The file holds a picture of %1 x %2 pixels, too large for a drawing "
                            "(a picture may hold %3).")
                 .arg(size.width())
                 .arg(size.height())
                 .arg(pixelCountText(m_limits.maxPicturePixels)));
        return {};
    }
    if (m_pixels + pixels > m_limits.maxTotalPixels) {
        fail(QStringLiteral(
                 "The file's pictures are too large for a drawing: together they hold more "
                 "than %1.")
                 .arg(pixelCountText(m_limits.maxTotalPixels)));
        return {};
    }
    reader.setAllocationLimit(int(pixels * 8 / (1024 * 1024)) + 16);
    QImage image = reader.read();
    if (image.isNull() || image.size() != size) {
        fail(QStringLiteral("The file holds a damaged picture (%1).").arg(reader.errorString()));
        return {};
    }
    m_pixels += pixels;
    return image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
}

DrawObject Reader::object(int depth)
{
    DrawObject o;
    const quint8 kind = number<quint8>();
    if (!failed() && (kind < 1 || kind > kLastShapeKind))
        fail(QStringLiteral("The file holds an object of an unknown kind (%1).").arg(kind));
    o.kind = ShapeKind(kind);
    const qreal x = real(-kMaxCoordinate, kMaxCoordinate, "position");
    const qreal y = real(-kMaxCoordinate, kMaxCoordinate, "position");
    const qreal w = real(-kMaxCoordinate, kMaxCoordinate, "size");
    const qreal h = real(-kMaxCoordinate, kMaxCoordinate, "size");
    o.rect = QRectF(x, y, w, h);
    o.rotation = real(-360, 360, "rotation");
    o.border = QColor::fromRgba(number<quint32>());
    o.fill = QColor::fromRgba(number<quint32>());
    o.borderWidth = integer(0, 100, number<quint16>(), "border size");
    o.fillStyle = FillStyle(integer(0, kLastFillStyle, number<quint8>(), "fill style"));
    o.points = integer(3, 100, number<quint16>(), "number of points");
    o.roundSize = integer(0, 10000, number<quint16>(), "round size");
    o.arcStart = real(-360, 360, "arc angle");
    o.arcSpan = real(-360, 360, "arc angle");
    o.text = text(kMaxText);
    o.fontFamily = text(kMaxFontFamily);
    o.fontSize = real(1, 1000, "font size");
    const quint8 flags = number<quint8>();
    o.bold = flags & 1;
    o.italic = flags & 2;
    o.underline = flags & 4;
    o.strikeOut = flags & 8;
    o.align = TextAlign(integer(0, 2, number<quint8>(), "text alignment"));
    if (failed())
        return o;
    if (o.kind == ShapeKind::Picture) {
        const QByteArrayView png = bytes(quint32(qMin<qsizetype>(remaining(), 0x7fffffff)));
        if (!failed()) {
            o.picture = picture(png);
            o.pictureData = png.toByteArray();
        }
    } else if (o.kind == ShapeKind::Group) {
        if (depth >= m_limits.maxDepth) {
            fail(QStringLiteral("The file nests groups too deeply."));
            return o;
        }
        const quint32 count = number<quint32>();
        // Every object takes at least this many bytes, which bounds the count.
        if (!failed() && count > quint32(remaining() / 80))
            fail(QStringLiteral("The file is damaged: it counts more objects than it holds."));
        if (!failed() && admit(count))
            for (quint32 i = 0; i < count && !failed(); ++i)
                o.children << object(depth + 1);
    }
    return o;
}

constexpr std::array<quint32, 256> makeCrcTable()
{
    std::array<quint32, 256> table {};
    for (quint32 n = 0; n < 256; ++n) {
        quint32 c = n;
        for (int k = 0; k < 8; ++k)
            c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
        table[n] = c;
    }
    return table;
}

} // namespace

QString pixelCountText(qint64 pixels)
{
    return QStringLiteral("%1 million pixels").arg(double(pixels) / 1e6, 0, 'f', 1);
}

quint32 crc32(QByteArrayView bytes)
{
    static constexpr auto table = makeCrcTable();
    quint32 c = 0xFFFFFFFFu;
    for (char b : bytes)
        c = table[(c ^ quint8(b)) & 0xFF] ^ (c >> 8);
    return c ^ 0xFFFFFFFFu;
}

QByteArray writeIls(const Drawing &drawing)
{
    Writer body;
    body.number(qint32(drawing.canvas.width()));
    body.number(qint32(drawing.canvas.height()));
    body.number(quint32(drawing.background.rgba()));
    body.number(quint32(drawing.objects.size()));
    for (const DrawObject &o : drawing.objects)
        body.object(o);
    const QByteArray bodyBytes = body.take();

    Writer file;
    QByteArray out(kMagic, sizeof kMagic);
    file.number(kIlsVersion);
    file.number(quint16(0));
    file.number(quint32(bodyBytes.size()));
    file.number(crc32(bodyBytes));
    out += file.take();
    out += bodyBytes;
    return out;
}

Result<Drawing> readIls(const QByteArray &bytes, const IlsLimits &limits)
{
    using R = Result<Drawing>;
    if (bytes.size() < kHeaderSize || std::memcmp(bytes.constData(), kMagic, sizeof kMagic) != 0)
        return R::failure(QStringLiteral("The file is not an illustration."));
    const quint16 version = qFromBigEndian<quint16>(bytes.constData() + 8);
    if (version > kIlsVersion)
        return R::failure(QStringLiteral("The illustration was saved by a newer version of the "
                                         "program (format %1); this version reads format %2.")
                              .arg(version)
                              .arg(kIlsVersion));
    if (version == 0)
        return R::failure(QStringLiteral("The file is not an illustration."));
    const quint32 length = qFromBigEndian<quint32>(bytes.constData() + 12);
    const quint32 crc = qFromBigEndian<quint32>(bytes.constData() + 16);
    const QByteArrayView body = QByteArrayView(bytes).sliced(kHeaderSize);
    if (body.size() != qsizetype(length))
        return R::failure(QStringLiteral("The illustration is incomplete: the file was cut short."));
    if (crc32(body) != crc)
        return R::failure(QStringLiteral("The illustration is damaged: its checksum does not match."));

    Reader in(body, limits);
    Drawing drawing;
    const qint32 width = in.number<qint32>();
    const qint32 height = in.number<qint32>();
    if (!in.failed() && (width < 1 || height < 1 || width > limits.maxCanvas || height > limits.maxCanvas))
        in.fail(QStringLiteral("The file holds an impossible canvas size (%1 x %2).").arg(width).arg(height));
    drawing.canvas = QSize(width, height);
    drawing.background = QColor::fromRgba(in.number<quint32>());
    const quint32 count = in.number<quint32>();
    if (!in.failed() && count > quint32(in.remaining() / 80))
        in.fail(QStringLiteral("The file is damaged: it counts more objects than it holds."));
    if (!in.failed() && in.admit(count))
        for (quint32 i = 0; i < count && !in.failed(); ++i)
            drawing.objects << in.object(0);
    if (!in.failed() && !in.atEnd())
        in.fail(QStringLiteral("The file is damaged: it holds data after the last object."));
    if (in.failed())
        return R::failure(in.error());
    return drawing;
}

Result<Drawing> loadIlsFile(const QString &path, const IlsLimits &limits)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return Result<Drawing>::failure(QStringLiteral("Cannot open %1: %2").arg(path, file.errorString()));
    if (file.size() > kMaxIlsFileSize)
        return Result<Drawing>::failure(QStringLiteral("%1 is too large for an illustration (%2 "
                                                       "MB; a drawing's file holds at most %3 MB).")
                                            .arg(QFileInfo(path).fileName())
                                            .arg(file.size() / (1024 * 1024))
                                            .arg(kMaxIlsFileSize / (1024 * 1024)));
    Result<Drawing> drawing = readIls(file.readAll(), limits);
    if (!drawing)
        return Result<Drawing>::failure(QStringLiteral("%1: %2").arg(QFileInfo(path).fileName(), drawing.error()));
    return drawing;
}

Outcome saveIlsFile(const QString &path, const Drawing &drawing)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return Outcome::failure(QStringLiteral("Cannot save %1: %2").arg(path, file.errorString()));
    const QByteArray bytes = writeIls(drawing);
    if (file.write(bytes) != bytes.size() || !file.commit())
        return Outcome::failure(QStringLiteral("Cannot save %1: %2").arg(path, file.errorString()));
    return Outcome();
}

} // namespace tovradocs::Internal
