#pragma once

#include <tovradocs/hostobjects.h>

namespace tovradocs::Internal {

// FDI two-digit tooth names: quadrant then tooth ("11" .. "48", primary
// "51" .. "85"). A range code from * 100 + to reads "11-14"; a code that
// names no tooth reads empty.
class FdiToothNotation : public ToothNotation
{
public:
    QString ToothName(qint32 toothNumber) override;
    static bool isTooth(qint32 number);
};

} // namespace tovradocs::Internal
