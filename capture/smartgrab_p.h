#pragma once

#include <QString>

namespace tovradocs::Internal::smartgrab {

inline const QString kWindowName = QStringLiteral("SmartGrab");
constexpr qint16 kImageExtensionSetting = 61;

} // namespace tovradocs::Internal::smartgrab
