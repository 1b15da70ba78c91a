// vyrhost: a command-line host for log-format plug-ins. It loads the plug-in
// modules, then reads, decodes and shows logs through them.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "Commands.h"
#include "OutputFile.h"
#include "vyr/PluginHost.h"

namespace {
const char kUsage[] =
    "usage: vyrhost [--plugins DIR] COMMAND [OPTIONS] [FILE...]\n"
    "\n"
    "Reads radio measurement logs through the log-format plug-ins in DIR\n"
    "(default: the folder 'plugins' beside the vyrhost program, or\n"
    "lib/kel4hytem/plugins under the prefix of an installed vyrhost).\n"
    "\n"
    "Commands:\n"
    "  formats                 list the data-file types and decode devices of the plug-ins\n"
    "  decode FILE...          decode every message of each log\n"
    "      --format text       a readable listing of every message (the default)\n"
    "      --format jsonl      one JSON object per file start and per message\n"
    "      --format summary    one JSON line of counts per file\n"
    "      --level-threshold DBM\n"
    "                          the weakest scan level kept, in dBm (default: -inf,\n"
    "                          which keeps every level the scanner reports)\n"
    "      --jobs N, -jN       decode N files at a time (1 to 256); the output is the\n"
    "                          same as with one job, in the order the files were given\n"
    "  info FILE...            what each log holds: type, software version, times,\n"
    "                          message counts, header fields, columns, bands or channels\n"
    "      --format text|json  a readable listing (the default) or one JSON line per file\n"
    "  export FORMAT FILE...   the levels that the measurement messages leave, all logs\n"
    "                          into one output, in one of these formats:\n"
    "      --csv               one row per level, with a header line; for\n"
    "                          spreadsheets, pandas, DuckDB and Spark\n"
    "      --jsonl             the same rows as JSON Lines; for DuckDB, Spark and jq\n"
    "      --geojson           one point per message with a position (GeoJSON); for\n"
    "                          QGIS, GDAL's ogr2ogr (GeoPackage, KML, Shapefile)\n"
    "      --sweeps            one rtl_power CSV line per band of a message; for\n"
    "                          the heat-map and SDR tools that read rtl_power\n"
    "      -o OUT              write to OUT instead of standard output\n"
    "      --level-threshold DBM  as for decode\n"
    "  report FILE...          one self-contained HTML page: summary, waterfall and\n"
    "                          spectrum per band, strongest signals, channel levels,\n"
    "                          GPS track; for several logs one campaign page: the\n"
    "                          logs, all routes on one map, the spectrum of each\n"
    "                          frequency plan over its logs, the strongest signals\n"
    "                          and each log's section\n"
    "      -o OUT.html         the page to write (default: the log's name with .html,\n"
    "                          or campaign.html for several logs, in the current folder)\n"
    "      --threshold DBM     signal threshold of the strongest-signals table (default -80)\n"
    "      --level-threshold DBM  as for decode\n"
    "      --jobs N, -jN       decode N logs at a time (1 to 256, default: the number\n"
    "                          of cores); the page is the same whatever N\n"
    "      --tiles URL         draw map tiles from URL ({z}/{x}/{y}) under the routes;\n"
    "                          the page then loads images from that host only\n"
    "\n"
    "Options:\n"
    "  --plugins DIR           load plug-ins from DIR\n"
    "  -h, --help              show this help (also after a command)\n"
    "\n"
    "Numbers (DBM): decimal, such as -95 or -92.5; inf and -inf are accepted, NaN,\n"
    "hexadecimal and values beyond the range of a double are not. OUT '-' is\n"
    "standard output.\n"
    "\n"
    "Exit status: 0 when every file was decoded and every output written, 1 when\n"
    "a file was refused or could not be read (the other files are still processed)\n"
    "or an output could not be written, 2 on a usage error.\n";

bool HasPluginOption(int argc, char** argv) {
  for (int k = 1; k < argc && argv[k][0] == '-'; ++k) {
    if (std::strcmp(argv[k], "--plugins") == 0 || std::strncmp(argv[k], "--plugins=", 10) == 0) return true;
  }
  return false;
}

CPluginHost& Host() {
  static CPluginHost host;
  return host;
}
}  // namespace

bool LoadPlugins(const GlobalOptions& global) {
  std::vector<std::string> errors;
  std::string folder = global.strPluginFolder.empty() ? CPluginHost::DefaultFolder() : global.strPluginFolder;
  int loaded = Host().LoadFolder(folder, errors);
  for (const std::string& e : errors) std::fprintf(stderr, "vyrhost: %s\n", e.c_str());
  if (loaded == 0) {
    std::fprintf(stderr, "vyrhost: no plug-in could be loaded from %s\n", folder.c_str());
    return false;
  }
  return true;
}

namespace {
int RunCommand(int argc, char** argv) {
  GlobalOptions global;
  int i = 1;
  for (; i < argc && argv[i][0] == '-'; ++i) {
    std::string a = argv[i];
    if (a == "-h" || a == "--help") {
      std::fputs(kUsage, stdout);
      return kExitOk;
    }
    if (a == "--plugins" && i + 1 < argc) {
      global.strPluginFolder = argv[++i];
    } else if (a.rfind("--plugins=", 0) == 0) {
      global.strPluginFolder = a.substr(std::strlen("--plugins="));
    } else if (a == "--plugins") {
      std::fprintf(stderr, "vyrhost: the option '--plugins' needs a folder\n\n%s", kUsage);
      return kExitUsage;
    } else {
      std::fprintf(stderr, "vyrhost: unknown option '%s'\n\n%s", a.c_str(), kUsage);
      return kExitUsage;
    }
  }
  if (i >= argc) {
    std::fputs(kUsage, stderr);
    return kExitUsage;
  }
  if (global.strPluginFolder.empty() && HasPluginOption(argc, argv)) {
    std::fprintf(stderr, "vyrhost: the plug-in folder name is empty\n\n%s", kUsage);
    return kExitUsage;
  }
  std::string command = argv[i++];
  std::vector<std::string> args(argv + i, argv + argc);
  // "vyrhost COMMAND --help" is the help, whatever else is given.
  for (const std::string& a : args) {
    if (a == "--") break;
    if (a == "-h" || a == "--help") {
      std::fputs(kUsage, stdout);
      return kExitOk;
    }
  }
  if (command == "formats") return RunFormats(global, args);
  if (command == "decode") return RunDecode(global, args);
  if (command == "info") return RunInfo(global, args);
  if (command == "export") return RunExport(global, args);
  if (command == "report") return RunReport(global, args);
  if (command == "help") {
    std::fputs(kUsage, stdout);
    return kExitOk;
  }
  std::fprintf(stderr, "vyrhost: unknown command '%s'\n\n%s", command.c_str(), kUsage);
  return kExitUsage;
}
}  // namespace

// Whatever a command wrote to standard output must have arrived: a failed
// write (a full disk, a closed descriptor) is an error, never a silent loss.
// A closed pipe ends the program quietly through SIGPIPE.
int main(int argc, char** argv) {
  COutputFile::InstallInterruptCleanup();
  int rc;
  try {
    rc = RunCommand(argc, argv);
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
