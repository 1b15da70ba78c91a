#include "vyr/LogDecoder.h"

#include <filesystem>
#include <memory>

#include "DataFile.h"
#include "DataFileFactory.h"
#include "VyrDecodeDevice.h"

namespace {
constexpr int kHeaderClass = 306;
constexpr int kMeasurementClass = 307;

struct ReleaseDataFile {
  void operator()(CDataFile* p) const {
    if (p) p->GetControllingUnknown()->Release();
  }
};

// Receives the reader's messages and decodes each one as it comes.
class CDecodingSink final : public IDataFileMessageSink {
 public:
  CDecodingSink(const DecodeOptions& options, const std::string& path, const std::string& typeName,
                const bool& bStop, const CLogDecoder::FileFn& onFile, const CLogDecoder::MessageFn& onMessage,
                const CLogDecoder::ProgressFn& onProgress, DecodeCounts& counts)
      : m_options(options), m_bStop(bStop), m_onFile(onFile), m_onMessage(onMessage), m_onProgress(onProgress), m_counts(counts) {
    m_info.strPath = path;
    m_info.strTypeName = typeName;
    m_dataState.SetRecordWrites(options.bRecordWrites);
    m_expanded.m_bWantSummaryText = m_expanded.m_bWantMsgName = m_expanded.m_bWantDetailText =
        options.bWantTexts ? 1 : 0;
  }

  RolRetc OnMessage(CDataFile& file, const CVyrGenericHsMessage& msg) override {
    if (!m_bStarted && !Start(file)) return -1;
    m_expanded.Reset();
    m_dataState.ClearWrites();
    std::uint64_t before = m_dataState.GetWriteCount();
    if (m_device) {
      m_device->DecodeMessagePreExec(msg, &m_dataState, m_expanded, nullptr);
      m_device->DecodeMessage(msg, &m_dataState, m_expanded, nullptr);
      m_device->DecodeMessagePostExec(msg, &m_dataState, m_expanded, nullptr);
    }
    ++m_counts.nMessages;
    if (msg.m_nMsgClass == kHeaderClass) ++m_counts.nHeaderMessages;
    if (msg.m_nMsgClass == kMeasurementClass) ++m_counts.nMeasurementMessages;
    m_counts.nAttributeWrites += m_dataState.GetWriteCount() - before;
    if (m_onMessage) m_onMessage({m_counts.nMessages - 1, msg, m_expanded, m_dataState.GetWrites(), m_dataState});
    if (m_onProgress && (m_counts.nMessages & 1023) == 0) m_onProgress(file.GetBytesRead(), file.GetFileSize());
    return m_bStop ? kDecodeStopped : ROL_OK;
  }

  // Called at the end for a file that gave no message at all.
  bool Finish(CDataFile& file) { return m_bStarted || Start(file); }
  const std::string& Error() const { return m_strError; }

 private:
  bool Start(CDataFile& file) {
    m_bStarted = true;
    const CDataFileInfo& fi = file.GetFileInfo();
    m_info.startTime = fi.GetFileStartTime();
    if (fi.GetStreamCount() > 0) m_info.nDeviceType = fi.GetStreamInfo(0).m_deviceType.m_nDeviceType;
    CVyrDecodeDeviceFactoryHelper::Registration reg;
    if (!CVyrDecodeDeviceFactoryHelper::FindByDeviceType(m_info.nDeviceType, reg) || !reg.pfnCreate) {
      m_strError = "no decode device for device type " + std::to_string(m_info.nDeviceType);
      return false;
    }
    m_device.reset(reg.pfnCreate(reg.info));
    if (!m_device) {
      m_strError = "the decode device for device type " + std::to_string(m_info.nDeviceType) + " cannot be created";
      return false;
    }
    if (m_onFile) m_onFile(m_info);
    return true;
  }

  const DecodeOptions& m_options;
  const bool& m_bStop;
  const CLogDecoder::FileFn& m_onFile;
  const CLogDecoder::MessageFn& m_onMessage;
  const CLogDecoder::ProgressFn& m_onProgress;
  DecodeCounts& m_counts;
  DecodedFileInfo m_info;
  CVyrMemoryDataState m_dataState;
  CVyrExpandedMessage m_expanded;
  std::unique_ptr<CVyrDecodeDevice> m_device;
  bool m_bStarted = false;
  std::string m_strError;
};
}  // namespace

RolRetc CLogDecoder::Decode(const std::string& path, const FileFn& onFile, const MessageFn& onMessage,
                            DecodeCounts& counts, std::string& strError, const ProgressFn& onProgress) {
  counts = DecodeCounts();
  std::string ext = std::filesystem::path(path).extension().string();
  CDataFileFactoryHelper::Registration reg;
  if (!CDataFileFactoryHelper::FindByExtension(ext.c_str(), reg) || !reg.pfnCreate) {
    strError = ext.empty() ? "no data-file type for a file without extension"
                           : "no data-file type for the extension " + ext;
    return -1;
  }
  std::unique_ptr<CDataFile, ReleaseDataFile> file(reg.pfnCreate());
  if (!file) {
    strError = "the " + reg.strTypeName.str() + " reader cannot be created";
    return -1;
  }
  file->GetControllingUnknown()->AddRef();
  m_bStop = false;
  CDecodingSink sink(m_options, path, reg.strTypeName.str(), m_bStop, onFile, onMessage, onProgress, counts);
  file->SetMessageSink(&sink);
  RolRetc rc = file->LoadDataFile(path.c_str(), "");
  file->SetMessageSink(nullptr);
  if (rc == ROL_OK && !sink.Finish(*file)) rc = -1;
  if (rc == -1) strError = sink.Error();
  if (onProgress && rc == ROL_OK) onProgress(file->GetFileSize(), file->GetFileSize());
  return rc;
}

std::string DescribeReaderResult(RolRetc rc) {
  switch (rc) {
    case 1001: return "the file cannot be opened";
    case 1002: return "a required line is missing: the file is empty or has no measurement line";
    case 1004:
      return "not a HYTEM log, or its header or first measurement line is incomplete or unreadable";
    case ROL_READ_ERROR: return "the file cannot be read";
    case ROL_INVALID_ARG: return "the file name is not usable";
    default: return "the reader failed";
  }
}
