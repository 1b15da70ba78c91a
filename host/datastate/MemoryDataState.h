// The host's in-memory data state. Values live by (attribute, scope), indexed
// by element: small non-negative indexes in a dense array, all others in a
// hash map, so that a stray index costs one entry, not an array of that size.
// It can record every write and clear, so that a host can show what decoding
// one message did.
#pragma once

#include <array>
#include <cstdint>
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
  void SetValueRuns(const VyrValueRun* pRuns, int nRuns, int nFirstIndex, int nCount, int nScope,
                    int nFlags) override;
  void GetValueRun(int nAttrId, int nFirstIndex, int nCount, int nScope, VyrRetVal* pOut) const override;

  void SetSortOutputSuppressed(bool b) { m_bSortOutputSuppressed = b; }
  // Recording of writes: off by default. The count of writes and clears is
  // always kept.
  void SetRecordWrites(bool b) { m_bRecord = b; }
  // Records only the writes of these attributes (all when empty): a reader
  // that follows a few attributes then does not pay for copying the rest.
  void SetRecordedAttributes(std::vector<int> attrIds) { m_recordedAttrs = std::move(attrIds); }
  const std::vector<Write>& GetWrites() const { return m_writes; }
  void ClearWrites() { m_writes.clear(); }
  std::uint64_t GetWriteCount() const { return m_nWriteCount; }
  void Clear();

 private:
  struct Slot {
    Kind kind = Kind::None;
    std::int32_t nValue = 0;
    double dValue = 0;
    std::int32_t nText = -1;  // index into m_texts, kept across clears for reuse
  };
  struct Column {
    std::vector<Slot> dense;
    std::unordered_map<int, Slot> sparse;
  };

  // The columns used last, by a hash of attribute and scope: decoding one
  // message touches a handful of columns thousands of times. Column
  // addresses stay valid until Clear, which empties the cache too; a copy
  // of the data state starts with an empty cache of its own.
  struct CachedColumn {
    std::uint64_t nKey = 0;
    Column* pColumn = nullptr;
    Slot* pDense = nullptr;  // the column's dense array, as it stands
    size_t nDense = 0;
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

  Column& ColumnForWrite(std::uint64_t nKey);
  Column* ColumnForRead(std::uint64_t nKey) const;
  Slot* CachedDenseSlot(int nAttrId, int nIndex, int nScope) const;
  Slot* SlotForWrite(int nAttrId, int nIndex, int nScope);
  const Slot* SlotForRead(int nAttrId, int nIndex, int nScope) const;
  bool IsRecorded(int nAttrId) const;
  void Record(int nAttrId, int nIndex, int nScope, Op op, const Slot& slot);
  void AppendWrite(int nAttrId, int nIndex, int nScope, Op op, const Slot& slot);
  void StoreText(Slot& slot, const char* psz);
  void StoreDenseRun(const VyrValueRun& run, int nFirstIndex, int nCount, int nScope);
  void StoreRunElement(const VyrValueRun& run, int k, int nIndex, int nScope, int nFlags);

  std::unordered_map<std::uint64_t, Column> m_columns;
  mutable ColumnCache m_columnCache;
  std::vector<std::string> m_texts;
  std::vector<Write> m_writes;
  std::uint64_t m_nWriteCount = 0;
  bool m_bRecord = false;
  std::vector<int> m_recordedAttrs;  // empty: every attribute
  std::vector<int> m_singleRuns;     // SetValueRuns's work list, kept for its capacity
  bool m_bSortOutputSuppressed = false;
};
