#include "ParallelFiles.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "OutputFile.h"

namespace {
struct FileResult {
  std::FILE* spool = nullptr;
  std::string err;
  bool ok = false;
  bool done = false;
};

// Copies a spooled output; false when reading the spool failed (a write
// failure shows in ferror(stdout)).
bool CopyToStdout(std::FILE* spool) {
  std::rewind(spool);
  char buf[1 << 16];
  size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, spool)) > 0) {
    if (std::fwrite(buf, 1, n, stdout) != n) return true;
  }
  return !std::ferror(spool);
}

// After a file's output: true when standard output still takes writes.
bool StdoutStillWritable() {
  if (std::fflush(stdout) == 0 && !std::ferror(stdout)) return true;
  return false;
}
}  // namespace

bool RunFilesInOrder(const std::vector<std::string>& files, int nJobs, const FileTask& task) {
  if (nJobs <= 1 || files.size() <= 1) {
    bool allOk = true;
    for (const std::string& path : files) {
      std::string err;
      bool ok = task(path, stdout, err);
      std::fputs(err.c_str(), stderr);
      allOk = ok && allOk;
      if (!StdoutStillWritable()) return false;  // the task has said why
    }
    return allOk;
  }
  std::vector<FileResult> results(files.size());
  std::mutex lock;
  std::condition_variable cv;
  std::atomic<size_t> next{0};
  std::atomic<bool> stopAll{false};
  // Each file decoded ahead of the one being written holds an open temporary
  // file until it is written: a slow file followed by thousands of quick ones
  // would run out of file handles. Workers stay within a window of files.
  size_t nThreads = std::min(files.size(), static_cast<size_t>(nJobs));
  const size_t nWindow = 2 * nThreads;
  size_t nWritten = 0;
  auto worker = [&] {
    for (size_t i; !stopAll.load() && (i = next.fetch_add(1)) < files.size();) {
      {
        std::unique_lock<std::mutex> g(lock);
        cv.wait(g, [&] { return i < nWritten + nWindow; });
      }
      FileResult r;
      r.spool = std::tmpfile();
      if (!r.spool) {
        r.err = "vyrhost: " + files[i] + ": no room for a temporary file\n";
      } else {
        r.ok = task(files[i], r.spool, r.err);
        std::fflush(r.spool);
      }
      r.done = true;
      std::lock_guard<std::mutex> g(lock);
      results[i] = std::move(r);
      cv.notify_all();
    }
  };
  std::vector<std::thread> threads;
  for (size_t t = 0; t < nThreads; ++t) threads.emplace_back(worker);
  bool allOk = true;
  for (size_t i = 0; i < files.size(); ++i) {
    FileResult r;
    {
      std::unique_lock<std::mutex> g(lock);
      cv.wait(g, [&] { return results[i].done; });
      r = std::move(results[i]);
      results[i].spool = nullptr;
    }
    if (r.spool) {
      if (!CopyToStdout(r.spool)) {
        r.ok = false;
        r.err += "vyrhost: " + files[i] + ": reading its temporary spool failed\n";
      }
      std::fclose(r.spool);
    }
    std::fputs(r.err.c_str(), stderr);
    allOk = r.ok && allOk;
    if (!StdoutStillWritable()) {
      std::fprintf(stderr, "%s\n", DescribeSystemError("standard output", errno).c_str());
      allOk = false;
      break;
    }
    {
      std::lock_guard<std::mutex> g(lock);
      nWritten = i + 1;
    }
    cv.notify_all();
  }
  // After a failed write the rest is not written: let the workers finish the
  // files they hold and drop their spools.
  stopAll.store(true);
  {
    std::lock_guard<std::mutex> g(lock);
    nWritten = files.size();
  }
  cv.notify_all();
  for (std::thread& t : threads) t.join();
  for (FileResult& r : results) {
    if (r.spool) std::fclose(r.spool);
  }
  return allOk;
}
