#include "FormatDriver.h"

#include <cstring>
#include <mutex>

namespace {
std::mutex& DriverLock() {
  static std::mutex m;
  return m;
}
std::vector<const KelFormatDriver*>& Drivers() {
  static std::vector<const KelFormatDriver*> d;
  return d;
}
}  // namespace

void CFormatDriverRegistry::Add(const KelFormatDriver* pDriver) {
  if (!pDriver) return;
  std::lock_guard<std::mutex> lock(DriverLock());
  Drivers().push_back(pDriver);
}

std::vector<const KelFormatDriver*> CFormatDriverRegistry::GetDrivers() {
  std::lock_guard<std::mutex> lock(DriverLock());
  return Drivers();
}

size_t CFormatDriverRegistry::GetCount() {
  std::lock_guard<std::mutex> lock(DriverLock());
  return Drivers().size();
}

void CFormatDriverRegistry::WithdrawFrom(size_t nFirst) {
  std::lock_guard<std::mutex> lock(DriverLock());
  if (nFirst < Drivers().size()) Drivers().resize(nFirst);
}

const KelFormatDriver* CFormatDriverRegistry::FindByTypeName(const char* pszTypeName) {
  if (!pszTypeName) return nullptr;
  std::lock_guard<std::mutex> lock(DriverLock());
  for (auto it = Drivers().rbegin(); it != Drivers().rend(); ++it)
    if ((*it)->pszTypeName && std::strcmp((*it)->pszTypeName, pszTypeName) == 0) return *it;
  return nullptr;
}

const KelFormatDriver* CFormatDriverRegistry::FindByDeviceType(int nDeviceType) {
  std::lock_guard<std::mutex> lock(DriverLock());
  for (auto it = Drivers().rbegin(); it != Drivers().rend(); ++it)
    if ((*it)->nDeviceType == nDeviceType) return *it;
  return nullptr;
}
