#include <cmath>
#include <limits>

#include "VyrTime.h"
#include "vyr/Log.h"

namespace vyr {

double Band::StartMHz() const { return HasFrequency(0) ? HzToMHz(hz.front()) : std::numeric_limits<double>::quiet_NaN(); }

double Band::StopMHz() const {
  return !hz.empty() && HasFrequency(hz.size() - 1) ? HzToMHz(hz.back()) : std::numeric_limits<double>::quiet_NaN();
}

double Band::StepKHz() const {
  if (Bins() < 2) return 0;
  if (!HasFrequency(0) || !HasFrequency(Bins() - 1)) return std::numeric_limits<double>::quiet_NaN();
  return static_cast<double>(hz.back() - hz.front()) / 1e3 / static_cast<double>(Bins() - 1);
}

std::string FormatIsoTime(std::int64_t ms) {
  CVyrMilliSecAbsTime t;
  t.SetMs(ms);
  return t.FormatIso8601();
}

}  // namespace vyr
