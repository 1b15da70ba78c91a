// vyrhost._vyrhost: the decoding library for Python. The Python package wraps
// these functions; the arrays are handed to NumPy without a copy and every
// decode runs without the interpreter lock.
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <filesystem>
#include <memory>
#include <mutex>
#include <optional>
#include <set>

#include "Analytics.h"
#include "LogTables.h"
#include "MessageStream.h"
#include "PyHelpers.h"
#include "vyr/Formats.h"

namespace py = pybind11;

namespace {
// Loads each plug-in folder once; the modules stay loaded for the process.
int LoadPlugins(const std::string& given) {
  std::error_code ec;
  std::string folder = std::filesystem::weakly_canonical(given, ec).string();
  if (ec) folder = given;
  static std::mutex mutex;
  static std::set<std::string> loaded;
  std::lock_guard lock(mutex);
  if (loaded.count(folder)) return 0;
  std::vector<std::string> errors;
  int n = vyr::LoadPlugins(folder, errors);
  if (n == 0) {
    std::string why = "no plug-in could be loaded from " + folder;
    for (const std::string& e : errors) why += "; " + e;
    throw std::runtime_error(why);
  }
  loaded.insert(folder);
  return n;
}

py::dict Formats() {
  py::list types, devices;
  for (const vyr::DataFileType& t : vyr::DataFileTypes()) {
    py::list exts;
    for (const std::string& e : t.extensions) exts.append("." + e);
    types.append(py::dict(py::arg("name") = t.name, py::arg("long_name") = t.longName, py::arg("extensions") = exts,
                          py::arg("priority") = t.priority, py::arg("identifies_content") = t.identifiesContent));
  }
  for (const vyr::DecodeDevice& d : vyr::DecodeDevices()) {
    py::list classes;
    for (const vyr::MessageClass& c : d.classes)
      classes.append(py::dict(py::arg("id") = c.number, py::arg("name") = c.name, py::arg("role") = vyr::RoleName(c.role)));
    devices.append(py::dict(py::arg("name") = d.name, py::arg("device_type") = d.deviceType,
                            py::arg("message_classes") = classes));
  }
  return py::dict(py::arg("data_file_types") = types, py::arg("decode_devices") = devices);
}

vyr::DecodeSettings Settings(std::optional<double> threshold) {
  vyr::DecodeSettings s;
  if (threshold) s.levelThreshold = *threshold;
  return s;
}

// A row-major matrix of rows x bins, or None for one the log does not have.
py::object MatrixOrNone(std::vector<double>&& v, py::ssize_t rows, py::ssize_t bins) {
  if (v.empty() && rows * bins > 0) return py::none();
  return ToArray(std::move(v), {rows, bins});
}

py::dict TableToDict(LevelTable&& t) {
  auto rows = static_cast<py::ssize_t>(t.message.size());
  auto bins = static_cast<py::ssize_t>(t.bins.size());
  py::dict d;
  d["band"] = t.nBand;
  d["header"] = t.nHeader;
  d["bins"] = ToArray(std::move(t.bins));
  d["frequency_hz"] = ToArray(std::move(t.frequencyHz));
  d["frequency_mhz"] = ToArray(std::move(t.frequencyMHz));
  d["message"] = ToArray(std::move(t.message));
  d["time_ms"] = ToArray(std::move(t.timeMs));
  d["time"] = ToArray(std::move(t.time), {}, "datetime64[ms]");
  d["lat"] = ToArray(std::move(t.lat));
  d["lon"] = ToArray(std::move(t.lon));
  d["quality"] = ToArray(std::move(t.quality));
  d["level_dbm"] = ToArray(std::move(t.levelDbm), {rows, bins});
  d["min_dbm"] = MatrixOrNone(std::move(t.minDbm), rows, bins);
  d["max_dbm"] = MatrixOrNone(std::move(t.maxDbm), rows, bins);
  d["stddev_db"] = MatrixOrNone(std::move(t.stddevDb), rows, bins);
  return d;
}

py::list Tables(const std::string& path, std::optional<double> threshold, bool bChannels, const CutArgs& cutArgs,
              int jobs) {
  const vyr::LevelCut cut = MakeCut(cutArgs);
  std::vector<LevelTable> tables =
      WithoutGil([&] { return CollectTables(path, Settings(threshold), cut, bChannels, jobs); });
  py::list out;
  for (LevelTable& t : tables) out.append(TableToDict(std::move(t)));
  return out;
}

py::dict Columns(const std::string& path, std::optional<double> threshold, const CutArgs& cutArgs, int jobs) {
  const vyr::LevelCut cut = MakeCut(cutArgs);
  LevelColumns c = WithoutGil([&] { return CollectColumns(path, Settings(threshold), cut, jobs); });
  py::dict d;
  d["message"] = ToArray(std::move(c.message));
  d["time"] = ToArray(std::move(c.time), {}, "datetime64[ms]");
  d["time_ms"] = ToArray(std::move(c.timeMs));
  d["lat"] = ToArray(std::move(c.lat));
  d["lon"] = ToArray(std::move(c.lon));
  d["quality"] = ToArray(std::move(c.quality));
  d["band"] = ToArray(std::move(c.band));
  d["bin"] = ToArray(std::move(c.bin));
  d["frequency_hz"] = ToArray(std::move(c.frequencyHz));
  d["frequency_mhz"] = ToArray(std::move(c.frequencyMHz));
  d["level_dbm"] = ToArray(std::move(c.levelDbm));
  d["min_dbm"] = ToArray(std::move(c.minDbm));
  d["max_dbm"] = ToArray(std::move(c.maxDbm));
  d["stddev_db"] = ToArray(std::move(c.stddevDb));
  return d;
}

std::string Summary(const std::string& path, std::optional<double> threshold) {
  return WithoutGil([&] { return SummaryJson(path, Settings(threshold)); });
}

std::string Kind(const std::string& path, std::optional<double> threshold) {
  return WithoutGil([&] { return ProbeKind(path, Settings(threshold)); });
}
}  // namespace

PYBIND11_MODULE(_vyrhost, m) {
  m.doc() = "Radio measurement logs decoded through the host's plug-ins";
  // A refused log becomes vyrhost.LogError(path, code, message).
  py::register_exception_translator([](std::exception_ptr p) {
    try {
      if (p) std::rethrow_exception(p);
    } catch (const vyr::LogError& e) {
      // Paths are bytes to the library: back to str as the file system names them.
      py::object fsdecode = py::module_::import("os").attr("fsdecode");
      py::object cls = py::module_::import("vyrhost._errors").attr("LogError");
      py::object err = cls(fsdecode(py::bytes(e.path)), e.code, fsdecode(py::bytes(e.what())));
      PyErr_SetObject(cls.ptr(), err.ptr());
    }
  });
  m.def("load_plugins", &LoadPlugins, py::arg("folder"), "Loads the plug-ins of a folder once.");
  m.def("formats", &Formats, "The data-file types and decode devices the plug-ins register.");
  m.def("summary_json", &Summary, py::arg("path"), py::arg("level_threshold"));
  m.def("probe_kind", &Kind, py::arg("path"), py::arg("level_threshold"));
  m.def("tables", &Tables, py::arg("path"), py::arg("level_threshold"), py::arg("channels"), py::arg("cut"),
        py::arg("jobs"));
  m.def("columns", &Columns, py::arg("path"), py::arg("level_threshold"), py::arg("cut"), py::arg("jobs"));
  BindAnalytics(m);
  py::class_<CMessageStream>(m, "MessageStream")
      .def(py::init([](std::string path, std::optional<double> threshold) {
             return std::make_unique<CMessageStream>(std::move(path), Settings(threshold));
           }),
           py::arg("path"), py::arg("level_threshold"))
      .def("next",
           [](CMessageStream& s) -> std::optional<py::bytes> {
             std::optional<std::string> r = WithoutGil([&] { return s.Next(); });
             if (!r) return std::nullopt;
             return py::bytes(*r);
           })
      .def("close", [](CMessageStream& s) {
        WithoutGil([&] { s.Close(); });
      });
}
