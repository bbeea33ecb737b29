#pragma once

#include <tovradocs/hostobjects.h>

namespace tovradocs::Internal {

// Universal tooth names, for practices that number teeth as in the United
// States: permanent teeth "1" (upper right third molar) to "32" (lower right
// third molar), primary teeth "A" to "T". Asked with FDI codes, as every
// tooth-notation object is; a range code from * 100 + to reads "1-3", one
// that names no tooth reads empty.
class UniversalToothNotation : public ToothNotation
{
public:
    QString ToothName(qint32 toothNumber) override;
    // The Universal name of one FDI tooth; empty when it names none.
    static QString universalName(qint32 fdiTooth);
};

} // namespace tovradocs::Internal
