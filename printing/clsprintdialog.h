#pragma once

#include <QtGlobal>

class QWidget;

namespace tovradocs::Internal {

// The system print dialog over the shared printer: what the user chooses in
// it (another printer, copies, orientation, paper, colour, duplex) is applied
// to the printer all later printing uses.
class clsPrintDialog
{
public:
    static constexpr qint32 PrintSetupFlag = 64;
    static constexpr qint32 NoPrintToFileFlag = 0x40000;

    qint16 MinPage() const { return m_minPage; }
    void setMinPage(qint16 value);
    qint16 MaxPage() const { return m_maxPage; }
    void setMaxPage(qint16 value);
    qint16 FromPage() const { return m_fromPage; }
    void setFromPage(qint16 value);
    qint16 ToPage() const { return m_toPage; }
    void setToPage(qint16 value);
    qint16 Copies() const { return m_copies; }
    void setCopies(qint16 value) { m_copies = qMax<qint16>(1, value); }
    qint16 MaxCopies() const { return m_maxCopies; }
    void setMaxCopies(qint16 value) { m_maxCopies = qMax<qint16>(1, value); }
    QWidget *Owner_hWnd = nullptr;
    bool AllowOrientation = true;
    bool AllowPrintToFile = false;

    // True when the user cancelled.
    bool ShowPrinter(qint32 flags);
    // The flags the last ShowPrinter used.
    qint32 lastFlags() const { return m_lastFlags; }

private:
    qint16 m_minPage = 0;
    qint16 m_maxPage = 0;
    qint16 m_fromPage = 0;
    qint16 m_toPage = 0;
    qint16 m_copies = 1;
    qint16 m_maxCopies = 1;
    qint32 m_lastFlags = 0;
};

} // namespace tovradocs::Internal
