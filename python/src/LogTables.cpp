#include "LogTables.h"

#include <algorithm>
#include <cmath>
#include <condition_variable>
#include <limits>
#include <map>
#include <mutex>
#include <set>
#include <thread>

#include "VyrDecodeDevice.h"
#include "vyr/LevelRows.h"
#include "vyr/LogSummary.h"

namespace {
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// Lets decodes with the same threshold run together and makes a decode with
// another threshold wait until they are done.
class ThresholdGate {
 public:
  // owner: the thread the decode works for. A thread that would wait for a
  // decode working for itself (an open message iterator) would wait forever.
  void Enter(double threshold, std::thread::id owner) {
    std::unique_lock lock(m_mutex);
    auto canEnter = [&] { return m_nActive == 0 || SameThreshold(threshold); };
    if (!canEnter() && m_owners.count(std::this_thread::get_id()))
      throw std::runtime_error("an open messages() iterator of this thread decodes with another level threshold; "
                               "exhaust or close it first");
    m_cv.wait(lock, canEnter);
    CVyrDecodeDevice::m_prefs.dLevelThreshold = threshold;
    ++m_nActive;
    m_owners.insert(owner);
  }
  void Leave(std::thread::id owner) {
    std::lock_guard lock(m_mutex);
    m_owners.erase(m_owners.find(owner));
    if (--m_nActive == 0) m_cv.notify_all();
  }

 private:
  static bool SameThreshold(double t) {
    double current = CVyrDecodeDevice::m_prefs.dLevelThreshold;
    return current == t || (std::isnan(current) && std::isnan(t));
  }
  std::mutex m_mutex;
  std::condition_variable m_cv;
  int m_nActive = 0;
  std::multiset<std::thread::id> m_owners;
};

ThresholdGate& Gate() {
  static ThresholdGate gate;
  return gate;
}

struct GateLease {
  GateLease(double t, std::thread::id owner) : m_owner(owner) { Gate().Enter(t, owner); }
  ~GateLease() { Gate().Leave(m_owner); }
  std::thread::id m_owner;
  GateLease(const GateLease&) = delete;
  GateLease& operator=(const GateLease&) = delete;
};

bool LaysPlan(const DecodedMessage& m, const ScanAttributes& ids) {
  return m.msg.m_nMsgClass == kHeaderMessageClass &&
         std::any_of(m.writes.begin(), m.writes.end(),
                     [&](const auto& w) { return w.nAttrId == ids.nBandStartIdx && w.nScope == kScopePlan; });
}

// The channel indexes and frequencies a channel log's header lays down.
bool TakeChannels(const DecodedMessage& m, const ScanAttributes& ids, LevelTable& t) {
  if (m.msg.m_nMsgClass != kHeaderMessageClass) return false;
  for (const auto& w : m.writes)
    if (w.nAttrId == ids.nFreq && w.nScope == kScopeMessage) t.bins.push_back(w.nIndex);
  std::sort(t.bins.begin(), t.bins.end());
  t.bins.erase(std::unique(t.bins.begin(), t.bins.end()), t.bins.end());
  for (int i : t.bins) {
    double value = 0;
    t.frequencyMHz.push_back(RetValNumber(m.dataState.GetValue(ids.nFreq, i, kScopeMessage), value)
                                 ? ids.FrequencyMHz(value)
                                 : kNaN);
  }
  t.nHeader = m.nIndex;
  return !t.bins.empty();
}

void AppendMessageFacts(LevelTable& t, const MessageFacts& f, std::int64_t startMs) {
  t.message.push_back(static_cast<std::int64_t>(f.nIndex));
  t.timeMs.push_back(f.nTimeMs);
  t.time.push_back(startMs + f.nTimeMs);
  t.lat.push_back(f.position.bHasLatitude ? f.position.dLatitude : kNaN);
  t.lon.push_back(f.position.bHasLongitude ? f.position.dLongitude : kNaN);
  t.quality.push_back(static_cast<std::uint8_t>(f.position.nQuality));
}

// Adds one row to each table of the current section that the message left a
// level in. Rows and a table's bins are both sorted by element, so one walk
// over both finds each row's column.
void AddRows(std::vector<LevelTable>& tables, size_t firstOfSection, const std::vector<LevelRow>& rows,
             const MessageFacts& facts, std::int64_t startMs, bool bChannels) {
  for (size_t ti = firstOfSection; ti < tables.size(); ++ti) {
    LevelTable& t = tables[ti];
    double* row = nullptr;
    size_t col = 0;
    for (const LevelRow& r : rows) {
      if (bChannels ? r.nBand != 0 : r.nBand != t.nBand) continue;
      while (col < t.bins.size() && t.bins[col] < r.nBin) ++col;
      if (col == t.bins.size()) break;
      if (t.bins[col] != r.nBin) continue;
      if (!row) {
        AppendMessageFacts(t, facts, startMs);
        t.levelDbm.resize(t.levelDbm.size() + t.bins.size(), kNaN);
        row = t.levelDbm.data() + t.levelDbm.size() - t.bins.size();
      }
      row[col] = r.dLevel;
    }
  }
}
}  // namespace

DecodeCounts DecodeWithThreshold(const std::string& path, std::optional<double> threshold, DecodeOptions options,
                         const CLogDecoder::FileFn& onFile, const CLogDecoder::MessageFn& onMessage,
                         std::thread::id owner, bool bFirstMessageOnly) {
  GateLease lease(threshold.value_or(-std::numeric_limits<double>::infinity()), owner);
  CLogDecoder decoder(options);
  DecodeCounts counts;
  std::string error;
  auto onFirstMessage = [&](const DecodedMessage& m) {
    onMessage(m);
    decoder.Stop();
  };
  RolRetc rc = bFirstMessageOnly ? decoder.Decode(path, onFile, onFirstMessage, counts, error)
                                 : decoder.Decode(path, onFile, onMessage, counts, error);
  if (rc == ROL_OK || (bFirstMessageOnly && rc == kDecodeStopped)) return counts;
  if (rc == -1) throw LogFailure(path, rc, path + ": " + error);
  throw LogFailure(path, rc, path + ": refused with code " + std::to_string(rc) + ": " + DescribeReaderResult(rc));
}

namespace {
// The options of a decode for level tables: no texts and no ranking (the
// tables hold the bin levels), the levels followed by the extractor as they
// are written, in runs where the data state stores runs.
DecodeOptions LevelDecodeOptions(CLevelRowExtractor& extractor) {
  DecodeOptions options;
  options.bWantTexts = false;
  options.bSuppressSortOutput = true;
  options.recordedAttributes = CLevelRowExtractor::RecordedAttributesWithObserver();
  options.writeObserver = extractor.Observer();
  options.runObserver = extractor.RunObserver();
  return options;
}

// The log's summary: of the whole log, or of what precedes its first message.
LogSummary SummarizeLog(const std::string& path, std::optional<double> threshold, bool bFirstMessageOnly) {
  CLogSummaryCollector collector;
  CFrequencyPlan plan;
  DecodeOptions options;
  options.bWantTexts = false;
  const DecodeCounts counts = DecodeWithThreshold(
      path, threshold, options, [&](const DecodedFileInfo& info) { collector.OnFile(info); },
      [&](const DecodedMessage& m) {
        plan.Update(m.writes, m.dataState);
        collector.OnMessage(m, plan);
      },
      std::this_thread::get_id(), bFirstMessageOnly);
  LogSummary summary = collector.Finish();
  summary.bLastLineCut = counts.bLastLineCut;
  return summary;
}
}  // namespace

std::string SummaryJson(const std::string& path, std::optional<double> threshold) {
  std::string out;
  AppendSummaryJson(out, SummarizeLog(path, threshold, false));
  return out;
}

std::string ProbeKind(const std::string& path, std::optional<double> threshold) {
  return SummarizeLog(path, threshold, true).Kind();
}

std::vector<LevelTable> CollectTables(const std::string& path, std::optional<double> threshold, bool bChannels) {
  const ScanAttributes& ids = ScanAttributes::Get();
  CLevelRowExtractor extractor(ids);
  std::vector<LevelTable> tables;
  std::vector<LevelRow> rows;
  size_t firstOfSection = 0;
  std::int64_t startMs = 0;
  CVyrMilliSecAbsTime start;
  DecodeOptions options = LevelDecodeOptions(extractor);
  // A channel set also needs the channel frequencies of its header.
  options.recordedAttributes.push_back(ids.nFreq);
  auto onMessage = [&](const DecodedMessage& m) {
    extractor.Extract(m, rows);
    if (!bChannels && LaysPlan(m, ids)) {
      firstOfSection = tables.size();
      const CFrequencyPlan& plan = extractor.Plan();
      for (int b = 1; b <= plan.BandCount(); ++b) {
        PlanBand band = plan.Band(b);
        LevelTable& t = tables.emplace_back();
        t.nBand = b;
        t.nHeader = m.nIndex;
        for (int e = band.nFirst; e < band.nFirst + band.nCount; ++e) {
          double mhz = kNaN;
          t.bins.push_back(e);
          t.frequencyMHz.push_back(plan.FrequencyMHz(e, mhz) ? mhz : kNaN);
        }
      }
    }
    if (bChannels && !extractor.IsScan()) {
      LevelTable section;
      if (TakeChannels(m, ids, section)) {
        firstOfSection = tables.size();
        tables.push_back(std::move(section));
      }
    }
    if (rows.empty() || firstOfSection >= tables.size()) return;
    AddRows(tables, firstOfSection, rows, GetMessageFacts(m, start), startMs, bChannels);
  };
  DecodeWithThreshold(
      path, threshold, options,
      [&](const DecodedFileInfo& info) {
        start = info.startTime;
        startMs = start.GetMs();
      },
      onMessage);
  return tables;
}

LevelColumns CollectColumns(const std::string& path, std::optional<double> threshold) {
  CLevelRowExtractor extractor;
  std::vector<LevelRow> rows;
  CVyrMilliSecAbsTime start;
  LevelColumns c;
  DecodeOptions options = LevelDecodeOptions(extractor);
  auto onMessage = [&](const DecodedMessage& m) {
    extractor.Extract(m, rows);
    if (rows.empty()) return;
    MessageFacts f = GetMessageFacts(m, start);
    for (const LevelRow& r : rows) {
      c.message.push_back(static_cast<std::int64_t>(f.nIndex));
      c.timeMs.push_back(f.nTimeMs);
      c.time.push_back(start.GetMs() + f.nTimeMs);
      c.lat.push_back(f.position.bHasLatitude ? f.position.dLatitude : kNaN);
      c.lon.push_back(f.position.bHasLongitude ? f.position.dLongitude : kNaN);
      c.quality.push_back(f.position.nQuality);
      c.band.push_back(r.nBand > 0 ? r.nBand : kNaN);
      c.bin.push_back(r.nBin);
      c.frequencyMHz.push_back(r.bHasFrequency ? r.dFrequencyMHz : kNaN);
      c.levelDbm.push_back(r.dLevel);
    }
  };
  DecodeWithThreshold(
      path, threshold, options, [&](const DecodedFileInfo& info) { start = info.startTime; }, onMessage);
  return c;
}
