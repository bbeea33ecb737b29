#pragma once

#include <QWidget>

class QLabel;
class QLineEdit;

namespace tovradocs::Internal {

// A text box with its caption on the left.
class TovraText : public QWidget
{
    Q_OBJECT
    Q_PROPERTY(QString caption READ caption WRITE setCaption)
    Q_PROPERTY(QString text READ text WRITE setText NOTIFY textChanged)
    Q_PROPERTY(QString tag READ tag WRITE setTag)

public:
    explicit TovraText(QWidget *parent = nullptr);

    QString caption() const;
    void setCaption(const QString &caption);
    QString text() const;
    void setText(const QString &text);
    QString tag() const { return m_tag; }
    void setTag(const QString &tag) { m_tag = tag; }

    QLineEdit *lineEdit() const { return m_edit; }

Q_SIGNALS:
    void textChanged(const QString &text);

private:
    QLabel *m_caption;
    QLineEdit *m_edit;
    QString m_tag;
};

} // namespace tovradocs::Internal
