#include "MemoryDataState.h"

#include <algorithm>
#include <atomic>
#include <climits>
#include <limits>

namespace {
std::uint64_t ColumnKey(int nAttrId, int nScope) {
  return (static_cast<std::uint64_t>(static_cast<std::uint32_t>(nAttrId)) << 32) |
         static_cast<std::uint32_t>(nScope);
}

// Neighbouring attribute ids, and the two scopes (0 and 2147483647, which
// differ in their lowest bit), land in different entries.
size_t CacheIndex(std::uint64_t nKey, size_t nSize) {
  return static_cast<size_t>(((nKey >> 32) * 2 + (nKey & 1)) & (nSize - 1));
}

// The element of an index within its page table: negative indexes count
// down from 0 in a table of their own.
std::uint32_t TableElement(int nIndex) {
  return nIndex >= 0 ? static_cast<std::uint32_t>(nIndex) : static_cast<std::uint32_t>(-1 - nIndex);
}
}  // namespace

CVyrMemoryDataState::Page* CVyrMemoryDataState::PageTable::Find(std::uint32_t nElement) const {
  const size_t nDirectory = nElement >> (kPageBits + kDirectoryBits);
  if (nDirectory >= directories.size()) return nullptr;
  const Directory* pDirectory = directories[nDirectory].get();
  if (!pDirectory) return nullptr;
  return pDirectory->pages[(nElement >> kPageBits) & ((1u << kDirectoryBits) - 1)].get();
}

CVyrMemoryDataState::Page& CVyrMemoryDataState::PageTable::Make(std::uint32_t nElement) {
  const size_t nDirectory = nElement >> (kPageBits + kDirectoryBits);
  if (nDirectory >= directories.size()) directories.resize(nDirectory + 1);
  Directory& directory = directories[nDirectory].Make();
  return directory.pages[(nElement >> kPageBits) & ((1u << kDirectoryBits) - 1)].Make();
}

CVyrMemoryDataState::CachedColumn& CVyrMemoryDataState::CacheEntry(std::uint64_t nKey) const {
  return m_columnCache.entries[CacheIndex(nKey, ColumnCache::kSize)];
}

CVyrMemoryDataState::Column* CVyrMemoryDataState::FindColumn(std::uint64_t nKey, bool bCreate) const {
  CachedColumn& cached = CacheEntry(nKey);
  if (cached.pColumn && cached.nKey == nKey) return cached.pColumn;
  Column* pColumn = nullptr;
  if (bCreate) {
    pColumn = &m_columns[nKey];
  } else {
    auto it = m_columns.find(nKey);
    if (it == m_columns.end()) return nullptr;
    pColumn = &it->second;
  }
  cached = CachedColumn{nKey, pColumn, nullptr, 0};
  return pColumn;
}

// The element of a non-negative index in a cached column's cached page, or a
// null page: the common case of a write or read, kept small enough to inline.
inline CVyrMemoryDataState::Element CVyrMemoryDataState::CachedElement(int nAttrId, int nIndex, int nScope) const {
  const std::uint64_t nKey = ColumnKey(nAttrId, nScope);
  const CachedColumn& cached = CacheEntry(nKey);
  if (!cached.pPage || cached.nKey != nKey || nIndex < cached.nFirst || nIndex - cached.nFirst >= kPageSize)
    return {nullptr, 0};
  return {cached.pPage, nIndex - cached.nFirst};
}

CVyrMemoryDataState::Element CVyrMemoryDataState::ElementForWrite(int nAttrId, int nIndex, int nScope) {
  const std::uint64_t nKey = ColumnKey(nAttrId, nScope);
  Column& col = *FindColumn(nKey, true);
  const std::uint32_t nElement = TableElement(nIndex);
  Page& page = (nIndex >= 0 ? col.positive : col.negative).Make(nElement);
  const int nOffset = static_cast<int>(nElement & (kPageSize - 1));
  if (nIndex >= 0) {
    CachedColumn& cached = CacheEntry(nKey);
    cached.pPage = &page;
    cached.nFirst = nIndex - nOffset;
  }
  return {&page, nOffset};
}

CVyrMemoryDataState::Element CVyrMemoryDataState::ElementForRead(int nAttrId, int nIndex, int nScope) const {
  const std::uint64_t nKey = ColumnKey(nAttrId, nScope);
  const Column* pColumn = FindColumn(nKey, false);
  if (!pColumn) return {nullptr, 0};
  const std::uint32_t nElement = TableElement(nIndex);
  Page* pPage = (nIndex >= 0 ? pColumn->positive : pColumn->negative).Find(nElement);
  const int nOffset = static_cast<int>(nElement & (kPageSize - 1));
  if (pPage && nIndex >= 0) {
    CachedColumn& cached = CacheEntry(nKey);
    cached.pPage = pPage;
    cached.nFirst = nIndex - nOffset;
  }
  return {pPage, nOffset};
}

void CVyrMemoryDataState::StoreText(Element e, const char* psz) {
  auto& texts = e.pPage->texts;
  if (!texts.get()) texts.Make().fill(-1);
  std::int32_t& nText = (*texts.get())[static_cast<size_t>(e.nOffset)];
  // An element that held a text before reuses its entry.
  if (nText >= 0) {
    m_texts[static_cast<size_t>(nText)] = psz ? psz : "";
    return;
  }
  m_texts.emplace_back(psz ? psz : "");
  nText = static_cast<std::int32_t>(m_texts.size() - 1);
}

inline bool CVyrMemoryDataState::IsRecorded(int nAttrId) const {
  if (!m_bRecord) return false;
  if (m_recordedAttrs.empty()) return true;
  for (int id : m_recordedAttrs)
    if (id == nAttrId) return true;
  return false;
}

// Whether a write of the attribute must be seen one at a time, by the record
// or by the observer.
inline bool CVyrMemoryDataState::IsWatched(int nAttrId) const { return m_observer || IsRecorded(nAttrId); }

inline void CVyrMemoryDataState::Record(int nAttrId, int nIndex, int nScope, Op op, Element e) {
  ++m_nWriteCount;
  if (IsWatched(nAttrId)) Notify(nAttrId, nIndex, nScope, op, e);
}

void CVyrMemoryDataState::Notify(int nAttrId, int nIndex, int nScope, Op op, Element e) {
  Write w{nAttrId, nIndex, nScope, op, Kind::None, 0.0, 0, {}};
  if (op == Op::Set) {
    const size_t o = static_cast<size_t>(e.nOffset);
    w.kind = e.pPage->kinds[o];
    const double dValue = e.pPage->values[o];
    if (w.kind == Kind::Real) w.dValue = dValue;
    if (w.kind == Kind::Int) w.nValue = static_cast<std::int32_t>(dValue);
    if (w.kind == Kind::Text) w.strValue = m_texts[static_cast<size_t>((*e.pPage->texts.get())[o])];
  }
  if (m_observer) m_observer(w);
  if (IsRecorded(nAttrId)) m_writes.push_back(std::move(w));
}

void CVyrMemoryDataState::SetTextValue(int nAttrId, const char* pszValue, int nIndex, int nScope, int) {
  NoteWrite(nScope);
  Element e = CachedElement(nAttrId, nIndex, nScope);
  if (!e.pPage) e = ElementForWrite(nAttrId, nIndex, nScope);
  StoreText(e, pszValue);
  e.pPage->kinds[static_cast<size_t>(e.nOffset)] = Kind::Text;
  Record(nAttrId, nIndex, nScope, Op::Set, e);
}

void CVyrMemoryDataState::SetIntValue(int nAttrId, std::int32_t nValue, int nIndex, int nScope, int) {
  NoteWrite(nScope);
  Element e = CachedElement(nAttrId, nIndex, nScope);
  if (!e.pPage) e = ElementForWrite(nAttrId, nIndex, nScope);
  e.pPage->kinds[static_cast<size_t>(e.nOffset)] = Kind::Int;
  e.pPage->values[static_cast<size_t>(e.nOffset)] = nValue;  // every int is a double exactly
  Record(nAttrId, nIndex, nScope, Op::Set, e);
}

void CVyrMemoryDataState::SetRealValue(int nAttrId, double dValue, int nIndex, int nScope, int) {
  NoteWrite(nScope);
  Element e = CachedElement(nAttrId, nIndex, nScope);
  if (!e.pPage) e = ElementForWrite(nAttrId, nIndex, nScope);
  e.pPage->kinds[static_cast<size_t>(e.nOffset)] = Kind::Real;
  e.pPage->values[static_cast<size_t>(e.nOffset)] = dValue;
  Record(nAttrId, nIndex, nScope, Op::Set, e);
}

void CVyrMemoryDataState::ClearValue(int nAttrId, int nIndex, int nScope, int) {
  NoteWrite(nScope);
  // The text entry stays with the element for reuse; the kind says "no
  // value". Clearing an element never written makes no page.
  Element e = CachedElement(nAttrId, nIndex, nScope);
  if (!e.pPage) e = ElementForRead(nAttrId, nIndex, nScope);
  if (e.pPage) e.pPage->kinds[static_cast<size_t>(e.nOffset)] = Kind::None;
  Record(nAttrId, nIndex, nScope, Op::Clear, e);
}

VyrRetVal CVyrMemoryDataState::GetValue(int nAttrId, int nIndex, int nScope) const {
  Element e = CachedElement(nAttrId, nIndex, nScope);
  if (!e.pPage) e = ElementForRead(nAttrId, nIndex, nScope);
  if (!e.pPage) return VyrRetVal::NoValue();
  const size_t o = static_cast<size_t>(e.nOffset);
  switch (e.pPage->kinds[o]) {
    case Kind::Real: return VyrRetVal::Real(e.pPage->values[o]);
    case Kind::Int: return VyrRetVal::Int(static_cast<std::int32_t>(e.pPage->values[o]));
    case Kind::Text: return VyrRetVal::Text(m_texts[static_cast<size_t>((*e.pPage->texts.get())[o])].c_str());
    case Kind::None: break;
  }
  return VyrRetVal::NoValue();
}

std::uint64_t CVyrMemoryDataState::GetPlanGeneration() const {
  // Numbers are drawn from one count for the whole process, so that no two
  // data states, nor two states of one, share a number; a new one is drawn
  // only when asked for after a change, not at every write.
  static std::atomic<std::uint64_t> s_nNext{1};
  if (m_bPlanChanged) {
    m_nPlanGeneration = s_nNext.fetch_add(1, std::memory_order_relaxed);
    m_bPlanChanged = false;
  }
  return m_nPlanGeneration;
}

void CVyrMemoryDataState::Clear() {
  m_bPlanChanged = true;
  m_columnCache = ColumnCache();
  m_columns.clear();
  m_texts.clear();
  m_writes.clear();
  m_nWriteCount = 0;
}

// A run over non-negative indexes is stored straight into its pages: runs of
// different attributes touch different elements, so the final values are
// those of the single calls. The writes of recorded runs are then listed as
// the single calls would list them: element by element, and within an element
// run by run; a run observer is told of the whole call at once. With only a
// write observer, or over negative indexes, the watched runs are made as the
// single calls of this final class (bound directly), element by element, so
// that the record and the observer see their writes in their order.
void CVyrMemoryDataState::SetValueRuns(const VyrValueRun* pRuns, int nRuns, int nFirstIndex, int nCount, int nScope,
                                       int nFlags) {
  if (nCount <= 0 || nRuns <= 0) return;
  NoteWrite(nScope);
  const bool bPaged = nFirstIndex >= 0 && nFirstIndex <= INT_MAX - (nCount - 1);
  const bool bRunObserved = bPaged && m_runObserver;
  std::vector<int>& single = m_singleRuns;  // the runs made element by element
  std::vector<int>& recorded = m_recordedRuns;  // paged runs whose writes are listed
  single.clear();
  recorded.clear();
  for (int r = 0; r < nRuns; ++r) {
    if (bRunObserved || (bPaged && !(m_observer && IsWatched(pRuns[r].nAttrId)))) {
      StorePagedRun(pRuns[r], nFirstIndex, nCount, nScope);
      m_nWriteCount += static_cast<std::uint64_t>(nCount);
      if (IsRecorded(pRuns[r].nAttrId)) recorded.push_back(r);
    } else {
      single.push_back(r);
    }
  }
  const RunWrites runWrites{pRuns, nRuns, nFirstIndex, nCount, nScope};
  if (!recorded.empty()) RecordRuns(runWrites, recorded);
  if (bRunObserved) m_runObserver(runWrites);
  for (int k = 0; k < nCount; ++k)
    for (int r : single) StoreRunElement(pRuns[r], k, nFirstIndex + k, nScope, nFlags);
}

CVyrMemoryDataState::Write CVyrMemoryDataState::RunWrite(const RunWrites& runs, int r, int k) {
  const VyrValueRun& run = runs.pRuns[r];
  Write w{run.nAttrId, runs.nFirstIndex + k, runs.nScope, Op::Set, Kind::Int, 0.0, 0, {}};
  if (!run.pReals) {
    w.nValue = run.pInts[k];
  } else if (run.pReals[k] < run.dClearBelow) {
    w.op = Op::Clear;
    w.kind = Kind::None;
  } else {
    w.kind = Kind::Real;
    w.dValue = run.pReals[k];
  }
  return w;
}

// The writes that the single calls of the runs would record, in their order.
void CVyrMemoryDataState::RecordRuns(const RunWrites& runWrites, const std::vector<int>& runs) {
  m_writes.reserve(m_writes.size() + static_cast<size_t>(runWrites.nCount) * runs.size());
  for (int k = 0; k < runWrites.nCount; ++k)
    for (int r : runs) m_writes.push_back(RunWrite(runWrites, r, k));
}

// Elements [nFirstIndex, nFirstIndex + nCount) of the non-negative table, a
// page at a time.
void CVyrMemoryDataState::StorePagedRun(const VyrValueRun& run, int nFirstIndex, int nCount, int nScope) {
  // No real is below -infinity (nor is a NaN): such a run stores every value,
  // a plain copy (the ranked lists, and the levels without a threshold).
  const bool bClearsNone = !(run.dClearBelow > -std::numeric_limits<double>::infinity());
  for (int k = 0; k < nCount;) {
    const Element e = ElementForWrite(run.nAttrId, nFirstIndex + k, nScope);
    const int n = std::min(nCount - k, kPageSize - e.nOffset);
    Kind* const pKinds = e.pPage->kinds.data() + e.nOffset;
    double* const pValues = e.pPage->values.data() + e.nOffset;
    if (run.pReals && !bClearsNone) {
      const double* const pReals = run.pReals + k;
      for (int i = 0; i < n; ++i) {
        // A NaN is no less than the threshold: it is stored, as SetRealValue would.
        const bool bClear = pReals[i] < run.dClearBelow;
        pKinds[i] = bClear ? Kind::None : Kind::Real;
        if (!bClear) pValues[i] = pReals[i];
      }
    } else if (run.pReals) {
      const double* const pReals = run.pReals + k;
      for (int i = 0; i < n; ++i) pValues[i] = pReals[i];
      std::fill(pKinds, pKinds + n, Kind::Real);
    } else {
      const std::int32_t* const pInts = run.pInts + k;
      for (int i = 0; i < n; ++i) {
        pKinds[i] = Kind::Int;
        pValues[i] = pInts[i];
      }
    }
    k += n;
  }
}

inline void CVyrMemoryDataState::StoreRunElement(const VyrValueRun& run, int k, int nIndex, int nScope, int nFlags) {
  if (!run.pReals) SetIntValue(run.nAttrId, run.pInts[k], nIndex, nScope, nFlags);
  else if (run.pReals[k] < run.dClearBelow) ClearValue(run.nAttrId, nIndex, nScope, nFlags);
  else SetRealValue(run.nAttrId, run.pReals[k], nIndex, nScope, nFlags);
}

// Numbers are filled in place from the pages of non-negative indexes, a page
// at a time; texts, negative indexes and records that hold a text go through
// GetValue and the record's assignment.
void CVyrMemoryDataState::GetValueRun(int nAttrId, int nFirstIndex, int nCount, int nScope, VyrRetVal* pOut) const {
  for (int k = 0; k < nCount;) {
    const int nIndex = nFirstIndex + k;
    if (nIndex < 0) {
      pOut[k] = GetValue(nAttrId, nIndex, nScope);
      ++k;
      continue;
    }
    const Element e = ElementForRead(nAttrId, nIndex, nScope);
    const int n = std::min(nCount - k, kPageSize - e.nOffset);
    for (int i = 0; i < n; ++i) {
      VyrRetVal& out = pOut[k + i];
      const size_t o = static_cast<size_t>(e.nOffset + i);
      const Kind kind = e.pPage ? e.pPage->kinds[o] : Kind::None;
      if (out.m_nType == VYR_RV_TEXT || kind == Kind::Text) {
        out = GetValue(nAttrId, nIndex + i, nScope);
        continue;
      }
      out.m_nStatus = kind == Kind::None ? VYR_RV_STATUS_NO_VALUE : VYR_RV_STATUS_OK;
      out.m_nType = kind == Kind::Int ? VYR_RV_INT32 : VYR_RV_DOUBLE;
      if (kind == Kind::Int) out.m_value.i32 = static_cast<std::int32_t>(e.pPage->values[o]);
      else out.m_value.d = kind == Kind::Real ? e.pPage->values[o] : 0.0;
    }
    k += n;
  }
}
