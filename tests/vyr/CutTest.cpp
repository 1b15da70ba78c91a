// The cut options as text, the time window (midnight included), and the cut
// visitor on hand-made sections and sweeps.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "vyr/Cut.h"

namespace {
using Kind = vyr::CutTime::Kind;
constexpr std::int64_t kDay = 86400000;

TEST(Cut, ReadsTimesAndRefusesWhatIsNoTime) {
  struct Case {
    const char* text;
    Kind kind;
    std::int64_t ms;
  };
  const Case cases[] = {
      {"1970-01-01T00:00", Kind::DateTime, 0},
      {"2005-03-15T09:15:30", Kind::DateTime, 1110878130000},
      {"2005-03-15 09:15:30.5", Kind::DateTime, 1110878130500},
      {"2000-02-29T23:59:59.999", Kind::DateTime, 951868799999},
      {"1969-12-31T23:59", Kind::DateTime, -60000},
      {"09:00", Kind::TimeOfDay, 9 * 3600000},
      {"23:59:59.12", Kind::TimeOfDay, kDay - 1000 + 120},
      {"2005-02-29T00:00", Kind::None, 0}, {"2005-13-01T00:00", Kind::None, 0}, {"24:00", Kind::None, 0},
      {"9:00", Kind::None, 0}, {"09:60", Kind::None, 0}, {"09:00:00.1234", Kind::None, 0},
      {"2005-03-15", Kind::None, 0}, {"2005-03-15T09:00Z", Kind::None, 0}, {" 09:00", Kind::None, 0},
      {"", Kind::None, 0}, {"09:00:", Kind::None, 0}, {"noon", Kind::None, 0}};
  for (const Case& c : cases) {
    vyr::CutTime t;
    std::string why;
    const bool ok = vyr::ParseCutTime(c.text, t, why);
    EXPECT_EQ(ok, c.kind != Kind::None) << c.text;
    if (!ok) {
      EXPECT_NE(why.find(std::string("'") + c.text + "'"), std::string::npos) << why;
      continue;
    }
    EXPECT_EQ(t.kind, c.kind) << c.text;
    EXPECT_EQ(t.ms, c.ms) << c.text;
  }
}

TEST(Cut, ReadsFrequencyRangesAndBands) {
  struct Case {
    const char* text;
    bool ok;
    bool hasMin = false, hasMax = false;
    std::int64_t minHz = 0, maxHz = 0;
  };
  const Case cases[] = {{"925:960", true, true, true, 925000000, 960000000},
                        {"925.2:", true, true, false, 925200000, 0},
                        {":1e3", true, false, true, 0, 1000000000},
                        {"925.0000004:925.0000006", true, true, true, 925000000, 925000001},
                        {"9:1", false}, {":", false}, {"925", false}, {"0x10:20", false}, {"1: 2", false},
                        {"inf:", false}, {"a:b", false}, {"1e400:", false}};
  for (const Case& c : cases) {
    vyr::LevelCut cut;
    std::string why;
    EXPECT_EQ(vyr::ParseFrequencyRange(c.text, cut, why), c.ok) << c.text << ": " << why;
    if (!c.ok) continue;
    EXPECT_EQ(cut.hasMinHz, c.hasMin) << c.text;
    EXPECT_EQ(cut.hasMaxHz, c.hasMax) << c.text;
    EXPECT_EQ(cut.hasMinHz ? cut.minHz : 0, c.minHz) << c.text;
    EXPECT_EQ(cut.hasMaxHz ? cut.maxHz : 0, c.maxHz) << c.text;
  }
  for (const auto& [text, ok] : std::vector<std::pair<std::string, bool>>{
           {"1", true}, {"2147483647", true}, {"0", false}, {"-1", false}, {"2147483648", false}, {"1.0", false},
           {"", false}, {"+2", false}}) {
    int band = 0;
    std::string why;
    EXPECT_EQ(vyr::ParseBandNumber(text, band, why), ok) << text;
  }
}

vyr::LevelCut Window(const char* from, const char* to) {
  vyr::LevelCut cut;
  std::string why;
  EXPECT_TRUE(!*from || vyr::ParseCutTime(from, cut.from, why));
  EXPECT_TRUE(!*to || vyr::ParseCutTime(to, cut.to, why));
  return cut;
}

TEST(Cut, TimeWindowsOfDatesAndOfTimesOfDay) {
  const std::int64_t day = 1110844800000;  // 2005-03-15T00:00
  struct Case {
    const char* from;
    const char* to;
    std::int64_t at;
    bool takes;
  };
  const Case cases[] = {
      {"2005-03-15T09:00", "2005-03-15T09:10", day + 9 * 3600000, true},
      {"2005-03-15T09:00", "2005-03-15T09:10", day + 9 * 3600000 + 600000, true},  // both ends included
      {"2005-03-15T09:00", "2005-03-15T09:10", day + 9 * 3600000 + 600001, false},
      {"2005-03-15T09:00", "", day + 40 * 3600000, true},
      {"", "2005-03-15T09:00", day + 9 * 3600000 + 1, false},
      {"09:00", "09:10", day + kDay + 9 * 3600000 + 5000, true},  // every day
      {"09:00", "09:10", day + 8 * 3600000, false},
      {"23:30", "00:30", day + 23 * 3600000 + 45 * 60000, true},  // across midnight
      {"23:30", "00:30", day + kDay + 15 * 60000, true},
      {"23:30", "00:30", day + 12 * 3600000, false},
      {"23:30", "", day + 23 * 3600000 + 29 * 60000, false},
      {"", "00:30", day + 20 * 60000, true},
      {"00:00", "00:00", -kDay, true}};  // before 1970 too
  for (const Case& c : cases) EXPECT_EQ(Window(c.from, c.to).TakesTime(c.at), c.takes) << c.from << " " << c.to << " " << c.at;
  std::string why;
  EXPECT_TRUE(vyr::CheckCut(Window("23:30", "00:30"), why));
  EXPECT_FALSE(vyr::CheckCut(Window("2005-03-15T10:00", "2005-03-15T09:00"), why));
  EXPECT_EQ(why, "--from 2005-03-15T10:00:00.000 is after --to 2005-03-15T09:00:00.000");
  EXPECT_FALSE(vyr::CheckCut(Window("2005-03-15T09:00", "10:00"), why));
}

// Records what reaches it.
struct Recorder final : vyr::LogVisitor {
  std::vector<vyr::Section> sections;
  std::vector<std::vector<double>> sweeps;  // per sweep: first element, then its levels
  std::vector<int> levelElements;
  std::vector<std::uint64_t> messages;
  void OnSection(const vyr::Section& s) override { sections.push_back(s); }
  void OnSweep(const vyr::Message&, const vyr::Sweep& s) override {
    std::vector<double> row{static_cast<double>(s.band.firstElement)};
    row.insert(row.end(), s.dbm, s.dbm + s.band.Bins());
    sweeps.push_back(row);
  }
  void OnLevels(const vyr::Message&, const vyr::Level* l, size_t n) override {
    for (size_t i = 0; i < n; ++i) levelElements.push_back(l[i].element);
  }
  void OnMessage(const vyr::Message& m) override { messages.push_back(m.index); }
};

vyr::Band MakeBand(int number, int first, std::vector<std::int64_t> hz) {
  vyr::Band b;
  b.number = number;
  b.firstElement = first;
  b.hz = std::move(hz);
  return b;
}

std::string Rows(const std::vector<std::vector<double>>& sweeps) {
  std::string s;
  for (const auto& row : sweeps) {
    for (double d : row) s += std::isnan(d) ? "- " : std::to_string(static_cast<int>(d)) + " ";
    s += "| ";
  }
  return s;
}

TEST(Cut, VisitorNarrowsBandsMasksChannelsAndDropsMessagesOutsideTheWindow) {
  vyr::Section plan;
  plan.bands = {MakeBand(1, 0, {100, 200, 300, 400}), MakeBand(2, 4, {500, 600})};
  vyr::Section channels;
  channels.kind = vyr::Section::Kind::Channels;
  channels.bands = {MakeBand(0, 0, {300, 900, 200})};
  struct Case {
    const char* name;
    int band;
    std::int64_t minHz, maxHz;  // 0, 0: none
    const vyr::Section* section;
    std::string sweeps;
  };
  const double nan = NAN;
  const std::vector<double> levels[] = {{-1, -2, -3, -4}, {-5, nan}, {-7, -8, -9}};
  const Case cases[] = {
      {"frequencies", 0, 200, 300, &plan, "1 -2 -3 | "},
      {"band", 2, 0, 0, &plan, "4 -5 - | "},
      {"band and range", 2, 550, 700, &plan, ""},  // the one level in range is none
      {"range over both", 0, 400, 500, &plan, "3 -4 | 4 -5 | "},
      {"channels", 0, 200, 300, &channels, "0 -7 - -9 | "},
      {"band of channels", 1, 0, 0, &channels, ""}};
  for (const Case& c : cases) {
    vyr::LevelCut cut;
    cut.band = c.band;
    if (c.maxHz) cut.hasMinHz = cut.hasMaxHz = true, cut.minHz = c.minHz, cut.maxHz = c.maxHz;
    Recorder rec;
    vyr::CutVisitor v(cut, rec);
    v.OnSection(*c.section);
    ASSERT_EQ(rec.sections.size(), 1u);
    vyr::Message m;
    m.role = vyr::Role::Measurement;
    m.section = c.section;
    for (size_t b = 0; b < c.section->bands.size(); ++b) {
      const size_t k = c.section == &plan ? b : 2;
      v.OnSweep(m, vyr::Sweep{c.section->bands[b], levels[k].data(), nullptr, nullptr, nullptr});
    }
    EXPECT_EQ(Rows(rec.sweeps), c.sweeps) << c.name;
  }
  // Levels by band and frequency; measurements outside the window go, headers stay.
  vyr::LevelCut cut = Window("2005-03-15T09:00", "2005-03-15T09:10");
  cut.band = 1;
  Recorder rec;
  vyr::CutVisitor v(cut, rec);
  v.OnSection(plan);
  vyr::Message m;
  m.role = vyr::Role::Measurement;
  m.startMs = 1110877200000;  // 09:00
  std::vector<vyr::Level> lv(3);
  lv[0].element = 0, lv[0].band = 1, lv[0].hz = 100;
  lv[1].element = 4, lv[1].band = 2, lv[1].hz = 500;
  lv[2].element = 9, lv[2].band = 0;
  for (std::int64_t t : {0, 600000, 600001}) {
    m.timeMs = t;
    m.index = static_cast<std::uint64_t>(t);
    v.OnLevels(m, lv.data(), lv.size());
    v.OnMessage(m);
  }
  m.role = vyr::Role::Header;
  m.index = 7;
  v.OnMessage(m);
  EXPECT_EQ(rec.levelElements, (std::vector<int>{0, 0}));
  EXPECT_EQ(rec.messages, (std::vector<std::uint64_t>{0, 600000, 7}));
}

}  // namespace
