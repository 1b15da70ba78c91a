// What the library makes of decoded messages: the sections that headers set
// up, the levels each measurement message leaves with the band and frequency
// of the section in force, and the sweeps band by band. The writes are made
// into a data state by hand, as a decode device would make them.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <string>
#include <vector>

#include "DecodeModel.h"
#include "VyrSchema.h"

namespace {
using vyr::detail::CDecodeModel;
using vyr::detail::Vocabulary;

constexpr int kFreq = 102, kBandStart = 104, kLevel = 105, kMin = 106, kMax = 107, kStdDev = 108;
constexpr int kPlanScope = 0, kMsgScope = 2147483647;
const double kNaN = std::numeric_limits<double>::quiet_NaN();

Vocabulary TestVocabulary() {
  Vocabulary v;
  v.nFrequency = kFreq;
  v.nBandStart = kBandStart;
  v.nLevel = kLevel;
  v.nMinimum = kMin;
  v.nMaximum = kMax;
  v.nStdDev = kStdDev;
  v.nFrequencyUnit = UT_HZ;
  return v;
}

// What the visitor was told, as text: "S<kind><header>" for a section,
// "L<element>:<band>:<hz>:<dbm>" for a level, "W<band>:<dbm>,..." for a sweep.
struct Recorder : vyr::LogVisitor {
  std::vector<std::string> seen;
  static std::string Num(double d) { return std::isnan(d) ? "-" : std::to_string(static_cast<long long>(d)); }
  void OnSection(const vyr::Section& s) override {
    seen.push_back(std::string("S") + (s.kind == vyr::Section::Kind::Plan ? "plan" : "channels") +
                   std::to_string(s.header));
  }
  void OnLevels(const vyr::Message&, const vyr::Level* l, size_t n) override {
    for (size_t i = 0; i < n; ++i)
      seen.push_back("L" + std::to_string(l[i].element) + ":" + std::to_string(l[i].band) + ":" +
                     (l[i].HasFrequency() ? std::to_string(l[i].hz) : "-") + ":" + Num(l[i].dbm) +
                     (std::isnan(l[i].minDbm) ? "" : "/" + Num(l[i].minDbm) + "/" + Num(l[i].maxDbm)));
  }
  void OnSweep(const vyr::Message&, const vyr::Sweep& s) override {
    std::string w = "W" + std::to_string(s.band.number) + ":";
    for (size_t i = 0; i < s.band.Bins(); ++i) w += (i ? "," : "") + Num(s.dbm[i]);
    seen.push_back(w);
  }
};

class DecodeModelTest : public ::testing::Test {
 protected:
  Vocabulary v = TestVocabulary();
  vyr::DecodeRequest request = [] {
    vyr::DecodeRequest r;
    r.levels = r.sweeps = true;
    return r;
  }();
  Recorder recorder;
  CVyrMemoryDataState state;
  CDecodeModel model{v, request, recorder};
  std::uint64_t next = 0;

  void SetUp() override { model.Observe(state); }

  // One message: its writes, then what the model made of it.
  std::vector<std::string> Message(vyr::Role role, const std::function<void(CVyrMemoryDataState&)>& writes) {
    recorder.seen.clear();
    writes(state);
    vyr::Message m;
    m.index = next++;
    m.role = role;
    model.AfterMessage(m, state);
    return recorder.seen;
  }
  std::vector<std::string> Header(const std::function<void(CVyrMemoryDataState&)>& writes) {
    return Message(vyr::Role::Header, writes);
  }
  std::vector<std::string> Levels(const std::vector<std::pair<int, double>>& levels) {
    return Message(vyr::Role::Measurement, [&](CVyrMemoryDataState& s) {
      for (auto [e, dbm] : levels) s.SetRealValue(kLevel, dbm, e, kMsgScope, 0);
    });
  }
  static void LayPlan(CVyrMemoryDataState& s, const std::vector<int>& starts, const std::vector<double>& hz) {
    for (size_t j = 0; j < starts.size(); ++j) s.SetIntValue(kBandStart, starts[j], static_cast<int>(j), kPlanScope, 0);
    for (size_t e = 0; e < hz.size(); ++e) s.SetRealValue(kFreq, hz[e], static_cast<int>(e), kPlanScope, 0);
  }
  static void NameChannels(CVyrMemoryDataState& s, const std::vector<std::pair<int, double>>& hz) {
    for (auto [e, f] : hz) s.SetRealValue(kFreq, f, e, kMsgScope, 0);
  }
  using Seen = std::vector<std::string>;
};

TEST_F(DecodeModelTest, PlanBandsGiveBandAndWholeHertz) {
  // 925.4 as a running sum of steps: the frequencies round to the whole hertz.
  EXPECT_EQ(Header([](auto& s) { LayPlan(s, {0, 2, 3}, {925.2e6, 925.2e6 + 200000.0000001, 200e6}); }),
            Seen{"Splan0"});
  EXPECT_EQ(Levels({{1, -70}, {2, -80}, {3, -90}}),
            (Seen{"L1:1:925400000:-70", "L2:2:200000000:-80", "L3:0:-:-90", "W1:-,-70", "W2:-80"}));
}

TEST_F(DecodeModelTest, ALevelKeepsTheFrequencyOfTheSetUpInForce) {
  Header([](auto& s) { NameChannels(s, {{0, 2412e6}, {1, 2437e6}, {2, 2462e6}, {3, 2484e6}}); });
  EXPECT_EQ(Levels({{2, -60}}), (Seen{"L2:0:2462000000:-60", "W0:-,-,-60,-"}));
  // Resumed with a set-up that names channels 1, 2 and 4 only: channel 3
  // has no frequency now, and its level is kept.
  EXPECT_EQ(Header([](auto& s) { NameChannels(s, {{0, 2412e6}, {1, 2437e6}, {3, 2484e6}}); }), Seen{"Schannels2"});
  EXPECT_EQ(Levels({{2, -61}, {5, -62}}), (Seen{"L2:0:-:-61", "L5:0:-:-62", "W0:-,-,-61,-,-,-62"}));
}

TEST_F(DecodeModelTest, WhatAHeaderThatLaysNothingLeavesInForce) {
  Header([](auto& s) { LayPlan(s, {0, 2}, {100e6, 101e6}); });
  EXPECT_EQ(Header([](auto&) {}), Seen{});  // the plan stays in force
  EXPECT_EQ(Levels({{0, -50}}), (Seen{"L0:1:100000000:-50", "W1:-50,-"}));
  Header([](auto& s) { NameChannels(s, {{0, 2412e6}}); });
  EXPECT_EQ(Header([](auto&) {}), Seen{"Schannels4"});  // a channel set that names none
  EXPECT_EQ(Levels({{0, -50}}), (Seen{"L0:0:-:-50", "W0:-50"}));
}

TEST_F(DecodeModelTest, TheLastWriteOfAnElementDecides) {
  Header([](auto& s) { LayPlan(s, {0, 4}, {1e6, 2e6, 3e6, 4e6}); });
  const Seen seen = Message(vyr::Role::Measurement, [](CVyrMemoryDataState& s) {
    s.SetRealValue(kLevel, -70, 3, kMsgScope, 0);
    s.SetRealValue(kLevel, -71, 0, kMsgScope, 0);
    s.SetRealValue(kLevel, -72, 3, kMsgScope, 0);  // the later write wins
    s.SetRealValue(kLevel, -73, 1, kMsgScope, 0);
    s.ClearValue(kLevel, 1, kMsgScope, 0);        // a cleared level is none
    s.SetTextValue(kLevel, "x", 2, kMsgScope, 0);  // a text is no level
  });
  EXPECT_EQ(seen, (Seen{"L0:1:1000000:-71", "L3:1:4000000:-72", "W1:-71,-,-,-72"}));
  // Another message's levels are its own.
  EXPECT_EQ(Levels({{2, -10}}), (Seen{"L2:1:3000000:-10", "W1:-,-,-10,-"}));
}

TEST_F(DecodeModelTest, ARunOfLevelsIsItsSingleWrites) {
  Header([](auto& s) { LayPlan(s, {0, 3}, {1e6, 2e6, 3e6}); });
  const double reals[] = {-40, -95, -41};
  const VyrValueRun run{kLevel, reals, nullptr, -90};
  const Seen seen = Message(vyr::Role::Measurement, [&](CVyrMemoryDataState& s) {
    s.SetValueRuns(&run, 1, 0, 3, kMsgScope, 0);
  });
  EXPECT_EQ(seen, (Seen{"L0:1:1000000:-40", "L2:1:3000000:-41", "W1:-40,-,-41"}));  // -95 cleared below -90
}

TEST_F(DecodeModelTest, StatisticsGoWithTheirLevel) {
  Header([](auto& s) { NameChannels(s, {{0, 946.2e6}}); });
  const Seen seen = Message(vyr::Role::Measurement, [](CVyrMemoryDataState& s) {
    s.SetRealValue(kLevel, -84, 0, kMsgScope, 0);
    s.SetRealValue(kMin, -97, 0, kMsgScope, 0);
    s.SetRealValue(kMax, -71, 0, kMsgScope, 0);
  });
  EXPECT_EQ(seen, (Seen{"L0:0:946200000:-84/-97/-71", "W0:-84"}));
  EXPECT_EQ(Levels({{0, -85}}), (Seen{"L0:0:946200000:-85", "W0:-85"}));  // none without writes of its own
}

TEST_F(DecodeModelTest, HostilePlansAreContained) {
  // A falling start is an empty band; an infinite frequency is none.
  Header([](auto& s) {
    s.SetIntValue(kBandStart, 0, 0, kPlanScope, 0);
    s.SetIntValue(kBandStart, 2, 1, kPlanScope, 0);
    s.SetIntValue(kBandStart, 1, 2, kPlanScope, 0);
    s.SetRealValue(kFreq, INFINITY, 0, kPlanScope, 0);
    s.SetRealValue(kFreq, 2e20, 1, kPlanScope, 0);
  });
  EXPECT_EQ(Levels({{0, -1}, {1, -2}, {2, -3}}), (Seen{"L0:1:-:-1", "L1:1:-:-2", "L2:0:-:-3", "W1:-1,-2"}));
  // Levels outside any message of a measurement role are not handed on.
  EXPECT_EQ(Message(vyr::Role::Header, [](auto& s) { s.SetRealValue(kLevel, -5, 0, kMsgScope, 0); }), Seen{});
  EXPECT_EQ(Levels({}), Seen{});
}
}  // namespace
