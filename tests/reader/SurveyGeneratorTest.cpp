// The generator's start, origin and shapes: the fixed shape writes the logs
// of earlier versions; the survey shape drives, and its levels are a noise
// floor with steady, bursty and fading carriers.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <numbers>
#include <sstream>

#include "HytemGenArguments.h"
#include "HytemLogGenerator.h"
#include "HytemSurvey.h"
#include "HytemTestSupport.h"

namespace {

std::string Generate(const TempDir& dir, const HytemGenOptions& options) {
  const std::string path = dir.Path() + "/gen.h2m";
  std::FILE* out = std::fopen(path.c_str(), "wb");
  EXPECT_NE(nullptr, out);
  if (!out) return path;
  EXPECT_TRUE(WriteHytemLog(options, out));
  std::fclose(out);
  return path;
}

TEST(Generator, FixedShapeWritesTheLogsOfEarlierVersions) {
  TempDir dir;
  HytemGenOptions options;
  options.shape = HytemGenShape::kFixed;
  options.nBins = 3;
  options.nLines = 3;
  const std::string text = ReadWholeFile(Generate(dir, options));
  EXPECT_NE(std::string::npos, text.find("delayBetweenMeasurement = 500\n"
                                         "Time\tDate\tLatitude\tNS\tLongitude\tWE\tValidity\tBandNumber\tLevels\n"
                                         "08:00:00\t03/15/05\t48.5110\tN\t2.2107\tE\t1\t1\t-56.1\t-96.9\t-88.9\n"
                                         "08:00:00\t03/15/05\t48.5112\tN\t2.2107\tE\t1\t2\t-88.2\t-89.7\t-66.9\n"
                                         "08:00:01\t03/15/05\t48.5114\tN\t2.2107\tE\t1\t1\t-56.4\t-98.7\t-86.1\n"))
      << text;
}

struct StartCase {
  HytemGenShape shape;
  const char* pszStart;   // nullptr: the default
  const char* pszOrigin;  // nullptr: the default
  const char* pszStartTime;
  double dLatitude;
  double dLongitude;
};

TEST(Generator, StartAndOriginAreTheFirstLinesTimeAndPosition) {
  const StartCase cases[] = {
      {HytemGenShape::kSurvey, nullptr, nullptr, "2005-03-15T08:00:00.000", 48.852, 2.351},
      {HytemGenShape::kSurvey, "2024-02-29T23:59:58", "-33.87,151.21", "2024-02-29T23:59:58.000", -33.87, 151.21},
      {HytemGenShape::kFixed, "1999-12-31T12:30", "60.17,-24.94", "1999-12-31T12:30:00.000", 60.17, -24.94},
  };
  for (const StartCase& c : cases) {
    HytemGenOptions options;
    options.shape = c.shape;
    options.nLines = 4;
    if (c.pszStart) {
      EXPECT_TRUE(ParseHytemGenStart(c.pszStart, options)) << c.pszStart;
    }
    if (c.pszOrigin) {
      EXPECT_TRUE(ParseHytemGenOrigin(c.pszOrigin, options)) << c.pszOrigin;
    }
    TempDir dir;
    CTestableHytemReader reader;
    const std::vector<RecordedMessage> messages = LoadAndRecord(reader, Generate(dir, options));
    ASSERT_EQ(5u, messages.size());
    EXPECT_EQ(c.pszStartTime, reader.GetFileInfo().GetFileStartTime().FormatIso8601());
    // Minute hundredths, and the fixed shape's first step of up to two.
    EXPECT_NEAR(c.dLatitude, messages[1].dLatitude, 2.5 / 6000) << c.pszStartTime;
    EXPECT_NEAR(c.dLongitude, messages[1].dLongitude, 2.5 / 6000) << c.pszStartTime;
  }
}

TEST(Generator, StartOriginAndShapeTexts) {
  const std::pair<const char*, bool> starts[] = {
      {"2024-05-14", true},        {"2024-05-14T09:05", true},  {"1969-01-01T00:00:00", true},
      {"2068-12-31T23:59:59", true}, {"1968-12-31", false},     {"2069-01-01", false},
      {"2023-02-29", false},       {"2024-05-14T24:00", false}, {"2024-05-14T09:05:7", false},
      {"2024-+5-14", false},       {" 2024-05-14", false},      {"2024-05-14 09:05", false},
  };
  for (const auto& [pszText, bOk] : starts) {
    HytemGenOptions options;
    EXPECT_EQ(bOk, ParseHytemGenStart(pszText, options)) << pszText;
  }
  HytemGenOptions options;
  ASSERT_TRUE(ParseHytemGenStart("2024-05-14T09:05:07", options));
  EXPECT_EQ(2024, options.nStartYear);
  EXPECT_EQ(5, options.nStartMonth);
  EXPECT_EQ(14, options.nStartDay);
  EXPECT_EQ((9 * 3600 + 5 * 60 + 7) * 1000, options.nStartMsOfDay);

  const std::pair<const char*, bool> origins[] = {
      {"48.85,2.35", true}, {"-89,-180", true}, {"89.5,0", false}, {"0,180.1", false},
      {"48.85", false},     {"48.85,", false},  {"48.85,2.35x", false}, {"nan,1", false},
  };
  for (const auto& [pszText, bOk] : origins) {
    HytemGenOptions o;
    EXPECT_EQ(bOk, ParseHytemGenOrigin(pszText, o)) << pszText;
    if (!bOk) {
      EXPECT_EQ(48.852, o.dOriginLatitude) << pszText;  // left as it was
    }
  }
  HytemGenShape shape = HytemGenShape::kFixed;
  EXPECT_TRUE(ParseHytemGenShape("survey", shape));
  EXPECT_EQ(HytemGenShape::kSurvey, shape);
  EXPECT_FALSE(ParseHytemGenShape("Survey", shape));
}

double Median(std::vector<double> v) {
  std::nth_element(v.begin(), v.begin() + static_cast<std::ptrdiff_t>(v.size() / 2), v.end());
  return v[v.size() / 2];
}

// The levels of a survey log's band 1, message by message.
std::vector<std::vector<double>> BandLevels(const std::vector<RecordedMessage>& messages, size_t nBins) {
  std::vector<std::vector<double>> sweeps;
  for (const RecordedMessage& m : messages) {
    const size_t nLevels = m.payload.rfind('^');
    if (m.nClass != 307 || nLevels == std::string::npos) continue;
    std::vector<std::string> values;
    std::istringstream fields(m.payload.substr(nLevels + 1));
    for (std::string field; std::getline(fields, field, ';');) values.push_back(field);
    if (values.size() < 9 || values[7] != "1") continue;  // band 1 only
    std::vector<double> levels;
    std::istringstream list(values[8]);
    for (std::string level; std::getline(list, level, ',');) levels.push_back(std::stod(level));
    EXPECT_EQ(nBins, levels.size());
    sweeps.push_back(levels);
  }
  return sweeps;
}

// A ten-minute drive: the route moves, every bin's level changes from sweep
// to sweep around a floor, and carriers stand out of it.
TEST(Generator, SurveyLogDrivesOverAFloorWithCarriers) {
  HytemGenOptions options;
  options.nBins = 120;
  options.nLines = 1200;
  options.nSeed = 3;
  TempDir dir;
  CTestableHytemReader reader;
  const std::vector<RecordedMessage> messages = LoadAndRecord(reader, Generate(dir, options));
  const RecordedMessage& first = messages[1];
  const RecordedMessage& last = messages.back();
  const double dNorth = (last.dLatitude - first.dLatitude) * 111320;
  const double dCosLatitude = std::cos(first.dLatitude * std::numbers::pi / 180);
  const double dEast = (last.dLongitude - first.dLongitude) * 111320 * dCosLatitude;
  EXPECT_GT(std::hypot(dNorth, dEast), 500.0);

  const std::vector<std::vector<double>> sweeps = BandLevels(messages, 120);
  ASSERT_EQ(600u, sweeps.size());
  std::vector<double> all;
  size_t nStillBins = 0;
  for (size_t k = 0; k < 120; ++k) {
    double dMin = 0, dMax = -200;
    for (const std::vector<double>& s : sweeps) {
      all.push_back(s[k]);
      dMin = std::min(dMin, s[k]);
      dMax = std::max(dMax, s[k]);
    }
    if (dMax - dMin < 3) ++nStillBins;
  }
  EXPECT_EQ(0u, nStillBins);  // no stripes
  const double dFloor = Median(all);
  EXPECT_GT(dFloor, -110);
  EXPECT_LT(dFloor, -100);
  EXPECT_GT(*std::max_element(all.begin(), all.end()), dFloor + 40);
}

// The carriers of a band, seen at their centre bins: steady ones always
// there, a bursty one now and then, the fading one weaker far from the start.
TEST(Generator, SurveyCarriersAreSteadyBurstyAndFading) {
  CSurveyRandom random(5);
  CSurveySpectrum band(200, 3, true, -106.0, random);
  const std::vector<CSurveySpectrum::Carrier> carriers = band.Carriers();
  ASSERT_EQ(4u, carriers.size());
  std::vector<int> tenths;
  std::vector<std::vector<double>> atCarrier(carriers.size());
  for (int t = 0; t < 600; ++t) {
    band.Levels(1.0, 50.0 + 5.0 * t, tenths);  // driving away at 5 m/s
    for (size_t i = 0; i < carriers.size(); ++i)
      atCarrier[i].push_back(tenths[static_cast<size_t>(carriers[i].nBin)] * 0.1);
  }
  for (size_t i = 0; i < carriers.size(); ++i) {
    const std::vector<double>& v = atCarrier[i];
    const double dAbove = static_cast<double>(std::count_if(v.begin(), v.end(), [](double d) { return d > -90; }));
    switch (carriers[i].kind) {
      case CSurveySpectrum::Kind::kSteady: EXPECT_EQ(600, dAbove) << i; break;
      case CSurveySpectrum::Kind::kBursty:
        EXPECT_GT(dAbove, 30) << i;
        EXPECT_LT(dAbove, 400) << i;
        break;
      case CSurveySpectrum::Kind::kFading: {
        const std::vector<double> near(v.begin(), v.begin() + 30), far(v.end() - 30, v.end());
        EXPECT_GT(Median(near) - Median(far), 30) << i;
        break;
      }
    }
  }
}

}  // namespace
