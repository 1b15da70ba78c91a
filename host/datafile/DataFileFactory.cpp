#include "DataFileFactory.h"

#include <cctype>
#include <mutex>

namespace {
std::mutex& FactoryLock() {
  static std::mutex m;
  return m;
}
std::vector<CDataFileFactoryHelper::Registration>& Factories() {
  static std::vector<CDataFileFactoryHelper::Registration> r;
  return r;
}
bool EqualsIgnoreCase(const CString& a, const char* b) {
  const char* p = a;
  for (; *p && *b; ++p, ++b)
    if (std::tolower(static_cast<unsigned char>(*p)) != std::tolower(static_cast<unsigned char>(*b))) return false;
  return *p == 0 && *b == 0;
}
}  // namespace

CDataFileFactoryHelper::CDataFileFactoryHelper(const char* pszTypeName, const char* const* pszExtensions,
                                               std::uint64_t qwFlags, VyrCreateDataFileFn pfnCreate, bool bEnabled,
                                               const char* pszOptions, int nPriority) {
  Registration r{CString(pszTypeName), {}, qwFlags, pfnCreate, bEnabled, CString(pszOptions), nPriority};
  // The list is kept as given, its closing empty string included.
  for (const char* const* p = pszExtensions; p && *p; ++p) {
    r.extensions.emplace_back(*p);
    if (!**p) break;
  }
  std::lock_guard<std::mutex> lock(FactoryLock());
  Factories().push_back(std::move(r));
}

std::vector<CDataFileFactoryHelper::Registration> CDataFileFactoryHelper::GetRegistrations() {
  std::lock_guard<std::mutex> lock(FactoryLock());
  return Factories();
}

size_t CDataFileFactoryHelper::GetRegistrationCount() {
  std::lock_guard<std::mutex> lock(FactoryLock());
  return Factories().size();
}

void CDataFileFactoryHelper::WithdrawFrom(size_t nFirst) {
  std::lock_guard<std::mutex> lock(FactoryLock());
  if (nFirst < Factories().size()) Factories().resize(nFirst);
}

bool CDataFileFactoryHelper::FindByTypeName(const char* pszTypeName, Registration& out) {
  std::lock_guard<std::mutex> lock(FactoryLock());
  for (auto it = Factories().rbegin(); it != Factories().rend(); ++it)
    if (it->strTypeName == pszTypeName) {
      out = *it;
      return true;
    }
  return false;
}

bool CDataFileFactoryHelper::FindByExtension(const char* pszExtension, Registration& out) {
  if (!pszExtension) return false;
  if (*pszExtension == '.') ++pszExtension;
  std::lock_guard<std::mutex> lock(FactoryLock());
  for (auto it = Factories().rbegin(); it != Factories().rend(); ++it)
    for (const CString& ext : it->extensions)
      if (!ext.IsEmpty() && EqualsIgnoreCase(ext, pszExtension)) {
        out = *it;
        return true;
      }
  return false;
}
