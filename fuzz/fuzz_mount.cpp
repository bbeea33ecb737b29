// Bytes as a ".mount" file from the library folder. A mount that reads must
// fit its grid, hold a sane number of slots and come back the same after
// being written; laying it out and naming its slots must not fail.

#include "component/mount.h"

#include <tovradocs/hostobjects.h>

#include <QByteArray>

#include <cstdint>
#include <cstdlib>

using namespace tovradocs;
using namespace tovradocs::Internal;

namespace {

class EchoNotation : public ToothNotation
{
public:
    QString ToothName(qint32 toothNumber) override { return QString::number(toothNumber); }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    const Result<Mount> mount = mountFromJson(bytes);
    if (!mount) {
        if (mount.error().isEmpty())
            std::abort();
        return 0;
    }
    if (!mount->isValid() || mount->slots.size() > 64)
        std::abort();
    const QRect grid(QPoint(0, 0), mount->grid);
    for (const MountSlot &slot : mount->slots)
        if (!grid.contains(slot.cell) || slot.entryCode < 0)
            std::abort();
    const Result<Mount> again = mountFromJson(mountToJson(*mount));
    if (!again || !(*again == *mount))
        std::abort();
    if (slotRects(*mount, QRectF(0, 0, 1000, 700), 4).size() != mount->slots.size())
        std::abort();
    const int next = mount->nextEmptySlot();
    if (next < -1 || next >= mount->slots.size())
        std::abort();
    EchoNotation notation;
    for (const MountSlot &slot : mount->slots)
        (void)slotCaption(slot, &notation);
    return 0;
}
