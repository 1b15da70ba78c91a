// Decoding with and without the data state's run operations: whole logs read
// by the HYTEM reader and decoded into a data state that offers the runs and
// into one that hides them must leave the same writes, in the same order, and
// the same texts, message by message. A host that wants no texts and no ranked
// lists gets the same writes as one that wants the texts.
#include <cstdio>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "HytemDecoderFixture.h"
#include "StackHytemReader.h"
#include "SingleCallDataState.h"
#include "TempDir.h"

namespace hytem_test {
namespace {
// Each message's writes and then, after kTextMark, its detail text, as one
// comparable text.
constexpr char kTextMark[] = "\n#text\n";
class CRecordingSink : public IDataFileMessageSink {
 public:
  CRecordingSink(CVyrDecodeDevice& receiver, IVyrDataState* pTarget, CVyrMemoryDataState& recorder, bool bTexts)
      : m_receiver(receiver), m_pTarget(pTarget), m_recorder(recorder), m_bTexts(bTexts) {}
  RolRetc OnMessage(CDataFile&, const CVyrGenericHsMessage& msg) override {
    CVyrExpandedMessage expanded;
    expanded.m_bWantSummaryText = expanded.m_bWantMsgName = expanded.m_bWantDetailText = m_bTexts ? 1 : 0;
    m_recorder.ClearWrites();
    m_receiver.DecodeMessage(msg, m_pTarget, expanded, nullptr);
    std::string& out = messages.emplace_back();
    for (const auto& w : m_recorder.GetWrites()) {
      char buf[160];
      std::snprintf(buf, sizeof buf, "\n%d[%d]@%d %d %d %a %d", w.nAttrId, w.nIndex, w.nScope, static_cast<int>(w.op),
                    static_cast<int>(w.kind), w.dValue, w.nValue);
      out += buf;
      out += w.strValue;
    }
    out += kTextMark;
    out += expanded.m_strDetailText.str();
    return ROL_OK;
  }
  std::vector<std::string> messages;

 private:
  CVyrDecodeDevice& m_receiver;
  IVyrDataState* m_pTarget;
  CVyrMemoryDataState& m_recorder;
  bool m_bTexts;
};

// A scan with three bands (one of 4,000 bins) and levels around the
// thresholds below, lines that name bands without a plan, and a second
// header with another plan.
std::string ScanLog() {
  std::mt19937 rng(11);
  std::string log = "HYTEM Software - V2.4.1\nnbScannedBandwidths = 3\n";
  log += "startFrequencies1 = 400.000\nstopFrequencies1 = 400.800\nfrequencyStep1 = 200\n";
  log += "startFrequencies2 = 900.000\nstopFrequencies2 = 1700.000\nfrequencyStep2 = 200\n";
  log += "startFrequencies3 = 1800.0\nstopFrequencies3 = 1800.0\nfrequencyStep3 = 0\n";
  log += "Time\tDate\tLatitude\tNS\tLongitude\tWE\tValidity\tBandNumber\tLevels\n";
  for (int line = 0; line < 40; ++line) {
    // A header half way lays down another plan, which the next levels must use.
    if (line == 20)
      log += "HYTEM Software - V2.4.1\nnbScannedBandwidths = 2\nstartFrequencies1 = 410.000\n"
             "stopFrequencies1 = 410.400\nfrequencyStep1 = 100\nstartFrequencies2 = 950.000\n"
             "stopFrequencies2 = 1750.000\nfrequencyStep2 = 200\n"
             "Time\tDate\tLatitude\tNS\tLongitude\tWE\tValidity\tBandNumber\tLevels\n";
    const int band = line % 5 == 4 ? 7 : line % 3 + 1;
    const int bins = band == 2 ? 4001 : band == 1 ? 5 : 3;
    log += "08:00:" + std::to_string(10 + line) + "\t03/15/05\t48.5\tN\t2.2\tE\t1\t" + std::to_string(band);
    for (int b = 0; b < bins; ++b) log += "\t-" + std::to_string(60 + rng() % 90) + "." + std::to_string(rng() % 10);
    log += "\n";
  }
  return log;
}

class RunsDiffTest : public HytemDecoderTest {
 protected:
  std::vector<std::string> DecodeLog(const std::string& path, bool bRuns, bool bSuppressSort, bool bTexts = true) {
    CVyrMemoryDataState state;
    state.SetRecordWrites(true);
    state.SetSortOutputSuppressed(bSuppressSort);
    CVyrSingleCallDataState singles(state);
    std::unique_ptr<CVyrDecodeDevice> device(CreateHytemDecodeDevice(HytemDeviceInfo()));
    CRecordingSink sink(*device, bRuns ? static_cast<IVyrDataState*>(&state) : &singles, state, bTexts);
    CStackHytemReader reader;
    reader.SetMessageSink(&sink);
    EXPECT_EQ(reader.LoadDataFile(path.c_str(), ""), 0) << path;
    return sink.messages;
  }
};

TEST_F(RunsDiffTest, LogsDecodeAlikeWithAndWithoutRunOperations) {
  ASSERT_EQ(CVyrSingleCallDataState(ds).QueryRuns(), nullptr);
  ASSERT_NE(ds.QueryRuns(), nullptr);
  TempDir dir;
  const std::vector<std::string> logs = {
      KEL_SOURCE_DIR "/samples/scan_two_bands.h2m", KEL_SOURCE_DIR "/samples/scan_resumed.h2s",
      KEL_SOURCE_DIR "/samples/channels_four.h1m", KEL_SOURCE_DIR "/samples/statistics.h1s",
      dir.Write("scan.h2m", ScanLog())};
  // No threshold, one that clears some levels and cuts the ranked lists, one above every level.
  for (double threshold : {-std::numeric_limits<double>::infinity(), -100.0, 0.0}) {
    CVyrDecodeDevice::m_prefs.dLevelThreshold = threshold;
    for (const std::string& log : logs) {
      for (bool bSuppress : {false, true}) {
        const auto withRuns = DecodeLog(log, true, bSuppress);
        const auto singles = DecodeLog(log, false, bSuppress);
        ASSERT_FALSE(withRuns.empty()) << log;
        ASSERT_EQ(withRuns.size(), singles.size()) << log;
        for (size_t m = 0; m < withRuns.size(); ++m)
          ASSERT_EQ(withRuns[m], singles[m]) << log << " message " << m << " threshold " << threshold;
        if (!bSuppress) continue;
        for (bool bRuns : {true, false}) {
          const auto noTexts = DecodeLog(log, bRuns, true, false);
          ASSERT_EQ(noTexts.size(), withRuns.size()) << log;
          for (size_t m = 0; m < noTexts.size(); ++m) {
            const std::string writes = withRuns[m].substr(0, withRuns[m].find(kTextMark));
            ASSERT_EQ(noTexts[m].substr(0, noTexts[m].find(kTextMark)), writes)
                << log << " message " << m << " threshold " << threshold << " runs " << bRuns;
          }
        }
      }
    }
  }
}
}  // namespace
}  // namespace hytem_test
