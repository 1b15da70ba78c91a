// The data-file framework's base class. A reader derives from CDataFile and
// overrides LoadDataFile, ReadFileHeader and ReadNextMessage; the framework
// opens nothing itself and drives the reader:
//   LoadDataFile -> DataFileInit -> ProcessFile(true)
//   ProcessFile: ReadFileHeader once, rewind the text file to its start, then
//   ReadNextMessage until it returns non-zero, handing every message to the
//   host's message sink as soon as it is read.
// The COM object around a reader (reference count, IDispatch) is supplied by
// the module that creates it.
#pragma once

#include <atomic>
#include <cstdint>

#include "CStdioFile.h"
#include "CString.h"
#include "DataFileInfo.h"
#include "KelFSD.h"
#include "RolRetc.h"
#include "VyrGenericHsMessage.h"

namespace VyrLifetimeMonitoring {
// Counts live objects of the framework, so that a host can tell leaks.
class CLifetimeDetector {
 public:
  CLifetimeDetector() { ++s_nLive; }
  CLifetimeDetector(const CLifetimeDetector&) : CLifetimeDetector() {}
  virtual ~CLifetimeDetector() { --s_nLive; }
  static long GetLiveCount() { return s_nLive.load(); }

 private:
  static std::atomic<long> s_nLive;
};
}  // namespace VyrLifetimeMonitoring

// Error-info support for IKelFSD_DataFile.
class CVyrErrorInfoImpl : public ISupportErrorInfo {
 public:
  HRESULT InterfaceSupportsErrorInfo(REFIID riid) override {
    return riid == IID_IKelFSD_DataFile ? S_OK : S_FALSE;
  }

 protected:
  ~CVyrErrorInfoImpl() = default;
};

class CDataFile;

// The host's consumer of messages. A non-zero result stops the load, and
// LoadDataFile returns it.
class IDataFileMessageSink {
 public:
  virtual ~IDataFileMessageSink() = default;
  virtual RolRetc OnMessage(CDataFile& file, const CVyrGenericHsMessage& msg) = 0;
};

// One entry of a COM interface table: the interface id and how to reach it.
struct _ATL_INTMAP_ENTRY {
  const IID* piid;
  int nKind;  // 0: the primary (IKelFSD_DataFile) part; 1: the error-info part
};

class CDataFile : public IKelFSD_DataFile, public CVyrErrorInfoImpl, public VyrLifetimeMonitoring::CLifetimeDetector {
 public:
  CDataFile() = default;
  ~CDataFile() override = default;
  CDataFile(const CDataFile&) = delete;
  CDataFile& operator=(const CDataFile&) = delete;

  // COM object root: the reference count and the interface table.
  static const _ATL_INTMAP_ENTRY* _GetEntries();
  HRESULT InternalQueryInterface(REFIID riid, void** ppv);
  virtual HRESULT FinalConstruct();
  // Makes the next FinalConstruct fail with hr, so that a host can check how
  // a module copes with a failed creation. Not for concurrent use.
  static void FailNextFinalConstruct(HRESULT hr) { s_hrNextFinalConstruct = hr; }
  virtual void FinalRelease() {}
  LONG m_dwRef = 0;

  // IKelFSD_DataFile.
  HRESULT Item(VARIANT index, IDispatch** ppItem) override;
  HRESULT get__NewEnum(IUnknown** ppEnum) override;
  HRESULT get_Count(LONG* pCount) override;  // the number of streams
  HRESULT get_Parent(IDispatch** ppParent) override;
  HRESULT get_Name(BSTR* pName) override;    // the path of the file
  HRESULT get_Label(BSTR* pLabel) override;  // the file name without folders
  HRESULT ItemPhysical(VARIANT index, IDispatch** ppItem) override;
  HRESULT get_Diagnostics(BSTR* pDiagnostics) override;
  HRESULT get_FileInfo(IDispatch** ppFileInfo) override;

  // Framework operations.
  // The object's IUnknown, through which a host holds its references.
  virtual IUnknown* GetControllingUnknown();
  virtual RolRetc LoadDataFile(const char* pszPath, const char* pszOptions);
  virtual RolRetc DataFileInit(const char* pszPath, const char* pszOptions);
  virtual RolRetc ProcessFile(bool bLoadAll);
  virtual RolRetc ProcessMsgDataIntoStream(CVyrGenericHsMessage& msg);
  virtual RolRetc ProcessReadNextMessageReturnCode(RolRetc rc);
  virtual RolRetc ReadFileHeader(const char* pszPath);
  virtual RolRetc ReadMessage(CVyrGenericHsMessage& msg);
  virtual RolRetc ReadNextMessage(CVyrGenericHsMessage& msg, int nReserved);
  virtual RolRetc LoadComplete();
  virtual int GetStreamCount();

  // For a host that reads one large file in pieces side by side (the
  // format's declaration says how its reader's state crosses a piece
  // boundary, FormatDriver.h). ProcessFileHeader is ProcessFile up to its
  // first message: DataFileInit, ReadFileHeader, the text file back at its
  // start. ProcessStretch reads the messages of the stretch of the file from
  // nBegin on, nLength bytes of it (CStdioFile::kToEnd: to the end), with
  // the file information as it stood there (start time and the clock of the
  // times within day), handing each to the sink as ProcessFile does; the
  // reader's own state is the caller's to set first.
  RolRetc ProcessFileHeader(const char* pszPath);
  RolRetc ProcessStretch(const char* pszPath, std::uint64_t nBegin, std::uint64_t nLength, const CDataFileInfo& info);

  void SetMessageSink(IDataFileMessageSink* pSink) { m_pSink = pSink; }
  const CDataFileInfo& GetFileInfo() const { return m_fileInfo; }
  const CString& GetPathName() const { return m_strPathName; }
  // Bytes of the text file read so far and its size, for progress displays.
  std::uint64_t GetBytesRead() const { return m_file.GetPosition(); }
  std::uint64_t GetFileSize() const { return m_file.GetLength(); }
  // The line read last ran to the end of the file without a line end: after
  // a load, the file ends in a line that may be cut short.
  bool EndsInUnterminatedLine() const { return m_file.LastLineUnterminated(); }

 protected:
  CStdioFile m_file;
  CDataFileInfo m_fileInfo;
  // Messages handed on since the file's start time was last set.
  std::int32_t m_nMsgsSinceStartTime = 0;

 private:
  RolRetc ProcessMessages();

  CString m_strPathName;
  CString m_strOptions;
  IDataFileMessageSink* m_pSink = nullptr;
  static std::atomic<HRESULT> s_hrNextFinalConstruct;
};
