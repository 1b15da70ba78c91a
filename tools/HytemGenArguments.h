// The generator's option values that need more than a number: the shape,
// the start and the origin. Each gives false, leaving the options as they
// were, for a value it refuses.
#pragma once

#include <string_view>

#include "HytemLogGenerator.h"

// "survey" or "fixed".
bool ParseHytemGenShape(std::string_view shape, HytemGenShape& result);
// YYYY-MM-DD, optionally followed by THH:MM or THH:MM:SS, from 1969 to 2068
// (the years that the log's two-digit years give).
bool ParseHytemGenStart(const char* psz, HytemGenOptions& options);
// LAT,LON in decimal degrees, south and west negative, |LAT| up to 89.
bool ParseHytemGenOrigin(const char* psz, HytemGenOptions& options);
