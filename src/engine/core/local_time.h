// The present moment on the local clock, as the Access engine stamps the objects it makes
// (creation and change dates of new databases and tables).
#pragma once

#include "engine/core/value.h"

namespace qv {

// Now in local time, to the millisecond (a leap second reads as :59).
Timestamp LocalNow();

}  // namespace qv
