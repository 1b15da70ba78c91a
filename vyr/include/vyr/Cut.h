// A cut of the levels of logs: a time window, one band of the frequency
// plans, a frequency range, alone or together. Every front end that reads
// levels applies it through one visitor (CutVisitor), which stands between
// the decode and the front end's own visitor and hands on only what the cut
// keeps, so a cut means the same in every command and in Python.
#pragma once

#include <cstdint>
#include <mutex>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "vyr/Log.h"

namespace vyr {

// One end of a time window: a date and time on the log's clock, or a time of
// day that matches every day.
struct CutTime {
  enum class Kind { None, DateTime, TimeOfDay };
  Kind kind = Kind::None;
  std::int64_t ms = 0;  // since 1970-01-01 00:00 for a date and time, since midnight for a time of day

  bool Given() const { return kind != Kind::None; }
};

// The band numbers that the frequency plans of the logs lay down, gathered
// over logs decoded on any threads, so that a cut's band can be checked once
// the logs are read.
class PlanBands {
 public:
  void Add(const Section& section);
  void Add(const std::vector<int>& numbers);
  std::vector<int> Numbers() const;  // rising
  bool Has(int number) const;

 private:
  mutable std::mutex m_lock;
  std::set<int> m_numbers;
};

struct LevelCut {
  CutTime from, to;  // both included
  int band = 0;      // 0: every band; else only the levels of this band of a plan
  bool hasMinHz = false, hasMaxHz = false;
  std::int64_t minHz = 0, maxHz = 0;  // both included
  // Told the bands of every plan that a cut visitor meets; may be null.
  PlanBands* planBands = nullptr;

  bool HasTime() const { return from.Given() || to.Given(); }
  bool HasFrequency() const { return hasMinHz || hasMaxHz; }
  // A cut of bins (a band or a frequency range), beyond the time window.
  bool CutsBins() const { return band != 0 || HasFrequency(); }
  bool Empty() const { return !HasTime() && !CutsBins(); }
  // Whether a measurement at this time (on the log's clock) is in the window.
  bool TakesTime(std::int64_t absoluteMs) const;
  bool TakesHz(std::int64_t hz) const {
    if (!HasFrequency()) return true;
    return hz != kNoFrequency && (!hasMinHz || hz >= minHz) && (!hasMaxHz || hz <= maxHz);
  }
  bool TakesLevel(int nBand, std::int64_t hz) const { return (band == 0 || nBand == band) && TakesHz(hz); }
};

// The cut options, read as every command and Python take them; false with
// why set to what is wrong. A time is "YYYY-MM-DDTHH:MM[:SS[.mmm]]" (a blank
// instead of the T is taken too) or a time of day "HH:MM[:SS[.mmm]]".
bool ParseCutTime(std::string_view text, CutTime& time, std::string& why);
// "MIN:MAX" in MHz, either side may be left empty ("925:", ":960").
bool ParseFrequencyRange(std::string_view text, LevelCut& cut, std::string& why);
// The same from numbers; why then says what is wrong with the range ("is
// empty: ...").
bool SetFrequencyRange(double minMHz, bool hasMin, double maxMHz, bool hasMax, LevelCut& cut, std::string& why);
// A band number from 1.
bool ParseBandNumber(std::string_view text, int& band, std::string& why);
// The cut as a whole: --from not after --to, both of one kind; the names
// of the two ends as the caller's users know them.
bool CheckCut(const LevelCut& cut, std::string& why, const char* pszFrom = "--from", const char* pszTo = "--to");
// What to say when no log lays down the cut's band: "no log has a band 3 in
// its frequency plan (bands: 1, 2)".
std::string UnknownBandText(int band, const std::vector<int>& known);

// Hands on what the cut keeps of a decode: every file, write, header and
// end; of the measurement messages in the time window, the levels and sweeps
// of the bins in the cut, and the messages themselves. With a band or a
// frequency range the sections are handed on cut: only the plan's band that
// is asked for (no channel set), each band narrowed to its bins from the
// first to the last one in the range (the bins of a plan rise in frequency;
// a channel set keeps its channels from the first on, so that each keeps its
// number). A bin inside that stretch but outside the cut has no level, a
// sweep left with no level is not handed on, and a band left with no bin
// is left out. Messages then name the cut section.
class CutVisitor final : public LogVisitor {
 public:
  CutVisitor(const LevelCut& cut, LogVisitor& inner) : m_cut(cut), m_inner(inner) {}

  void OnFile(const FileInfo& info) override { m_inner.OnFile(info); }
  void OnWrite(const AttributeWrite& w) override { m_inner.OnWrite(w); }
  void OnSection(const Section& s) override;
  void OnLevels(const Message& m, const Level* levels, std::size_t count) override;
  void OnSweep(const Message& m, const Sweep& sweep) override;
  void OnMessage(const Message& m) override;
  void OnEnd(const DecodeResult& r) override { m_inner.OnEnd(r); }

 private:
  // Where the bins of a band of the section in force went.
  struct BandCut {
    int nCut = -1;            // index into m_section.bands; -1: left out
    std::size_t nOffset = 0;  // its first bin in the decode's band
    bool bMasked = false;     // some bins of the stretch are outside the cut
    std::vector<char> inCut;  // per bin of the stretch, when masked
  };
  bool Takes(const Message& m) const;
  void CutSection(const Section& s);
  void TakeUpSection(const Message& m);
  Message Rebased(const Message& m) const;
  void CutBand(const Band& band);
  bool HasLevel(const double* dbm, const BandCut& c, std::size_t nBins) const;
  const double* Masked(const double* values, const BandCut& c, std::size_t nBins, std::vector<double>& scratch) const;

  const LevelCut& m_cut;
  LogVisitor& m_inner;
  const Section* m_pDecoded = nullptr;  // the decode's section in force
  Section m_section;                    // the same, cut
  std::vector<BandCut> m_bands;         // per band of *m_pDecoded
  std::vector<Level> m_levels;          // scratch
  std::vector<double> m_dbm, m_min, m_max, m_stddev;  // scratch for masked sweeps
};

// Decodes path through visitor, cut when the cut is not empty; a large log
// in pieces side by side as pieces asks (LogDecoder::DecodeInOrder).
DecodeResult DecodeCut(LogDecoder& decoder, const std::string& path, const LevelCut& cut, LogVisitor& visitor,
                       const LogDecoder::PieceOptions& pieces = {});

}  // namespace vyr
