// The sample logs read end to end as the host reads them: one message per
// software line (with its header block) and per measurement line, with the
// times, positions and payloads worked out by hand from the files.
#include "HytemTestSupport.h"

namespace {

constexpr double kNone = -10000.0;

struct ExpectedMessage {
  std::int32_t nClass;
  std::int64_t nTimeMs;
  double dLatitude;
  double dLongitude;
  int nQuality;
};

std::string SamplePath(const char* pszName) { return std::string(KEL_SOURCE_DIR) + "/samples/" + pszName; }

void ExpectMessages(const std::vector<ExpectedMessage>& expected, const std::vector<RecordedMessage>& actual) {
  ASSERT_EQ(expected.size(), actual.size());
  for (size_t i = 0; i < expected.size(); ++i) {
    EXPECT_EQ(expected[i].nClass, actual[i].nClass) << "message " << i;
    EXPECT_EQ(expected[i].nTimeMs, actual[i].nTimeMs) << "message " << i;
    EXPECT_NEAR(expected[i].dLatitude, actual[i].dLatitude, 1e-12) << "message " << i;
    EXPECT_NEAR(expected[i].dLongitude, actual[i].dLongitude, 1e-12) << "message " << i;
    EXPECT_EQ(expected[i].nQuality, actual[i].nQuality) << "message " << i;
  }
}

const char kScanNames[] = "Time^Date^Latitude^NS^Longitude^WE^Validity^BandNumber^Levels^";

TEST(SampleLogs, ScanTwoBands) {
  CTestableHytemReader reader;
  const std::vector<RecordedMessage> messages = LoadAndRecord(reader, SamplePath("scan_two_bands.h2m"));
  EXPECT_EQ("2005-03-15T09:15:30.000", reader.GetFileInfo().GetFileStartTime().FormatIso8601());

  const double lat0 = 48 + 51.12 / 60, lon0 = 2 + 21.06 / 60;
  const double lat1 = 48 + 51.14 / 60, lon1 = 2 + 21.10 / 60;
  const double lat2 = 48 + 51.17 / 60, lon2 = 2 + 21.15 / 60;
  const double lat3 = 48 + 51.20 / 60, lon3 = 2 + 21.21 / 60;
  const double lat5 = 48 + 51.26 / 60, lon5 = 2 + 21.31 / 60;
  // Delay 500: lines sharing a second are 500 ms apart.
  ExpectMessages({{306, 0, kNone, kNone, 0},
                  {307, 0, lat0, lon0, 100},
                  {307, 500, lat0, lon0, 100},
                  {307, 1000, lat1, lon1, 100},
                  {307, 1500, lat1, lon1, 100},
                  {307, 2000, lat1, lon1, 90},
                  {307, 2000, lat2, lon2, 90},
                  {307, 3000, lat3, lon3, 80},
                  {307, 3500, lat3, lon3, 80},
                  {307, 4000, kNone, kNone, 50},
                  {307, 4500, kNone, kNone, 50},
                  {307, 5000, lat5, lon5, 100},
                  {307, 5500, lat5, lon5, 100}},
                 messages);
  ASSERT_EQ(13u, messages.size());
  EXPECT_EQ(
      "Software Version^nbScannedBandwidths^startFrequencies1^stopFrequencies1^frequencyStep1^startFrequencies2^"
      "stopFrequencies2^frequencyStep2^indexBand^nbFrequencies^bandWidth^command^delayBetweenMeasurement^"
      "V2.4.1;2;925.000;925.800;200;1805.000;1805.400;200;1;8;200;2;500;",
      messages[0].payload);
  EXPECT_EQ(std::string(kScanNames) + "09:15:30;03/15/05;48.5112;N;2.2106;E;1;1;-80.5,-82.0,-85.5,-90.0,-97.5;",
            messages[1].payload);
  EXPECT_EQ(std::string(kScanNames) + "09:15:30;03/15/05;48.5112;N;2.2106;E;1;2;-71.0,-74.5,-88.0;",
            messages[2].payload);
  EXPECT_EQ(std::string(kScanNames) + "09:15:34;03/15/05;48.5123;N;2.2126;E;0;1;-82.5,-85.0,-87.0,-93.0,-101.5;",
            messages[9].payload);
  EXPECT_EQ(std::string(kScanNames) + "09:15:35;03/15/05;48.5126;N;2.2131;E;1;2;-70.0,-74.0,-86.5;",
            messages[12].payload);
}

TEST(SampleLogs, ChannelsFour) {
  CTestableHytemReader reader;
  const std::vector<RecordedMessage> messages = LoadAndRecord(reader, SamplePath("channels_four.h1m"));
  EXPECT_EQ("2004-06-21T14:02:10.250", reader.GetFileInfo().GetFileStartTime().FormatIso8601());

  auto lat = [](double dMinutes) { return 47 + dMinutes / 60; };
  auto lon = [](double dMinutes) { return -(1 + dMinutes / 60); };  // west
  ExpectMessages({{306, 0, kNone, kNone, 0},
                  {307, 0, lat(12.48), lon(33.07), 100},
                  {307, 500, lat(12.48), lon(33.07), 100},
                  {307, 1000, lat(12.50), lon(33.10), 90},
                  {307, 1250, lat(12.50), lon(33.10), 90},
                  {307, 1500, lat(12.53), lon(33.14), 50},  // validity 4: position kept
                  {307, 2000, lat(12.55), lon(33.17), 100},
                  {307, 2500, lat(12.58), lon(33.21), 100},
                  {307, 3050, lat(12.60), lon(33.24), 100}},
                 messages);
  ASSERT_EQ(9u, messages.size());
  EXPECT_EQ(
      "Software Version^frequency1^frequency2^frequency3^frequency4^bandWidth^command^delayBetweenMeasurement^"
      "V2.4.1;2412.000;2437.000;2462.000;2484.000;22000;1;250;",
      messages[0].payload);
  const std::string names = "Time^Date^Latitude^NS^Longitude^WE^Validity^Level1^Level2^Level3^Level4^";
  EXPECT_EQ(names + "14:02:10.250;06/21/04;47.1248;N;1.3307;W;1;-61.5;-78.0;-55.0;-92.5;", messages[1].payload);
  EXPECT_EQ(names + "14:02:11.750;06/21/04;47.1253;N;1.3314;W;4;-63.5;-80.0;-57.0;-94.5;", messages[5].payload);
}

TEST(SampleLogs, Statistics) {
  CTestableHytemReader reader;
  const std::vector<RecordedMessage> messages = LoadAndRecord(reader, SamplePath("statistics.h1s"));
  EXPECT_EQ("1998-11-02T07:45:00.000", reader.GetFileInfo().GetFileStartTime().FormatIso8601());

  auto lat = [](double dMinutes) { return -(33 + dMinutes / 60); };  // south
  auto lon = [](double dMinutes) { return 151 + dMinutes / 60; };
  ExpectMessages({{306, 0, kNone, kNone, 0},
                  {307, 0, lat(52.10), lon(12.45), 100},
                  {307, 10000, lat(52.12), lon(12.49), 100},
                  {307, 20000, lat(52.15), lon(12.54), 100},
                  {307, 21000, lat(52.15), lon(12.54), 80},
                  {307, 30000, lat(52.19), lon(12.60), 100},
                  {307, 40000, kNone, kNone, 50},
                  {307, 50000, lat(52.26), lon(12.71), 100},
                  {307, 60000, lat(52.29), lon(12.76), 100}},
                 messages);
  ASSERT_EQ(9u, messages.size());
  EXPECT_EQ("Software Version^frequency1^bandWidth^command^delayBetweenMeasurement^V2.3.0;946.200;200;4;1000;",
            messages[0].payload);
  const std::string names =
      "Time^Date^Latitude^NS^Longitude^WE^Validity^Average^ColorAv^Minimum^ColorMin^Maximum^ColorMax^Median^"
      "StdDev^ColorMed^";
  EXPECT_EQ(names + "07:45:00;11/02/98;33.5210;S;151.1245;E;1;-84.3;3;-97.0;1;-71.5;5;-85.0;4.2;3;",
            messages[1].payload);
  EXPECT_EQ(names + "07:45:40;11/02/98;33.5222;S;151.1265;E;0;-88.4;2;-141.0;0;-74.0;4;-88.5;6.1;2;",
            messages[6].payload);
}

TEST(SampleLogs, ScanResumed) {
  CTestableHytemReader reader;
  const std::vector<RecordedMessage> messages = LoadAndRecord(reader, SamplePath("scan_resumed.h2s"));
  EXPECT_EQ("2003-09-30T16:20:05.000", reader.GetFileInfo().GetFileStartTime().FormatIso8601());

  auto lat = [](double dMinutes) { return 51 + dMinutes / 60; };
  auto lon = [](double dMinutes) { return -dMinutes / 60; };  // 0 degrees, west
  // The second header brings the delay 250 and a new column order; the
  // repeat state carries on across it.
  ExpectMessages({{306, 0, kNone, kNone, 0},
                  {307, 0, lat(30.12), lon(7.45), 100},
                  {307, 500, lat(30.12), lon(7.45), 100},
                  {307, 1000, lat(30.15), lon(7.50), 100},
                  {307, 2000, lat(30.18), lon(7.56), 100},
                  {306, 0, kNone, kNone, 0},
                  {307, 335000, lat(31.02), lon(8.30), 100},
                  {307, 335250, lat(31.02), lon(8.30), 100},
                  {307, 336000, lat(31.05), lon(8.34), 90},
                  {307, 336250, lat(31.05), lon(8.34), 90},
                  {307, 336500, lat(31.05), lon(8.34), 90},
                  {307, 337000, lat(31.08), lon(8.38), 100}},
                 messages);
  ASSERT_EQ(12u, messages.size());
  EXPECT_EQ(std::string(kScanNames) + "16:20:07;09/30/03;51.3018;N;0.0756;W;1;1;-66.0,-70.5,-81.0,-95.5;",
            messages[4].payload);
  EXPECT_EQ(
      "Software Version^nbScannedBandwidths^startFrequencies1^stopFrequencies1^frequencyStep1^startFrequencies2^"
      "stopFrequencies2^frequencyStep2^indexBand^nbFrequencies^bandWidth^command^delayBetweenMeasurement^"
      "V2.4.2;2;935.000;935.400;200;1842.600;1842.800;200;1;5;200;2;250;",
      messages[5].payload);
  EXPECT_EQ("Date^Time^Validity^Latitude^NS^Longitude^WE^BandNumber^Levels^"
            "09/30/03;16:25:40;1;51.3102;N;0.0830;W;1;-64.0,-72.5,-83.0;",
            messages[6].payload);
}

TEST(SampleLogs, CrlfCopiesReadExactlyLikeTheLfOriginals) {
  TempDir dir;
  for (const char* pszName : {"scan_two_bands.h2m", "channels_four.h1m", "statistics.h1s", "scan_resumed.h2s"}) {
    const std::string original = ReadWholeFile(SamplePath(pszName));
    ASSERT_NE(std::string::npos, original.find('\n')) << pszName;
    ASSERT_EQ(std::string::npos, original.find('\r')) << pszName;
    const std::string crlfPath = dir.Write(pszName, ToCrlf(original));

    CTestableHytemReader lfReader;
    CTestableHytemReader crlfReader;
    const std::vector<RecordedMessage> lf = LoadAndRecord(lfReader, SamplePath(pszName));
    const std::vector<RecordedMessage> crlf = LoadAndRecord(crlfReader, crlfPath);
    EXPECT_FALSE(lf.empty()) << pszName;
    EXPECT_TRUE(lf == crlf) << pszName;
    EXPECT_EQ(lfReader.GetFileInfo().GetFileStartTime().GetMs(), crlfReader.GetFileInfo().GetFileStartTime().GetMs())
        << pszName;
  }
}

TEST(SampleLogs, ScanLineOfFiveThousandLevelsIsReadWhole) {
  std::string levels;
  std::string line = Tabbed({"12:00:01", "03/15/05", "1"});
  for (int k = 0; k < 5000; ++k) {
    const std::string level = "-" + std::to_string(50 + k % 60) + ".5";
    levels += (k ? "," : "") + level;
    line += "\t" + level;
  }
  ASSERT_GT(line.size(), 8192u);
  TempDir dir;
  CTestableHytemReader reader;
  const std::vector<RecordedMessage> messages = LoadAndRecord(
      reader, dir.Write("long.h2m", Lines({"HYTEM Software - V2.4.1", "nbScannedBandwidths = 1",
                                           Tabbed({"Time", "Date", "BandNumber", "Levels"}), line, line})));
  ASSERT_EQ(3u, messages.size());
  const std::string payload = "Time^Date^BandNumber^Levels^12:00:01;03/15/05;1;" + levels + ";";
  EXPECT_EQ(payload, messages[1].payload);
  EXPECT_EQ(payload, messages[2].payload);
  // Worked out: the first levels are -50.5 and -51.5, the last two -68.5 and -69.5.
  EXPECT_EQ(0u, messages[1].payload.find("Time^Date^BandNumber^Levels^12:00:01;03/15/05;1;-50.5,-51.5,"));
  EXPECT_EQ(messages[1].payload.size() - 13, messages[1].payload.rfind(",-68.5,-69.5;"));
}

}  // namespace
