#pragma once

#include "component/result.h"

#include <QByteArray>
#include <QColor>
#include <QList>
#include <QString>

namespace tovradocs::Internal {

// "*.pal" palettes in their two common forms: the RIFF palette ("RIFF" ....
// "PAL " with a "data" chunk: u16 version 0x0300, u16 count, then count
// entries of red, green, blue, flags) and the JASC text palette ("JASC-PAL",
// "0100", the count, then one "r g b" line per colour). Files are untrusted.
constexpr int kMaxPaletteColors = 4096;

Result<QList<QColor>> readPalette(const QByteArray &bytes);
Result<QList<QColor>> loadPaletteFile(const QString &path);

QByteArray writeRiffPalette(const QList<QColor> &colors);
QByteArray writeJascPalette(const QList<QColor> &colors);

} // namespace tovradocs::Internal
