#include "VyrScanSort.h"

#include <algorithm>

namespace NVyrDecodeDeviceUtils {
void CWScanSortByRxLev(CWScanMeasurementStruct* pRecords, int nCount) {
  if (!pRecords || nCount < 2) return;
  std::stable_sort(pRecords, pRecords + nCount, [](const CWScanMeasurementStruct& a, const CWScanMeasurementStruct& b) {
    return a.nRxLev > b.nRxLev;
  });
}
}  // namespace NVyrDecodeDeviceUtils
