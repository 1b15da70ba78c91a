// The base of decode devices that receive one device's messages.
#pragma once

#include "VyrDecodeDevice.h"

class CVyrDecodeReceiver : public CVyrDecodeDevice {
 public:
  explicit CVyrDecodeReceiver(const CVyrDeviceTypeInfo& info) : CVyrDecodeDevice(info) {}
};
