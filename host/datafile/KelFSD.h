// The automation interface of data files, IKelFSD_DataFile, and the ids of its
// type library LIBID_KelFSD 1.0, which the host registers.
#pragma once

#include "comtypes.h"

extern const IID IID_IKelFSD_DataFile;
extern const GUID LIBID_KelFSD;

// Member ids of IKelFSD_DataFile.
enum : DISPID {
  DISPID_KELFSD_ITEM = 0,
  DISPID_KELFSD_NEWENUM = -4,
  DISPID_KELFSD_COUNT = 1,
  DISPID_KELFSD_PARENT = 2,
  DISPID_KELFSD_NAME = 3,
  DISPID_KELFSD_LABEL = 4,
  DISPID_KELFSD_ITEMPHYSICAL = 5,
  DISPID_KELFSD_DIAGNOSTICS = 6,
  DISPID_KELFSD_FILEINFO = 7,
};

struct IKelFSD_DataFile : IDispatch {
  virtual HRESULT Item(VARIANT index, IDispatch** ppItem) = 0;
  virtual HRESULT get__NewEnum(IUnknown** ppEnum) = 0;
  virtual HRESULT get_Count(LONG* pCount) = 0;
  virtual HRESULT get_Parent(IDispatch** ppParent) = 0;
  virtual HRESULT get_Name(BSTR* pName) = 0;
  virtual HRESULT get_Label(BSTR* pLabel) = 0;
  virtual HRESULT ItemPhysical(VARIANT index, IDispatch** ppItem) = 0;
  virtual HRESULT get_Diagnostics(BSTR* pDiagnostics) = 0;
  virtual HRESULT get_FileInfo(IDispatch** ppFileInfo) = 0;

 protected:
  ~IKelFSD_DataFile() = default;
};

// Registers the KelFSD 1.0 type library with the process's type-library
// registry. A host calls it once before it loads any data-file plug-in.
void RegisterKelFSDTypeLib();
void UnregisterKelFSDTypeLib();
// Type libraries and type descriptions of KelFSD alive now, to tell whether
// their users released them.
long KelFSDLiveObjectCount();
