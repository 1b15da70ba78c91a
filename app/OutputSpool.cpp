#include "OutputSpool.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <vector>

namespace {
// An unnamed file in the folder: O_TMPFILE where the file system has it,
// otherwise a unique name removed at once. -1 with errno set on failure.
int OpenUnnamedFileIn(const std::string& folder) {
  int fd = ::open(folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
  if (fd >= 0 || (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL)) return fd;
  std::string name = folder + "/vyrhost-spool-XXXXXX";
  fd = ::mkostemp(name.data(), O_CLOEXEC);
  if (fd >= 0) ::unlink(name.c_str());
  return fd;
}

int WriteAll(int fd, const char* data, size_t size) {
  while (size > 0) {
    ssize_t n = ::write(fd, data, size);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return n < 0 ? errno : EIO;
    data += n;
    size -= static_cast<size_t>(n);
  }
  return 0;
}
}  // namespace

std::string COutputSpool::Folder() {
  const char* dir = std::getenv("TMPDIR");
  return dir && *dir ? dir : "/tmp";
}

int COutputSpool::OpenUnnamedFile() { return OpenUnnamedFileIn(Folder()); }

int COutputSpool::Append(const char* data, size_t size) {
  while (size > 0 && m_nMemorySize < m_nMemoryCap) {
    if (m_blocks.empty() || m_blocks.back().size() == kBlockBytes) m_blocks.emplace_back().reserve(kBlockBytes);
    std::string& block = m_blocks.back();
    const size_t n = std::min({size, kBlockBytes - block.size(), m_nMemoryCap - m_nMemorySize});
    block.append(data, n);
    m_nMemorySize += n;
    data += n;
    size -= n;
  }
  if (size == 0) return 0;
  if (m_fd < 0 && (m_fd = OpenUnnamedFile()) < 0) return errno ? errno : EIO;
  if (int nErrno = WriteAll(m_fd, data, size)) return nErrno;
  m_nFileSize += size;
  return 0;
}

int COutputSpool::AppendBlock(std::string& block) {
  if (m_nFileSize > 0 || m_nMemorySize + block.size() > m_nMemoryCap) {
    const int nErrno = Append(block.data(), block.size());
    block.clear();
    return nErrno;
  }
  m_nMemorySize += block.size();
  m_blocks.push_back(std::move(block));
  block = std::string();
  return 0;
}

int COutputSpool::CopyOut(const std::function<bool(const char*, size_t)>& write) const {
  for (const std::string& block : m_blocks)
    if (!write(block.data(), block.size())) return 0;
  std::vector<char> buf(std::min<std::uint64_t>(m_nFileSize, 1 << 20));
  for (std::uint64_t offset = 0; offset < m_nFileSize;) {
    size_t want = static_cast<size_t>(std::min<std::uint64_t>(buf.size(), m_nFileSize - offset));
    ssize_t n = ::pread(m_fd, buf.data(), want, static_cast<off_t>(offset));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return n < 0 ? errno : EIO;  // a spool shorter than written
    if (!write(buf.data(), static_cast<size_t>(n))) return 0;
    offset += static_cast<std::uint64_t>(n);
  }
  return 0;
}

void COutputSpool::Clear() {
  std::vector<std::string>().swap(m_blocks);
  m_nMemorySize = 0;
  if (m_fd >= 0) ::close(m_fd);
  m_fd = -1;
  m_nFileSize = 0;
}
