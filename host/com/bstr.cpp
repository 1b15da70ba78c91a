#include <cstdlib>
#include <cstring>

#include "comtypes.h"

// Layout: a 32-bit byte count, the UTF-16 text, a terminating zero unit.
BSTR SysAllocStringLen(const OLECHAR* pch, UINT cch) {
  auto* raw = static_cast<char*>(std::malloc(sizeof(std::uint32_t) + (cch + 1) * sizeof(OLECHAR)));
  if (!raw) return nullptr;
  std::uint32_t bytes = cch * sizeof(OLECHAR);
  std::memcpy(raw, &bytes, sizeof bytes);
  auto* text = reinterpret_cast<OLECHAR*>(raw + sizeof bytes);
  if (pch) std::memcpy(text, pch, cch * sizeof(OLECHAR));
  else std::memset(text, 0, cch * sizeof(OLECHAR));
  text[cch] = 0;
  return text;
}

BSTR SysAllocString(const OLECHAR* psz) {
  if (!psz) return nullptr;
  UINT n = 0;
  while (psz[n]) ++n;
  return SysAllocStringLen(psz, n);
}

BSTR SysAllocStringFromBytes(const char* psz) {
  if (!psz) psz = "";
  UINT n = static_cast<UINT>(std::strlen(psz));
  BSTR b = SysAllocStringLen(nullptr, n);
  if (!b) return nullptr;
  for (UINT i = 0; i < n; ++i) b[i] = static_cast<unsigned char>(psz[i]);
  return b;
}

UINT SysStringLen(BSTR bstr) {
  if (!bstr) return 0;
  std::uint32_t bytes;
  std::memcpy(&bytes, reinterpret_cast<char*>(bstr) - sizeof bytes, sizeof bytes);
  return bytes / sizeof(OLECHAR);
}

void SysFreeString(BSTR bstr) {
  if (bstr) std::free(reinterpret_cast<char*>(bstr) - sizeof(std::uint32_t));
}
