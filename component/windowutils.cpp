#include "component/windowutils.h"

#include "component/dialogservice.h"
#include "component/hostlink.h"

#include <QEvent>
#include <QGuiApplication>
#include <QScreen>
#include <QSettings>
#include <QComboBox>
#include <QWidget>

#include <algorithm>

namespace tovradocs::Internal {

namespace {

std::unique_ptr<Recordset> openRows(const QString &sql, bool fromLibrary)
{
    std::unique_ptr<Recordset> rows;
    DataLink *link = dataLink();
    if (!link)
        return rows;
    if (fromLibrary)
        link->FillLibRecordSet(rows, sql);
    else
        link->FillRecordSet(rows, sql);
    if (rows && !rows->isOpen())
        rows.reset();
    return rows;
}

bool sameItemData(const QVariant &a, const QVariant &b)
{
    if (a == b)
        return true;
    bool okA = false;
    bool okB = false;
    const double x = a.toDouble(&okA);
    const double y = b.toDouble(&okB);
    return okA && okB && x == y;
}

} // namespace

QString comboFillSql(const QString &table, const QString &displayField, const QString &dataField,
                     const QString &condition)
{
    QString sql = QStringLiteral("Select  ") + displayField.trimmed() + QStringLiteral(" , ")
                  + dataField.trimmed() + QStringLiteral(" from ") + table;
    if (!condition.isEmpty())
        sql += QStringLiteral("  where  ") + condition;
    return sql;
}

int fillComboFromTable(QComboBox *combo, const QString &table, const QString &displayField,
                       const QString &dataField, const QString &condition, bool fromLibrary)
{
    if (!combo)
        return 0;
    const BusyMark busy(combo);
    combo->clear();
    auto rows = openRows(comboFillSql(table, displayField, dataField, condition), fromLibrary);
    const QString display = displayField.trimmed();
    const QString data = dataField.trimmed();
    for (; rows && !rows->isEof(); rows->moveNext()) {
        const QVariant text = rows->value(display);
        combo->addItem(text.isNull() ? QString() : text.toString(), rows->value(data));
    }
    closeRecordsetSafely(rows);
    return combo->count();
}

ValueList fillListFromSql(const QString &sql, const QString &displayField,
                          const QString &dataField, bool fromLibrary)
{
    ValueList list;
    auto rows = openRows(sql, fromLibrary);
    const QString display = displayField.trimmed();
    const QString data = dataField.trimmed();
    for (; rows && !rows->isEof(); rows->moveNext()) {
        const QVariant text = rows->value(display);
        list.append({text.isNull() ? QString() : text.toString(), rows->value(data)});
    }
    closeRecordsetSafely(rows);
    return list;
}

bool selectComboByItemData(QComboBox *combo, const QVariant &value, bool busy)
{
    if (!combo)
        return false;
    if (busy)
        combo->setProperty("tag", QStringLiteral("P"));
    bool found = false;
    for (int i = 0; i < combo->count(); ++i) {
        if (sameItemData(combo->itemData(i), value)) {
            combo->setCurrentIndex(i);
            found = true;
            break;
        }
    }
    combo->setProperty("tag", QString());
    return found;
}

void closeRecordsetSafely(std::unique_ptr<Recordset> &recordset)
{
    if (!recordset)
        return;
    try {
        if (recordset->isOpen()) {
            try {
                recordset->cancelUpdate();
            } catch (...) {
                // Nothing was pending.
            }
            recordset->close();
        }
    } catch (const std::exception &e) {
        qCDebug(lcComponent) << "closing a recordset failed:" << e.what();
    }
    recordset.reset();
}

QString browseForFolder(QWidget *owner, const QString &title)
{
    try {
        return DialogService::folder(owner, title);
    } catch (const std::exception &e) {
        qCWarning(lcComponent) << "folder browser failed:" << e.what();
    }
    return QString();
}

bool chooseFont(QWidget *control)
{
    if (!control)
        return false;
    const auto chosen = DialogService::font(control, control->font());
    if (!chosen)
        return false;
    QFont font = control->font();
    font.setFamily(chosen->family());
    if (chosen->pointSizeF() > 0)
        font.setPointSizeF(qRound(chosen->pointSizeF() * 10) / 10.0);
    font.setBold(chosen->bold());
    font.setItalic(chosen->italic());
    font.setUnderline(chosen->underline());
    control->setFont(font);
    return true;
}

bool defaultPrinterAvailable()
{
    // Printing to a PDF file needs no queue, so there is always somewhere to print.
    return true;
}

QString bytesToText(const QByteArray &bytes)
{
    const qsizetype end = bytes.indexOf('\0');
    return QString::fromLocal8Bit(end < 0 ? bytes : bytes.left(end));
}

} // namespace tovradocs::Internal

namespace tovradocs::Internal {

namespace placement {

QString settingsKey(const QString &key)
{
    return QStringLiteral("windows/") + key + QStringLiteral("/geometry");
}

class Keeper : public QObject
{
public:
    Keeper(QWidget *window, const QString &key) : QObject(window), m_window(window), m_key(key)
    {
        window->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (watched == m_window && event->type() == QEvent::Hide && !m_window->isMinimized()) {
            QSettings settings;
            settings.setValue(settingsKey(m_key), m_window->saveGeometry());
        }
        return false;
    }

private:
    QWidget *m_window;
    QString m_key;
};

// Moved and shrunk as little as needed to lie wholly inside area.
QRect fitted(QRect frame, const QRect &area)
{
    frame.setWidth(std::min(frame.width(), area.width()));
    frame.setHeight(std::min(frame.height(), area.height()));
    frame.moveLeft(std::clamp(frame.left(), area.left(), area.right() - frame.width() + 1));
    frame.moveTop(std::clamp(frame.top(), area.top(), area.bottom() - frame.height() + 1));
    return frame;
}

} // namespace placement

void rememberPlacement(QWidget *window, const QString &key, QWidget *owner)
{
    if (!window)
        return;
    const QSettings settings;
    const QByteArray saved = settings.value(placement::settingsKey(key)).toByteArray();
    QScreen *screen = owner ? owner->screen() : QGuiApplication::primaryScreen();
    if (saved.isEmpty() || !window->restoreGeometry(saved)) {
        if (owner && owner->isVisible()) {
            QRect frame = window->geometry();
            frame.moveCenter(owner->window()->geometry().center());
            window->setGeometry(frame);
        } else if (screen) {
            QRect frame = window->geometry();
            frame.moveCenter(screen->availableGeometry().center());
            window->setGeometry(frame);
        }
    } else if (QScreen *at = QGuiApplication::screenAt(window->geometry().center())) {
        screen = at;
    }
    if (screen) {
        const QRect inside = placement::fitted(window->geometry(), screen->availableGeometry());
        if (inside != window->geometry())
            window->setGeometry(inside);
    }
    if (!window->findChild<placement::Keeper *>(QString(), Qt::FindDirectChildrenOnly))
        new placement::Keeper(window, key);
}

} // namespace tovradocs::Internal
