// Loads plug-in modules into the host process. A module announces its data-
// file types and decode devices while it loads, through the registries of the
// host frameworks.
#pragma once

#include <string>
#include <vector>

class CPluginHost {
 public:
  // Registers the type libraries that the host provides. Call once, first.
  CPluginHost();
  CPluginHost(const CPluginHost&) = delete;
  CPluginHost& operator=(const CPluginHost&) = delete;

  // Loads every "*.so" in the folder, in name order. Modules that fail to
  // load, or whose start-up refuses, are reported in errors and skipped.
  // Returns the number of modules loaded.
  int LoadFolder(const std::string& folder, std::vector<std::string>& errors);

  // The default plug-in folder: "plugins" beside the running executable.
  static std::string DefaultFolder();

 private:
  std::vector<void*> m_handles;  // kept open for the life of the process
};
