// The value record that data-state reads return: a status (non-zero = no
// value), a type code and the value. A text lives in a buffer that starts
// four bytes before the text pointer; the record frees it.
#pragma once

#include <cstdint>

enum EVyrRetValType : std::int32_t {
  VYR_RV_DOUBLE = 0,
  VYR_RV_FLOAT = 1,
  VYR_RV_INT64 = 2,
  VYR_RV_UINT64 = 3,
  VYR_RV_UINT32 = 4,
  VYR_RV_INT32 = 5,
  VYR_RV_UINT16 = 6,
  VYR_RV_INT16 = 7,
  VYR_RV_UINT8 = 8,
  VYR_RV_INT8 = 9,
  VYR_RV_BYTE = 10,
  VYR_RV_TEXT = 11,
};

constexpr std::int32_t VYR_RV_STATUS_OK = 0;
constexpr std::int32_t VYR_RV_STATUS_NO_VALUE = 1;

struct VyrRetVal {
  VyrRetVal() = default;
  // Only a text needs releasing; numbers, read millions of times per log,
  // are made and dropped in place.
  ~VyrRetVal() {
    if (m_nType == VYR_RV_TEXT) FreeText();
  }
  VyrRetVal(const VyrRetVal& other);
  VyrRetVal& operator=(const VyrRetVal& other);

  static VyrRetVal NoValue() { return VyrRetVal(); }
  static VyrRetVal Real(double d) {
    VyrRetVal r;
    r.m_nStatus = VYR_RV_STATUS_OK;
    r.m_nType = VYR_RV_DOUBLE;
    r.m_value.d = d;
    return r;
  }
  static VyrRetVal Int(std::int32_t n) {
    VyrRetVal r;
    r.m_nStatus = VYR_RV_STATUS_OK;
    r.m_nType = VYR_RV_INT32;
    r.m_value.i32 = n;
    return r;
  }
  static VyrRetVal Text(const char* psz);

  std::int32_t m_nStatus = VYR_RV_STATUS_NO_VALUE;
  std::int32_t m_nType = VYR_RV_DOUBLE;
  union {
    double d;
    float f;
    std::int64_t i64;
    std::uint64_t u64;
    std::uint32_t u32;
    std::int32_t i32;
    std::uint16_t u16;
    std::int16_t i16;
    std::uint8_t u8;
    std::int8_t i8;
    char* psz;
  } m_value{};

 private:
  void FreeText();
  void CopyFrom(const VyrRetVal& other);
};
