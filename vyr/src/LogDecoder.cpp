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
#include "DecodingSink.h"
#include "vyr/Log.h"

namespace vyr {

namespace detail {

namespace {
thread_local DeviceHook t_deviceHook;
}  // namespace

void SetDeviceHook(DeviceHook hook) { t_deviceHook = std::move(hook); }
const DeviceHook& CurrentDeviceHook() { return t_deviceHook; }

namespace {

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

// The first bytes that a content probe reads.
constexpr size_t kProbeBytes = 8192;
}  // namespace

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

DataFilePtr MakeReader(VyrCreateDataFileFn pfnCreate) {
  DataFilePtr file(pfnCreate ? pfnCreate() : nullptr);
  if (file) file->GetControllingUnknown()->AddRef();
  return file;
}

bool FindLogType(const std::string& path, DecodeResult& result, CDataFileFactoryHelper::Registration& reg,
                 const KelFormatDriver*& pDriver, std::string& strOpenError) {
  if (RefuseIrregular(path, result.reason, strOpenError)) {
    result.code = DecodeResult::kHostRefused;
    return false;
  }
  std::string ext = std::filesystem::path(path).extension().string();
  std::string head;
  CStdioFile::ReadHead(path, kProbeBytes, head);
  if (!CDataFileFactoryHelper::FindForFile(ext.c_str(), head.data(), head.size(), reg) || !reg.pfnCreate) {
    result.code = DecodeResult::kHostRefused;
    result.reason = ext.empty() ? "no data-file type for a file without extension"
                                : "no data-file type for the extension " + ext;
    return false;
  }
  pDriver = CFormatDriverRegistry::FindByTypeName(reg.strTypeName);
  return true;
}
}  // namespace detail

DecodeResult LogDecoder::Decode(const std::string& path, LogVisitor& visitor) {
  using namespace detail;
  DecodeResult result;
  m_bStop = false;
  std::string openError;
  CDataFileFactoryHelper::Registration reg;
  const KelFormatDriver* pDriver = nullptr;
  if (!FindLogType(path, result, reg, pDriver, openError)) return result;
  DataFilePtr file = MakeReader(reg.pfnCreate);
  if (!file) {
    result.code = DecodeResult::kHostRefused;
    result.reason = "the " + reg.strTypeName.str() + " reader cannot be created";
    return result;
  }
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
