#include "icons/iconkit.h"

#include "icons/inifile.h"

#include <QDir>
#include <QStandardPaths>

namespace tovradocs::Internal {

namespace {

QString &settingsFolder()
{
    static QString folder;
    return folder;
}

const char *const DefaultRows[3] = {
    "16777215 14737632 12632319 12640511 14745599 12648384 16777152 16761024 16761087 00000192 "
    "00016576 00049344 00049152 12632064 12582912 12583104",
    "12632256 04210752 08421631 08438015 08454143 08454016 16777088 16744576 16744703 00000128 "
    "00016512 00032896 00032768 08421376 08388608 08388736",
    "08421504 00000000 00000255 00033023 00065535 00065280 16776960 16711680 16711935 00000064 "
    "04210816 00016448 00016384 04210688 04194304 04194368",
};

} // namespace

QRgb toRgb(BgrColour c)
{
    return qRgb(c & 0xff, (c >> 8) & 0xff, (c >> 16) & 0xff);
}

BgrColour toBgr(QRgb c)
{
    return qRed(c) | (qGreen(c) << 8) | (qBlue(c) << 16);
}

Planes Planes::blank()
{
    Planes p;
    p.image = QImage(32, 32, QImage::Format_RGB32);
    p.image.fill(OpaqueBlack);
    p.mask = QImage(32, 32, QImage::Format_RGB32);
    p.mask.fill(OpaqueWhite);
    return p;
}

Planes Planes::fromIcon(const IconImage &source)
{
    const IconImage icon = source.scaled32();
    Planes p = blank();
    if (icon.isNull())
        return p;
    for (int y = 0; y < 32; ++y) {
        const QRgb *c = reinterpret_cast<const QRgb *>(icon.colour.constScanLine(y));
        const QRgb *m = reinterpret_cast<const QRgb *>(icon.mask.constScanLine(y));
        QRgb *pi = reinterpret_cast<QRgb *>(p.image.scanLine(y));
        QRgb *pm = reinterpret_cast<QRgb *>(p.mask.scanLine(y));
        for (int x = 0; x < 32; ++x) {
            // Alpha icons have no inverse pixels: half-transparent and clearer is screen.
            const bool masked = icon.hasAlpha ? qAlpha(c[x]) < 128 : (m[x] & 0xffffff) != 0;
            pm[x] = masked ? OpaqueWhite : OpaqueBlack;
            pi[x] = masked && icon.hasAlpha ? OpaqueBlack : (c[x] | 0xff000000);
        }
    }
    return p;
}

IconImage Planes::toIcon() const
{
    IconImage icon;
    icon.colour = image.convertToFormat(QImage::Format_ARGB32);
    icon.mask = mask.copy();
    return icon;
}

Planes Planes::copy(const QRect &r) const
{
    return {image.copy(r), mask.copy(r)};
}

void Planes::paste(const Planes &piece, QPoint at)
{
    for (int y = 0; y < piece.image.height(); ++y)
        for (int x = 0; x < piece.image.width(); ++x) {
            const QPoint p = at + QPoint(x, y);
            if (!image.rect().contains(p))
                continue;
            image.setPixel(p, piece.image.pixel(x, y));
            mask.setPixel(p, piece.mask.pixel(x, y));
        }
}

QString IconKit::settingsPath()
{
    QString folder = settingsFolder();
    if (folder.isEmpty())
        folder = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation)
                 + QStringLiteral("/TovraDocs");
    QDir().mkpath(folder);
    return folder + u'/' + settingsFileName();
}

void IconKit::setSettingsFolder(const QString &folder)
{
    settingsFolder() = folder;
}

const std::array<IconKit::Flag, 14> &IconKit::flags()
{
    static const std::array<Flag, 14> table{{
        {"Status Bar", true},
        {"Tool Palette", true},
        {"Color Palette", true},
        {"Zoom Scrollbar", true},
        {"Grid", false},
        {"Line Grid", true},
        {"Dotted Grid", false},
        {"Editor Focus", true},
        {"Icon Border", true},
        {"Popup Menu", true},
        {"Default Colors", true},
        {"Solid Colors", false},
        {"INI File Colors", false},
        {"Show Icons", false},
    }};
    return table;
}

bool IconKit::readFlag(const IniFile &ini, const char *key)
{
    bool fallback = false;
    for (const Flag &f : flags())
        if (qstrcmp(f.key, key) == 0)
            fallback = f.fallback;
    return ini.intValue(section(), QLatin1String(key), fallback ? 1 : 0) > 0;
}

QString IconKit::rowText(const BgrColour *sixteen)
{
    QString text;
    for (int i = 0; i < 16; ++i)
        text += QStringLiteral("%1 ").arg(sixteen[i], 8, 10, QLatin1Char('0'));
    return text;
}

void IconKit::readRow(const QString &text, BgrColour *sixteen)
{
    // Pieces run to the next blank; a missing piece reads as 0, as Val("") does.
    const QStringList pieces = text.split(u' ');
    for (int i = 0; i < 16; ++i) {
        const QString piece = i < pieces.size() ? pieces.at(i).trimmed() : QString();
        qsizetype end = 0;
        while (end < piece.size() && end < 9 && piece[end].isDigit())
            ++end;
        sixteen[i] = piece.left(end).toInt();
    }
}

QString IconKit::defaultRow(int row)
{
    return QLatin1String(DefaultRows[qBound(1, row, 3) - 1]);
}

const std::array<BgrColour, 16> &IconKit::solidColours()
{
    static const std::array<BgrColour, 16> colours{0, 8388608, 32768, 8421376, 128, 8388736,
                                                   32896, 12632256, 8421504, 16711680, 65280,
                                                   16776960, 255, 16711935, 65535, 16777215};
    return colours;
}

IconKit::IconKit()
{
    loadDefaultPalette();
}

void IconKit::loadDefaultPalette()
{
    for (int row = 0; row < 3; ++row)
        readRow(defaultRow(row + 1), palette.data() + 16 * row);
}

void IconKit::loadSolidPalette()
{
    for (int row = 0; row < 3; ++row)
        std::copy(solidColours().begin(), solidColours().end(), palette.begin() + 16 * row);
}

void IconKit::loadPaletteFrom(const IniFile &ini)
{
    for (int row = 0; row < 3; ++row)
        readRow(ini.value(section(), QStringLiteral("Colors Row%1").arg(row + 1), defaultRow(row + 1)),
                palette.data() + 16 * row);
}

void IconKit::writePaletteTo(IniFile &ini) const
{
    for (int row = 0; row < 3; ++row)
        ini.setValue(section(), QStringLiteral("Colors Row%1").arg(row + 1),
                     rowText(palette.data() + 16 * row));
}

void IconKit::buildIcon()
{
    slot().icon = planes.toIcon();
    slot().changed = true;
}

Outcome IconKit::saveIconFile(QString folder, const QString &fileName)
{
    folder.replace(u'\\', u'/');
    if (!folder.endsWith(u'/'))
        folder += u'/';
    const Outcome written = Ico::writeFile(folder + fileName, slot().icon);
    if (!written)
        return written;
    slot().fileName = fileName;
    slot().folder = folder;
    slot().changed = false;
    return {};
}

} // namespace tovradocs::Internal
