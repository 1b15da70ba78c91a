// The host's store of attribute values. Every value is addressed by an
// attribute id, an element index and a scope (0 for a scan's frequency plan,
// 2147483647 for everything else); it is read back with the scope it was
// written with. A read of an element that holds nothing answers "no value".
#pragma once

#include <cstdint>

#include "VyrRetVal.h"

class IVyrDataStateRuns;

constexpr std::int32_t kVyrScopeFrequencyPlan = 0;
constexpr std::int32_t kVyrScopeMessage = 2147483647;

class IVyrDataState {
 public:
  virtual ~IVyrDataState() = default;
  virtual void SetTextValue(int nAttrId, const char* pszValue, int nIndex, int nScope, int nFlags) = 0;
  virtual void SetIntValue(int nAttrId, std::int32_t nValue, int nIndex, int nScope, int nFlags) = 0;
  virtual void SetRealValue(int nAttrId, double dValue, int nIndex, int nScope, int nFlags) = 0;
  virtual void ClearValue(int nAttrId, int nIndex, int nScope, int nFlags) = 0;
  virtual bool IsSortOutputSuppressed() const = 0;
  virtual VyrRetVal GetValue(int nAttrId, int nIndex, int nScope) const = 0;
  // The same value as GetValue; hosts may answer it from another store.
  virtual VyrRetVal GetValueAlt(int nAttrId, int nIndex, int nScope) const = 0;
  // The run operations below, or null when this data state lacks them (the
  // default): a caller then makes the single calls.
  virtual IVyrDataStateRuns* QueryRuns() { return nullptr; }
  // A number that stays the same for as long as the values of scope 0 (the
  // frequency plan) do: every write or clear at scope 0, and emptying the
  // data state, give a new number, one that no data state of the process
  // gave before. A decoder may keep what it read at scope 0, across
  // messages, while the number stays the same. 0 (the default): this data
  // state gives no such number, and values are read afresh.
  virtual std::uint64_t GetPlanGeneration() const { return 0; }
};

// One attribute of a run write: its values for the run's elements, reals or
// 32-bit integers. A real below dClearBelow clears its element instead of
// being stored (-infinity: every real is stored; a NaN is always stored).
struct VyrValueRun {
  int nAttrId;
  const double* pReals;       // nCount reals, or null for pInts
  const std::int32_t* pInts;  // nCount integers, read when pReals is null
  double dClearBelow;
};

// Optional operations that store or read a run of consecutive elements in one
// call, for decoders that write hundreds of elements per message. Each has
// exactly the effect of the single calls it stands for, in the same order, so
// a host that records writes records the same list.
class IVyrDataStateRuns {
 public:
  virtual ~IVyrDataStateRuns() = default;
  // For each element k in [0, nCount) in turn, and for each of the nRuns runs
  // in turn: SetRealValue or ClearValue (reals) or SetIntValue (integers) of
  // the run's element k at index nFirstIndex + k. nFirstIndex + nCount - 1
  // must not pass 2147483647.
  virtual void SetValueRuns(const VyrValueRun* pRuns, int nRuns, int nFirstIndex, int nCount, int nScope,
                            int nFlags) = 0;
  // pOut[k] = GetValue(nAttrId, nFirstIndex + k, nScope) for k in [0, nCount),
  // under the same bound on the indexes.
  virtual void GetValueRun(int nAttrId, int nFirstIndex, int nCount, int nScope, VyrRetVal* pOut) const = 0;
};

// The host's cell-reference interfaces; this host has no cell data.
class IKelCellRefs_Search {
 public:
  virtual ~IKelCellRefs_Search() = default;
};
class IKelCellRefs_File {
 public:
  virtual ~IKelCellRefs_File() = default;
};
