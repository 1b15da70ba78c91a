#include "ExportFormats.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>

#include "NumberTextCache.h"

#include "vyr/Json.h"

using vyr::AppendJsonInt;
using vyr::AppendJsonNumber;
using vyr::AppendJsonString;
using vyr::AppendShortestDouble;

namespace {
const char kColumns[] =
    "file,message,time,time_ms,lat,lon,quality,band,bin,frequency_hz,frequency_mhz,level_dbm,min_dbm,max_dbm,stddev_db";

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
void AppendCsvMessageColumns(std::string& out, std::string_view file, const vyr::Message& m) {
  AppendCsvField(out, file);
  out += ',';
  AppendInt(out, static_cast<long long>(m.index));
  out += ',';
  out += m.TimeIso();
  out += ',';
  AppendInt(out, m.timeMs);
  out += ',';
  if (m.position.hasLatitude) AppendShortestDouble(out, m.position.latitude);
  out += ',';
  if (m.position.hasLongitude) AppendShortestDouble(out, m.position.longitude);
  out += ',';
  AppendInt(out, m.position.quality);
  out += ',';
}

// The same for a JSON Lines row, up to the value of "band".
void AppendJsonlMessageMembers(std::string& out, std::string_view file, const vyr::Message& m) {
  out += "{\"file\": ";
  AppendJsonString(out, file);
  out += ", \"message\": ";
  AppendJsonInt(out, static_cast<long long>(m.index));
  out += ", \"time\": ";
  AppendJsonString(out, m.TimeIso());
  out += ", \"time_ms\": ";
  AppendJsonInt(out, m.timeMs);
  out += ", \"lat\": ";
  AppendJsonDoubleOrNull(out, m.position.hasLatitude, m.position.latitude);
  out += ", \"lon\": ";
  AppendJsonDoubleOrNull(out, m.position.hasLongitude, m.position.longitude);
  out += ", \"quality\": ";
  AppendJsonInt(out, m.position.quality);
  out += ", \"band\": ";
}

// Rows are short: reserving for the whole message keeps the buffer from
// growing piecemeal.
void ReserveFor(std::string& out, size_t nPrefix, size_t nRows) {
  size_t need = out.size() + nRows * (nPrefix + 80);
  if (need > out.capacity()) out.reserve(std::max(need, 2 * out.capacity()));
}

// The row columns after the message's: written into a local buffer and
// appended at once. Each writer returns the end of what it wrote.
constexpr size_t kMaxTail = 384;

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

bool HasStatistics(const vyr::Level& l) {
  return !std::isnan(l.minDbm) || !std::isnan(l.maxDbm) || !std::isnan(l.stddevDb);
}

// The row columns that depend on the element alone (band, bin and
// frequency), remembered per element: a log repeats them on every line. The
// text is rebuilt when the band or the frequency of the element changes.
class CBinColumns {
 public:
  // write(p, l) writes the columns of l at p and returns their end.
  template <class WriteFn>
  char* Put(char* p, const vyr::Level& l, const WriteFn& write) {
    if (l.element < 0 || l.element >= kMaxBins) return write(p, l);
    if (static_cast<size_t>(l.element) >= m_entries.size()) m_entries.resize(static_cast<size_t>(l.element) + 1);
    Entry& e = m_entries[static_cast<size_t>(l.element)];
    if (!e.bUsed || e.nBand != l.band || e.nHz != l.hz) {
      e.nLength = static_cast<std::uint8_t>(write(e.text, l) - e.text);
      e.nBand = l.band;
      e.nHz = l.hz;
      e.bUsed = true;
    }
    std::memcpy(p, e.text, e.nLength);
    return p + e.nLength;
  }

 private:
  static constexpr int kMaxBins = 1 << 16;
  struct Entry {
    std::int64_t nHz = 0;
    int nBand = 0;
    bool bUsed = false;
    std::uint8_t nLength = 0;
    char text[160];
  };
  std::vector<Entry> m_entries;
};

char* PutCsvBinColumns(char* p, const vyr::Level& l) {
  if (l.band > 0) p = PutInt(p, l.band);
  *p++ = ',';
  p = PutInt(p, l.element);
  *p++ = ',';
  if (l.HasFrequency()) {
    p = PutInt(p, l.hz);
    *p++ = ',';
    p = PutShortestDouble(p, l.MHz(), NumberCache());
  } else {
    *p++ = ',';
  }
  *p++ = ',';
  return p;
}

char* PutJsonlBinMembers(char* p, const vyr::Level& l) {
  p = l.band > 0 ? PutInt(p, l.band) : PutText(p, "null");
  p = PutText(p, ", \"bin\": ");
  p = PutInt(p, l.element);
  p = PutText(p, ", \"frequency_hz\": ");
  p = l.HasFrequency() ? PutInt(p, l.hz) : PutText(p, "null");
  p = PutText(p, ", \"frequency_mhz\": ");
  p = l.HasFrequency() ? PutJsonNumber(p, l.MHz(), NumberCache()) : PutText(p, "null");
  return PutText(p, ", \"level_dbm\": ");
}

// A statistic of a CSV row: empty when the log gives none.
char* PutCsvStatistic(char* p, double d, CNumberTextCache& cache) {
  *p++ = ',';
  return std::isnan(d) ? p : PutShortestDouble(p, d, cache);
}

char* PutJsonlStatistics(char* p, const vyr::Level& l, CNumberTextCache& cache) {
  auto member = [&](std::string_view name, double d) {
    p = PutText(p, name);
    p = std::isnan(d) ? PutText(p, "null") : PutJsonNumber(p, d, cache);
  };
  member(", \"min_dbm\": ", l.minDbm);
  member(", \"max_dbm\": ", l.maxDbm);
  member(", \"stddev_db\": ", l.stddevDb);
  return p;
}
}  // namespace

void AppendCsvRows(std::string& out, std::string_view file, const vyr::Message& m, const vyr::Level* levels,
                   size_t count) {
  if (count == 0) return;
  thread_local std::string prefix;
  thread_local CBinColumns binColumns;
  prefix.clear();
  AppendCsvMessageColumns(prefix, file, m);
  ReserveFor(out, prefix.size(), count);
  CNumberTextCache& cache = NumberCache();
  char tail[kMaxTail];
  for (const vyr::Level* l = levels; l != levels + count; ++l) {
    char* p = binColumns.Put(tail, *l, PutCsvBinColumns);
    p = PutShortestDouble(p, l->dbm, cache);
    if (HasStatistics(*l)) {
      p = PutCsvStatistic(p, l->minDbm, cache);
      p = PutCsvStatistic(p, l->maxDbm, cache);
      p = PutCsvStatistic(p, l->stddevDb, cache);
    } else {
      p = PutText(p, ",,,");
    }
    *p++ = '\n';
    out += prefix;
    out.append(tail, p);
  }
}

void AppendJsonlRows(std::string& out, std::string_view file, const vyr::Message& m, const vyr::Level* levels,
                     size_t count) {
  if (count == 0) return;
  thread_local std::string prefix;
  thread_local CBinColumns binMembers;
  prefix.clear();
  AppendJsonlMessageMembers(prefix, file, m);
  ReserveFor(out, prefix.size(), count);
  CNumberTextCache& cache = NumberCache();
  char tail[kMaxTail];
  for (const vyr::Level* l = levels; l != levels + count; ++l) {
    char* p = binMembers.Put(tail, *l, PutJsonlBinMembers);
    p = PutJsonNumber(p, l->dbm, cache);
    if (HasStatistics(*l)) p = PutJsonlStatistics(p, *l, cache);
    p = PutText(p, "}\n");
    out += prefix;
    out.append(tail, p);
  }
}
