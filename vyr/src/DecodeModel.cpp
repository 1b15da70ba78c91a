#include "DecodeModel.h"

#include "VyrSchema.h"

namespace vyr::detail {

void CDecodeModel::Observe(CVyrMemoryDataState& state) {
  // A decode that asks for counts alone follows no write.
  if (!(m_request.writes || m_request.sections || m_request.levels || m_request.sweeps)) return;
  state.SetWriteObserver([this](const CVyrMemoryDataState::Write& w) { OnWrite(w); });
  state.SetRunObserver([this](const CVyrMemoryDataState::RunWrites& r) { OnRun(r); });
}

void CDecodeModel::AfterMessage(Message& m, const IVyrDataState& state) {
  if (m_sections.AfterMessage(m.index, m.role, state)) m_visitor.OnSection(*m_sections.Current());
  m.section = m_sections.Current();
  m_levels.TakeMessage(m.role == Role::Measurement);
  if (m.role == Role::Measurement && (m_request.levels || m_request.sweeps)) HandOnLevels(m, state);
  m_visitor.OnMessage(m);
}

void CDecodeModel::EndGuess(std::uint64_t nHeader, Role role, const IVyrDataState& state, std::size_t nOrdinal) {
  m_sections.AfterMessage(nHeader, role, state);
  m_sections.SetOrdinal(nOrdinal);
  m_bGuessing = false;
}

void CDecodeModel::OnWrite(const CVyrMemoryDataState::Write& w) {
  m_sections.OnWrite(w.nAttrId, w.nIndex, w.nScope, w.op == CVyrMemoryDataState::Op::Set);
  if (m_bGuessing) return;
  m_levels.OnWrite(w.nAttrId, w.nIndex, w.nScope);
  if (m_request.writes) HandOnWrite(w);
}

void CDecodeModel::OnRun(const CVyrMemoryDataState::RunWrites& runs) {
  if (!m_bGuessing)
    for (int r = 0; r < runs.nRuns; ++r) m_levels.OnRun(runs.pRuns[r].nAttrId, runs.nFirstIndex, runs.nCount, runs.nScope);
  if (m_request.writes && !m_bGuessing) {
    // A run is listed as its single writes; the data state still stores it a
    // page at a time.
    for (int k = 0; k < runs.nCount; ++k)
      for (int r = 0; r < runs.nRuns; ++r) {
        CVyrMemoryDataState::Write w = CVyrMemoryDataState::RunWrite(runs, r, k);
        m_sections.OnWrite(w.nAttrId, w.nIndex, w.nScope, true);
        HandOnWrite(w);
      }
    return;
  }
  for (int r = 0; r < runs.nRuns; ++r) {
    const int nAttrId = runs.pRuns[r].nAttrId;
    if (nAttrId != m_v.nBandStart && nAttrId != m_v.nFrequency) continue;
    for (int k = 0; k < runs.nCount; ++k) m_sections.OnWrite(nAttrId, runs.nFirstIndex + k, runs.nScope, true);
  }
}

std::string_view CDecodeModel::AttributeName(int nAttrId) {
  auto [it, added] = m_names.try_emplace(nAttrId);
  if (added) {
    IVyrSchemaAccessor2* schema = GetSchemaDefsDynamic();
    const char* name = schema ? schema->GetAttrNameById(nAttrId) : nullptr;
    it->second = name ? name : std::to_string(nAttrId);
  }
  return it->second;
}

void CDecodeModel::HandOnWrite(const CVyrMemoryDataState::Write& w) {
  AttributeWrite a;
  a.attrId = w.nAttrId;
  a.attrName = AttributeName(w.nAttrId);
  a.index = w.nIndex;
  a.scope = w.nScope;
  a.clear = w.op == CVyrMemoryDataState::Op::Clear;
  switch (w.kind) {
    case CVyrMemoryDataState::Kind::Real: a.kind = ValueKind::Real; a.real = w.dValue; break;
    case CVyrMemoryDataState::Kind::Int: a.kind = ValueKind::Int; a.integer = w.nValue; break;
    case CVyrMemoryDataState::Kind::Text: a.kind = ValueKind::Text; a.text = w.strValue; break;
    case CVyrMemoryDataState::Kind::None: break;
  }
  m_visitor.OnWrite(a);
}

void CDecodeModel::HandOnLevels(const Message& m, const IVyrDataState& state) {
  const size_t nBatch = m_request.levelBatch > 0 ? m_request.levelBatch : 1;
  const Section* pSection = m_sections.Current();
  const bool bStatistics = m_levels.HasStatistics();
  CSweepAssembler::Row* pRow = nullptr;
  size_t nRowBand = SIZE_MAX;
  while (m_levels.Next(state, m_batch, nBatch)) {
    m_sections.Place(m_batch.data(), m_batch.size(), [&](size_t nBand, size_t nBin, const Level& level) {
      if (!m_request.sweeps) return;
      if (nBand != nRowBand) {
        pRow = &m_sweeps.RowOf(*pSection, nBand);
        nRowBand = nBand;
      } else if (pRow->dbm.size() <= nBin) {
        pRow = &m_sweeps.RowOf(*pSection, nBand);  // a channel set grew
      }
      pRow->dbm[nBin] = level.dbm;
      if (bStatistics) pRow->SetStatistics(nBin, level);
    });
    if (m_request.levels) m_visitor.OnLevels(m, m_batch.data(), m_batch.size());
  }
  if (m_request.sweeps && pSection) m_sweeps.Emit(m, *pSection, m_visitor);
}

}  // namespace vyr::detail
