#pragma once

#include <QIcon>
#include <QString>

namespace tovradocs::Internal {

// The library window's toolbar pictures, drawn so that every button has one
// whatever icon theme the desktop has. Keys are the toolbar keys ("Capture",
// "SelPrint", ...); an unknown key gets a plain page.
QIcon libraryToolbarIcon(const QString &key);

} // namespace tovradocs::Internal
