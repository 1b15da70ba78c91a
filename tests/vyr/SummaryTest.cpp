// `vyrhost info`: the summary gathered from decoded messages, and its text
// and JSON forms.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "vyr/Summary.h"

namespace {
class SummaryTest : public ::testing::Test {
 protected:
  vyr::SummaryVisitor summary;
  std::vector<vyr::Section> sections;  // reserved: messages point into it
  std::uint64_t next = 0;

  void SetUp() override {
    sections.reserve(8);
    vyr::FileInfo info;
    info.path = "x.h2m";
    info.type = "HYTEM";
    info.startMs = 1110888001000;  // 2005-03-15T12:00:01
    info.deviceType = 115;
    info.versionField = "Software Version";
    summary.OnFile(info);
  }

  // A header message that sets up a section of its own when given one.
  void Header(const char* payload, std::vector<vyr::Band> bands = {}, bool bPlan = true) {
    vyr::Message m = Make(306, vyr::Role::Header, 0, payload);
    if (!bands.empty()) {
      vyr::Section& s = sections.emplace_back();
      s.kind = bPlan ? vyr::Section::Kind::Plan : vyr::Section::Kind::Channels;
      s.header = m.index;
      s.bands = std::move(bands);
      m.section = &s;
    }
    summary.OnMessage(m);
  }
  void Measurement(std::int64_t timeMs, const char* payload, bool bPosition = false) {
    vyr::Message m = Make(307, vyr::Role::Measurement, timeMs, payload);
    m.position.hasLatitude = m.position.hasLongitude = bPosition;
    summary.OnMessage(m);
  }
  vyr::Message Make(int cls, vyr::Role role, std::int64_t timeMs, const char* payload) {
    vyr::Message m;
    m.index = next++;
    m.messageClass = cls;
    m.role = role;
    m.timeMs = timeMs;
    m.payload = payload;
    m.section = sections.empty() ? nullptr : &sections.back();
    return m;
  }
  static vyr::Band OneBand() {  // 100.0 to 100.1 MHz in 25 kHz steps
    vyr::Band b;
    b.number = 1;
    b.hz = {100000000, 100025000, 100050000, 100075000, 100100000};
    return b;
  }
  static void ExpectHas(const std::string& text, const std::vector<const char*>& parts) {
    for (const char* p : parts) EXPECT_NE(text.find(p), std::string::npos) << p << " in\n" << text;
  }
};

TEST_F(SummaryTest, ScanLog) {
  Header("Software Version^nbScannedBandwidths^delayBetweenMeasurement^V2.4;1;500;", {OneBand()});
  Measurement(500, "Time^Date^BandNumber^Levels^12:00:01;03/15/05;1;-70,-95.5;", true);
  Measurement(1500, "Time^Date^BandNumber^Levels^12:00:02;03/15/05;1;-71;");
  const vyr::LogSummary& s = summary.Summary();
  EXPECT_STREQ(s.Kind(), "scan");
  EXPECT_EQ(s.messages, 3u);
  EXPECT_EQ(s.positions, 1u);
  EXPECT_EQ(s.EndIso(), "2005-03-15T12:00:02.500");
  ASSERT_EQ(s.classes.size(), 2u);
  EXPECT_EQ(s.classes[1].count, 2u);
  ASSERT_EQ(s.headers.size(), 1u);
  EXPECT_EQ(s.headers[0].softwareVersion, "V2.4");
  EXPECT_EQ(s.headers[0].columns, (std::vector<std::string>{"Time", "Date", "BandNumber", "Levels"}));
  std::string text, json;
  vyr::AppendSummaryText(text, s);
  vyr::AppendSummaryJson(json, s);
  ExpectHas(text, {"Kind: scan\n", "Software version: V2.4\n", "Start: 2005-03-15T12:00:01.000\n",
                   "Duration: 1.500 s\n", "  306: 1\n", "Positions: 1 of 2 measurement messages\n",
                   "  delayBetweenMeasurement = 500\n", "Columns (4): Time, Date, BandNumber, Levels\n",
                   "  Band 1: 100.000 MHz to 100.100 MHz, step 25 kHz, 5 bins (bins 0 to 4)\n"});
  ExpectHas(json, {"\"kind\": \"scan\"", "\"duration_ms\": 1500", "\"software_version\": \"V2.4\"",
                   "\"header\": {\"nbScannedBandwidths\": \"1\", \"delayBetweenMeasurement\": \"500\"}",
                   "\"bands\": [{\"band\": 1, \"first_bin\": 0, \"bins\": 5, \"start_mhz\": 100, ",
                   "\"step_khz\": 25}]", "\"later_headers\": []"});
}

TEST_F(SummaryTest, ChannelLogAndALaterHeader) {
  vyr::Band channels;
  channels.hz = {2412000000, vyr::kNoFrequency, 2437000000};  // channel 2 named without a frequency
  Header("Software Version^frequency1^frequency3^V1;2412.000;2437.000;", {channels}, false);
  Measurement(250, "Time^Date^Level1^Level2^14:02:10;06/21/04;-61.5;-78;");
  Header("Software Version^nbScannedBandwidths^V2;1;", {OneBand()});
  Measurement(900, "Date^Time^BandNumber^Levels^06/21/04;14:02:11;1;-70;");
  const vyr::LogSummary& s = summary.Summary();
  EXPECT_STREQ(s.Kind(), "channels");  // from the first header
  ASSERT_EQ(s.headers.size(), 2u);
  ASSERT_EQ(s.headers[0].channels.size(), 2u);  // those with a frequency
  EXPECT_EQ(s.headers[0].channels[1].element, 2);
  EXPECT_EQ(s.headers[1].message, 2u);
  EXPECT_EQ(s.headers[1].columns.front(), "Date");
  EXPECT_EQ(s.headers[1].bands.size(), 1u);
  std::string text, json;
  vyr::AppendSummaryText(text, s);
  vyr::AppendSummaryJson(json, s);
  ExpectHas(text, {"  Channel 3: 2437.000 MHz\n", "Header of message 2 (software version V2):\n"});
  ExpectHas(json, {"\"channels\": [{\"channel\": 1, \"bin\": 0, \"frequency_mhz\": 2412}, "
                   "{\"channel\": 3, \"bin\": 2, \"frequency_mhz\": 2437}]",
                   "\"later_headers\": [{\"message\": 2, \"software_version\": \"V2\""});
}

TEST_F(SummaryTest, NoMessageAtAll) {
  const vyr::LogSummary& s = summary.Summary();
  EXPECT_STREQ(s.Kind(), "other");
  std::string text, json;
  vyr::AppendSummaryText(text, s);
  vyr::AppendSummaryJson(json, s);
  ExpectHas(text, {"Software version: (no header message)\n"});
  ExpectHas(json, {"\"software_version\": null"});
}
TEST(SummaryText, DurationsInOneForm) {
  const std::pair<std::int64_t, const char*> cases[] = {
      {0, "0.000 s"},           {5500, "5.500 s"},          {59999, "59.999 s"},
      {60000, "1 min 00.000 s"}, {725500, "12 min 05.500 s"}, {10925500, "3 h 02 min 05.500 s"},
      {-1500, "-1.500 s"},      {INT64_MIN, "-2562047788015 h 12 min 55.808 s"}};
  for (const auto& [ms, text] : cases) EXPECT_EQ(vyr::FormatDuration(ms), text) << ms;
}
}  // namespace
