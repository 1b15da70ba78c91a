// Logs written by the generator are valid HYTEM logs, the same for the same
// options, and read alike with either line end.
#include <algorithm>
#include <cstdio>
#include <cstring>

#include "HytemLogGenerator.h"
#include "HytemTestSupport.h"
#include "NameValuePayload.h"

namespace {

std::string Generate(const TempDir& dir, const char* pszName, const HytemGenOptions& options) {
  const std::string path = dir.Path() + "/" + pszName;
  std::FILE* out = std::fopen(path.c_str(), "wb");
  EXPECT_NE(nullptr, out);
  if (!out) return path;
  EXPECT_TRUE(WriteHytemLog(options, out));
  std::fclose(out);
  return path;
}

std::string Lookup(const std::string& payload, const char* pszName) {
  CVyrGenericHsMessage msg;
  std::memcpy(msg.AllocMsgBuf(static_cast<int>(payload.size())), payload.data(), payload.size());
  char* pszValue = nullptr;
  if (NameValueGetValue(msg, pszName, &pszValue) != 0) return "<absent>";
  std::string value(pszValue);
  NameValueFreeValue(pszValue);
  return value;
}

TEST(Generator, ScanLogReadsAsOneMessagePerLine) {
  TempDir dir;
  HytemGenOptions options;
  options.nBands = 3;
  options.nBins = 7;
  options.nLines = 40;
  CTestableHytemReader reader;
  const std::vector<RecordedMessage> messages = LoadAndRecord(reader, Generate(dir, "scan.h2m", options));
  ASSERT_EQ(41u, messages.size());
  EXPECT_EQ(306, messages[0].nClass);
  EXPECT_EQ("3", Lookup(messages[0].payload, "nbScannedBandwidths"));
  EXPECT_EQ("21", Lookup(messages[0].payload, "nbFrequencies"));
  EXPECT_EQ("500", Lookup(messages[0].payload, "delayBetweenMeasurement"));
  EXPECT_EQ("2005-03-15T08:00:00.000", reader.GetFileInfo().GetFileStartTime().FormatIso8601());
  for (size_t i = 1; i < messages.size(); ++i) {
    const std::string levels = Lookup(messages[i].payload, "Levels");
    EXPECT_EQ(307, messages[i].nClass);
    EXPECT_EQ(std::to_string((i - 1) % 3 + 1), Lookup(messages[i].payload, "BandNumber")) << i;
    EXPECT_EQ(6, std::count(levels.begin(), levels.end(), ',')) << levels;
    // Lines 500 ms apart, two to a logged second: the repeat offset restores
    // the spacing.
    EXPECT_EQ(static_cast<std::int64_t>(i - 1) * 500, messages[i].nTimeMs) << i;
  }
}

TEST(Generator, ChannelAndStatisticsLogsRead) {
  TempDir dir;
  HytemGenOptions options;
  options.nLines = 12;
  options.kind = HytemLogKind::kChannels;
  CTestableHytemReader channelReader;
  const std::vector<RecordedMessage> channels = LoadAndRecord(channelReader, Generate(dir, "ch.h1m", options));
  ASSERT_EQ(13u, channels.size());
  EXPECT_EQ("2412.000", Lookup(channels[0].payload, "frequency1"));
  EXPECT_NE("<absent>", Lookup(channels[5].payload, "Level4"));
  EXPECT_EQ(4 * 250, channels[5].nTimeMs);  // times with milliseconds, 250 ms apart

  options.kind = HytemLogKind::kStats;
  CTestableHytemReader statsReader;
  const std::vector<RecordedMessage> stats = LoadAndRecord(statsReader, Generate(dir, "st.h1s", options));
  ASSERT_EQ(13u, stats.size());
  EXPECT_NE("<absent>", Lookup(stats[3].payload, "ColorMed"));
  EXPECT_EQ(2 * 1000, stats[3].nTimeMs);
}

TEST(Generator, SameOptionsSameBytesAndCrlfReadsAlike) {
  TempDir dir;
  HytemGenOptions options;
  options.nLines = 30;
  options.nSeed = 7;
  const std::string first = ReadWholeFile(Generate(dir, "a.h2m", options));
  EXPECT_EQ(first, ReadWholeFile(Generate(dir, "b.h2m", options)));
  options.nSeed = 8;
  EXPECT_NE(first, ReadWholeFile(Generate(dir, "c.h2m", options)));

  options.nSeed = 7;
  options.bCrlf = true;
  const std::string crlfPath = Generate(dir, "d.h2m", options);
  EXPECT_EQ(ToCrlf(first), ReadWholeFile(crlfPath));
  CTestableHytemReader lfReader;
  CTestableHytemReader crlfReader;
  EXPECT_TRUE(LoadAndRecord(lfReader, dir.Path() + "/a.h2m") == LoadAndRecord(crlfReader, crlfPath));
}

TEST(Generator, SizeLimitStopsAtTheFirstLineEndPastIt) {
  TempDir dir;
  HytemGenOptions options;
  options.nSizeBytes = 100000;
  options.nBins = 50;
  const std::string text = ReadWholeFile(Generate(dir, "sized.h2m", options));
  ASSERT_GE(text.size(), 100000u);
  EXPECT_EQ('\n', text.back());
  const size_t lastLineStart = text.rfind('\n', text.size() - 2) + 1;
  EXPECT_LT(lastLineStart, 100000u);  // the last line is the one that crossed the limit
}

}  // namespace
