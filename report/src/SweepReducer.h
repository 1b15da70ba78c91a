// Reduction of long logs to screen size for the report. A waterfall keeps at
// most a fixed number of rows: when it is full, neighbouring rows are merged
// pairwise (the maximum level of each cell) and every later row takes twice
// as many sweeps. Memory stays bounded however long the log is, and every
// row covers the same number of sweeps except the last.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <vector>

// The maximum of two levels, where NaN stands for "no level". Inline: it
// runs for every level of every sweep.
inline float MaxLevel(float a, float b) {
  if (std::isnan(a)) return b;
  if (std::isnan(b)) return a;
  return std::max(a, b);
}

class CSweepReducer {
 public:
  struct Result {
    size_t nRows = 0;
    size_t nCols = 0;
    std::vector<float> cells;  // row-major; NaN for no level
    std::vector<std::int64_t> firstMs;
    std::vector<std::int64_t> lastMs;
    std::vector<std::uint32_t> sweeps;  // sweeps merged into each row
    // The position of each row's first sweep; NaN where it had none.
    std::vector<double> firstLat;
    std::vector<double> firstLon;
  };

  CSweepReducer(size_t nCols, size_t nMaxRows);

  size_t Cols() const { return m_cols; }
  std::uint32_t SweepsPerRow() const { return m_perRow; }
  // Adds one sweep at time tMs and position lat, lon (NaN for none):
  // Cols() levels, NaN where there is none.
  void Add(std::int64_t tMs, const float* levels, double lat = NAN, double lon = NAN);
  // More columns; the new cells of earlier rows are empty.
  void Widen(size_t nCols);
  // At most nMaxRows rows.
  Result Finish() const;

 private:
  static void MergePairs(Result& r);
  Result m_rows;
  size_t m_cols;
  size_t m_maxRows;
  std::uint32_t m_perRow = 1;
};

// The strongest level of a message, or of one band of it, and its frequency.
struct TrackLevel {
  float fLevel = std::numeric_limits<float>::quiet_NaN();  // NaN: no level
  double dFrequencyMHz = std::numeric_limits<double>::quiet_NaN();
};

// A point of the GPS track: a message's position, time and strongest level.
struct TrackPoint {
  std::int64_t nTimeMs = 0;
  double dLatitude = 0;
  double dLongitude = 0;
  float fLevel = 0;  // NaN when the message left no level
  double dFrequencyMHz = std::numeric_limits<double>::quiet_NaN();  // of that level
};

// A track's points coloured by the level at one frequency (the map's
// frequency): per point the strongest level there in the messages it merges,
// or, when the log has many bins, in the stretch of nPointsPerLevel
// neighbouring points that the point is in.
struct MapLayer {
  double dFrequencyMHz = std::numeric_limits<double>::quiet_NaN();  // NaN: no layer
  bool bStrongest = false;  // the frequency is the log's (or campaign's) strongest, not one asked for
  std::uint32_t nPointsPerLevel = 1;
  std::vector<TrackLevel> levels;  // one per point
};

// The reduced track. Besides each point's strongest level it holds the
// strongest level of each band (a panel of the report: a band of a scan, or
// the channels) at each point, so that the map can be coloured by one band.
struct ReducedTrack {
  std::vector<TrackPoint> points;
  size_t nBands = 0;
  std::vector<TrackLevel> bandLevels;  // nBands per point, point after point
  std::uint64_t nOffEarth = 0;         // positions beyond 90 degrees of latitude or 180 of longitude, left out
  std::vector<std::uint32_t> counts;   // messages merged into each point
  MapLayer map;

  const TrackLevel& Level(size_t point, size_t band) const { return bandLevels[point * nBands + band]; }
};

// The GPS track, reduced the same way as a waterfall: merged points keep the
// first position and time and the strongest levels. Points and band levels
// together stay within nMaxCells (a point holds 1 + nBands of them), so that
// a log of many bands gets fewer points, not a larger page; bands beyond
// kMaxBands are not followed.
class CTrackReducer {
 public:
  static constexpr size_t kMaxBands = 32;

  CTrackReducer(size_t nMaxPoints, size_t nMaxCells);
  // Whether a position is on the track: within 90 degrees of latitude and
  // 180 of longitude (NaN is not).
  static bool OnEarth(double lat, double lon) { return std::fabs(lat) <= 90 && std::fabs(lon) <= 180; }
  // A message's point and the strongest level of each band (bands[b] for
  // band b; bands not given had none in this message).
  void Add(const TrackPoint& p, const TrackLevel* bands = nullptr, size_t nBands = 0);
  ReducedTrack Finish() const;

 private:
  size_t MaxPoints() const;
  void Widen(size_t nBands);
  static void MergePairs(ReducedTrack& t, std::vector<std::uint32_t>& counts);
  ReducedTrack m_track;
  std::vector<std::uint32_t> m_counts;  // messages merged into each point
  size_t m_maxPoints;
  size_t m_maxCells;
  std::uint32_t m_perPoint = 1;
};
