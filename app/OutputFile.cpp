#include "OutputFile.h"

#include "vyr/Log.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <filesystem>

namespace {
// Temporary files in progress, for the signal handler: fixed slots, since a
// handler may neither allocate nor lock.
constexpr size_t kMaxTemps = 8;
constexpr size_t kMaxPath = 4096;
std::array<std::atomic<bool>, kMaxTemps> s_tempUsed{};
std::array<std::array<char, kMaxPath>, kMaxTemps> s_tempPaths{};

int RegisterTemp(const std::string& path) {
  if (path.size() >= kMaxPath) return -1;
  for (size_t i = 0; i < kMaxTemps; ++i) {
    if (s_tempUsed[i].load()) continue;
    std::memcpy(s_tempPaths[i].data(), path.c_str(), path.size() + 1);
    s_tempUsed[i].store(true);
    return static_cast<int>(i);
  }
  return -1;
}

void UnregisterTemp(const std::string& path) {
  for (size_t i = 0; i < kMaxTemps; ++i) {
    if (s_tempUsed[i].load() && path == s_tempPaths[i].data()) s_tempUsed[i].store(false);
  }
}

extern "C" void RemoveTempsAndDie(int sig) {
  for (size_t i = 0; i < kMaxTemps; ++i) {
    if (s_tempUsed[i].load()) ::unlink(s_tempPaths[i].data());
  }
  std::signal(sig, SIG_DFL);
  std::raise(sig);
}

bool SameFile(const struct stat& a, const struct stat& b) { return a.st_dev == b.st_dev && a.st_ino == b.st_ino; }

// The file a name leads to once every symbolic link is followed; the name
// itself when it does not exist yet (or a link leads nowhere).
std::string FollowLinks(const std::string& name) {
  std::error_code ec;
  std::filesystem::path p = name;
  for (int hops = 0; hops < 40 && std::filesystem::is_symlink(p, ec); ++hops) {
    std::filesystem::path to = std::filesystem::read_symlink(p, ec);
    if (ec) break;
    p = to.is_absolute() ? to : p.parent_path() / to;
  }
  return p.string();
}
}  // namespace

std::string DescribeSystemError(const std::string& name, int nErrno) {
  return "vyrhost: " + vyr::EscapeFileName(name) + ": " + std::strerror(nErrno);
}

void COutputFile::InstallInterruptCleanup() {
  std::signal(SIGINT, RemoveTempsAndDie);
  std::signal(SIGTERM, RemoveTempsAndDie);
}

bool COutputFile::Open(const std::string& name, const std::vector<std::string>& inputs, std::string& err) {
  m_name = name == "-" ? "standard output" : name;
  if (name == "-") {
    m_bStdout = true;
    m_file = stdout;
    return true;
  }
  struct stat target {};
  bool exists = ::stat(name.c_str(), &target) == 0;
  if (exists) {
    for (const std::string& in : inputs) {
      struct stat input {};
      if (::stat(in.c_str(), &input) == 0 && SameFile(input, target)) {
        err = "vyrhost: " + vyr::EscapeFileName(name) + ": the output is the input " + vyr::EscapeFileName(in) + "; refusing to overwrite it";
        return false;
      }
    }
  }
  if (exists && !S_ISREG(target.st_mode)) {
    m_file = std::fopen(name.c_str(), "wb");
    if (!m_file) err = DescribeSystemError(name, errno);
    return m_file != nullptr;
  }
  m_target = FollowLinks(name);
  std::filesystem::path t = m_target;
  std::string temp = (t.parent_path() / ("." + t.filename().string() + ".XXXXXX")).string();
  int fd = ::mkstemp(temp.data());
  if (fd < 0) {
    err = DescribeSystemError(name, errno);
    return false;
  }
  // mkstemp makes the file private; give it the mode a new file would get,
  // or the mode of the file it replaces.
  mode_t mode = exists ? (target.st_mode & 07777) : 0666;
  if (!exists) {
    mode_t mask = ::umask(0);
    ::umask(mask);
    mode &= ~mask;
  }
  ::fchmod(fd, mode);
  m_temp = temp;
  RegisterTemp(m_temp);
  m_file = ::fdopen(fd, "wb");
  if (!m_file) {
    err = DescribeSystemError(name, errno);
    ::close(fd);
    Abandon();
    return false;
  }
  return true;
}

bool COutputFile::Commit(std::string& err) {
  if (m_bStdout) {
    m_file = nullptr;
    if (std::fflush(stdout) == 0 && !std::ferror(stdout)) return true;
    err = DescribeSystemError("standard output", errno);
    return false;
  }
  if (!m_file) return false;
  bool ok = std::fflush(m_file) == 0 && !std::ferror(m_file);
  int nErrno = errno;
  if (std::fclose(m_file) != 0 && ok) {
    ok = false;
    nErrno = errno;
  }
  m_file = nullptr;
  if (ok && !m_temp.empty() && std::rename(m_temp.c_str(), m_target.c_str()) != 0) {
    ok = false;
    nErrno = errno;
  }
  if (!ok) {
    err = DescribeSystemError(m_name, nErrno);
    Abandon();
    return false;
  }
  UnregisterTemp(m_temp);
  m_temp.clear();
  return true;
}

void COutputFile::Abandon() {
  if (m_file && !m_bStdout) std::fclose(m_file);
  m_file = nullptr;
  if (!m_temp.empty()) {
    ::unlink(m_temp.c_str());
    UnregisterTemp(m_temp);
    m_temp.clear();
  }
}
