#pragma once

#include <QMainWindow>

#include <memory>

class QLabel;
class QLineEdit;
class QPushButton;
class QSortFilterProxyModel;
class QStandardItemModel;
class QTableView;

namespace tovradocs {

class DataLink;
class MediaManager;

// The small front desk of the program: patients and books read through the
// DataLink, and the commands that open the component's windows.
class FrontDesk : public QMainWindow
{
public:
    FrontDesk(std::shared_ptr<DataLink> link, MediaManager &manager, const QString &where,
              QWidget *parent = nullptr);

    void reload();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    void showOptions();
    void reloadKeepingSelection();
    void openDocuments();
    void openPracticeLibrary();
    void openBook();
    void openVisitReport();
    void showFileProperties();
    void updateButtons();
    qint32 selectedCode(QTableView *view, int *row = nullptr) const;

    std::shared_ptr<DataLink> m_link;
    MediaManager &m_manager;
    QLineEdit *m_search = nullptr;
    QStandardItemModel *m_patients = nullptr;
    QSortFilterProxyModel *m_patientFilter = nullptr;
    QStandardItemModel *m_books = nullptr;
    QTableView *m_patientView = nullptr;
    QTableView *m_bookView = nullptr;
    QPushButton *m_documents = nullptr;
    QPushButton *m_practice = nullptr;
    QPushButton *m_visitReport = nullptr;
    QLabel *m_patientLabel = nullptr;
    bool m_loaded = false;
};

} // namespace tovradocs
