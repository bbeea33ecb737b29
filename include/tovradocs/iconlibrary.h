#pragma once

class QLabel;
class QWidget;

namespace tovradocs {

// Opens the icon library, editor and grabber. The chosen icon reaches the
// host only through DrwBoard, whose pixmap is replaced. Each call is modal and
// returns false when its window closes.
class IconLibrary
{
public:
    IconLibrary();
    ~IconLibrary();

    bool ShowIconLib(QWidget *frm, QLabel *DrwBoard);
    bool ShowIconEditor(QWidget *frm, QLabel *DrwBoard);
    bool GrabIcons(QWidget *frm, QLabel *DrwBoard);
};

} // namespace tovradocs
