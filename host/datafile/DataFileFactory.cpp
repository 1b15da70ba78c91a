#include "DataFileFactory.h"

#include <cctype>
#include <mutex>

#include "FormatDriver.h"

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

namespace {
bool HasExtension(const CDataFileFactoryHelper::Registration& r, const char* pszExtension) {
  for (const CString& ext : r.extensions)
    if (!ext.IsEmpty() && EqualsIgnoreCase(ext, pszExtension)) return true;
  return false;
}

// How well a type fits a file: 2 its probe accepts the bytes, 1 it has no
// probe, 0 its probe refuses them.
int ContentFit(const CDataFileFactoryHelper::Registration& r, const char* pHead, size_t nHead) {
  const KelFormatDriver* pDriver = CFormatDriverRegistry::FindByTypeName(r.strTypeName);
  if (!pDriver || !pDriver->pfnIdentify) return 1;
  return pDriver->pfnIdentify(pHead ? pHead : "", pHead ? nHead : 0) ? 2 : 0;
}
}  // namespace

bool CDataFileFactoryHelper::FindForFile(const char* pszExtension, const char* pHead, size_t nHead,
                                         Registration& out) {
  if (pszExtension && *pszExtension == '.') ++pszExtension;
  std::vector<Registration> all = GetRegistrations();
  // Registrations by extension first; without one, any whose probe accepts.
  for (bool byExtension : {true, false}) {
    const Registration* pBest = nullptr;
    int nBestFit = -1;
    for (auto it = all.rbegin(); it != all.rend(); ++it) {
      if (byExtension && !(pszExtension && *pszExtension && HasExtension(*it, pszExtension))) continue;
      int nFit = ContentFit(*it, pHead, nHead);
      if (!byExtension && nFit != 2) continue;
      if (nFit > nBestFit || (nFit == nBestFit && it->nPriority > pBest->nPriority)) {
        pBest = &*it;
        nBestFit = nFit;
      }
    }
    if (pBest) {
      out = *pBest;
      return true;
    }
  }
  return false;
}
