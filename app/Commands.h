// The commands of vyrhost. Each parses its arguments through its option
// table (CommandLine.h) and returns the process exit code.
#pragma once

#include <string>
#include <vector>

#include "CommandLine.h"
#include "vyr/Log.h"

struct GlobalOptions {
  std::string strPluginFolder;
  std::vector<std::string> files;  // the command and its arguments
};

struct Command {
  CommandInfo info;
  int (*pfnRun)(const GlobalOptions& global, const std::vector<std::string>& args);
};

extern const Command kFormatsCommand;
extern const Command kDecodeCommand;
extern const Command kInfoCommand;
extern const Command kExportCommand;
extern const Command kReportCommand;
extern const Command kStatsCommand;

// Loads the plug-ins, reporting problems on standard error. False when none
// could be loaded.
bool LoadPlugins(const GlobalOptions& global);

// The settings of a command's decodes: scan levels kept from the threshold
// on (dBm).
inline vyr::DecodeSettings DecodeSettingsWith(double dLevelThresholdDbm) {
  vyr::DecodeSettings s;
  s.levelThreshold = dLevelThresholdDbm;
  return s;
}

constexpr int kExitOk = 0;
constexpr int kExitFileFailed = 1;
constexpr int kExitUsage = 2;

// The exit code of a parse that does not run the command.
inline int ExitWithoutRunning(ParseOutcome outcome) { return outcome == ParseOutcome::Help ? kExitOk : kExitUsage; }
