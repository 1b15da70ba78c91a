#include "VyrRetVal.h"

#include <cstdlib>
#include <cstring>

namespace {
// Text buffers: a 32-bit length, then the text and its terminator.
char* AllocText(const char* psz) {
  if (!psz) psz = "";
  std::uint32_t n = static_cast<std::uint32_t>(std::strlen(psz));
  auto* raw = static_cast<char*>(std::malloc(sizeof n + n + 1));
  if (!raw) return nullptr;
  std::memcpy(raw, &n, sizeof n);
  std::memcpy(raw + sizeof n, psz, n + 1);
  return raw + sizeof n;
}
}  // namespace

VyrRetVal::VyrRetVal(const VyrRetVal& other) { CopyFrom(other); }

VyrRetVal& VyrRetVal::operator=(const VyrRetVal& other) {
  if (this != &other) {
    FreeText();
    CopyFrom(other);
  }
  return *this;
}

void VyrRetVal::FreeText() {
  if (m_nType == VYR_RV_TEXT && m_value.psz) std::free(m_value.psz - sizeof(std::uint32_t));
  m_value.psz = nullptr;
}

void VyrRetVal::CopyFrom(const VyrRetVal& other) {
  m_nStatus = other.m_nStatus;
  m_nType = other.m_nType;
  if (m_nType == VYR_RV_TEXT) m_value.psz = other.m_value.psz ? AllocText(other.m_value.psz) : nullptr;
  else m_value = other.m_value;
}

VyrRetVal VyrRetVal::Text(const char* psz) {
  VyrRetVal r;
  r.m_nStatus = VYR_RV_STATUS_OK;
  r.m_nType = VYR_RV_TEXT;
  r.m_value.psz = AllocText(psz);
  return r;
}
