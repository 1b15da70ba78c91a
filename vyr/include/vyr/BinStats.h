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

// The sum of finite levels, exact and so independent of the order they come
// in: each level counts as a whole multiple of 2^-64 dB (exact for every
// level whose binary digits end above that, which all levels of 2^-11 dB and
// more do; others are rounded toward zero), a level beyond +-2^30 dB
// (about 1.07e9) as that bound. Statistics summed in any order, or merged
// from pieces of a log, then have the same sum and mean to the last bit.
class LevelSum {
 public:
  static constexpr double kBoundDb = 1073741824.0;  // 2^30

  void Add(double dbm) {  // a finite level
    if (!(dbm <= kBoundDb && dbm >= -kBoundDb)) dbm = dbm < 0 ? -kBoundDb : kBoundDb;
    const double scaled = dbm * 0x1p32;                      // exact
    const auto whole = static_cast<std::int64_t>(scaled);    // toward zero, exact
    // Exact too, but for levels with binary digits below 2^-64 dB: toward zero.
    const auto part = static_cast<std::int64_t>((scaled - static_cast<double>(whole)) * 0x1p32);
    m_high += static_cast<Unsigned>(static_cast<Signed>(whole));
    m_low += static_cast<Unsigned>(static_cast<Signed>(part));
  }
  void Merge(const LevelSum& other) {
    m_high += other.m_high;
    m_low += other.m_low;
  }
  // The sum in dB, rounded to the nearest double.
  double Db() const;
  // The sum divided by n (n > 0), rounded once.
  double MeanDb(std::uint64_t n) const;
  // Whether the sum is one that n finite levels can make.
  bool PossibleFor(std::uint64_t n) const;

  // In the serialised form: the sum in 2^-64 dB as two's complement words,
  // from the highest.
  void Words(std::uint64_t& top, std::uint64_t& middle, std::uint64_t& bottom) const;
  static LevelSum FromWords(std::uint64_t top, std::uint64_t middle, std::uint64_t bottom);

 private:
  // Sums wrap as unsigned numbers (never undefined), read as signed ones.
  __extension__ typedef unsigned __int128 Unsigned;
  __extension__ typedef __int128 Signed;
  // The sum is m_high * 2^32 + m_low, both signed, in 2^-64 dB: levels of up
  // to 2^62 units in m_high and below 2^32 in m_low cannot overflow either
  // within 2^64 levels.
  void Normalized(Signed& high, Signed& low) const;  // then 0 <= low < 2^32
  Unsigned m_high = 0;
  Unsigned m_low = 0;
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
      m_sum.Add(dbm);
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
  // that large) is kept: merge in file order for a stable result. The
  // threshold was first reached at the earlier of the two times, last at the
  // later one.
  void Merge(const BinStats& other);
  // Takes in the statistics of the levels that follow these ones in the same
  // log (its next piece): the result is the one accumulator that took them
  // all, the first and last times above the threshold too.
  void MergeFollowing(const BinStats& next);
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
  double SumDbm() const { return m_sum.Db(); }
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
  void MergeLevels(const BinStats& other);  // all but the times above the threshold

  std::uint64_t m_nCount = 0;
  std::uint64_t m_nFinite = 0;
  LevelSum m_sum;
  double m_dMin = std::numeric_limits<double>::quiet_NaN();
  double m_dMax = std::numeric_limits<double>::quiet_NaN();
  std::uint64_t m_nAbove = 0;
  std::int64_t m_nFirstAboveMs = 0;
  std::int64_t m_nLastAboveMs = 0;
  Where m_atMax;
  LevelHistogram m_histogram;
};

}  // namespace vyr
