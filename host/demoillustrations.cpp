#include "demoillustrations.h"

#include "controls/ilsformat.h"

#include <QDir>
#include <QFileInfo>

#include <cmath>
#include <numbers>

namespace tovradocs::Internal {

namespace {

DrawObject shape(ShapeKind kind, QRectF rect, QColor fill, QColor border = QColor(60, 60, 60), int width = 2)
{
    DrawObject o;
    o.kind = kind;
    o.rect = rect;
    o.fill = fill;
    o.border = border;
    o.borderWidth = width;
    return o;
}

DrawObject text(const QString &words, QRectF rect, qreal size, QColor colour = Qt::black, bool bold = false)
{
    DrawObject o = shape(ShapeKind::Text, rect, Qt::white, colour, 0);
    o.text = words;
    o.fontFamily = QStringLiteral("Liberation Sans");
    o.fontSize = size;
    o.bold = bold;
    o.fillStyle = FillStyle::Transparent;
    o.align = TextAlign::Center;
    return o;
}

// Where a tooth of either arch sits: i counts 0 to 15 from the patient's right.
struct ToothPlace
{
    QPointF centre;
    QPointF outward; // unit vector away from the arch's middle
    qreal angle;     // degrees the tooth turns to follow the arch
};

ToothPlace toothPlace(bool upper, int i)
{
    const qreal t = std::numbers::pi * (i + 0.5) / 16;
    const qreal rx = 320, ry = 190;
    const QPointF middle(400, upper ? 280 : 340);
    const qreal sy = upper ? -1 : 1;
    const QPointF centre(middle.x() - rx * std::cos(t), middle.y() + sy * ry * std::sin(t));
    QPointF outward(-std::cos(t) / rx, sy * std::sin(t) / ry);
    outward /= std::hypot(outward.x(), outward.y());
    return {centre, outward, (t * 180 / std::numbers::pi - 90) * (upper ? 1 : -1)};
}

// FDI number of the tooth at i in an arch.
int toothNumber(bool upper, int i)
{
    const int fromMiddle = i < 8 ? 8 - i : i - 7;
    const int quadrant = upper ? (i < 8 ? 1 : 2) : (i < 8 ? 4 : 3);
    return quadrant * 10 + fromMiddle;
}

// Both arches, 16 teeth each, numbered as dentists number them.
Drawing toothChart()
{
    Drawing d;
    d.canvas = QSize(800, 640);
    d.background = QColor(255, 253, 246);
    d.objects << text(QStringLiteral("Tooth chart"), QRectF(250, 300, 300, 30), 16, QColor(40, 40, 40), true);
    const QColor enamel(250, 248, 235);
    for (bool upper : {true, false}) {
        for (int i = 0; i < 16; ++i) {
            const ToothPlace place = toothPlace(upper, i);
            const int fromMiddle = toothNumber(upper, i) % 10;
            const qreal side = fromMiddle >= 6 ? 44 : fromMiddle >= 4 ? 34 : 28;
            DrawObject tooth = shape(fromMiddle >= 4 ? ShapeKind::RoundRectangle : ShapeKind::Ellipse,
                                     QRectF(place.centre - QPointF(side / 2, side / 2), QSizeF(side, side)), enamel);
            tooth.roundSize = 18;
            tooth.rotation = place.angle;
            d.objects << tooth;
            const QPointF label = place.centre + place.outward * (side / 2 + 16);
            d.objects << text(QString::number(toothNumber(upper, i)), QRectF(label - QPointF(20, 9), QSizeF(40, 18)), 9,
                              QColor(90, 90, 90));
        }
    }
    d.objects << text(QStringLiteral("Right"), QRectF(150, 298, 80, 24), 11, QColor(120, 120, 120));
    d.objects << text(QStringLiteral("Left"), QRectF(570, 298, 80, 24), 11, QColor(120, 120, 120));
    return d;
}

Drawing molar()
{
    Drawing d;
    d.canvas = QSize(640, 480);
    const QColor enamel(250, 248, 235);
    DrawObject root = shape(ShapeKind::Ellipse, QRectF(230, 220, 70, 200), QColor(240, 225, 200));
    root.rotation = 12;
    d.objects << root;
    root.rect = QRectF(340, 220, 70, 200);
    root.rotation = -12;
    d.objects << root;
    DrawObject crown = shape(ShapeKind::RoundRectangle, QRectF(200, 110, 240, 160), enamel);
    crown.roundSize = 90;
    d.objects << crown;
    for (int cusp = 0; cusp < 3; ++cusp)
        d.objects << shape(ShapeKind::Arc, QRectF(215 + cusp * 70, 90, 70, 50), Qt::white);
    d.objects.last().arcStart = 0;
    d.objects << text(QStringLiteral("Lower molar"), QRectF(220, 440, 200, 30), 14, QColor(40, 40, 40), true);
    return d;
}

Drawing treatmentPlan()
{
    Drawing d = toothChart();
    d.objects.first().text = QStringLiteral("Treatment plan");
    struct Mark { int index; QColor colour; const char *words; QPointF label; };
    const Mark marks[] = {{13, QColor(220, 30, 30), "36: composite filling", QPointF(430, 445)},
                          {2, QColor(30, 90, 220), "46: crown", QPointF(210, 445)}};
    for (const Mark &m : marks) {
        const QPointF centre = toothPlace(false, m.index).centre;
        DrawObject ring = shape(ShapeKind::Ellipse, QRectF(centre - QPointF(32, 32), QSizeF(64, 64)), Qt::white, m.colour, 3);
        ring.fillStyle = FillStyle::Transparent;
        d.objects << ring;
        // From the end of the words nearest the tooth to the ring's edge.
        const QPointF from = m.label + QPointF(m.index > 8 ? 174 : -4, 13);
        const QPointF towards = centre + (from - centre) * (34 / std::hypot(from.x() - centre.x(), from.y() - centre.y()));
        d.objects << shape(ShapeKind::Line, QRectF(from, towards), Qt::white, m.colour, 3);
        d.objects << text(QLatin1String(m.words), QRectF(m.label, QSizeF(170, 26)), 12, m.colour);
    }
    d.objects << shape(ShapeKind::Star, QRectF(380, 345, 40, 40), QColor(255, 200, 0), QColor(200, 120, 0), 1);
    d.objects << text(QStringLiteral("Review in 6 months"), QRectF(300, 385, 200, 26), 11);
    return d;
}

QString write(const QString &folder, const QString &name, const Drawing &drawing)
{
    QDir().mkpath(folder);
    const QString path = QDir(folder).filePath(name);
    return saveIlsFile(path, drawing) ? path : QString();
}

} // namespace

QList<DemoIllustration> writeIllustrationTemplates(const QString &folder)
{
    QList<DemoIllustration> written;
    const QList<std::pair<const char *, std::pair<const char *, Drawing>>> templates = {
        {"Tooth chart", {"toothchart.ils", toothChart()}},
        {"Lower molar", {"lowermolar.ils", molar()}},
    };
    for (const auto &[description, file] : templates) {
        const QString path = write(folder, QLatin1String(file.first), file.second);
        if (!path.isEmpty())
            written << DemoIllustration {QLatin1String(description), path};
    }
    return written;
}

QString patientIllustrationPath(const QString &libraryFolder, qint32 patientCode)
{
    return QDir(libraryFolder).filePath(QStringLiteral("Illustrations/Patient%1.ils").arg(patientCode));
}

bool writeTreatmentPlanIllustration(const QString &path)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    return saveIlsFile(path, treatmentPlan()).ok();
}

} // namespace tovradocs::Internal
