#include "SweepReducer.h"

#include <algorithm>
#include <cmath>
#include <limits>

CSweepReducer::CSweepReducer(size_t nCols, size_t nMaxRows) : m_cols(nCols), m_maxRows(nMaxRows < 1 ? 1 : nMaxRows) {
  m_rows.nCols = nCols;
}

void CSweepReducer::Add(std::int64_t tMs, const float* levels) {
  Result& r = m_rows;
  if (r.nRows > 0 && r.sweeps.back() < m_perRow) {
    float* row = &r.cells[(r.nRows - 1) * m_cols];
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
    std::copy_n(&m_rows.cells[row * m_cols], m_cols, &cells[row * nCols]);
  m_rows.cells.swap(cells);
  m_cols = m_rows.nCols = nCols;
}

void CSweepReducer::MergePairs(Result& r) {
  size_t out = 0;
  for (size_t row = 0; row < r.nRows; row += 2, ++out) {
    float* dst = &r.cells[out * r.nCols];
    const float* a = &r.cells[row * r.nCols];
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

void CTrackReducer::Add(const TrackPoint& p) {
  if (!m_points.empty() && m_counts.back() < m_perPoint) {
    m_points.back().fLevel = MaxLevel(m_points.back().fLevel, p.fLevel);
    ++m_counts.back();
    return;
  }
  if (m_points.size() >= 2 * m_maxPoints) {
    MergePairs(m_points, m_counts);
    m_perPoint *= 2;
  }
  m_points.push_back(p);
  m_counts.push_back(1);
}

void CTrackReducer::MergePairs(std::vector<TrackPoint>& points, std::vector<std::uint32_t>& counts) {
  size_t out = 0;
  for (size_t i = 0; i < points.size(); i += 2, ++out) {
    TrackPoint p = points[i];
    std::uint32_t n = counts[i];
    if (i + 1 < points.size()) {
      p.fLevel = MaxLevel(p.fLevel, points[i + 1].fLevel);
      n += counts[i + 1];
    }
    points[out] = p;
    counts[out] = n;
  }
  points.resize(out);
  counts.resize(out);
}

std::vector<TrackPoint> CTrackReducer::Finish() const {
  std::vector<TrackPoint> points = m_points;
  std::vector<std::uint32_t> counts = m_counts;
  if (points.size() > m_maxPoints) MergePairs(points, counts);
  return points;
}
