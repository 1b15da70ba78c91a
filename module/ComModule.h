// The module's COM bookkeeping: the count of live reader objects, the
// critical sections, and the termination list that ExitInstance runs.
#pragma once

#include <cstdint>

#include "comtypes.h"
#include "winbase.h"

using KelTermFunc = void (*)(std::uintptr_t dw);

struct CKelComModule {
  // Sets up the bookkeeping: lock count 0, an empty class table, the three
  // critical sections and an empty termination list.
  void Init();
  // Deletes the critical sections, then calls every termination function
  // with its argument, newest first, freeing each entry after its call.
  void Term();

  // Termination functions are added under the first critical section, which
  // also guards the loading of type information.
  HRESULT AddTermFunc(KelTermFunc pfn, std::uintptr_t dw);

  LONG Lock() { return InterlockedIncrement(&m_nLockCnt); }
  LONG Unlock() { return InterlockedDecrement(&m_nLockCnt); }
  LONG GetLockCount() const { return m_nLockCnt; }

  struct TermEntry {
    KelTermFunc pfn;
    std::uintptr_t dw;
    TermEntry* pNext;
  };

  LONG m_nLockCnt;
  CRITICAL_SECTION m_csTypeInfoHolder;  // type information and termination list
  CRITICAL_SECTION m_csWindowCreate;
  CRITICAL_SECTION m_csObjMap;
  TermEntry* m_pTermFuncs;
  const void* m_pObjMap;  // creatable classes: none, readers come from the data-file registration
};

// Constant-initialised, so that it exists before any static constructor runs.
extern CKelComModule s_comModule;
