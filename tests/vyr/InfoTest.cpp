// `vyrhost info`: the summary gathered from decoded messages, and its text
// and JSON forms.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "vyr/LogSummary.h"
#include "VyrSchema.h"

namespace {
class LogSummaryTest : public ::testing::Test {
 protected:
  ScanAttributes ids;
  CVyrMemoryDataState state;
  CVyrExpandedMessage expanded;
  CFrequencyPlan plan{ids};
  CLogSummaryCollector collector{ids};
  std::uint64_t next = 0;

  void SetUp() override {
    ids.nFreq = 102;
    ids.nBandStartIdx = 104;
    ids.nBinLevel = 105;
    ids.nFreqUnit = UT_HZ;
    state.SetRecordWrites(true);
    DecodedFileInfo info;
    info.strPath = "x.h2m";
    info.strTypeName = "HYTEM";
    info.startTime = CVyrMilliSecAbsTime(2005, 3, 15, 12, 0, 1);
    info.nDeviceType = 115;
    collector.OnFile(info);
  }

  // One decoded message: the writes made since the last one go with it.
  void Message(int cls, std::int64_t timeMs, const char* payload, double lat = kVyrNoPosition) {
    CVyrGenericHsMessage msg;
    msg.m_nMsgClass = cls;
    msg.m_msgTime = CVyrMilliSecRelTime(timeMs);
    msg.m_dLatitude = msg.m_dLongitude = lat;
    int n = static_cast<int>(std::strlen(payload));
    std::memcpy(msg.AllocMsgBuf(n), payload, static_cast<size_t>(n));
    plan.Update(state.GetWrites(), state);
    collector.OnMessage({next++, msg, expanded, state.GetWrites(), state}, plan);
    state.ClearWrites();
  }

  // The plan of one band, 100.0 to 100.1 MHz in 25 kHz steps.
  void LayOneBand() {
    state.SetIntValue(104, 0, 0, 0, 0);
    state.SetIntValue(104, 5, 1, 0, 0);
    double f = 100.0;
    for (int e = 0; e < 5; ++e, f += 0.025) state.SetRealValue(102, f * 1e6, e, 0, 0);
  }
};

TEST_F(LogSummaryTest, ScanLog) {
  LayOneBand();
  Message(306, 0, "Software Version^nbScannedBandwidths^delayBetweenMeasurement^V2.4;1;500;");
  Message(307, 500, "Time^Date^BandNumber^Levels^12:00:01;03/15/05;1;-70,-95.5;", 48.5);
  Message(307, 1500, "Time^Date^BandNumber^Levels^12:00:02;03/15/05;1;-71;");
  const LogSummary& s = collector.Finish();
  EXPECT_STREQ(s.Kind(), "scan");
  EXPECT_EQ(s.nMessages, 3u);
  EXPECT_EQ(s.nMeasurementMessages, 2u);
  EXPECT_EQ(s.nPositions, 1u);
  EXPECT_EQ(s.nDurationMs, 1500);
  EXPECT_EQ(s.EndTime(), "2005-03-15T12:00:02.500");
  ASSERT_EQ(s.classes.size(), 2u);
  EXPECT_EQ(s.classes[0].nClass, 306);
  EXPECT_EQ(s.classes[1].nCount, 2u);
  ASSERT_EQ(s.headers.size(), 1u);
  const HeaderSection& h = s.headers[0];
  EXPECT_EQ(h.strSoftwareVersion, "V2.4");
  ASSERT_EQ(h.fields.size(), 2u);
  EXPECT_EQ(h.fields[1], (std::pair<std::string, std::string>("delayBetweenMeasurement", "500")));
  EXPECT_EQ(h.columns, (std::vector<std::string>{"Time", "Date", "BandNumber", "Levels"}));
  ASSERT_EQ(h.bands.size(), 1u);
  EXPECT_EQ(h.bands[0].nCount, 5);

  std::string text;
  AppendSummaryText(text, s);
  for (const char* line : {"Kind: scan\n", "Software version: V2.4\n", "Start: 2005-03-15T12:00:01.000\n",
                           "Duration: 1.500 s\n", "Messages: 3\n", "  306: 1\n", "  307: 2\n",
                           "Positions: 1 of 2 measurement messages\n", "  delayBetweenMeasurement = 500\n",
                           "Columns (4): Time, Date, BandNumber, Levels\n",
                           "  Band 1: 100.000 MHz to 100.100 MHz, step 25 kHz, 5 bins (bins 0 to 4)\n"})
    EXPECT_NE(text.find(line), std::string::npos) << line << "in\n" << text;

  std::string json;
  AppendSummaryJson(json, s);
  for (const char* part : {"\"kind\": \"scan\"", "\"duration_ms\": 1500", "\"software_version\": \"V2.4\"",
                           "\"header\": {\"nbScannedBandwidths\": \"1\", \"delayBetweenMeasurement\": \"500\"}",
                           "\"bands\": [{\"band\": 1, \"first_bin\": 0, \"bins\": 5, \"start_mhz\": 100, ",
                           "\"step_khz\": 25}]", "\"later_headers\": []"})
    EXPECT_NE(json.find(part), std::string::npos) << part << " in " << json;
}

TEST(LogSummaryText, DurationsInOneForm) {
  const std::pair<std::int64_t, const char*> cases[] = {
      {0, "0.000 s"},           {5500, "5.500 s"},          {59999, "59.999 s"},
      {60000, "1 min 00.000 s"}, {725500, "12 min 05.500 s"}, {10925500, "3 h 02 min 05.500 s"},
      {-1500, "-1.500 s"},      {INT64_MIN, "-2562047788015 h 12 min 55.808 s"}};
  for (const auto& [ms, text] : cases) {
    LogSummary s;
    s.nDurationMs = ms;
    std::string out;
    AppendSummaryText(out, s);
    EXPECT_NE(out.find("Duration: " + std::string(text) + "\n"), std::string::npos) << ms << " in\n" << out;
  }
}

TEST_F(LogSummaryTest, ChannelLogAndALaterHeader) {
  state.SetRealValue(102, 2412e6, 0, 2147483647, 0);
  state.SetRealValue(102, 2437e6, 1, 2147483647, 0);
  Message(306, 0, "Software Version^frequency1^frequency2^V1;2412.000;2437.000;");
  Message(307, 250, "Time^Date^Level1^Level2^14:02:10;06/21/04;-61.5;-78;");
  LayOneBand();
  Message(306, 0, "Software Version^nbScannedBandwidths^V2;1;");
  Message(307, 900, "Date^Time^BandNumber^Levels^06/21/04;14:02:11;1;-70;");
  const LogSummary& s = collector.Finish();
  EXPECT_STREQ(s.Kind(), "channels");  // from the first header
  ASSERT_EQ(s.headers.size(), 2u);
  ASSERT_EQ(s.headers[0].channels.size(), 2u);
  EXPECT_EQ(s.headers[0].channels[1].nIndex, 1);
  EXPECT_EQ(s.headers[0].channels[1].dFrequencyMHz, 2437.0);
  EXPECT_TRUE(s.headers[0].bands.empty());
  EXPECT_EQ(s.headers[1].nMessage, 2u);
  EXPECT_EQ(s.headers[1].columns.front(), "Date");
  EXPECT_EQ(s.headers[1].bands.size(), 1u);
  EXPECT_TRUE(s.headers[1].channels.empty());

  std::string text;
  AppendSummaryText(text, s);
  EXPECT_NE(text.find("  Channel 2: 2437.000 MHz\n"), std::string::npos) << text;
  EXPECT_NE(text.find("Header of message 2 (software version V2):\n"), std::string::npos) << text;
  std::string json;
  AppendSummaryJson(json, s);
  EXPECT_NE(json.find("\"channels\": [{\"channel\": 1, \"bin\": 0, \"frequency_mhz\": 2412}, "
                      "{\"channel\": 2, \"bin\": 1, \"frequency_mhz\": 2437}]"),
            std::string::npos)
      << json;
  EXPECT_NE(json.find("\"later_headers\": [{\"message\": 2, \"software_version\": \"V2\""), std::string::npos);
}

TEST_F(LogSummaryTest, NoMessageAtAll) {
  const LogSummary& s = collector.Finish();
  EXPECT_STREQ(s.Kind(), "other");
  std::string text, json;
  AppendSummaryText(text, s);
  AppendSummaryJson(json, s);
  EXPECT_NE(text.find("Software version: (no header message)\n"), std::string::npos);
  EXPECT_NE(json.find("\"software_version\": null"), std::string::npos);
}
}  // namespace
