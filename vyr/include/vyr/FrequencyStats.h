// The statistics of a spectrum per frequency, over one log or a campaign:
// for every frequency (a scan bin or a channel, in whole hertz) the
// statistics of its levels (vyr::BinStats: sweeps, share at or above a
// threshold, percentiles, mean, maximum and where it was measured). Plans
// with the same frequencies, and plans that overlap, meet at their common
// frequencies; channels meet by frequency. A spectrum is made per log (on any
// thread), has a compact serialised form, and merges with others in the
// order of their logs, so that a campaign gives the same result however it
// is split over threads, processes or machines.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "vyr/BinStats.h"
#include "vyr/Cut.h"
#include "vyr/Log.h"

namespace vyr {

// What a level is compared with for the occupancy: one threshold for every
// frequency, or one per frequency (the noise floor of its band plus a margin).
class Thresholds {
 public:
  static constexpr double kDefaultDbm = -80;
  explicit Thresholds(double dbm = kDefaultDbm) : m_dDefault(dbm) {}
  void Set(std::int64_t hz, double dbm) { m_byHz[hz] = dbm; }
  double At(std::int64_t hz) const {
    auto it = m_byHz.find(hz);
    return it == m_byHz.end() ? m_dDefault : it->second;
  }
  bool PerFrequency() const { return !m_byHz.empty(); }
  double Default() const { return m_dDefault; }
  std::string Serialize() const;
  static Thresholds Deserialize(std::string_view bytes);  // throws std::invalid_argument

 private:
  double m_dDefault;
  std::map<std::int64_t, double> m_byHz;
};

// One frequency of a spectrum.
struct SpectrumBin {
  std::int64_t hz = 0;
  int band = 0;  // the plan's band where the first log measured it; 0 for a channel
  double threshold = 0;
  BinStats stats;  // the maximum's file is an index into Spectrum::Files()
};

class Spectrum {
 public:
  const std::vector<std::string>& Files() const { return m_files; }
  const std::vector<SpectrumBin>& Bins() const { return m_bins; }  // in rising frequency
  // Sweeps per band number (0: channel sets): messages that left a level in it.
  const std::map<int, std::uint64_t>& Sweeps() const { return m_sweeps; }
  // Levels at bins that have no frequency (outside the plan): not in any bin.
  std::uint64_t LevelsWithoutFrequency() const { return m_nWithoutFrequency; }
  // The band numbers of the plans the logs lay down, cut or not.
  const std::vector<int>& PlanBands() const { return m_planBands; }
  void AddPlanBands(const std::vector<int>& numbers);

  // Takes in the logs of another spectrum, which come after this one's.
  // Both must have been counted against the same thresholds (else throws
  // std::invalid_argument).
  void Merge(const Spectrum& other);
  // Takes in the spectrum of the next piece of the same log (a decode in
  // pieces): the result is the spectrum of the log read in one go. Throws
  // std::invalid_argument for another log's, or other thresholds.
  void MergeFollowing(const Spectrum& next);
  std::string Serialize() const;
  static Spectrum Deserialize(std::string_view bytes);  // throws std::invalid_argument

 private:
  friend class SpectrumAccumulator;
  void MergeBins(const Spectrum& other, std::uint32_t nFileOffset, bool bFollowing);
  std::vector<std::string> m_files;
  std::vector<SpectrumBin> m_bins;
  std::map<int, std::uint64_t> m_sweeps;
  std::uint64_t m_nWithoutFrequency = 0;
  std::vector<int> m_planBands;
};

// Gathers the spectrum of one log from its sweeps.
class SpectrumAccumulator final : public LogVisitor {
 public:
  SpectrumAccumulator(std::string file, Thresholds thresholds);
  static DecodeRequest Request(const DecodeSettings& settings);

  void OnSection(const Section&) override { m_slots.clear(); }
  void OnSweep(const Message& m, const Sweep& sweep) override;
  Spectrum Finish();

 private:
  static constexpr std::uint32_t kNone = UINT32_MAX;       // a bin without frequency
  static constexpr std::uint32_t kNotYet = UINT32_MAX - 1;  // no level yet
  struct BandSlots {
    const Band* band;
    std::vector<std::uint32_t> slots;  // per bin, into m_spectrum.m_bins
    std::uint64_t* sweeps;
  };
  BandSlots& SlotsOf(const Band& band);
  std::uint32_t NewSlot(std::int64_t hz, int band);

  Thresholds m_thresholds;
  Spectrum m_spectrum;
  std::unordered_map<std::int64_t, std::uint32_t> m_slotOfHz;
  std::vector<BandSlots> m_slots;  // of the section in force
};

// The spectrum of one log: decoded with the settings, through the cut, its
// levels counted against the thresholds. result tells how the decode ended.
Spectrum AccumulateLog(const std::string& path, const DecodeSettings& settings, const LevelCut& cut,
                       const Thresholds& thresholds, DecodeResult& result);
// The same, a large log decoded in pieces side by side
// (LogDecoder::DecodeInPieces), their spectra merged in file order: the
// spectrum is that of one decode, whatever the pieces.
Spectrum AccumulateLog(const std::string& path, const DecodeSettings& settings, const LevelCut& cut,
                       const Thresholds& thresholds, const LogDecoder::PieceOptions& pieces, DecodeResult& result);

// A row of `vyrhost stats`: one frequency.
struct FrequencyRow {
  std::int64_t hz = 0;
  int band = 0;
  std::uint64_t sweeps = 0;  // levels at the frequency: one per sweep that left one
  double occupancy = 0;      // the share of them at or above the threshold
  double threshold = 0;
  double p10 = 0, median = 0, p90 = 0;  // numpy's linear percentiles, to 0.1 dB
  double mean = 0;  // of the finite levels in dBm (not of their power)
  double max = 0;
  std::int64_t maxTimeMs = 0;  // on the log's clock
  double maxLat = 0, maxLon = 0;  // NaN where the message had none
  std::uint32_t maxFile = 0;      // into Spectrum::Files()
  std::uint64_t maxMessage = 0;
};

// A row of `vyrhost stats --by band`: the frequencies of one band number.
struct BandRow {
  int band = 0;  // 0: the channels of channel logs
  std::uint64_t frequencies = 0;
  std::uint64_t sweeps = 0;
  double noiseFloor = 0;  // the median of its frequencies' 10th percentiles
  double threshold = 0;   // that of its frequencies
  std::uint64_t occupied = 0;  // frequencies whose occupancy is at least the occupied share
  double occupancy = 0;        // occupied / frequencies
  double meanOccupancy = 0;    // the mean of its frequencies' occupancies
  FrequencyRow strongest;      // its frequency of the highest maximum
  std::int64_t startHz = 0, stopHz = 0;
};

// The share of a frequency's sweeps that makes it occupied, by default.
constexpr double kDefaultOccupiedShare = 0.1;

// What `--by band` tells of a band's frequencies (those without a level left
// out), for any set of them: the report works it out per plan.
struct BandOccupancy {
  std::uint64_t frequencies = 0;
  std::uint64_t occupied = 0;  // frequencies whose occupancy is at least the occupied share
  double occupancy = 0;        // occupied / frequencies; NaN for none
  double meanOccupancy = 0;    // the mean of their occupancies; NaN for none
  double noiseFloor = 0;       // the median of their 10th percentiles; NaN for none
};
BandOccupancy OccupancyOf(const std::vector<const BinStats*>& bins, double dOccupiedShare);
// The noise floor alone: the median of the 10th percentiles of the
// frequencies that have a level; NaN when none has.
double NoiseFloorDbm(const std::vector<const BinStats*>& bins);

// The row of one frequency.
FrequencyRow FrequencyRowOf(std::int64_t hz, int band, double threshold, const BinStats& stats);
// One row per frequency, in rising frequency.
std::vector<FrequencyRow> FrequencyRows(const Spectrum& spectrum);
// One row per band number in rising order, the channels (band 0) last.
std::vector<BandRow> BandRows(const Spectrum& spectrum, double dOccupiedShare);
// Keeps the n rows of the highest maximum (of equal maxima the lower
// frequency or band first), strongest first.
void KeepStrongest(std::vector<FrequencyRow>& rows, std::size_t n);
void KeepStrongest(std::vector<BandRow>& rows, std::size_t n);
// The threshold of every frequency at dMarginDb above its band's noise floor.
Thresholds NoiseThresholds(const Spectrum& spectrum, double dMarginDb);

}  // namespace vyr
