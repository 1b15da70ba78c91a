// The module's declaration of itself, in one place: the HYTEM data-file type
// and its content probe, the "Hytem Scanner" decode device and the roles of
// its message classes, the texts of the reader's result codes, and the host
// attributes of the scan plan and levels. The host reads it from the loaded
// module by the name kel_format_driver (FormatDriver.h).
#pragma once

#include "FormatDriver.h"

KEL_EXPORT_FORMAT_DRIVER const KelFormatDriver kel_format_driver;
