#include "vyr/PluginHost.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

#include <dlfcn.h>

#include "CWinApp.h"
#include "KelFSD.h"

namespace fs = std::filesystem;

CPluginHost::CPluginHost() { RegisterKelFSDTypeLib(); }

std::string CPluginHost::DefaultFolder() {
  std::error_code ec;
  fs::path exe = fs::read_symlink("/proc/self/exe", ec);
  if (ec) return "plugins";
  return (exe.parent_path() / "plugins").string();
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
    void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
      const char* why = dlerror();
      errors.push_back("cannot load plug-in " + path.string() + ": " + (why ? why : "unknown error"));
      continue;
    }
    // A module that refuses its start-up is unloaded again.
    if (!AfxModuleInitialised(path.stem().c_str())) {
      errors.push_back("plug-in " + path.string() + " refused to start");
      dlclose(handle);
      continue;
    }
    m_handles.push_back(handle);
    ++loaded;
  }
  return loaded;
}
