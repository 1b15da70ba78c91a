#include "LogTables.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <stdexcept>

#include "vyr/Summary.h"

namespace {
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

double MHzOrNaN(std::int64_t hz) { return hz == vyr::kNoFrequency ? kNaN : vyr::HzToMHz(hz); }
double Coordinate(bool has, double d) { return has ? d : kNaN; }

// A decode that raises vyr::LogError when the log is refused.
void Run(const std::string& path, vyr::LogDecoder& decoder, vyr::LogVisitor& visitor) {
  vyr::DecodeResult r = decoder.Decode(path, visitor);
  if (!r.Ok() && r.code != vyr::DecodeResult::kStopped) throw vyr::LogError(path, r);
}

void Run(const std::string& path, const vyr::DecodeRequest& request, vyr::LogVisitor& visitor) {
  vyr::LogDecoder decoder(request);
  Run(path, decoder, visitor);
}

// Through the cut; a band that the log does not lay down is a bad argument.
void Run(const std::string& path, const vyr::DecodeRequest& request, const vyr::LevelCut& cut,
         vyr::LogVisitor& visitor) {
  vyr::PlanBands bands;
  vyr::LevelCut withBands = cut;
  withBands.planBands = &bands;
  vyr::CutVisitor cutVisitor(withBands, visitor);
  Run(path, request, cut.Empty() ? visitor : static_cast<vyr::LogVisitor&>(cutVisitor));
  if (cut.band != 0 && !bands.Has(cut.band)) throw std::invalid_argument(vyr::UnknownBandText(cut.band, bands.Numbers()));
}

// One table per band of each section of the kind asked for, one row per
// message that left a level in it.
class CTableVisitor final : public vyr::LogVisitor {
 public:
  explicit CTableVisitor(bool bChannels) : m_bChannels(bChannels) {}

  void OnSection(const vyr::Section& s) override {
    m_nFirst = m_tables.size();
    m_bTaking = (s.kind == vyr::Section::Kind::Channels) == m_bChannels;
    if (!m_bTaking) return;
    for (const vyr::Band& band : s.bands) {
      LevelTable& t = m_tables.emplace_back();
      t.nBand = band.number;
      t.nHeader = s.header;
      Widen(t, band);
    }
  }
  void OnSweep(const vyr::Message& m, const vyr::Sweep& sweep) override {
    if (!m_bTaking) return;
    LevelTable* t = TableOf(sweep.band);
    if (!t) return;
    Widen(*t, sweep.band);
    t->message.push_back(static_cast<std::int64_t>(m.index));
    t->timeMs.push_back(m.timeMs);
    t->time.push_back(m.AbsoluteMs());
    t->lat.push_back(Coordinate(m.position.hasLatitude, m.position.latitude));
    t->lon.push_back(Coordinate(m.position.hasLongitude, m.position.longitude));
    t->quality.push_back(static_cast<std::uint8_t>(m.position.quality));
    AppendRow(t->levelDbm, sweep.dbm, t->bins.size());
    if (sweep.minDbm || !t->minDbm.empty()) {
      const size_t nRows = t->message.size() - 1;
      for (auto* v : {&t->minDbm, &t->maxDbm, &t->stddevDb}) v->resize(nRows * t->bins.size(), kNaN);
      AppendRow(t->minDbm, sweep.minDbm, t->bins.size());
      AppendRow(t->maxDbm, sweep.maxDbm, t->bins.size());
      AppendRow(t->stddevDb, sweep.stddevDb, t->bins.size());
    }
  }
  std::vector<LevelTable> Take() { return std::move(m_tables); }

 private:
  LevelTable* TableOf(const vyr::Band& band) {
    for (size_t i = m_nFirst; i < m_tables.size(); ++i)
      if (m_tables[i].nBand == band.number) return &m_tables[i];
    return nullptr;
  }
  static void AppendRow(std::vector<double>& into, const double* row, size_t n) {
    if (row) into.insert(into.end(), row, row + n);
    else into.resize(into.size() + n, kNaN);
  }
  // A channel set grows as channels appear: earlier rows get no level there.
  static void Widen(LevelTable& t, const vyr::Band& band) {
    const size_t nOld = t.bins.size(), nNew = band.Bins();
    if (nNew <= nOld) return;
    for (size_t i = nOld; i < nNew; ++i) {
      t.bins.push_back(band.Element(i));
      t.frequencyHz.push_back(band.hz[i]);
      t.frequencyMHz.push_back(MHzOrNaN(band.hz[i]));
    }
    for (auto* v : {&t.levelDbm, &t.minDbm, &t.maxDbm, &t.stddevDb}) {
      if (v->empty() || nOld == 0) continue;
      const size_t nRows = v->size() / nOld;
      std::vector<double> wide(nRows * nNew, kNaN);
      for (size_t r = 0; r < nRows; ++r) std::copy_n(v->begin() + static_cast<std::ptrdiff_t>(r * nOld), nOld,
                                                     wide.begin() + static_cast<std::ptrdiff_t>(r * nNew));
      v->swap(wide);
    }
  }

  bool m_bChannels;
  bool m_bTaking = false;
  size_t m_nFirst = 0;  // the tables of the current section
  std::vector<LevelTable> m_tables;
};

class CColumnVisitor final : public vyr::LogVisitor {
 public:
  void OnLevels(const vyr::Message& m, const vyr::Level* levels, size_t count) override {
    for (const vyr::Level* l = levels; l != levels + count; ++l) {
      c.message.push_back(static_cast<std::int64_t>(m.index));
      c.timeMs.push_back(m.timeMs);
      c.time.push_back(m.AbsoluteMs());
      c.lat.push_back(Coordinate(m.position.hasLatitude, m.position.latitude));
      c.lon.push_back(Coordinate(m.position.hasLongitude, m.position.longitude));
      c.quality.push_back(m.position.quality);
      c.band.push_back(l->band > 0 ? l->band : -1);
      c.bin.push_back(l->element);
      c.frequencyHz.push_back(l->hz);
      c.frequencyMHz.push_back(MHzOrNaN(l->hz));
      c.levelDbm.push_back(l->dbm);
      c.minDbm.push_back(l->minDbm);
      c.maxDbm.push_back(l->maxDbm);
      c.stddevDb.push_back(l->stddevDb);
    }
  }
  LevelColumns c;
};

// Stops the decode after the first message.
class CFirstMessage final : public vyr::LogVisitor {
 public:
  CFirstMessage(vyr::SummaryVisitor& summary, vyr::LogDecoder& decoder) : m_summary(summary), m_decoder(decoder) {}
  void OnFile(const vyr::FileInfo& info) override { m_summary.OnFile(info); }
  void OnMessage(const vyr::Message& m) override {
    m_summary.OnMessage(m);
    m_decoder.Stop();
  }

 private:
  vyr::SummaryVisitor& m_summary;
  vyr::LogDecoder& m_decoder;
};
}  // namespace

std::string SummaryJson(const std::string& path, const vyr::DecodeSettings& settings) {
  vyr::SummaryVisitor summary;
  Run(path, vyr::SummaryVisitor::Request(settings), summary);
  std::string out;
  vyr::AppendSummaryJson(out, summary.Summary());
  return out;
}

std::string ProbeKind(const std::string& path, const vyr::DecodeSettings& settings) {
  vyr::SummaryVisitor summary;
  vyr::LogDecoder decoder(vyr::SummaryVisitor::Request(settings));
  CFirstMessage first(summary, decoder);
  Run(path, decoder, first);
  return summary.Summary().Kind();
}

std::vector<LevelTable> CollectTables(const std::string& path, const vyr::DecodeSettings& settings,
                                      const vyr::LevelCut& cut, bool bChannels) {
  vyr::DecodeRequest request;
  request.settings = settings;
  request.sweeps = true;
  CTableVisitor visitor(bChannels);
  Run(path, request, cut, visitor);
  return visitor.Take();
}

LevelColumns CollectColumns(const std::string& path, const vyr::DecodeSettings& settings, const vyr::LevelCut& cut) {
  vyr::DecodeRequest request;
  request.settings = settings;
  request.levels = true;
  CColumnVisitor visitor;
  Run(path, request, cut, visitor);
  return std::move(visitor.c);
}
