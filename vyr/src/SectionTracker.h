// Follows the sections of a log as its messages are decoded: what a header
// lays down (a frequency plan at scope 0, the channel frequencies at message
// scope) is seen in its writes and read back from the data state, and every
// level is given the band and frequency of the section in force.
#pragma once

#include <cstdint>
#include <vector>

#include "VyrDataState.h"
#include "Vocabulary.h"
#include "vyr/Log.h"

namespace vyr::detail {

class CSectionTracker {
 public:
  explicit CSectionTracker(const Vocabulary& v) : m_v(v) {}

  // Every write and clear of a message, as decoding makes it.
  void OnWrite(int nAttrId, int nIndex, int nScope, bool bSet) {
    if (!bSet) return;
    if (nAttrId == m_v.nBandStart && nScope == kScopePlan) {
      m_bPlanWritten = true;
      if (nIndex > m_nLastBandStart) m_nLastBandStart = nIndex;
    } else if (nAttrId == m_v.nFrequency && nScope == kScopeMessage && nIndex >= 0) {
      m_channels.push_back(nIndex);
    }
  }
  // After a message is decoded: true when it set up a new section, which
  // Current() then holds. Any message that lays down a plan starts a plan
  // section, as the decoder places later levels by it; only a header names
  // channels.
  bool AfterMessage(std::uint64_t nMessage, Role role, const IVyrDataState& state);

  const Section* Current() const { return m_bHasSection ? &m_section : nullptr; }
  // Gives each level (in element order) the band and frequency of the
  // section in force, a channel set growing to hold a level's channel, and
  // calls placed(nBand, nBin, level) for each level that a band holds.
  template <class PlacedFn>
  void Place(Level* pLevels, size_t nLevels, const PlacedFn& placed) {
    size_t nBand = 0, nBin = 0;
    int nFirst = 0, nEnd = 0;  // the elements of band nBand: a message's levels run through a band
    for (Level* l = pLevels; l != pLevels + nLevels; ++l) {
      if (l->element < nFirst || l->element >= nEnd) {
        if (!Locate(l->element, nBand, nBin)) continue;
        const Band& band = m_section.bands[nBand];
        nFirst = band.firstElement;
        nEnd = nFirst + static_cast<int>(band.Bins());
      }
      nBin = static_cast<size_t>(l->element - nFirst);
      const Band& band = m_section.bands[nBand];
      l->band = band.number;
      l->hz = band.hz[nBin];
      placed(nBand, nBin, *l);
    }
  }
  // The band (index into Current()->bands) and bin of an element; false
  // when no band holds it.
  bool Locate(int nElement, size_t& nBand, size_t& nBin);

  // What lasts from message to message, for the pieces of a log decoded
  // side by side: compared and copied whole; the ordinal of a guessed section.
  bool SameState(const CSectionTracker& other) const;
  void CopyState(const CSectionTracker& other);
  void SetOrdinal(std::size_t nOrdinal) { m_section.ordinal = nOrdinal; }

  static constexpr int kScopePlan = 0;
  static constexpr int kScopeMessage = 2147483647;

 private:
  void ReadPlan(const IVyrDataState& state);
  void ReadChannels(const IVyrDataState& state);
  void Start(std::uint64_t nMessage, Section::Kind kind);

  const Vocabulary& m_v;
  Section m_section;
  bool m_bHasSection = false;
  std::vector<int> m_starts;  // a plan's: the element where each band starts, then the end
  // What the current message wrote.
  bool m_bPlanWritten = false;
  int m_nLastBandStart = -1;
  std::vector<int> m_channels;
  // Where the last level was placed: a message's levels run through a band.
  size_t m_nLastBand = 0;
};

}  // namespace vyr::detail
