#pragma once

#include <QColor>
#include <QCoreApplication>
#include <QFile>
#include <QDir>
#include <QImage>
#include <QList>
#include <QProcess>
#include <QRectF>
#include <QRegularExpression>
#include <QSizeF>
#include <QStandardPaths>
#include <QString>

#include <algorithm>
#include <cmath>
#include <functional>

// Reads printed PDFs back through poppler's command-line tools.
namespace pdfcheck {

inline QString run(const QString &program, const QStringList &arguments)
{
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForFinished(60000))
        return QString();
    return QString::fromUtf8(process.readAllStandardOutput());
}

inline bool toolsPresent()
{
    return !QStandardPaths::findExecutable(QStringLiteral("pdfinfo")).isEmpty()
           && !QStandardPaths::findExecutable(QStringLiteral("pdftoppm")).isEmpty()
           && !QStandardPaths::findExecutable(QStringLiteral("pdftotext")).isEmpty();
}

inline int pages(const QString &pdf)
{
    const auto match = QRegularExpression(QStringLiteral("Pages:\\s+(\\d+)"))
                           .match(run(QStringLiteral("pdfinfo"), {pdf}));
    return match.hasMatch() ? match.captured(1).toInt() : -1;
}

// Page size in inches.
inline QSizeF pageSize(const QString &pdf)
{
    const auto match = QRegularExpression(QStringLiteral("Page size:\\s+([\\d.]+) x ([\\d.]+) pts"))
                           .match(run(QStringLiteral("pdfinfo"), {pdf}));
    return match.hasMatch() ? QSizeF(match.captured(1).toDouble() / 72, match.captured(2).toDouble() / 72)
                            : QSizeF();
}

inline QString text(const QString &pdf, int page = 0)
{
    QStringList arguments;
    if (page > 0)
        arguments << QStringLiteral("-f") << QString::number(page) << QStringLiteral("-l") << QString::number(page);
    arguments << pdf << QStringLiteral("-");
    return run(QStringLiteral("pdftotext"), arguments);
}

// One page rendered at dpi.
inline QImage render(const QString &pdf, int page, int dpi)
{
    const QString base = QDir::temp().filePath(QStringLiteral("pdfcheck-%1").arg(QCoreApplication::applicationPid()));
    run(QStringLiteral("pdftoppm"), {QStringLiteral("-r"), QString::number(dpi), QStringLiteral("-f"),
                                     QString::number(page), QStringLiteral("-l"), QString::number(page),
                                     QStringLiteral("-singlefile"), QStringLiteral("-png"), pdf, base});
    QImage image(base + QStringLiteral(".png"));
    QFile::remove(base + QStringLiteral(".png"));
    return image;
}

// Bounding box, in inches, of the pixels that pass test; empty when none does.
inline QRectF inkBox(const QImage &image, double dpi, const std::function<bool(QRgb)> &test)
{
    int left = image.width(), top = image.height(), right = -1, bottom = -1;
    for (int y = 0; y < image.height(); ++y) {
        const auto *line = reinterpret_cast<const QRgb *>(image.constScanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            if (!test(line[x]))
                continue;
            left = std::min(left, x);
            right = std::max(right, x);
            top = std::min(top, y);
            bottom = std::max(bottom, y);
        }
    }
    if (right < 0)
        return {};
    return QRectF(left / dpi, top / dpi, (right - left + 1) / dpi, (bottom - top + 1) / dpi);
}

inline bool near(QRgb pixel, QColor colour, int tolerance = 60)
{
    return std::abs(qRed(pixel) - colour.red()) < tolerance && std::abs(qGreen(pixel) - colour.green()) < tolerance
           && std::abs(qBlue(pixel) - colour.blue()) < tolerance;
}

inline bool dark(QRgb pixel) { return qGray(pixel) < 128; }

inline bool ink(QRgb pixel) { return qGray(pixel) < 235; }

// One word as poppler places it: page from 1, box in inches from the sheet's top-left corner.
struct Word
{
    int page = 0;
    QString text;
    QRectF box;
};

inline QList<Word> words(const QString &pdf)
{
    QList<Word> found;
    const QString html = run(QStringLiteral("pdftotext"), {QStringLiteral("-bbox"), pdf, QStringLiteral("-")});
    static const QRegularExpression tag(QStringLiteral(
        R"re(<page |<word xMin="([\d.]+)" yMin="([\d.]+)" xMax="([\d.]+)" yMax="([\d.]+)">([^<]*)</word>)re"));
    int page = 0;
    for (auto it = tag.globalMatch(html); it.hasNext();) {
        const auto match = it.next();
        if (match.captured(0) == QLatin1String("<page ")) {
            ++page;
            continue;
        }
        QString text = match.captured(5);
        text.replace(QStringLiteral("&lt;"), QStringLiteral("<")).replace(QStringLiteral("&gt;"), QStringLiteral(">"))
            .replace(QStringLiteral("&quot;"), QStringLiteral("\"")).replace(QStringLiteral("&apos;"), QStringLiteral("'"))
            .replace(QStringLiteral("&amp;"), QStringLiteral("&"));
        const QPointF from(match.captured(1).toDouble() / 72, match.captured(2).toDouble() / 72);
        const QPointF to(match.captured(3).toDouble() / 72, match.captured(4).toDouble() / 72);
        found.append({page, text, QRectF(from, to)});
    }
    return found;
}

inline bool sameLine(const Word &a, const Word &b)
{
    return a.page == b.page && std::abs(a.box.center().y() - b.box.center().y()) < 0.04;
}

// Every place where phrase stands as consecutive words of one line: the
// words of the phrase, left to right, for each.
inline QList<QList<Word>> findLines(const QList<Word> &all, const QStringList &phrase)
{
    QList<QList<Word>> places;
    for (const Word &first : all) {
        if (phrase.isEmpty() || first.text != phrase.first())
            continue;
        QList<Word> line;
        for (const Word &w : all)
            if (sameLine(w, first) && w.box.left() >= first.box.left() - 0.001)
                line.append(w);
        std::sort(line.begin(), line.end(), [](const Word &a, const Word &b) { return a.box.left() < b.box.left(); });
        if (line.size() < phrase.size())
            continue;
        bool same = true;
        for (int i = 0; i < phrase.size() && same; ++i)
            same = line.at(i).text == phrase.at(i);
        if (same)
            places.append(line.mid(0, phrase.size()));
    }
    return places;
}

} // namespace pdfcheck
