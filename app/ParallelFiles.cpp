#include "ParallelFiles.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <cstdio>
#include <memory>
#include <mutex>
#include <new>
#include <thread>

#include "OutputFile.h"
#include "OutputSpool.h"
#include "OutputWriter.h"
#include "vyr/Log.h"

namespace {
// What the sinks, the workers and the writing thread share, under one lock.
struct SharedState {
  std::mutex lock;
  std::condition_variable cv;
  std::uint64_t nHeldBack = 0;  // bytes in every spool, with those reserved
  size_t nWritten = 0;          // files whose output is complete
  bool failed = false;
  std::string failure;  // the line that reports the failure

  void Fail(const std::string& line) {
    std::lock_guard<std::mutex> g(lock);
    if (!failed) failure = line;
    failed = true;
    cv.notify_all();
  }
  bool Failed() {
    std::lock_guard<std::mutex> g(lock);
    return failed;
  }
};

// One file's output: held back in its spool until its turn, then written
// straight to standard output by the worker decoding the file. Lock order:
// the sink's lock before the shared one.
class CFileSink final : public IOutputSink {
 public:
  CFileSink(SharedState& shared, const std::string& path, size_t nMemoryCap)
      : m_shared(shared), m_path(path), m_spool(nMemoryCap) {}

  int Write(const char* data, size_t size) override {
    bool bReserved = ReserveRoom(size);
    std::lock_guard<std::mutex> g(m_lock);
    if (m_shared.Failed()) return ECANCELED;
    if (m_bDirect) {
      if (bReserved) Release(size);
      return WriteStdout(data, size);
    }
    int nErrno = m_spool.Append(data, size);
    if (nErrno != 0) m_shared.Fail(SpoolError(nErrno));
    return nErrno;
  }

  // The file's turn (it may not have started yet, or be done): what it holds
  // back goes out, and from then on it writes directly.
  void TakeTurn() {
    std::lock_guard<std::mutex> g(m_lock);
    // In pieces, so that a failure elsewhere stops the copy soon.
    int nErrno = m_spool.CopyOut([&](const char* data, size_t size) {
      for (size_t n; size > 0; data += n, size -= n) {
        n = std::min<size_t>(size, 1 << 16);
        if (m_shared.Failed() || WriteStdout(data, n) != 0) return false;
      }
      return true;
    });
    if (nErrno != 0) m_shared.Fail(SpoolError(nErrno));
    std::lock_guard<std::mutex> s(m_shared.lock);
    m_shared.nHeldBack -= m_spool.Size();
    m_spool.Clear();
    m_bDirect = true;
    m_shared.cv.notify_all();
  }

 private:
  // Waits while holding back size more bytes would pass the bound; false
  // when the bytes will not be held back (the file's turn has come, or the
  // run failed). A spool may always take its first bytes beyond the bound.
  bool ReserveRoom(size_t size) {
    std::unique_lock<std::mutex> g(m_shared.lock);
    m_shared.cv.wait(g, [&] {
      return m_bDirect || m_shared.failed || m_shared.nHeldBack == 0 || m_shared.nHeldBack + size <= kSpoolHeldBack;
    });
    if (m_bDirect || m_shared.failed) return false;
    m_shared.nHeldBack += size;
    return true;
  }
  void Release(size_t size) {
    std::lock_guard<std::mutex> g(m_shared.lock);
    m_shared.nHeldBack -= size;
    m_shared.cv.notify_all();
  }
  int WriteStdout(const char* data, size_t size) {
    if (std::fwrite(data, 1, size, stdout) == size && std::fflush(stdout) == 0) return 0;
    int nErrno = errno ? errno : EIO;
    m_shared.Fail(DescribeSystemError("standard output", nErrno));
    return nErrno;
  }
  std::string SpoolError(int nErrno) const {
    return DescribeSystemError("temporary spool of " + m_path + " in " + COutputSpool::Folder(), nErrno);
  }

  SharedState& m_shared;
  std::string m_path;
  std::mutex m_lock;  // the spool; standard output while the file writes directly
  COutputSpool m_spool;
  bool m_bDirect = false;  // set under both locks
};

struct FileResult {
  std::string err;
  bool ok = false;
  bool done = false;
};

// A file whose decode runs out of memory fails alone, with a message, instead
// of aborting the run (an exception must not leave a worker thread).
bool RunTask(const FileTask& task, const std::string& path, COutputWriter& out, std::string& err) {
  try {
    return task(path, out, err);
  } catch (const std::bad_alloc&) {
    err += "vyrhost: " + vyr::EscapeFileName(path) + ": out of memory\n";
    return false;
  }
}

bool RunOneAfterAnother(const std::vector<std::string>& files, const FileTask& task) {
  bool allOk = true;
  for (const std::string& path : files) {
    COutputWriter out(stdout);
    std::string err;
    bool ok = RunTask(task, path, out, err);
    out.Flush();
    std::fputs(err.c_str(), stderr);
    allOk = ok && allOk;
    if (out.Failed()) {
      std::fprintf(stderr, "%s\n", DescribeSystemError("standard output", out.Errno()).c_str());
      return false;
    }
  }
  return allOk;
}
}  // namespace

bool RunFilesInOrder(const std::vector<std::string>& files, int nJobs, const FileTask& task) {
  if (nJobs <= 1 || files.size() <= 1) return RunOneAfterAnother(files, task);
  SharedState shared;
  // A file ahead holds an open temporary file once its output passes memory:
  // a window of 2N files keeps thousands of quick files behind a slow one
  // within a few file handles, and the memory held within the total.
  const size_t nThreads = std::min(files.size(), static_cast<size_t>(nJobs));
  const size_t nWindow = 2 * nThreads;
  const size_t nMemoryCap = std::min(kSpoolMemoryPerFile, kSpoolMemoryTotal / nWindow);
  std::vector<std::unique_ptr<CFileSink>> sinks;
  for (const std::string& path : files) sinks.push_back(std::make_unique<CFileSink>(shared, path, nMemoryCap));
  std::vector<FileResult> results(files.size());
  std::atomic<size_t> next{0};
  auto worker = [&] {
    for (size_t i; (i = next.fetch_add(1)) < files.size();) {
      {
        std::unique_lock<std::mutex> g(shared.lock);
        shared.cv.wait(g, [&] { return shared.failed || i < shared.nWritten + nWindow; });
        if (shared.failed) return;
      }
      FileResult r;
      {
        COutputWriter out(*sinks[i]);
        r.ok = RunTask(task, files[i], out, r.err);
        out.Flush();
      }
      r.done = true;
      std::lock_guard<std::mutex> g(shared.lock);
      results[i] = std::move(r);
      shared.cv.notify_all();
    }
  };
  // The first file writes directly from its first byte.
  sinks[0]->TakeTurn();
  std::vector<std::thread> threads;
  for (size_t t = 0; t < nThreads; ++t) threads.emplace_back(worker);
  bool allOk = true;
  for (size_t i = 0; i < files.size(); ++i) {
    if (i > 0) sinks[i]->TakeTurn();
    FileResult r;
    {
      std::unique_lock<std::mutex> g(shared.lock);
      shared.cv.wait(g, [&] { return results[i].done || shared.failed; });
      if (shared.failed) break;
      r = std::move(results[i]);
    }
    std::fputs(r.err.c_str(), stderr);
    allOk = r.ok && allOk;
    std::lock_guard<std::mutex> g(shared.lock);
    shared.nWritten = i + 1;
    shared.cv.notify_all();
  }
  // After a failure the workers stop at their next write or file.
  {
    std::lock_guard<std::mutex> g(shared.lock);
    if (shared.failed) std::fprintf(stderr, "%s\n", shared.failure.c_str());
    allOk = allOk && !shared.failed;
  }
  for (std::thread& t : threads) t.join();
  return allOk;
}
