#include "MemoryDataState.h"

namespace {
// Indexes below this live in a column's dense array (24 bytes a slot, so at
// most about 25 MB per attribute and scope); it holds a capped frequency plan.
constexpr int kDenseLimit = 1 << 20;

std::uint64_t ColumnKey(int nAttrId, int nScope) {
  return (static_cast<std::uint64_t>(static_cast<std::uint32_t>(nAttrId)) << 32) |
         static_cast<std::uint32_t>(nScope);
}
}  // namespace

CVyrMemoryDataState::Slot* CVyrMemoryDataState::SlotForWrite(int nAttrId, int nIndex, int nScope) {
  Column& col = m_columns[ColumnKey(nAttrId, nScope)];
  if (nIndex >= 0 && nIndex < kDenseLimit) {
    if (static_cast<size_t>(nIndex) >= col.dense.size()) col.dense.resize(static_cast<size_t>(nIndex) + 1);
    return &col.dense[static_cast<size_t>(nIndex)];
  }
  return &col.sparse[nIndex];
}

const CVyrMemoryDataState::Slot* CVyrMemoryDataState::SlotForRead(int nAttrId, int nIndex, int nScope) const {
  auto it = m_columns.find(ColumnKey(nAttrId, nScope));
  if (it == m_columns.end()) return nullptr;
  const Column& col = it->second;
  if (nIndex >= 0 && nIndex < kDenseLimit) {
    if (static_cast<size_t>(nIndex) >= col.dense.size()) return nullptr;
    return &col.dense[static_cast<size_t>(nIndex)];
  }
  auto s = col.sparse.find(nIndex);
  return s == col.sparse.end() ? nullptr : &s->second;
}

void CVyrMemoryDataState::StoreText(Slot& slot, const char* psz) {
  // A slot that held a text before reuses its entry.
  if (slot.nText >= 0) {
    m_texts[static_cast<size_t>(slot.nText)] = psz ? psz : "";
    return;
  }
  m_texts.emplace_back(psz ? psz : "");
  slot.nText = static_cast<std::int32_t>(m_texts.size() - 1);
}

void CVyrMemoryDataState::Record(int nAttrId, int nIndex, int nScope, Op op, const Slot& slot) {
  ++m_nWriteCount;
  if (!m_bRecord) return;
  Write w{nAttrId, nIndex, nScope, op, slot.kind, slot.dValue, slot.nValue, {}};
  if (slot.kind == Kind::Text) w.strValue = m_texts[static_cast<size_t>(slot.nText)];
  m_writes.push_back(std::move(w));
}

void CVyrMemoryDataState::SetTextValue(int nAttrId, const char* pszValue, int nIndex, int nScope, int) {
  Slot* s = SlotForWrite(nAttrId, nIndex, nScope);
  StoreText(*s, pszValue);
  s->kind = Kind::Text;
  Record(nAttrId, nIndex, nScope, Op::Set, *s);
}

void CVyrMemoryDataState::SetIntValue(int nAttrId, std::int32_t nValue, int nIndex, int nScope, int) {
  Slot* s = SlotForWrite(nAttrId, nIndex, nScope);
  s->kind = Kind::Int;
  s->nValue = nValue;
  Record(nAttrId, nIndex, nScope, Op::Set, *s);
}

void CVyrMemoryDataState::SetRealValue(int nAttrId, double dValue, int nIndex, int nScope, int) {
  Slot* s = SlotForWrite(nAttrId, nIndex, nScope);
  s->kind = Kind::Real;
  s->dValue = dValue;
  Record(nAttrId, nIndex, nScope, Op::Set, *s);
}

void CVyrMemoryDataState::ClearValue(int nAttrId, int nIndex, int nScope, int) {
  // The text entry stays with the slot for reuse; the kind says "no value".
  if (Slot* s = const_cast<Slot*>(SlotForRead(nAttrId, nIndex, nScope))) s->kind = Kind::None;
  Record(nAttrId, nIndex, nScope, Op::Clear, Slot());
}

VyrRetVal CVyrMemoryDataState::GetValue(int nAttrId, int nIndex, int nScope) const {
  const Slot* s = SlotForRead(nAttrId, nIndex, nScope);
  if (!s) return VyrRetVal::NoValue();
  switch (s->kind) {
    case Kind::Real: return VyrRetVal::Real(s->dValue);
    case Kind::Int: return VyrRetVal::Int(s->nValue);
    case Kind::Text: return VyrRetVal::Text(m_texts[static_cast<size_t>(s->nText)].c_str());
    case Kind::None: break;
  }
  return VyrRetVal::NoValue();
}

void CVyrMemoryDataState::Clear() {
  m_columns.clear();
  m_texts.clear();
  m_writes.clear();
  m_nWriteCount = 0;
}
