#pragma once

#include <QIcon>
#include <QString>

namespace tovradocs::Internal {

// The illustrator's toolbar pictures, drawn here so every button has one
// whatever icon theme the desktop has. Keys are the toolbar keys.
QIcon illustratorIcon(const QString &key);

} // namespace tovradocs::Internal
