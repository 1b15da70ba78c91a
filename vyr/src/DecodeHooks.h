// A seam for tests and fuzz targets: a function that sees each decode's
// decode device once it is made, before the first message, on the thread
// that set it (a fuzz target scales the device's plan budget down).
#pragma once

#include <functional>

class CVyrDecodeDevice;

namespace vyr::detail {

using DeviceHook = std::function<void(CVyrDecodeDevice&)>;
// Empty to remove it.
void SetDeviceHook(DeviceHook hook);
// The calling thread's hook, which a decode in pieces passes to its workers.
const DeviceHook& CurrentDeviceHook();

}  // namespace vyr::detail
