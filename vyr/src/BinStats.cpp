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

void LevelSum::Normalized(Signed& high, Signed& low) const {
  low = static_cast<Signed>(m_low);
  const Signed carry = low >> 32;  // toward minus infinity
  high = static_cast<Signed>(m_high + static_cast<Unsigned>(carry));
  low -= carry * (Signed{1} << 32);
}

double LevelSum::Db() const {
  Signed high = 0, low = 0;
  Normalized(high, low);
  // Within 2^63 dB (always, but for a hostile serialised sum) in one rounding.
  if (high < (Signed{1} << 95) && high >= -(Signed{1} << 95))
    return std::ldexp(static_cast<double>(high * (Signed{1} << 32) + low), -64);
  return std::ldexp(static_cast<double>(high), -32);
}

double LevelSum::MeanDb(std::uint64_t n) const {
  Signed high = 0, low = 0;
  Normalized(high, low);
  // sum / n = (q * 2^32 + q2) + r2 / n, with high = q * n + r and
  // r * 2^32 + low = q2 * n + r2; the last term is below one unit.
  const auto d = static_cast<Signed>(n);
  const Signed q = high / d;
  if (q >= (Signed{1} << 94) || q <= -(Signed{1} << 94)) return Db() / static_cast<double>(n);
  const Signed q2 = ((high % d) * (Signed{1} << 32) + low) / d;
  return std::ldexp(static_cast<double>(q * (Signed{1} << 32) + q2), -64);
}

bool LevelSum::PossibleFor(std::uint64_t n) const {
  Signed high = 0, low = 0;
  Normalized(high, low);
  // Each level adds at most 2^62 + 1 units of 2^32 (2^30 dB and a rounding).
  const Signed bound = static_cast<Signed>(n) * ((Signed{1} << 62) + 1);
  return n == 0 ? high == 0 && low == 0 : high <= bound && high >= -bound;
}

void LevelSum::Words(std::uint64_t& top, std::uint64_t& middle, std::uint64_t& bottom) const {
  Signed high = 0, low = 0;
  Normalized(high, low);
  top = static_cast<std::uint64_t>(high >> 96);
  middle = static_cast<std::uint64_t>(static_cast<Unsigned>(high) >> 32);
  bottom = (static_cast<std::uint64_t>(static_cast<Unsigned>(high)) << 32) | static_cast<std::uint64_t>(low);
}

LevelSum LevelSum::FromWords(std::uint64_t top, std::uint64_t middle, std::uint64_t bottom) {
  // The sum takes 160 bits: the top word is the sign of its lowest 32.
  if (static_cast<std::int64_t>(top) != static_cast<std::int32_t>(static_cast<std::uint32_t>(top)))
    detail::ByteReader::Fail("a sum of levels is out of range");
  LevelSum s;
  s.m_high = (static_cast<Unsigned>(top) << 96) | (static_cast<Unsigned>(middle) << 32) | (bottom >> 32);
  s.m_low = bottom & 0xffffffffu;
  return s;
}

void BinStats::MergeLevels(const BinStats& other) {
  if (!(other.m_dMax <= m_dMax)) {
    m_dMax = other.m_dMax;
    m_atMax = other.m_atMax;
  }
  if (!(other.m_dMin >= m_dMin)) m_dMin = other.m_dMin;
  m_nCount += other.m_nCount;
  m_nFinite += other.m_nFinite;
  m_sum.Merge(other.m_sum);
  m_nAbove += other.m_nAbove;
  m_histogram.Merge(other.m_histogram);
}

void BinStats::Merge(const BinStats& other) {
  if (other.m_nCount == 0) return;
  if (other.m_nAbove > 0) {
    m_nFirstAboveMs = m_nAbove > 0 ? std::min(m_nFirstAboveMs, other.m_nFirstAboveMs) : other.m_nFirstAboveMs;
    m_nLastAboveMs = m_nAbove > 0 ? std::max(m_nLastAboveMs, other.m_nLastAboveMs) : other.m_nLastAboveMs;
  }
  MergeLevels(other);
}

void BinStats::MergeFollowing(const BinStats& next) {
  if (next.m_nCount == 0) return;
  if (next.m_nAbove > 0) {
    if (m_nAbove == 0) m_nFirstAboveMs = next.m_nFirstAboveMs;
    m_nLastAboveMs = next.m_nLastAboveMs;
  }
  MergeLevels(next);
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
  std::uint64_t top = 0, middle = 0, bottom = 0;
  m_sum.Words(top, middle, bottom);
  w.Signed(static_cast<std::int64_t>(top));
  w.Varint(middle);
  w.Varint(bottom);
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
  const auto top = static_cast<std::uint64_t>(r.Signed());
  const std::uint64_t middle = r.Varint();
  s.m_sum = LevelSum::FromWords(top, middle, r.Varint());
  if (!s.m_sum.PossibleFor(s.m_nFinite)) detail::ByteReader::Fail("a sum of levels is beyond its count");
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
  return m_nFinite ? m_sum.MeanDb(m_nFinite) : std::numeric_limits<double>::quiet_NaN();
}

}  // namespace vyr
