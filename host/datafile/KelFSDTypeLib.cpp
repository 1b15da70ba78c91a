// The KelFSD type library: one type description, IKelFSD_DataFile, whose
// Invoke calls the interface's methods on the instance it is given.
#include <array>
#include <atomic>
#include <cctype>

#include "KelFSD.h"

const IID IID_IKelFSD_DataFile = {0x6A1C2E40, 0x3B7D, 0x4C21, {0x9E, 0x11, 0x5D, 0x0F, 0x2A, 0x44, 0x10, 0x01}};
const GUID LIBID_KelFSD = {0x6A1C2E3F, 0x3B7D, 0x4C21, {0x9E, 0x11, 0x5D, 0x0F, 0x2A, 0x44, 0x10, 0x01}};

namespace {
struct Member {
  const char* pszName;
  DISPID id;
  INVOKEKIND kind;
  short cParams;
};
constexpr std::array<Member, 9> kMembers = {{
    {"Item", DISPID_KELFSD_ITEM, INVOKE_FUNC, 1},
    {"_NewEnum", DISPID_KELFSD_NEWENUM, INVOKE_PROPERTYGET, 0},
    {"Count", DISPID_KELFSD_COUNT, INVOKE_PROPERTYGET, 0},
    {"Parent", DISPID_KELFSD_PARENT, INVOKE_PROPERTYGET, 0},
    {"Name", DISPID_KELFSD_NAME, INVOKE_PROPERTYGET, 0},
    {"Label", DISPID_KELFSD_LABEL, INVOKE_PROPERTYGET, 0},
    {"ItemPhysical", DISPID_KELFSD_ITEMPHYSICAL, INVOKE_FUNC, 1},
    {"Diagnostics", DISPID_KELFSD_DIAGNOSTICS, INVOKE_PROPERTYGET, 0},
    {"FileInfo", DISPID_KELFSD_FILEINFO, INVOKE_PROPERTYGET, 0},
}};

// OLE Automation resolves names without regard to (ASCII) letter case.
bool EqualsIgnoreCase(const OLECHAR* a, const char* b) {
  for (; *a && *b; ++a, ++b) {
    if (*a > 127) return false;
    if (std::tolower(static_cast<int>(*a)) != std::tolower(static_cast<unsigned char>(*b))) return false;
  }
  return *a == 0 && *b == 0;
}

const Member* FindMember(MEMBERID id) {
  for (const Member& m : kMembers)
    if (m.id == id) return &m;
  return nullptr;
}

std::atomic<long> s_nLiveObjects{0};

class CRefCounted {
 protected:
  CRefCounted() { ++s_nLiveObjects; }
  ~CRefCounted() { --s_nLiveObjects; }
  ULONG DoAddRef() { return ++m_cRef; }
  template <class T>
  ULONG DoRelease(T* self) {
    ULONG n = --m_cRef;
    if (n == 0) delete self;
    return n;
  }
  std::atomic<ULONG> m_cRef{1};
};

HRESULT InvokeGetter(IKelFSD_DataFile* pFile, DISPID id, VARIANT* pResult) {
  VARIANT scratch;
  VariantInit(&scratch);
  VARIANT* out = pResult ? pResult : &scratch;
  VariantInit(out);
  HRESULT hr = E_NOTIMPL;
  switch (id) {
    case DISPID_KELFSD_COUNT:
      out->vt = VT_I4;
      hr = pFile->get_Count(&out->lVal);
      break;
    case DISPID_KELFSD_NAME:
      out->vt = VT_BSTR;
      out->bstrVal = nullptr;
      hr = pFile->get_Name(&out->bstrVal);
      break;
    case DISPID_KELFSD_LABEL:
      out->vt = VT_BSTR;
      out->bstrVal = nullptr;
      hr = pFile->get_Label(&out->bstrVal);
      break;
    case DISPID_KELFSD_DIAGNOSTICS:
      out->vt = VT_BSTR;
      out->bstrVal = nullptr;
      hr = pFile->get_Diagnostics(&out->bstrVal);
      break;
    case DISPID_KELFSD_PARENT:
      out->vt = VT_DISPATCH;
      out->pdispVal = nullptr;
      hr = pFile->get_Parent(&out->pdispVal);
      break;
    case DISPID_KELFSD_FILEINFO:
      out->vt = VT_DISPATCH;
      out->pdispVal = nullptr;
      hr = pFile->get_FileInfo(&out->pdispVal);
      break;
    case DISPID_KELFSD_NEWENUM:
      out->vt = VT_UNKNOWN;
      out->punkVal = nullptr;
      hr = pFile->get__NewEnum(&out->punkVal);
      break;
    default:
      break;
  }
  if (FAILED(hr)) VariantInit(out);
  if (out == &scratch) VariantClear(&scratch);
  return hr;
}

class CDataFileTypeInfo final : public ITypeInfo2, private CRefCounted {
 public:
  HRESULT QueryInterface(REFIID riid, void** ppv) override {
    if (!ppv) return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_ITypeInfo || riid == IID_ITypeInfo2) {
      *ppv = static_cast<ITypeInfo2*>(this);
      AddRef();
      return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
  }
  ULONG AddRef() override { return DoAddRef(); }
  ULONG Release() override { return DoRelease(this); }

  HRESULT GetTypeAttr(TYPEATTR** ppTypeAttr) override {
    if (!ppTypeAttr) return E_POINTER;
    *ppTypeAttr = new TYPEATTR{IID_IKelFSD_DataFile, 0, static_cast<WORD>(kMembers.size())};
    return S_OK;
  }
  void ReleaseTypeAttr(TYPEATTR* p) override { delete p; }

  HRESULT GetFuncDesc(UINT index, FUNCDESC** ppFuncDesc) override {
    if (!ppFuncDesc) return E_POINTER;
    if (index >= kMembers.size()) return TYPE_E_ELEMENTNOTFOUND;
    const Member& m = kMembers[index];
    *ppFuncDesc = new FUNCDESC{m.id, m.kind, m.cParams};
    return S_OK;
  }
  void ReleaseFuncDesc(FUNCDESC* p) override { delete p; }

  HRESULT GetNames(MEMBERID memid, BSTR* rgBstrNames, UINT cMaxNames, UINT* pcNames) override {
    if (!rgBstrNames || !pcNames) return E_POINTER;
    const Member* m = FindMember(memid);
    if (!m) return TYPE_E_ELEMENTNOTFOUND;
    *pcNames = 0;
    if (cMaxNames == 0) return S_OK;
    rgBstrNames[0] = SysAllocStringFromBytes(m->pszName);
    *pcNames = 1;
    return rgBstrNames[0] ? S_OK : E_OUTOFMEMORY;
  }

  HRESULT GetIDsOfNames(LPOLESTR* rgszNames, UINT cNames, MEMBERID* pMemId) override {
    if (!rgszNames || !pMemId) return E_POINTER;
    HRESULT hr = S_OK;
    for (UINT i = 0; i < cNames; ++i) {
      pMemId[i] = -1;
      for (const Member& m : kMembers)
        if (rgszNames[i] && EqualsIgnoreCase(rgszNames[i], m.pszName)) pMemId[i] = m.id;
      if (pMemId[i] == -1) hr = DISP_E_UNKNOWNNAME;
    }
    return hr;
  }

  HRESULT Invoke(void* pvInstance, MEMBERID memid, WORD wFlags, DISPPARAMS* pDispParams, VARIANT* pVarResult,
                 EXCEPINFO*, UINT*) override {
    if (!pvInstance) return E_INVALIDARG;
    const Member* m = FindMember(memid);
    if (!m) return DISP_E_MEMBERNOTFOUND;
    auto* pFile = static_cast<IKelFSD_DataFile*>(pvInstance);
    UINT cArgs = pDispParams ? pDispParams->cArgs : 0;
    if (m->kind == INVOKE_PROPERTYGET) {
      if (!(wFlags & DISPATCH_PROPERTYGET)) return DISP_E_MEMBERNOTFOUND;
      if (cArgs != 0) return DISP_E_BADPARAMCOUNT;
      return InvokeGetter(pFile, memid, pVarResult);
    }
    if (cArgs != 1) return DISP_E_BADPARAMCOUNT;
    IDispatch* pItem = nullptr;
    HRESULT hr = memid == DISPID_KELFSD_ITEM ? pFile->Item(pDispParams->rgvarg[0], &pItem)
                                             : pFile->ItemPhysical(pDispParams->rgvarg[0], &pItem);
    if (SUCCEEDED(hr) && pVarResult) {
      pVarResult->vt = VT_DISPATCH;
      pVarResult->pdispVal = pItem;
    } else if (pItem) {
      pItem->Release();
    }
    return hr;
  }
};

class CKelFSDTypeLib final : public ITypeLib, private CRefCounted {
 public:
  HRESULT QueryInterface(REFIID riid, void** ppv) override {
    if (!ppv) return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_ITypeLib) {
      *ppv = static_cast<ITypeLib*>(this);
      AddRef();
      return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
  }
  ULONG AddRef() override { return DoAddRef(); }
  ULONG Release() override { return DoRelease(this); }

  HRESULT GetTypeInfoOfGuid(REFGUID guid, ITypeInfo** ppTInfo) override {
    if (!ppTInfo) return E_POINTER;
    *ppTInfo = nullptr;
    if (!(guid == IID_IKelFSD_DataFile)) return TYPE_E_ELEMENTNOTFOUND;
    *ppTInfo = new CDataFileTypeInfo;
    return S_OK;
  }
};

HRESULT CreateKelFSDTypeLib(LCID, ITypeLib** ppLib) {
  *ppLib = new CKelFSDTypeLib;
  return S_OK;
}
}  // namespace

long KelFSDLiveObjectCount() { return s_nLiveObjects.load(); }

void RegisterKelFSDTypeLib() { RegisterTypeLib(LIBID_KelFSD, 1, 0, CreateKelFSDTypeLib); }
void UnregisterKelFSDTypeLib() { UnregisterTypeLib(LIBID_KelFSD, 1, 0); }
