#include "vyr/FrequencyStats.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <memory>
#include <stdexcept>

#include "Bytes.h"

namespace vyr {

namespace {
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
// 2: the sum of a bin's levels is exact (vyr::LevelSum); 1 had a double.
constexpr char kSpectrumMagic[] = "VYRSPEC2";
constexpr char kThresholdsMagic[] = "VYRTHRS1";
// The fewest bytes a serialised bin takes (one-byte numbers, eight-byte doubles).
constexpr size_t kMinBinBytes = 55;

bool SameThreshold(double a, double b) { return a == b || (std::isnan(a) && std::isnan(b)); }

void ReadMagic(detail::ByteReader& r, const char* magic) {
  if (r.Raw(8) != std::string_view(magic, 8)) detail::ByteReader::Fail("its magic bytes are not there");
}

// numpy's linear percentile of values (sorted here); NaN for none.
double Percentile(std::vector<double> values, double p) {
  if (values.empty()) return kNaN;
  std::sort(values.begin(), values.end());
  const double h = p * static_cast<double>(values.size() - 1);
  const auto lo = static_cast<size_t>(std::floor(h));
  if (lo + 1 >= values.size()) return values[lo];
  return values[lo] + (h - static_cast<double>(lo)) * (values[lo + 1] - values[lo]);
}

FrequencyRow RowOf(const SpectrumBin& bin) { return FrequencyRowOf(bin.hz, bin.band, bin.threshold, bin.stats); }

// Channels (band 0) after the numbered bands.
int BandOrder(int band) { return band == 0 ? std::numeric_limits<int>::max() : band; }

// The bins of each band number, in rising frequency.
std::map<int, std::vector<const SpectrumBin*>> ByBand(const Spectrum& spectrum) {
  std::map<int, std::vector<const SpectrumBin*>> out;
  for (const SpectrumBin& b : spectrum.Bins()) out[BandOrder(b.band)].push_back(&b);
  return out;
}

std::vector<const BinStats*> StatsOf(const std::vector<const SpectrumBin*>& bins) {
  std::vector<const BinStats*> out;
  out.reserve(bins.size());
  for (const SpectrumBin* b : bins) out.push_back(&b->stats);
  return out;
}

// Higher maximum first (NaN last), then the lower key.
template <class Row, class Key>
void SortStrongest(std::vector<Row>& rows, Key key, double (*maxOf)(const Row&)) {
  std::stable_sort(rows.begin(), rows.end(), [&](const Row& a, const Row& b) {
    const double ma = maxOf(a), mb = maxOf(b);
    if (std::isnan(ma) != std::isnan(mb)) return std::isnan(mb);
    if (ma != mb && !std::isnan(ma)) return ma > mb;
    return key(a) < key(b);
  });
}
}  // namespace

std::string Thresholds::Serialize() const {
  std::string out(kThresholdsMagic, 8);
  detail::ByteWriter w(out);
  w.Double(m_dDefault);
  w.Varint(m_byHz.size());
  for (const auto& [hz, dbm] : m_byHz) {
    w.Signed(hz);
    w.Double(dbm);
  }
  return out;
}

Thresholds Thresholds::Deserialize(std::string_view bytes) {
  detail::ByteReader r(bytes);
  ReadMagic(r, kThresholdsMagic);
  Thresholds t(r.Double());
  // Each entry takes at least 9 bytes.
  for (std::uint64_t n = r.Count(r.Left() / 9); n > 0; --n) {
    const std::int64_t hz = r.Signed();
    t.m_byHz[hz] = r.Double();
  }
  if (r.Left() != 0) detail::ByteReader::Fail("bytes follow its end");
  return t;
}

void Spectrum::AddPlanBands(const std::vector<int>& numbers) {
  m_planBands.insert(m_planBands.end(), numbers.begin(), numbers.end());
  std::sort(m_planBands.begin(), m_planBands.end());
  m_planBands.erase(std::unique(m_planBands.begin(), m_planBands.end()), m_planBands.end());
}

void Spectrum::Merge(const Spectrum& other) {
  MergeBins(other, static_cast<std::uint32_t>(m_files.size()), false);
  m_files.insert(m_files.end(), other.m_files.begin(), other.m_files.end());
}

void Spectrum::MergeFollowing(const Spectrum& next) {
  if (next.m_files != m_files) throw std::invalid_argument("only pieces of one log follow one another");
  MergeBins(next, 0, true);
}

void Spectrum::MergeBins(const Spectrum& other, std::uint32_t nFileOffset, bool bFollowing) {
  // Checked first, so that a refused merge leaves this spectrum as it was.
  for (size_t i = 0, j = 0; i < m_bins.size() && j < other.m_bins.size();) {
    if (m_bins[i].hz < other.m_bins[j].hz) ++i;
    else if (other.m_bins[j].hz < m_bins[i].hz) ++j;
    else if (!SameThreshold(m_bins[i++].threshold, other.m_bins[j++].threshold))
      throw std::invalid_argument("spectra counted against different thresholds cannot be merged");
  }
  std::vector<SpectrumBin> merged;
  merged.reserve(std::max(m_bins.size(), other.m_bins.size()));
  auto shifted = [&](const SpectrumBin& b) {
    SpectrumBin copy = b;
    if (copy.stats.Count() > 0) copy.stats.SetFile(b.stats.AtMax().file + nFileOffset);
    return copy;
  };
  size_t i = 0, j = 0;
  while (i < m_bins.size() || j < other.m_bins.size()) {
    if (j == other.m_bins.size() || (i < m_bins.size() && m_bins[i].hz < other.m_bins[j].hz)) {
      merged.push_back(std::move(m_bins[i++]));
    } else if (i == m_bins.size() || other.m_bins[j].hz < m_bins[i].hz) {
      merged.push_back(shifted(other.m_bins[j++]));
    } else {
      merged.push_back(std::move(m_bins[i++]));
      const SpectrumBin later = shifted(other.m_bins[j++]);
      if (bFollowing) merged.back().stats.MergeFollowing(later.stats);
      else merged.back().stats.Merge(later.stats);
    }
  }
  m_bins.swap(merged);
  for (const auto& [band, n] : other.m_sweeps) m_sweeps[band] += n;
  m_nWithoutFrequency += other.m_nWithoutFrequency;
  AddPlanBands(other.m_planBands);
}

std::string Spectrum::Serialize() const {
  std::string out(kSpectrumMagic, 8);
  detail::ByteWriter w(out);
  w.Varint(m_files.size());
  for (const std::string& f : m_files) w.Text(f);
  w.Varint(m_planBands.size());
  for (int b : m_planBands) w.Signed(b);
  w.Varint(m_sweeps.size());
  for (const auto& [band, n] : m_sweeps) {
    w.Signed(band);
    w.Varint(n);
  }
  w.Varint(m_nWithoutFrequency);
  w.Varint(m_bins.size());
  std::int64_t previous = 0;
  for (const SpectrumBin& b : m_bins) {
    w.Signed(static_cast<std::int64_t>(static_cast<std::uint64_t>(b.hz) - static_cast<std::uint64_t>(previous)));
    previous = b.hz;
    w.Signed(b.band);
    w.Double(b.threshold);
    b.stats.AppendSerialized(out);
  }
  return out;
}

Spectrum Spectrum::Deserialize(std::string_view bytes) {
  detail::ByteReader r(bytes);
  if (bytes.substr(0, 8) == "VYRSPEC1")
    detail::ByteReader::Fail("it is of an earlier version, whose sums of levels were not exact: make it again");
  ReadMagic(r, kSpectrumMagic);
  Spectrum s;
  // Every entry takes at least a byte, which bounds the counts by what is left.
  s.m_files.resize(r.Count(r.Left()));
  for (std::string& f : s.m_files) f = r.Text();
  s.m_planBands.resize(r.Count(r.Left()));
  for (int& b : s.m_planBands) b = static_cast<int>(r.Signed());
  for (std::uint64_t n = r.Count(r.Left()); n > 0; --n) {
    const int band = static_cast<int>(r.Signed());
    s.m_sweeps[band] += r.Varint();
  }
  s.m_nWithoutFrequency = r.Varint();
  s.m_bins.resize(r.Count(r.Left() / kMinBinBytes));
  std::int64_t previous = 0;
  for (size_t i = 0; i < s.m_bins.size(); ++i) {
    SpectrumBin& b = s.m_bins[i];
    const std::int64_t step = r.Signed();
    b.hz = static_cast<std::int64_t>(static_cast<std::uint64_t>(previous) + static_cast<std::uint64_t>(step));
    if (i > 0 && step <= 0) detail::ByteReader::Fail("its frequencies do not rise");
    previous = b.hz;
    b.band = static_cast<int>(r.Signed());
    b.threshold = r.Double();
    std::string_view rest = r.Rest();
    b.stats = BinStats::ReadSerialized(rest);
    if (b.stats.Count() > 0 && b.stats.AtMax().file >= s.m_files.size())
      detail::ByteReader::Fail("a maximum names a log it does not hold");
    r = detail::ByteReader(rest);
  }
  if (r.Left() != 0) detail::ByteReader::Fail("bytes follow its end");
  return s;
}

SpectrumAccumulator::SpectrumAccumulator(std::string file, Thresholds thresholds)
    : m_thresholds(std::move(thresholds)) {
  m_spectrum.m_files.push_back(std::move(file));
}

DecodeRequest SpectrumAccumulator::Request(const DecodeSettings& settings) {
  DecodeRequest r;
  r.settings = settings;
  r.sweeps = true;
  return r;
}

std::uint32_t SpectrumAccumulator::NewSlot(std::int64_t hz, int band) {
  auto [it, added] = m_slotOfHz.try_emplace(hz, static_cast<std::uint32_t>(m_spectrum.m_bins.size()));
  if (added) {
    SpectrumBin& b = m_spectrum.m_bins.emplace_back();
    b.hz = hz;
    b.band = band;
    b.threshold = m_thresholds.At(hz);
  }
  return it->second;
}

SpectrumAccumulator::BandSlots& SpectrumAccumulator::SlotsOf(const Band& band) {
  auto it = std::find_if(m_slots.begin(), m_slots.end(), [&](const BandSlots& s) { return s.band == &band; });
  if (it == m_slots.end()) {
    m_slots.push_back({&band, {}, &m_spectrum.m_sweeps[band.number]});
    it = m_slots.end() - 1;
  }
  // A channel set grows as channels appear.
  for (size_t i = it->slots.size(); i < band.Bins(); ++i) it->slots.push_back(band.HasFrequency(i) ? kNotYet : kNone);
  return *it;
}

void SpectrumAccumulator::OnSweep(const Message& m, const Sweep& sweep) {
  BandSlots& b = SlotsOf(sweep.band);
  const Where where{m.AbsoluteMs(), m.index, 0, m.position.hasLatitude ? m.position.latitude : kNaN,
                    m.position.hasLongitude ? m.position.longitude : kNaN};
  std::vector<SpectrumBin>& bins = m_spectrum.m_bins;
  const size_t n = sweep.band.Bins();
  bool bAny = false;
  for (size_t i = 0; i < n; ++i) {
    const double dbm = sweep.dbm[i];
    if (dbm != dbm) continue;
    bAny = true;
    std::uint32_t slot = b.slots[i];
    if (slot >= kNotYet) {
      if (slot == kNone) {
        ++m_spectrum.m_nWithoutFrequency;
        continue;
      }
      slot = b.slots[i] = NewSlot(sweep.band.hz[i], sweep.band.number);
    }
    SpectrumBin& bin = bins[slot];
    bin.stats.Add(dbm, dbm >= bin.threshold, where);
  }
  if (bAny) ++*b.sweeps;
}

Spectrum SpectrumAccumulator::Finish() {
  auto& bins = m_spectrum.m_bins;
  std::sort(bins.begin(), bins.end(), [](const SpectrumBin& a, const SpectrumBin& b) { return a.hz < b.hz; });
  m_slotOfHz.clear();
  m_slots.clear();
  return std::move(m_spectrum);
}

namespace {
// The levels of one piece of a log (or of all of it) through the cut into a
// spectrum of their own, with the bands of the plans laid down in it.
class CutSpectrum final : public LogVisitor {
 public:
  CutSpectrum(const std::string& path, const LevelCut& cut, const Thresholds& thresholds)
      : m_cut(cut), m_accumulator(path, thresholds), m_visitor(m_cut, m_accumulator) {
    m_cut.planBands = &m_planBands;
  }
  void OnFile(const FileInfo& info) override { m_visitor.OnFile(info); }
  void OnWrite(const AttributeWrite& w) override { m_visitor.OnWrite(w); }
  void OnLevels(const Message& m, const Level* levels, std::size_t count) override {
    m_visitor.OnLevels(m, levels, count);
  }
  void OnSweep(const Message& m, const Sweep& sweep) override { m_visitor.OnSweep(m, sweep); }
  void OnSection(const Section& s) override { m_visitor.OnSection(s); }
  void OnMessage(const Message& m) override { m_visitor.OnMessage(m); }
  void OnEnd(const DecodeResult& r) override { m_visitor.OnEnd(r); }
  Spectrum Finish() {
    Spectrum spectrum = m_accumulator.Finish();
    spectrum.AddPlanBands(m_planBands.Numbers());
    return spectrum;
  }

 private:
  PlanBands m_planBands;  // of this piece alone: a piece decoded again tells them again
  LevelCut m_cut;
  SpectrumAccumulator m_accumulator;
  CutVisitor m_visitor;
};
}  // namespace

Spectrum AccumulateLog(const std::string& path, const DecodeSettings& settings, const LevelCut& cut,
                       const Thresholds& thresholds, DecodeResult& result) {
  return AccumulateLog(path, settings, cut, thresholds, LogDecoder::PieceOptions(), result);
}

Spectrum AccumulateLog(const std::string& path, const DecodeSettings& settings, const LevelCut& cut,
                       const Thresholds& thresholds, const LogDecoder::PieceOptions& pieces, DecodeResult& result) {
  LogDecoder decoder(SpectrumAccumulator::Request(settings));
  // Every log goes through the cut visitor, which tells the bands of its plans.
  Spectrum spectrum = CutSpectrum(path, cut, thresholds).Finish();
  result = decoder.DecodeInPieces(
      path, pieces, [&](std::size_t) { return std::make_unique<CutSpectrum>(path, cut, thresholds); },
      [&](std::size_t, LogVisitor& piece) { spectrum.MergeFollowing(static_cast<CutSpectrum&>(piece).Finish()); });
  return spectrum;
}

FrequencyRow FrequencyRowOf(std::int64_t hz, int band, double threshold, const BinStats& s) {
  FrequencyRow r;
  r.hz = hz;
  r.band = band;
  r.sweeps = s.Count();
  r.occupancy = s.Occupancy();
  r.threshold = threshold;
  r.p10 = s.Quantile(0.1);
  r.median = s.Quantile(0.5);
  r.p90 = s.Quantile(0.9);
  r.mean = s.MeanDbm();
  r.max = s.MaxDbm();
  r.maxTimeMs = s.AtMax().timeMs;
  r.maxLat = s.AtMax().latitude;
  r.maxLon = s.AtMax().longitude;
  r.maxFile = s.AtMax().file;
  r.maxMessage = s.AtMax().message;
  return r;
}

double NoiseFloorDbm(const std::vector<const BinStats*>& bins) {
  std::vector<double> p10;
  for (const BinStats* b : bins)
    if (b->Count() > 0) p10.push_back(b->Quantile(0.1));
  return Percentile(std::move(p10), 0.5);
}

BandOccupancy OccupancyOf(const std::vector<const BinStats*>& bins, double dOccupiedShare) {
  BandOccupancy o;
  double dSum = 0;
  for (const BinStats* b : bins) {
    if (b->Count() == 0) continue;
    ++o.frequencies;
    const double occupancy = b->Occupancy();
    dSum += occupancy;
    if (occupancy >= dOccupiedShare) ++o.occupied;
  }
  const auto n = static_cast<double>(o.frequencies);
  o.occupancy = o.frequencies ? static_cast<double>(o.occupied) / n : kNaN;
  o.meanOccupancy = o.frequencies ? dSum / n : kNaN;
  o.noiseFloor = NoiseFloorDbm(bins);
  return o;
}

std::vector<FrequencyRow> FrequencyRows(const Spectrum& spectrum) {
  std::vector<FrequencyRow> rows;
  rows.reserve(spectrum.Bins().size());
  for (const SpectrumBin& b : spectrum.Bins()) rows.push_back(RowOf(b));
  return rows;
}

std::vector<BandRow> BandRows(const Spectrum& spectrum, double dOccupiedShare) {
  std::vector<BandRow> rows;
  for (const auto& [order, bins] : ByBand(spectrum)) {
    BandRow r;
    r.band = bins.front()->band;
    auto sweeps = spectrum.Sweeps().find(r.band);
    r.sweeps = sweeps == spectrum.Sweeps().end() ? 0 : sweeps->second;
    const BandOccupancy o = OccupancyOf(StatsOf(bins), dOccupiedShare);
    r.frequencies = o.frequencies;
    r.occupied = o.occupied;
    r.occupancy = o.occupancy;
    r.meanOccupancy = o.meanOccupancy;
    r.noiseFloor = o.noiseFloor;
    r.threshold = bins.front()->threshold;
    r.startHz = bins.front()->hz;
    r.stopHz = bins.back()->hz;
    const SpectrumBin* pStrongest = bins.front();
    for (const SpectrumBin* b : bins)
      if (b->stats.Count() > 0 &&
          (b->stats.MaxDbm() > pStrongest->stats.MaxDbm() || std::isnan(pStrongest->stats.MaxDbm())))
        pStrongest = b;
    r.strongest = RowOf(*pStrongest);
    rows.push_back(r);
  }
  return rows;
}

void KeepStrongest(std::vector<FrequencyRow>& rows, size_t n) {
  SortStrongest(rows, [](const FrequencyRow& r) { return r.hz; }, +[](const FrequencyRow& r) { return r.max; });
  if (rows.size() > n) rows.resize(n);
}

void KeepStrongest(std::vector<BandRow>& rows, size_t n) {
  SortStrongest(rows, [](const BandRow& r) { return BandOrder(r.band); },
                +[](const BandRow& r) { return r.strongest.max; });
  if (rows.size() > n) rows.resize(n);
}

Thresholds NoiseThresholds(const Spectrum& spectrum, double dMarginDb) {
  Thresholds t(kNaN);
  for (const auto& [order, bins] : ByBand(spectrum)) {
    const double threshold = NoiseFloorDbm(StatsOf(bins)) + dMarginDb;
    for (const SpectrumBin* b : bins) t.Set(b->hz, threshold);
  }
  return t;
}

}  // namespace vyr
