// A minimal data-file reader over a text file: its header is the first line,
// and every line (the first included) becomes one message whose payload is
// the line. It counts the framework's calls and can be told to fail.
#pragma once

#include <cstring>
#include <string>
#include <vector>

#include "DataFile.h"
#include "KelStringUtils.h"

class CTestReader : public CDataFile {
 public:
  // IUnknown and IDispatch: the object lives on the stack in tests.
  HRESULT QueryInterface(REFIID riid, void** ppv) override { return InternalQueryInterface(riid, ppv); }
  ULONG AddRef() override { return static_cast<ULONG>(++m_dwRef); }
  ULONG Release() override { return static_cast<ULONG>(--m_dwRef); }
  HRESULT GetTypeInfoCount(UINT*) override { return E_NOTIMPL; }
  HRESULT GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  HRESULT GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
  HRESULT Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override { return E_NOTIMPL; }

  RolRetc ReadFileHeader(const char* pszPath) override {
    ++m_nHeaderCalls;
    if (m_nHeaderResult != ROL_OK) return m_nHeaderResult;
    if (!m_file.Open(pszPath, CStdioFile::modeRead | CStdioFile::typeText)) return 1001;
    CString first;
    if (zuCStringGetLine(m_file, first, 8192) != ROL_OK) return 1002;
    CDataStreamInfo stream;
    stream.m_deviceType.m_nDeviceType = 115;
    m_fileInfo.AddStreamInfo(stream);
    m_fileInfo.SetFileStartTime(CVyrMilliSecAbsTime(2005, 3, 15, 0, 0, 0), CVyrMilliSecRelTime(0), true);
    return ROL_OK;
  }

  RolRetc ReadNextMessage(CVyrGenericHsMessage& msg, int) override {
    ++m_nMessageCalls;
    if (m_nFailAtMessage == m_nMessageCalls) return m_nFailResult;
    CString line;
    RolRetc rc = zuCStringGetLine(m_file, line, 8192);
    if (rc != ROL_OK) return rc;
    char* buf = msg.AllocMsgBuf(line.GetLength());
    if (line.GetLength() > 0) std::memcpy(buf, line.GetString(), static_cast<size_t>(line.GetLength()));
    msg.m_nMsgClass = 307;
    return ROL_OK;
  }

  int m_nHeaderCalls = 0;
  int m_nMessageCalls = 0;
  RolRetc m_nHeaderResult = ROL_OK;
  int m_nFailAtMessage = 0;  // 1-based call of ReadNextMessage that fails; 0: none
  RolRetc m_nFailResult = ROL_OK;
};

// Collects the payloads handed to the host; answers stopResult at the
// stopAt-th message (1-based), 0 before.
class CCollectingSink : public IDataFileMessageSink {
 public:
  RolRetc OnMessage(CDataFile&, const CVyrGenericHsMessage& msg) override {
    payloads.emplace_back(msg.GetMsgBuf() ? msg.GetMsgBuf() : "");
    classes.push_back(msg.m_nMsgClass);
    return static_cast<int>(payloads.size()) == stopAt ? stopResult : ROL_OK;
  }
  std::vector<std::string> payloads;
  std::vector<int> classes;
  int stopAt = 0;
  RolRetc stopResult = ROL_OK;
};
