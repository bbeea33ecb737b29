#pragma once

#include "icons/iconimage.h"

#include <QDialog>
#include <QPointer>

class QLabel;
class QListWidget;
class QStatusBar;
class QTabBar;

namespace tovradocs::Internal {

// The component's own collection of 714 icons, numbered 101 to 814, in 15
// sets of 50; "Do&ne" hands the selected one to the host's picture.
class IconLib : public QDialog
{
public:
    static constexpr int First = 101;
    static constexpr int Last = 814;
    static constexpr int SetCount = 15;

    IconLib(QWidget *owner, QLabel *drwBoard);

    // First and last icon number of a set; set numbers below 1 count as 1.
    static std::pair<int, int> setRange(int set);
    // The set named by a tab key ("T3"); an empty key is set 1.
    static int setOfKey(const QString &key);
    static IconImage icon(int number);

    void showSet(int set);
    void selectItem(int row);

private:
    QPointer<QLabel> m_drwBoard;
    QTabBar *m_tabs;
    QListWidget *m_list;
    QLabel *m_preview;
    QStatusBar *m_status;
};

} // namespace tovradocs::Internal
