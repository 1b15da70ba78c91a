// The map's layer at a frequency: the levels the history keeps per track
// point, merged as the track merges its points.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "BinHistory.h"

namespace {
const float N = std::numeric_limits<float>::quiet_NaN();

// Six messages, each a track point; panel 0 follows 100.0 and 100.2 MHz,
// panel 1 (a channel) 100.2 MHz too.
MapLayer Layer(size_t nMaxHistoryCells, double mhz) {
  const float levels[6][3] = {{-80, -70, N}, {-81, N, -50}, {-82, -60, N},
                              {-83, N, N},   {-84, N, N},   {-85, -65, N}};
  CBinHistory history(3, nMaxHistoryCells);
  CTrackReducer track(3, 1000);
  history.AddColumn(0, 0);
  history.AddColumn(0, 1);
  history.AddColumn(1, 0);
  for (int i = 0; i < 6; ++i) {
    for (std::uint32_t c = 0; c < 3; ++c) history.Add(c, levels[i][c]);
    history.EndPoint();
    track.Add({i * 1000, 48.0 + i, 2.0, -40, 1000});
  }
  ReducedHistory h = history.Finish();
  h.columns[0].dMHz = 100.0;
  h.columns[1].dMHz = h.columns[2].dMHz = 100.2;
  h.panels = {{true, 99.9, 100.3}, {true, 100.2, 100.2}};
  return LayerAt(h, track.Finish(), mhz);
}

TEST(BinHistory, LayerAtAFrequencyPointByPoint) {
  struct Case {
    const char* what;
    size_t nMaxHistoryCells;
    double mhz;
    std::vector<float> levels;  // per track point (each of two messages)
    std::uint32_t nPointsPerLevel;
  };
  const Case cases[] = {
      {"one panel's bin", 1000, 100.0, {-80, -82, -84}, 1},
      {"the nearest bin of the panel", 1000, 100.15, {-70, -60, -65}, 1},
      {"the stronger of two panels", 1000, 100.2, {-50, -60, -65}, 1},
      {"no panel holds it", 1000, 300, {}, 1},
      {"few cells: a level spans neighbouring points", 3, 100.0, {-80, -80, -80}, 3},
  };
  for (const Case& c : cases) {
    const MapLayer layer = Layer(c.nMaxHistoryCells, c.mhz);
    EXPECT_EQ(std::isnan(layer.dFrequencyMHz), c.levels.empty()) << c.what;
    std::vector<float> got;
    for (const TrackLevel& l : layer.levels) got.push_back(l.fLevel);
    EXPECT_EQ(got, c.levels) << c.what;
    if (!c.levels.empty()) {
      EXPECT_EQ(layer.nPointsPerLevel, c.nPointsPerLevel) << c.what;
    }
  }
}

TEST(SweepReducer, MergedRowsKeepTheFirstSweepsPosition) {
  CSweepReducer r(1, 1);
  const float level[] = {-80};
  r.Add(0, level, 48.5, 2.25);
  r.Add(1000, level);  // no position
  r.Add(2000, level, 48.6, 2.35);
  const CSweepReducer::Result w = r.Finish();
  ASSERT_EQ(w.nRows, 1u);
  EXPECT_EQ(w.firstLat, std::vector<double>{48.5});
  EXPECT_EQ(w.firstLon, std::vector<double>{2.25});
}
}  // namespace
