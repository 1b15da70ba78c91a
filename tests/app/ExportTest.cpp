// The export's pieces: the CSV and JSON Lines rows, the number and text
// forms they share, and the option parsing of the view commands.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <limits>
#include <string>
#include <vector>

#include "CommandLine.h"
#include "ExportFormats.h"
#include "vyr/Json.h"
#include "vyr/Payload.h"

namespace {
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
    vyr::AppendJsonString(out, in);
    EXPECT_EQ(out, want);
  }
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
    vyr::AppendShortestDouble(out, c.d);
    EXPECT_EQ(out, c.text);
    EXPECT_EQ(std::strtod(out.c_str(), nullptr), c.d) << out;
  }
  std::string nan;
  vyr::AppendShortestDouble(nan, std::nan(""));
  EXPECT_EQ(nan, "nan");
}

vyr::Message Facts(bool withLatitude, bool withLongitude) {
  vyr::Message m;
  m.index = 3;
  m.timeMs = 1000;
  m.startMs = 1110878130000;  // 2005-03-15T09:15:30
  m.position.hasLatitude = withLatitude;
  m.position.hasLongitude = withLongitude;
  m.position.latitude = 48.5;
  m.position.longitude = -2.25;
  m.position.quality = withLatitude || withLongitude ? 90 : 50;
  return m;
}

vyr::Level MakeLevel(int element, double dbm, int band = 0, std::int64_t hz = vyr::kNoFrequency) {
  vyr::Level l;
  l.element = element;
  l.dbm = dbm;
  l.band = band;
  l.hz = hz;
  return l;
}

TEST(ExportRows, CsvRowsInColumnOrder) {
  std::string out;
  AppendCsvHeader(out);
  EXPECT_EQ(out,
            "file,message,time,time_ms,lat,lon,quality,band,bin,frequency_hz,frequency_mhz,level_dbm,min_dbm,max_dbm,"
            "stddev_db\n");
  struct Case {
    const char* file;
    bool lat, lon;
    vyr::Level level;
    const char* row;
  } cases[] = {
      {"a,b.h2m", true, true, MakeLevel(6, -74.5, 2, 1805200000),
       "\"a,b.h2m\",3,2005-03-15T09:15:31.000,1000,48.5,-2.25,90,2,6,1805200000,1805.2,-74.5,,,\n"},
      // No band, no frequency, no position; then each coordinate on its own.
      {"c.h1m", false, false, MakeLevel(1, -61), "c.h1m,3,2005-03-15T09:15:31.000,1000,,,50,,1,,,-61,,,\n"},
      {"c.h1m", true, false, MakeLevel(1, -61), "c.h1m,3,2005-03-15T09:15:31.000,1000,48.5,,90,,1,,,-61,,,\n"},
      {"c.h1m", false, true, MakeLevel(1, -61), "c.h1m,3,2005-03-15T09:15:31.000,1000,,-2.25,90,,1,,,-61,,,\n"},
  };
  for (const Case& c : cases) {
    out.clear();
    AppendCsvRows(out, c.file, Facts(c.lat, c.lon), &c.level, 1);
    EXPECT_EQ(out, c.row);
  }
  vyr::Level stats = MakeLevel(0, -84.3, 0, 946200000);
  stats.minDbm = -97;
  stats.maxDbm = -71.5;  // no deviation
  out.clear();
  AppendCsvRows(out, "s.h1s", Facts(false, false), &stats, 1);
  EXPECT_EQ(out, "s.h1s,3,2005-03-15T09:15:31.000,1000,,,50,,0,946200000,946.2,-84.3,-97,-71.5,\n");
}

TEST(ExportRows, JsonlRowsWithNulls) {
  const vyr::Level channel = MakeLevel(1, -61);
  std::string out;
  AppendJsonlRows(out, "c.h1m", Facts(false, false), &channel, 1);
  EXPECT_EQ(out,
            "{\"file\": \"c.h1m\", \"message\": 3, \"time\": \"2005-03-15T09:15:31.000\", \"time_ms\": 1000, "
            "\"lat\": null, \"lon\": null, \"quality\": 50, \"band\": null, \"bin\": 1, \"frequency_hz\": null, "
            "\"frequency_mhz\": null, \"level_dbm\": -61}\n");
  vyr::Level scan = MakeLevel(0, -70, 1, 100025000);
  scan.stddevDb = 4.2;
  out.clear();
  AppendJsonlRows(out, "s.h2m", Facts(false, true), &scan, 1);
  EXPECT_NE(out.find("\"lat\": null, \"lon\": -2.25, \"quality\": 90, \"band\": 1, \"bin\": 0, "
                     "\"frequency_hz\": 100025000, \"frequency_mhz\": 100.025, \"level_dbm\": -70, "
                     "\"min_dbm\": null, \"max_dbm\": null, \"stddev_db\": 4.2}"),
            std::string::npos)
      << out;
}

// The rows of a whole batch are the one-row texts joined, for every kind of
// value: non-finite levels, missing bands and frequencies, enough distinct
// values that the remembered number texts are replaced many times, and bins
// whose band and frequency change.
TEST(ExportRows, BatchRowsEqualSingleRows) {
  std::vector<vyr::Level> levels;
  const double odd[] = {std::nan(""), INFINITY, -INFINITY, -0.0, 1e300, 5e-324, 0.1, -140.00000000000003};
  for (int i = 0; i < 20000; ++i) {
    const double dbm = i < 8 ? odd[i] : -140 + (i % 1500) * 0.1 + (i % 7 == 0 ? 1e-9 * i : 0);
    levels.push_back(MakeLevel(i, dbm, i % 3, i % 5 != 0 ? 400000000 + i * 12500LL : vyr::kNoFrequency));
    if (i % 11 == 0) levels.back().minDbm = dbm - 3;
  }
  levels.back().element = 1 << 20;  // beyond the bins remembered
  // The second pass moves bins to other bands and frequencies, as a new
  // plan does.
  for (bool lat : {false, true}) {
    if (lat) {
      for (size_t i = 0; i < levels.size(); i += 2) {
        levels[i].band = (levels[i].band + 1) % 3;
        levels[i].hz = i % 6 != 0 ? levels[i].hz + 1000000 : vyr::kNoFrequency;
      }
    }
    std::string oneCsv, allCsv, oneJsonl, allJsonl;
    for (const vyr::Level& l : levels) {
      AppendCsvRows(oneCsv, "a,\"b\".h2m", Facts(lat, true), &l, 1);
      AppendJsonlRows(oneJsonl, "a,\"b\".h2m", Facts(lat, true), &l, 1);
    }
    AppendCsvRows(allCsv, "a,\"b\".h2m", Facts(lat, true), levels.data(), levels.size());
    AppendJsonlRows(allJsonl, "a,\"b\".h2m", Facts(lat, true), levels.data(), levels.size());
    EXPECT_EQ(allCsv, oneCsv);
    EXPECT_EQ(allJsonl, oneJsonl);
  }
}

TEST(SplitPayload, NamesThenValues) {
  auto f = vyr::SplitPayload("a^b^c^1,3;2,5,6;4;");
  ASSERT_EQ(f.size(), 3u);
  EXPECT_EQ(f[0], vyr::PayloadField("a", "1,3"));
  EXPECT_EQ(f[1], vyr::PayloadField("b", "2,5,6"));
  EXPECT_EQ(f[2], vyr::PayloadField("c", "4"));
  auto short_ = vyr::SplitPayload("a^b^1;");  // fewer values than names
  ASSERT_EQ(short_.size(), 2u);
  EXPECT_EQ(short_[1], vyr::PayloadField("b", ""));
  EXPECT_EQ(vyr::SplitPayload("").size(), 0u);
  EXPECT_EQ(vyr::SplitPayload("no names;").size(), 0u);
  auto empty = vyr::SplitPayload("Software Version^^;;");  // an empty name keeps its place
  ASSERT_EQ(empty.size(), 2u);
  EXPECT_EQ(empty[1].first, "");
}

TEST(ParseCommandLine, OptionsValuesAndFiles) {
  std::vector<OptionDefn> options = {{"--csv", nullptr, false}, {"--output", "-o", true}, {"--format", nullptr, true}};
  ParsedCommandLine cl;
  ASSERT_TRUE(ParseCommandLine("t", {"--csv", "-o", "out.csv", "a.h2m", "--format=json", "--", "-b.h2m", "-"},
                               options, cl));
  EXPECT_TRUE(cl.Has("--csv"));
  EXPECT_EQ(cl.Get("--output"), "out.csv");
  EXPECT_EQ(cl.Get("--format"), "json");
  EXPECT_EQ(cl.Get("--missing", "dflt"), "dflt");
  EXPECT_EQ(cl.files, (std::vector<std::string>{"a.h2m", "-b.h2m", "-"}));

  for (const std::vector<std::string>& bad :
       {std::vector<std::string>{"--bogus"}, {"-o"}, {"--csv=1"}}) {
    ParsedCommandLine c;
    EXPECT_FALSE(ParseCommandLine("t", bad, options, c)) << bad[0];
  }
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
