#pragma once

#include "component/result.h"

#include <QImage>
#include <QString>

namespace tovradocs::Internal {

// The first page of a PDF document drawn to fit edge x edge pixels on white,
// through poppler. A page that takes longer than timeoutMs to draw is given
// up. Failures are short clauses ("it is protected by a password").
// Blocks: call it from a worker thread. Thread-safe.
Result<QImage> renderFirstPdfPage(const QString &path, int edge, int timeoutMs = 2000);

} // namespace tovradocs::Internal
