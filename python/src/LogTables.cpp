#include "LogTables.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <limits>
#include <stdexcept>
#include <utility>

#include "Pieces.h"
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

// The tables of one section as one piece of the log met them. A section set
// up before the piece goes on with rows for the tables of the pieces before.
struct SectionTables {
  std::size_t ordinal = 0;
  bool bContinued = false;
  std::vector<LevelTable> tables;
};

void AppendRow(std::vector<double>& into, const double* row, size_t n) {
  if (row) into.insert(into.end(), row, row + n);
  else into.resize(into.size() + n, kNaN);
}

// A matrix of nRows rows from nOld to nNew columns, NaN in the new ones.
void WidenMatrix(std::vector<double>& v, size_t nRows, size_t nOld, size_t nNew) {
  if (nNew == nOld) return;
  std::vector<double> wide(nRows * nNew, kNaN);
  for (size_t r = 0; r < nRows; ++r)
    std::copy_n(v.begin() + static_cast<std::ptrdiff_t>(r * nOld), nOld,
                wide.begin() + static_cast<std::ptrdiff_t>(r * nNew));
  v.swap(wide);
}

// The table's rows, laid out for nOld columns, to the columns it has now:
// earlier rows get no level in the new ones.
void WidenRows(LevelTable& t, size_t nOld) {
  const size_t nRows = t.message.size(), nNew = t.bins.size();
  WidenMatrix(t.levelDbm, nRows, nOld, nNew);
  for (auto* v : {&t.minDbm, &t.maxDbm, &t.stddevDb})
    if (!v->empty()) WidenMatrix(*v, nRows, nOld, nNew);
}

// A channel set grows as channels appear.
void Widen(LevelTable& t, const vyr::Band& band) {
  const size_t nOld = t.bins.size(), nNew = band.Bins();
  if (nNew <= nOld) return;
  for (size_t i = nOld; i < nNew; ++i) {
    t.bins.push_back(band.Element(i));
    t.frequencyHz.push_back(band.hz[i]);
    t.frequencyMHz.push_back(MHzOrNaN(band.hz[i]));
  }
  WidenRows(t, nOld);
}

// The same, to the columns of a later piece's table of the channel set.
void Widen(LevelTable& t, const LevelTable& wider) {
  const size_t nOld = t.bins.size();
  if (wider.bins.size() <= nOld) return;
  t.bins.insert(t.bins.end(), wider.bins.begin() + static_cast<std::ptrdiff_t>(nOld), wider.bins.end());
  t.frequencyHz.insert(t.frequencyHz.end(), wider.frequencyHz.begin() + static_cast<std::ptrdiff_t>(nOld),
                       wider.frequencyHz.end());
  t.frequencyMHz.insert(t.frequencyMHz.end(), wider.frequencyMHz.begin() + static_cast<std::ptrdiff_t>(nOld),
                        wider.frequencyMHz.end());
  WidenRows(t, nOld);
}

// fn(column of t, column of each of more...) for each column that grows with the rows.
template <class Fn, class... Tables>
void ForEachRowColumn(Fn fn, LevelTable& t, Tables&... more) {
  fn(t.message, more.message...);
  fn(t.timeMs, more.timeMs...);
  fn(t.time, more.time...);
  fn(t.lat, more.lat...);
  fn(t.lon, more.lon...);
  fn(t.quality, more.quality...);
  fn(t.levelDbm, more.levelDbm...);
  fn(t.minDbm, more.minDbm...);
  fn(t.maxDbm, more.maxDbm...);
  fn(t.stddevDb, more.stddevDb...);
}

// The rows of the same table in a later piece after those of the pieces
// before, as one decode would have gone on adding them.
void AppendTable(LevelTable& t, LevelTable& more) {
  Widen(t, more);
  Widen(more, t);
  // A statistics row anywhere gives every row one, NaN where it had none.
  if (!t.minDbm.empty() || !more.minDbm.empty()) {
    const size_t nBins = t.bins.size();
    for (auto* v : {&t.minDbm, &t.maxDbm, &t.stddevDb}) v->resize(t.message.size() * nBins, kNaN);
    for (auto* v : {&more.minDbm, &more.maxDbm, &more.stddevDb}) v->resize(more.message.size() * nBins, kNaN);
  }
  ForEachRowColumn([](auto& a, auto& b) { Append(a, b); }, t, more);
}

// One table per band of each section of the kind asked for, one row per
// message that left a level in it. A piece after the first starts in the
// section in force there, which it was not told of: its tables are made as
// its sweeps come. A table starts with room for *pRowsHint rows when given.
class CTableVisitor final : public vyr::LogVisitor {
 public:
  CTableVisitor(bool bChannels, const std::atomic<size_t>* pRowsHint)
      : m_bChannels(bChannels), m_pRowsHint(pRowsHint) {}

  void OnSection(const vyr::Section& s) override {
    if (!Enter(s, false)) return;
    for (const vyr::Band& band : s.bands) NewTable(band, s.header);
  }
  void OnSweep(const vyr::Message& m, const vyr::Sweep& sweep) override {
    if (m.section && (!m_bEntered || m.section->ordinal != m_nOrdinal)) Enter(*m.section, true);
    if (!m_bTaking) return;
    LevelTable* t = TableOf(sweep.band);
    if (!t && m_sections.back().bContinued) t = &NewTable(sweep.band, m.section->header);
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
  std::vector<SectionTables>& Sections() { return m_sections; }

 private:
  bool Enter(const vyr::Section& s, bool bContinued) {
    m_bEntered = true;
    m_nOrdinal = s.ordinal;
    m_bTaking = (s.kind == vyr::Section::Kind::Channels) == m_bChannels;
    if (m_bTaking) m_sections.push_back({s.ordinal, bContinued, {}});
    return m_bTaking;
  }
  LevelTable& NewTable(const vyr::Band& band, std::uint64_t nHeader) {
    LevelTable& t = m_sections.back().tables.emplace_back();
    t.nBand = band.number;
    t.nHeader = nHeader;
    Widen(t, band);
    // Growing by doubling would copy the rows again and again.
    if (const size_t nRows = m_pRowsHint ? m_pRowsHint->load(std::memory_order_relaxed) : 0) {
      for (auto* v : {&t.message, &t.timeMs, &t.time}) v->reserve(nRows);
      for (auto* v : {&t.lat, &t.lon}) v->reserve(nRows);
      t.quality.reserve(nRows);
      t.levelDbm.reserve(nRows * t.bins.size());
    }
    return t;
  }
  LevelTable* TableOf(const vyr::Band& band) {
    for (LevelTable& t : m_sections.back().tables)
      if (t.nBand == band.number) return &t;
    return nullptr;
  }

  bool m_bChannels;
  const std::atomic<size_t>* m_pRowsHint;
  bool m_bEntered = false;  // in a section, m_nOrdinal
  bool m_bTaking = false;
  std::size_t m_nOrdinal = 0;
  std::vector<SectionTables> m_sections;  // those of the kind asked for
};

// The tables of the pieces, joined in file order.
class CTableJoin {
 public:
  void Add(CTableVisitor& piece) {
    std::vector<SectionTables>& sections = piece.Sections();
    size_t nRows = 0;
    for (const SectionTables& s : sections)
      for (const LevelTable& t : s.tables) nRows = std::max(nRows, t.message.size());
    m_nRowsHint.store(nRows + nRows / 4, std::memory_order_relaxed);
    for (SectionTables& s : sections) {
      if (!s.bContinued) {
        m_nLastFirst = m_tables.size();
        m_nLastOrdinal = s.ordinal;
        m_bHasLast = true;
        for (LevelTable& t : s.tables) m_tables.push_back(std::move(t));
        continue;
      }
      // A piece starts in the section in force at its start: the last one met.
      if (!m_bHasLast || s.ordinal != m_nLastOrdinal) {
        m_bBroken = true;
        continue;
      }
      for (LevelTable& t : s.tables)
        if (LevelTable* into = Find(t.nBand)) AppendTable(*into, t);
    }
    sections.clear();
  }
  // Only the tables of the last section may grow.
  void Expect(double share) {
    for (size_t i = m_nLastFirst; i < m_tables.size(); ++i)
      ForEachRowColumn([&](auto& v) { ReserveFor(v, share); }, m_tables[i]);
  }
  // The rows a table of the next pieces is likely to take.
  const std::atomic<size_t>* RowsHint() const { return &m_nRowsHint; }
  // A piece that went on from a section no piece before it set up cannot be
  // joined: that is a fault of the decode in pieces, never a result.
  std::vector<LevelTable> Take(const std::string& path) {
    if (m_bBroken) throw std::runtime_error(path + ": the pieces of the log do not join");
    return std::move(m_tables);
  }

 private:
  LevelTable* Find(int nBand) {
    for (size_t i = m_nLastFirst; i < m_tables.size(); ++i)
      if (m_tables[i].nBand == nBand) return &m_tables[i];
    return nullptr;
  }

  std::vector<LevelTable> m_tables;
  size_t m_nLastFirst = 0;  // the tables of the last section
  std::size_t m_nLastOrdinal = 0;
  bool m_bHasLast = false;
  bool m_bBroken = false;
  std::atomic<size_t> m_nRowsHint{0};  // read by the pieces' threads
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

// fn(column of c, column of each of more...) for each column.
template <class Fn, class... Columns>
void ForEachColumn(Fn fn, LevelColumns& c, Columns&... more) {
  fn(c.message, more.message...);
  fn(c.timeMs, more.timeMs...);
  fn(c.time, more.time...);
  fn(c.bin, more.bin...);
  fn(c.band, more.band...);
  fn(c.frequencyHz, more.frequencyHz...);
  fn(c.quality, more.quality...);
  fn(c.lat, more.lat...);
  fn(c.lon, more.lon...);
  fn(c.frequencyMHz, more.frequencyMHz...);
  fn(c.levelDbm, more.levelDbm...);
  fn(c.minDbm, more.minDbm...);
  fn(c.maxDbm, more.maxDbm...);
  fn(c.stddevDb, more.stddevDb...);
}

// The rows of the pieces, joined in file order.
struct CColumnJoin {
  void Add(CColumnVisitor& piece) {
    ForEachColumn([](auto& a, auto& b) { Append(a, b); }, columns, piece.c);
  }
  void Expect(double share) {
    ForEachColumn([&](auto& v) { ReserveFor(v, share); }, columns);
  }
  LevelColumns columns;
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
                                      const vyr::LevelCut& cut, bool bChannels, int jobs) {
  vyr::DecodeRequest request;
  request.settings = settings;
  request.sweeps = true;
  CTableJoin join;
  CollectInPieces<CTableVisitor>(path, request, cut, cut.CutsBins() ? 1 : jobs, join, bChannels, join.RowsHint());
  return join.Take(path);
}

LevelColumns CollectColumns(const std::string& path, const vyr::DecodeSettings& settings, const vyr::LevelCut& cut,
                            int jobs) {
  vyr::DecodeRequest request;
  request.settings = settings;
  request.levels = true;
  CColumnJoin join;
  CollectInPieces<CColumnVisitor>(path, request, cut, jobs, join);
  return std::move(join.columns);
}
