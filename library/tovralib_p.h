#pragma once

// What the library window's source files share.

#include "component/hostlink.h"
#include "library/librarydata.h"
#include "library/tovralib.h"

#include <QString>
#include <QVariant>

#include <functional>

class QWidget;

namespace tovradocs::Internal {

namespace tovralib {

extern const QString kWindowName;

extern int g_openCount;
extern int g_imageViewingMode;
extern std::function<bool()> g_printerCheck;

// Grid rules in twips, as the layout has always been described.
inline constexpr int kGridOrigin = 5;
inline constexpr int kCheckGap = 100;
inline constexpr int kCheckHeight = 480;
inline constexpr int kCellExtraWidth = 100;
inline constexpr int kCellExtraHeight = 680;

QVariant setting(qint16 number);
int settingInt(qint16 number, int fallback);
bool settingBool(qint16 number);

// Moves window next to other, right of it where the screen has room, else
// left of it, else above it; level with its top.
void placeBeside(QWidget *window, const QWidget *other);

} // namespace tovralib

template<typename F>
bool TovraLib::withLibrary(F &&fn)
{
    DataLink *link = dataLink();
    if (!link)
        return false;
    return trapErrors(tovralib::kWindowName, [&] {
        LibraryData data(*link);
        fn(data);
    });
}

} // namespace tovradocs::Internal
