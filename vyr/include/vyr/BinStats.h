// Statistics of the levels of one frequency bin (or channel) over many
// sweeps: count, sum, minimum, maximum, how many reached a threshold, where
// and when the maximum was measured, and a histogram in tenths of a dB from
// which percentiles are read exact to 0.1 dB. An accumulator takes levels one
// by one and merges with another of the same threshold, so that logs decoded
// on different threads or machines combine into one.
#pragma once

#include <cstddef>
#include <cstdint>
#include <limits>
#include <string>
#include <string_view>
#include <vector>

namespace vyr {

// Levels counted in cells of 0.1 dB. The cells span the levels seen so far,
// growing as needed, within -500 to +500 dBm: a level beyond counts in the
// cell at that end, so a hostile value costs no memory.
class LevelHistogram {
 public:
  void Add(double dbm) {
    if (dbm != dbm) return;  // NaN is no level
    const int t = ToTenths(dbm);
    const unsigned offset = static_cast<unsigned>(t - m_nFirst);
    if (m_cells.empty() || offset >= m_cells.size()) {
      Cover(t, t);
      ++m_cells[static_cast<std::size_t>(t - m_nFirst)];
    } else {
      ++m_cells[offset];
    }
    ++m_nCount;
  }
  void Merge(const LevelHistogram& other);
  // The compact form (BinStats::AppendSerialized).
  void AppendSerialized(std::string& out) const;
  static LevelHistogram ReadSerialized(std::string_view& in);
  std::uint64_t Count() const { return m_nCount; }
  // The p-quantile (0 <= p <= 1) by linear interpolation between the two
  // nearest order statistics, as numpy's and pandas' default; NaN when empty.
  double Quantile(double p) const;

  static constexpr int kMinTenths = -5000;
  static constexpr int kMaxTenths = 5000;

 private:
  // Rounded to the nearest tenth, halves away from zero, within the cells'
  // span (infinities at its ends).
  static int ToTenths(double dbm) {
    if (!(dbm > kMinTenths / 10.0)) return kMinTenths;
    if (!(dbm < kMaxTenths / 10.0)) return kMaxTenths;
    const double tenths = dbm * 10.0;
    return static_cast<int>(tenths + (tenths >= 0 ? 0.5 : -0.5));
  }
  // The value of the k-th smallest level (from 0).
  double OrderStatistic(std::uint64_t k) const;
  void Cover(int nFirst, int nLast);

  int m_nFirst = 0;  // tenths of the first cell
  std::vector<std::uint32_t> m_cells;
  std::uint64_t m_nCount = 0;
};

// Where a level was measured.
struct Where {
  std::int64_t timeMs = 0;     // on the log's clock
  std::uint64_t message = 0;   // message index in its log
  std::uint32_t file = 0;      // the log, in the caller's numbering
  double latitude = std::numeric_limits<double>::quiet_NaN();
  double longitude = std::numeric_limits<double>::quiet_NaN();
};

class BinStats {
 public:
  // A level (NaN is no level and is not counted). above: the level reached
  // the threshold of the caller's statistics, which all merged ones share.
  // Inline: it runs for every level of every sweep.
  void Add(double dbm, bool above, const Where& where) {
    if (dbm != dbm) return;
    ++m_nCount;
    if (dbm - dbm == 0) {  // finite
      ++m_nFinite;
      m_dSum += dbm;
    }
    if (!(dbm <= m_dMax)) {  // also while the maximum is still NaN
      m_dMax = dbm;
      m_atMax = where;
    }
    if (!(dbm >= m_dMin)) m_dMin = dbm;
    if (above) {
      if (m_nAbove++ == 0) m_nFirstAboveMs = where.timeMs;
      m_nLastAboveMs = where.timeMs;
    }
    m_histogram.Add(dbm);
  }
  // Of equal maxima the first one added (the other's when this one has none
  // that large) is kept: merge in file order for a stable result.
  void Merge(const BinStats& other);
  // A compact, portable form (a few dozen bytes and about a byte per 0.1 dB
  // cell that the levels span), for statistics made on another thread,
  // process or machine; merged after reading, they equal those made in one.
  void AppendSerialized(std::string& out) const;
  // Reads one from the front of in and moves in past it; throws
  // std::invalid_argument for bytes that are not such statistics.
  static BinStats ReadSerialized(std::string_view& in);

  std::uint64_t Count() const { return m_nCount; }
  std::uint64_t Above() const { return m_nAbove; }
  // The share of the levels that reached the threshold; NaN for no level.
  double Occupancy() const;
  // The mean of the finite levels in dB (not of their power); NaN for none.
  double MeanDbm() const;
  // The sum and count of the finite levels, for means over several bins.
  double SumDbm() const { return m_dSum; }
  std::uint64_t FiniteCount() const { return m_nFinite; }
  double MinDbm() const { return m_dMin; }
  double MaxDbm() const { return m_dMax; }
  const Where& AtMax() const { return m_atMax; }
  // Names the log of the maximum, for statistics made in a log of their own
  // before they are merged into a campaign's.
  void SetFile(std::uint32_t nFile) { m_atMax.file = nFile; }
  double Quantile(double p) const { return m_histogram.Quantile(p); }
  // When the threshold was first and last reached.
  std::int64_t FirstAboveMs() const { return m_nFirstAboveMs; }
  std::int64_t LastAboveMs() const { return m_nLastAboveMs; }

 private:
  std::uint64_t m_nCount = 0;
  std::uint64_t m_nFinite = 0;
  double m_dSum = 0;
  double m_dMin = std::numeric_limits<double>::quiet_NaN();
  double m_dMax = std::numeric_limits<double>::quiet_NaN();
  std::uint64_t m_nAbove = 0;
  std::int64_t m_nFirstAboveMs = 0;
  std::int64_t m_nLastAboveMs = 0;
  Where m_atMax;
  LevelHistogram m_histogram;
};

}  // namespace vyr
