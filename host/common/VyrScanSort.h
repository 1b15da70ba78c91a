// Scan measurement records and their sort by received level.
#pragma once

#include <cstdint>

// One ranked scan measurement. The frequency is carried in 64 bits so that
// frequencies of 2147.483648 MHz and above keep their value.
struct CWScanMeasurementStruct {
  std::int32_t nIndex;      // position of the level in its list
  std::int64_t llFreqHz;    // frequency in hertz
  std::int32_t nReserved1;
  std::int32_t nRxLev;      // level in thousandths of a dB
  std::int32_t nReserved2;
};

namespace NVyrDecodeDeviceUtils {
// Sorts by nRxLev, strongest first; records of equal level keep their order.
void CWScanSortByRxLev(CWScanMeasurementStruct* pRecords, int nCount);
}  // namespace NVyrDecodeDeviceUtils
