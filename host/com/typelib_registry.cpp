#include <mutex>
#include <vector>

#include "comtypes.h"

namespace {
struct Registration {
  GUID libid;
  WORD wMajor;
  WORD wMinor;
  TypeLibFactory factory;
};
std::mutex& RegistryLock() {
  static std::mutex m;
  return m;
}
std::vector<Registration>& Registry() {
  static std::vector<Registration> r;
  return r;
}
}  // namespace

void RegisterTypeLib(REFGUID libid, WORD wMajor, WORD wMinor, TypeLibFactory factory) {
  std::lock_guard<std::mutex> lock(RegistryLock());
  for (Registration& r : Registry())
    if (r.libid == libid && r.wMajor == wMajor && r.wMinor == wMinor) {
      r.factory = factory;
      return;
    }
  Registry().push_back({libid, wMajor, wMinor, factory});
}

void UnregisterTypeLib(REFGUID libid, WORD wMajor, WORD wMinor) {
  std::lock_guard<std::mutex> lock(RegistryLock());
  auto& reg = Registry();
  std::erase_if(reg, [&](const Registration& r) {
    return r.libid == libid && r.wMajor == wMajor && r.wMinor == wMinor;
  });
}

HRESULT LoadRegTypeLib(REFGUID libid, WORD wMajor, WORD wMinor, LCID lcid, ITypeLib** ppLib) {
  if (!ppLib) return E_POINTER;
  *ppLib = nullptr;
  TypeLibFactory factory = nullptr;
  {
    std::lock_guard<std::mutex> lock(RegistryLock());
    for (const Registration& r : Registry())
      if (r.libid == libid && r.wMajor == wMajor && r.wMinor == wMinor) factory = r.factory;
  }
  if (!factory) return TYPE_E_LIBNOTREGISTERED;
  return factory(lcid, ppLib);
}
