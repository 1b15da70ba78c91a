#include "MemoryDataState.h"

#include <algorithm>

namespace {
// Indexes below this live in a column's dense array (24 bytes a slot, so at
// most about 25 MB per attribute and scope); it holds a capped frequency plan.
constexpr int kDenseLimit = 1 << 20;

std::uint64_t ColumnKey(int nAttrId, int nScope) {
  return (static_cast<std::uint64_t>(static_cast<std::uint32_t>(nAttrId)) << 32) |
         static_cast<std::uint32_t>(nScope);
}

// Neighbouring attribute ids, and the two scopes (0 and 2147483647, which
// differ in their lowest bit), land in different entries.
size_t CacheIndex(std::uint64_t nKey, size_t nSize) {
  return static_cast<size_t>(((nKey >> 32) * 2 + (nKey & 1)) & (nSize - 1));
}
}  // namespace

CVyrMemoryDataState::Column& CVyrMemoryDataState::ColumnForWrite(std::uint64_t nKey) {
  CachedColumn& cached = m_columnCache.entries[CacheIndex(nKey, ColumnCache::kSize)];
  if (cached.pColumn && cached.nKey == nKey) return *cached.pColumn;
  Column& col = m_columns[nKey];
  cached = CachedColumn{nKey, &col, col.dense.data(), col.dense.size()};
  return col;
}

CVyrMemoryDataState::Column* CVyrMemoryDataState::ColumnForRead(std::uint64_t nKey) const {
  CachedColumn& cached = m_columnCache.entries[CacheIndex(nKey, ColumnCache::kSize)];
  if (cached.pColumn && cached.nKey == nKey) return cached.pColumn;
  auto it = m_columns.find(nKey);
  if (it == m_columns.end()) return nullptr;
  // The map hands out const columns here; the cache serves writes too.
  Column* pColumn = const_cast<Column*>(&it->second);
  cached = CachedColumn{nKey, pColumn, pColumn->dense.data(), pColumn->dense.size()};
  return pColumn;
}

// The slot of an element already held in a cached column's dense array, or
// null: the common case of a write or read, kept small enough to inline.
inline CVyrMemoryDataState::Slot* CVyrMemoryDataState::CachedDenseSlot(int nAttrId, int nIndex, int nScope) const {
  const std::uint64_t nKey = ColumnKey(nAttrId, nScope);
  const CachedColumn& cached = m_columnCache.entries[CacheIndex(nKey, ColumnCache::kSize)];
  if (!cached.pColumn || cached.nKey != nKey) return nullptr;
  if (nIndex < 0 || static_cast<size_t>(nIndex) >= cached.nDense) return nullptr;
  return cached.pDense + nIndex;
}

CVyrMemoryDataState::Slot* CVyrMemoryDataState::SlotForWrite(int nAttrId, int nIndex, int nScope) {
  const std::uint64_t nKey = ColumnKey(nAttrId, nScope);
  Column& col = ColumnForWrite(nKey);
  if (nIndex >= 0 && nIndex < kDenseLimit) {
    if (static_cast<size_t>(nIndex) >= col.dense.size()) {
      col.dense.resize(static_cast<size_t>(nIndex) + 1);
      // The cache holds the dense array's place and size: the column is the
      // one just cached by ColumnForWrite.
      CachedColumn& cached = m_columnCache.entries[CacheIndex(nKey, ColumnCache::kSize)];
      cached.pDense = col.dense.data();
      cached.nDense = col.dense.size();
    }
    return &col.dense[static_cast<size_t>(nIndex)];
  }
  return &col.sparse[nIndex];
}

const CVyrMemoryDataState::Slot* CVyrMemoryDataState::SlotForRead(int nAttrId, int nIndex, int nScope) const {
  const Column* pColumn = ColumnForRead(ColumnKey(nAttrId, nScope));
  if (!pColumn) return nullptr;
  const Column& col = *pColumn;
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

inline bool CVyrMemoryDataState::IsRecorded(int nAttrId) const {
  if (!m_bRecord) return false;
  if (m_recordedAttrs.empty()) return true;
  for (int id : m_recordedAttrs)
    if (id == nAttrId) return true;
  return false;
}

inline void CVyrMemoryDataState::Record(int nAttrId, int nIndex, int nScope, Op op, const Slot& slot) {
  ++m_nWriteCount;
  if (IsRecorded(nAttrId)) AppendWrite(nAttrId, nIndex, nScope, op, slot);
}

void CVyrMemoryDataState::AppendWrite(int nAttrId, int nIndex, int nScope, Op op, const Slot& slot) {
  Write w{nAttrId, nIndex, nScope, op, slot.kind, slot.dValue, slot.nValue, {}};
  if (slot.kind == Kind::Text) w.strValue = m_texts[static_cast<size_t>(slot.nText)];
  m_writes.push_back(std::move(w));
}

void CVyrMemoryDataState::SetTextValue(int nAttrId, const char* pszValue, int nIndex, int nScope, int) {
  Slot* s = CachedDenseSlot(nAttrId, nIndex, nScope);
  if (!s) s = SlotForWrite(nAttrId, nIndex, nScope);
  StoreText(*s, pszValue);
  s->kind = Kind::Text;
  Record(nAttrId, nIndex, nScope, Op::Set, *s);
}

void CVyrMemoryDataState::SetIntValue(int nAttrId, std::int32_t nValue, int nIndex, int nScope, int) {
  Slot* s = CachedDenseSlot(nAttrId, nIndex, nScope);
  if (!s) s = SlotForWrite(nAttrId, nIndex, nScope);
  s->kind = Kind::Int;
  s->nValue = nValue;
  Record(nAttrId, nIndex, nScope, Op::Set, *s);
}

void CVyrMemoryDataState::SetRealValue(int nAttrId, double dValue, int nIndex, int nScope, int) {
  Slot* s = CachedDenseSlot(nAttrId, nIndex, nScope);
  if (!s) s = SlotForWrite(nAttrId, nIndex, nScope);
  s->kind = Kind::Real;
  s->dValue = dValue;
  Record(nAttrId, nIndex, nScope, Op::Set, *s);
}

void CVyrMemoryDataState::ClearValue(int nAttrId, int nIndex, int nScope, int) {
  // The text entry stays with the slot for reuse; the kind says "no value".
  Slot* s = CachedDenseSlot(nAttrId, nIndex, nScope);
  if (!s) s = const_cast<Slot*>(SlotForRead(nAttrId, nIndex, nScope));
  if (s) s->kind = Kind::None;
  Record(nAttrId, nIndex, nScope, Op::Clear, Slot());
}

VyrRetVal CVyrMemoryDataState::GetValue(int nAttrId, int nIndex, int nScope) const {
  const Slot* s = CachedDenseSlot(nAttrId, nIndex, nScope);
  if (!s) s = SlotForRead(nAttrId, nIndex, nScope);
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
  m_columnCache = ColumnCache();
  m_columns.clear();
  m_texts.clear();
  m_writes.clear();
  m_nWriteCount = 0;
}

// A run of an attribute that is not recorded and lies in the dense range is
// stored straight into its dense array: runs of different attributes touch
// different slots, so the final values are those of the single calls. The
// runs of recorded attributes are made as the single calls of this final
// class (bound directly), element by element, so that the recorded list is
// theirs, in their order.
void CVyrMemoryDataState::SetValueRuns(const VyrValueRun* pRuns, int nRuns, int nFirstIndex, int nCount, int nScope,
                                       int nFlags) {
  if (nCount <= 0 || nRuns <= 0) return;
  const bool bDense = nFirstIndex >= 0 && nFirstIndex <= kDenseLimit - nCount;
  std::vector<int>& single = m_singleRuns;  // the runs made element by element
  single.clear();
  for (int r = 0; r < nRuns; ++r) {
    if (bDense && !IsRecorded(pRuns[r].nAttrId)) {
      StoreDenseRun(pRuns[r], nFirstIndex, nCount, nScope);
      m_nWriteCount += static_cast<std::uint64_t>(nCount);
    } else {
      single.push_back(r);
    }
  }
  for (int k = 0; k < nCount; ++k)
    for (int r : single) StoreRunElement(pRuns[r], k, nFirstIndex + k, nScope, nFlags);
}

// Elements [nFirstIndex, nFirstIndex + nCount) of the dense range.
void CVyrMemoryDataState::StoreDenseRun(const VyrValueRun& run, int nFirstIndex, int nCount, int nScope) {
  SlotForWrite(run.nAttrId, nFirstIndex + nCount - 1, nScope);  // grows the array and refreshes the cache
  Slot* const pSlots = CachedDenseSlot(run.nAttrId, nFirstIndex, nScope);
  for (int k = 0; k < nCount; ++k) {
    Slot& slot = pSlots[k];
    if (!run.pReals) {
      slot.kind = Kind::Int;
      slot.nValue = run.pInts[k];
    } else if (run.pReals[k] < run.dClearBelow) {
      slot.kind = Kind::None;
    } else {
      slot.kind = Kind::Real;
      slot.dValue = run.pReals[k];
    }
  }
}

inline void CVyrMemoryDataState::StoreRunElement(const VyrValueRun& run, int k, int nIndex, int nScope, int nFlags) {
  if (!run.pReals) SetIntValue(run.nAttrId, run.pInts[k], nIndex, nScope, nFlags);
  else if (run.pReals[k] < run.dClearBelow) ClearValue(run.nAttrId, nIndex, nScope, nFlags);
  else SetRealValue(run.nAttrId, run.pReals[k], nIndex, nScope, nFlags);
}

// Numbers are filled in place from the dense array when the run lies in it;
// anything else goes through GetValue and the record's assignment.
void CVyrMemoryDataState::GetValueRun(int nAttrId, int nFirstIndex, int nCount, int nScope, VyrRetVal* pOut) const {
  if (nCount <= 0) return;
  const Slot* pSlots = CachedDenseSlot(nAttrId, nFirstIndex, nScope);
  if (!pSlots || !CachedDenseSlot(nAttrId, nFirstIndex + nCount - 1, nScope)) pSlots = nullptr;
  for (int k = 0; k < nCount; ++k) {
    VyrRetVal& out = pOut[k];
    const Slot* s = pSlots ? pSlots + k : nullptr;
    if (!s || out.m_nType == VYR_RV_TEXT || s->kind == Kind::Text) {
      out = GetValue(nAttrId, nFirstIndex + k, nScope);
      continue;
    }
    out.m_nStatus = s->kind == Kind::None ? VYR_RV_STATUS_NO_VALUE : VYR_RV_STATUS_OK;
    out.m_nType = s->kind == Kind::Int ? VYR_RV_INT32 : VYR_RV_DOUBLE;
    if (s->kind == Kind::Int) out.m_value.i32 = s->nValue;
    else out.m_value.d = s->kind == Kind::Real ? s->dValue : 0.0;
  }
}
