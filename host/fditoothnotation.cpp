#include "fditoothnotation.h"

namespace tovradocs::Internal {

bool FdiToothNotation::isTooth(qint32 number)
{
    const int quadrant = number / 10;
    const int tooth = number % 10;
    if (quadrant >= 1 && quadrant <= 4)
        return tooth >= 1 && tooth <= 8;
    if (quadrant >= 5 && quadrant <= 8)
        return tooth >= 1 && tooth <= 5;
    return false;
}

QString FdiToothNotation::ToothName(qint32 toothNumber)
{
    if (isTooth(toothNumber))
        return QString::number(toothNumber);
    if (toothNumber >= 100) {
        const qint32 from = toothNumber / 100;
        const qint32 to = toothNumber % 100;
        if (isTooth(from) && isTooth(to))
            return from == to ? QString::number(from) : QStringLiteral("%1-%2").arg(from).arg(to);
        if (isTooth(from) && to == 0)
            return QString::number(from);
    }
    return QString();
}

} // namespace tovradocs::Internal
