// vyrhost: a command-line host for log-format plug-ins. It loads the plug-in
// modules, then reads, decodes and shows logs through them.
#include <cerrno>
#if defined(__GLIBC__)
#include <malloc.h>
#endif
#include <cstdio>
#include <new>
#include <string>
#include <vector>

#include "Commands.h"
#include "OutputFile.h"
#include "vyr/Formats.h"

namespace {
const Command* const kCommands[] = {&kFormatsCommand, &kDecodeCommand, &kInfoCommand, &kExportCommand,
                                    &kReportCommand, &kStatsCommand};

const CommandInfo kProgram = {"", "read radio measurement logs through log-format plug-ins"};

// The overview: what the program does, its commands and the exit status;
// each command's options are in its own help.
std::string Description() {
  std::string out =
      "Reads radio measurement logs through the log-format plug-ins in DIR\n"
      "(default: the folder 'plugins' beside the vyrhost program, or\n"
      "lib/kel4hytem/plugins under the prefix of an installed vyrhost).\n"
      "\n"
      "Commands (options and details: 'vyrhost COMMAND --help'):\n";
  for (const Command* c : kCommands) {
    AppendHelpColumn(out, std::string("  ") + c->info.pszName);
    AppendWrapped(out, c->info.pszSummary, kHelpColumn, kHelpColumn);
  }
  return out;
}

const char kExitNotes[] =
    "Exit status: 0 when every file was decoded and every output written, 1 when\n"
    "a file was refused or could not be read (the other files are still processed)\n"
    "or an output could not be written, 2 on a usage error.\n";

const CommandSpec<GlobalOptions>& GlobalTable() {
  static const std::string description = Description();
  static const CommandSpec<GlobalOptions> table{
      {kProgram, "COMMAND [OPTIONS] [FILE...]", nullptr, description.c_str(), kExitNotes, true},
      {{{"--plugins", "", "DIR", "load plug-ins from DIR"},
        [](GlobalOptions& g, const std::string& v, std::string& why) {
          if (v.empty()) why = "the plug-in folder name is empty";
          g.strPluginFolder = v;
          return !v.empty();
        }}},
      nullptr};
  return table;
}

int RunCommand(const std::vector<std::string>& argv) {
  GlobalOptions global;
  ParseOutcome outcome = ParseCommand(GlobalTable(), argv, global);
  if (outcome != ParseOutcome::Run) return ExitWithoutRunning(outcome);
  std::string name = global.files[0];
  std::vector<std::string> args(global.files.begin() + 1, global.files.end());
  // "vyrhost help" is the overview, "vyrhost help COMMAND" the command's help.
  if (name == "help") {
    if (args.empty()) return RunCommand({"--help"});
    name = args[0];
    args = {"--help"};
  }
  for (const Command* c : kCommands)
    if (name == c->info.pszName) return c->pfnRun(global, args);
  PrintUsageError(GlobalTable(), "unknown command '" + name + "'");
  return kExitUsage;
}
}  // namespace

bool LoadPlugins(const GlobalOptions& global) {
  std::vector<std::string> errors;
  std::string folder = global.strPluginFolder.empty() ? vyr::DefaultPluginFolder() : global.strPluginFolder;
  int loaded = vyr::LoadPlugins(folder, errors);
  for (const std::string& e : errors) std::fprintf(stderr, "vyrhost: %s\n", e.c_str());
  if (loaded == 0) {
    std::fprintf(stderr, "vyrhost: no plug-in could be loaded from %s\n", folder.c_str());
    return false;
  }
  return true;
}

// Whatever a command wrote to standard output must have arrived: a failed
// write (a full disk, a closed descriptor) is an error, never a silent loss.
// A closed pipe ends the program quietly through SIGPIPE.
// A log decoded in pieces allocates and frees blocks of output and records
// of up to a few MiB on several threads, thousands of times; by default
// glibc maps each one afresh and gives it back, so every page of it faults
// in again (a third of the time of a large export). Kept for reuse instead.
void KeepFreedMemoryForReuse() {
#if defined(__GLIBC__)
  mallopt(M_MMAP_THRESHOLD, 4 << 20);
  mallopt(M_TRIM_THRESHOLD, 128 << 20);
#endif
}

int main(int argc, char** argv) {
  KeepFreedMemoryForReuse();
  if (!OpenClosedStandardDescriptors()) return kExitFileFailed;
  COutputFile::InstallInterruptCleanup();
  int rc;
  try {
    rc = RunCommand(std::vector<std::string>(argv + 1, argv + argc));
  } catch (const std::bad_alloc&) {
    // Unwinding removes the temporary file of a named output.
    std::fprintf(stderr, "vyrhost: out of memory\n");
    rc = kExitFileFailed;
  }
  bool failedBefore = std::ferror(stdout) != 0;
  if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
    if (!failedBefore || rc == kExitOk) std::fprintf(stderr, "%s\n", DescribeSystemError("standard output", errno).c_str());
    return rc == kExitOk ? kExitFileFailed : rc;
  }
  return rc;
}
