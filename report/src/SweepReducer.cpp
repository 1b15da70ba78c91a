#include "SweepReducer.h"

#include <algorithm>
#include <cmath>
#include <limits>

CSweepReducer::CSweepReducer(size_t nCols, size_t nMaxRows) : m_cols(nCols), m_maxRows(nMaxRows < 1 ? 1 : nMaxRows) {
  m_rows.nCols = nCols;
}

// Rows are reached by data() + offset, never &v[i]: a panel or track of no
// columns or bands has empty cells.
void CSweepReducer::Add(std::int64_t tMs, const float* levels) {
  Result& r = m_rows;
  if (r.nRows > 0 && r.sweeps.back() < m_perRow) {
    float* row = r.cells.data() + (r.nRows - 1) * m_cols;
    for (size_t c = 0; c < m_cols; ++c) row[c] = MaxLevel(row[c], levels[c]);
    r.lastMs.back() = tMs;
    ++r.sweeps.back();
    return;
  }
  // Every row is full here: when there is no room for another, halve.
  if (r.nRows >= 2 * m_maxRows) {
    MergePairs(r);
    m_perRow *= 2;
  }
  r.cells.insert(r.cells.end(), levels, levels + m_cols);
  r.firstMs.push_back(tMs);
  r.lastMs.push_back(tMs);
  r.sweeps.push_back(1);
  ++r.nRows;
}

void CSweepReducer::Widen(size_t nCols) {
  if (nCols <= m_cols) return;
  std::vector<float> cells(m_rows.nRows * nCols, std::numeric_limits<float>::quiet_NaN());
  for (size_t row = 0; row < m_rows.nRows; ++row)
    std::copy_n(m_rows.cells.data() + row * m_cols, m_cols, cells.data() + row * nCols);
  m_rows.cells.swap(cells);
  m_cols = m_rows.nCols = nCols;
}

void CSweepReducer::MergePairs(Result& r) {
  size_t out = 0;
  for (size_t row = 0; row < r.nRows; row += 2, ++out) {
    float* dst = r.cells.data() + out * r.nCols;
    const float* a = r.cells.data() + row * r.nCols;
    bool pair = row + 1 < r.nRows;
    for (size_t c = 0; c < r.nCols; ++c) dst[c] = pair ? MaxLevel(a[c], a[r.nCols + c]) : a[c];
    r.firstMs[out] = r.firstMs[row];
    r.lastMs[out] = pair ? r.lastMs[row + 1] : r.lastMs[row];
    r.sweeps[out] = r.sweeps[row] + (pair ? r.sweeps[row + 1] : 0);
  }
  r.nRows = out;
  r.cells.resize(out * r.nCols);
  r.firstMs.resize(out);
  r.lastMs.resize(out);
  r.sweeps.resize(out);
}

CSweepReducer::Result CSweepReducer::Finish() const {
  Result r = m_rows;
  if (r.nRows > m_maxRows) MergePairs(r);
  return r;
}

namespace {
// The stronger of two levels, with its frequency; of equal ones the first.
void KeepStrongest(TrackLevel& into, const TrackLevel& other) {
  if (!std::isnan(other.fLevel) && !(other.fLevel <= into.fLevel)) into = other;
}

void KeepStrongest(TrackPoint& into, const TrackPoint& other) {
  TrackLevel a{into.fLevel, into.dFrequencyMHz};
  KeepStrongest(a, {other.fLevel, other.dFrequencyMHz});
  into.fLevel = a.fLevel;
  into.dFrequencyMHz = a.dFrequencyMHz;
}
}  // namespace

CTrackReducer::CTrackReducer(size_t nMaxPoints, size_t nMaxCells)
    : m_maxPoints(std::max<size_t>(1, nMaxPoints)), m_maxCells(std::max<size_t>(1, nMaxCells)) {}

size_t CTrackReducer::MaxPoints() const {
  return std::max<size_t>(1, std::min(m_maxPoints, m_maxCells / (1 + m_track.nBands)));
}

void CTrackReducer::Widen(size_t nBands) {
  ReducedTrack& t = m_track;
  std::vector<TrackLevel> levels(t.points.size() * nBands);
  for (size_t i = 0; i < t.points.size(); ++i)
    std::copy_n(t.bandLevels.data() + i * t.nBands, t.nBands, levels.data() + i * nBands);
  t.bandLevels.swap(levels);
  t.nBands = nBands;
}

void CTrackReducer::Add(const TrackPoint& p, const TrackLevel* bands, size_t nBands) {
  // NaN fails both comparisons.
  if (!(std::fabs(p.dLatitude) <= 90 && std::fabs(p.dLongitude) <= 180)) {
    ++m_track.nOffEarth;
    return;
  }
  nBands = std::min(nBands, kMaxBands);
  if (nBands > m_track.nBands) Widen(nBands);
  ReducedTrack& t = m_track;
  if (!t.points.empty() && m_counts.back() < m_perPoint) {
    KeepStrongest(t.points.back(), p);
    TrackLevel* last = t.bandLevels.data() + (t.points.size() - 1) * t.nBands;
    for (size_t b = 0; b < nBands; ++b) KeepStrongest(last[b], bands[b]);
    ++m_counts.back();
    return;
  }
  while (t.points.size() >= 2 * MaxPoints()) {
    MergePairs(t, m_counts);
    m_perPoint *= 2;
  }
  t.points.push_back(p);
  m_counts.push_back(1);
  t.bandLevels.resize(t.points.size() * t.nBands);
  if (nBands > 0) std::copy_n(bands, nBands, t.bandLevels.data() + (t.points.size() - 1) * t.nBands);
}

void CTrackReducer::MergePairs(ReducedTrack& t, std::vector<std::uint32_t>& counts) {
  size_t out = 0;
  for (size_t i = 0; i < t.points.size(); i += 2, ++out) {
    TrackPoint p = t.points[i];
    std::uint32_t n = counts[i];
    if (out != i) std::copy_n(t.bandLevels.data() + i * t.nBands, t.nBands, t.bandLevels.data() + out * t.nBands);
    if (i + 1 < t.points.size()) {
      KeepStrongest(p, t.points[i + 1]);
      for (size_t b = 0; b < t.nBands; ++b) KeepStrongest(t.bandLevels[out * t.nBands + b], t.Level(i + 1, b));
      n += counts[i + 1];
    }
    t.points[out] = p;
    counts[out] = n;
  }
  t.points.resize(out);
  t.bandLevels.resize(out * t.nBands);
  counts.resize(out);
}

ReducedTrack CTrackReducer::Finish() const {
  ReducedTrack t = m_track;
  std::vector<std::uint32_t> counts = m_counts;
  while (t.points.size() > MaxPoints()) MergePairs(t, counts);
  return t;
}
