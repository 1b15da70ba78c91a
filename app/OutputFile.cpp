#include "OutputFile.h"

#include "vyr/Log.h"

#include <fcntl.h>
#include <pthread.h>
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

// The signals whose default ends the program, so that a temporary file would
// be left behind.
constexpr int kFatalSignals[] = {SIGHUP, SIGINT, SIGQUIT, SIGTERM, SIGPIPE, SIGALRM, SIGUSR1,
                                 SIGUSR2, SIGVTALRM, SIGPROF, SIGXCPU, SIGXFSZ};

extern "C" void RemoveTempsAndDie(int sig) {
  for (size_t i = 0; i < kMaxTemps; ++i) {
    if (s_tempUsed[i].load()) ::unlink(s_tempPaths[i].data());
  }
  // Blocked while the handler runs: it ends the program once the handler returns.
  std::signal(sig, SIG_DFL);
  std::raise(sig);
}

// Holds the fatal signals back while a temporary file is made and
// registered, or renamed and forgotten, so that no signal falls in between.
class CFatalSignalsHeld {
 public:
  CFatalSignalsHeld() {
    sigset_t set;
    sigemptyset(&set);
    for (int sig : kFatalSignals) sigaddset(&set, sig);
    pthread_sigmask(SIG_BLOCK, &set, &m_saved);
  }
  ~CFatalSignalsHeld() { pthread_sigmask(SIG_SETMASK, &m_saved, nullptr); }
  CFatalSignalsHeld(const CFatalSignalsHeld&) = delete;
  CFatalSignalsHeld& operator=(const CFatalSignalsHeld&) = delete;

 private:
  sigset_t m_saved;
};

// ".NAME.XXXXXX" beside the target, NAME cut short (on a character boundary
// of UTF-8) when the whole would pass the folder's limit of a file name.
std::string TempNameFor(const std::filesystem::path& target) {
  std::string base = target.filename().string();
  const std::filesystem::path folder = target.parent_path();
  long nMax = ::pathconf(folder.empty() ? "." : folder.c_str(), _PC_NAME_MAX);
  const size_t nLimit = nMax > 0 ? static_cast<size_t>(nMax) : 255;
  const size_t nAdded = std::strlen("..XXXXXX");
  if (base.size() + nAdded > nLimit) {
    size_t nKeep = nLimit > nAdded ? nLimit - nAdded : 0;
    while (nKeep > 0 && (static_cast<unsigned char>(base[nKeep]) & 0xC0) == 0x80) --nKeep;
    base.resize(nKeep);
  }
  return (folder / ("." + base + ".XXXXXX")).string();
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
  for (int sig : kFatalSignals) {
    struct sigaction action {};
    if (::sigaction(sig, nullptr, &action) != 0 || action.sa_handler == SIG_IGN) continue;
    action = {};
    action.sa_handler = RemoveTempsAndDie;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    ::sigaction(sig, &action, nullptr);
  }
}

bool RefuseStandardOutputAsInput(const std::vector<std::string>& inputs) {
  std::string err;
  if (!StandardOutputIsAnInput(inputs, err)) return false;
  std::fprintf(stderr, "%s\n", err.c_str());
  return true;
}

bool StandardOutputIsAnInput(const std::vector<std::string>& inputs, std::string& err) {
  struct stat out {};
  if (::fstat(STDOUT_FILENO, &out) != 0 || !S_ISREG(out.st_mode)) return false;
  for (const std::string& in : inputs) {
    struct stat input {};
    if (::stat(in.c_str(), &input) == 0 && SameFile(input, out)) {
      err = "vyrhost: standard output: the output is the input " + vyr::EscapeFileName(in) + "; refusing to write into it";
      return true;
    }
  }
  return false;
}

bool OpenClosedStandardDescriptors() {
  for (int fd = 0; fd <= 2; ++fd) {
    if (::fcntl(fd, F_GETFD) != -1 || errno != EBADF) continue;
    // The lowest free number: fd itself, as those below it are open.
    int opened = ::open("/dev/null", fd == STDERR_FILENO ? O_WRONLY : O_RDONLY);
    if (opened != fd) {
      if (opened >= 0) ::close(opened);
      return false;
    }
  }
  return true;
}

bool COutputFile::Open(const std::string& name, const std::vector<std::string>& inputs, std::string& err) {
  m_name = name == "-" ? "standard output" : name;
  if (name == "-") {
    if (StandardOutputIsAnInput(inputs, err)) return false;
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
  std::string temp = TempNameFor(m_target);
  CFatalSignalsHeld held;
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
  CFatalSignalsHeld held;
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
