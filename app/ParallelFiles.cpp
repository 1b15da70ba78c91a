#include "ParallelFiles.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace {
struct FileResult {
  std::FILE* spool = nullptr;
  std::string err;
  bool ok = false;
  bool done = false;
};

void CopyToStdout(std::FILE* spool) {
  std::rewind(spool);
  char buf[1 << 16];
  size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, spool)) > 0) std::fwrite(buf, 1, n, stdout);
}
}  // namespace

bool RunFilesInOrder(const std::vector<std::string>& files, int nJobs, const FileTask& task) {
  if (nJobs <= 1 || files.size() <= 1) {
    bool allOk = true;
    for (const std::string& path : files) {
      std::string err;
      bool ok = task(path, stdout, err);
      std::fflush(stdout);
      std::fputs(err.c_str(), stderr);
      allOk = ok && allOk;
    }
    return allOk;
  }
  std::vector<FileResult> results(files.size());
  std::mutex lock;
  std::condition_variable cv;
  std::atomic<size_t> next{0};
  // Each file decoded ahead of the one being written holds an open temporary
  // file until it is written: a slow file followed by thousands of quick ones
  // would run out of file handles. Workers stay within a window of files.
  size_t nThreads = std::min(files.size(), static_cast<size_t>(nJobs));
  const size_t nWindow = 2 * nThreads;
  size_t nWritten = 0;
  auto worker = [&] {
    for (size_t i; (i = next.fetch_add(1)) < files.size();) {
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
    }
    if (r.spool) {
      CopyToStdout(r.spool);
      std::fclose(r.spool);
    }
    std::fflush(stdout);
    std::fputs(r.err.c_str(), stderr);
    allOk = r.ok && allOk;
    {
      std::lock_guard<std::mutex> g(lock);
      nWritten = i + 1;
    }
    cv.notify_all();
  }
  for (std::thread& t : threads) t.join();
  return allOk;
}
