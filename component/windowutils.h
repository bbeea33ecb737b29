#pragma once

#include "component/busymark.h"
#include "component/keyhandler.h"
#include "component/twips.h"

#include <tovradocs/recordset.h>

#include <QList>
#include <QPair>
#include <QString>
#include <QVariant>

#include <memory>

class QComboBox;
class QWidget;

namespace tovradocs::Internal {

// Every window answers its number; F1 opens the host's help topic "W<number>.htm".
class HelpIdentified
{
public:
    virtual ~HelpIdentified() = default;
    virtual qint32 GetWindowID() const = 0;
};

// Text shown and value kept, one pair per row, for value-list columns.
using ValueList = QList<QPair<QString, QVariant>>;

// The statement the combo filler sends, e.g.
// "Select  Description , Entry_Code from SystemLists  where   ParentID = 71 ".
QString comboFillSql(const QString &table, const QString &displayField, const QString &dataField,
                     const QString &condition);

// Clears the combo and adds one item per row (text = display field, item data =
// data field) from the host's list database (fromLibrary) or practice database.
// The combo is marked busy while it fills. Returns the number of items; host
// errors propagate to the calling window.
int fillComboFromTable(QComboBox *combo, const QString &table, const QString &displayField,
                       const QString &dataField, const QString &condition, bool fromLibrary);

// The rows of sql as text/value pairs. Host errors propagate.
ValueList fillListFromSql(const QString &sql, const QString &displayField,
                          const QString &dataField, bool fromLibrary);

// Selects the first item whose item data equals value (numbers compare by
// value). With busy set the combo's handlers see the busy mark meanwhile; the
// tag is cleared afterwards. False when no item matches (selection unchanged).
bool selectComboByItemData(QComboBox *combo, const QVariant &value, bool busy);

// Drops a pending edit or new row, closes and releases; never throws.
void closeRecordsetSafely(std::unique_ptr<Recordset> &recordset);

// The chosen folder, or "" when cancelled. Never throws.
QString browseForFolder(QWidget *owner, const QString &title);

// The font dialog for a control; on OK the control takes the chosen face,
// size, bold, italic and underline. True on OK.
bool chooseFont(QWidget *control);

// True when the component can print: a CUPS queue or, always, the PDF printer.
bool defaultPrinterAvailable();

// Gives a top-level window the size and place it had when it was last closed
// (kept under key), else centres it over owner; either way it ends up wholly
// on one screen, the owner's when the saved screen is gone. It is saved
// again whenever it is hidden.
void rememberPlacement(QWidget *window, const QString &key, QWidget *owner);

// Text up to the first zero byte.
QString bytesToText(const QByteArray &bytes);

} // namespace tovradocs::Internal
