#pragma once

// Pictures for the thumbnail benchmarks: photo-like and radiograph-like
// content that compresses as real ones do, and the sets made of them.

#include <QDir>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QtConcurrent/QtConcurrentMap>

#include <algorithm>
#include <cstdio>
#include <functional>

namespace benchpictures {

inline quint32 nextRandom(quint32 &state)
{
    state ^= state << 13;
    state ^= state >> 17;
    state ^= state << 5;
    return state;
}

// Sky-to-ground gradient, soft blobs and sensor-like noise: compresses like a photo.
inline QImage cameraPicture(int seed, QSize size = QSize(4032, 3024))
{
    QImage image(size, QImage::Format_RGB32);
    QPainter p(&image);
    quint32 rng = 0x9e3779b9u * (seed + 1);
    QLinearGradient sky(0, 0, 0, image.height());
    sky.setColorAt(0, QColor::fromHsv(int(nextRandom(rng) % 360), 90, 230));
    sky.setColorAt(1, QColor::fromHsv(int(nextRandom(rng) % 360), 160, 70));
    p.fillRect(image.rect(), sky);
    p.setPen(Qt::NoPen);
    for (int i = 0; i < 40; ++i) {
        QRadialGradient blob(QPointF(nextRandom(rng) % quint32(image.width()), nextRandom(rng) % quint32(image.height())),
                             (200 + nextRandom(rng) % 900) * image.width() / 4032.0);
        const QColor c = QColor::fromHsv(int(nextRandom(rng) % 360), 120, 60 + int(nextRandom(rng) % 190));
        blob.setColorAt(0, c);
        blob.setColorAt(1, QColor(c.red(), c.green(), c.blue(), 0));
        p.setBrush(blob);
        p.drawRect(image.rect());
    }
    p.end();
    for (int y = 0; y < image.height(); ++y) {
        auto *line = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            const int n = int(nextRandom(rng) & 15) - 8;
            const QRgb v = line[x];
            line[x] = qRgb(std::clamp(qRed(v) + n, 0, 255), std::clamp(qGreen(v) + n, 0, 255),
                           std::clamp(qBlue(v) + n, 0, 255));
        }
    }
    return image;
}

// Grey radiograph-like picture: dark field, bright rounded shapes, grain.
inline QImage radiograph(int seed, QSize size = QSize(2000, 1500))
{
    QImage image(size, QImage::Format_Grayscale8);
    image.fill(30);
    QPainter p(&image);
    quint32 rng = 0x85ebca6bu * (seed + 3);
    p.setPen(Qt::NoPen);
    const double k = image.width() / 2000.0; // drawn for 2000 x 1500, scaled to the size
    p.scale(k, image.height() / 1500.0);
    for (int i = 0; i < 9; ++i) {
        QRadialGradient tooth(QPointF(150 + i * 210, 750), 380);
        tooth.setColorAt(0, QColor(230, 230, 230));
        tooth.setColorAt(1, QColor(40, 40, 40));
        p.setBrush(tooth);
        p.drawRoundedRect(QRectF(60 + i * 210, 200 + nextRandom(rng) % 200, 180, 1000), 80, 80);
    }
    p.end();
    for (int y = 0; y < image.height(); ++y) {
        uchar *line = image.scanLine(y);
        for (int x = 0; x < image.width(); ++x)
            line[x] = uchar(std::clamp(int(line[x]) + int(nextRandom(rng) % 13) - 6, 0, 255));
    }
    return image;
}

// Makes `distinct` pictures and copies them up to `count` files: decoding cost
// is per file, so copies measure the same as unique pictures.
inline QStringList ensureSet(const QString &dir, const QString &stem, const QString &suffix, int count,
                      int distinct, const std::function<bool(int, const QString &)> &make)
{
    QDir().mkpath(dir);
    QStringList files;
    for (int i = 0; i < count; ++i)
        files << QStringLiteral("%1/%2_%3.%4").arg(dir, stem).arg(i, 4, 10, QLatin1Char('0')).arg(suffix);
    QList<int> missing;
    for (int i = 0; i < std::min(count, distinct); ++i) {
        if (!QFile::exists(files[i]))
            missing << i;
    }
    if (!missing.isEmpty()) {
        std::printf("generating %lld %s pictures in %s ...\n", qsizetype(missing.size()),
                    qPrintable(suffix), qPrintable(dir));
        std::fflush(stdout);
        QtConcurrent::blockingMap(missing, [&](int i) {
            const QString temp = files[i] + QStringLiteral(".part");
            if (make(i, temp))
                QFile::rename(temp, files[i]);
        });
    }
    for (int i = distinct; i < count; ++i) {
        if (!QFile::exists(files[i]))
            QFile::copy(files[i % distinct], files[i]);
    }
    return files;
}

} // namespace benchpictures
