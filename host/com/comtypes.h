// COM and OLE Automation basics: result codes, GUIDs, wide texts and the
// interfaces IUnknown, IDispatch, ISupportErrorInfo, ITypeInfo(2), ITypeLib.
#pragma once

#include <cstdint>
#include <cstring>

#include "afxtypes.h"

using HRESULT = std::int32_t;
using LCID = DWORD;
using DISPID = LONG;
using MEMBERID = DISPID;
using OLECHAR = char16_t;  // UTF-16 code units, as on Windows
using LPOLESTR = OLECHAR*;
using LPCOLESTR = const OLECHAR*;
using BSTR = OLECHAR*;
using VARTYPE = std::uint16_t;

constexpr HRESULT S_OK = 0;
constexpr HRESULT S_FALSE = 1;
constexpr HRESULT E_NOTIMPL = static_cast<HRESULT>(0x80004001);
constexpr HRESULT E_NOINTERFACE = static_cast<HRESULT>(0x80004002);
constexpr HRESULT E_POINTER = static_cast<HRESULT>(0x80004003);
constexpr HRESULT E_FAIL = static_cast<HRESULT>(0x80004005);
constexpr HRESULT E_OUTOFMEMORY = static_cast<HRESULT>(0x8007000E);
constexpr HRESULT E_INVALIDARG = static_cast<HRESULT>(0x80070057);
constexpr HRESULT DISP_E_MEMBERNOTFOUND = static_cast<HRESULT>(0x80020003);
constexpr HRESULT DISP_E_UNKNOWNNAME = static_cast<HRESULT>(0x80020006);
constexpr HRESULT DISP_E_BADPARAMCOUNT = static_cast<HRESULT>(0x8002000E);
constexpr HRESULT TYPE_E_ELEMENTNOTFOUND = static_cast<HRESULT>(0x8002802B);
constexpr HRESULT TYPE_E_LIBNOTREGISTERED = static_cast<HRESULT>(0x8002801D);

inline bool SUCCEEDED(HRESULT hr) { return hr >= 0; }
inline bool FAILED(HRESULT hr) { return hr < 0; }

struct GUID {
  std::uint32_t Data1;
  std::uint16_t Data2;
  std::uint16_t Data3;
  std::uint8_t Data4[8];
  friend bool operator==(const GUID& a, const GUID& b) { return std::memcmp(&a, &b, sizeof(GUID)) == 0; }
};
using IID = GUID;
using REFIID = const IID&;
using REFGUID = const GUID&;
inline bool InlineIsEqualGUID(REFGUID a, REFGUID b) { return a == b; }

extern const IID IID_IUnknown;
extern const IID IID_IDispatch;
extern const IID IID_ISupportErrorInfo;
extern const IID IID_ITypeInfo;
extern const IID IID_ITypeInfo2;
extern const IID IID_ITypeLib;
extern const IID IID_NULL;

enum : VARTYPE { VT_EMPTY = 0, VT_I4 = 3, VT_R8 = 5, VT_BSTR = 8, VT_DISPATCH = 9, VT_UNKNOWN = 13 };

struct IDispatch;
struct IUnknown;

struct VARIANT {
  VARTYPE vt;
  union {
    LONG lVal;
    double dblVal;
    BSTR bstrVal;
    IDispatch* pdispVal;
    IUnknown* punkVal;
  };
};

struct DISPPARAMS {
  VARIANT* rgvarg;
  DISPID* rgdispidNamedArgs;
  UINT cArgs;
  UINT cNamedArgs;
};

struct EXCEPINFO {
  WORD wCode;
  BSTR bstrSource;
  BSTR bstrDescription;
  HRESULT scode;
};

enum : WORD { DISPATCH_METHOD = 1, DISPATCH_PROPERTYGET = 2, DISPATCH_PROPERTYPUT = 4 };
enum INVOKEKIND { INVOKE_FUNC = 1, INVOKE_PROPERTYGET = 2, INVOKE_PROPERTYPUT = 4 };

struct FUNCDESC {
  MEMBERID memid;
  INVOKEKIND invkind;
  short cParams;
};

struct TYPEATTR {
  GUID guid;
  LCID lcid;
  WORD cFuncs;
};

struct IUnknown {
  virtual HRESULT QueryInterface(REFIID riid, void** ppv) = 0;
  virtual ULONG AddRef() = 0;
  virtual ULONG Release() = 0;

 protected:
  ~IUnknown() = default;
};

struct ITypeInfo;

struct IDispatch : IUnknown {
  virtual HRESULT GetTypeInfoCount(UINT* pctinfo) = 0;
  virtual HRESULT GetTypeInfo(UINT iTInfo, LCID lcid, ITypeInfo** ppTInfo) = 0;
  virtual HRESULT GetIDsOfNames(REFIID riid, LPOLESTR* rgszNames, UINT cNames, LCID lcid, DISPID* rgDispId) = 0;
  virtual HRESULT Invoke(DISPID dispIdMember, REFIID riid, LCID lcid, WORD wFlags, DISPPARAMS* pDispParams,
                         VARIANT* pVarResult, EXCEPINFO* pExcepInfo, UINT* puArgErr) = 0;

 protected:
  ~IDispatch() = default;
};

struct ISupportErrorInfo : IUnknown {
  virtual HRESULT InterfaceSupportsErrorInfo(REFIID riid) = 0;

 protected:
  ~ISupportErrorInfo() = default;
};

struct ITypeInfo : IUnknown {
  virtual HRESULT GetTypeAttr(TYPEATTR** ppTypeAttr) = 0;
  virtual HRESULT GetFuncDesc(UINT index, FUNCDESC** ppFuncDesc) = 0;
  // Names of a member: its own name first. pcNames receives the count.
  virtual HRESULT GetNames(MEMBERID memid, BSTR* rgBstrNames, UINT cMaxNames, UINT* pcNames) = 0;
  // Resolves member names without regard to letter case, as OLE Automation does.
  virtual HRESULT GetIDsOfNames(LPOLESTR* rgszNames, UINT cNames, MEMBERID* pMemId) = 0;
  virtual HRESULT Invoke(void* pvInstance, MEMBERID memid, WORD wFlags, DISPPARAMS* pDispParams,
                         VARIANT* pVarResult, EXCEPINFO* pExcepInfo, UINT* puArgErr) = 0;
  virtual void ReleaseTypeAttr(TYPEATTR* pTypeAttr) = 0;
  virtual void ReleaseFuncDesc(FUNCDESC* pFuncDesc) = 0;

 protected:
  ~ITypeInfo() = default;
};

struct ITypeInfo2 : ITypeInfo {
 protected:
  ~ITypeInfo2() = default;
};

struct ITypeLib : IUnknown {
  virtual HRESULT GetTypeInfoOfGuid(REFGUID guid, ITypeInfo** ppTInfo) = 0;

 protected:
  ~ITypeLib() = default;
};

// BSTRs: length-prefixed UTF-16 texts.
BSTR SysAllocString(const OLECHAR* psz);
BSTR SysAllocStringLen(const OLECHAR* pch, UINT cch);
UINT SysStringLen(BSTR bstr);
void SysFreeString(BSTR bstr);
// Conversions between 8-bit texts (bytes as code units) and BSTRs.
BSTR SysAllocStringFromBytes(const char* psz);

void VariantInit(VARIANT* pvar);
HRESULT VariantClear(VARIANT* pvar);

// The registry of type libraries. The host registers the libraries it
// provides; LoadRegTypeLib answers TYPE_E_LIBNOTREGISTERED for the others.
using TypeLibFactory = HRESULT (*)(LCID lcid, ITypeLib** ppLib);
void RegisterTypeLib(REFGUID libid, WORD wMajor, WORD wMinor, TypeLibFactory factory);
void UnregisterTypeLib(REFGUID libid, WORD wMajor, WORD wMinor);
HRESULT LoadRegTypeLib(REFGUID libid, WORD wMajor, WORD wMinor, LCID lcid, ITypeLib** ppLib);
