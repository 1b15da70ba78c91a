// The data-state attributes that the scan views of vyrhost read, resolved by
// schema name, and the conversions of their values.
#pragma once

#include <cstdint>

#include "VyrRetVal.h"

// Element scopes: the frequency plan of a scan lives at scope 0, everything
// else that a message decodes at the message scope.
constexpr int kScopePlan = 0;
constexpr int kScopeMessage = 2147483647;

// Message classes of the log readers.
constexpr std::int32_t kHeaderMessageClass = 306;
constexpr std::int32_t kMeasurementMessageClass = 307;

struct ScanAttributes {
  int nFreq = 0;          // ATTR_ID_SCAN_LOG_FREQ: plan (scope 0) and channel frequencies
  int nBandStartIdx = 0;  // ATTR_ID_SCAN_LOG_HYTEM_BAND_START_IDX: first plan element of each band
  int nBinLevel = 0;      // ATTR_ID_SCAN_BIN_DB_MEAN: bin and channel levels
  int nFreqUnit = 0;      // the unit in which the schema keeps ATTR_ID_SCAN_LOG_FREQ

  // A value of ATTR_ID_SCAN_LOG_FREQ in MHz.
  double FrequencyMHz(double dValue) const;

  // Resolved once from the host's schema.
  static const ScanAttributes& Get();
};

// The number a data-state read holds; false when it holds no value or a text.
bool RetValNumber(const VyrRetVal& v, double& d);
