// Critical sections and interlocked counts over the standard library.
#pragma once

#include <atomic>
#include <mutex>

#include "afxtypes.h"

// Windows critical sections may be entered again by the owning thread.
struct CRITICAL_SECTION {
  std::recursive_mutex* pMutex = nullptr;
};

inline void InitializeCriticalSection(CRITICAL_SECTION* pcs) { pcs->pMutex = new std::recursive_mutex; }
inline void DeleteCriticalSection(CRITICAL_SECTION* pcs) {
  delete pcs->pMutex;
  pcs->pMutex = nullptr;
}
inline void EnterCriticalSection(CRITICAL_SECTION* pcs) { pcs->pMutex->lock(); }
inline void LeaveCriticalSection(CRITICAL_SECTION* pcs) { pcs->pMutex->unlock(); }

inline LONG InterlockedIncrement(LONG volatile* p) {
  return std::atomic_ref<LONG>(*const_cast<LONG*>(p)).fetch_add(1) + 1;
}
inline LONG InterlockedDecrement(LONG volatile* p) {
  return std::atomic_ref<LONG>(*const_cast<LONG*>(p)).fetch_sub(1) - 1;
}
