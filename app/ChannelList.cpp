#include "ChannelList.h"

#include <cmath>
#include <limits>

namespace {
// A channel log names a handful of frequencies; an element index beyond this
// is not a channel and is left out rather than stretching the list.
constexpr int kMaxChannels = 4096;
}  // namespace

void CChannelList::Update(const DecodedMessage& m) {
  if (m.msg.m_nMsgClass != kHeaderMessageClass) return;
  m_freqMHz.clear();
  for (const auto& w : m.writes) {
    if (w.nAttrId != m_ids.nFreq || w.nScope != kScopeMessage || w.nIndex < 0 || w.nIndex >= kMaxChannels) continue;
    if (static_cast<size_t>(w.nIndex) >= m_freqMHz.size())
      m_freqMHz.resize(static_cast<size_t>(w.nIndex) + 1, std::numeric_limits<double>::quiet_NaN());
  }
  for (size_t e = 0; e < m_freqMHz.size(); ++e) {
    double value = 0;
    if (RetValNumber(m.dataState.GetValue(m_ids.nFreq, static_cast<int>(e), kScopeMessage), value))
      m_freqMHz[e] = m_ids.FrequencyMHz(value);
  }
}

bool CChannelList::FrequencyMHz(int e, double& mhz) const {
  if (e < 0 || e >= Count() || std::isnan(m_freqMHz[static_cast<size_t>(e)])) return false;
  mhz = m_freqMHz[static_cast<size_t>(e)];
  return true;
}
