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
// The line reader met a line longer than the text file's maximum line length
// (a file without line ends, such as a device); it reads no further.
constexpr RolRetc ROL_LINE_TOO_LONG = 4;
// Memory ran out while a file was read or a message decoded: the work stopped
// there, cleanly, instead of ending the process.
constexpr RolRetc ROL_OUT_OF_MEMORY = 5;
