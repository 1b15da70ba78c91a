// The campaign: which logs' bands combine, and what the combination holds.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "CampaignCollector.h"
#include "CampaignHtml.h"
#include "ReportHtml.h"

namespace {
const double N = std::numeric_limits<double>::quiet_NaN();
constexpr double kThreshold = -72;

// A panel of a log: band 0 is the channels, named by their frequencies. Each
// sweep gives one level per bin (NaN: none), one second apart.
struct PanelShape {
  int nBand;
  std::vector<double> freqs;
  std::vector<std::vector<double>> sweeps;
};
using LogPanels = std::vector<PanelShape>;

CampaignLog MakeLog(const LogPanels& panels, std::uint32_t nLog = 0) {
  ReportData d;
  for (const PanelShape& p : panels) {
    vyr::Band band;
    band.number = p.nBand;
    for (double mhz : p.freqs) band.hz.push_back(std::llround(mhz * 1e6));
    auto panel = std::make_unique<CReportPanel>(band, kThreshold, 1000, 100);
    for (size_t s = 0; s < p.sweeps.size(); ++s) {
      vyr::Message m;
      m.timeMs = static_cast<std::int64_t>(s) * 1000;
      panel->AddSweep(m, vyr::Sweep{band, p.sweeps[s].data(), nullptr, nullptr, nullptr}, 0);
    }
    d.panels.push_back(std::move(panel));
  }
  return MakeCampaignLog("log", nLog, d);
}

struct BandWant {
  bool bChannels;
  std::vector<double> freqs;
  std::vector<float> max;
  std::vector<float> min;
  std::vector<std::uint32_t> logsAbove;
  std::uint32_t nLogs;
  std::uint64_t nSweeps;
};

struct Case {
  const char* name;
  std::vector<LogPanels> logs;
  std::vector<BandWant> want;
};

const std::vector<double> kPlan = {100, 100.5, 101};

TEST(Campaign, CombinesBandsOfTheSamePlanAndChannelsByFrequency) {
  const Case cases[] = {
      {"the same plan combines, whatever its band number",
       {{{1, kPlan, {{-70, -90, -60}}}}, {{2, kPlan, {{-65, -95, N}, {-80, -85, -75}}}}},
       {{false, kPlan, {-65, -85, -60}, {-80, -95, -75}, {2, 0, 1}, 2, 3}}},
      {"another stop or another step is another plan",
       {{{1, kPlan, {{-70, -90, -60}}}},
        {{1, {100, 100.5}, {{-50, -50}}}},
        {{1, {100, 100.25, 100.5, 100.75, 101}, {{-50, -50, -50, -50, -50}}}}},
       {{false, kPlan, {-70, -90, -60}, {-70, -90, -60}, {1, 0, 1}, 1, 1},
        {false, {100, 100.5}, {-50, -50}, {-50, -50}, {1, 1}, 1, 1},
        {false, {100, 100.25, 100.5, 100.75, 101}, {-50, -50, -50, -50, -50}, {-50, -50, -50, -50, -50}, {1, 1, 1, 1, 1}, 1, 1}}},
      {"channels meet by frequency, in rising order",
       {{{0, {2437, 2412}, {{-60, -80}, {-75, N}}}}, {{0, {2422, 2437}, {{-90, -55}}}}},
       {{true, {2412, 2422, 2437}, {-80, -90, -55}, {-80, -90, -75}, {0, 0, 2}, 2, 3}}},
      {"a band and channels stay apart",
       {{{1, {2412, 2437}, {{-60, -60}}}}, {{0, {2412}, {{-61}}}}},
       {{false, {2412, 2437}, {-60, -60}, {-60, -60}, {1, 1}, 1, 1}, {true, {2412}, {-61}, {-61}, {1}, 1, 1}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    CCampaign campaign(CampaignSettingsFor(c.logs.size(), kThreshold));
    for (const LogPanels& log : c.logs) campaign.Add(MakeLog(log));
    CampaignData d = campaign.Finish();
    ASSERT_EQ(d.bands.size(), c.want.size());
    for (size_t k = 0; k < c.want.size(); ++k) {
      const CampaignBand& got = d.bands[k];
      const BandWant& want = c.want[k];
      EXPECT_EQ(got.bChannels, want.bChannels) << "band " << k;
      EXPECT_EQ(got.nLogs, want.nLogs) << "band " << k;
      EXPECT_EQ(got.nSweeps, want.nSweeps) << "band " << k;
      ASSERT_EQ(got.bins.size(), want.freqs.size()) << "band " << k;
      for (size_t b = 0; b < want.freqs.size(); ++b) {
        EXPECT_EQ(got.bins[b].dFrequencyMHz, want.freqs[b]) << "band " << k << " bin " << b;
        EXPECT_EQ(got.bins[b].stats.MaxDbm(), want.max[b]) << "band " << k << " bin " << b;
        EXPECT_EQ(got.bins[b].stats.MinDbm(), want.min[b]) << "band " << k << " bin " << b;
        EXPECT_EQ(got.bins[b].nLogsAbove, want.logsAbove[b]) << "band " << k << " bin " << b;
      }
    }
  }
}

TEST(Campaign, SignalsNameTheLogAndTimeOfTheirMaximum) {
  CCampaign campaign(CampaignSettingsFor(3, kThreshold));
  campaign.Add(MakeLog({{1, kPlan, {{-70, -90, -80}}}}));
  CampaignLog refused;
  refused.strPath = "bad";
  refused.strRefusal = "refused";
  campaign.Add(std::move(refused));
  campaign.Add(MakeLog({{1, kPlan, {{-80, -90, -80}, {-71, -75, -64}, {-90, -90, -64}}}}, 2));
  CampaignData d = campaign.Finish();
  ASSERT_EQ(d.logs.size(), 3u);
  EXPECT_EQ(d.logs[1].strRefusal, "refused");
  // Maxima -70, -75, -64: bin 2 is the one peak (bin 0 stands 5 dB above
  // the dip towards it), strongest at 1 s in the third log.
  ASSERT_EQ(d.topBins.size(), 1u);
  EXPECT_EQ(d.topBins[0].nBand, 0u);
  EXPECT_EQ(d.topBins[0].row.hz, std::llround(d.bands[0].bins[2].dFrequencyMHz * 1e6));
  EXPECT_EQ(d.topBins[0].row.maxFile, 2u);
  EXPECT_EQ(d.topBins[0].row.maxTimeMs, d.logs[2].nStartMs + 1000);
  EXPECT_EQ(d.topBins[0].nLogsAbove, 1u);
  EXPECT_EQ(d.bands[0].bins[2].stats.Above(), 2u);
  // Bin 0 above in both logs and strongest in the first.
  const CampaignBin& first = d.bands[0].bins[0];
  EXPECT_EQ(first.stats.AtMax().file, 0u);
  EXPECT_EQ(first.nLogsAbove, 2u);
  EXPECT_DOUBLE_EQ(first.stats.SumDbm(), -70 - 80 - 71 - 90);
}

TEST(Campaign, TrackBandsNameTheCampaignBandOfTheirPanel) {
  CCampaign campaign(CampaignSettingsFor(2, kThreshold));
  campaign.Add(MakeLog({{1, kPlan, {{-70, -90, -60}}}}));
  campaign.Add(MakeLog({{1, {300, 301}, {{-50, -50}}}, {2, kPlan, {{-60, -60, -60}}}, {3, {N, N}, {{-50, -50}}}}));
  CampaignData d = campaign.Finish();
  EXPECT_EQ(d.logs[0].trackCampaignBands, (std::vector<long long>{0}));
  EXPECT_EQ(d.logs[1].trackCampaignBands, (std::vector<long long>{1, 0, -1}));  // a band of no frequency is not combined
}

TEST(CampaignPage, ASectionOfManyBandsShowsItsShareOfThem) {
  CampaignSettings settings = CampaignSettingsFor(400, kThreshold);
  ReportData d;
  d.settings = settings.log;
  vyr::HeaderSummary header;
  for (int b = 1; b <= 600; ++b) {
    vyr::Band band;
    band.number = b;
    band.firstElement = 2 * b;
    band.hz = {100000000 + 1000000LL * b, 100500000 + 1000000LL * b};
    d.panels.push_back(std::make_unique<CReportPanel>(band, kThreshold, 400, 48));
    header.bands.push_back({b, 2 * b, 2, 100.0 + b, 100.5 + b, 500});
    header.fields.push_back({"startFrequencies" + std::to_string(b), "1"});
  }
  d.summary.headers.push_back(header);
  std::string json;
  AppendReportJson(json, d);
  size_t shown = settings.log.nMaxPanelsShown;
  EXPECT_GE(shown, 1u);
  EXPECT_LT(shown, 20u);
  auto count = [&](const std::string& what) {
    size_t n = 0;
    for (size_t at = json.find(what); at != std::string::npos; at = json.find(what, at + 1)) ++n;
    return n;
  };
  EXPECT_EQ(count("\"col_start\""), shown);  // the panels
  EXPECT_EQ(count("\"step_khz\""), shown);  // the summary's bands
  EXPECT_NE(json.find("\"panels_total\":600"), std::string::npos);
  EXPECT_NE(json.find("\"summary_bands\":[600]"), std::string::npos);
}

TEST(CampaignPage, SelfContainedAndEscaped) {
  CCampaign campaign(CampaignSettingsFor(2, kThreshold));
  CampaignLog log = MakeLog({{1, kPlan, {{-70, -90, -60}}}});
  log.strPath = "</script><b>.h2m";
  campaign.Add(std::move(log));
  CampaignLog refused;
  refused.strPath = "b.h2m";
  refused.strRefusal = "vyrhost: b.h2m: refused with code 1004";
  campaign.Add(std::move(refused));
  std::string html;
  AppendCampaignHtml(html, campaign.Finish());
  EXPECT_EQ(html.find("{{"), std::string::npos) << "a placeholder was left";
  EXPECT_EQ(html.find("</script><b>"), std::string::npos);
  EXPECT_NE(html.find("\\u003c/script>\\u003cb>.h2m"), std::string::npos);
  // The decoded log has its section's data; the refused one only its row.
  EXPECT_NE(html.find("id=\"log-data-0\""), std::string::npos);
  EXPECT_EQ(html.find("id=\"log-data-1\""), std::string::npos);
  EXPECT_NE(html.find("refused with code 1004"), std::string::npos);
  EXPECT_EQ(html.find("<script src"), std::string::npos);
}
}  // namespace
