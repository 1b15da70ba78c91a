#include "TextSpool.h"

#include "OutputSpool.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <vector>

CTextSpool::~CTextSpool() {
  if (m_file) std::fclose(m_file);
}

void CTextSpool::Fail() {
  if (m_nErrno == 0) m_nErrno = errno ? errno : EIO;
  m_buf.clear();
}

void CTextSpool::Spill() {
  if (m_nErrno != 0) {
    m_buf.clear();
    return;
  }
  if (!m_file) {
    // In $TMPDIR, as the spools of parallel decoding.
    int fd = COutputSpool::OpenUnnamedFile();
    if (fd < 0 || !(m_file = ::fdopen(fd, "w+b"))) {
      const int nErrno = errno;
      if (fd >= 0) ::close(fd);
      errno = nErrno;
      return Fail();
    }
  }
  if (std::fwrite(m_buf.data(), 1, m_buf.size(), m_file) != m_buf.size()) return Fail();
  m_nSpilled += m_buf.size();
  m_buf.clear();
}

void CTextSpool::MoveTo(COutputWriter& out) {
  if (m_nSpilled > 0 && m_nErrno == 0) {
    if (std::fflush(m_file) != 0 || std::fseek(m_file, 0, SEEK_SET) != 0) {
      Fail();
    } else {
      std::vector<char> piece(1u << 20);
      for (size_t left = m_nSpilled; left > 0 && !out.Failed();) {
        const size_t n = std::fread(piece.data(), 1, std::min(left, piece.size()), m_file);
        if (n == 0) {
          if (m_nErrno == 0) m_nErrno = std::ferror(m_file) && errno ? errno : EIO;
          break;
        }
        out.Buffer().append(piece.data(), n);
        out.MaybeFlush();
        left -= n;
      }
    }
    // The file is emptied for the next message, giving its space back.
    if (m_nErrno == 0 && (std::fseek(m_file, 0, SEEK_SET) != 0 || ::ftruncate(fileno(m_file), 0) != 0)) Fail();
  }
  m_nSpilled = 0;
  if (m_nErrno == 0) out.Buffer() += m_buf;
  m_buf.clear();
}
