#pragma once

#include <QLoggingCategory>

namespace tovradocs::Internal {

Q_DECLARE_LOGGING_CATEGORY(lcMedia)

} // namespace tovradocs::Internal
