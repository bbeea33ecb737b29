#pragma once

#include <QString>
#include <QVariant>

namespace tovradocs::Internal {

// The capture window's own settings, kept per user under the component's
// title in sections such as "capture settings", "preferences" and "driver".
namespace CaptureSettings {

QString componentTitle();
QString value(const QString &section, const QString &key, const QString &defaultValue);
void setValue(const QString &section, const QString &key, const QString &value);
// Tests and portable installs keep the settings in this INI file instead.
void setFileName(const QString &iniFile);

// "&H404040", "&HC0C0C0", "0", "12345": the number a stored colour text holds.
qint64 parseNumber(const QString &text, qint64 fallback);
// Colour value red + 256 * green + 65536 * blue as a QColor; the system window
// colour 80000005 becomes the palette's window colour.
QColor colourOf(qint64 value);

} // namespace CaptureSettings

} // namespace tovradocs::Internal
