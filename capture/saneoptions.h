#pragma once

#include <QString>

#include <sane/sane.h>

namespace tovradocs::Internal::scanner {

// SANE once per process; false when it cannot start.
bool ensureInit();
QString statusText(SANE_Status status);

// A device option by name: its number, -1 when the device has none.
int findOption(SANE_Handle handle, const char *name);
double numberOf(const SANE_Option_Descriptor *d, SANE_Word w);
SANE_Word wordOf(const SANE_Option_Descriptor *d, double v);
// Set an option when the device has it and it can be set now.
bool setNumber(SANE_Handle handle, const char *name, double value);
bool setText(SANE_Handle handle, const char *name, const QString &value);

int threadCount();
void waitForThreadsToEnd(int before);

// What the scanning helper writes before a page's bytes, native byte order.
struct PageHeader
{
    static constexpr quint32 kMagic = 0x43535654; // "TVSC"
    quint32 magic = kMagic;
    qint32 format = 0;
    qint32 depth = 0;
    qint32 lines = 0; // -1: not known before the end
    qint32 bytesPerLine = 0;
    qint32 pixelsPerLine = 0;
};

} // namespace tovradocs::Internal::scanner
