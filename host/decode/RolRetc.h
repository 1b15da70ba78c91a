// Result codes of the host frameworks: 0 is success.
#pragma once

using RolRetc = int;

constexpr RolRetc ROL_OK = 0;
// The line reader found no further line: the normal end of a file.
constexpr RolRetc ROL_END_OF_FILE = 1;
// The line reader failed to read from the file.
constexpr RolRetc ROL_READ_ERROR = 2;
// A framework operation was called with unusable arguments.
constexpr RolRetc ROL_INVALID_ARG = 3;
