// The host's store of attribute values. Every value is addressed by an
// attribute id, an element index and a scope (0 for a scan's frequency plan,
// 2147483647 for everything else); it is read back with the scope it was
// written with. A read of an element that holds nothing answers "no value".
#pragma once

#include <cstdint>

#include "VyrRetVal.h"

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
