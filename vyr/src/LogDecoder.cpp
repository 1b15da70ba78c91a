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
#include "FormatDriver.h"
#include "DecodeHooks.h"
#include "DecodeModel.h"
#include "MemoryDataState.h"
#include "VyrDecodeDevice.h"
#include "Vocabulary.h"
#include "vyr/Log.h"

namespace vyr {

namespace detail {

namespace {
thread_local DeviceHook t_deviceHook;
}  // namespace

void SetDeviceHook(DeviceHook hook) { t_deviceHook = std::move(hook); }

namespace {

struct ReleaseDataFile {
  void operator()(CDataFile* p) const {
    if (p) p->GetControllingUnknown()->Release();
  }
};

// Receives the reader's messages, decodes each one as it comes and hands on
// what the request asks for.
class CDecodingSink final : public IDataFileMessageSink {
 public:
  CDecodingSink(const DecodeRequest& request, FileInfo info, const KelFormatDriver* pDriver, const bool& bStop,
                LogVisitor& visitor, DecodeCounts& counts)
      : m_request(request), m_info(std::move(info)), m_v(Vocabulary::Of(pDriver)), m_bStop(bStop),
        m_visitor(visitor), m_counts(counts), m_model(m_v, request, visitor) {
    m_dataState.SetSortOutputSuppressed(!request.rankedLevels);
    m_model.Observe(m_dataState);
    const unsigned char want = request.texts ? 1 : 0;
    m_expanded.m_bWantSummaryText = m_expanded.m_bWantMsgName = m_expanded.m_bWantDetailText = want;
  }

  RolRetc OnMessage(CDataFile& file, const CVyrGenericHsMessage& msg) override {
    if (!m_bStarted && !Start(file)) return -1;
    m_expanded.Reset();
    const std::uint64_t nBefore = m_dataState.GetWriteCount();
    // The decode device reads the level threshold from the host's settings,
    // which are its thread's: set them from this decode's before each message.
    CVyrDecodeDevice::m_prefs.dLevelThreshold = m_request.settings.levelThreshold;
    m_device->DecodeMessagePreExec(msg, &m_dataState, m_expanded, nullptr);
    m_device->DecodeMessage(msg, &m_dataState, m_expanded, nullptr);
    m_device->DecodeMessagePostExec(msg, &m_dataState, m_expanded, nullptr);
    m_counts.attributeWrites += m_dataState.GetWriteCount() - nBefore;
    Message m = Describe(msg);
    ++m_counts.messages;
    if (m.role == Role::Header) ++m_counts.headerMessages;
    if (m.role == Role::Measurement) ++m_counts.measurementMessages;
    m_model.AfterMessage(m, m_dataState);
    if (m_request.progress && (m_counts.messages & 1023) == 0) m_request.progress(file.GetBytesRead(), file.GetFileSize());
    return m_bStop ? DecodeResult::kStopped : ROL_OK;
  }

  // Called at the end for a file that gave no message at all.
  bool Finish(CDataFile& file) { return m_bStarted || Start(file); }
  const std::string& Error() const { return m_strError; }

 private:
  bool Start(CDataFile& file) {
    m_bStarted = true;
    const CDataFileInfo& fi = file.GetFileInfo();
    m_info.startMs = fi.GetFileStartTime().GetMs();
    if (fi.GetStreamCount() > 0) m_info.deviceType = fi.GetStreamInfo(0).m_deviceType.m_nDeviceType;
    CVyrDecodeDeviceFactoryHelper::Registration reg;
    if (!CVyrDecodeDeviceFactoryHelper::FindByDeviceType(m_info.deviceType, reg) || !reg.pfnCreate) {
      m_strError = "no decode device for device type " + std::to_string(m_info.deviceType);
      return false;
    }
    m_info.deviceName = reg.info.m_strName.str();
    m_info.versionField = m_v.versionField;
    m_device.reset(reg.pfnCreate(reg.info));
    if (!m_device) {
      m_strError = "the decode device for device type " + std::to_string(m_info.deviceType) + " cannot be created";
      return false;
    }
    if (t_deviceHook) t_deviceHook(*m_device);
    m_visitor.OnFile(m_info);
    return true;
  }

  Message Describe(const CVyrGenericHsMessage& msg) const {
    Message m;
    m.index = m_counts.messages;
    m.messageClass = msg.m_nMsgClass;
    m.role = m_v.RoleOf(msg.m_nMsgClass);
    m.timeMs = msg.m_msgTime.GetMs();
    m.startMs = m_info.startMs;
    m.position.hasLatitude = msg.m_dLatitude != kVyrNoPosition;
    m.position.hasLongitude = msg.m_dLongitude != kVyrNoPosition;
    m.position.latitude = msg.m_dLatitude;
    m.position.longitude = msg.m_dLongitude;
    m.position.quality = msg.m_byPosQuality;
    if (const char* payload = msg.GetMsgBuf()) m.payload = std::string_view(payload, static_cast<size_t>(msg.GetMsgBufLen()));
    m.texts = {m_expanded.m_strSummaryText.view(), m_expanded.m_strMsgName.view(), m_expanded.m_strDetailText.view(),
               m_expanded.m_nMsgType};
    return m;
  }

  const DecodeRequest& m_request;
  FileInfo m_info;
  const Vocabulary& m_v;
  const bool& m_bStop;
  LogVisitor& m_visitor;
  DecodeCounts& m_counts;
  CVyrMemoryDataState m_dataState;
  CVyrExpandedMessage m_expanded;
  std::unique_ptr<CVyrDecodeDevice> m_device;
  CDecodeModel m_model;
  bool m_bStarted = false;
  std::string m_strError;
};

// Refuses what is not a regular file before the reader sees it: a FIFO
// would block the reader, and a device such as /dev/zero never ends. A file
// that cannot be opened is left to the reader, which says so with its own
// code; strOpenError then holds the system's reason.
bool RefuseIrregular(const std::string& path, std::string& strError, std::string& strOpenError) {
  // A log registered in memory (tests, fuzz targets) is read in place.
  if (CStdioFile::IsMemoryFile(path)) return false;
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) {
    strOpenError = std::strerror(errno);
    return false;
  }
  if (S_ISDIR(st.st_mode)) strError = "is a folder";
  else if (S_ISFIFO(st.st_mode)) strError = "not a regular file but a FIFO";
  else if (!S_ISREG(st.st_mode)) strError = "not a regular file but a device or socket";
  if (!strError.empty()) return true;
  int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK);
  if (fd < 0) strOpenError = std::strerror(errno);
  else ::close(fd);
  return false;
}

// What a result code means: the host's own codes, or the reader's as its
// plug-in declares them.
std::string Meaning(int code, const KelFormatDriver* pDriver) {
  switch (code) {
    case ROL_READ_ERROR: return "the file cannot be read";
    case ROL_INVALID_ARG: return "the file name is not usable";
    case ROL_LINE_TOO_LONG: return "a line is longer than the reader takes";
    case ROL_OUT_OF_MEMORY: return "out of memory";
    default: break;
  }
  for (int i = 0; pDriver && i < pDriver->nResults; ++i)
    if (pDriver->pResults[i].nCode == code) return pDriver->pResults[i].pszText;
  return "the reader failed";
}

// The first bytes that a content probe reads.
constexpr size_t kProbeBytes = 8192;

}  // namespace
}  // namespace detail

DecodeResult LogDecoder::Decode(const std::string& path, LogVisitor& visitor) {
  using namespace detail;
  DecodeResult result;
  m_bStop = false;
  std::string openError;
  if (RefuseIrregular(path, result.reason, openError)) {
    result.code = DecodeResult::kHostRefused;
    return result;
  }
  std::string ext = std::filesystem::path(path).extension().string();
  std::string head;
  CStdioFile::ReadHead(path, kProbeBytes, head);
  CDataFileFactoryHelper::Registration reg;
  if (!CDataFileFactoryHelper::FindForFile(ext.c_str(), head.data(), head.size(), reg) || !reg.pfnCreate) {
    result.code = DecodeResult::kHostRefused;
    result.reason = ext.empty() ? "no data-file type for a file without extension"
                                : "no data-file type for the extension " + ext;
    return result;
  }
  const KelFormatDriver* pDriver = CFormatDriverRegistry::FindByTypeName(reg.strTypeName);
  std::unique_ptr<CDataFile, ReleaseDataFile> file(reg.pfnCreate());
  if (!file) {
    result.code = DecodeResult::kHostRefused;
    result.reason = "the " + reg.strTypeName.str() + " reader cannot be created";
    return result;
  }
  file->GetControllingUnknown()->AddRef();
  FileInfo info;
  info.path = path;
  info.type = reg.strTypeName.str();
  CDecodingSink sink(m_request, std::move(info), pDriver, m_bStop, visitor, result.counts);
  file->SetMessageSink(&sink);
  RolRetc rc = file->LoadDataFile(path.c_str(), "");
  file->SetMessageSink(nullptr);
  if (rc == ROL_OK && !sink.Finish(*file)) rc = DecodeResult::kHostRefused;
  result.code = rc;
  result.lastLineCut = rc == ROL_OK && file->EndsInUnterminatedLine();
  if (rc == ROL_OK) visitor.OnEnd(result);
  if (rc == DecodeResult::kHostRefused) result.reason = sink.Error();
  else if (rc > 0) {
    result.meaning = Meaning(rc, pDriver);
    result.reason = openError;
  }
  if (m_request.progress && rc == ROL_OK) m_request.progress(file->GetFileSize(), file->GetFileSize());
  return result;
}

std::string DecodeResult::Describe(const std::string& path) const {
  std::string line = EscapeFileName(path) + ": ";
  if (code == kHostRefused) return line + reason;
  if (code == kStopped) return line + "stopped";
  line += "refused with code " + std::to_string(code) + ": " + meaning;
  if (!reason.empty()) line += " (" + reason + ")";
  return line;
}

std::string DecodeResult::DescribeCutLastLine(const std::string& path) {
  return EscapeFileName(path) + ": the last line has no line end, the log may be cut short: its last field is left out";
}

std::string EscapeFileName(std::string_view name) {
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

void AppendEscapedText(std::string& out, std::string_view text, const char* pszKept) {
  // Most texts hold no control byte: they are copied whole.
  size_t start = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    if (!(c < 0x20 || c == 0x7f) || (c != 0 && std::strchr(pszKept, c))) continue;
    out.append(text, start, i - start);
    char buf[8];
    std::snprintf(buf, sizeof buf, "\\x%02X", c);
    out += buf;
    start = i + 1;
  }
  out.append(text, start, text.size() - start);
}

}  // namespace vyr
