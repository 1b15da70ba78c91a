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
  };

  CSweepReducer(size_t nCols, size_t nMaxRows);

  size_t Cols() const { return m_cols; }
  std::uint32_t SweepsPerRow() const { return m_perRow; }
  // Adds one sweep at time tMs: Cols() levels, NaN where there is none.
  void Add(std::int64_t tMs, const float* levels);
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

// The GPS track, reduced the same way: merged points keep the first position
// and time and the strongest level.
struct TrackPoint {
  std::int64_t nTimeMs = 0;
  double dLatitude = 0;
  double dLongitude = 0;
  float fLevel = 0;  // NaN when the message left no level
};

class CTrackReducer {
 public:
  explicit CTrackReducer(size_t nMaxPoints) : m_maxPoints(nMaxPoints < 1 ? 1 : nMaxPoints) {}
  void Add(const TrackPoint& p);
  std::vector<TrackPoint> Finish() const;

 private:
  static void MergePairs(std::vector<TrackPoint>& points, std::vector<std::uint32_t>& counts);
  std::vector<TrackPoint> m_points;
  std::vector<std::uint32_t> m_counts;
  size_t m_maxPoints;
  std::uint32_t m_perPoint = 1;
};
