#pragma once

#include "component/result.h"

#include <QByteArray>
#include <QList>
#include <QRect>
#include <QRectF>
#include <QSize>
#include <QString>

namespace tovradocs {
class ToothNotation;
}

namespace tovradocs::Internal {

// A mount lays radiographs of one book out as a dentist reads them: slots on
// a grid, each naming the teeth it shows. The mount is a small JSON document
// in the library folder, an entry of its book like any other; its slots hold
// the entry codes of the pictures, never the pictures themselves, so deleting
// a picture leaves an empty slot and the layout as it was.

struct MountSlot
{
    QRect cell;           // in grid units
    QList<qint32> teeth;  // FDI range codes from * 100 + to (1816: 18 to 16); one per arch
    QString label;        // shown where no tooth names it ("Panoramic")
    qint32 entryCode = 0; // the picture in the slot, 0 when empty
    bool operator==(const MountSlot &) const = default;
};

struct Mount
{
    QString name;
    QSize grid; // columns and rows of the layout's units
    QList<MountSlot> slots;
    bool operator==(const Mount &) const = default;

    // The first slot without a picture, -1 when all are filled.
    int nextEmptySlot(int from = 0) const;
    bool isValid() const;
};

// The file extension of mount documents, classified as kind kMountKind.
inline constexpr QLatin1StringView kMountExtension{"mount"};

// Built-in layouts, in menu order: full-mouth series of 18, 4 bitewings,
// 2 x 2, 1 x 4, panoramic with bitewings; then those saved from the editor.
QList<Mount> mountTemplates();
// The editor's templates, kept per user; a template of an existing name is
// replaced.
Outcome saveMountTemplate(const Mount &mount);
// Where the editor's templates are kept; tests point it elsewhere.
void setMountTemplateFile(const QString &path);

QByteArray mountToJson(const Mount &mount);
// Refuses what is not a mount of ours with a sentence a user can read.
Result<Mount> mountFromJson(const QByteArray &json);
Result<Mount> readMount(const QString &path);
// Replaces the file in one step, so a crash leaves the old or the new one.
Outcome writeMount(const QString &path, const Mount &mount);

// What a slot's caption says: the host's names for its teeth, arches joined
// by " / ", or its label when it names no tooth.
QString slotCaption(const MountSlot &slot, ToothNotation *notation);

// Each slot's rectangle inside area, the grid scaled evenly to fit and
// centred, with gap between neighbouring slots (in area units).
QList<QRectF> slotRects(const Mount &mount, const QRectF &area, qreal gap = 0);

} // namespace tovradocs::Internal
