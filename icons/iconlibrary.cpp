#include <tovradocs/iconlibrary.h>

#include "component/dialogservice.h"
#include "icons/iconeditor.h"
#include "icons/icongrabber.h"
#include "icons/iconlib.h"

namespace tovradocs {

using namespace Internal;

IconLibrary::IconLibrary() = default;
IconLibrary::~IconLibrary() = default;

bool IconLibrary::ShowIconLib(QWidget *frm, QLabel *DrwBoard)
{
    IconLib window(frm, DrwBoard);
    DialogService::showModal(&window);
    return false;
}

bool IconLibrary::ShowIconEditor(QWidget *frm, QLabel *DrwBoard)
{
    IconEditor editor(frm, DrwBoard);
    DialogService::showModal(&editor);
    return false;
}

bool IconLibrary::GrabIcons(QWidget *frm, QLabel *DrwBoard)
{
    IconGrabber window(frm, DrwBoard);
    DialogService::showModal(&window);
    return false;
}

} // namespace tovradocs
