#pragma once

#include <QWidget>

class QLabel;
class QLineEdit;
class QToolButton;

namespace tovradocs::Internal {

// A captioned box that holds a book: its code and its name. The search button
// only asks; the window that places the control finds the book and hands it
// back with setBook().
class TovraSearch : public QWidget
{
    Q_OBJECT
    Q_PROPERTY(QString caption READ caption WRITE setCaption)
    Q_PROPERTY(qint32 bookCode READ bookCode)
    Q_PROPERTY(QString bookName READ bookName)

public:
    explicit TovraSearch(QWidget *parent = nullptr);

    QString caption() const;
    void setCaption(const QString &caption);

    qint32 bookCode() const { return m_code; }
    QString bookName() const { return m_name; }
    void setBook(qint32 code, const QString &name);

    QToolButton *searchButton() const { return m_search; }

Q_SIGNALS:
    void searchRequested();
    void bookChanged(qint32 code);

private:
    QLabel *m_caption;
    QLineEdit *m_text;
    QToolButton *m_search;
    qint32 m_code = 0;
    QString m_name;
};

} // namespace tovradocs::Internal
