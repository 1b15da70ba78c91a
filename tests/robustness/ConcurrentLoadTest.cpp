// A host loads several logs at once, one reader per thread. Eight threads
// create readers through the module's factory function, load and decode the
// sample logs, generated logs and refused logs, each in its own order, and
// every run must give what a single-threaded run of the same log gave. Built
// with the `tsan` preset, ThreadSanitizer watches every access.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "ComModule.h"
#include "DataFile.h"
#include "HytemFactories.h"
#include "HytemLogGenerator.h"
#include "HytemLogRun.h"
#include "KelFSD.h"
#include "RobustnessSupport.h"
#include "TypeInfoHolder.h"
#include "VyrDecodeDevice.h"

namespace {
constexpr int kThreads = 8;
constexpr int kRoundsPerThread = 2;

struct LogCase {
  std::string strPath;
  HytemLogRun expected;
};

std::string Generate(const TempDir& dir, const std::string& name, const HytemGenOptions& options) {
  const std::string path = dir.Path() + "/" + name;
  std::FILE* out = std::fopen(path.c_str(), "wb");
  EXPECT_NE(out, nullptr) << path;
  if (!out) return path;
  EXPECT_TRUE(WriteHytemLog(options, out));
  std::fclose(out);
  return path;
}

std::vector<std::string> LogPaths(const TempDir& dir) {
  std::vector<std::string> paths;
  for (const char* sample : {"scan_two_bands.h2m", "channels_four.h1m", "statistics.h1s", "scan_resumed.h2s"})
    paths.push_back(std::string(KEL_SOURCE_DIR) + "/samples/" + sample);
  HytemGenOptions scan;
  scan.nBands = 3;
  scan.nBins = 300;
  scan.nLines = 150;
  paths.push_back(Generate(dir, "scan.h2m", scan));
  HytemGenOptions crlf = scan;
  crlf.bCrlf = true;
  crlf.nSeed = 9;
  paths.push_back(Generate(dir, "scan_crlf.h2s", crlf));
  HytemGenOptions channels;
  channels.kind = HytemLogKind::kChannels;
  channels.nLines = 300;
  paths.push_back(Generate(dir, "channels.h1m", channels));
  HytemGenOptions stats;
  stats.kind = HytemLogKind::kStats;
  stats.nLines = 300;
  paths.push_back(Generate(dir, "stats.h1s", stats));
  paths.push_back(dir.Write("not_a_log.h2m", "hello\nworld\n"));
  paths.push_back(dir.Write("empty.h2m", ""));
  paths.push_back(dir.Path() + "/missing.h2m");
  return paths;
}

class ConcurrentLoads : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { InitHytemModuleForTests(); }
  void SetUp() override { CVyrDecodeDevice::m_prefs.dLevelThreshold = -100.0; }
};

// The decode settings are each thread's own: threads that decode with
// different level thresholds at once get what each gets alone.
constexpr double kThresholds[] = {-100.0, -60.0};

TEST_F(ConcurrentLoads, EightThreadsGiveTheSingleThreadedResults) {
  TempDir dir;
  std::vector<LogCase> cases, stricter;
  for (const std::string& path : LogPaths(dir)) cases.push_back({path, RunHytemLog(path)});
  CVyrDecodeDevice::m_prefs.dLevelThreshold = kThresholds[1];
  for (const std::string& path : LogPaths(dir)) stricter.push_back({path, RunHytemLog(path)});
  CVyrDecodeDevice::m_prefs.dLevelThreshold = kThresholds[0];
  // The reference runs themselves: logs read whole, refused logs refused.
  for (size_t i = 0; i < 8; ++i) {
    EXPECT_EQ(0, cases[i].expected.rc) << cases[i].strPath;
    EXPECT_GT(cases[i].expected.nMessages, 1u) << cases[i].strPath;
  }
  EXPECT_EQ(1004, cases[8].expected.rc);
  EXPECT_EQ(1002, cases[9].expected.rc);
  EXPECT_EQ(1001, cases[10].expected.rc);
  const LONG nLocksBefore = s_comModule.GetLockCount();
  const long nLiveBefore = VyrLifetimeMonitoring::CLifetimeDetector::GetLiveCount();

  // Each thread runs every log kRoundsPerThread times, starting at its own
  // log, and keeps what it got; the main thread compares afterwards.
  std::vector<std::vector<HytemLogRun>> results(kThreads);
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      CVyrDecodeDevice::m_prefs.dLevelThreshold = kThresholds[t % 2];
      for (size_t k = 0; k < cases.size() * kRoundsPerThread; ++k)
        results[t].push_back(RunHytemLog(cases[(t + k) % cases.size()].strPath));
    });
  }
  for (std::thread& thread : threads) thread.join();

  for (int t = 0; t < kThreads; ++t) {
    ASSERT_EQ(cases.size() * kRoundsPerThread, results[t].size());
    for (size_t k = 0; k < results[t].size(); ++k) {
      const LogCase& c = (t % 2 ? stricter : cases)[(t + k) % cases.size()];
      EXPECT_EQ(c.expected.rc, results[t][k].rc) << "thread " << t << ": " << c.strPath;
      EXPECT_EQ(c.expected.nMessages, results[t][k].nMessages) << "thread " << t << ": " << c.strPath;
      EXPECT_EQ(c.expected.nDigest, results[t][k].nDigest) << "thread " << t << ": " << c.strPath;
    }
  }
  // Every reader was released: the module's count of live objects is back.
  EXPECT_EQ(nLocksBefore, s_comModule.GetLockCount());
  EXPECT_EQ(nLiveBefore, VyrLifetimeMonitoring::CLifetimeDetector::GetLiveCount());
}

// What a host's automation client does with a loaded reader: the member ids
// of Name and Count, the type information, and Count through Invoke. Every
// reader shares the module's type information, loaded on first use.
struct DispatchResult {
  HRESULT hrLoad = E_FAIL;
  DISPID idName = -1;
  DISPID idCount = -1;
  bool bTypeInfo = false;
  LONG nCount = -1;
};

DispatchResult UseDispatch(const std::string& path) {
  DispatchResult r;
  CDataFile* pReader = CreateHytemDataFile();
  if (!pReader) return r;
  IKelFSD_DataFile* p = pReader;
  p->AddRef();
  r.hrLoad = pReader->LoadDataFile(path.c_str(), "");
  char16_t name[] = u"Name";
  char16_t count[] = u"Count";
  LPOLESTR names[] = {name, count};
  DISPID ids[2] = {-1, -1};
  if (p->GetIDsOfNames(IID_NULL, names, 2, 0, ids) == S_OK) {
    r.idName = ids[0];
    r.idCount = ids[1];
  }
  ITypeInfo* pInfo = nullptr;
  if (p->GetTypeInfo(0, 0, &pInfo) == S_OK && pInfo) {
    r.bTypeInfo = true;
    pInfo->Release();
  }
  DISPPARAMS none = {nullptr, nullptr, 0, 0};
  VARIANT result;
  VariantInit(&result);
  if (p->Invoke(DISPID_KELFSD_COUNT, IID_NULL, 0, DISPATCH_PROPERTYGET, &none, &result, nullptr, nullptr) == S_OK &&
      result.vt == VT_I4)
    r.nCount = result.lVal;
  VariantClear(&result);
  p->Release();
  return r;
}

TEST_F(ConcurrentLoads, EightThreadsShareTheTypeInformation) {
  // Back to the state before the first use, so that the threads race to load it.
  CComTypeInfoHolder::Cleanup(reinterpret_cast<std::uintptr_t>(&s_dataFileTypeInfo));
  const std::string path = std::string(KEL_SOURCE_DIR) + "/samples/scan_two_bands.h2m";
  std::vector<std::vector<DispatchResult>> results(kThreads);
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      for (int k = 0; k < 5; ++k) results[t].push_back(UseDispatch(path));
    });
  }
  for (std::thread& thread : threads) thread.join();
  for (const auto& perThread : results) {
    ASSERT_EQ(5u, perThread.size());
    for (const DispatchResult& r : perThread) {
      EXPECT_EQ(S_OK, r.hrLoad);
      EXPECT_EQ(DISPID_KELFSD_NAME, r.idName);
      EXPECT_EQ(DISPID_KELFSD_COUNT, r.idCount);
      EXPECT_TRUE(r.bTypeInfo);
      EXPECT_EQ(1, r.nCount);  // the log's one stream
    }
  }
}

TEST_F(ConcurrentLoads, DigestTellsLogsApart) {
  // The comparison above means something only if different logs give
  // different digests and the same log always the same one.
  const std::string samples = std::string(KEL_SOURCE_DIR) + "/samples/";
  const HytemLogRun a = RunHytemLog(samples + "scan_two_bands.h2m");
  const HytemLogRun b = RunHytemLog(samples + "scan_resumed.h2s");
  EXPECT_NE(a.nDigest, b.nDigest);
  EXPECT_EQ(a.nDigest, RunHytemLog(samples + "scan_two_bands.h2m").nDigest);
  // The decode setting changes the decoding, so it is part of the digest.
  const double dSaved = CVyrDecodeDevice::m_prefs.dLevelThreshold;
  CVyrDecodeDevice::m_prefs.dLevelThreshold = -60.0;
  const HytemLogRun stricter = RunHytemLog(samples + "scan_two_bands.h2m");
  CVyrDecodeDevice::m_prefs.dLevelThreshold = dSaved;
  EXPECT_EQ(a.nMessages, stricter.nMessages);
  EXPECT_NE(a.nDigest, stricter.nDigest);
}
}  // namespace
