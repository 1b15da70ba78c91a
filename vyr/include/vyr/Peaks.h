// The distinct signals of a spectrum: a strong carrier spans many bins whose
// maxima all rank high, so the strongest signals are its peaks, not its bins.
#pragma once

#include <vector>

namespace vyr {

// The prominence that makes a local maximum a signal of its own by default:
// it stands this far above the valley towards any stronger bin.
constexpr double kDefaultPeakProminenceDb = 6;

// Which bins of a spectrum (the maximum level of each bin in frequency order,
// NaN where a bin has none) are distinct peaks: a bin whose prominence, its
// level less the higher of the lowest levels between it and the nearest
// stronger bin on each side (or the end of the spectrum; nothing on the side
// of an end bin), is at least dMinProminenceDb. Of a flat top the first bin
// counts; the strongest bin always does. Bins without a level are skipped
// over. Linear time.
std::vector<bool> DistinctPeaks(const std::vector<double>& maxDbm, double dMinProminenceDb);

}  // namespace vyr
