#include "vyr/PluginHost.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

#include <dlfcn.h>

#include "CWinApp.h"
#include "DataFileFactory.h"
#include "VyrDecodeDevice.h"
#include "KelFSD.h"

namespace fs = std::filesystem;

CPluginHost::CPluginHost() { RegisterKelFSDTypeLib(); }

std::string CPluginHost::DefaultFolder() {
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

int CPluginHost::LoadFolder(const std::string& folder, std::vector<std::string>& errors) {
  std::error_code ec;
  std::vector<fs::path> modules;
  for (const auto& entry : fs::directory_iterator(folder, ec))
    if (entry.path().extension() == ".so") modules.push_back(entry.path());
  if (ec) {
    errors.push_back("cannot read plug-in folder " + folder + ": " + ec.message());
    return 0;
  }
  std::sort(modules.begin(), modules.end());
  int loaded = 0;
  for (const fs::path& path : modules) {
    std::string why = LoadModule(path.string(), path.stem().string());
    if (why.empty()) ++loaded;
    else errors.push_back(why);
  }
  return loaded;
}

namespace {
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
}  // namespace

std::string CPluginHost::LoadModule(const std::string& path, const std::string& name) {
  size_t nFirstFile = CDataFileFactoryHelper::GetRegistrationCount();
  size_t nFirstDevice = CVyrDecodeDeviceFactoryHelper::GetRegistrationCount();
  // What a module registered goes with it when it is not kept.
  auto withdraw = [&] {
    CDataFileFactoryHelper::WithdrawFrom(nFirstFile);
    CVyrDecodeDeviceFactoryHelper::WithdrawFrom(nFirstDevice);
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
    m_handles.push_back(handle);
    return "";
  }
  withdraw();
  dlclose(handle);
  return why;
}
