#pragma once

#include "host/referencehost.h"

#include <QStringList>

#include <memory>

namespace tovradocs::Internal {
class ScriptedResponder;
}

namespace tovradocs::Testing {

// A reference host over a fresh SQLite file in folder, with its library in
// folder/Library. Null (and a warning naming the cause) when it cannot open.
std::shared_ptr<ReferenceHost> openTestHost(const QString &folder, bool demoPractice = false);

// The texts of the message boxes a responder was asked, in order.
QStringList messageTexts(const Internal::ScriptedResponder &responder);

} // namespace tovradocs::Testing
