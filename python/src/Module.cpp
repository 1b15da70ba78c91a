// vyrhost._vyrhost: the decoding library for Python. The Python package wraps
// these functions; the arrays are handed to NumPy without a copy and every
// decode runs without the interpreter lock.
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <filesystem>
#include <memory>
#include <mutex>
#include <set>

#include "DataFileFactory.h"
#include "LogTables.h"
#include "MessageStream.h"
#include "VyrDecodeDevice.h"
#include "vyr/PluginHost.h"

namespace py = pybind11;

namespace {
// Hands a vector to NumPy: the array keeps the vector alive through a capsule.
template <typename T>
py::array ToArray(std::vector<T>&& v, std::vector<py::ssize_t> shape = {}, const char* dtype = nullptr) {
  auto* owned = new std::vector<T>(std::move(v));
  py::capsule owner(owned, [](void* p) { delete static_cast<std::vector<T>*>(p); });
  if (shape.empty()) shape = {static_cast<py::ssize_t>(owned->size())};
  std::vector<py::ssize_t> strides(shape.size(), sizeof(T));
  for (size_t i = shape.size() - 1; i > 0; --i) strides[i - 1] = strides[i] * shape[i];
  py::dtype dt = dtype ? py::dtype(dtype) : py::dtype::of<T>();
  return py::array(dt, shape, strides, owned->data(), owner);
}

// Loads each plug-in folder once; the modules stay loaded for the process.
int LoadPlugins(const std::string& given) {
  std::error_code ec;
  std::string folder = std::filesystem::weakly_canonical(given, ec).string();
  if (ec) folder = given;
  static std::mutex mutex;
  static CPluginHost host;
  static std::set<std::string> loaded;
  std::lock_guard lock(mutex);
  if (loaded.count(folder)) return 0;
  std::vector<std::string> errors;
  int n = host.LoadFolder(folder, errors);
  if (n == 0) {
    std::string why = "no plug-in could be loaded from " + folder;
    for (const std::string& e : errors) why += "; " + e;
    throw std::runtime_error(why);
  }
  loaded.insert(folder);
  return n;
}

void DeviceClasses(const CVyrDecodeDeviceFactoryHelper::Registration& reg, py::list& out) {
  if (!reg.pfnCreate) return;
  std::unique_ptr<CVyrDecodeDevice> device(reg.pfnCreate(reg.info));
  if (!device) return;
  CVyrDeviceMsgClassInfoArray classes;
  device->GetSupportedMsgClassInfo(classes);
  for (int i = 0; i < classes.GetSize(); ++i)
    out.append(py::dict(py::arg("id") = classes[i].m_nClassId, py::arg("name") = classes[i].m_strName.str()));
}

py::dict Formats() {
  py::list types, devices;
  for (const auto& r : CDataFileFactoryHelper::GetRegistrations()) {
    py::list exts;
    for (const CString& e : r.extensions)
      if (!e.IsEmpty()) exts.append("." + e.str());
    types.append(py::dict(py::arg("name") = r.strTypeName.str(), py::arg("extensions") = exts));
  }
  for (const auto& r : CVyrDecodeDeviceFactoryHelper::GetRegistrations()) {
    py::list classes;
    DeviceClasses(r, classes);
    devices.append(py::dict(py::arg("name") = r.info.m_strName.str(), py::arg("device_type") = r.info.m_nDeviceType,
                            py::arg("message_classes") = classes));
  }
  return py::dict(py::arg("data_file_types") = types, py::arg("decode_devices") = devices);
}

py::dict TableToDict(LevelTable&& t) {
  auto rows = static_cast<py::ssize_t>(t.message.size());
  auto bins = static_cast<py::ssize_t>(t.bins.size());
  py::dict d;
  d["band"] = t.nBand;
  d["header"] = t.nHeader;
  d["bins"] = ToArray(std::vector<std::int64_t>(t.bins.begin(), t.bins.end()));
  d["frequency_mhz"] = ToArray(std::move(t.frequencyMHz));
  d["message"] = ToArray(std::move(t.message));
  d["time_ms"] = ToArray(std::move(t.timeMs));
  d["time"] = ToArray(std::move(t.time), {}, "datetime64[ms]");
  d["lat"] = ToArray(std::move(t.lat));
  d["lon"] = ToArray(std::move(t.lon));
  d["quality"] = ToArray(std::move(t.quality));
  d["level_dbm"] = ToArray(std::move(t.levelDbm), {rows, bins});
  return d;
}

py::list Tables(const std::string& path, std::optional<double> threshold, bool bChannels) {
  std::vector<LevelTable> tables;
  {
    py::gil_scoped_release release;
    tables = CollectTables(path, threshold, bChannels);
  }
  py::list out;
  for (LevelTable& t : tables) out.append(TableToDict(std::move(t)));
  return out;
}

py::dict Columns(const std::string& path, std::optional<double> threshold) {
  LevelColumns c;
  {
    py::gil_scoped_release release;
    c = CollectColumns(path, threshold);
  }
  py::dict d;
  d["message"] = ToArray(std::move(c.message));
  d["time"] = ToArray(std::move(c.time), {}, "datetime64[ms]");
  d["time_ms"] = ToArray(std::move(c.timeMs));
  d["lat"] = ToArray(std::move(c.lat));
  d["lon"] = ToArray(std::move(c.lon));
  d["quality"] = ToArray(std::move(c.quality));
  d["band"] = ToArray(std::move(c.band));
  d["bin"] = ToArray(std::move(c.bin));
  d["frequency_mhz"] = ToArray(std::move(c.frequencyMHz));
  d["level_dbm"] = ToArray(std::move(c.levelDbm));
  return d;
}

std::string Summary(const std::string& path, std::optional<double> threshold) {
  py::gil_scoped_release release;
  return SummaryJson(path, threshold);
}

std::string Kind(const std::string& path, std::optional<double> threshold) {
  py::gil_scoped_release release;
  return ProbeKind(path, threshold);
}
}  // namespace

PYBIND11_MODULE(_vyrhost, m) {
  m.doc() = "HYTEM logs decoded by the Kel4HYTEM plug-in";
  // A refused log becomes vyrhost.LogError(path, code, message).
  py::register_exception_translator([](std::exception_ptr p) {
    try {
      if (p) std::rethrow_exception(p);
    } catch (const LogFailure& e) {
      py::object cls = py::module_::import("vyrhost._errors").attr("LogError");
      py::object err = cls(e.path, e.code, e.what());
      PyErr_SetObject(cls.ptr(), err.ptr());
    }
  });
  m.def("load_plugins", &LoadPlugins, py::arg("folder"), "Loads the plug-ins of a folder once.");
  m.def("formats", &Formats, "The data-file types and decode devices the plug-ins register.");
  m.def("summary_json", &Summary, py::arg("path"), py::arg("level_threshold"));
  m.def("probe_kind", &Kind, py::arg("path"), py::arg("level_threshold"));
  m.def("tables", &Tables, py::arg("path"), py::arg("level_threshold"), py::arg("channels"));
  m.def("columns", &Columns, py::arg("path"), py::arg("level_threshold"));
  py::class_<CMessageStream>(m, "MessageStream")
      .def(py::init<std::string, std::optional<double>>(), py::arg("path"), py::arg("level_threshold"))
      .def("next",
           [](CMessageStream& s) -> std::optional<py::bytes> {
             std::optional<std::string> r;
             {
               py::gil_scoped_release release;
               r = s.Next();
             }
             if (!r) return std::nullopt;
             return py::bytes(*r);
           })
      .def("close", [](CMessageStream& s) {
        py::gil_scoped_release release;
        s.Close();
      });
}
