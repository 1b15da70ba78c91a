#include "MemoryDataState.h"

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

inline void CVyrMemoryDataState::Record(int nAttrId, int nIndex, int nScope, Op op, Element e) {
  ++m_nWriteCount;
  if (m_bRecord || m_observer) Notify(nAttrId, nIndex, nScope, op, e);
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
  if (m_bRecord) m_writes.push_back(std::move(w));
}

void CVyrMemoryDataState::SetTextValue(int nAttrId, const char* pszValue, int nIndex, int nScope, int) {
  Element e = CachedElement(nAttrId, nIndex, nScope);
  if (!e.pPage) e = ElementForWrite(nAttrId, nIndex, nScope);
  StoreText(e, pszValue);
  e.pPage->kinds[static_cast<size_t>(e.nOffset)] = Kind::Text;
  Record(nAttrId, nIndex, nScope, Op::Set, e);
}

void CVyrMemoryDataState::SetIntValue(int nAttrId, std::int32_t nValue, int nIndex, int nScope, int) {
  Element e = CachedElement(nAttrId, nIndex, nScope);
  if (!e.pPage) e = ElementForWrite(nAttrId, nIndex, nScope);
  e.pPage->kinds[static_cast<size_t>(e.nOffset)] = Kind::Int;
  e.pPage->values[static_cast<size_t>(e.nOffset)] = nValue;  // every int is a double exactly
  Record(nAttrId, nIndex, nScope, Op::Set, e);
}

void CVyrMemoryDataState::SetRealValue(int nAttrId, double dValue, int nIndex, int nScope, int) {
  Element e = CachedElement(nAttrId, nIndex, nScope);
  if (!e.pPage) e = ElementForWrite(nAttrId, nIndex, nScope);
  e.pPage->kinds[static_cast<size_t>(e.nOffset)] = Kind::Real;
  e.pPage->values[static_cast<size_t>(e.nOffset)] = dValue;
  Record(nAttrId, nIndex, nScope, Op::Set, e);
}

void CVyrMemoryDataState::ClearValue(int nAttrId, int nIndex, int nScope, int) {
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

void CVyrMemoryDataState::Clear() {
  m_columnCache = ColumnCache();
  m_columns.clear();
  m_texts.clear();
  m_writes.clear();
  m_nWriteCount = 0;
}
