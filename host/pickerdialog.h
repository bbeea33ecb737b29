#pragma once

#include <QDialog>
#include <QList>
#include <QPair>

class QLineEdit;
class QListWidget;

namespace tovradocs::Internal {

// A searchable list of named rows (patients, books); the chosen row's code
// is the result. The search line "txtSearch" narrows the list as one types.
class PickerDialog : public QDialog
{
public:
    using Item = QPair<qint32, QString>;

    PickerDialog(const QString &title, const QString &listName, const QList<Item> &items,
                 QWidget *parent = nullptr);

    // 0 when nothing is chosen.
    qint32 chosenCode() const;
    QString chosenName() const;

private:
    void applyFilter(const QString &text);

    QLineEdit *m_search;
    QListWidget *m_list;
};

} // namespace tovradocs::Internal
