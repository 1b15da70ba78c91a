// The host's in-memory data state. Values live by (attribute, scope), indexed
// by element in pages of 256 elements, made when first written: a column
// costs memory in proportion to the pages it touches, about 9 bytes an
// element (its kind and an 8-byte value), so that a stray index costs one
// page and its directory, not an array of that size. Negative indexes have
// pages of their own. It can record every write and clear, or hand each one
// to an observer as it happens, so that a host can show what decoding one
// message did.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "VyrDataState.h"

class CVyrMemoryDataState final : public IVyrDataState, public IVyrDataStateRuns {
 public:
  enum class Op : std::uint8_t { Set, Clear };
  enum class Kind : std::uint8_t { None, Real, Int, Text };

  struct Write {
    int nAttrId;
    int nIndex;
    int nScope;
    Op op;
    Kind kind;
    double dValue;
    std::int32_t nValue;
    std::string strValue;
  };

  void SetTextValue(int nAttrId, const char* pszValue, int nIndex, int nScope, int nFlags) override;
  void SetIntValue(int nAttrId, std::int32_t nValue, int nIndex, int nScope, int nFlags) override;
  void SetRealValue(int nAttrId, double dValue, int nIndex, int nScope, int nFlags) override;
  void ClearValue(int nAttrId, int nIndex, int nScope, int nFlags) override;
  bool IsSortOutputSuppressed() const override { return m_bSortOutputSuppressed; }
  VyrRetVal GetValue(int nAttrId, int nIndex, int nScope) const override;
  VyrRetVal GetValueAlt(int nAttrId, int nIndex, int nScope) const override { return GetValue(nAttrId, nIndex, nScope); }
  IVyrDataStateRuns* QueryRuns() override { return this; }
  std::uint64_t GetPlanGeneration() const override;
  void SetValueRuns(const VyrValueRun* pRuns, int nRuns, int nFirstIndex, int nCount, int nScope,
                    int nFlags) override;
  void GetValueRun(int nAttrId, int nFirstIndex, int nCount, int nScope, VyrRetVal* pOut) const override;

  void SetSortOutputSuppressed(bool b) { m_bSortOutputSuppressed = b; }
  // Recording of writes: off by default. The count of writes and clears is
  // always kept. A Write carries the value of its own kind; the fields of the
  // other kinds are 0 or empty.
  void SetRecordWrites(bool b) { m_bRecord = b; }
  // Records only the writes of these attributes (all when empty): a reader
  // that follows a few attributes then does not pay for copying the rest.
  // The observer still sees every write.
  void SetRecordedAttributes(std::vector<int> attrIds) { m_recordedAttrs = std::move(attrIds); }
  // Called with each write and clear as it happens, whether or not writes
  // are recorded: a host that shows writes as they come keeps none of them
  // (a line of millions of levels makes millions of writes). Empty to stop.
  using WriteObserver = std::function<void(const Write&)>;
  void SetWriteObserver(WriteObserver observer) { m_observer = std::move(observer); }
  // One SetValueRuns call over non-negative indexes, as its caller gave it.
  // It stands for the writes that RunWrite lists, element by element and,
  // within an element, run by run.
  struct RunWrites {
    const VyrValueRun* pRuns;
    int nRuns;
    int nFirstIndex;
    int nCount;
    int nScope;
  };
  // The write that run r makes at its element k, as the single call would
  // report it.
  static Write RunWrite(const RunWrites& runs, int r, int k);
  // Called once with each such call instead of the write observer's calls
  // for its elements, so that the runs stay stored a page at a time (a scan
  // line is one call of a million elements). Writes of single elements, and
  // runs over negative indexes, still go to the write observer one by one.
  // Empty (the default): the write observer sees every write.
  using RunObserver = std::function<void(const RunWrites&)>;
  void SetRunObserver(RunObserver observer) { m_runObserver = std::move(observer); }
  const std::vector<Write>& GetWrites() const { return m_writes; }
  void ClearWrites() { m_writes.clear(); }
  std::uint64_t GetWriteCount() const { return m_nWriteCount; }
  void Clear();

 private:
  // A pointer that copies what it points to, so that a copy of the data
  // state owns pages of its own.
  template <class T>
  class CopyingPtr {
   public:
    CopyingPtr() = default;
    CopyingPtr(const CopyingPtr& o) : m_p(o.m_p ? std::make_unique<T>(*o.m_p) : nullptr) {}
    CopyingPtr& operator=(const CopyingPtr& o) {
      m_p = o.m_p ? std::make_unique<T>(*o.m_p) : nullptr;
      return *this;
    }
    T* get() const { return m_p.get(); }
    T& Make() {
      if (!m_p) m_p = std::make_unique<T>();
      return *m_p;
    }

   private:
    std::unique_ptr<T> m_p;
  };

  static constexpr int kPageBits = 8;
  static constexpr int kPageSize = 1 << kPageBits;
  static constexpr int kDirectoryBits = 11;  // a directory covers 2^19 elements

  struct Page {
    std::array<Kind, kPageSize> kinds{};
    std::array<double, kPageSize> values{};  // a real, or an int (held exactly)
    // The text entry (in m_texts) of each element, -1 for none; made with the
    // page's first text, and kept across clears for reuse.
    CopyingPtr<std::array<std::int32_t, kPageSize>> texts;
  };
  struct Directory {
    std::array<CopyingPtr<Page>, 1 << kDirectoryBits> pages;
  };
  // Elements 0 to 2^31 - 1: the index, or for a negative index -1 - index.
  struct PageTable {
    std::vector<CopyingPtr<Directory>> directories;
    Page* Find(std::uint32_t nElement) const;
    Page& Make(std::uint32_t nElement);
  };
  struct Column {
    PageTable positive;
    PageTable negative;
  };
  struct Element {
    Page* pPage;
    int nOffset;
  };

  // The columns used last, by a hash of attribute and scope, each with its
  // page of non-negative elements used last: decoding one message touches a
  // handful of columns thousands of times. Column and page addresses stay
  // valid until Clear, which empties the cache too; a copy of the data state
  // starts with an empty cache of its own.
  struct CachedColumn {
    std::uint64_t nKey = 0;
    Column* pColumn = nullptr;
    Page* pPage = nullptr;  // the page of elements nFirst to nFirst + kPageSize - 1
    int nFirst = 0;
  };
  struct ColumnCache {
    static constexpr size_t kSize = 32;
    ColumnCache() = default;
    ColumnCache(const ColumnCache&) {}
    ColumnCache& operator=(const ColumnCache&) {
      entries.fill(CachedColumn{});
      return *this;
    }
    std::array<CachedColumn, kSize> entries{};
  };

  CachedColumn& CacheEntry(std::uint64_t nKey) const;
  Column* FindColumn(std::uint64_t nKey, bool bCreate) const;
  Element CachedElement(int nAttrId, int nIndex, int nScope) const;
  Element ElementForWrite(int nAttrId, int nIndex, int nScope);
  Element ElementForRead(int nAttrId, int nIndex, int nScope) const;
  // A write or clear at scope 0 changes the plan generation.
  void NoteWrite(int nScope) {
    if (nScope == kVyrScopeFrequencyPlan) m_bPlanChanged = true;
  }
  bool IsRecorded(int nAttrId) const;
  bool IsWatched(int nAttrId) const;
  void Record(int nAttrId, int nIndex, int nScope, Op op, Element e);
  void Notify(int nAttrId, int nIndex, int nScope, Op op, Element e);
  void StoreText(Element e, const char* psz);
  void StorePagedRun(const VyrValueRun& run, int nFirstIndex, int nCount, int nScope);
  void RecordRuns(const RunWrites& runWrites, const std::vector<int>& runs);
  void StoreRunElement(const VyrValueRun& run, int k, int nIndex, int nScope, int nFlags);

  // Mutable: a read creates no column, but finding one fills the cache.
  mutable std::unordered_map<std::uint64_t, Column> m_columns;
  mutable ColumnCache m_columnCache;
  std::vector<std::string> m_texts;
  std::vector<Write> m_writes;
  WriteObserver m_observer;
  RunObserver m_runObserver;
  std::uint64_t m_nWriteCount = 0;
  bool m_bRecord = false;
  std::vector<int> m_recordedAttrs;  // empty: every attribute
  std::vector<int> m_singleRuns;     // SetValueRuns's work lists, kept for their capacity
  std::vector<int> m_recordedRuns;
  bool m_bSortOutputSuppressed = false;
  // The plan generation, drawn afresh when asked for after a change at scope 0.
  mutable std::uint64_t m_nPlanGeneration = 0;
  mutable bool m_bPlanChanged = true;
};
