#pragma once

#include "component/result.h"
#include "icons/iconimage.h"

#include <QImage>
#include <QString>

#include <array>

namespace tovradocs::Internal {

class IniFile;

// Colours are kept as the editor's users know them: 0x00BBGGRR.
using BgrColour = qint32;
QRgb toRgb(BgrColour c);
BgrColour toBgr(QRgb c);

// The two 32 x 32 planes an icon is edited in. Both are Format_RGB32; a mask
// pixel is black (opaque) or white (screen or inverse, by the colour pixel).
struct Planes
{
    QImage image;
    QImage mask;

    static Planes blank();
    static Planes fromIcon(const IconImage &icon);
    IconImage toIcon() const;
    // A w x h piece and its placement back (clipped to the icon).
    Planes copy(const QRect &r) const;
    void paste(const Planes &piece, QPoint at);
    bool operator==(const Planes &o) const { return image == o.image && mask == o.mask; }
};

// Shared state of the icon tools while the editor is loaded: planes, slots,
// mouse colours, palette, tool and brush, and the settings file.
class IconKit
{
public:
    static constexpr int SlotCount = 6;
    static constexpr int PaletteSize = 48;
    enum MouseColour { LeftColour, RightColour, ScreenColour, InverseColour };

    struct Slot
    {
        QString fileName = untitled();
        QString folder;
        bool changed = false;
        IconImage icon = IconImage::blank();
    };

    static QString untitled() { return QStringLiteral("[Untitled]"); }
    static QString section() { return QStringLiteral("Icon Editor"); }
    static QString settingsFileName() { return QStringLiteral("IconKit.INI"); }
    // The user's config folder; tests point it elsewhere.
    static QString settingsPath();
    static void setSettingsFolder(const QString &folder);

    // Flag keys with their defaults, in the order the settings file lists them.
    struct Flag
    {
        const char *key;
        bool fallback;
    };
    static const std::array<Flag, 14> &flags();
    // Any value above 0 counts as set; a missing key gives its default.
    static bool readFlag(const IniFile &ini, const char *key);

    // Palette rows as text: sixteen "%08d " pieces.
    static QString rowText(const BgrColour *sixteen);
    static void readRow(const QString &text, BgrColour *sixteen);
    static QString defaultRow(int row); // row 1 to 3
    static const std::array<BgrColour, 16> &solidColours();

    IconKit();

    void loadDefaultPalette();
    void loadSolidPalette();
    void loadPaletteFrom(const IniFile &ini);
    void writePaletteTo(IniFile &ini) const;

    // Planes into the current slot's icon (marking it changed), or into the undo icon.
    void buildIcon();
    void buildUndo() { undo = planes.toIcon(); }
    void splitIcon(const IconImage &icon) { planes = Planes::fromIcon(icon); }
    Slot &slot() { return slots[current]; }
    const Slot &slot() const { return slots[current]; }
    // Writes the current slot to folder + name and records it there.
    Outcome saveIconFile(QString folder, const QString &fileName);

    Planes planes = Planes::blank();
    IconImage undo = IconImage::blank();
    std::array<Slot, SlotCount> slots;
    int current = 0;
    int tool = 1;
    int brush = 1;
    std::array<BgrColour, 4> mouse{0, 255, 16777215, 0};
    std::array<BgrColour, PaletteSize> palette{};
    int selectedIndex = 0;
};

} // namespace tovradocs::Internal
