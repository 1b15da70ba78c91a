// A data state whose start is a guess: a piece of a log decoded side by side
// with the pieces before it starts from what its last header lays down, not
// from what the messages before it left. Every value the decode reads that it
// did not write itself came from the guess; each is kept (its first read),
// so that once the pieces before are done the guess can be checked against
// the state they really left, and the writes of the piece can be laid over
// that state in turn.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <unordered_map>

#include "MemoryDataState.h"

namespace vyr::detail {

// A read value in a form that compares exactly: a real by its bits.
struct SeenValue {
  bool bHeld = false;
  std::int32_t nType = 0;
  std::uint64_t nBits = 0;
  std::string strText;

  static SeenValue Of(const VyrRetVal& v);
  bool operator==(const SeenValue&) const = default;
};

class CSeededDataState final : public IVyrDataState, public IVyrDataStateRuns {
 public:
  explicit CSeededDataState(CVyrMemoryDataState& inner) : m_inner(inner) {}

  void SetTextValue(int nAttrId, const char* pszValue, int nIndex, int nScope, int nFlags) override;
  void SetIntValue(int nAttrId, std::int32_t nValue, int nIndex, int nScope, int nFlags) override;
  void SetRealValue(int nAttrId, double dValue, int nIndex, int nScope, int nFlags) override;
  void ClearValue(int nAttrId, int nIndex, int nScope, int nFlags) override;
  bool IsSortOutputSuppressed() const override { return m_inner.IsSortOutputSuppressed(); }
  VyrRetVal GetValue(int nAttrId, int nIndex, int nScope) const override;
  VyrRetVal GetValueAlt(int nAttrId, int nIndex, int nScope) const override { return GetValue(nAttrId, nIndex, nScope); }
  IVyrDataStateRuns* QueryRuns() override { return this; }
  std::uint64_t GetPlanGeneration() const override { return m_inner.GetPlanGeneration(); }
  void SetValueRuns(const VyrValueRun* pRuns, int nRuns, int nFirstIndex, int nCount, int nScope,
                    int nFlags) override;
  void GetValueRun(int nAttrId, int nFirstIndex, int nCount, int nScope, VyrRetVal* pOut) const override;

  // From now on, reads of what was not written since are kept (the state
  // as it stands is the guess).
  void StartGuess() { m_bGuessing = true; }
  // Whether every value read from the guess is what real gives.
  bool GuessHolds(const IVyrDataState& real) const;
  // Writes into real every element the piece wrote or cleared since
  // StartGuess, with the value it holds now.
  void LayOver(IVyrDataState& real) const;

 private:
  struct Key {
    std::uint64_t nColumn;
    std::int64_t nIndex;
    bool operator==(const Key&) const = default;
  };
  struct KeyHash {
    size_t operator()(const Key& k) const { return std::hash<std::uint64_t>()(k.nColumn * 0x9E3779B97F4A7C15ULL ^ static_cast<std::uint64_t>(k.nIndex)); }
  };
  // The elements written, per column: [first, end) by first.
  using Ranges = std::map<std::int64_t, std::int64_t>;

  void Touch(int nAttrId, int nScope, std::int64_t nFirst, std::int64_t nEnd);
  bool Touched(std::uint64_t nColumn, std::int64_t nIndex) const;
  void Seen(int nAttrId, int nIndex, int nScope, const VyrRetVal& v) const;

  CVyrMemoryDataState& m_inner;
  bool m_bGuessing = false;
  std::unordered_map<std::uint64_t, Ranges> m_touched;
  mutable std::unordered_map<Key, SeenValue, KeyHash> m_seen;
};

}  // namespace vyr::detail
