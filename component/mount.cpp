#include "component/mount.h"

#include <tovradocs/hostobjects.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>
#include <QStandardPaths>

namespace tovradocs::Internal {

namespace {

constexpr QLatin1StringView kFormat{"tovradocs.mount"};
constexpr int kVersion = 1;
// Far beyond any real layout; a file claiming more is not one of ours.
constexpr int kMaxGrid = 200;
constexpr int kMaxSlots = 64;
constexpr qint64 kMaxFileBytes = 1 << 20;

QString &templateFile()
{
    static QString path;
    return path;
}

QString templatePath()
{
    if (templateFile().isEmpty())
        return QDir(QStandardPaths::writableLocation(QStandardPaths::AppDataLocation))
            .filePath(QStringLiteral("mount-templates.json"));
    return templateFile();
}

MountSlot slot(int x, int y, int w, int h, QList<qint32> teeth, const QString &label = {})
{
    return MountSlot{QRect(x, y, w, h), std::move(teeth), label, 0};
}

// Patient's right on the viewer's left, upper arch above, as films are mounted
// when looked at from the front.
Mount fullMouthSeries()
{
    Mount m{QStringLiteral("Full-mouth series of 18"), QSize(28, 14), {}};
    const QList<qint32> upper = {1816, 1514, 1313, 1222, 2323, 2425, 2628};
    const QList<qint32> lower = {4846, 4544, 4343, 4232, 3333, 3435, 3638};
    for (int i = 0; i < 7; ++i)
        m.slots << slot(i * 4, 0, 4, 5, {upper.at(i)});
    const QList<QList<qint32>> bitewings = {{1716, 4746}, {1514, 4544}, {2425, 3435}, {2627, 3637}};
    for (int i = 0; i < 4; ++i)
        m.slots << slot(i * 7, 5, 7, 4, bitewings.at(i));
    for (int i = 0; i < 7; ++i)
        m.slots << slot(i * 4, 9, 4, 5, {lower.at(i)});
    return m;
}

Mount bitewings()
{
    Mount m{QStringLiteral("4 bitewings"), QSize(16, 3), {}};
    const QList<QList<qint32>> teeth = {{1716, 4746}, {1514, 4544}, {2425, 3435}, {2627, 3637}};
    for (int i = 0; i < 4; ++i)
        m.slots << slot(i * 4, 0, 4, 3, teeth.at(i));
    return m;
}

Mount grid(const QString &name, int columns, int rows)
{
    Mount m{name, QSize(columns * 4, rows * 3), {}};
    for (int r = 0; r < rows; ++r)
        for (int c = 0; c < columns; ++c)
            m.slots << slot(c * 4, r * 3, 4, 3, {});
    return m;
}

Mount panoramicWithBitewings()
{
    Mount m{QStringLiteral("Panoramic with bitewings"), QSize(28, 12), {}};
    m.slots << slot(0, 0, 28, 8, {}, QStringLiteral("Panoramic"));
    const QList<QList<qint32>> teeth = {{1716, 4746}, {1514, 4544}, {2425, 3435}, {2627, 3637}};
    for (int i = 0; i < 4; ++i)
        m.slots << slot(i * 7, 8, 7, 4, teeth.at(i));
    return m;
}

QJsonObject toObject(const Mount &mount)
{
    QJsonArray slots;
    for (const MountSlot &s : mount.slots) {
        QJsonArray teeth;
        for (qint32 code : s.teeth)
            teeth.append(code);
        QJsonObject o{{QStringLiteral("cell"), QJsonArray{s.cell.x(), s.cell.y(), s.cell.width(),
                                                          s.cell.height()}},
                      {QStringLiteral("teeth"), teeth},
                      {QStringLiteral("entry"), s.entryCode}};
        if (!s.label.isEmpty())
            o.insert(QStringLiteral("label"), s.label);
        slots.append(o);
    }
    return QJsonObject{{QStringLiteral("kind"), QString(kFormat)},
                       {QStringLiteral("version"), kVersion},
                       {QStringLiteral("name"), mount.name},
                       {QStringLiteral("grid"), QJsonArray{mount.grid.width(), mount.grid.height()}},
                       {QStringLiteral("slots"), slots}};
}

bool isCount(const QJsonValue &value, int low, int high)
{
    if (!value.isDouble())
        return false;
    const double d = value.toDouble();
    return d == double(qint64(d)) && d >= low && d <= high;
}

Result<Mount> fromObject(const QJsonObject &o)
{
    using R = Result<Mount>;
    if (o.value(QStringLiteral("kind")).toString() != kFormat)
        return R::failure(QStringLiteral("it is not a mount"));
    if (o.value(QStringLiteral("version")).toInt() > kVersion)
        return R::failure(QStringLiteral("it was written by a newer version of this program"));
    Mount mount;
    mount.name = o.value(QStringLiteral("name")).toString();
    const QJsonArray grid = o.value(QStringLiteral("grid")).toArray();
    if (grid.size() != 2 || !isCount(grid.at(0), 1, kMaxGrid) || !isCount(grid.at(1), 1, kMaxGrid))
        return R::failure(QStringLiteral("its layout has no valid size"));
    mount.grid = QSize(grid.at(0).toInt(), grid.at(1).toInt());
    const QJsonArray slots = o.value(QStringLiteral("slots")).toArray();
    if (slots.isEmpty() || slots.size() > kMaxSlots)
        return R::failure(QStringLiteral("it has %1 slots (1 to %2 are possible)")
                              .arg(slots.size())
                              .arg(kMaxSlots));
    const QRect bounds(QPoint(0, 0), mount.grid);
    for (const QJsonValue &value : slots) {
        const QJsonObject s = value.toObject();
        const QJsonArray cell = s.value(QStringLiteral("cell")).toArray();
        if (cell.size() != 4 || !isCount(cell.at(0), 0, kMaxGrid) || !isCount(cell.at(1), 0, kMaxGrid)
            || !isCount(cell.at(2), 1, kMaxGrid) || !isCount(cell.at(3), 1, kMaxGrid))
            return R::failure(QStringLiteral("slot %1 has no valid place").arg(mount.slots.size() + 1));
        MountSlot slot;
        slot.cell = QRect(cell.at(0).toInt(), cell.at(1).toInt(), cell.at(2).toInt(), cell.at(3).toInt());
        if (!bounds.contains(slot.cell))
            return R::failure(QStringLiteral("slot %1 lies outside the layout").arg(mount.slots.size() + 1));
        for (const QJsonValue &code : s.value(QStringLiteral("teeth")).toArray()) {
            if (!isCount(code, 1, 9999))
                return R::failure(QStringLiteral("slot %1 names no valid teeth").arg(mount.slots.size() + 1));
            slot.teeth << code.toInt();
        }
        slot.label = s.value(QStringLiteral("label")).toString();
        const QJsonValue entry = s.value(QStringLiteral("entry"));
        slot.entryCode = isCount(entry, 0, std::numeric_limits<qint32>::max()) ? entry.toInt() : 0;
        mount.slots << slot;
    }
    return mount;
}

Result<QList<Mount>> readTemplates()
{
    QFile file(templatePath());
    if (!file.exists())
        return QList<Mount>();
    if (file.size() > kMaxFileBytes || !file.open(QIODevice::ReadOnly))
        return Result<QList<Mount>>::failure(QStringLiteral("The mount templates in %1 cannot be read.")
                                                 .arg(QDir::toNativeSeparators(file.fileName())));
    QList<Mount> mounts;
    for (const QJsonValue &value : QJsonDocument::fromJson(file.readAll()).array())
        if (const Result<Mount> mount = fromObject(value.toObject()))
            mounts << *mount;
    return mounts;
}

} // namespace

int Mount::nextEmptySlot(int from) const
{
    for (int i = std::max(0, from); i < slots.size(); ++i)
        if (slots.at(i).entryCode == 0)
            return i;
    return -1;
}

bool Mount::isValid() const
{
    return !grid.isEmpty() && !slots.isEmpty();
}

QList<Mount> mountTemplates()
{
    QList<Mount> all = {fullMouthSeries(), bitewings(), grid(QStringLiteral("2 x 2"), 2, 2),
                        grid(QStringLiteral("1 x 4"), 4, 1), panoramicWithBitewings()};
    if (const auto saved = readTemplates())
        all << *saved;
    return all;
}

void setMountTemplateFile(const QString &path)
{
    templateFile() = path;
}

Outcome saveMountTemplate(const Mount &mount)
{
    Mount empty = mount;
    for (MountSlot &s : empty.slots)
        s.entryCode = 0;
    const Result<QList<Mount>> saved = readTemplates();
    if (!saved)
        return Outcome::failure(saved.error());
    QJsonArray all;
    for (const Mount &m : *saved)
        if (m.name != empty.name)
            all.append(toObject(m));
    all.append(toObject(empty));
    const QString path = templatePath();
    QDir().mkpath(QFileInfo(path).absolutePath());
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(QJsonDocument(all).toJson()) < 0 || !file.commit())
        return Outcome::failure(QStringLiteral("The template could not be saved in %1: %2")
                                    .arg(QDir::toNativeSeparators(path), file.errorString()));
    return {};
}

QByteArray mountToJson(const Mount &mount)
{
    return QJsonDocument(toObject(mount)).toJson();
}

Result<Mount> mountFromJson(const QByteArray &json)
{
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(json, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        return Result<Mount>::failure(QStringLiteral("it is not a mount"));
    return fromObject(document.object());
}

Result<Mount> readMount(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return Result<Mount>::failure(QStringLiteral("The mount %1 cannot be opened: %2")
                                          .arg(QDir::toNativeSeparators(path), file.errorString()));
    if (file.size() > kMaxFileBytes)
        return Result<Mount>::failure(QStringLiteral("The file %1 is too large to be a mount.")
                                          .arg(QDir::toNativeSeparators(path)));
    const Result<Mount> mount = mountFromJson(file.readAll());
    if (!mount)
        return Result<Mount>::failure(QStringLiteral("The file %1 cannot be shown as a mount: %2.")
                                          .arg(QDir::toNativeSeparators(path), mount.error()));
    return mount;
}

Outcome writeMount(const QString &path, const Mount &mount)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(mountToJson(mount)) < 0 || !file.commit())
        return Outcome::failure(QStringLiteral("The mount %1 could not be saved: %2")
                                    .arg(QDir::toNativeSeparators(path), file.errorString()));
    return {};
}

QString slotCaption(const MountSlot &slot, ToothNotation *notation)
{
    QStringList names;
    if (notation) {
        for (qint32 code : slot.teeth) {
            // A single tooth is stored as from == to; the host names it alone.
            const qint32 asked = code / 100 == code % 100 ? code / 100 : code;
            const QString name = notation->ToothName(asked);
            if (!name.isEmpty())
                names << name;
        }
    }
    return names.isEmpty() ? slot.label : names.join(QStringLiteral(" / "));
}

QList<QRectF> slotRects(const Mount &mount, const QRectF &area, qreal gap)
{
    QList<QRectF> rects;
    if (mount.grid.isEmpty() || area.isEmpty())
        return rects;
    const qreal unit = std::min(area.width() / mount.grid.width(), area.height() / mount.grid.height());
    const QPointF origin(area.left() + (area.width() - unit * mount.grid.width()) / 2,
                         area.top() + (area.height() - unit * mount.grid.height()) / 2);
    for (const MountSlot &s : mount.slots) {
        const QRectF r(origin.x() + s.cell.x() * unit, origin.y() + s.cell.y() * unit,
                       s.cell.width() * unit, s.cell.height() * unit);
        rects << r.adjusted(gap / 2, gap / 2, -gap / 2, -gap / 2);
    }
    return rects;
}

} // namespace tovradocs::Internal
