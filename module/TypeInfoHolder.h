// Type information of a dual interface, shared by every object of the module
// that serves it: loaded from the host's registered type library on first
// need, with a cache of member names for GetIDsOfNames.
#pragma once

#include <cstdint>

#include "comtypes.h"

struct KelNameCacheEntry {
  BSTR bstrName;  // null when the member's name could not be read
  int nLen;       // -1 for such an entry, so that it matches no name
  DISPID id;
};

struct CComTypeInfoHolder {
  const GUID* m_pguid;
  const GUID* m_plibid;
  WORD m_wMajor;
  WORD m_wMinor;
  ITypeInfo* m_pInfo;
  KelNameCacheEntry* m_pMap;
  int m_nCount;

  HRESULT GetTypeInfo(UINT itinfo, LCID lcid, ITypeInfo** pptinfo);
  HRESULT GetIDsOfNames(REFIID riid, LPOLESTR* rgszNames, UINT cNames, LCID lcid, DISPID* rgdispid);
  // pvInstance is the object's pointer of the interface that the type information describes.
  // pvInstance: the object's pointer of the interface that the information describes.
  HRESULT Invoke(void* pvInstance, DISPID dispidMember, REFIID riid, LCID lcid, WORD wFlags, DISPPARAMS* pdispparams,
                 VARIANT* pvarResult, EXCEPINFO* pexcepinfo, UINT* puArgErr);

  // Loads the type information if it is not yet loaded.
  HRESULT EnsureTI(LCID lcid);
  // Releases the type information and the name cache (a termination function).
  static void Cleanup(std::uintptr_t dw);

 private:
  HRESULT LoadTI(LCID lcid);
  void LoadNameCache(ITypeInfo* pTypeInfo);
};

// The type information of IKelFSD_DataFile, shared by all readers.
extern CComTypeInfoHolder s_dataFileTypeInfo;
