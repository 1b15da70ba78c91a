// The commands of vyrhost. Each returns the process exit code.
#pragma once

#include <string>
#include <vector>

struct GlobalOptions {
  std::string strPluginFolder;
};

int RunFormats(const GlobalOptions& global, const std::vector<std::string>& args);
int RunDecode(const GlobalOptions& global, const std::vector<std::string>& args);
int RunInfo(const GlobalOptions& global, const std::vector<std::string>& args);
int RunExport(const GlobalOptions& global, const std::vector<std::string>& args);
int RunReport(const GlobalOptions& global, const std::vector<std::string>& args);

// Loads the plug-ins, reporting problems on standard error. False when none
// could be loaded.
bool LoadPlugins(const GlobalOptions& global);

constexpr int kExitOk = 0;
constexpr int kExitFileFailed = 1;
constexpr int kExitUsage = 2;
