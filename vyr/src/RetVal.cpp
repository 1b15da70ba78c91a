#include "RetVal.h"

namespace vyr::detail {

bool RetValNumber(const VyrRetVal& v, double& d) {
  if (v.m_nStatus != VYR_RV_STATUS_OK) return false;
  switch (v.m_nType) {
    case VYR_RV_DOUBLE: d = v.m_value.d; return true;
    case VYR_RV_FLOAT: d = v.m_value.f; return true;
    case VYR_RV_INT64: d = static_cast<double>(v.m_value.i64); return true;
    case VYR_RV_UINT64: d = static_cast<double>(v.m_value.u64); return true;
    case VYR_RV_UINT32: d = v.m_value.u32; return true;
    case VYR_RV_INT32: d = v.m_value.i32; return true;
    case VYR_RV_UINT16: d = v.m_value.u16; return true;
    case VYR_RV_INT16: d = v.m_value.i16; return true;
    case VYR_RV_UINT8:
    case VYR_RV_BYTE: d = v.m_value.u8; return true;
    case VYR_RV_INT8: d = v.m_value.i8; return true;
    default: return false;
  }
}

}  // namespace vyr::detail
