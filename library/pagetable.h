#pragma once

// The page table is shared with the viewers, which sit below the library.
#include "component/pagetable.h"
