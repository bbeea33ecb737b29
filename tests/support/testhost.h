#pragma once

#include "host/referencehost.h"

#include <QObject>
#include <QStringList>
#include <QVariantMap>

#include <memory>

class QComboBox;

namespace tovradocs::Internal {
class ScriptedResponder;
}

namespace tovradocs::Testing {

// A reference host over a fresh SQLite file in folder, with its library in
// folder/Library. Null (and a warning naming the cause) when it cannot open.
std::shared_ptr<ReferenceHost> openTestHost(const QString &folder, bool demoPractice = false);

// The texts of the message boxes a responder was asked, in order.
QStringList messageTexts(const Internal::ScriptedResponder &responder);

// The first column of the first row of a query; -1 when there is none.
qint64 scalar(DataLink &host, const QString &sql);

// One BookContents row by key, field names lower-cased; empty when absent.
QVariantMap contentRow(DataLink &host, qint32 entryCode);

// The row's values of the fields named in expected ("field=value" lines),
// written the same way, so a row is checked with one comparison:
// QCOMPARE(fieldTexts(row, expected), expected). Dates read yyyy-MM-dd.
QStringList fieldTexts(const QVariantMap &row, const QStringList &expected);

// The texts of a list's items, in order.
QStringList itemTexts(const QComboBox *combo);

// Whole-file helpers: false / a null array when the file cannot be used.
bool writeFile(const QString &path, const QByteArray &content);
QByteArray fileContents(const QString &path);

// A named control; a missing one ends the test run, naming it.
QObject *findNamed(const QObject *parent, const char *name);
template<typename T = QWidget, typename Parent>
T *child(const Parent &parent, const char *name)
{
    auto *found = qobject_cast<T *>(findNamed(&*parent, name));
    if (!found)
        qFatal("control %s has another type", name);
    return found;
}

} // namespace tovradocs::Testing
