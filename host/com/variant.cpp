#include "comtypes.h"

// {00000000-0000-0000-C000-000000000046} and its well-known relatives.
const IID IID_IUnknown = {0x00000000, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
const IID IID_IDispatch = {0x00020400, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
const IID IID_ITypeInfo = {0x00020401, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
const IID IID_ITypeLib = {0x00020402, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
const IID IID_ITypeInfo2 = {0x00020412, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
const IID IID_ISupportErrorInfo = {0xDF0B3D60, 0x548F, 0x101B, {0x8E, 0x65, 0x08, 0x00, 0x2B, 0x2B, 0xD1, 0x19}};
const IID IID_NULL = {0, 0, 0, {0, 0, 0, 0, 0, 0, 0, 0}};

void VariantInit(VARIANT* pvar) {
  if (!pvar) return;
  pvar->vt = VT_EMPTY;
  pvar->dblVal = 0;
}

HRESULT VariantClear(VARIANT* pvar) {
  if (!pvar) return E_INVALIDARG;
  if (pvar->vt == VT_BSTR) SysFreeString(pvar->bstrVal);
  else if ((pvar->vt == VT_DISPATCH || pvar->vt == VT_UNKNOWN) && pvar->punkVal) pvar->punkVal->Release();
  VariantInit(pvar);
  return S_OK;
}
