#include "ComModule.h"

#include <new>

CKelComModule s_comModule = {0, {}, {}, {}, nullptr, nullptr};

void CKelComModule::Init() {
  m_nLockCnt = 0;
  m_pObjMap = nullptr;
  m_pTermFuncs = nullptr;
  InitializeCriticalSection(&m_csTypeInfoHolder);
  InitializeCriticalSection(&m_csWindowCreate);
  InitializeCriticalSection(&m_csObjMap);
}

void CKelComModule::Term() {
  DeleteCriticalSection(&m_csTypeInfoHolder);
  DeleteCriticalSection(&m_csWindowCreate);
  DeleteCriticalSection(&m_csObjMap);
  while (TermEntry* e = m_pTermFuncs) {
    m_pTermFuncs = e->pNext;
    e->pfn(e->dw);
    delete e;
  }
}

HRESULT CKelComModule::AddTermFunc(KelTermFunc pfn, std::uintptr_t dw) {
  auto* e = new (std::nothrow) TermEntry{pfn, dw, nullptr};
  if (!e) return E_OUTOFMEMORY;
  EnterCriticalSection(&m_csTypeInfoHolder);
  e->pNext = m_pTermFuncs;
  m_pTermFuncs = e;
  LeaveCriticalSection(&m_csTypeInfoHolder);
  return S_OK;
}
