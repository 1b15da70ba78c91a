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
  static const CommandSpec<S> table{
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
  return table;
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
