#include "vyr/BinStats.h"

#include <algorithm>
#include <cmath>

#include "Bytes.h"

namespace vyr {

// Grows the cells to cover nFirst to nLast (tenths), by at least half again
// on the side that grows, so that a bin whose levels drift costs few copies.
void LevelHistogram::Cover(int nFirst, int nLast) {
  if (m_cells.empty()) {
    m_nFirst = nFirst;
    m_cells.assign(static_cast<size_t>(nLast - nFirst) + 1, 0);
    return;
  }
  const int nEnd = m_nFirst + static_cast<int>(m_cells.size()) - 1;
  if (nFirst >= m_nFirst && nLast <= nEnd) return;
  const int nSpan = static_cast<int>(m_cells.size());
  int nNewFirst = nFirst < m_nFirst ? std::max(kMinTenths, std::min(nFirst, m_nFirst - nSpan / 2)) : m_nFirst;
  int nNewEnd = nLast > nEnd ? std::min(kMaxTenths, std::max(nLast, nEnd + nSpan / 2)) : nEnd;
  std::vector<std::uint32_t> cells(static_cast<size_t>(nNewEnd - nNewFirst) + 1, 0);
  std::copy(m_cells.begin(), m_cells.end(), cells.begin() + (m_nFirst - nNewFirst));
  m_cells.swap(cells);
  m_nFirst = nNewFirst;
}

void LevelHistogram::Merge(const LevelHistogram& other) {
  if (other.m_cells.empty()) return;
  Cover(other.m_nFirst, other.m_nFirst + static_cast<int>(other.m_cells.size()) - 1);
  for (size_t i = 0; i < other.m_cells.size(); ++i)
    m_cells[static_cast<size_t>(other.m_nFirst - m_nFirst) + i] += other.m_cells[i];
  m_nCount += other.m_nCount;
}

double LevelHistogram::OrderStatistic(std::uint64_t k) const {
  std::uint64_t seen = 0;
  for (size_t i = 0; i < m_cells.size(); ++i) {
    seen += m_cells[i];
    if (seen > k) return (m_nFirst + static_cast<int>(i)) / 10.0;
  }
  return std::numeric_limits<double>::quiet_NaN();
}

double LevelHistogram::Quantile(double p) const {
  if (m_nCount == 0 || !(p >= 0 && p <= 1)) return std::numeric_limits<double>::quiet_NaN();
  const double h = p * static_cast<double>(m_nCount - 1);
  const auto lo = static_cast<std::uint64_t>(std::floor(h));
  const double below = OrderStatistic(lo);
  if (lo + 1 >= m_nCount) return below;
  const double frac = h - static_cast<double>(lo);
  if (frac == 0) return below;
  return below + frac * (OrderStatistic(lo + 1) - below);
}

void BinStats::Merge(const BinStats& other) {
  if (other.m_nCount == 0) return;
  if (!(other.m_dMax <= m_dMax)) {
    m_dMax = other.m_dMax;
    m_atMax = other.m_atMax;
  }
  if (!(other.m_dMin >= m_dMin)) m_dMin = other.m_dMin;
  if (other.m_nAbove > 0) {
    m_nFirstAboveMs = m_nAbove > 0 ? std::min(m_nFirstAboveMs, other.m_nFirstAboveMs) : other.m_nFirstAboveMs;
    m_nLastAboveMs = m_nAbove > 0 ? std::max(m_nLastAboveMs, other.m_nLastAboveMs) : other.m_nLastAboveMs;
  }
  m_nCount += other.m_nCount;
  m_nFinite += other.m_nFinite;
  m_dSum += other.m_dSum;
  m_nAbove += other.m_nAbove;
  m_histogram.Merge(other.m_histogram);
}

void LevelHistogram::AppendSerialized(std::string& out) const {
  detail::ByteWriter w(out);
  w.Signed(m_nFirst);
  w.Varint(m_cells.size());
  for (std::uint32_t c : m_cells) w.Varint(c);
}

LevelHistogram LevelHistogram::ReadSerialized(std::string_view& in) {
  detail::ByteReader r(in);
  LevelHistogram h;
  const std::int64_t nFirst = r.Signed();
  const std::uint64_t nCells = r.Count(kMaxTenths - kMinTenths + 1);
  if (nCells > 0 && (nFirst < kMinTenths || nFirst + static_cast<std::int64_t>(nCells) - 1 > kMaxTenths))
    detail::ByteReader::Fail("a histogram lies outside its span");
  h.m_nFirst = nCells ? static_cast<int>(nFirst) : 0;
  h.m_cells.resize(nCells);
  for (std::uint32_t& c : h.m_cells) {
    c = static_cast<std::uint32_t>(r.Count(UINT32_MAX));
    h.m_nCount += c;
  }
  in = r.Rest();
  return h;
}

void BinStats::AppendSerialized(std::string& out) const {
  detail::ByteWriter w(out);
  w.Varint(m_nCount);
  w.Varint(m_nFinite);
  w.Varint(m_nAbove);
  w.Double(m_dSum);
  w.Double(m_dMin);
  w.Double(m_dMax);
  w.Signed(m_nFirstAboveMs);
  w.Signed(m_nLastAboveMs);
  w.Signed(m_atMax.timeMs);
  w.Varint(m_atMax.message);
  w.Varint(m_atMax.file);
  w.Double(m_atMax.latitude);
  w.Double(m_atMax.longitude);
  m_histogram.AppendSerialized(out);
}

BinStats BinStats::ReadSerialized(std::string_view& in) {
  detail::ByteReader r(in);
  BinStats s;
  s.m_nCount = r.Varint();
  s.m_nFinite = r.Count(s.m_nCount);
  s.m_nAbove = r.Count(s.m_nCount);
  s.m_dSum = r.Double();
  s.m_dMin = r.Double();
  s.m_dMax = r.Double();
  s.m_nFirstAboveMs = r.Signed();
  s.m_nLastAboveMs = r.Signed();
  s.m_atMax.timeMs = r.Signed();
  s.m_atMax.message = r.Varint();
  s.m_atMax.file = static_cast<std::uint32_t>(r.Count(UINT32_MAX));
  s.m_atMax.latitude = r.Double();
  s.m_atMax.longitude = r.Double();
  std::string_view rest = r.Rest();
  s.m_histogram = LevelHistogram::ReadSerialized(rest);
  if (s.m_histogram.Count() != s.m_nCount) detail::ByteReader::Fail("a histogram does not hold its levels");
  in = rest;
  return s;
}

double BinStats::Occupancy() const {
  return m_nCount ? static_cast<double>(m_nAbove) / static_cast<double>(m_nCount)
                  : std::numeric_limits<double>::quiet_NaN();
}

double BinStats::MeanDbm() const {
  return m_nFinite ? m_dSum / static_cast<double>(m_nFinite) : std::numeric_limits<double>::quiet_NaN();
}

}  // namespace vyr
