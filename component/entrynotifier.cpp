#include "component/entrynotifier.h"

namespace tovradocs::Internal {

EntryNotifier *EntryNotifier::instance()
{
    static EntryNotifier notifier;
    return &notifier;
}

} // namespace tovradocs::Internal
