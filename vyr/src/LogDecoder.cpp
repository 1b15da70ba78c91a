#include "vyr/LogDecoder.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>

#include "CStdioFile.h"
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
    m_dataState.SetRecordedAttributes(options.recordedAttributes);
    m_dataState.SetSortOutputSuppressed(options.bSuppressSortOutput);
    m_dataState.SetWriteObserver(options.writeObserver);
    m_dataState.SetRunObserver(options.runObserver);
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
    if (m_options.onDevice) m_options.onDevice(*m_device);
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
// Refuses what is not a regular, readable file before the reader sees it: a
// FIFO would block the reader, and a device such as /dev/zero never ends.
// Gives 1001 (cannot be opened) with the system's reason, or -1.
RolRetc CheckReadable(const std::string& path, std::string& strError) {
  constexpr RolRetc kCannotOpen = 1001;
  // A log registered in memory (tests, fuzz targets) is read in place.
  if (CStdioFile::IsMemoryFile(path)) return ROL_OK;
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) {
    strError = std::strerror(errno);
    return kCannotOpen;
  }
  if (S_ISDIR(st.st_mode)) strError = "is a folder";
  else if (S_ISFIFO(st.st_mode)) strError = "not a regular file but a FIFO";
  else if (!S_ISREG(st.st_mode)) strError = "not a regular file but a device or socket";
  if (!strError.empty()) return -1;
  int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK);
  if (fd < 0) {
    strError = std::strerror(errno);
    return kCannotOpen;
  }
  ::close(fd);
  return ROL_OK;
}
}  // namespace

RolRetc CLogDecoder::Decode(const std::string& path, const FileFn& onFile, const MessageFn& onMessage,
                            DecodeCounts& counts, std::string& strError, const ProgressFn& onProgress) {
  counts = DecodeCounts();
  if (RolRetc rc = CheckReadable(path, strError); rc != ROL_OK) return rc;
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
  counts.bLastLineCut = rc == ROL_OK && file->EndsInUnterminatedLine();
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

std::string DescribeDecodeFailure(const std::string& path, RolRetc rc, const std::string& strError) {
  std::string line = "vyrhost: " + EscapeFileName(path) + ": ";
  if (rc == -1) return line + strError;
  line += "refused with code " + std::to_string(rc) + ": " + DescribeReaderResult(rc);
  if (!strError.empty()) line += " (" + strError + ")";
  return line;
}

std::string DescribeCutLastLine(const std::string& path) {
  return "vyrhost: " + EscapeFileName(path) +
         ": the last line has no line end, the log may be cut short: its last field is left out";
}

std::string EscapeFileName(const std::string& name) {
  std::string out;
  out.reserve(name.size());
  for (unsigned char c : name) {
    if (c < 0x20 || c == 0x7f || c == '\\') {
      char buf[8];
      std::snprintf(buf, sizeof buf, c == '\\' ? "\\\\" : "\\x%02X", c);
      out += buf;
    } else {
      out += static_cast<char>(c);
    }
  }
  return out;
}
