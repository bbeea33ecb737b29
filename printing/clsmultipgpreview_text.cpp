#include "printing/clsmultipgpreview.h"

#include <QDateTime>
#include <QLocale>

#include <algorithm>

// The text operations of the preview engine: wrapping, centring, spacing
// lines, header and footer.

namespace tovradocs::Internal {

namespace multipgpreviewtext {

struct SavedFont
{
    QString name;
    qint16 size;
    bool bold, italic, underline, strike;
};

SavedFont save(const clsMultiPgPreview &e)
{
    return {e.FontName(), e.FontSize(), e.FontBold(), e.FontItalic(), e.FontUnderline(),
            e.FontStrikethru()};
}

void restore(clsMultiPgPreview &e, const SavedFont &f)
{
    e.setFontName(f.name);
    e.setFontSize(f.size);
    e.setFontBold(f.bold);
    e.setFontItalic(f.italic);
    e.setFontUnderline(f.underline);
    e.setFontStrikethru(f.strike);
}

void plain(clsMultiPgPreview &e)
{
    e.setFontBold(false);
    e.setFontItalic(false);
    e.setFontUnderline(false);
    e.setFontStrikethru(false);
}

bool hasBreak(const QString &text)
{
    return text.contains(u'\r') || text.contains(u'\n');
}

QString printedNow(const QString &monthFormat)
{
    return QStringLiteral("Printed: ")
           + QLocale().toString(QDateTime::currentDateTime(),
                                QStringLiteral("ddd. %1 d, yyyy @ h:mm AP").arg(monthFormat));
}

} // namespace multipgpreviewtext

using namespace multipgpreviewtext;

void clsMultiPgPreview::pPrint(const QString &text, float X, bool noLineEnd)
{
    if (!text.isEmpty()) {
        if (X == -1)
            X = CurrentX();
        if (hasBreak(text) || X + textWidth(text) >= m_pageWidth) {
            pMultiline(text, X, m_pageWidth - 0.1f, QString(), noLineEnd, true);
            return;
        }
    }
    if (X >= 0)
        setCurrentX(X);
    printText(text, noLineEnd);
}

void clsMultiPgPreview::printLinePiece(const QString &piece, float left, bool clean, bool trimmed)
{
    QString line = clean ? GetRemoveCRLF(piece) : piece;
    if (trimmed || clean)
        line = line.trimmed();
    setCurrentX(left);
    printText(line, false);
}

void clsMultiPgPreview::pMultiline(const QVariant &value, float left, float right,
                                   const QString &indent, bool noLineEnd, bool pageBreaks)
{
    const QString text = value.toString();
    if (left == -1)
        left = CurrentX();
    if (left > m_pageWidth - 0.1f)
        left = m_pageWidth - 0.5f;
    if (right < left)
        right = m_pageWidth - 0.1f;
    const float lineWidth = right - left;
    if (text.isEmpty()) {
        printText(QString(), noLineEnd);
        return;
    }
    const int length = int(text.size());
    const bool breaks = hasBreak(text);
    int start = 1;
    int used = 0;
    int breakPoint = length;
    QString prefix;
    for (int i = 1; i <= length; ++i) {
        const int p = i - used;
        const QChar ch = text.at(i - 1);
        if (ch < u'!')
            breakPoint = p;
        const bool tooWide = textWidth(text.mid(start - 1, p)) + textWidth(prefix) >= lineWidth;
        if (ch != u'\r' && !tooWide)
            continue;
        if (p < breakPoint)
            breakPoint = std::max(1, p - int(prefix.size()) - 1);
        QString line = prefix + text.mid(start - 1, breakPoint);
        if (breaks)
            line = GetRemoveCRLF(line).trimmed();
        setCurrentX(left);
        printText(line, false);
        used += breakPoint;
        start = used + 1;
        breakPoint = length;
        prefix = indent;
        if (pageBreaks && pEndOfPage(0, true)) {
            QString footer;
            pFooter(footer);
            pNewPage();
            pHeader();
        }
    }
    QString rest = prefix + text.mid(start - 1);
    if (breaks)
        rest = GetRemoveCRLF(rest).trimmed();
    setCurrentX(left);
    printText(rest, noLineEnd);
}

void clsMultiPgPreview::pCenter(const QString &text, bool noLineEnd, float fieldWidth, float left)
{
    if (fieldWidth == -1)
        fieldWidth = m_pageWidth - left;
    const float w = textWidth(text);
    if (w <= m_pageWidth) {
        setCurrentX((fieldWidth - w) / 2 + left);
        pPrint(text, -1, noLineEnd);
    } else {
        pCenterMultiline(text, left, left + fieldWidth, true, noLineEnd);
    }
}

void clsMultiPgPreview::pCenterMultiline(const QVariant &value, float left, float right, bool keep,
                                         bool noLineEnd)
{
    const QString text = value.toString();
    if (right == -1)
        right = m_pageWidth;
    const float lineWidth = right - left;
    if (text.isEmpty()) {
        pPrint(QString());
        return;
    }
    const bool breaks = hasBreak(text);
    const auto printCentred = [&](QString line, bool lineEnd) {
        if (breaks)
            line = GetRemoveCRLF(line);
        line = line.trimmed();
        setCurrentX((lineWidth - textWidth(line)) / 2 + left);
        printText(line, !lineEnd);
    };
    const int length = int(text.size());
    int start = 1;
    int used = 0;
    int breakPoint = length;
    for (int i = 1; i <= length; ++i) {
        const int p = i - used;
        const QChar ch = text.at(i - 1);
        if (ch < u'!')
            breakPoint = p;
        const bool tooWide = textWidth(text.mid(start - 1, p)) >= lineWidth;
        if (!(ch == u'\r' && !keep) && !tooWide)
            continue;
        if (p < breakPoint)
            breakPoint = std::max(1, p - 1);
        printCentred(text.mid(start - 1, breakPoint), true);
        used += breakPoint;
        start = used + 1;
        breakPoint = length;
    }
    printCentred(text.mid(start - 1), !noLineEnd);
}

void clsMultiPgPreview::pRightJust(const QVariant &value, float right, bool noLineEnd)
{
    const QString text = value.toString();
    const float w = textWidth(text);
    if (right == -1)
        right = CurrentX() + w;
    setCurrentX(right - w);
    printText(text, noLineEnd);
}

void clsMultiPgPreview::pRightTab(const QVariant &value, float distance, bool noLineEnd)
{
    const QString text = value.toString();
    setCurrentX(m_pageWidth - (textWidth(text) + distance));
    printText(text, noLineEnd);
}

void clsMultiPgPreview::pHalfSpace()
{
    const qint16 size = FontSize();
    setFontSize(std::max(1, size / 2));
    printText(QString(), false);
    setFontSize(size);
}

void clsMultiPgPreview::pQuarterSpace()
{
    const qint16 size = FontSize();
    setFontSize(std::max(1, size / 4));
    printText(QString(), false);
    setFontSize(size);
}

void clsMultiPgPreview::p15Space()
{
    const qint16 size = FontSize();
    printText(QString(), false);
    setFontSize(std::max(1, size / 2));
    printText(QString(), false);
    setFontSize(size);
}

void clsMultiPgPreview::pSpaces(float toX, float fromX, bool symbols)
{
    const QString name = FontName();
    const qint32 colour = ForeColor();
    if (fromX != -1)
        setCurrentX(fromX);
    if (toX == -1)
        toX = m_pageWidth;
    QString fill = QStringLiteral(" ");
    if (symbols) {
        setFontName(QStringLiteral("Symbol"));
        fill = QStringLiteral("\\");
        setForeColor(65280);
    }
    if (textWidth(fill) > 0) {
        while (CurrentX() < toX)
            pPrint(fill, -1, true);
    }
    setFontName(name);
    setForeColor(colour);
}

void clsMultiPgPreview::pDots(float toX, float fromX)
{
    if (fromX > 0)
        setCurrentX(fromX);
    while (CurrentX() < toX)
        pPrint(QStringLiteral("."), -1, true);
}

void clsMultiPgPreview::pBullet(float X)
{
    if (X == -1)
        X = CurrentX();
    const SavedFont saved = save(*this);
    setFontName(QStringLiteral("Symbol"));
    plain(*this);
    // Code 183 of the symbol font is the bullet.
    pPrint(QString(QChar(0x2022)) + QStringLiteral("  "), X, true);
    restore(*this, saved);
}

void clsMultiPgPreview::pHeader(const QString &title, const QVariant &subtitle,
                                const QVariant &titleItalic)
{
    if (title.isEmpty() && m_reportTitle.isEmpty())
        return;
    const SavedFont saved = save(*this);
    setCurrentX(0);
    setCurrentY(0);
    if (!title.isEmpty())
        m_reportTitle = title;
    if (subtitle.isValid())
        m_reportSubTitle = subtitle.toString();
    if (titleItalic.isValid())
        m_titleItalic = titleItalic.toBool();
    setFontName(QStringLiteral("Times New Roman"));
    setFontSize(16);
    setFontBold(true);
    setFontItalic(m_titleItalic);
    pCenter(m_reportTitle, false, -1, 0);
    setFontSize(11);
    setFontBold(false);
    setFontItalic(false);
    if (!m_reportSubTitle.isEmpty())
        pCenter(m_reportSubTitle, false, -1, 0);
    pDoubleLine(0, -1, 1, true);
    pHalfSpace();
    restore(*this, saved);
}

void clsMultiPgPreview::pFooter(QString &text)
{
    const float margin = 0.5f;
    const SavedFont saved = save(*this);
    setFontName(QStringLiteral("Times New Roman"));
    setFontSize(10);
    plain(*this);
    setCurrentY(m_pageHeight - 2 * GetTextHeight(QStringLiteral("Sample Text")));
    pLine(0, -1, 6, true);
    if (text.isEmpty())
        text = printedNow(QStringLiteral("MMMM"));
    pPrint(text, margin, true);
    pRightJust(QString(QStringLiteral("Pg. ") + GetPage().toString()), m_pageWidth - margin, false);
    restore(*this, saved);
}

void clsMultiPgPreview::pPrintedDate(bool centred, float X, bool noLineEnd)
{
    const qint16 size = FontSize();
    const bool bold = FontBold(), italic = FontItalic(), underline = FontUnderline(),
               strike = FontStrikethru();
    setFontSize(9);
    plain(*this);
    const QString text = printedNow(QStringLiteral("MMM."));
    if (centred)
        pCenter(text, noLineEnd, -1, 0);
    else
        pPrint(text, X, noLineEnd);
    setFontSize(size);
    setFontBold(bold);
    setFontItalic(italic);
    setFontUnderline(underline);
    setFontStrikethru(strike);
}

void clsMultiPgPreview::pCancled()
{
    setFontSize(12);
    setFontBold(true);
    setForeColor(255);
    pPrint();
    pPrint(QStringLiteral("**** PRINTING CANCLED ****"), 0.5f);
}

QString clsMultiPgPreview::GetRemoveCRLF(const QString &input)
{
    QString text = input;
    for (;;) {
        bool changed = false;
        bool replacedCr = false;
        const qsizetype cr = text.indexOf(u'\r');
        if (cr >= 0) {
            text[cr] = u' ';
            changed = replacedCr = true;
        }
        const qsizetype lf = text.indexOf(u'\n');
        if (lf == 0 || (lf > 0 && replacedCr)) {
            text.remove(lf, 1);
            changed = true;
        } else if (lf > 0) {
            text[lf] = u' ';
            changed = true;
        }
        if (!changed)
            return text;
    }
}

QString clsMultiPgPreview::GetFormalCase(const QString &input)
{
    if (input.isEmpty())
        return input;
    QString text = input.left(1).toUpper() + input.mid(1).toLower();
    const auto upperAfter = [&text](const QString &mark, int offset) {
        for (qsizetype at = text.indexOf(mark); at >= 0; at = text.indexOf(mark, at + 1)) {
            if (at + offset >= text.size())
                break;
            text[at + offset] = text.at(at + offset).toUpper();
        }
    };
    upperAfter(QStringLiteral(" "), 1);
    upperAfter(QStringLiteral("."), 1);
    upperAfter(QStringLiteral("Mc"), 2);
    upperAfter(QStringLiteral("O'"), 2);
    upperAfter(QStringLiteral("-"), 1);
    qsizetype lead = 0;
    while (lead < text.size() && text.at(lead) == u' ')
        ++lead;
    return text.mid(lead);
}

QString clsMultiPgPreview::GetStripQuotes(const QString &input)
{
    QString text = input;
    if (text.startsWith(u'"'))
        text.remove(0, 1);
    if (text.endsWith(u'"'))
        text.chop(1);
    return text;
}

} // namespace tovradocs::Internal
