#pragma once

#include "component/result.h"

namespace tovradocs {

class ReferenceHost;

namespace Internal {

// The lists every practice needs before its first entry: document categories
// and slide-show transitions. Written only into empty tables, so a practice's
// own lists are never touched.
Outcome ensureStandardLists(ReferenceHost &host);

} // namespace Internal
} // namespace tovradocs
