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
  // load, whose start-up refuses, or that register a data-file type or decode
  // device already registered, are reported in errors and skipped.
  // Returns the number of modules loaded.
  int LoadFolder(const std::string& folder, std::vector<std::string>& errors);

  // The default plug-in folder: "plugins" beside the running executable, or,
  // for an installed program without one, lib/kel4hytem/plugins under its prefix.
  static std::string DefaultFolder();

 private:
  // Loads one module; an empty text when it is kept, else why it is not. A
  // module that is refused, or that registers a data-file type or decode
  // device already registered, is unloaded with its registrations withdrawn.
  std::string LoadModule(const std::string& path, const std::string& name);

  std::vector<void*> m_handles;  // kept open for the life of the process
};
