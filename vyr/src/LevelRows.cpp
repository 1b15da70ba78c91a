#include "vyr/LevelRows.h"

#include <algorithm>

MessagePosition GetMessagePosition(const CVyrGenericHsMessage& msg) {
  MessagePosition p;
  p.bHasLatitude = msg.m_dLatitude != kVyrNoPosition;
  p.bHasLongitude = msg.m_dLongitude != kVyrNoPosition;
  p.dLatitude = msg.m_dLatitude;
  p.dLongitude = msg.m_dLongitude;
  p.nQuality = msg.m_byPosQuality;
  return p;
}

MessageFacts GetMessageFacts(const DecodedMessage& m, const CVyrMilliSecAbsTime& fileStart) {
  MessageFacts f;
  f.nIndex = m.nIndex;
  f.nTimeMs = m.msg.m_msgTime.GetMs();
  CVyrMilliSecAbsTime t;
  // A message time saturated near the int64 limit (from a damaged time
  // text) would overflow the sum: it wraps instead, which is defined, and
  // the text stays what such messages have always shown.
  t.SetMs(static_cast<std::int64_t>(static_cast<std::uint64_t>(fileStart.GetMs()) +
                                    static_cast<std::uint64_t>(f.nTimeMs)));
  f.strTime = t.FormatIso8601();
  f.position = GetMessagePosition(m.msg);
  return f;
}

namespace {
// A message that writes each element once, in increasing order (a run, as a
// scan line is decoded), needs no sorting: each write is the last of its
// element. Returns false, with rows undefined, as soon as an element comes
// again or out of order.
bool CollectIncreasingLevels(const std::vector<CVyrMemoryDataState::Write>& writes, int nLevelAttr,
                             std::vector<LevelRow>& rows) {
  rows.clear();
  bool bFirst = true;
  int nLast = 0;
  for (const auto& w : writes) {
    if (w.nAttrId != nLevelAttr || w.nScope != kScopeMessage) continue;
    if (!bFirst && w.nIndex <= nLast) return false;
    bFirst = false;
    nLast = w.nIndex;
    if (w.op == CVyrMemoryDataState::Op::Clear) continue;
    LevelRow r;
    r.nBin = w.nIndex;
    if (w.kind == CVyrMemoryDataState::Kind::Real) r.dLevel = w.dValue;
    else if (w.kind == CVyrMemoryDataState::Kind::Int) r.dLevel = static_cast<double>(w.nValue);
    else continue;  // a text is no level
    rows.push_back(r);
  }
  return true;
}
}  // namespace

void CollectLevelsLeft(const std::vector<CVyrMemoryDataState::Write>& writes, int nLevelAttr,
                       std::vector<LevelRow>& rows) {
  if (CollectIncreasingLevels(writes, nLevelAttr, rows)) return;
  rows.clear();
  // One entry per write in order; a clear is an entry without a level.
  struct Entry {
    int nBin;
    bool bSet;
    double dLevel;
  };
  thread_local std::vector<Entry> entries;
  entries.clear();
  for (const auto& w : writes) {
    if (w.nAttrId != nLevelAttr || w.nScope != kScopeMessage) continue;
    if (w.op == CVyrMemoryDataState::Op::Clear) entries.push_back({w.nIndex, false, 0});
    else if (w.kind == CVyrMemoryDataState::Kind::Real) entries.push_back({w.nIndex, true, w.dValue});
    else if (w.kind == CVyrMemoryDataState::Kind::Int) entries.push_back({w.nIndex, true, static_cast<double>(w.nValue)});
    else entries.push_back({w.nIndex, false, 0});  // a text is no level
  }
  // Stable: the writes of one element stay in order, so the last one decides.
  auto byBin = [](const Entry& a, const Entry& b) { return a.nBin < b.nBin; };
  if (!std::is_sorted(entries.begin(), entries.end(), byBin)) std::stable_sort(entries.begin(), entries.end(), byBin);
  for (size_t i = 0; i < entries.size(); ++i) {
    bool last = i + 1 == entries.size() || entries[i + 1].nBin != entries[i].nBin;
    if (!last || !entries[i].bSet) continue;
    LevelRow r;
    r.nBin = entries[i].nBin;
    r.dLevel = entries[i].dLevel;
    rows.push_back(r);
  }
}

void CLevelRowExtractor::Extract(const DecodedMessage& m, std::vector<LevelRow>& rows) {
  Extract(m.msg.m_nMsgClass, m.writes, m.dataState, rows);
}

void CLevelRowExtractor::Extract(int nMsgClass, const std::vector<CVyrMemoryDataState::Write>& writes,
                                 const IVyrDataState& state, std::vector<LevelRow>& rows) {
  m_plan.Update(writes, state);
  if (nMsgClass != kMeasurementMessageClass) {
    rows.clear();
    return;
  }
  CollectLevelsLeft(writes, m_ids.nBinLevel, rows);
  AddFrequencies(state, rows);
}

void CLevelRowExtractor::AddFrequencies(const IVyrDataState& state, std::vector<LevelRow>& rows) const {
  // Rows are sorted by element, so a band holds for a stretch of rows: the
  // plan is searched only where a row leaves the band of the one before.
  int nBand = 0, nBandFirst = 0, nBandEnd = 0;
  for (LevelRow& r : rows) {
    if (IsScan()) {
      if (nBand == 0 || r.nBin < nBandFirst || r.nBin >= nBandEnd) {
        nBand = m_plan.BandOf(r.nBin);
        PlanBand b = m_plan.Band(nBand);
        nBandFirst = b.nFirst;
        nBandEnd = b.nFirst + b.nCount;
      }
      r.nBand = nBand;
      r.bHasFrequency = m_plan.FrequencyMHz(r.nBin, r.dFrequencyMHz);
      continue;
    }
    double value = 0;
    r.bHasFrequency = RetValNumber(state.GetValue(m_ids.nFreq, r.nBin, kScopeMessage), value);
    if (r.bHasFrequency) r.dFrequencyMHz = m_ids.FrequencyMHz(value);
  }
}
