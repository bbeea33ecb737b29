// The page grid: thumbnails and tick boxes, the index box standing in for its
// page, scrolling and the keyboard.
#include "library/tovralib.h"
#include "library/tovralib_p.h"

#include "component/filetypes.h"
#include "component/twips.h"
#include "controls/imgview.h"
#include "library/entrydrag.h"
#include "library/entryopeners.h"
#include "library/mountcommands.h"
#include "library/librarydata.h"
#include "library/menuman.h"

#include <QCheckBox>
#include <QCursor>
#include <QKeyEvent>
#include <QScrollBar>

#include <algorithm>
#include <utility>

namespace tovradocs::Internal {

void TovraLib::placeScrollBar()
{
    const int width = m_scroll->sizeHint().width();
    m_scroll->setGeometry(m_pageArea->width() - width, 0, width, m_pageArea->height());
}

void TovraLib::layoutGrid()
{
    placeScrollBar();
    const int thumbW = pixelsToTwips(m_thumbWidth);
    const int thumbH = pixelsToTwips(m_thumbHeight);
    const int cellW = thumbW + tovralib::kCellExtraWidth;
    const int cellH = thumbH + tovralib::kCellExtraHeight;
    const int areaW = pixelsToTwips(m_pageArea->width());
    const int areaH = pixelsToTwips(m_pageArea->height());
    const int scrollW = pixelsToTwips(m_scroll->width());
    const int rows = std::max(1, areaH / cellH);
    const int columns = std::max(1, (areaW - scrollW) / cellW);

    if (rows * columns != m_slots.size()) {
        // More or fewer slots: make them again; the first page shown stays.
        for (const Slot &slot : std::as_const(m_slots)) {
            delete slot.picture;
            delete slot.check;
        }
        m_slots.clear();
        for (int i = 0; i < rows * columns; ++i) {
            Slot slot;
            slot.picture = new ImgView(m_pageArea);
            slot.picture->setObjectName(QStringLiteral("ImxPics_") + QString::number(i));
            slot.picture->setThumbnailMode(std::max(m_thumbWidth, m_thumbHeight));
            slot.picture->setCursor(Qt::PointingHandCursor);
            enableEntryDrag(slot.picture);
            slot.picture->hide();
            slot.check = new QCheckBox(m_pageArea);
            slot.check->setObjectName(QStringLiteral("chkEntries_") + QString::number(i));
            slot.check->setToolTip(QStringLiteral("Click to toggle selection"));
            slot.check->hide();
            connect(slot.check, &QCheckBox::clicked, this,
                    [this, i](bool checked) { checkClicked(i, checked); });
            connect(slot.picture, &ImgView::clicked, this,
                    [this, i](Qt::MouseButton button) { pictureClicked(i, button); });
            m_slots.append(slot);
        }
    }
    m_rows = rows;
    m_columns = columns;
    for (int i = 0; i < m_slots.size(); ++i) {
        const int left = tovralib::kGridOrigin + (i % columns) * cellW;
        const int top = tovralib::kGridOrigin + (i / columns) * cellH;
        m_slots[i].picture->setGeometry(twipsToPixels(QRect(left, top, thumbW, thumbH)));
        m_slots[i].check->setGeometry(
            twipsToPixels(QRect(left, top + thumbH + tovralib::kCheckGap, thumbW, tovralib::kCheckHeight)));
    }
    m_scroll->raise();
    if (!m_pages.isEmpty()) {
        setScrollRange();
        drawGrid();
    }
}

void TovraLib::clearGrid()
{
    for (const Slot &slot : std::as_const(m_slots)) {
        slot.picture->hide();
        slot.picture->setFileName(QString());
        slot.picture->setCaption(QString());
        slot.picture->setTag(QString());
        slot.check->hide();
        slot.check->setProperty("tag", QVariant());
    }
}

void TovraLib::setScrollRange()
{
    BusyMark busy(m_scroll);
    const int slots = int(m_slots.size());
    const int count = m_pages.count();
    const int value = m_scroll->value();
    m_scroll->setMinimum(1);
    // One more than count - slots, or the last page could never be scrolled to.
    m_scroll->setMaximum(std::max(1, count - slots + 1));
    m_scroll->setPageStep(count > slots ? slots : 1);
    m_scroll->setSingleStep(std::max(1, m_columns));
    m_scroll->setValue(std::clamp(value, 1, m_scroll->maximum()));
}

void TovraLib::drawGrid()
{
    const int first = m_scroll->value();
    const QFontMetrics metrics(font());
    for (int i = 0; i < m_slots.size(); ++i) {
        const Slot &slot = m_slots.at(i);
        const int page = first + i;
        if (page > m_pages.count()) {
            slot.picture->setSelected(false);
            slot.picture->setCurrent(false);
            slot.picture->hide();
            slot.picture->setFileName(QString());
            slot.check->hide();
            slot.check->setProperty("tag", QVariant());
            continue;
        }
        const QString code = m_pages.at(PageTable::EntryCodeRow, page);
        const QString description = m_pages.at(PageTable::DescriptionRow, page);
        slot.check->setToolTip(description);
        slot.check->setText(metrics.elidedText(description, Qt::ElideRight,
                                               std::max(0, slot.check->width() - 24)));
        const bool chosen = m_pages.at(PageTable::SelectedRow, page) == QLatin1String("1");
        slot.check->setChecked(chosen);
        slot.picture->setSelected(chosen);
        slot.picture->setCurrent(page == m_currentPage && m_pageArea->hasFocus());
        slot.check->setProperty("tag", code);
        slot.picture->setTag(code);
        const int type = m_pages.at(PageTable::EntryTypeRow, page).toInt();
        const QString file = localLibraryPath(m_pages.at(PageTable::FileNameRow, page));
        if (type == 1) {
            slot.picture->setCaption(QString());
            slot.picture->setFileName(file);
        } else if (type == 2 || classifyFile(file) == 5) {
            // A video shows a frame and a PDF its first page; the caption
            // still names the kind, for a file that cannot be drawn.
            slot.picture->setCaption(type == 2 ? QStringLiteral("Video") : QStringLiteral("Document"));
            slot.picture->setFileName(file);
        } else {
            slot.picture->setFileName(QString());
            slot.picture->setCaption(isMountFile(file) ? QStringLiteral("Mount") : QStringLiteral("Document"));
        }
        slot.picture->setPlayMark(type == 2);
        slot.picture->setToolTip(description);
        slot.picture->show();
        slot.check->show();
    }
}

// The page-table row behind a slot, or behind the index picture box.
std::optional<PageTable::Page> TovraLib::rowOfSlot(int slot) const
{
    if (slot == kIndexSlot)
        return m_indexRow;
    if (const int page = pageOfSlot(slot))
        return m_pages.pages.at(page - 1);
    return std::nullopt;
}

int TovraLib::pageOfSlot(int slot) const
{
    if (slot < 0 || slot >= m_slots.size())
        return 0;
    const QVariant tag = m_slots.at(slot).check->property("tag");
    if (!tag.isValid() || tag.toString().isEmpty())
        return 0;
    return m_pages.pageOf(tag.toInt());
}

void TovraLib::checkClicked(int slot, bool checked)
{
    if (const int page = pageOfSlot(slot)) {
        m_pages.at(PageTable::SelectedRow, page) = checked ? QStringLiteral("1") : QStringLiteral("0");
        m_slots.at(slot).picture->setSelected(checked);
    }
}

void TovraLib::pictureClicked(int slot, Qt::MouseButton button)
{
    if (button == Qt::RightButton)
        showPageMenu(slot, QCursor::pos());
    else
        viewSlot(slot);
}

void TovraLib::viewSlot(int slot)
{
    const std::optional<PageTable::Page> row = rowOfSlot(slot);
    if (!row)
        return;
    ViewEntry(row->at(PageTable::FileNameRow - 1), row->at(PageTable::DescriptionRow - 1),
              qint16(row->at(PageTable::EntryTypeRow - 1).toInt()), false);
}

void TovraLib::showPageMenu(int slot, const QPoint &globalPos)
{
    const std::optional<PageTable::Page> row = rowOfSlot(slot);
    if (!row)
        return;
    ImgView *tile = slot == kIndexSlot ? m_indexImage : m_slots.at(slot).picture;
    if (MenuMan *menu = menuMan())
        menu->ShowLibMenu(this, tile, slot, false, qint16(row->at(PageTable::EntryTypeRow - 1).toInt()),
                          row->at(PageTable::FileNameRow - 1), row->at(PageTable::DescriptionRow - 1),
                          globalPos);
}

void TovraLib::loadPages()
{
    clearGrid();
    const qint32 code = currentBookCode();
    m_pages = PageTable();
    m_indexImage->setFileName(QString());
    qint32 marked = 0;
    withLibrary([&](LibraryData &data) {
        m_indexImage->setFileName(localLibraryPath(data.indexPicture(code)));
        data.readPages(code, m_includeIndexImage, m_pages, &marked);
    });
    m_currentPage = m_pages.count() > 0 ? 1 : 0;
    findIndexRow(marked);
    {
        BusyMark busy(m_scroll);
        m_scroll->setValue(1);
    }
    setScrollRange();
    drawGrid();
}

// The index box stands in for its page, so the picture can be viewed,
// printed, edited or deleted from it also when the grid leaves it out.
// markedInGrid: the marked picture among the pages read, 0 when none was.
void TovraLib::findIndexRow(qint32 markedInGrid)
{
    m_indexRow.reset();
    m_indexMarked = false;
    const QString file = m_indexImage->fileName();
    if (file.isEmpty() || !hasBook()) {
        showIndexState();
        return;
    }
    // The first picture stands in when none is marked; it is in the grid then.
    for (const PageTable::Page &row : std::as_const(m_pages.pages)) {
        if (localLibraryPath(row.at(PageTable::FileNameRow - 1)) == file) {
            m_indexRow = row;
            m_indexMarked = markedInGrid > 0;
            break;
        }
    }
    if (!m_indexRow && !m_includeIndexImage) {
        // Left out of the grid, so marked: read that one row.
        const qint32 book = currentBookCode();
        withLibrary([&](LibraryData &data) { m_indexRow = data.markedIndexRow(book); });
        m_indexMarked = m_indexRow.has_value();
    }
    showIndexState();
}

void TovraLib::showIndexState()
{
    if (m_indexImage->fileName().isEmpty())
        m_indexImage->setToolTip(QStringLiteral("This book has no picture for its index yet"));
    else if (m_indexMarked)
        m_indexImage->setToolTip(QStringLiteral("Index picture of the book"));
    else
        m_indexImage->setToolTip(QStringLiteral("No index picture is chosen, so the book's first "
                                                "picture stands in; \"Set as Index Image\" on a "
                                                "page's menu chooses one"));
}

// The page grid by keyboard: arrows move, Space chooses, Enter views, the
// Menu key or Shift+F10 opens the page menu.
bool TovraLib::gridKey(QKeyEvent *event)
{
    const int count = m_pages.count();
    if (count == 0 || m_slots.isEmpty())
        return false;
    const int columns = std::max(1, m_columns);
    const int current = std::clamp(m_currentPage, 1, count);
    const Qt::KeyboardModifiers mods = event->modifiers() & ~Qt::KeypadModifier;
    int target = current;
    switch (event->key()) {
    case Qt::Key_Left: target = current - 1; break;
    case Qt::Key_Right: target = current + 1; break;
    case Qt::Key_Up: target = current - columns; break;
    case Qt::Key_Down: target = current + columns; break;
    case Qt::Key_PageUp: target = current - int(m_slots.size()); break;
    case Qt::Key_PageDown: target = current + int(m_slots.size()); break;
    case Qt::Key_Home: target = 1; break;
    case Qt::Key_End: target = count; break;
    case Qt::Key_Space: {
        m_currentPage = current;
        QString &flag = m_pages.at(PageTable::SelectedRow, current);
        flag = flag == QLatin1String("1") ? QStringLiteral("0") : QStringLiteral("1");
        drawGrid();
        return true;
    }
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (mods != Qt::NoModifier)
            return false;
        m_currentPage = current;
        viewSlot(current - m_scroll->value());
        return true;
    case Qt::Key_Menu:
    case Qt::Key_F10:
        if (event->key() == Qt::Key_F10 && mods != Qt::ShiftModifier)
            return false;
        m_currentPage = current;
        if (const int slot = current - m_scroll->value(); slot >= 0 && slot < m_slots.size()) {
            ImgView *tile = m_slots.at(slot).picture;
            showPageMenu(slot, tile->mapToGlobal(tile->rect().center()));
        }
        return true;
    default:
        return false;
    }
    m_currentPage = std::clamp(target, 1, count);
    // Scroll by whole rows until the page is on the screen.
    int first = m_scroll->value();
    while (m_currentPage < first)
        first -= columns;
    while (m_currentPage >= first + m_slots.size())
        first += columns;
    first = std::clamp(first, 1, m_scroll->maximum());
    if (first != m_scroll->value())
        m_scroll->setValue(first); // redraws
    else
        drawGrid();
    return true;
}

void TovraLib::setAllSelected(bool selected)
{
    const QString flag = selected ? QStringLiteral("1") : QStringLiteral("0");
    for (auto &page : m_pages.pages)
        page[PageTable::SelectedRow - 1] = flag;
    for (const Slot &slot : std::as_const(m_slots))
        if (slot.check->isVisible() || slot.check->property("tag").isValid()) {
            slot.check->setChecked(selected);
            slot.picture->setSelected(selected);
        }
}

QList<int> TovraLib::selectedPages() const
{
    QList<int> pages;
    for (int page = 1; page <= m_pages.count(); ++page)
        if (m_pages.at(PageTable::SelectedRow, page) == QLatin1String("1"))
            pages.append(page);
    return pages;
}

} // namespace tovradocs::Internal
