#pragma once

#include <QWidget>

class QCheckBox;

namespace tovradocs::Internal {

// A check box that carries its own caption.
class TovraCheck : public QWidget
{
    Q_OBJECT
    Q_PROPERTY(QString caption READ caption WRITE setCaption)
    Q_PROPERTY(bool checked READ isChecked WRITE setChecked NOTIFY toggled)
    Q_PROPERTY(QString tag READ tag WRITE setTag)

public:
    explicit TovraCheck(QWidget *parent = nullptr);

    QString caption() const;
    void setCaption(const QString &caption);
    bool isChecked() const;
    void setChecked(bool checked);
    QString tag() const { return m_tag; }
    void setTag(const QString &tag) { m_tag = tag; }

    QCheckBox *checkBox() const { return m_check; }

Q_SIGNALS:
    void toggled(bool checked);

private:
    QCheckBox *m_check;
    QString m_tag;
};

} // namespace tovradocs::Internal
