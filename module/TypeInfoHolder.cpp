#include "TypeInfoHolder.h"

#include <atomic>
#include <new>

#include "ComModule.h"
#include "KelFSD.h"

CComTypeInfoHolder s_dataFileTypeInfo = {&IID_IKelFSD_DataFile, &LIBID_KelFSD, 1, 0, nullptr, nullptr, 0};

namespace {
int OleStrLen(const OLECHAR* p) {
  int n = 0;
  while (p && p[n]) ++n;
  return n;
}

// The type information is published once, under the lock, and read without
// it by readers on any thread: the pointer is read and written atomically,
// so that a thread that sees it also sees the name cache loaded before it.
ITypeInfo* LoadedInfo(ITypeInfo*& pInfo) { return std::atomic_ref<ITypeInfo*>(pInfo).load(std::memory_order_acquire); }

bool SameName(const KelNameCacheEntry& e, const OLECHAR* psz, int nLen) {
  if (e.nLen != nLen || !e.bstrName) return false;
  for (int i = 0; i < nLen; ++i)
    if (e.bstrName[i] != psz[i]) return false;  // letter case matters
  return true;
}
}  // namespace

HRESULT CComTypeInfoHolder::EnsureTI(LCID lcid) {
  if (LoadedInfo(m_pInfo) && m_pMap) return S_OK;
  return LoadTI(lcid);
}

HRESULT CComTypeInfoHolder::LoadTI(LCID lcid) {
  if (LoadedInfo(m_pInfo)) return S_OK;
  HRESULT hr = S_OK;
  EnterCriticalSection(&s_comModule.m_csTypeInfoHolder);
  if (!m_pInfo) {  // tested again: another thread may have loaded it meanwhile
    ITypeLib* pTypeLib = nullptr;
    hr = LoadRegTypeLib(*m_plibid, m_wMajor, m_wMinor, lcid, &pTypeLib);
    if (SUCCEEDED(hr)) {
      ITypeInfo* pTypeInfo = nullptr;
      hr = pTypeLib->GetTypeInfoOfGuid(*m_pguid, &pTypeInfo);
      if (SUCCEEDED(hr)) {
        // Prefer the richer ITypeInfo2 form when the library offers it.
        ITypeInfo* pInfo2 = nullptr;
        if (SUCCEEDED(pTypeInfo->QueryInterface(IID_ITypeInfo2, reinterpret_cast<void**>(&pInfo2)))) {
          pTypeInfo->Release();
          pTypeInfo = pInfo2;
        }
        LoadNameCache(pTypeInfo);
        std::atomic_ref<ITypeInfo*>(m_pInfo).store(pTypeInfo, std::memory_order_release);
      }
      pTypeLib->Release();
    }
  }
  LeaveCriticalSection(&s_comModule.m_csTypeInfoHolder);
  // The clean-up is registered also when loading failed; it is harmless to
  // run it more than once.
  s_comModule.AddTermFunc(&CComTypeInfoHolder::Cleanup, reinterpret_cast<std::uintptr_t>(this));
  return hr;
}

void CComTypeInfoHolder::LoadNameCache(ITypeInfo* pTypeInfo) {
  TYPEATTR* pta = nullptr;
  if (FAILED(pTypeInfo->GetTypeAttr(&pta)) || !pta) return;
  int nCount = pta->cFuncs;
  pTypeInfo->ReleaseTypeAttr(pta);
  auto* pMap = new (std::nothrow) KelNameCacheEntry[nCount > 0 ? nCount : 1];
  if (!pMap) return;
  for (int i = 0; i < nCount; ++i) {
    pMap[i] = {nullptr, -1, -1};
    FUNCDESC* pfd = nullptr;
    if (FAILED(pTypeInfo->GetFuncDesc(static_cast<UINT>(i), &pfd)) || !pfd) continue;
    BSTR bstrName = nullptr;
    UINT cNames = 0;
    if (SUCCEEDED(pTypeInfo->GetNames(pfd->memid, &bstrName, 1, &cNames)) && cNames == 1 && bstrName) {
      pMap[i] = {bstrName, static_cast<int>(SysStringLen(bstrName)), pfd->memid};
    }
    pTypeInfo->ReleaseFuncDesc(pfd);
  }
  m_pMap = pMap;
  m_nCount = nCount;
}

void CComTypeInfoHolder::Cleanup(std::uintptr_t dw) {
  auto* p = reinterpret_cast<CComTypeInfoHolder*>(dw);
  if (p->m_pInfo) p->m_pInfo->Release();
  p->m_pInfo = nullptr;
  if (p->m_pMap) {
    for (int i = 0; i < p->m_nCount; ++i) SysFreeString(p->m_pMap[i].bstrName);
    delete[] p->m_pMap;
  }
  p->m_pMap = nullptr;
  p->m_nCount = 0;
}

HRESULT CComTypeInfoHolder::GetTypeInfo(UINT itinfo, LCID lcid, ITypeInfo** pptinfo) {
  if (!pptinfo) return E_POINTER;
  *pptinfo = nullptr;
  if (itinfo != 0) return TYPE_E_ELEMENTNOTFOUND;
  HRESULT hr = EnsureTI(lcid);
  if (FAILED(hr)) return hr;
  if (!m_pInfo) return E_FAIL;
  m_pInfo->AddRef();
  *pptinfo = m_pInfo;
  return S_OK;
}

HRESULT CComTypeInfoHolder::GetIDsOfNames(REFIID, LPOLESTR* rgszNames, UINT cNames, LCID lcid, DISPID* rgdispid) {
  HRESULT hr = EnsureTI(lcid);
  if (FAILED(hr)) return hr;
  if (!m_pInfo) return E_FAIL;
  if (!rgszNames || !rgdispid) return E_POINTER;
  bool allCached = m_pMap != nullptr;
  for (UINT i = 0; allCached && i < cNames; ++i) {
    int nLen = OleStrLen(rgszNames[i]);
    bool hit = false;
    for (int j = m_nCount - 1; j >= 0 && !hit; --j) {  // searched from the last entry
      if (SameName(m_pMap[j], rgszNames[i], nLen)) {
        rgdispid[i] = m_pMap[j].id;
        hit = true;
      }
    }
    allCached = hit;
  }
  if (allCached) return S_OK;
  // A name without a hit: the type information resolves the whole call.
  return m_pInfo->GetIDsOfNames(rgszNames, cNames, rgdispid);
}

HRESULT CComTypeInfoHolder::Invoke(void* pvInstance, DISPID dispidMember, REFIID, LCID lcid, WORD wFlags,
                                   DISPPARAMS* pdispparams, VARIANT* pvarResult, EXCEPINFO* pexcepinfo,
                                   UINT* puArgErr) {
  HRESULT hr = EnsureTI(lcid);
  if (FAILED(hr)) return hr;
  if (!m_pInfo) return E_FAIL;
  return m_pInfo->Invoke(pvInstance, dispidMember, wFlags, pdispparams, pvarResult, pexcepinfo, puArgErr);
}
