#include "support/recordingdatalink.h"

namespace tovradocs::Testing {

QStringList RecordingDataLink::callsOf(const QString &operation) const
{
    const QString prefix = operation + QStringLiteral(": ");
    QStringList lines;
    for (const QString &line : m_calls) {
        if (line.startsWith(prefix))
            lines << line.mid(prefix.size());
        else if (line == operation)
            lines << QString();
    }
    return lines;
}

void RecordingDataLink::clear()
{
    m_calls.clear();
    m_sqlTexts.clear();
}

} // namespace tovradocs::Testing
