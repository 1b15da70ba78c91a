// The HYTEM reader with trivial COM methods, for tests that keep the object
// on the stack and read whole logs with it.
#pragma once

#include "DataFileHsLogHYTEM.h"

namespace hytem_test {
class CStackHytemReader : public CDataFileHsLogHYTEM {
 public:
  HRESULT QueryInterface(REFIID riid, void** ppv) override { return InternalQueryInterface(riid, ppv); }
  ULONG AddRef() override { return static_cast<ULONG>(++m_dwRef); }
  ULONG Release() override { return static_cast<ULONG>(--m_dwRef); }
  HRESULT GetTypeInfoCount(UINT*) override { return E_NOTIMPL; }
  HRESULT GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  HRESULT GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
  HRESULT Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override { return E_NOTIMPL; }
};
}  // namespace hytem_test
