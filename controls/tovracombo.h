#pragma once

#include <QVariant>
#include <QWidget>

class QComboBox;
class QLabel;

namespace tovradocs::Internal {

// A drop-down list with its caption on the left; every item carries item data
// (a key), and an item can be chosen by its key.
class TovraCombo : public QWidget
{
    Q_OBJECT
    Q_PROPERTY(QString caption READ caption WRITE setCaption)
    Q_PROPERTY(int currentIndex READ currentIndex WRITE setCurrentIndex NOTIFY currentIndexChanged)
    Q_PROPERTY(QString tag READ tag WRITE setTag)

public:
    explicit TovraCombo(QWidget *parent = nullptr);

    QString caption() const;
    void setCaption(const QString &caption);
    QString tag() const { return m_tag; }
    void setTag(const QString &tag) { m_tag = tag; }

    void addItem(const QString &text, const QVariant &itemData = {});
    void clear();
    int count() const;
    QString itemText(int index) const;
    QVariant itemData(int index) const;

    int currentIndex() const; // -1 when nothing is chosen
    void setCurrentIndex(int index);
    QString currentText() const;
    QVariant currentItemData() const;
    // Chooses the first item whose data equals data; false (and no change) when none does.
    bool selectByItemData(const QVariant &data);

    QComboBox *comboBox() const { return m_combo; }

Q_SIGNALS:
    void currentIndexChanged(int index);

private:
    QLabel *m_caption;
    QComboBox *m_combo;
    QString m_tag;
};

} // namespace tovradocs::Internal
