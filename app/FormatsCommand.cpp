#include <cstdio>
#include <string>

#include "Commands.h"
#include "vyr/Formats.h"

namespace {
std::string DescribeClasses(const vyr::DecodeDevice& d) {
  std::string out;
  for (const vyr::MessageClass& c : d.classes) {
    if (!out.empty()) out += ", ";
    out += std::to_string(c.number) + " \"" + c.name + "\"";
  }
  return out;
}

struct FormatsCommandSettings {
  std::vector<std::string> files;  // none
};
}  // namespace

int RunFormats(const GlobalOptions& global, const std::vector<std::string>& args) {
  static const CommandSpec<FormatsCommandSettings> table{{kFormatsCommand.info, "", nullptr, nullptr, nullptr}, {}, nullptr};
  FormatsCommandSettings settings;
  if (ParseOutcome outcome = ParseCommand(table, args, settings); outcome != ParseOutcome::Run)
    return ExitWithoutRunning(outcome);
  if (!LoadPlugins(global)) return kExitFileFailed;
  std::printf("Data-file types:\n");
  for (const vyr::DataFileType& t : vyr::DataFileTypes()) {
    std::string exts;
    for (const std::string& e : t.extensions) exts += (exts.empty() ? "." : ", .") + e;
    std::printf("  %-12s %s\n", t.name.c_str(), exts.c_str());
  }
  std::printf("Decode devices:\n");
  for (const vyr::DecodeDevice& d : vyr::DecodeDevices())
    std::printf("  %-16s device type %d, message classes: %s\n", d.name.c_str(), d.deviceType, DescribeClasses(d).c_str());
  return kExitOk;
}

const Command kFormatsCommand = {{"formats", "list the data-file types and decode devices of the plug-ins"}, RunFormats};
