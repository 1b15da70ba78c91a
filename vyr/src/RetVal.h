// The number a data-state read holds.
#pragma once

#include "VyrRetVal.h"

namespace vyr::detail {

// False when the read holds no value or a text.
bool RetValNumber(const VyrRetVal& v, double& d);

}  // namespace vyr::detail
