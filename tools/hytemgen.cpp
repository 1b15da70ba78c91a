// hytemgen: writes a synthetic HYTEM log of any size, deterministically.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string_view>

#include "HytemGenArguments.h"
#include "HytemLogGenerator.h"

namespace {

constexpr char kUsage[] =
    "Usage: hytemgen [options]\n"
    "Writes a synthetic HYTEM log; the same options always give the same bytes.\n"
    "\n"
    "  --kind scan|channels|stats  kind of log (default scan)\n"
    "  --bands N                   scan bands, measured in turn (default 2)\n"
    "  --bins N                    levels per scan line (default 100)\n"
    "  --lines N                   measurement lines (default 100)\n"
    "  --size MB                   instead of --lines: stop when the log reaches\n"
    "                              this size in MiB (fractions allowed)\n"
    "  --crlf                      CR LF line ends (default LF)\n"
    "  --seed N                    seed of the levels and the route (default 1)\n"
    "  --start YYYY-MM-DDTHH:MM:SS date and time of the first line, 1969 to 2068\n"
    "                              (default 2005-03-15T08:00:00; without a time\n"
    "                              it is midnight, without seconds :00)\n"
    "  --origin LAT,LON            where the route starts, decimal degrees, south\n"
    "                              and west negative (default 48.852,2.351)\n"
    "  --shape survey|fixed        survey (default): a drive through town, a noise\n"
    "                              floor with its spread and carriers, steady,\n"
    "                              bursty and one fading with distance; fixed:\n"
    "                              every bin keeps one level and the position\n"
    "                              hardly moves, the logs of earlier versions\n"
    "                              byte for byte\n"
    "  -o FILE                     output file (default standard output)\n"
    "  --help                      this text\n";

bool ParseInteger(const char* psz, long long nMin, long long& nValue) {
  char* end = nullptr;
  errno = 0;
  const long long n = std::strtoll(psz, &end, 10);
  if (errno != 0 || end == psz || *end != '\0' || n < nMin) return false;
  nValue = n;
  return true;
}

bool ParseSizeMiB(const char* psz, std::uint64_t& nBytes) {
  char* end = nullptr;
  const double d = std::strtod(psz, &end);
  if (end == psz || *end != '\0' || !(d > 0.0) || d > 1048576.0) return false;  // up to 1 TiB
  nBytes = static_cast<std::uint64_t>(d * 1048576.0);
  return nBytes > 0;
}

bool ParseKind(std::string_view kind, HytemLogKind& result) {
  if (kind == "scan") result = HytemLogKind::kScan;
  else if (kind == "channels") result = HytemLogKind::kChannels;
  else if (kind == "stats") result = HytemLogKind::kStats;
  else return false;
  return true;
}

int Fail(const char* pszWhat, const char* pszArg) {
  std::fprintf(stderr, "hytemgen: %s%s%s\nTry 'hytemgen --help'.\n", pszWhat, pszArg ? ": " : "",
               pszArg ? pszArg : "");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  HytemGenOptions options;
  const char* pszOutput = nullptr;
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (arg == "--help" || arg == "-h") {
      std::fputs(kUsage, stdout);
      return 0;
    }
    if (arg == "--crlf") {
      options.bCrlf = true;
      continue;
    }
    if (i + 1 >= argc) return Fail("missing value or unknown option", argv[i]);
    const char* pszValue = argv[++i];
    long long n = 0;
    if (arg == "--kind") {
      if (!ParseKind(pszValue, options.kind)) return Fail("unknown kind", pszValue);
    } else if (arg == "--bands") {
      if (!ParseInteger(pszValue, 1, n) || n > 1000) return Fail("--bands needs 1 to 1000", pszValue);
      options.nBands = static_cast<int>(n);
    } else if (arg == "--bins") {
      if (!ParseInteger(pszValue, 1, n) || n > 1000000) return Fail("--bins needs 1 to 1000000", pszValue);
      options.nBins = static_cast<int>(n);
    } else if (arg == "--lines") {
      if (!ParseInteger(pszValue, 0, n)) return Fail("--lines needs a count", pszValue);
      options.nLines = n;
      options.nSizeBytes = 0;
    } else if (arg == "--size") {
      if (!ParseSizeMiB(pszValue, options.nSizeBytes)) return Fail("--size needs a positive size in MiB", pszValue);
    } else if (arg == "--seed") {
      if (!ParseInteger(pszValue, 0, n)) return Fail("--seed needs a non-negative number", pszValue);
      options.nSeed = static_cast<std::uint64_t>(n);
    } else if (arg == "--start") {
      if (!ParseHytemGenStart(pszValue, options))
        return Fail("--start needs YYYY-MM-DD[THH:MM[:SS]], 1969 to 2068", pszValue);
    } else if (arg == "--origin") {
      if (!ParseHytemGenOrigin(pszValue, options))
        return Fail("--origin needs LAT,LON in degrees (|LAT| <= 89)", pszValue);
    } else if (arg == "--shape") {
      if (!ParseHytemGenShape(pszValue, options.shape)) return Fail("unknown shape (survey or fixed)", pszValue);
    } else if (arg == "-o") {
      pszOutput = pszValue;
    } else {
      return Fail("unknown option", argv[i - 1]);
    }
  }

  std::FILE* out = pszOutput ? std::fopen(pszOutput, "wb") : stdout;
  if (!out) {
    std::fprintf(stderr, "hytemgen: cannot create %s: %s\n", pszOutput, std::strerror(errno));
    return 1;
  }
  bool bOk = WriteHytemLog(options, out);
  if (pszOutput && std::fclose(out) != 0) bOk = false;
  if (!bOk) {
    std::fprintf(stderr, "hytemgen: write error\n");
    return 1;
  }
  return 0;
}
