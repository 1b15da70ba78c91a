// The COM object around a data-file reader: reference counting, interface
// lookup over CDataFile's interface table, and IDispatch served through the
// module's shared type information. Single-threaded: the reference count is
// not interlocked; the module's lock count is.
#pragma once

#include <new>

#include "ComModule.h"
#include "DataFile.h"
#include "TypeInfoHolder.h"

template <class Base>
class CComObject final : public Base {
 public:
  CComObject() { s_comModule.Lock(); }

  // Destruction: the count is set to 1 so that references taken and dropped
  // during clean-up cannot start a second destruction.
  ~CComObject() override {
    this->m_dwRef = 1;
    this->FinalRelease();
    s_comModule.Unlock();
  }

  HRESULT QueryInterface(REFIID riid, void** ppv) override { return this->InternalQueryInterface(riid, ppv); }
  ULONG AddRef() override { return static_cast<ULONG>(++this->m_dwRef); }
  ULONG Release() override {
    LONG l = --this->m_dwRef;
    if (l == 0) delete this;
    return static_cast<ULONG>(l);
  }

  HRESULT GetTypeInfoCount(UINT* pctinfo) override {
    if (!pctinfo) return E_POINTER;
    *pctinfo = 1;
    return S_OK;
  }
  HRESULT GetTypeInfo(UINT itinfo, LCID lcid, ITypeInfo** pptinfo) override {
    return s_dataFileTypeInfo.GetTypeInfo(itinfo, lcid, pptinfo);
  }
  HRESULT GetIDsOfNames(REFIID riid, LPOLESTR* rgszNames, UINT cNames, LCID lcid, DISPID* rgdispid) override {
    return s_dataFileTypeInfo.GetIDsOfNames(riid, rgszNames, cNames, lcid, rgdispid);
  }
  HRESULT Invoke(DISPID dispidMember, REFIID riid, LCID lcid, WORD wFlags, DISPPARAMS* pdispparams,
                 VARIANT* pvarResult, EXCEPINFO* pexcepinfo, UINT* puArgErr) override {
    return s_dataFileTypeInfo.Invoke(static_cast<IKelFSD_DataFile*>(this), dispidMember, riid, lcid, wFlags,
                                     pdispparams, pvarResult, pexcepinfo, puArgErr);
  }

  // Creates an object with a reference count of 0, or null. FinalConstruct
  // runs with the count raised to 1; its failure destroys the object.
  static CComObject* CreateInstance() {
    CComObject* p = nullptr;
    try {
      p = new (std::nothrow) CComObject;
    } catch (...) {
      return nullptr;
    }
    if (!p) return nullptr;
    p->m_dwRef = 1;
    HRESULT hr = p->FinalConstruct();
    p->m_dwRef = 0;
    if (hr != S_OK) {  // any non-zero result, S_FALSE included
      delete p;
      return nullptr;
    }
    return p;
  }
};
