// The report's reductions, panels, signals and page.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "ReportCollector.h"
#include "ReportHtml.h"
#include "Sha256.h"
#include "SweepReducer.h"

namespace {
const float N = std::numeric_limits<float>::quiet_NaN();

// Cells compared with NaN equal to NaN.
void ExpectCells(const std::vector<float>& got, const std::vector<float>& want) {
  ASSERT_EQ(got.size(), want.size());
  for (size_t i = 0; i < got.size(); ++i) {
    if (std::isnan(want[i])) EXPECT_TRUE(std::isnan(got[i])) << "cell " << i;
    else EXPECT_EQ(got[i], want[i]) << "cell " << i;
  }
}

TEST(MaxLevel, NaNIsNoLevel) {
  EXPECT_EQ(MaxLevel(-80, -70), -70);
  EXPECT_EQ(MaxLevel(N, -70), -70);
  EXPECT_EQ(MaxLevel(-80, N), -80);
  EXPECT_TRUE(std::isnan(MaxLevel(N, N)));
}

TEST(SweepReducer, KeepsSweepsWhileThereIsRoom) {
  CSweepReducer r(2, 3);
  const float a[] = {-80, N}, b[] = {-70, -60};
  r.Add(10, a);
  r.Add(20, b);
  CSweepReducer::Result w = r.Finish();
  EXPECT_EQ(w.nRows, 2u);
  ExpectCells(w.cells, {-80, N, -70, -60});
  EXPECT_EQ(w.firstMs, (std::vector<std::int64_t>{10, 20}));
  EXPECT_EQ(w.sweeps, (std::vector<std::uint32_t>{1, 1}));
}

TEST(SweepReducer, MergesNeighbouringSweepsByTheirMaximum) {
  // Room for 2 rows: 4 are kept, the fifth sweep halves them, the end halves again.
  CSweepReducer r(2, 2);
  const std::vector<std::vector<float>> sweeps = {{1, N}, {2, 5}, {0, 6}, {N, N}, {7, 1}};
  for (size_t i = 0; i < sweeps.size(); ++i) r.Add(static_cast<std::int64_t>(i), sweeps[i].data());
  EXPECT_EQ(r.SweepsPerRow(), 2u);
  CSweepReducer::Result w = r.Finish();
  // Rows: max of sweeps 0-3 = (2, 6); sweep 4 alone = (7, 1).
  EXPECT_EQ(w.nRows, 2u);
  ExpectCells(w.cells, {2, 6, 7, 1});
  EXPECT_EQ(w.firstMs, (std::vector<std::int64_t>{0, 4}));
  EXPECT_EQ(w.lastMs, (std::vector<std::int64_t>{3, 4}));
  EXPECT_EQ(w.sweeps, (std::vector<std::uint32_t>{4, 1}));
}

TEST(SweepReducer, StaysWithinItsRowsForLongLogs) {
  CSweepReducer r(1, 100);
  for (int i = 0; i < 100000; ++i) {
    float v = static_cast<float>(i % 1000);
    r.Add(i, &v);
  }
  CSweepReducer::Result w = r.Finish();
  EXPECT_LE(w.nRows, 100u);
  EXPECT_GE(w.nRows, 50u);
  std::uint64_t total = 0;
  for (std::uint32_t n : w.sweeps) total += n;
  EXPECT_EQ(total, 100000u);
  EXPECT_EQ(w.cells.front(), 999.0f);  // the first row holds a full cycle of 0..999
}

TEST(SweepReducer, WidenLeavesEarlierCellsEmpty) {
  CSweepReducer r(1, 4);
  const float a[] = {-50}, b[] = {-51, -52, -53};
  r.Add(0, a);
  r.Widen(3);
  r.Add(1, b);
  ExpectCells(r.Finish().cells, {-50, N, N, -51, -52, -53});
}

TEST(TrackReducer, MergedPointsKeepTheFirstPositionAndTheStrongestLevels) {
  CTrackReducer t(2, 1000);
  const float levels[] = {-80, N, -70, -90, -60};
  for (int i = 0; i < 5; ++i) {
    // Band 0 in every message, band 1 in the odd ones; band 1's strongest first at 925.2 MHz.
    const TrackLevel bands[] = {{levels[i], 100.0 + i}, {-50.0f - (i % 2), 925.0 + 0.2 * i}};
    t.Add({i * 1000, 48.0 + i, 2.0 + i, levels[i], 100.0 + i}, bands, i % 2 ? 2 : 1);
  }
  ReducedTrack r = t.Finish();
  ASSERT_EQ(r.points.size(), 2u);
  ASSERT_EQ(r.nBands, 2u);
  EXPECT_EQ(r.points[0].nTimeMs, 0);
  EXPECT_EQ(r.points[0].dLatitude, 48.0);
  EXPECT_EQ(r.points[0].fLevel, -70);  // strongest of points 0 to 3, where it was
  EXPECT_EQ(r.points[0].dFrequencyMHz, 102.0);
  EXPECT_EQ(r.Level(0, 0).fLevel, -70);
  EXPECT_EQ(r.Level(0, 1).fLevel, -51);
  EXPECT_EQ(r.Level(0, 1).dFrequencyMHz, 925.2);
  EXPECT_EQ(r.points[1].nTimeMs, 4000);
  EXPECT_EQ(r.points[1].dLongitude, 6.0);
  EXPECT_EQ(r.points[1].fLevel, -60);
  EXPECT_TRUE(std::isnan(r.Level(1, 1).fLevel));  // the last message had no band 1
}

TEST(TrackReducer, ManyBandsGetFewerPointsAndImpossiblePositionsAreCounted) {
  const std::vector<TrackLevel> bands(40, TrackLevel{-60, 100});
  CTrackReducer t(1000, 3300);
  for (int i = 0; i < 1000; ++i) t.Add({i, 48, 2, -60}, bands.data(), bands.size());
  t.Add({1000, 4830, 2, -60});
  t.Add({1001, 48, -181, -60});
  t.Add({1002, NAN, 2, -60});
  ReducedTrack r = t.Finish();
  EXPECT_EQ(r.nBands, CTrackReducer::kMaxBands);  // the bands beyond are not followed
  EXPECT_LE(r.points.size() * (1 + r.nBands), 3300u);
  EXPECT_GE(r.points.size() * 2 * (1 + r.nBands), 3300u);
  EXPECT_EQ(r.nOffEarth, 3u);
}

// A band of a plan (number > 0) or a channel set (0): frequencies in Hz.
vyr::Band MakeBand(int number, int first, const std::vector<std::int64_t>& hz) {
  vyr::Band b;
  b.number = number;
  b.firstElement = first;
  b.hz = hz;
  return b;
}

vyr::Message At(std::int64_t timeMs) {
  vyr::Message m;
  m.timeMs = timeMs;
  m.role = vyr::Role::Measurement;
  return m;
}

void AddSweep(CReportPanel& panel, const vyr::Band& band, std::int64_t timeMs, const std::vector<double>& dbm) {
  panel.AddSweep(At(timeMs), vyr::Sweep{band, dbm.data(), nullptr, nullptr, nullptr}, 0);
}

// Band 1 of four bins at plan elements 5 to 8, two columns, threshold -75 dBm.
class BandPanelTest : public ::testing::Test {
 protected:
  vyr::Band band = MakeBand(1, 5, {200000000, 200025000, 200050000, 200075000});
  CReportPanel panel{band, -75.0, 2, 10};

  void SetUp() override {
    AddSweep(panel, band, 100, {-80, -70, -90, -60});
    AddSweep(panel, band, 200, {-74, -71, NAN, -95});
  }
};

TEST_F(BandPanelTest, ColumnsTakeTheStrongestBin) {
  EXPECT_EQ(panel.Cols(), 2u);
  EXPECT_EQ(panel.ColumnStart(0), 0u);
  EXPECT_EQ(panel.ColumnStart(1), 2u);
  EXPECT_EQ(panel.ColumnStart(2), 4u);
  CSweepReducer::Result w = panel.Waterfall();
  ExpectCells(w.cells, {-70, -60, -71, -95});
  EXPECT_EQ(panel.Sweeps(), 2u);
  EXPECT_EQ(panel.FrequenciesMHz()[1], 200.025);
}

TEST_F(BandPanelTest, BinStatistics) {
  const auto& s = panel.Statistics();
  EXPECT_EQ(s[0].SumDbm(), -154);
  EXPECT_EQ(s[0].Count(), 2u);
  EXPECT_EQ(s[0].MaxDbm(), -74);
  EXPECT_EQ(s[0].MinDbm(), -80);
  EXPECT_EQ(s[0].Above(), 1u);  // -74 reached -75, -80 did not
  EXPECT_EQ(s[0].FirstAboveMs(), 200);
  EXPECT_EQ(s[2].Count(), 1u);  // absent from the second sweep
  EXPECT_EQ(s[2].Above(), 0u);
  EXPECT_EQ(s[3].MinDbm(), -95);
}

TEST_F(BandPanelTest, NeighbouringBinsAboveTheThresholdAreOneSignal) {
  std::vector<Signal> signals;
  panel.AppendSignals(signals, 0);
  ASSERT_EQ(signals.size(), 2u);
  // Bins 0 and 1 (elements 5, 6): the strongest is element 6.
  EXPECT_EQ(signals[0].nBin, 6);
  EXPECT_EQ(signals[0].nBins, 2);
  EXPECT_EQ(signals[0].dFrequencyMHz, 200.025);
  EXPECT_EQ(signals[0].fMaxLevel, -70);
  EXPECT_EQ(signals[0].nAbove, 2u);
  EXPECT_EQ(signals[0].nSweeps, 2u);
  EXPECT_EQ(signals[0].dOccupancy, 1.0);
  EXPECT_EQ(signals[0].nFirstAboveMs, 100);
  EXPECT_EQ(signals[0].nLastAboveMs, 200);
  // Bin 3 (element 8) alone, above only in the first sweep.
  EXPECT_EQ(signals[1].nBin, 8);
  EXPECT_EQ(signals[1].nBins, 1);
  EXPECT_EQ(signals[1].nAbove, 1u);
  EXPECT_EQ(signals[1].dOccupancy, 0.5);
  EXPECT_EQ(signals[1].nLastAboveMs, 100);
}

TEST(ChannelPanel, GrowsWithItsChannelsAndKeepsThemApart) {
  const vyr::Band first = MakeBand(0, 0, {2412000000, vyr::kNoFrequency});
  CReportPanel panel(first, -80.0, 1000, 10);
  AddSweep(panel, first, 0, {-61.5, -78});
  // The set grew by a third channel, named by a later set-up.
  const vyr::Band grown = MakeBand(0, 0, {vyr::kNoFrequency, vyr::kNoFrequency, 2462000000});
  AddSweep(panel, grown, 500, {NAN, NAN, -55});
  EXPECT_EQ(panel.Bins(), 3u);
  EXPECT_EQ(panel.FrequenciesMHz()[0], 2412);
  EXPECT_TRUE(std::isnan(panel.FrequenciesMHz()[1]));
  EXPECT_EQ(panel.FrequenciesMHz()[2], 2462);
  ExpectCells(panel.Waterfall().cells, {-61.5f, -78, N, N, N, -55});
  std::vector<Signal> signals;
  panel.AppendSignals(signals, 0);
  ASSERT_EQ(signals.size(), 3u);  // neighbouring channels are separate signals
  EXPECT_EQ(signals[0].nChannel, 1);
  EXPECT_EQ(signals[2].nChannel, 3);
  EXPECT_EQ(signals[2].nAbove, 1u);
  EXPECT_EQ(signals[2].nSweeps, 2u);
}

TEST(ReportCollector, GroupsSweepsByBandAndRanksSignals) {
  vyr::Section plan;
  plan.bands = {MakeBand(1, 0, {100000000, 100025000}), MakeBand(2, 2, {200000000})};
  plan.kind = vyr::Section::Kind::Plan;
  ReportSettings settings;
  settings.dSignalThresholdDbm = -65;
  settings.nMaxSignals = 1;
  CReportCollector collector(settings);
  vyr::Message m = At(500);
  m.section = &plan;
  m.position = {true, true, 48.5, 2.25, 100};
  std::vector<vyr::Level> levels(4);
  const int elements[] = {0, 1, 2, 7};
  const int bands[] = {1, 1, 2, 0};
  const double dbm[] = {-70, -60, -50, -40};
  for (size_t i = 0; i < 4; ++i) levels[i] = {elements[i], bands[i], vyr::kNoFrequency, dbm[i]};
  collector.OnLevels(m, levels.data(), levels.size());
  const std::vector<double> band1 = {-70, -60}, band2 = {-50};
  collector.OnSweep(m, {plan.bands[0], band1.data(), nullptr, nullptr, nullptr});
  collector.OnSweep(m, {plan.bands[1], band2.data(), nullptr, nullptr, nullptr});
  collector.OnMessage(m);
  ReportData d = collector.Finish();
  ASSERT_EQ(d.panels.size(), 2u);
  EXPECT_EQ(d.panels[0]->Band(), 1);
  EXPECT_EQ(d.panels[0]->Bins(), 2u);
  EXPECT_EQ(d.panels[1]->FirstBin(), 2);
  EXPECT_EQ(d.nLevelsOutsidePlan, 1u);
  ASSERT_EQ(d.signals.size(), 1u);  // the strongest of the two
  EXPECT_EQ(d.signals[0].nBand, 2);
  EXPECT_EQ(d.signals[0].fMaxLevel, -50);
  ASSERT_EQ(d.track.points.size(), 1u);
  EXPECT_EQ(d.track.points[0].fLevel, -40);  // the strongest level the message left, in the plan or not
  // Per panel, its strongest level and where.
  ASSERT_EQ(d.track.nBands, 2u);
  EXPECT_EQ(d.track.Level(0, 0).fLevel, -60);
  EXPECT_EQ(d.track.Level(0, 0).dFrequencyMHz, 100.025);
  EXPECT_EQ(d.track.Level(0, 1).fLevel, -50);
}

TEST(ReportCollector, APlanThatMovesABandGivesItAPanelOfItsOwn) {
  ReportSettings settings;
  CReportCollector collector(settings);
  const vyr::Band first = MakeBand(1, 0, {100000000, 100025000});
  const vyr::Band again = first;
  const vyr::Band moved = MakeBand(1, 0, {400000000, 400025000});
  const std::vector<double> dbm = {-70, -60};
  vyr::Section plan;
  plan.kind = vyr::Section::Kind::Plan;
  vyr::Message m = At(500);
  m.section = &plan;
  for (const vyr::Band* band : {&first, &again, &moved}) {
    plan.bands = {*band};
    collector.OnSweep(m, {plan.bands[0], dbm.data(), nullptr, nullptr, nullptr});
  }
  ReportData d = collector.Finish();
  ASSERT_EQ(d.panels.size(), 2u);
  EXPECT_EQ(d.panels[0]->Sweeps(), 2u);
  EXPECT_EQ(d.panels[1]->FrequenciesMHz()[0], 400);
}

TEST(ReportCollector, ManyBandsShareTheWaterfallCells) {
  // A plan of 10 bands of 100 bins at 1 MHz steps; room for 4 bands of 100 columns by 50 rows.
  vyr::Section plan;
  for (int band = 1; band <= 10; ++band) {
    std::vector<std::int64_t> hz;
    for (int e = 100 * (band - 1); e < 100 * band; ++e) hz.push_back(100000000 + 1000000LL * e);
    plan.bands.push_back(MakeBand(band, 100 * (band - 1), hz));
  }
  ReportSettings settings;
  settings.nMaxColumns = 100;
  settings.nMaxRows = 50;
  settings.nMaxWaterfallCells = 4 * 100 * 50;
  CReportCollector collector(settings);
  for (int sweep = 0; sweep < 200; ++sweep) {
    vyr::Message m = At(sweep * 1000);
    m.section = &plan;
    const std::vector<double> levels(100, -70 - sweep % 7);
    for (const vyr::Band& band : plan.bands) collector.OnSweep(m, {band, levels.data(), nullptr, nullptr, nullptr});
    collector.OnMessage(m);
  }
  ReportData d = collector.Finish();
  ASSERT_EQ(d.panels.size(), 10u);
  size_t cells = 0;
  for (const auto& p : d.panels) {
    CSweepReducer::Result w = p->Waterfall();
    cells += w.nRows * w.nCols;
    EXPECT_GE(w.nRows, 12u);  // a few rows each, not one
    EXPECT_EQ(p->Sweeps(), 200u);
  }
  EXPECT_LE(cells, settings.nMaxWaterfallCells);
}

TEST(ReportEncoding, LevelsAsTenthsOfADecibel) {
  EXPECT_EQ(LevelToTenths(-74.5f), -745);
  EXPECT_EQ(LevelToTenths(-0.04f), 0);
  EXPECT_EQ(LevelToTenths(N), -32768);
  EXPECT_EQ(LevelToTenths(5000), 32767);
  EXPECT_EQ(LevelToTenths(-5000), -32767);  // never mistaken for "no level"
}

TEST(ReportEncoding, Base64OfTheStandardVectors) {
  struct Case {
    const char* in;
    const char* out;
  } cases[] = {{"", ""}, {"f", "Zg=="}, {"fo", "Zm8="}, {"foo", "Zm9v"}, {"foob", "Zm9vYg=="}, {"fooba", "Zm9vYmE="},
               {"foobar", "Zm9vYmFy"}};
  for (const Case& c : cases) {
    std::string out;
    AppendBase64(out, reinterpret_cast<const unsigned char*>(c.in), std::char_traits<char>::length(c.in));
    EXPECT_EQ(out, c.out);
  }
  const unsigned char high[] = {0xFF, 0xFE, 0x80};
  std::string out;
  AppendBase64(out, high, 3);
  EXPECT_EQ(out, "//6A");
}

TEST(ReportEncoding, Sha256OfTheStandardVectors) {
  struct Case {
    std::string in;
    const char* base64;
  } cases[] = {{"", "47DEQpj8HBSa+/TImW+5JCeuQeRkm5NMpJWZG3hSuFU="},
               {"abc", "ungWv48Bz+pBQUDeXa4iI7ADYaOWF3qctBD/YfIAFa0="},
               {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq", "JI1qYdIGOLjlwCaTDD5gOaM85Flk/yFn9uzt1BnbBsE="},
               {std::string(1000000, 'a'), "zcduXJkU+5KBocfihNc+Z/GAmkiklyAOBG05zMcRLNA="}};
  for (const Case& c : cases) {
    std::array<std::uint8_t, 32> h = Sha256(c.in);
    std::string out;
    AppendBase64(out, h.data(), h.size());
    EXPECT_EQ(out, c.base64) << c.in.size() << " bytes";
  }
}

TEST(ReportPage, ThePolicyAllowsExactlyThePagesOwnScriptsAndTheTileHost) {
  ReportSettings settings;
  CReportCollector collector(settings);
  collector.OnFile(vyr::FileInfo());
  ReportData d = collector.Finish();
  for (const char* tiles : {"", "http://127.0.0.1:8123/{z}/{x}/{y}.png"}) {
    SCOPED_TRACE(tiles);
    PageOptions options;
    options.strTileUrl = tiles;
    std::string html;
    AppendReportHtml(html, d, options);
    const std::string meta = "Content-Security-Policy\" content=\"";
    size_t at = html.find(meta);
    ASSERT_NE(at, std::string::npos);
    at += meta.size();
    std::string policy = html.substr(at, html.find('"', at) - at);
    std::string scripts;
    for (size_t open = html.find("<script>"); open != std::string::npos; open = html.find("<script>", open + 1)) {
      size_t begin = open + 8, end = html.find("</script>", begin);
      std::array<std::uint8_t, 32> h = Sha256(std::string_view(html).substr(begin, end - begin));
      scripts += scripts.empty() ? "'sha256-" : " 'sha256-";
      AppendBase64(scripts, h.data(), h.size());
      scripts += "'";
    }
    EXPECT_NE(policy.find("script-src " + scripts + ";"), std::string::npos) << policy;
    EXPECT_EQ(policy.find("'unsafe-inline'"), policy.find("style-src 'unsafe-inline';") + 10) << policy;  // styles only
    EXPECT_NE(policy.find(*tiles ? "img-src data: blob: http://127.0.0.1:8123;" : "img-src data: blob:;"), std::string::npos)
        << policy;
    EXPECT_NE(html.find(*tiles ? "{\"tiles\":\"http://127.0.0.1:8123/{z}/{x}/{y}.png\"}" : "{\"tiles\":null}"),
              std::string::npos);
  }
}

TEST(ReportPage, TileUrlsThePageCanUse) {
  struct Case {
    const char* url;
    const char* origin;  // nullptr: refused
  } cases[] = {{"https://tile.openstreetmap.org/{z}/{x}/{y}.png", "https://tile.openstreetmap.org"},
               {"HTTP://Tiles.Example:8080/a/{z}/{y}/{x}?key=1&s=2", "http://tiles.example:8080"},
               {"http://[::1]:9000/{z}/{x}/{y}", "http://[::1]:9000"},
               {"ftp://tiles.example/{z}/{x}/{y}", nullptr},
               {"https://tiles.example", nullptr},
               {"https://tiles.example/{z}/{x}.png", nullptr},
               {"https://user@tiles.example/{z}/{x}/{y}", nullptr},
               {"https://tiles.example;script-src *;/{z}/{x}/{y}", nullptr},
               {"https://tiles.example/{z}/{x}/{y}\" onerror=\"x", nullptr},
               {"https://tiles.example/{z}/{x}/{y} x", nullptr},
               {"//tiles.example/{z}/{x}/{y}", nullptr}};
  for (const Case& c : cases) {
    std::string origin, reason;
    bool ok = TileUrlOrigin(c.url, origin, reason);
    EXPECT_EQ(ok, c.origin != nullptr) << c.url << ": " << reason;
    EXPECT_EQ(ok ? origin : reason.empty() ? "no reason" : "", c.origin ? c.origin : "") << c.url;
  }
}

TEST(ReportEncoding, HtmlEscaping) {
  std::string out;
  AppendHtmlEscaped(out, "<a href=\"x\">&'");
  EXPECT_EQ(out, "&lt;a href=&quot;x&quot;&gt;&amp;&#39;");
}

TEST(ReportPage, SelfContainedAndEscaped) {
  ReportSettings settings;
  CReportCollector collector(settings);
  vyr::FileInfo info;
  info.path = "</script><b>.h2m";
  info.type = "HYTEM";
  collector.OnFile(info);
  std::string html;
  AppendReportHtml(html, collector.Finish());
  EXPECT_NE(html.find("<title>&lt;/script&gt;&lt;b&gt;.h2m</title>"), std::string::npos);
  EXPECT_EQ(html.find("{{"), std::string::npos) << "a placeholder was left";
  // The file name inside the page's JSON cannot close its script element.
  EXPECT_NE(html.find("\\u003c/script>\\u003cb>.h2m"), std::string::npos);
  EXPECT_EQ(html.find("</script><b>"), std::string::npos);
  // The charting library is inside; nothing is loaded from elsewhere.
  EXPECT_NE(html.find("echarts"), std::string::npos);
  EXPECT_EQ(html.find("<script src"), std::string::npos);
  EXPECT_EQ(html.find("<link"), std::string::npos);
  EXPECT_NE(html.find("default-src 'none'"), std::string::npos);
}
}  // namespace
