#include "SectionTracker.h"

#include <algorithm>

#include "RetVal.h"

namespace vyr::detail {

namespace {
// A plan larger than this is not a scanner's: its band start indexes are
// taken as they are, but no more frequencies than this are read.
constexpr int kMaxPlanElements = 1 << 22;
}  // namespace

void CSectionTracker::Start(std::uint64_t nMessage, Section::Kind kind) {
  if (m_bHasSection) ++m_section.ordinal;
  m_bHasSection = true;
  m_section.kind = kind;
  m_section.header = nMessage;
  m_section.bands.clear();
  m_nLastBand = 0;
}

bool CSectionTracker::AfterMessage(std::uint64_t nMessage, Role role, const IVyrDataState& state) {
  bool bStarted = false;
  if (m_bPlanWritten) {
    Start(nMessage, Section::Kind::Plan);
    ReadPlan(state);
    bStarted = true;
  } else if (role == Role::Header && (!m_channels.empty() || !m_bHasSection || m_section.kind == Section::Kind::Channels)) {
    Start(nMessage, Section::Kind::Channels);
    ReadChannels(state);
    bStarted = true;
  }
  m_bPlanWritten = false;
  m_nLastBandStart = -1;
  m_channels.clear();
  return bStarted;
}

void CSectionTracker::ReadPlan(const IVyrDataState& state) {
  m_starts.clear();
  // The starts never decrease: each band starts where the one before ended.
  int previous = 0;
  for (int j = 0; j <= m_nLastBandStart; ++j) {
    double d = 0;
    if (!RetValNumber(state.GetValue(m_v.nBandStart, j, kScopePlan), d) || !(d >= previous)) d = previous;
    previous = static_cast<int>(std::min<double>(d, kMaxPlanElements));
    m_starts.push_back(previous);
  }
  for (size_t b = 0; b + 1 < m_starts.size(); ++b) {
    Band& band = m_section.bands.emplace_back();
    band.number = static_cast<int>(b) + 1;
    band.firstElement = m_starts[b];
    band.hz.resize(static_cast<size_t>(m_starts[b + 1] - m_starts[b]), kNoFrequency);
    for (size_t i = 0; i < band.hz.size(); ++i) {
      double value = 0;
      if (RetValNumber(state.GetValue(m_v.nFrequency, band.Element(i), kScopePlan), value))
        band.hz[i] = m_v.WholeHz(value);
    }
  }
}

void CSectionTracker::ReadChannels(const IVyrDataState& state) {
  Band& band = m_section.bands.emplace_back();
  int nLast = -1;
  for (int e : m_channels)
    if (e < Section::kMaxChannels) nLast = std::max(nLast, e);
  band.hz.assign(static_cast<size_t>(nLast + 1), kNoFrequency);
  for (int e : m_channels) {
    double value = 0;
    if (e < Section::kMaxChannels && RetValNumber(state.GetValue(m_v.nFrequency, e, kScopeMessage), value))
      band.hz[static_cast<size_t>(e)] = m_v.WholeHz(value);
  }
}

bool CSectionTracker::SameState(const CSectionTracker& other) const {
  if (m_bHasSection != other.m_bHasSection || m_starts != other.m_starts) return false;
  if (!m_bHasSection) return true;
  const Section& a = m_section;
  const Section& b = other.m_section;
  if (a.kind != b.kind || a.header != b.header || a.ordinal != b.ordinal || a.bands.size() != b.bands.size()) return false;
  for (size_t i = 0; i < a.bands.size(); ++i)
    if (a.bands[i].number != b.bands[i].number || a.bands[i].firstElement != b.bands[i].firstElement ||
        a.bands[i].hz != b.bands[i].hz)
      return false;
  return true;
}

void CSectionTracker::CopyState(const CSectionTracker& other) {
  m_section = other.m_section;
  m_bHasSection = other.m_bHasSection;
  m_starts = other.m_starts;
  m_nLastBand = 0;
}

bool CSectionTracker::Locate(int nElement, size_t& nBand, size_t& nBin) {
  if (!m_bHasSection) return false;
  auto& bands = m_section.bands;
  if (m_section.kind == Section::Kind::Channels) {
    if (nElement < 0 || nElement >= Section::kMaxChannels) return false;
    if (static_cast<size_t>(nElement) >= bands[0].hz.size()) bands[0].hz.resize(static_cast<size_t>(nElement) + 1, kNoFrequency);
    nBand = 0;
    nBin = static_cast<size_t>(nElement);
    return true;
  }
  auto holds = [&](size_t b) {
    return b < bands.size() && nElement >= bands[b].firstElement &&
           nElement - bands[b].firstElement < static_cast<int>(bands[b].Bins());
  };
  if (!holds(m_nLastBand)) {
    if (m_starts.empty() || nElement < m_starts.front() || nElement >= m_starts.back()) return false;
    // The last band that starts at or before the element; empty bands share their start.
    auto it = std::upper_bound(m_starts.begin(), m_starts.end(), nElement);
    m_nLastBand = static_cast<size_t>(it - m_starts.begin()) - 1;
  }
  nBand = m_nLastBand;
  nBin = static_cast<size_t>(nElement - bands[nBand].firstElement);
  return true;
}

}  // namespace vyr::detail
