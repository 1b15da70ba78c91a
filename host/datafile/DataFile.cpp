#include "DataFile.h"

std::atomic<long> VyrLifetimeMonitoring::CLifetimeDetector::s_nLive{0};
std::atomic<HRESULT> CDataFile::s_hrNextFinalConstruct{S_OK};

// Readers are created on whatever threads the host loads on: the planned
// failure is taken and reset in one step.
HRESULT CDataFile::FinalConstruct() { return s_hrNextFinalConstruct.exchange(S_OK); }

const _ATL_INTMAP_ENTRY* CDataFile::_GetEntries() {
  static const _ATL_INTMAP_ENTRY entries[] = {
      {&IID_IKelFSD_DataFile, 0},
      {&IID_IDispatch, 0},
      {&IID_ISupportErrorInfo, 1},
      {nullptr, 0},
  };
  return entries;
}

HRESULT CDataFile::InternalQueryInterface(REFIID riid, void** ppv) {
  if (!ppv) return E_POINTER;
  *ppv = nullptr;
  if (riid == IID_IUnknown) {
    *ppv = static_cast<IKelFSD_DataFile*>(this);
  } else {
    for (const _ATL_INTMAP_ENTRY* e = _GetEntries(); e->piid; ++e) {
      if (!(*e->piid == riid)) continue;
      if (e->nKind == 0) *ppv = static_cast<IKelFSD_DataFile*>(this);
      else *ppv = static_cast<ISupportErrorInfo*>(this);
      break;
    }
  }
  if (!*ppv) return E_NOINTERFACE;
  static_cast<IKelFSD_DataFile*>(this)->AddRef();
  return S_OK;
}

HRESULT CDataFile::Item(VARIANT, IDispatch**) { return E_NOTIMPL; }
HRESULT CDataFile::get__NewEnum(IUnknown**) { return E_NOTIMPL; }
HRESULT CDataFile::get_Parent(IDispatch**) { return E_NOTIMPL; }
HRESULT CDataFile::ItemPhysical(VARIANT, IDispatch**) { return E_NOTIMPL; }
HRESULT CDataFile::get_Diagnostics(BSTR*) { return E_NOTIMPL; }
HRESULT CDataFile::get_FileInfo(IDispatch**) { return E_NOTIMPL; }

HRESULT CDataFile::get_Count(LONG* pCount) {
  if (!pCount) return E_POINTER;
  *pCount = m_fileInfo.GetStreamCount();
  return S_OK;
}

HRESULT CDataFile::get_Name(BSTR* pName) {
  if (!pName) return E_POINTER;
  *pName = SysAllocStringFromBytes(m_strPathName);
  return *pName ? S_OK : E_OUTOFMEMORY;
}

HRESULT CDataFile::get_Label(BSTR* pLabel) {
  if (!pLabel) return E_POINTER;
  int slash = m_strPathName.ReverseFind('/');
  *pLabel = SysAllocStringFromBytes(m_strPathName.Mid(slash + 1));
  return *pLabel ? S_OK : E_OUTOFMEMORY;
}

IUnknown* CDataFile::GetControllingUnknown() { return static_cast<IKelFSD_DataFile*>(this); }

RolRetc CDataFile::LoadDataFile(const char* pszPath, const char* pszOptions) {
  RolRetc rc = DataFileInit(pszPath, pszOptions);
  if (rc != ROL_OK) return rc;
  return ProcessFile(true);
}

RolRetc CDataFile::DataFileInit(const char* pszPath, const char* pszOptions) {
  if (!pszPath || !*pszPath) return ROL_INVALID_ARG;
  m_file.Close();
  m_fileInfo.Clear();
  m_nMsgsSinceStartTime = 0;
  m_strPathName = pszPath;
  m_strOptions = pszOptions;
  return ROL_OK;
}

RolRetc CDataFile::ProcessFile(bool) {
  RolRetc rc = ReadFileHeader(m_strPathName);
  if (rc != ROL_OK) return rc;
  // Every line becomes a message, the header lines included: read again from
  // the start of the file.
  m_file.SeekToBegin();
  return ProcessMessages();
}

// Every message from where the text file stands to its end.
RolRetc CDataFile::ProcessMessages() {
  CVyrGenericHsMessage msg;
  for (;;) {
    msg.Reset();
    RolRetc rc = ReadNextMessage(msg, 0);
    if (rc != ROL_OK) return ProcessReadNextMessageReturnCode(rc);
    rc = ProcessMsgDataIntoStream(msg);
    if (rc != ROL_OK) return rc;
  }
}

RolRetc CDataFile::ProcessFileHeader(const char* pszPath) {
  RolRetc rc = DataFileInit(pszPath, "");
  if (rc == ROL_OK) rc = ReadFileHeader(m_strPathName);
  if (rc == ROL_OK) m_file.SeekToBegin();
  return rc;
}

RolRetc CDataFile::ProcessStretch(const char* pszPath, std::uint64_t nBegin, std::uint64_t nLength,
                                  const CDataFileInfo& info) {
  RolRetc rc = DataFileInit(pszPath, "");
  if (rc != ROL_OK) return rc;
  if (!m_file.OpenStretch(m_strPathName, CStdioFile::modeRead | CStdioFile::shareDenyWrite | CStdioFile::typeText,
                          nBegin, nLength))
    return ROL_READ_ERROR;
  m_fileInfo = info;
  return ProcessMessages();
}

RolRetc CDataFile::ProcessMsgDataIntoStream(CVyrGenericHsMessage& msg) {
  ++m_nMsgsSinceStartTime;
  return m_pSink ? m_pSink->OnMessage(*this, msg) : ROL_OK;
}

RolRetc CDataFile::ProcessReadNextMessageReturnCode(RolRetc rc) {
  if (rc == ROL_END_OF_FILE) return LoadComplete();
  return rc;
}

RolRetc CDataFile::ReadFileHeader(const char*) { return ROL_OK; }
RolRetc CDataFile::ReadMessage(CVyrGenericHsMessage& msg) { return ReadNextMessage(msg, 0); }
RolRetc CDataFile::ReadNextMessage(CVyrGenericHsMessage&, int) { return ROL_END_OF_FILE; }
RolRetc CDataFile::LoadComplete() { return ROL_OK; }
int CDataFile::GetStreamCount() { return m_fileInfo.GetStreamCount(); }
