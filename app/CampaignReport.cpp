#include "CampaignReport.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <filesystem>
#include <mutex>
#include <new>
#include <optional>
#include <thread>

#include <unistd.h>

namespace {
// "report: 12 of 50 logs, 240.0 of 1000.0 MB (24%)" on a terminal, after a
// second, at most five times a second.
class CCampaignProgress {
 public:
  CCampaignProgress(size_t nLogs, std::uint64_t nTotalBytes)
      : m_nLogs(nLogs), m_nTotal(nTotalBytes), m_bEnabled(isatty(STDERR_FILENO) == 1),
        m_start(std::chrono::steady_clock::now()) {}
  ~CCampaignProgress() {
    if (m_bShown) std::fputs("\r\033[K", stderr);
  }
  void Show(size_t nLogsDone, std::uint64_t nBytesDone) {
    if (!m_bEnabled || std::chrono::steady_clock::now() - m_start < std::chrono::seconds(1)) return;
    m_bShown = true;
    double pct = m_nTotal ? 100.0 * static_cast<double>(nBytesDone) / static_cast<double>(m_nTotal) : 0.0;
    std::fprintf(stderr, "\r\033[Kreport: %zu of %zu logs, %.1f of %.1f MB (%.0f%%)", nLogsDone, m_nLogs,
                 static_cast<double>(nBytesDone) / 1e6, static_cast<double>(m_nTotal) / 1e6, pct);
  }

 private:
  size_t m_nLogs;
  std::uint64_t m_nTotal;
  bool m_bEnabled;
  bool m_bShown = false;
  std::chrono::steady_clock::time_point m_start;
};

std::uint64_t FileSize(const std::string& path) {
  std::error_code ec;
  std::uintmax_t n = std::filesystem::file_size(path, ec);
  return ec ? 0 : static_cast<std::uint64_t>(n);
}
}  // namespace

CampaignData DecodeCampaign(const std::vector<std::string>& files, double dThresholdDbm,
                            const vyr::DecodeSettings& decode, const vyr::LevelCut& cut, int nJobs,
                            const CampaignLogFn& onLog) {
  CampaignSettings settings = CampaignSettingsFor(files.size(), dThresholdDbm);
  settings.decode = decode;
  settings.cut = cut;
  const size_t nThreads = std::clamp<size_t>(static_cast<size_t>(std::max(1, nJobs)), 1, std::max<size_t>(1, files.size()));
  // Workers stay within a window of logs ahead of the one being combined, so
  // that the logs waiting for their turn stay few.
  const size_t nWindow = 2 * nThreads;
  std::uint64_t nTotalBytes = 0;
  for (const std::string& f : files) nTotalBytes += FileSize(f);

  std::vector<std::optional<CampaignLog>> results(files.size());
  std::vector<std::atomic<std::uint64_t>> reading(nThreads);  // bytes read of each worker's current log
  std::atomic<std::uint64_t> bytesDone{0};
  std::atomic<size_t> next{0};
  std::atomic<bool> stopped{false};
  size_t nCombined = 0;
  std::mutex lock;
  std::condition_variable cv;

  auto worker = [&](size_t t) {
    for (size_t i; !stopped.load() && (i = next.fetch_add(1)) < files.size();) {
      {
        std::unique_lock<std::mutex> g(lock);
        cv.wait(g, [&] { return i < nCombined + nWindow; });
      }
      if (stopped.load()) break;
      CampaignLog log;
      try {
        log = DecodeCampaignLog(files[i], static_cast<std::uint32_t>(i), settings,
                                [&](std::uint64_t done) { reading[t].store(done); });
      } catch (const std::bad_alloc&) {
        // The log is listed as refused; the exception must not leave the thread.
        log = CampaignLog{};
        log.strPath = files[i];
        log.strRefusal = vyr::EscapeFileName(files[i]) + ": out of memory";
      }
      reading[t].store(0);
      bytesDone += FileSize(files[i]);
      std::lock_guard<std::mutex> g(lock);
      results[i] = std::move(log);
      cv.notify_all();
    }
  };
  std::vector<std::thread> threads;
  for (size_t t = 0; t < nThreads; ++t) threads.emplace_back(worker, t);

  CCampaign campaign(settings);
  {
    CCampaignProgress progress(files.size(), nTotalBytes);
    for (size_t i = 0; i < files.size(); ++i) {
      std::optional<CampaignLog> log;
      {
        std::unique_lock<std::mutex> g(lock);
        while (!cv.wait_for(g, std::chrono::milliseconds(200), [&] { return results[i].has_value(); })) {
          std::uint64_t bytes = bytesDone.load();
          for (const auto& r : reading) bytes += r.load();
          progress.Show(i, bytes);
        }
        log.swap(results[i]);
      }
      bool bGoOn = onLog(i, *log);
      campaign.Add(std::move(*log));
      // After a stop, the workers waiting for their turn are let go.
      if (!bGoOn) stopped.store(true);
      {
        std::lock_guard<std::mutex> g(lock);
        nCombined = bGoOn ? i + 1 : files.size();
      }
      cv.notify_all();
      if (!bGoOn) break;
    }
  }
  for (std::thread& t : threads) t.join();
  return campaign.Finish();
}
