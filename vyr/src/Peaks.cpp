#include "vyr/Peaks.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <limits>

namespace vyr {

namespace {
struct Entry {
  double level;
  double valley;  // the lowest level from after the entry below it on the stack through this one
};

// For each level, the lowest level between it and the nearest stronger level
// before it in the walk (or the start), itself included, with a monotonic
// stack: a popped entry's valley folds into the entry that popped it. The
// first level of the walk has nothing before it: no valley on that side
// (minus infinity), so that a signal at the end of a band still counts.
// bEqualIsStronger makes an equal level earlier in the walk count as stronger.
std::vector<double> Valleys(const std::vector<double>& levels, bool bForward, bool bEqualIsStronger) {
  const size_t n = levels.size();
  std::vector<double> valley(n);
  std::vector<Entry> stack;
  for (size_t k = 0; k < n; ++k) {
    const size_t i = bForward ? k : n - 1 - k;
    const double level = levels[i];
    double lowest = level;
    while (!stack.empty() && (stack.back().level < level || (!bEqualIsStronger && stack.back().level == level))) {
      lowest = std::min(lowest, stack.back().valley);
      stack.pop_back();
    }
    valley[i] = k == 0 ? -std::numeric_limits<double>::infinity() : lowest;
    stack.push_back({level, lowest});
  }
  return valley;
}
}  // namespace

std::vector<bool> DistinctPeaks(const std::vector<double>& maxDbm, double dMinProminenceDb) {
  std::vector<double> levels;
  std::vector<size_t> index;
  for (size_t i = 0; i < maxDbm.size(); ++i)
    if (!std::isnan(maxDbm[i])) {
      levels.push_back(maxDbm[i]);
      index.push_back(i);
    }
  std::vector<bool> peak(maxDbm.size(), false);
  if (levels.empty()) return peak;
  // An equal level before a bin is stronger (the flat top's first bin
  // counts), an equal one after it is not.
  const std::vector<double> before = Valleys(levels, true, true);
  const std::vector<double> after = Valleys(levels, false, false);
  const size_t strongest = static_cast<size_t>(std::max_element(levels.begin(), levels.end()) - levels.begin());
  for (size_t k = 0; k < levels.size(); ++k) {
    const double prominence = levels[k] - std::max(before[k], after[k]);
    peak[index[k]] = k == strongest || prominence >= dMinProminenceDb;
  }
  return peak;
}

}  // namespace vyr
