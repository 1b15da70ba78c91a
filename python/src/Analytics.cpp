#include "Analytics.h"

#include <pybind11/stl.h>

#include <stdexcept>

#include "PyHelpers.h"
#include "vyr/Spectrum.h"

namespace {
vyr::DecodeSettings Settings(std::optional<double> threshold) {
  vyr::DecodeSettings s;
  if (threshold) s.levelThreshold = *threshold;
  return s;
}

void Refuse(const char* pszName, const std::string& why) { throw std::invalid_argument(std::string(pszName) + ": " + why); }

// The columns shared by the rows of frequencies and of bands: where the
// maximum was measured.
struct WhereColumns {
  std::vector<std::int64_t> time, message;
  std::vector<double> lat, lon;
  std::vector<std::uint32_t> file;
  void Add(const vyr::FrequencyRow& r) {
    time.push_back(r.maxTimeMs);
    message.push_back(static_cast<std::int64_t>(r.maxMessage));
    lat.push_back(r.maxLat);
    lon.push_back(r.maxLon);
    file.push_back(r.maxFile);
  }
  void Into(py::dict& d) {
    d["max_time"] = ToArray(std::move(time), {}, "datetime64[ms]");
    d["max_lat"] = ToArray(std::move(lat));
    d["max_lon"] = ToArray(std::move(lon));
    d["max_file"] = ToArray(std::move(file));  // indexes into files()
    d["max_message"] = ToArray(std::move(message));
  }
};

double Mhz(std::int64_t hz) { return vyr::HzToMHz(hz); }

py::dict FrequencyTable(std::vector<vyr::FrequencyRow>&& rows) {
  std::vector<std::int64_t> hz, band, sweeps;
  std::vector<double> mhz, occupancy, p10, median, p90, mean, max;
  WhereColumns where;
  for (const vyr::FrequencyRow& r : rows) {
    hz.push_back(r.hz);
    mhz.push_back(Mhz(r.hz));
    band.push_back(r.band > 0 ? r.band : -1);
    sweeps.push_back(static_cast<std::int64_t>(r.sweeps));
    occupancy.push_back(r.occupancy);
    p10.push_back(r.p10);
    median.push_back(r.median);
    p90.push_back(r.p90);
    mean.push_back(r.mean);
    max.push_back(r.max);
    where.Add(r);
  }
  py::dict d;
  d["frequency_hz"] = ToArray(std::move(hz));
  d["frequency_mhz"] = ToArray(std::move(mhz));
  d["band"] = ToArray(std::move(band));
  d["sweeps"] = ToArray(std::move(sweeps));
  d["occupancy"] = ToArray(std::move(occupancy));
  d["p10_dbm"] = ToArray(std::move(p10));
  d["median_dbm"] = ToArray(std::move(median));
  d["p90_dbm"] = ToArray(std::move(p90));
  d["mean_dbm"] = ToArray(std::move(mean));
  d["max_dbm"] = ToArray(std::move(max));
  where.Into(d);
  return d;
}

py::dict BandTable(std::vector<vyr::BandRow>&& rows) {
  std::vector<std::int64_t> band, frequencies, sweeps, occupied, maxHz;
  std::vector<double> start, stop, noise, threshold, occupancy, meanOccupancy, max, maxMhz;
  WhereColumns where;
  for (const vyr::BandRow& r : rows) {
    band.push_back(r.band > 0 ? r.band : -1);
    start.push_back(Mhz(r.startHz));
    stop.push_back(Mhz(r.stopHz));
    frequencies.push_back(static_cast<std::int64_t>(r.frequencies));
    sweeps.push_back(static_cast<std::int64_t>(r.sweeps));
    noise.push_back(r.noiseFloor);
    threshold.push_back(r.threshold);
    occupied.push_back(static_cast<std::int64_t>(r.occupied));
    occupancy.push_back(r.occupancy);
    meanOccupancy.push_back(r.meanOccupancy);
    max.push_back(r.strongest.max);
    maxHz.push_back(r.strongest.hz);
    maxMhz.push_back(Mhz(r.strongest.hz));
    where.Add(r.strongest);
  }
  py::dict d;
  d["band"] = ToArray(std::move(band));
  d["start_mhz"] = ToArray(std::move(start));
  d["stop_mhz"] = ToArray(std::move(stop));
  d["frequencies"] = ToArray(std::move(frequencies));
  d["sweeps"] = ToArray(std::move(sweeps));
  d["noise_floor_dbm"] = ToArray(std::move(noise));
  d["threshold_dbm"] = ToArray(std::move(threshold));
  d["occupied"] = ToArray(std::move(occupied));
  d["occupancy"] = ToArray(std::move(occupancy));
  d["mean_occupancy"] = ToArray(std::move(meanOccupancy));
  d["max_dbm"] = ToArray(std::move(max));
  d["max_frequency_hz"] = ToArray(std::move(maxHz));
  d["max_frequency_mhz"] = ToArray(std::move(maxMhz));
  where.Into(d);
  return d;
}

py::dict Table(const vyr::Spectrum& s, bool bByBand, double dOccupied, std::size_t nTop) {
  if (bByBand) {
    std::vector<vyr::BandRow> rows = vyr::BandRows(s, dOccupied);
    if (nTop) vyr::KeepStrongest(rows, nTop);
    return BandTable(std::move(rows));
  }
  std::vector<vyr::FrequencyRow> rows = vyr::FrequencyRows(s);
  if (nTop) vyr::KeepStrongest(rows, nTop);
  return FrequencyTable(std::move(rows));
}

vyr::Spectrum OfLog(const std::string& path, std::optional<double> threshold, const CutArgs& cutArgs,
                    const vyr::Thresholds& thresholds) {
  const vyr::LevelCut cut = MakeCut(cutArgs);
  return WithoutGil([&] {
    vyr::DecodeResult result;
    vyr::Spectrum s = vyr::AccumulateLog(path, Settings(threshold), cut, thresholds, result);
    if (!result.Ok()) throw vyr::LogError(path, result);
    return s;
  });
}
}  // namespace

vyr::LevelCut MakeCut(const CutArgs& args) {
  const auto& [from, to, band, minMhz, maxMhz] = args;
  vyr::LevelCut cut;
  std::string why;
  if (from && !vyr::ParseCutTime(*from, cut.from, why)) Refuse("from_", why);
  if (to && !vyr::ParseCutTime(*to, cut.to, why)) Refuse("to", why);
  if (band) {
    if (*band < 1 || *band > 2147483647) Refuse("band", std::to_string(*band) + " is not a band number from 1");
    cut.band = static_cast<int>(*band);
  }
  if ((minMhz || maxMhz) && !vyr::SetFrequencyRange(minMhz.value_or(0), minMhz.has_value(), maxMhz.value_or(0),
                                                    maxMhz.has_value(), cut, why))
    Refuse("freq", "the frequency range " + why);
  if (!vyr::CheckCut(cut, why, "from_", "to")) throw std::invalid_argument(why);
  return cut;
}

void BindAnalytics(py::module_& m) {
  m.def("check_cut", [](const CutArgs& args) { MakeCut(args); }, py::arg("cut"), "Raises ValueError for a bad cut.");
  m.def("unknown_band_text", &vyr::UnknownBandText, py::arg("band"), py::arg("known"));
  py::class_<vyr::Thresholds>(m, "Thresholds")
      .def(py::init<double>(), py::arg("dbm"))
      .def("at", &vyr::Thresholds::At, py::arg("hz"))
      .def(py::pickle([](const vyr::Thresholds& t) { return py::bytes(t.Serialize()); },
                      [](const py::bytes& b) { return vyr::Thresholds::Deserialize(std::string(b)); }));
  py::class_<vyr::Spectrum>(m, "Spectrum")
      .def(py::init<>())
      .def_static("of_log", &OfLog, py::arg("path"), py::arg("level_threshold"), py::arg("cut"), py::arg("thresholds"))
      .def("merge", [](vyr::Spectrum& s, const vyr::Spectrum& other) { WithoutGil([&] { s.Merge(other); }); },
           py::arg("other"))
      .def("files",
           [](const vyr::Spectrum& s) {
             py::list out;
             for (const std::string& f : s.Files()) out.append(py::bytes(f));
             return out;
           })
      .def("plan_bands", &vyr::Spectrum::PlanBands)
      .def("levels_without_frequency", &vyr::Spectrum::LevelsWithoutFrequency)
      .def("noise_thresholds", &vyr::NoiseThresholds, py::arg("margin_db"))
      .def("table", &Table, py::arg("by_band"), py::arg("occupied"), py::arg("top"))
      .def("to_bytes", [](const vyr::Spectrum& s) { return py::bytes(s.Serialize()); })
      .def_static("from_bytes", [](const py::bytes& b) { return vyr::Spectrum::Deserialize(std::string(b)); })
      .def(py::pickle([](const vyr::Spectrum& s) { return py::bytes(s.Serialize()); },
                      [](const py::bytes& b) { return vyr::Spectrum::Deserialize(std::string(b)); }));
}
