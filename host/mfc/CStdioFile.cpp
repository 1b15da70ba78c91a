#include "CStdioFile.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <mutex>
#include <unordered_map>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
constexpr size_t kBufSize = 1 << 20;

struct MemoryFiles {
  std::mutex mutex;
  std::unordered_map<std::string, std::string_view> files;
  std::atomic<size_t> nCount{0};  // lets Open skip the lock when none is registered
};
MemoryFiles& GetMemoryFiles() {
  static MemoryFiles s_files;
  return s_files;
}

bool FindMemoryFile(const char* pszName, std::string_view& bytes) {
  MemoryFiles& m = GetMemoryFiles();
  if (m.nCount.load(std::memory_order_acquire) == 0) return false;
  std::lock_guard<std::mutex> lock(m.mutex);
  auto it = m.files.find(pszName);
  if (it == m.files.end()) return false;
  bytes = it->second;
  return true;
}
}  // namespace

void CStdioFile::RegisterMemoryFile(const std::string& strName, std::string_view bytes) {
  MemoryFiles& m = GetMemoryFiles();
  std::lock_guard<std::mutex> lock(m.mutex);
  m.files[strName] = bytes;
  m.nCount.store(m.files.size(), std::memory_order_release);
}

void CStdioFile::UnregisterMemoryFile(const std::string& strName) {
  MemoryFiles& m = GetMemoryFiles();
  std::lock_guard<std::mutex> lock(m.mutex);
  m.files.erase(strName);
  m.nCount.store(m.files.size(), std::memory_order_release);
}

bool CStdioFile::IsMemoryFile(const std::string& strName) {
  std::string_view bytes;
  return FindMemoryFile(strName.c_str(), bytes);
}

bool CStdioFile::ReadHead(const std::string& strName, size_t nMax, std::string& out) {
  out.clear();
  std::string_view memory;
  if (FindMemoryFile(strName.c_str(), memory)) {
    out.assign(memory.substr(0, nMax));
    return true;
  }
  int fd = ::open(strName.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  out.resize(nMax);
  size_t nRead = 0;
  bool bOk = true;
  while (nRead < nMax) {
    ssize_t n = ::read(fd, out.data() + nRead, nMax - nRead);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) bOk = false;
    if (n <= 0) break;
    nRead += static_cast<size_t>(n);
  }
  ::close(fd);
  out.resize(bOk ? nRead : 0);
  return bOk;
}

CStdioFile::CStdioFile() = default;
CStdioFile::~CStdioFile() { Close(); }

BOOL CStdioFile::Open(const char* pszFileName, UINT nOpenFlags, CFileException*) {
  return OpenStretch(pszFileName, nOpenFlags, 0, kToEnd);
}

BOOL CStdioFile::OpenStretch(const char* pszFileName, UINT nOpenFlags, std::uint64_t nBegin, std::uint64_t nLength) {
  Close();
  if (!pszFileName) return FALSE;
  m_bText = (nOpenFlags & typeBinary) == 0;
  m_nStretchBegin = nBegin;
  m_nLength = nLength;
  std::string_view memory;
  if (FindMemoryFile(pszFileName, memory)) {
    // An empty buffer still needs an address that is not null.
    const char* pBase = memory.data() ? memory.data() : "";
    const size_t nStart = static_cast<size_t>(std::min<std::uint64_t>(nBegin, memory.size()));
    m_pMemory = pBase + nStart;
    m_nMemory = static_cast<size_t>(std::min<std::uint64_t>(nLength, memory.size() - nStart));
    m_nMemoryFile = memory.size();
    m_strPath = pszFileName;
    SeekToBegin();
    return TRUE;
  }
  int fd = ::open(pszFileName, O_RDONLY | O_CLOEXEC);
  if (fd < 0) return FALSE;
  struct stat st;
  if (::fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
    ::close(fd);
    return FALSE;
  }
  m_fd = fd;
  m_strPath = pszFileName;
  if (!m_buf) m_buf.reset(new char[kBufSize]);
  SeekToBegin();
  return TRUE;
}

void CStdioFile::Close() {
  if (m_fd >= 0) ::close(m_fd);
  m_fd = -1;
  m_pMemory = nullptr;
  m_nMemory = 0;
  m_nMemoryFile = 0;
  m_nStretchBegin = 0;
  m_nLength = m_nLeft = kToEnd;
  m_nBegin = m_nEnd = 0;
  m_bEof = false;
  m_bError = false;
  m_bLineTooLong = false;
  m_bLastUnterminated = false;
  m_nConsumed = 0;
}

void CStdioFile::SeekToBegin() {
  if (!IsOpen()) return;
  m_bError = m_pMemory ? false : ::lseek(m_fd, static_cast<off_t>(m_nStretchBegin), SEEK_SET) < 0;
  m_nLeft = m_nLength;
  m_nBegin = 0;
  m_nEnd = m_pMemory ? m_nMemory : 0;  // a buffer is read in place, all at once
  m_bEof = m_pMemory != nullptr;
  m_bLineTooLong = false;
  m_bLastUnterminated = false;
  m_nConsumed = 0;
}

std::uint64_t CStdioFile::GetLength() const {
  if (m_pMemory) return m_nMemoryFile;
  struct stat st;
  if (m_fd < 0 || ::fstat(m_fd, &st) != 0) return 0;
  return static_cast<std::uint64_t>(st.st_size);
}

// Moves the unread bytes to the front and reads more. False at end or error.
bool CStdioFile::Fill() {
  if (m_bEof || m_bError || m_bLineTooLong || m_fd < 0) return false;
  if (m_nBegin > 0) {
    std::memmove(m_buf.get(), m_buf.get() + m_nBegin, m_nEnd - m_nBegin);
    m_nEnd -= m_nBegin;
    m_nBegin = 0;
  }
  for (;;) {
    const size_t nWant = static_cast<size_t>(std::min<std::uint64_t>(kBufSize - m_nEnd, m_nLeft));
    ssize_t n = nWant == 0 ? 0 : ::read(m_fd, m_buf.get() + m_nEnd, nWant);
    if (n > 0) {
      m_nEnd += static_cast<size_t>(n);
      m_nLeft -= static_cast<std::uint64_t>(n);
      return true;
    }
    if (n == 0) {
      m_bEof = true;
      return false;
    }
    if (errno != EINTR) {
      m_bError = true;
      return false;
    }
  }
}

// A line beyond the maximum length ends the reading for good: the bytes up
// to that point are dropped, and the file reports the long line from now on.
bool CStdioFile::StopAtLongLine(std::string& line) {
  m_bLineTooLong = true;
  line.clear();
  line.shrink_to_fit();
  return false;
}

bool CStdioFile::ReadLine(std::string& line) {
  line.clear();
  if (!IsOpen() || m_bLineTooLong) return false;
  bool gotAny = false;
  bool terminated = false;
  for (;;) {
    if (m_nBegin == m_nEnd && !Fill()) {
      if (!gotAny) return false;
      break;  // last line without a line end
    }
    gotAny = true;
    const char* start = Data() + m_nBegin;
    size_t avail = m_nEnd - m_nBegin;
    const char* nl = static_cast<const char*>(std::memchr(start, '\n', avail));
    const size_t len = nl ? static_cast<size_t>(nl - start) : avail;
    if (line.size() + len > m_nMaxLine) return StopAtLongLine(line);
    if (nl) {
      line.append(start, len);
      m_nBegin += len + 1;
      m_nConsumed += len + 1;
      terminated = true;
      break;
    }
    // No line end in the buffer: keep the bytes and read more. A line longer
    // than the buffer is collected piece by piece.
    line.append(start, avail);
    m_nBegin = m_nEnd;
    m_nConsumed += avail;
  }
  m_bLastUnterminated = !terminated;
  if (m_bText && terminated && !line.empty() && line.back() == '\r') line.pop_back();
  return true;
}
