#include "universaltoothnotation.h"

#include "fditoothnotation.h"

namespace tovradocs::Internal {

QString UniversalToothNotation::universalName(qint32 fdiTooth)
{
    if (!FdiToothNotation::isTooth(fdiTooth))
        return QString();
    const int quadrant = fdiTooth / 10;
    const int tooth = fdiTooth % 10;
    // Permanent teeth run clockwise from the upper right as the dentist faces
    // the patient; primary teeth the same way with letters.
    switch (quadrant) {
    case 1: return QString::number(9 - tooth);
    case 2: return QString::number(8 + tooth);
    case 3: return QString::number(25 - tooth);
    case 4: return QString::number(24 + tooth);
    case 5: return QString(QChar(u'A' + (5 - tooth)));
    case 6: return QString(QChar(u'F' + (tooth - 1)));
    case 7: return QString(QChar(u'K' + (5 - tooth)));
    case 8: return QString(QChar(u'P' + (tooth - 1)));
    default: return QString();
    }
}

QString UniversalToothNotation::ToothName(qint32 toothNumber)
{
    if (FdiToothNotation::isTooth(toothNumber))
        return universalName(toothNumber);
    if (toothNumber >= 100) {
        const qint32 from = toothNumber / 100;
        const qint32 to = toothNumber % 100;
        if (FdiToothNotation::isTooth(from) && FdiToothNotation::isTooth(to))
            return from == to ? universalName(from)
                              : universalName(from) + u'-' + universalName(to);
        if (FdiToothNotation::isTooth(from) && to == 0)
            return universalName(from);
    }
    return QString();
}

} // namespace tovradocs::Internal
