#include "CStdioFile.h"

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
constexpr size_t kBufSize = 1 << 20;
}

CStdioFile::CStdioFile() = default;
CStdioFile::~CStdioFile() { Close(); }

BOOL CStdioFile::Open(const char* pszFileName, UINT nOpenFlags, CFileException*) {
  Close();
  if (!pszFileName) return FALSE;
  int fd = ::open(pszFileName, O_RDONLY | O_CLOEXEC);
  if (fd < 0) return FALSE;
  struct stat st;
  if (::fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
    ::close(fd);
    return FALSE;
  }
  m_fd = fd;
  m_bText = (nOpenFlags & typeBinary) == 0;
  m_strPath = pszFileName;
  if (!m_buf) m_buf.reset(new char[kBufSize]);
  SeekToBegin();
  return TRUE;
}

void CStdioFile::Close() {
  if (m_fd >= 0) ::close(m_fd);
  m_fd = -1;
  m_nBegin = m_nEnd = 0;
  m_bEof = false;
  m_bError = false;
  m_nConsumed = 0;
}

void CStdioFile::SeekToBegin() {
  if (m_fd < 0) return;
  m_bError = ::lseek(m_fd, 0, SEEK_SET) < 0;
  m_nBegin = m_nEnd = 0;
  m_bEof = false;
  m_nConsumed = 0;
}

std::uint64_t CStdioFile::GetLength() const {
  struct stat st;
  if (m_fd < 0 || ::fstat(m_fd, &st) != 0) return 0;
  return static_cast<std::uint64_t>(st.st_size);
}

// Moves the unread bytes to the front and reads more. False at end or error.
bool CStdioFile::Fill() {
  if (m_bEof || m_bError || m_fd < 0) return false;
  if (m_nBegin > 0) {
    std::memmove(m_buf.get(), m_buf.get() + m_nBegin, m_nEnd - m_nBegin);
    m_nEnd -= m_nBegin;
    m_nBegin = 0;
  }
  for (;;) {
    ssize_t n = ::read(m_fd, m_buf.get() + m_nEnd, kBufSize - m_nEnd);
    if (n > 0) {
      m_nEnd += static_cast<size_t>(n);
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

bool CStdioFile::ReadLine(std::string& line) {
  line.clear();
  if (m_fd < 0) return false;
  bool gotAny = false;
  bool terminated = false;
  for (;;) {
    if (m_nBegin == m_nEnd && !Fill()) {
      if (!gotAny) return false;
      break;  // last line without a line end
    }
    gotAny = true;
    const char* start = m_buf.get() + m_nBegin;
    size_t avail = m_nEnd - m_nBegin;
    const char* nl = static_cast<const char*>(std::memchr(start, '\n', avail));
    if (nl) {
      size_t len = static_cast<size_t>(nl - start);
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
  if (m_bText && terminated && !line.empty() && line.back() == '\r') line.pop_back();
  return true;
}
