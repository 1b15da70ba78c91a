// The distinct peaks of a spectrum of maxima: one per carrier, however wide.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "vyr/Peaks.h"

namespace {
constexpr double N = NAN;

TEST(DistinctPeaks, OnePerSignal) {
  struct Case {
    const char* what;
    std::vector<double> maxDbm;
    std::vector<bool> peaks;
  };
  const Case cases[] = {
      {"nothing", {}, {}},
      {"no level at all", {N, N}, {false, false}},
      {"one bin", {-80}, {true}},
      {"a wide carrier with ripple is one peak", {-100, -50, -51, -49, -50, -52, -100}, {0, 0, 0, 1, 0, 0, 0}},
      {"two carriers apart", {-100, -60, -100, -70, -100}, {0, 1, 0, 1, 0}},
      {"a shallow dip is no second signal", {-100, -60, -63, -61, -100}, {0, 1, 0, 0, 0}},
      {"a dip of exactly the prominence is", {-100, -60, -70, -64, -100}, {0, 1, 0, 1, 0}},
      {"a flat top counts its first bin", {-100, -50, -50, -100}, {0, 1, 0, 0}},
      {"a signal at the band's end", {-50, -100, -60}, {1, 0, 1}},
      {"noise ending the band is none", {-60, -100, -97, -95, -97}, {1, 0, 0, 0, 0}},
      {"bins without a level are skipped over", {-60, N, -60.5, -100}, {1, 0, 0, 0}},
      {"the strongest counts on a gentle slope", {-90, -91, -92}, {1, 0, 0}},
  };
  for (const Case& c : cases) EXPECT_EQ(vyr::DistinctPeaks(c.maxDbm, 6), c.peaks) << c.what;
}
}  // namespace
