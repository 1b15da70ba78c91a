// The spectrum per frequency: plans combined by frequency, logs merged as
// one, the serialised form (round trip, and bytes that are not one), band
// rows and noise-floor thresholds.
#include <gtest/gtest.h>

#include <cmath>
#include <stdexcept>
#include <string>
#include <vector>

#include "vyr/Spectrum.h"

namespace {
vyr::Band MakeBand(int number, std::vector<std::int64_t> hz) {
  vyr::Band b;
  b.number = number;
  b.hz = std::move(hz);
  return b;
}

// A log as sweeps of its bands: per sweep the band and its levels.
struct Sweep {
  size_t band;
  std::vector<double> dbm;
};
struct FakeLog {
  std::vector<vyr::Band> bands;
  std::vector<Sweep> sweeps;
};

void Feed(vyr::SpectrumAccumulator& acc, const FakeLog& log) {
  vyr::Section s;
  s.bands = log.bands;
  acc.OnSection(s);
  vyr::Message m;
  m.role = vyr::Role::Measurement;
  m.startMs = 1000;
  for (const Sweep& sw : log.sweeps) {
    m.timeMs += 500;
    m.index++;
    m.position.hasLatitude = m.index % 2 == 0;
    m.position.latitude = static_cast<double>(m.index);
    acc.OnSweep(m, vyr::Sweep{s.bands[sw.band], sw.dbm.data(), nullptr, nullptr, nullptr});
  }
}

vyr::Spectrum Of(const std::vector<FakeLog>& logs, const vyr::Thresholds& t = vyr::Thresholds(-70)) {
  vyr::SpectrumAccumulator acc("one", t);
  for (const FakeLog& log : logs) Feed(acc, log);
  return acc.Finish();
}

const double nan = NAN;
// Two logs of overlapping plans, a bin without frequency and a channel set.
const FakeLog kA{{MakeBand(1, {100, 200, 300}), MakeBand(2, {500, vyr::kNoFrequency})},
                 {{0, {-80, -60, -75}}, {1, {-90, -50}}, {0, {-65, nan, -72.5}}, {0, {-81.1, -59.9, -70}}}};
const FakeLog kB{{MakeBand(1, {200, 300, 400}), MakeBand(0, {500})},
                 {{0, {-60, -99, -40}}, {1, {-61}}, {0, {nan, nan, nan}}, {0, {-70, -70, -70}}}};

std::string Describe(const vyr::FrequencyRow& r) {
  char buf[256];
  std::snprintf(buf, sizeof buf, "%lld b%d n%llu occ%.4f p%.2f/%.2f/%.2f mean%.4f max%.1f at%lld lat%.0f msg%llu",
                static_cast<long long>(r.hz), r.band, static_cast<unsigned long long>(r.sweeps), r.occupancy, r.p10,
                r.median, r.p90, r.mean, r.max, static_cast<long long>(r.maxTimeMs), r.maxLat,
                static_cast<unsigned long long>(r.maxMessage));
  return buf;
}

TEST(Spectrum, PlansMeetByFrequencyAndMergedLogsEqualOne) {
  vyr::SpectrumAccumulator a("a.h2m", vyr::Thresholds(-70)), b("b.h2m", vyr::Thresholds(-70));
  Feed(a, kA);
  Feed(b, kB);
  vyr::Spectrum merged = a.Finish();
  merged.Merge(b.Finish());
  const vyr::Spectrum one = Of({kA, kB});
  const auto rows = vyr::FrequencyRows(merged), oneRows = vyr::FrequencyRows(one);
  std::vector<std::int64_t> hz;
  for (const auto& r : rows) hz.push_back(r.hz);
  EXPECT_EQ(hz, (std::vector<std::int64_t>{100, 200, 300, 400, 500}));
  ASSERT_EQ(rows.size(), oneRows.size());
  for (size_t i = 0; i < rows.size(); ++i) EXPECT_EQ(Describe(rows[i]), Describe(oneRows[i]));
  // 200 Hz: -60, -59.9 from a, -60, -70 from b; the maximum is a's.
  EXPECT_EQ(Describe(rows[1]), "200 b1 n4 occ1.0000 p-67.00/-60.00/-59.93 mean-62.4750 max-59.9 at3000 lat4 msg4");
  EXPECT_EQ(merged.Files(), (std::vector<std::string>{"a.h2m", "b.h2m"}));
  EXPECT_EQ(rows[3].maxFile, 1u);  // 400 Hz only in b
  EXPECT_EQ(rows[4].band, 2);      // a's band 2 first, then b's channel at 500 Hz
  EXPECT_EQ(merged.LevelsWithoutFrequency(), 1u);
  EXPECT_EQ(merged.Sweeps(), (std::map<int, std::uint64_t>{{0, 1}, {1, 5}, {2, 1}}));
}

TEST(Spectrum, SerialisedFormRoundTripsAndRefusesOtherBytes) {
  vyr::Spectrum s = Of({kA, kB});
  s.AddPlanBands({2, 1});
  const std::string bytes = s.Serialize();
  const vyr::Spectrum back = vyr::Spectrum::Deserialize(bytes);
  EXPECT_EQ(back.Serialize(), bytes);
  EXPECT_EQ(back.PlanBands(), (std::vector<int>{1, 2}));
  for (size_t n = 0; n < bytes.size(); ++n)
    EXPECT_THROW(vyr::Spectrum::Deserialize(bytes.substr(0, n)), std::invalid_argument) << n;
  EXPECT_THROW(vyr::Spectrum::Deserialize(bytes + "x"), std::invalid_argument);
  // Any byte changed: refused, or read as some other spectrum, never outside the bytes.
  for (size_t i = 0; i < bytes.size(); ++i) {
    std::string bad = bytes;
    bad[i] = static_cast<char>(bad[i] ^ 0x5a);
    try {
      vyr::Spectrum::Deserialize(bad);
    } catch (const std::invalid_argument&) {
    }
  }
  vyr::Thresholds t(-80);
  t.Set(500, -90.5);
  const vyr::Thresholds tb = vyr::Thresholds::Deserialize(t.Serialize());
  EXPECT_EQ(tb.At(500), -90.5);
  EXPECT_EQ(tb.At(7), -80);
  EXPECT_THROW(vyr::Thresholds::Deserialize(t.Serialize().substr(1)), std::invalid_argument);
}

TEST(Spectrum, BandRowsAndNoiseThresholds) {
  vyr::Spectrum s = Of({kA, kB});
  const auto bands = vyr::BandRows(s, 0.5);
  ASSERT_EQ(bands.size(), 2u);
  // Band 1: the p10s of 100 (-81.1, -80, -65), 200, 300 (-99, -75, -72.5, -70, -70) and 400 (-70, -40)
  // are -80.88, -67, -89.4 and -67: their median -73.94.
  EXPECT_EQ(bands[0].band, 1);
  EXPECT_EQ(bands[0].frequencies, 4u);
  EXPECT_NEAR(bands[0].noiseFloor, -73.94, 1e-9);
  EXPECT_EQ(bands[0].occupied, 2u);  // 200 (4 of 4 at or above -70), 400 (2 of 2); 300 has 2 of 5, 100 1 of 3
  EXPECT_DOUBLE_EQ(bands[0].occupancy, 0.5);
  EXPECT_EQ(bands[0].strongest.hz, 400);
  EXPECT_EQ(bands[0].sweeps, 5u);
  EXPECT_EQ(bands[1].band, 2);
  EXPECT_EQ(bands[1].strongest.hz, 500);
  const vyr::Thresholds t = vyr::NoiseThresholds(s, 10);
  EXPECT_NEAR(t.At(300), -63.94, 1e-9);
  EXPECT_TRUE(std::isnan(t.At(12345)));
  // Counted again against them: 200 Hz has -60, -59.9 and -60 at or above -63.94.
  const auto rows = vyr::FrequencyRows(Of({kA, kB}, t));
  EXPECT_DOUBLE_EQ(rows[1].occupancy, 0.75);
  EXPECT_DOUBLE_EQ(rows[2].occupancy, 0);
  EXPECT_THROW(s.Merge(Of({kB}, t)), std::invalid_argument);
  auto top = vyr::FrequencyRows(s);
  vyr::KeepStrongest(top, 2);
  ASSERT_EQ(top.size(), 2u);
  EXPECT_EQ(top[0].hz, 400);
  EXPECT_EQ(top[1].hz, 200);  // -59.9, before 500's -61
}

}  // namespace
