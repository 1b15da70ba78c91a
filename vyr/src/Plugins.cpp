#include <dlfcn.h>

#include <algorithm>
#include <filesystem>
#include <memory>
#include <mutex>
#include <system_error>

#include "CWinApp.h"
#include "DataFileFactory.h"
#include "FormatDriver.h"
#include "KelFSD.h"
#include "VyrDecodeDevice.h"
#include "Vocabulary.h"
#include "vyr/Formats.h"

namespace fs = std::filesystem;

namespace vyr {

namespace {
// The type libraries the host provides, registered once before any module.
void RegisterHostTypeLibraries() {
  static std::once_flag once;
  std::call_once(once, [] { RegisterKelFSDTypeLib(); });
}

// A data-file type or decode device that a module registered from the
// nFirst-th registration on and that an earlier module registered already.
std::string FindDuplicate(size_t nFirstFile, size_t nFirstDevice) {
  auto files = CDataFileFactoryHelper::GetRegistrations();
  for (size_t i = nFirstFile; i < files.size(); ++i)
    for (size_t k = 0; k < nFirstFile; ++k)
      if (files[k].strTypeName == files[i].strTypeName)
        return std::string("the data-file type \"") + files[i].strTypeName.GetString() + "\"";
  auto devices = CVyrDecodeDeviceFactoryHelper::GetRegistrations();
  for (size_t i = nFirstDevice; i < devices.size(); ++i)
    for (size_t k = 0; k < nFirstDevice; ++k)
      if (devices[k].info.m_nDeviceType == devices[i].info.m_nDeviceType)
        return "the decode device type " + std::to_string(devices[i].info.m_nDeviceType);
  return "";
}

// Loads one module; an empty text when it is kept, else why it is not. A
// module that is refused, or that registers a data-file type or decode device
// already registered, is unloaded with its registrations withdrawn. A module
// that is kept stays loaded for the life of the process.
std::string LoadModule(const std::string& path, const std::string& name) {
  const size_t nFirstFile = CDataFileFactoryHelper::GetRegistrationCount();
  const size_t nFirstDevice = CVyrDecodeDeviceFactoryHelper::GetRegistrationCount();
  const size_t nFirstDriver = CFormatDriverRegistry::GetCount();
  auto withdraw = [&] {
    CDataFileFactoryHelper::WithdrawFrom(nFirstFile);
    CVyrDecodeDeviceFactoryHelper::WithdrawFrom(nFirstDevice);
    CFormatDriverRegistry::WithdrawFrom(nFirstDriver);
  };
  void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!handle) {
    const char* why = dlerror();
    withdraw();
    return "cannot load plug-in " + path + ": " + (why ? why : "unknown error");
  }
  std::string why;
  if (!AfxModuleInitialised(name.c_str())) why = "plug-in " + path + " refused to start";
  else if (std::string dup = FindDuplicate(nFirstFile, nFirstDevice); !dup.empty())
    why = "plug-in " + path + " not loaded: it registers " + dup + ", which a plug-in loaded before registers already";
  if (why.empty()) {
    // A module without a declaration is still used, by its extensions alone.
    CFormatDriverRegistry::Add(static_cast<const KelFormatDriver*>(dlsym(handle, KEL_FORMAT_DRIVER_SYMBOL)));
    return "";
  }
  withdraw();
  dlclose(handle);
  return why;
}

std::vector<MessageClass> ClassesOf(const CVyrDecodeDeviceFactoryHelper::Registration& reg) {
  std::vector<MessageClass> out;
  if (!reg.pfnCreate) return out;
  std::unique_ptr<CVyrDecodeDevice> device(reg.pfnCreate(reg.info));
  if (!device) return out;
  const detail::Vocabulary& v = detail::Vocabulary::Of(CFormatDriverRegistry::FindByDeviceType(reg.info.m_nDeviceType));
  CVyrDeviceMsgClassInfoArray classes;
  device->GetSupportedMsgClassInfo(classes);
  for (int i = 0; i < classes.GetSize(); ++i)
    out.push_back({classes[i].m_nClassId, v.RoleOf(classes[i].m_nClassId), classes[i].m_strName.str()});
  return out;
}
}  // namespace

const char* RoleName(Role role) {
  switch (role) {
    case Role::Header: return "header";
    case Role::Measurement: return "measurement";
    default: return "other";
  }
}

std::string DefaultPluginFolder() {
  std::error_code ec;
  fs::path exe = fs::read_symlink("/proc/self/exe", ec);
  if (ec) return "plugins";
  // In the build tree the plug-ins lie beside the program; an installed
  // program finds them under its prefix.
  const fs::path beside = exe.parent_path() / "plugins";
  const fs::path installed = (exe.parent_path() / KEL_INSTALLED_PLUGIN_DIR).lexically_normal();
  if (!fs::is_directory(beside, ec) && fs::is_directory(installed, ec)) return installed.string();
  return beside.string();
}

int LoadPlugins(const std::string& folder, std::vector<std::string>& errors) {
  RegisterHostTypeLibraries();
  std::error_code ec;
  std::vector<fs::path> modules;
  for (const auto& entry : fs::directory_iterator(folder, ec))
    if (entry.path().extension() == ".so") modules.push_back(entry.path());
  if (ec) {
    errors.push_back("cannot read plug-in folder " + folder + ": " + ec.message());
    return 0;
  }
  std::sort(modules.begin(), modules.end());
  // One folder at a time: the registries' counts mark what a module added.
  static std::mutex loading;
  std::lock_guard<std::mutex> lock(loading);
  int loaded = 0;
  for (const fs::path& path : modules) {
    std::string why = LoadModule(path.string(), path.stem().string());
    if (why.empty()) ++loaded;
    else errors.push_back(why);
  }
  return loaded;
}

std::vector<DataFileType> DataFileTypes() {
  std::vector<DataFileType> out;
  for (const auto& r : CDataFileFactoryHelper::GetRegistrations()) {
    DataFileType t;
    t.name = r.strTypeName.str();
    t.priority = r.nPriority;
    for (const CString& e : r.extensions)
      if (!e.IsEmpty()) t.extensions.push_back(e.str());
    if (const KelFormatDriver* d = CFormatDriverRegistry::FindByTypeName(r.strTypeName)) {
      t.longName = d->pszLongName ? d->pszLongName : "";
      t.identifiesContent = d->pfnIdentify != nullptr;
    }
    out.push_back(std::move(t));
  }
  return out;
}

std::vector<DecodeDevice> DecodeDevices() {
  std::vector<DecodeDevice> out;
  for (const auto& r : CVyrDecodeDeviceFactoryHelper::GetRegistrations())
    out.push_back({r.info.m_strName.str(), r.info.m_nDeviceType, ClassesOf(r)});
  return out;
}

std::vector<MessageClass> MessageClassesOf(int deviceType) {
  CVyrDecodeDeviceFactoryHelper::Registration reg;
  if (!CVyrDecodeDeviceFactoryHelper::FindByDeviceType(deviceType, reg)) return {};
  return ClassesOf(reg);
}

}  // namespace vyr
