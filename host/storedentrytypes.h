#pragma once

#include "component/result.h"

#include <QString>

#include <functional>

namespace tovradocs::Internal {

class HostDatabase;

// Rows that older writers stored as documents although their file is a
// picture or a video get the type of their file, once per database, in one
// transaction. Returns how many rows changed (0 when it had been done).
Result<int> correctStoredEntryTypes(HostDatabase &db,
                                    const std::function<QString(const QString &)> &resolvePath);

} // namespace tovradocs::Internal
