#include "SweepRow.h"

#include <algorithm>
#include <charconv>
#include <cstring>
#include <cmath>

#include "VyrTime.h"

namespace {
constexpr char kNoLevel[] = "the line holds no level";

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r'; }

std::string_view Trim(std::string_view s) {
  while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
  return s;
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// The n digits at s[at..]; false when any is no digit.
bool ReadDigits(std::string_view s, size_t at, size_t n, int& value) {
  if (at + n > s.size()) return false;
  value = 0;
  for (size_t i = at; i < at + n; ++i) {
    if (!IsDigit(s[i])) return false;
    value = value * 10 + (s[i] - '0');
  }
  return true;
}

int DaysInMonth(int year, int month) {
  static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  const bool bLeap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
  return month == 2 && bLeap ? 29 : kDays[month - 1];
}

// "YYYY-MM-DD" to midnight of that day.
bool ReadDate(std::string_view s, std::int64_t& ms) {
  int year, month, day;
  if (s.size() != 10 || s[4] != '-' || s[7] != '-' || !ReadDigits(s, 0, 4, year) || !ReadDigits(s, 5, 2, month) ||
      !ReadDigits(s, 8, 2, day))
    return false;
  if (month < 1 || month > 12 || day < 1 || day > DaysInMonth(year, month)) return false;
  ms = CVyrMilliSecAbsTime(year, month, day, 0, 0, 0).GetMs();
  return true;
}

// "HH:MM:SS" or "HH:MM:SS.f" (up to nine digits) to milliseconds within the
// day; the fraction is cut to the millisecond.
bool ReadTime(std::string_view s, std::int64_t& ms, bool& bFraction) {
  int hour, minute, second;
  if (s.size() < 8 || s[2] != ':' || s[5] != ':' || !ReadDigits(s, 0, 2, hour) || !ReadDigits(s, 3, 2, minute) ||
      !ReadDigits(s, 6, 2, second))
    return false;
  if (hour > 23 || minute > 59 || second > 60) return false;
  int fraction = 0;
  bFraction = s.size() > 8;
  if (bFraction) {
    const size_t nDigits = s.size() - 9;
    if (s[8] != '.' || nDigits < 1 || nDigits > 9) return false;
    int digits;
    if (!ReadDigits(s, 9, nDigits, digits)) return false;
    for (size_t i = nDigits; i < 3; ++i) digits *= 10;
    for (size_t i = 3; i < nDigits; ++i) digits /= 10;
    fraction = digits;
  }
  ms = ((hour * 60 + minute) * 60 + second) * std::int64_t{1000} + fraction;
  return true;
}

bool IsWholeNumber(std::string_view s) {
  if (s.empty() || s.size() > 19) return false;
  for (char c : s)
    if (!IsDigit(c)) return false;
  return true;
}

// The level text after the samples: its levels counted, the bytes that no
// payload can carry looked for.
const char* ReadLevelText(std::string_view rest, SweepRow& row) {
  rest = Trim(rest);
  if (!rest.empty() && rest.back() == ',') rest = Trim(rest.substr(0, rest.size() - 1));
  if (rest.empty()) return kNoLevel;
  // Separate passes that the compiler and the C library run a vector at a
  // time: one pass byte by byte costs more than the rest of the line's reading.
  for (const char c : {';', '^', '\0'})
    if (std::memchr(rest.data(), c, rest.size())) return "a level holds a semicolon, a caret or a NUL byte";
  const auto nSeparators = static_cast<std::int64_t>(std::count(rest.begin(), rest.end(), ','));
  if (nSeparators >= kMaxSweepBins) return "the line holds more than 4194304 levels";
  row.levels = rest;
  row.nBins = nSeparators + 1;
  return nullptr;
}
}  // namespace

bool IsBlankLine(std::string_view line) { return Trim(line).empty(); }

bool ReadSweepNumber(std::string_view text, double& value) {
  text = Trim(text);
  if (!text.empty() && text.front() == '+') text.remove_prefix(1);
  if (text.empty()) return false;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  // Out of range still reads (as the infinity or zero it rounds to).
  return end == text.data() + text.size() && (ec == std::errc() || ec == std::errc::result_out_of_range);
}

const char* ParseSweepRow(std::string_view line, SweepRow& row) {
  std::string_view fields[6];
  for (std::string_view& field : fields) {
    const size_t comma = line.find(',');
    if (comma == std::string_view::npos) return "the line has fewer than 7 comma-separated fields";
    field = Trim(line.substr(0, comma));
    line.remove_prefix(comma + 1);
  }
  std::int64_t nDateMs = 0, nTimeMs = 0;
  if (!ReadDate(fields[0], nDateMs)) return "the date is not YYYY-MM-DD";
  if (!ReadTime(fields[1], nTimeMs, row.bFraction)) return "the time is not HH:MM:SS or HH:MM:SS.ffffff";
  if (!ReadSweepNumber(fields[2], row.dLowHz) || !std::isfinite(row.dLowHz)) return "Hz low is not a number";
  if (!ReadSweepNumber(fields[3], row.dHighHz) || !std::isfinite(row.dHighHz)) return "Hz high is not a number";
  if (!ReadSweepNumber(fields[4], row.dStepHz) || !std::isfinite(row.dStepHz) || row.dStepHz < 0)
    return "Hz step is not a number of at least 0";
  if (!IsWholeNumber(fields[5])) return "samples is not a whole number";
  row.date = fields[0];
  row.time = fields[1];
  row.nMs = nDateMs + nTimeMs;
  return ReadLevelText(line, row);
}

int IdentifySweepFile(const char* pHead, std::size_t nHead) {
  std::string_view head(pHead, nHead);
  if (head.substr(0, 3) == "\xEF\xBB\xBF") head.remove_prefix(3);
  while (!head.empty()) {
    const size_t end = head.find('\n');
    const std::string_view line = head.substr(0, end);
    if (!IsBlankLine(line)) {
      SweepRow row;
      // A line that the end of the bytes cuts right after its samples still
      // shows what it is.
      const char* why = ParseSweepRow(line, row);
      return why == nullptr || (why == kNoLevel && end == std::string_view::npos) ? 1 : 0;
    }
    if (end == std::string_view::npos) break;
    head.remove_prefix(end + 1);
  }
  return 0;
}
