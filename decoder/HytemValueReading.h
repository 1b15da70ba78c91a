// Reading numbers back from the data state and from payloads, for the scan
// decoding routines.
#pragma once

#include <cstdint>

#include "NameValuePayload.h"
#include "VyrRetVal.h"

class CVyrGenericHsMessage;

// True when the record holds a value (status 0) in a numeric form.
inline bool HytemRetValIsNumber(const VyrRetVal& v) {
  return v.m_nStatus == VYR_RV_STATUS_OK && v.m_nType >= VYR_RV_DOUBLE && v.m_nType <= VYR_RV_BYTE;
}

// The number a record holds, whatever its numeric form; 0 for no value, a
// text or an unknown form. Inline: every level of a channel log is read back.
inline double HytemRetValNumber(const VyrRetVal& v) {
  if (v.m_nStatus != VYR_RV_STATUS_OK) return 0;
  switch (v.m_nType) {
    case VYR_RV_DOUBLE: return v.m_value.d;
    case VYR_RV_FLOAT: return v.m_value.f;
    case VYR_RV_INT64: return static_cast<double>(v.m_value.i64);
    case VYR_RV_UINT64: return static_cast<double>(v.m_value.u64);
    case VYR_RV_UINT32: return v.m_value.u32;
    case VYR_RV_INT32: return v.m_value.i32;
    case VYR_RV_UINT16: return v.m_value.u16;
    case VYR_RV_INT16: return v.m_value.i16;
    case VYR_RV_UINT8:
    case VYR_RV_BYTE: return v.m_value.u8;
    case VYR_RV_INT8: return v.m_value.i8;
    default: return 0;
  }
}

// The same as an integer: integer forms as they are (64-bit unsigned values
// beyond the signed range saturate), reals truncated toward zero.
std::int64_t HytemRetValInt64(const VyrRetVal& v);

// Truncation toward zero that saturates at the type's limits; NaN gives 0.
std::int64_t HytemTruncToInt64(double d);
std::int32_t HytemTruncToInt32(double d);
std::int32_t HytemClampToInt32(std::int64_t n);

// A value looked up by name in a message's payload, released when it goes.
class CHytemPayloadValue {
 public:
  CHytemPayloadValue(const CVyrGenericHsMessage& msg, const char* pszName) { NameValueGetValue(msg, pszName, &m_psz); }
  ~CHytemPayloadValue() { NameValueFreeValue(m_psz); }
  CHytemPayloadValue(const CHytemPayloadValue&) = delete;
  CHytemPayloadValue& operator=(const CHytemPayloadValue&) = delete;

  explicit operator bool() const { return m_psz != nullptr; }
  const char* c_str() const { return m_psz ? m_psz : ""; }

 private:
  char* m_psz = nullptr;
};
