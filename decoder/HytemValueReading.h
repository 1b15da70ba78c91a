// Reading numbers back from the data state and from payloads, for the scan
// decoding routines.
#pragma once

#include <cstdint>

#include "NameValuePayload.h"
#include "VyrRetVal.h"

class CVyrGenericHsMessage;

// True when the record holds a value (status 0) in a numeric form.
bool HytemRetValIsNumber(const VyrRetVal& v);

// The number a record holds, whatever its numeric form; 0 for no value, a
// text or an unknown form.
double HytemRetValNumber(const VyrRetVal& v);

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
