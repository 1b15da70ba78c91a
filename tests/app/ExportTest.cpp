// The export's pieces: which levels a message leaves, the frequency plan, the
// CSV and JSON Lines rows, and the option parsing of the view commands.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <functional>
#include <limits>
#include <string>
#include <vector>

#include "CommandLine.h"
#include "ExportFormats.h"
#include "vyr/FrequencyPlan.h"
#include "vyr/Json.h"
#include "vyr/LevelRows.h"
#include "vyr/PayloadFields.h"
#include "VyrSchema.h"

namespace {
constexpr int kFreq = 102;
constexpr int kBandStart = 104;
constexpr int kLevel = 105;
constexpr int kOther = 999;

ScanAttributes TestIds() {
  ScanAttributes ids;
  ids.nFreq = kFreq;
  ids.nBandStartIdx = kBandStart;
  ids.nBinLevel = kLevel;
  ids.nFreqUnit = UT_HZ;
  return ids;
}

// A data state holding a plan: band start indexes and one frequency (Hz) per element.
void LayPlan(CVyrMemoryDataState& state, const std::vector<int>& starts, const std::vector<double>& hz) {
  for (size_t j = 0; j < starts.size(); ++j) state.SetIntValue(kBandStart, starts[j], static_cast<int>(j), kScopePlan, 0);
  for (size_t e = 0; e < hz.size(); ++e) state.SetRealValue(kFreq, hz[e], static_cast<int>(e), kScopePlan, 0);
}

TEST(CollectLevelsLeft, TheLastWriteOfEachElementDecides) {
  CVyrMemoryDataState state;
  state.SetRecordWrites(true);
  state.SetRealValue(kLevel, -70, 0, kScopeMessage, 0);
  state.SetRealValue(kLevel, -80, 1, kScopeMessage, 0);
  state.ClearValue(kLevel, 1, kScopeMessage, 0);     // cleared by the threshold: no row
  state.SetRealValue(kLevel, -90, 2, kScopeMessage, 0);
  state.SetRealValue(kLevel, -60, 0, kScopeMessage, 0);  // a later write of element 0 wins
  state.SetRealValue(kLevel, -50, 3, kScopePlan, 0);     // not the message scope
  state.SetRealValue(kOther, -40, 4, kScopeMessage, 0);  // another attribute
  state.ClearValue(kLevel, 5, kScopeMessage, 0);
  state.SetRealValue(kLevel, -55, 5, kScopeMessage, 0);  // set again after a clear
  state.SetIntValue(kLevel, -77, 6, kScopeMessage, 0);   // an integer level counts
  state.SetTextValue(kLevel, "x", 7, kScopeMessage, 0);  // a text is no level

  std::vector<LevelRow> rows;
  CollectLevelsLeft(state.GetWrites(), kLevel, rows);
  std::vector<std::pair<int, double>> got;
  for (const LevelRow& r : rows) got.emplace_back(r.nBin, r.dLevel);
  std::vector<std::pair<int, double>> want = {{0, -60}, {2, -90}, {5, -55}, {6, -77}};
  EXPECT_EQ(got, want);
}

TEST(CollectLevelsLeft, WritesInIncreasingOrderKeepSetLevelsOnly) {
  CVyrMemoryDataState state;
  state.SetRecordWrites(true);
  state.SetRealValue(kLevel, -70, 0, kScopeMessage, 0);
  state.ClearValue(kLevel, 1, kScopeMessage, 0);
  state.SetIntValue(kLevel, -77, 2, kScopeMessage, 0);
  state.SetTextValue(kLevel, "x", 3, kScopeMessage, 0);
  state.SetRealValue(kLevel, -50, 1, kScopePlan, 0);     // not the message scope
  state.SetRealValue(kOther, -40, 0, kScopeMessage, 0);  // another attribute
  state.SetRealValue(kLevel, -55, 5, kScopeMessage, 0);
  std::vector<LevelRow> rows = {LevelRow{9, -1}};  // replaced, not appended to
  CollectLevelsLeft(state.GetWrites(), kLevel, rows);
  std::vector<std::pair<int, double>> got;
  for (const LevelRow& r : rows) got.emplace_back(r.nBin, r.dLevel);
  std::vector<std::pair<int, double>> want = {{0, -70}, {2, -77}, {5, -55}};
  EXPECT_EQ(got, want);
}

TEST(CollectLevelsLeft, SortsElementsWrittenOutOfOrder) {
  CVyrMemoryDataState state;
  state.SetRecordWrites(true);
  state.SetRealValue(kLevel, -3, 3, kScopeMessage, 0);
  state.SetRealValue(kLevel, -1, 1, kScopeMessage, 0);
  state.SetRealValue(kLevel, -2, 2, kScopeMessage, 0);
  state.ClearValue(kLevel, 3, kScopeMessage, 0);
  std::vector<LevelRow> rows;
  CollectLevelsLeft(state.GetWrites(), kLevel, rows);
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0].nBin, 1);
  EXPECT_EQ(rows[1].nBin, 2);
}

// An extractor that follows the writes through its observer and reads the
// levels back from the data state gives the rows of one that reads every
// recorded write, whatever order, overlap or kind the writes have; so does one
// told of runs at once, taking its rows two at a time.
TEST(CollectLevelsLeft, ObservedWritesGiveTheRecordedRows) {
  using Op = std::function<void(CVyrMemoryDataState&)>;
  auto set = [](int e, double v, int scope = kScopeMessage) {
    return Op([=](CVyrMemoryDataState& s) { s.SetRealValue(kLevel, v, e, scope, 0); });
  };
  auto clear = [](int e) { return Op([=](CVyrMemoryDataState& s) { s.ClearValue(kLevel, e, kScopeMessage, 0); }); };
  auto run = [](int first, std::vector<double> v, double below) {
    return Op([=](CVyrMemoryDataState& s) {
      const VyrValueRun r{kLevel, v.data(), nullptr, below};
      s.SetValueRuns(&r, 1, first, static_cast<int>(v.size()), kScopeMessage, 0);
    });
  };
  const std::vector<std::vector<Op>> messages = {
      {set(0, -70), set(1, -80), clear(1), set(2, -90), set(0, -60), set(3, -50, kScopePlan), clear(5), set(5, -55),
       Op([](CVyrMemoryDataState& s) { s.SetIntValue(kLevel, -77, 6, kScopeMessage, 0); }),
       Op([](CVyrMemoryDataState& s) { s.SetTextValue(kLevel, "x", 7, kScopeMessage, 0); }),
       Op([](CVyrMemoryDataState& s) { s.SetRealValue(kOther, -40, 4, kScopeMessage, 0); })},
      {set(9, -9), set(3, -3), set(-2, -2), set(2147483647, -1), set(3, -4)},
      {run(0, {-1, -2, -200, -4, -5}, -100), run(3, {-6, -300, -8}, -100), set(1, -11), clear(0)},
      {},
      {run(1000, std::vector<double>(3000, -50), -100), run(2500, std::vector<double>(9, -200), -100), set(-5, -5),
       run(-3, {-1, -2, -3, -4}, -100), run(4000, {-1}, -100)},
  };
  ScanAttributes ids = TestIds();
  CVyrMemoryDataState state, runState;
  state.SetRecordWrites(true);
  CLevelRowExtractor observing(ids), recording(ids), runObserving(ids);
  state.SetWriteObserver(observing.Observer());
  runState.SetWriteObserver(runObserving.Observer());
  runState.SetRunObserver(runObserving.RunObserver());
  CVyrGenericHsMessage msg;
  msg.m_nMsgClass = kMeasurementMessageClass;
  CVyrExpandedMessage expanded;
  for (size_t i = 0; i < messages.size(); ++i) {
    state.ClearWrites();
    for (const Op& op : messages[i]) {
      op(state);
      op(runState);
    }
    std::vector<LevelRow> observed, recorded, ranged, more;
    observing.Extract({i, msg, expanded, state.GetWrites(), state}, observed);
    recording.Extract(kMeasurementMessageClass, state.GetWrites(), state, recorded);
    runObserving.Extract({i, msg, expanded, runState.GetWrites(), runState}, ranged, 2);
    while (runObserving.ExtractMore(runState, more, 2)) ranged.insert(ranged.end(), more.begin(), more.end());
    for (const auto* pRows : {&observed, &ranged}) {
      ASSERT_EQ(pRows->size(), recorded.size()) << "message " << i;
      for (size_t r = 0; r < recorded.size(); ++r) {
        EXPECT_EQ((*pRows)[r].nBin, recorded[r].nBin) << "message " << i;
        EXPECT_EQ((*pRows)[r].dLevel, recorded[r].dLevel) << "message " << i;
      }
    }
  }
}

// JSON texts are UTF-8: valid sequences pass, every other byte is escaped.
TEST(JsonString, BytesOutsideValidUtf8AreEscaped) {
  const std::pair<std::string, std::string> cases[] = {
      {"\xc3\xa9", "\"\xc3\xa9\""},                                   // U+00E9
      {"\xf0\x9f\x98\x80", "\"\xf0\x9f\x98\x80\""},                   // U+1F600
      {"\xf6\xb3\x9e", "\"\\u00f6\\u00b3\\u009e\""},                  // no lead byte above F4
      {"\xff", "\"\\u00ff\""},
      {"\xed\xa0\x80", "\"\\u00ed\\u00a0\\u0080\""},                  // a surrogate
      {"\xc0\xaf", "\"\\u00c0\\u00af\""},                             // overlong
      {"\xe2\x82", "\"\\u00e2\\u0082\""},                             // cut short
  };
  for (const auto& [in, want] : cases) {
    std::string out;
    AppendJsonString(out, in);
    EXPECT_EQ(out, want);
  }
}

class FrequencyPlanTest : public ::testing::Test {
 protected:
  ScanAttributes ids = TestIds();
  CVyrMemoryDataState state;
  CFrequencyPlan plan{ids};

  void SetUp() override { state.SetRecordWrites(true); }
};

TEST_F(FrequencyPlanTest, TwoBandsOfFiveAndThreeBins) {
  // 100.0 to 100.1 MHz and 200.0 to 200.05 MHz, 25 kHz steps.
  LayPlan(state, {0, 5, 8}, {100e6, 100.025e6, 100.05e6, 100.075e6, 100.1e6, 200e6, 200.025e6, 200.05e6});
  ASSERT_TRUE(plan.Update(state.GetWrites(), state));
  EXPECT_EQ(plan.BandCount(), 2);
  struct Case {
    int element;
    int band;
  } cases[] = {{-1, 0}, {0, 1}, {4, 1}, {5, 2}, {7, 2}, {8, 0}, {1000, 0}};
  for (const Case& c : cases) EXPECT_EQ(plan.BandOf(c.element), c.band) << "element " << c.element;
  double mhz = 0;
  ASSERT_TRUE(plan.FrequencyMHz(6, mhz));
  EXPECT_EQ(mhz, 200.025e6 / 1e6);
  EXPECT_FALSE(plan.FrequencyMHz(8, mhz));
  PlanBand b = plan.Band(2);
  EXPECT_EQ(b.nFirst, 5);
  EXPECT_EQ(b.nCount, 3);
  EXPECT_EQ(b.dStartMHz, 200.0);
  EXPECT_EQ(b.dStopMHz, 200.05);
  EXPECT_NEAR(b.dStepKHz, 25.0, 1e-9);
  EXPECT_EQ(plan.Band(3).nCount, 0);
}

TEST_F(FrequencyPlanTest, OnlyWritesOfBandStartsAtScopeZeroRereadThePlan) {
  state.SetRealValue(kFreq, 100e6, 0, kScopePlan, 0);
  state.SetIntValue(kBandStart, 1, 1, kScopeMessage, 0);
  EXPECT_FALSE(plan.Update(state.GetWrites(), state));
  EXPECT_TRUE(plan.IsEmpty());
  state.ClearWrites();
  state.SetIntValue(kBandStart, 0, 0, kScopePlan, 0);  // a plan of no band
  EXPECT_TRUE(plan.Update(state.GetWrites(), state));
  EXPECT_EQ(plan.BandCount(), 0);
}

TEST_F(FrequencyPlanTest, AnEmptyBandHoldsNoElement) {
  LayPlan(state, {0, 0, 2}, {300e6, 300.5e6});
  plan.Update(state.GetWrites(), state);
  EXPECT_EQ(plan.BandOf(0), 2);
  EXPECT_EQ(plan.BandOf(1), 2);
  EXPECT_EQ(plan.Band(1).nCount, 0);
}

TEST_F(FrequencyPlanTest, FallingStartsAndMissingFrequenciesAreContained) {
  // Start 3 after 5 cannot be: the band is taken as empty.
  state.SetIntValue(kBandStart, 0, 0, kScopePlan, 0);
  state.SetIntValue(kBandStart, 5, 1, kScopePlan, 0);
  state.SetIntValue(kBandStart, 3, 2, kScopePlan, 0);
  state.SetRealValue(kFreq, 100e6, 0, kScopePlan, 0);  // elements 1 to 4 have no frequency
  plan.Update(state.GetWrites(), state);
  EXPECT_EQ(plan.Band(2).nCount, 0);
  EXPECT_EQ(plan.BandOf(4), 1);
  double mhz = 0;
  EXPECT_TRUE(plan.FrequencyMHz(0, mhz));
  EXPECT_FALSE(plan.FrequencyMHz(3, mhz));
}

TEST_F(FrequencyPlanTest, ExtractorGivesScanRowsBandAndFrequency) {
  CLevelRowExtractor extractor(ids);
  LayPlan(state, {0, 2, 3}, {100e6, 100.025e6, 200e6});
  std::vector<LevelRow> rows;
  extractor.Extract(kHeaderMessageClass, state.GetWrites(), state, rows);
  EXPECT_TRUE(rows.empty());
  EXPECT_TRUE(extractor.IsScan());
  state.ClearWrites();
  state.SetRealValue(kLevel, -70, 1, kScopeMessage, 0);
  state.SetRealValue(kLevel, -80, 2, kScopeMessage, 0);
  state.SetRealValue(kLevel, -90, 3, kScopeMessage, 0);  // beyond the plan
  extractor.Extract(kMeasurementMessageClass, state.GetWrites(), state, rows);
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(rows[0].nBand, 1);
  EXPECT_EQ(rows[0].dFrequencyMHz, 100.025);
  EXPECT_EQ(rows[1].nBand, 2);
  EXPECT_EQ(rows[1].dFrequencyMHz, 200.0);
  EXPECT_EQ(rows[2].nBand, 0);
  EXPECT_FALSE(rows[2].bHasFrequency);
}

TEST_F(FrequencyPlanTest, ExtractorGivesChannelRowsTheChannelFrequencies) {
  CLevelRowExtractor extractor(ids);
  state.SetRealValue(kFreq, 2412e6, 0, kScopeMessage, 0);
  state.SetRealValue(kFreq, 2437e6, 1, kScopeMessage, 0);
  std::vector<LevelRow> rows;
  extractor.Extract(kHeaderMessageClass, state.GetWrites(), state, rows);
  state.ClearWrites();
  state.SetRealValue(kLevel, -61.5, 0, kScopeMessage, 0);
  state.SetRealValue(kLevel, -78, 1, kScopeMessage, 0);
  state.SetRealValue(kLevel, -55, 2, kScopeMessage, 0);  // a channel without frequency
  extractor.Extract(kMeasurementMessageClass, state.GetWrites(), state, rows);
  EXPECT_FALSE(extractor.IsScan());
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(rows[0].nBand, 0);
  EXPECT_EQ(rows[0].dFrequencyMHz, 2412.0);
  EXPECT_EQ(rows[1].dFrequencyMHz, 2437.0);
  EXPECT_FALSE(rows[2].bHasFrequency);
}

TEST(CsvField, QuotesOnlyWhatNeedsIt) {
  struct Case {
    const char* in;
    const char* out;
  } cases[] = {
      {"samples/a.h2m", "samples/a.h2m"},
      {"a,b.h2m", "\"a,b.h2m\""},
      {"say \"hi\"", "\"say \"\"hi\"\"\""},
      {"two\nlines", "\"two\nlines\""},
      {"cr\r", "\"cr\r\""},
      {"", ""},
  };
  for (const Case& c : cases) {
    std::string out;
    AppendCsvField(out, c.in);
    EXPECT_EQ(out, c.out);
  }
}

TEST(ShortestDouble, ReadsBackExactly) {
  struct Case {
    double d;
    const char* text;
  } cases[] = {{0.1, "0.1"},
               {-74.5, "-74.5"},
               {925.4000000000001, "925.4000000000001"},
               {100.025, "100.025"},
               {1e21, "1e+21"},
               {48.5, "48.5"},
               {std::numeric_limits<double>::infinity(), "inf"},
               {-std::numeric_limits<double>::infinity(), "-inf"}};
  for (const Case& c : cases) {
    std::string out;
    AppendShortestDouble(out, c.d);
    EXPECT_EQ(out, c.text);
    EXPECT_EQ(std::strtod(out.c_str(), nullptr), c.d) << out;
  }
  std::string nan;
  AppendShortestDouble(nan, std::nan(""));
  EXPECT_EQ(nan, "nan");
}

MessageFacts Facts(bool withLatitude, bool withLongitude) {
  MessageFacts m;
  m.nIndex = 3;
  m.nTimeMs = 1000;
  m.strTime = "2005-03-15T09:15:31.000";
  m.position.bHasLatitude = withLatitude;
  m.position.bHasLongitude = withLongitude;
  m.position.dLatitude = 48.5;
  m.position.dLongitude = -2.25;
  m.position.nQuality = withLatitude || withLongitude ? 90 : 50;
  return m;
}

TEST(ExportRows, CsvRowsInColumnOrder) {
  std::string out;
  AppendCsvHeader(out);
  EXPECT_EQ(out, "file,message,time,time_ms,lat,lon,quality,band,bin,frequency_mhz,level_dbm\n");

  LevelRow scan;
  scan.nBin = 6;
  scan.dLevel = -74.5;
  scan.nBand = 2;
  scan.bHasFrequency = true;
  scan.dFrequencyMHz = 1805.2;
  out.clear();
  AppendCsvRow(out, "a,b.h2m", Facts(true, true), scan);
  EXPECT_EQ(out, "\"a,b.h2m\",3,2005-03-15T09:15:31.000,1000,48.5,-2.25,90,2,6,1805.2,-74.5\n");

  LevelRow channel;  // no band, no frequency, no position
  channel.nBin = 1;
  channel.dLevel = -61;
  out.clear();
  AppendCsvRow(out, "c.h1m", Facts(false, false), channel);
  EXPECT_EQ(out, "c.h1m,3,2005-03-15T09:15:31.000,1000,,,50,,1,,-61\n");
  // Each coordinate on its own: a latitude without a longitude, and back.
  out.clear();
  AppendCsvRow(out, "c.h1m", Facts(true, false), channel);
  AppendCsvRow(out, "c.h1m", Facts(false, true), channel);
  EXPECT_EQ(out,
            "c.h1m,3,2005-03-15T09:15:31.000,1000,48.5,,90,,1,,-61\n"
            "c.h1m,3,2005-03-15T09:15:31.000,1000,,-2.25,90,,1,,-61\n");
}

TEST(ExportRows, JsonlRowsWithNulls) {
  LevelRow channel;
  channel.nBin = 1;
  channel.dLevel = -61;
  std::string out;
  AppendJsonlRow(out, "c.h1m", Facts(false, false), channel);
  EXPECT_EQ(out,
            "{\"file\": \"c.h1m\", \"message\": 3, \"time\": \"2005-03-15T09:15:31.000\", \"time_ms\": 1000, "
            "\"lat\": null, \"lon\": null, \"quality\": 50, \"band\": null, \"bin\": 1, \"frequency_mhz\": null, "
            "\"level_dbm\": -61}\n");
  LevelRow scan;
  scan.nBin = 0;
  scan.dLevel = -70;
  scan.nBand = 1;
  scan.bHasFrequency = true;
  scan.dFrequencyMHz = 100.025;
  out.clear();
  AppendJsonlRow(out, "s.h2m", Facts(true, true), scan);
  EXPECT_NE(out.find("\"lat\": 48.5, \"lon\": -2.25, \"quality\": 90, \"band\": 1, \"bin\": 0, "
                     "\"frequency_mhz\": 100.025, \"level_dbm\": -70}"),
            std::string::npos)
      << out;
  out.clear();
  AppendJsonlRow(out, "s.h2m", Facts(false, true), scan);
  EXPECT_NE(out.find("\"lat\": null, \"lon\": -2.25, \"quality\": 90,"), std::string::npos) << out;
}

// The rows of a whole message are the per-row texts joined, for every kind
// of value: non-finite levels, missing bands and frequencies, and enough
// distinct values that the remembered number texts are replaced many times,
// and bins whose band and frequency change.
TEST(ExportRows, MessageRowsEqualSingleRows) {
  std::vector<LevelRow> rows;
  const double odd[] = {std::nan(""), INFINITY, -INFINITY, -0.0, 1e300, 5e-324, 0.1, -140.00000000000003};
  for (int i = 0; i < 20000; ++i) {
    LevelRow r;
    r.nBin = i;
    r.nBand = i % 3;
    r.bHasFrequency = i % 5 != 0;
    r.dFrequencyMHz = 400 + i * 0.0125;
    r.dLevel = i < 8 ? odd[i] : -140 + (i % 1500) * 0.1 + (i % 7 == 0 ? 1e-9 * i : 0);
    rows.push_back(r);
  }
  rows.back().nBin = 1 << 20;  // beyond the bins remembered
  // The second pass moves bins to other bands and frequencies, as a new
  // plan does.
  for (bool lat : {false, true}) {
    if (lat) {
      for (size_t i = 0; i < rows.size(); i += 2) {
        rows[i].nBand = (rows[i].nBand + 1) % 3;
        rows[i].dFrequencyMHz += 1;
        rows[i].bHasFrequency = i % 6 != 0;
      }
    }
    std::string oneCsv, allCsv, oneJsonl, allJsonl;
    for (const LevelRow& r : rows) {
      AppendCsvRow(oneCsv, "a,\"b\".h2m", Facts(lat, true), r);
      AppendJsonlRow(oneJsonl, "a,\"b\".h2m", Facts(lat, true), r);
    }
    AppendCsvRows(allCsv, "a,\"b\".h2m", Facts(lat, true), rows);
    AppendJsonlRows(allJsonl, "a,\"b\".h2m", Facts(lat, true), rows);
    EXPECT_EQ(allCsv, oneCsv);
    EXPECT_EQ(allJsonl, oneJsonl);
  }
}

TEST(SplitPayload, NamesThenValues) {
  auto f = SplitPayload("a^b^c^1,3;2,5,6;4;");
  ASSERT_EQ(f.size(), 3u);
  EXPECT_EQ(f[0], PayloadField("a", "1,3"));
  EXPECT_EQ(f[1], PayloadField("b", "2,5,6"));
  EXPECT_EQ(f[2], PayloadField("c", "4"));
  auto short_ = SplitPayload("a^b^1;");  // fewer values than names
  ASSERT_EQ(short_.size(), 2u);
  EXPECT_EQ(short_[1], PayloadField("b", ""));
  EXPECT_EQ(SplitPayload("").size(), 0u);
  EXPECT_EQ(SplitPayload("no names;").size(), 0u);
  auto empty = SplitPayload("Software Version^^;;");  // an empty name keeps its place
  ASSERT_EQ(empty.size(), 2u);
  EXPECT_EQ(empty[1].first, "");
}

struct TestSettings {
  int nFormat = 0;
  std::string strOutput = "-";
  double dLevel = -1;
  int nJobs = 1;
  bool bFlag = false;
  std::vector<std::string> files;
};

const CommandInfo kTestCommand = {"t", "test the parser"};

const CommandSpec<TestSettings>& TestSpec() {
  using S = TestSettings;
  static const CommandSpec<S> spec{
      {kTestCommand, "FILE...", "no log file given", nullptr, nullptr},
      {{{"--one", "", "", "format one", true}, [](S& s, const std::string&, std::string&) { return s.nFormat = 1; }},
       {{"--two", "", "", "format two", true}, [](S& s, const std::string&, std::string&) { return s.nFormat = 2; }},
       OutputOption(&S::strOutput, "OUT", "where"),
       LevelThresholdOption(&S::dLevel),
       JobsOption(&S::nJobs, "N at a time", "1", ""),
       {{"--flag", "", "", "a flag"}, [](S& s, const std::string&, std::string&) { return s.bFlag = true; }}},
      [](const S& s, std::string& why) {
        if (s.bFlag && s.nFormat == 2) why = "--flag is for --one";
        return why.empty();
      }};
  return spec;
}

TEST(ParseCommand, OneTableForEveryOption) {
  struct Case {
    std::vector<std::string> args;
    ParseOutcome outcome;
    std::vector<std::string> files;
    std::string strOutput;
    double dLevel;
    int nJobs;
  };
  const double inf = std::numeric_limits<double>::infinity();
  const Case cases[] = {
      {{"--one", "-o", "out.csv", "a.h2m", "--", "-b.h2m", "-"}, ParseOutcome::Run, {"a.h2m", "-b.h2m", "-"}, "out.csv", -1, 1},
      {{"--two", "-oOUT", "--level-threshold=-92.5", "-j3", "x"}, ParseOutcome::Run, {"x"}, "OUT", -92.5, 3},
      {{"--one", "--output=o", "--level-threshold", "-inf", "--jobs", "256", "x"}, ParseOutcome::Run, {"x"}, "o", -inf, 256},
      {{"--one", "-j", "7", "--jobs=2", "x", "--flag"}, ParseOutcome::Run, {"x"}, "-", -1, 2},  // the last one wins
      {{"--bogus", "--help"}, ParseOutcome::Help, {}, "-", -1, 1},  // help before "--", whatever else is given
      {{"--one", "x", "-h"}, ParseOutcome::Help, {}, "-", -1, 1},
      {{"--one", "--", "-h"}, ParseOutcome::Run, {"-h"}, "-", -1, 1},
  };
  for (const Case& c : cases) {
    TestSettings s;
    EXPECT_EQ(ParseCommand(TestSpec(), c.args, s), c.outcome) << c.args[0];
    if (c.outcome != ParseOutcome::Run) continue;
    EXPECT_EQ(s.files, c.files) << c.args[0];
    EXPECT_EQ(s.strOutput, c.strOutput);
    EXPECT_EQ(s.dLevel, c.dLevel);
    EXPECT_EQ(s.nJobs, c.nJobs);
  }
  const std::vector<std::vector<std::string>> usageErrors = {
      {"--bogus", "x"}, {"--one"}, {"x"}, {"--one", "--two", "x"}, {"--one", "-o"}, {"--one", "-o", "", "x"},
      {"--one=1", "x"}, {"--one", "-j0", "x"}, {"--one", "-j257", "x"}, {"--one", "--jobs=", "x"},
      {"--one", "-j1x", "x"}, {"--one", "--jobs", "99999999999999999999", "x"}, {"--one", "--level-threshold=nan", "x"},
      {"--one", "--level-threshold", "0x10", "x"}, {"--one", "--level-threshold", "1e400", "x"},
      {"--two", "--flag", "x"}};
  for (const auto& args : usageErrors) {
    TestSettings s;
    EXPECT_EQ(ParseCommand(TestSpec(), args, s), ParseOutcome::UsageError) << ::testing::PrintToString(args);
  }
}

TEST(ParseCommand, UsageAndHelpComeFromTheTable) {
  std::vector<const OptionInfo*> infos;
  for (const auto& o : TestSpec().options) infos.push_back(&o.info);
  EXPECT_EQ(UsageLine(TestSpec().syntax, infos),
            "usage: vyrhost t (--one | --two) [-o OUT] [--level-threshold DBM] [--jobs N] [--flag] FILE...\n");
  const std::string help = HelpText(TestSpec().syntax, infos);
  EXPECT_NE(help.find("\nTest the parser.\n"), std::string::npos) << help;
  EXPECT_NE(help.find("\n  --jobs N, -j N          N at a time (1 to 256, default: 1)\n"), std::string::npos) << help;
  EXPECT_NE(help.find("\n  -o OUT, --output OUT    where ('-' is standard output)\n"), std::string::npos) << help;
  // Below the usage line, the text is wrapped below 80 columns.
  size_t start = help.find('\n') + 1;
  for (size_t nl; (nl = help.find('\n', start)) != std::string::npos; start = nl + 1)
    EXPECT_LT(nl - start, 80u) << help.substr(start, nl - start);
}

TEST(ParseNumber, WholeNumbersOnly) {
  double d = 0;
  EXPECT_TRUE(ParseNumber("-80.5", d));
  EXPECT_EQ(d, -80.5);
  EXPECT_FALSE(ParseNumber("-80dBm", d));
  EXPECT_FALSE(ParseNumber("", d));
  EXPECT_FALSE(ParseNumber("nan", d));
}
}  // namespace
