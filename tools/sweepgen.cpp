// sweepgen: writes a synthetic rtl_power or hackrf_sweep CSV file of any
// size, deterministically.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string_view>

#include "SweepLogGenerator.h"

namespace {
constexpr char kUsage[] =
    "Usage: sweepgen [options]\n"
    "Writes a synthetic sweep file in the CSV layout of rtl_power or hackrf_sweep;\n"
    "the same options always give the same bytes.\n"
    "\n"
    "  --layout rtl_power|hackrf_sweep  (default rtl_power)\n"
    "  --from HZ --to HZ      the range (default 88e6 to 108e6)\n"
    "  --bin HZ               the widest bin (default 10000)\n"
    "  --sweeps N             sweeps (default 10)\n"
    "  --size MB              instead of --sweeps: stop after the sweep that\n"
    "                         takes the file to this size in MiB\n"
    "  --interval S           seconds from sweep to sweep (default 10)\n"
    "  --start YYYY-MM-DDTHH:MM:SS  the first sweep (default 2024-03-01T12:00:00)\n"
    "  --seed N               seed of the levels (default 1)\n"
    "  --crlf                 CR LF line ends\n"
    "  --cut                  end inside the last level, without a line end, as\n"
    "                         a tool stopped while it writes\n"
    "  -o FILE                output file (default standard output)\n";

bool ParseNumber(const char* psz, double& d) {
  char* end = nullptr;
  d = std::strtod(psz, &end);
  return end != psz && *end == '\0' && d == d;
}

bool ParseStart(const char* psz, std::int64_t& s) {
  int y, mo, d, h, mi, se;
  char tail;
  if (std::sscanf(psz, "%4d-%2d-%2dT%2d:%2d:%2d%c", &y, &mo, &d, &h, &mi, &se, &tail) != 6) return false;
  std::tm tm{};
  tm.tm_year = y - 1900;
  tm.tm_mon = mo - 1;
  tm.tm_mday = d;
  tm.tm_hour = h;
  tm.tm_min = mi;
  tm.tm_sec = se;
  s = static_cast<std::int64_t>(timegm(&tm));
  return true;
}

int Fail(const char* what, const char* arg) {
  std::fprintf(stderr, "sweepgen: %s: %s\nTry 'sweepgen --help'.\n", what, arg ? arg : "");
  return 2;
}
}  // namespace

int main(int argc, char** argv) {
  SweepGenOptions o;
  const char* pszOutput = nullptr;
  bool bRangeGiven = false, bBinGiven = false;
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (arg == "--help" || arg == "-h") {
      std::fputs(kUsage, stdout);
      return 0;
    }
    if (arg == "--crlf") { o.bCrlf = true; continue; }
    if (arg == "--cut") { o.bCutLast = true; continue; }
    if (i + 1 >= argc) return Fail("option needs a value", argv[i]);
    const char* value = argv[++i];
    double d = 0;
    if (arg == "--layout") {
      if (std::string_view(value) == "rtl_power") o.layout = SweepLayout::kRtlPower;
      else if (std::string_view(value) == "hackrf_sweep") o.layout = SweepLayout::kHackrfSweep;
      else return Fail("unknown layout", value);
    } else if (arg == "-o") {
      pszOutput = value;
    } else if (arg == "--start") {
      if (!ParseStart(value, o.nStartS)) return Fail("bad start", value);
    } else if (!ParseNumber(value, d)) {
      return Fail("not a number", value);
    } else if (arg == "--from") { o.dFromHz = d; bRangeGiven = true; }
    else if (arg == "--to") { o.dToHz = d; bRangeGiven = true; }
    else if (arg == "--bin" && d > 0) { o.dBinHz = d; bBinGiven = true; }
    else if (arg == "--sweeps" && d >= 1) o.nSweeps = static_cast<std::int64_t>(d);
    else if (arg == "--size" && d > 0) o.nSizeBytes = static_cast<std::uint64_t>(d * 1048576.0);
    else if (arg == "--interval" && d >= 0) o.dIntervalS = d;
    else if (arg == "--seed" && d >= 0) o.nSeed = static_cast<std::uint64_t>(d);
    else return Fail("unknown option or value out of range", argv[i - 1]);
  }
  if (o.layout == SweepLayout::kHackrfSweep) {
    if (!bRangeGiven) o.dFromHz = 2400e6, o.dToHz = 2500e6;
    if (!bBinGiven) o.dBinHz = 1e6;
  }
  if (!(o.dToHz > o.dFromHz) || o.dFromHz < 0) return Fail("the range is empty", nullptr);
  std::FILE* out = pszOutput ? std::fopen(pszOutput, "wb") : stdout;
  if (!out) return Fail("cannot open", pszOutput);
  const bool bOk = WriteSweepLog(o, out);
  if ((pszOutput && std::fclose(out) != 0) || !bOk) {
    std::fprintf(stderr, "sweepgen: cannot write %s: %s\n", pszOutput ? pszOutput : "standard output", std::strerror(errno));
    return 1;
  }
  return 0;
}
