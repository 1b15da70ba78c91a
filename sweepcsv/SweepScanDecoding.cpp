#include "SweepScanDecoding.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

#include "SweepPlan.h"
#include "SweepRow.h"
#include "VyrDecodeDevice.h"

namespace {
constexpr int kPiece = 4096;  // plan elements written per run call

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// The next item of a list joined by ','; false after the last.
bool NextItem(std::string_view& list, std::string_view& item, bool& bDone) {
  if (bDone) return false;
  const size_t comma = list.find(',');
  item = list.substr(0, comma);
  if (comma == std::string_view::npos) bDone = true;
  else list.remove_prefix(comma + 1);
  return true;
}

struct ListCursor {
  std::string_view list;
  bool bDone = false;
  explicit ListCursor(std::string_view l) : list(l), bDone(l.empty()) {}
  bool Next(double& d) {
    std::string_view item;
    return NextItem(list, item, bDone) && ReadSweepNumber(item, d);
  }
};

// Writes the plan elements in pieces, through the run operations when the
// data state has them.
class CPlanWriter {
 public:
  CPlanWriter(IVyrDataState* pState, int nAttrId) : m_pState(pState), m_nAttrId(nAttrId) { m_piece.reserve(kPiece); }
  ~CPlanWriter() { Flush(); }
  void Add(double hz) {
    m_piece.push_back(hz);
    if (m_piece.size() == kPiece) Flush();
  }
  void Flush() {
    if (m_piece.empty()) return;
    const int n = static_cast<int>(m_piece.size());
    if (IVyrDataStateRuns* pRuns = m_pState->QueryRuns()) {
      const VyrValueRun run{m_nAttrId, m_piece.data(), nullptr, -INFINITY};
      pRuns->SetValueRuns(&run, 1, m_nNext, n, kVyrScopeFrequencyPlan, 0);
    } else {
      for (int k = 0; k < n; ++k) m_pState->SetRealValue(m_nAttrId, m_piece[k], m_nNext + k, kVyrScopeFrequencyPlan, 0);
    }
    m_nNext += n;
    m_piece.clear();
  }

 private:
  IVyrDataState* m_pState;
  int m_nAttrId;
  int m_nNext = 0;
  std::vector<double> m_piece;
};

// Stores runs of neighbouring levels; an element without a level ends a run.
class CLevelWriter {
 public:
  CLevelWriter(IVyrDataState* pState, int nAttrId, double dThreshold)
      : m_pState(pState), m_nAttrId(nAttrId), m_dThreshold(dThreshold) {}
  void Add(int nElement, double level) {
    if (m_run.empty()) m_nFirst = nElement;
    m_run.push_back(level);
  }
  void Flush() {
    if (m_run.empty()) return;
    const int n = static_cast<int>(m_run.size());
    if (IVyrDataStateRuns* pRuns = m_pState->QueryRuns()) {
      const VyrValueRun run{m_nAttrId, m_run.data(), nullptr, m_dThreshold};
      pRuns->SetValueRuns(&run, 1, m_nFirst, n, kVyrScopeMessage, 0);
    } else {
      for (int k = 0; k < n; ++k) {
        if (m_run[k] < m_dThreshold) m_pState->ClearValue(m_nAttrId, m_nFirst + k, kVyrScopeMessage, 0);
        else m_pState->SetRealValue(m_nAttrId, m_run[k], m_nFirst + k, kVyrScopeMessage, 0);
      }
    }
    m_run.clear();
  }

 private:
  IVyrDataState* m_pState;
  int m_nAttrId;
  double m_dThreshold;
  int m_nFirst = 0;
  std::vector<double> m_run;
};

// A plain decimal, [blanks][-]digits[.digits][blanks], read up to the ','
// or the end that follows it: returns where it stopped, or null for any
// other text. Up to 15 digits the result is the correctly rounded one, as
// from the standard conversion.
const char* ReadPlainDecimal(const char* p, const char* end, double& d) {
  while (p != end && IsBlank(*p)) ++p;
  const bool bNegative = p != end && *p == '-';
  if (bNegative) ++p;
  std::uint64_t mantissa = 0;
  int nDigits = 0, nFraction = 0;
  for (; p != end && *p >= '0' && *p <= '9'; ++p, ++nDigits) mantissa = mantissa * 10 + static_cast<unsigned>(*p - '0');
  if (p != end && *p == '.') {
    for (++p; p != end && *p >= '0' && *p <= '9'; ++p, ++nDigits, ++nFraction)
      mantissa = mantissa * 10 + static_cast<unsigned>(*p - '0');
  }
  if (nDigits == 0 || nDigits > 15) return nullptr;
  while (p != end && IsBlank(*p)) ++p;
  if (p != end && *p != ',') return nullptr;
  static constexpr double kPowers[] = {1, 1e1, 1e2, 1e3, 1e4, 1e5, 1e6, 1e7, 1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};
  d = static_cast<double>(mantissa) / kPowers[nFraction];
  if (bNegative) d = -d;
  return p;
}

void AppendStrongest(const SweepDecodeContext& c, std::vector<std::pair<double, int>>& levels) {
  const size_t n = std::min<size_t>(10, levels.size());
  std::partial_sort(levels.begin(), levels.begin() + static_cast<std::ptrdiff_t>(n), levels.end(),
                    [](const auto& a, const auto& b) { return a.first > b.first || (a.first == b.first && a.second < b.second); });
  std::string& text = c.expanded.m_strDetailText.str();
  text += "\nStrongest levels\nFreq (MHz) \tLevel (dB) \n";
  for (size_t r = 0; r < n; ++r) {
    const VyrRetVal v = c.pDataState->GetValue(c.ids.nFrequency, levels[r].second, kVyrScopeFrequencyPlan);
    char line[96];
    const double mhz = v.m_nStatus == VYR_RV_STATUS_OK && v.m_nType == VYR_RV_DOUBLE ? v.m_value.d / 1e6 : NAN;
    std::snprintf(line, sizeof line, "%.6f\t%.2f\n", mhz, levels[r].first);
    text += line;
  }
}
}  // namespace

bool ReadSweepLevel(const char* p, const char* end, double& level) {
  const char* stop = ReadPlainDecimal(p, end, level);
  if (stop == end) return true;
  return ReadSweepNumber(std::string_view(p, static_cast<size_t>(end - p)), level);
}

void DecodeSweepBinCount(const SweepDecodeContext& c, std::string_view value) {
  double d = 0;
  if (c.ids.nFrequencies && ReadSweepNumber(value, d) && d >= 0 && d <= static_cast<double>(kMaxSweepBins))
    c.pDataState->SetIntValue(c.ids.nFrequencies, static_cast<std::int32_t>(d), 0, kVyrScopeMessage, 0);
}

void DecodeSweepPlan(const SweepDecodeContext& c, std::string_view bands) {
  std::string_view lows, steps, bins;
  if (!c.ids.nFrequency || !c.ids.nBandStart || !sweepcsv::FindField(c.fields, sweepcsv::kHzLow, lows) ||
      !sweepcsv::FindField(c.fields, sweepcsv::kHzStep, steps) || !sweepcsv::FindField(c.fields, sweepcsv::kHopBins, bins))
    return;
  ListCursor low(lows), step(steps), count(bins), band(bands);
  CPlanWriter plan(c.pDataState, c.ids.nFrequency);
  c.pDataState->SetIntValue(c.ids.nBandStart, 0, 0, kVyrScopeFrequencyPlan, 0);
  std::int64_t nElements = 0;
  int nBand = 0;
  double dBand = 0, dPreviousBand = NAN;
  SweepHop hop;
  double dBins = 0;
  // A hop whose values cannot be read ends the plan; so does the bound.
  while (low.Next(hop.dLowHz) && step.Next(hop.dStepHz) && count.Next(dBins) && band.Next(dBand) && dBins >= 1 &&
         nElements + dBins <= static_cast<double>(kMaxSweepBins)) {
    if (dBand != dPreviousBand && nBand > 0)
      c.pDataState->SetIntValue(c.ids.nBandStart, static_cast<std::int32_t>(nElements), nBand, kVyrScopeFrequencyPlan, 0);
    if (dBand != dPreviousBand) ++nBand;
    dPreviousBand = dBand;
    const auto n = static_cast<std::int64_t>(dBins);
    for (std::int64_t k = 0; k < n; ++k) plan.Add(hop.BinHz(k));
    nElements += n;
  }
  plan.Flush();
  if (nBand > 0)
    c.pDataState->SetIntValue(c.ids.nBandStart, static_cast<std::int32_t>(nElements), nBand, kVyrScopeFrequencyPlan, 0);
}

void DecodeSweepLevels(const SweepDecodeContext& c, std::string_view text) {
  if (!c.ids.nLevel || text.empty()) return;
  const bool bStrongest = c.expanded.m_bWantDetailText;
  std::vector<std::pair<double, int>> kept;
  CLevelWriter writer(c.pDataState, c.ids.nLevel, CVyrDecodeDevice::m_prefs.dLevelThreshold);
  const char* p = text.data();
  const char* const end = p + text.size();
  for (int e = 0; e < kMaxSweepBins; ++e) {
    double level;
    const char* stop = ReadPlainDecimal(p, end, level);
    bool bHas = stop != nullptr;
    if (!bHas) {
      stop = std::find(p, end, ',');
      bHas = ReadSweepNumber(std::string_view(p, static_cast<size_t>(stop - p)), level);
    }
    if (bHas) {
      writer.Add(e, level);
      if (bStrongest && std::isfinite(level)) kept.emplace_back(level, e);
    } else {
      writer.Flush();
    }
    if (stop == end) break;
    p = stop + 1;
  }
  writer.Flush();
  if (bStrongest) AppendStrongest(c, kept);
}
