#pragma once

#include <QList>
#include <QString>

#include <array>

namespace tovradocs::Internal {

// The pages of one book as the library window and image printing hold them:
// six strings per page, both indices counted from 1 (row, page).
struct PageTable
{
    enum Row {
        EntryCodeRow = 1,
        FileNameRow,
        DescriptionRow,
        EntryTypeRow,
        SelectedRow, // "1" selected, "0" not
        CTEffectRow,
    };
    static constexpr int RowCount = 6;

    using Page = std::array<QString, RowCount>;
    QList<Page> pages;

    int count() const { return int(pages.size()); }
    bool isEmpty() const { return pages.isEmpty(); }
    QString &at(int row, int page) { return pages[page - 1][row - 1]; }
    const QString &at(int row, int page) const { return pages[page - 1][row - 1]; }

    // The page number holding entryCode, 0 when none does.
    int pageOf(qint32 entryCode) const
    {
        const QString code = QString::number(entryCode);
        for (int i = 0; i < count(); ++i)
            if (pages[i][EntryCodeRow - 1] == code)
                return i + 1;
        return 0;
    }
};

} // namespace tovradocs::Internal
