#include "ExportFormats.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>

#include "NumberTextCache.h"

#include "vyr/Json.h"

namespace {
const char kColumns[] = "file,message,time,time_ms,lat,lon,quality,band,bin,frequency_mhz,level_dbm";

void AppendInt(std::string& out, long long n) {
  char buf[24];
  auto r = std::to_chars(buf, buf + sizeof buf, n);
  out.append(buf, r.ptr);
}

void AppendJsonDoubleOrNull(std::string& out, bool has, double d) {
  if (has) AppendJsonNumber(out, d);
  else out += "null";
}
}  // namespace

void AppendShortestDouble(std::string& out, double d) {
  if (std::isnan(d)) {
    out += "nan";
    return;
  }
  if (std::isinf(d)) {
    out += d > 0 ? "inf" : "-inf";
    return;
  }
  char buf[32];
  auto r = std::to_chars(buf, buf + sizeof buf, d);
  out.append(buf, r.ptr);
}

void AppendCsvField(std::string& out, std::string_view s) {
  if (s.find_first_of(",\"\r\n") == std::string_view::npos) {
    out.append(s);
    return;
  }
  out += '"';
  for (char c : s) {
    if (c == '"') out += '"';
    out += c;
  }
  out += '"';
}

std::string SpreadsheetSafeCell(std::string_view file) {
  if (file.empty() || std::strchr("=+-@\t\r", file[0]) == nullptr || file[0] == '\0') return std::string(file);
  return "'" + std::string(file);
}

void AppendCsvHeader(std::string& out) {
  out += kColumns;
  out += '\n';
}

namespace {
// The per-message columns of a CSV row, up to and including the comma
// before the band.
void AppendCsvMessageColumns(std::string& out, std::string_view file, const MessageFacts& m) {
  AppendCsvField(out, file);
  out += ',';
  AppendInt(out, static_cast<long long>(m.nIndex));
  out += ',';
  out += m.strTime;
  out += ',';
  AppendInt(out, m.nTimeMs);
  out += ',';
  if (m.position.bHasLatitude) AppendShortestDouble(out, m.position.dLatitude);
  out += ',';
  if (m.position.bHasLongitude) AppendShortestDouble(out, m.position.dLongitude);
  out += ',';
  AppendInt(out, m.position.nQuality);
  out += ',';
}

// The same for a JSON Lines row, up to the value of "band".
void AppendJsonlMessageMembers(std::string& out, std::string_view file, const MessageFacts& m) {
  out += "{\"file\": ";
  AppendJsonString(out, file);
  out += ", \"message\": ";
  AppendJsonInt(out, static_cast<long long>(m.nIndex));
  out += ", \"time\": ";
  AppendJsonString(out, m.strTime);
  out += ", \"time_ms\": ";
  AppendJsonInt(out, m.nTimeMs);
  out += ", \"lat\": ";
  AppendJsonDoubleOrNull(out, m.position.bHasLatitude, m.position.dLatitude);
  out += ", \"lon\": ";
  AppendJsonDoubleOrNull(out, m.position.bHasLongitude, m.position.dLongitude);
  out += ", \"quality\": ";
  AppendJsonInt(out, m.position.nQuality);
  out += ", \"band\": ";
}
}  // namespace

void AppendCsvRow(std::string& out, std::string_view file, const MessageFacts& m, const LevelRow& r) {
  AppendCsvMessageColumns(out, file, m);
  if (r.nBand > 0) AppendInt(out, r.nBand);
  out += ',';
  AppendInt(out, r.nBin);
  out += ',';
  if (r.bHasFrequency) AppendShortestDouble(out, r.dFrequencyMHz);
  out += ',';
  AppendShortestDouble(out, r.dLevel);
  out += '\n';
}

void AppendJsonlRow(std::string& out, std::string_view file, const MessageFacts& m, const LevelRow& r) {
  AppendJsonlMessageMembers(out, file, m);
  if (r.nBand > 0) AppendJsonInt(out, r.nBand);
  else out += "null";
  out += ", \"bin\": ";
  AppendJsonInt(out, r.nBin);
  out += ", \"frequency_mhz\": ";
  AppendJsonDoubleOrNull(out, r.bHasFrequency, r.dFrequencyMHz);
  out += ", \"level_dbm\": ";
  AppendJsonNumber(out, r.dLevel);
  out += "}\n";
}

namespace {
// Rows are short: reserving for the whole message keeps the buffer from
// growing piecemeal.
void ReserveFor(std::string& out, size_t nPrefix, size_t nRows) {
  size_t need = out.size() + nRows * (nPrefix + 64);
  if (need > out.capacity()) out.reserve(std::max(need, 2 * out.capacity()));
}

// The row columns after the message's: written into a local buffer and
// appended at once. Each writer returns the end of what it wrote.
constexpr size_t kMaxTail = 160;

char* PutInt(char* p, long long n) { return std::to_chars(p, p + 24, n).ptr; }

char* PutText(char* p, std::string_view s) {
  std::memcpy(p, s.data(), s.size());
  return p + s.size();
}

// The same text as AppendShortestDouble.
char* PutShortestDouble(char* p, double d, CNumberTextCache& cache) {
  if (std::isnan(d)) return PutText(p, "nan");
  if (std::isinf(d)) return PutText(p, d > 0 ? "inf" : "-inf");
  return p + cache.Format(d, p);
}

// The same text as AppendJsonNumber.
char* PutJsonNumber(char* p, double d, CNumberTextCache& cache) {
  if (std::isnan(d)) return PutText(p, "\"nan\"");
  if (std::isinf(d)) return PutText(p, d > 0 ? "\"inf\"" : "\"-inf\"");
  return p + cache.Format(d, p);
}

CNumberTextCache& NumberCache() {
  thread_local CNumberTextCache cache;
  return cache;
}

// The row columns that depend on the bin alone (band, bin and frequency),
// remembered per bin: a log repeats them on every line. The text is rebuilt
// when the band or the frequency of the bin changes.
class CBinColumns {
 public:
  // write(p, r) writes the columns of r at p and returns their end.
  template <class WriteFn>
  char* Put(char* p, const LevelRow& r, const WriteFn& write) {
    if (r.nBin < 0 || r.nBin >= kMaxBins) return write(p, r);
    if (static_cast<size_t>(r.nBin) >= m_entries.size()) m_entries.resize(static_cast<size_t>(r.nBin) + 1);
    Entry& e = m_entries[static_cast<size_t>(r.nBin)];
    std::uint64_t bits = 0;
    if (r.bHasFrequency) std::memcpy(&bits, &r.dFrequencyMHz, sizeof bits);
    if (!e.bUsed || e.nBand != r.nBand || e.bHasFrequency != r.bHasFrequency || e.nFrequencyBits != bits) {
      e.nLength = static_cast<std::uint8_t>(write(e.text, r) - e.text);
      e.nBand = r.nBand;
      e.bHasFrequency = r.bHasFrequency;
      e.nFrequencyBits = bits;
      e.bUsed = true;
    }
    std::memcpy(p, e.text, e.nLength);
    return p + e.nLength;
  }

 private:
  static constexpr int kMaxBins = 1 << 16;
  struct Entry {
    std::uint64_t nFrequencyBits = 0;
    int nBand = 0;
    bool bHasFrequency = false;
    bool bUsed = false;
    std::uint8_t nLength = 0;
    char text[104];
  };
  std::vector<Entry> m_entries;
};

char* PutCsvBinColumns(char* p, const LevelRow& r) {
  if (r.nBand > 0) p = PutInt(p, r.nBand);
  *p++ = ',';
  p = PutInt(p, r.nBin);
  *p++ = ',';
  if (r.bHasFrequency) p = PutShortestDouble(p, r.dFrequencyMHz, NumberCache());
  *p++ = ',';
  return p;
}

char* PutJsonlBinMembers(char* p, const LevelRow& r) {
  p = r.nBand > 0 ? PutInt(p, r.nBand) : PutText(p, "null");
  p = PutText(p, ", \"bin\": ");
  p = PutInt(p, r.nBin);
  p = PutText(p, ", \"frequency_mhz\": ");
  p = r.bHasFrequency ? PutJsonNumber(p, r.dFrequencyMHz, NumberCache()) : PutText(p, "null");
  return PutText(p, ", \"level_dbm\": ");
}
}  // namespace

void AppendCsvRows(std::string& out, std::string_view file, const MessageFacts& m, const std::vector<LevelRow>& rows) {
  if (rows.empty()) return;
  thread_local std::string prefix;
  thread_local CBinColumns binColumns;
  prefix.clear();
  AppendCsvMessageColumns(prefix, file, m);
  ReserveFor(out, prefix.size(), rows.size());
  CNumberTextCache& cache = NumberCache();
  char tail[kMaxTail];
  for (const LevelRow& r : rows) {
    char* p = binColumns.Put(tail, r, PutCsvBinColumns);
    p = PutShortestDouble(p, r.dLevel, cache);
    *p++ = '\n';
    out += prefix;
    out.append(tail, p);
  }
}

void AppendJsonlRows(std::string& out, std::string_view file, const MessageFacts& m,
                     const std::vector<LevelRow>& rows) {
  if (rows.empty()) return;
  thread_local std::string prefix;
  thread_local CBinColumns binMembers;
  prefix.clear();
  AppendJsonlMessageMembers(prefix, file, m);
  ReserveFor(out, prefix.size(), rows.size());
  CNumberTextCache& cache = NumberCache();
  char tail[kMaxTail];
  for (const LevelRow& r : rows) {
    char* p = binMembers.Put(tail, r, PutJsonlBinMembers);
    p = PutJsonNumber(p, r.dLevel, cache);
    p = PutText(p, "}\n");
    out += prefix;
    out.append(tail, p);
  }
}
