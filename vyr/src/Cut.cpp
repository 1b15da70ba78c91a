#include "vyr/Cut.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <limits>

namespace vyr {

namespace {
constexpr std::int64_t kMsPerDay = 86400000;
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// Days from 1970-01-01 to a date of the proleptic Gregorian calendar.
std::int64_t DaysFromCivil(int y, int m, int d) {
  y -= m <= 2;
  const int era = (y >= 0 ? y : y - 399) / 400;
  const int yoe = y - era * 400;
  const int doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const int doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return static_cast<std::int64_t>(era) * 146097 + doe - 719468;
}

int DaysInMonth(int y, int m) {
  static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  const bool leap = (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
  return m == 2 && leap ? 29 : days[m - 1];
}

// Reads exactly n digits at text[pos], moving pos on.
bool Digits(std::string_view text, size_t& pos, size_t n, int& value) {
  if (pos + n > text.size()) return false;
  value = 0;
  for (size_t i = 0; i < n; ++i) {
    const char c = text[pos + i];
    if (c < '0' || c > '9') return false;
    value = value * 10 + (c - '0');
  }
  pos += n;
  return true;
}

bool Expect(std::string_view text, size_t& pos, char c) {
  if (pos >= text.size() || text[pos] != c) return false;
  ++pos;
  return true;
}

// "HH:MM[:SS[.f[f[f]]]]" from pos to the end, as milliseconds since midnight.
bool ReadTimeOfDay(std::string_view text, size_t pos, std::int64_t& ms) {
  int h = 0, mi = 0, s = 0, frac = 0;
  if (!Digits(text, pos, 2, h) || !Expect(text, pos, ':') || !Digits(text, pos, 2, mi)) return false;
  if (pos < text.size()) {
    if (!Expect(text, pos, ':') || !Digits(text, pos, 2, s)) return false;
    if (pos < text.size()) {
      if (!Expect(text, pos, '.')) return false;
      const size_t n = text.size() - pos;
      if (n < 1 || n > 3 || !Digits(text, pos, n, frac)) return false;
      for (size_t k = n; k < 3; ++k) frac *= 10;
    }
  }
  if (h > 23 || mi > 59 || s > 59) return false;
  ms = ((static_cast<std::int64_t>(h) * 60 + mi) * 60 + s) * 1000 + frac;
  return true;
}

bool ReadDateTime(std::string_view text, std::int64_t& ms) {
  size_t pos = 0;
  int y = 0, mo = 0, d = 0;
  if (!Digits(text, pos, 4, y) || !Expect(text, pos, '-') || !Digits(text, pos, 2, mo) || !Expect(text, pos, '-') ||
      !Digits(text, pos, 2, d))
    return false;
  if (pos >= text.size() || (text[pos] != 'T' && text[pos] != ' ')) return false;
  std::int64_t tod = 0;
  if (mo < 1 || mo > 12 || d < 1 || d > DaysInMonth(y, mo) || !ReadTimeOfDay(text, pos + 1, tod)) return false;
  ms = DaysFromCivil(y, mo, d) * kMsPerDay + tod;
  return true;
}

// A decimal number, as the command line takes numbers: no blanks, no
// hexadecimal, finite.
bool ReadDecimal(std::string_view text, double& d) {
  if (text.empty()) return false;
  for (char c : text)
    if (!std::isdigit(static_cast<unsigned char>(c)) && c != '.' && c != '-' && c != '+' && c != 'e' && c != 'E')
      return false;
  const std::string s(text);
  char* end = nullptr;
  errno = 0;
  d = std::strtod(s.c_str(), &end);
  return end == s.c_str() + s.size() && errno != ERANGE && std::isfinite(d);
}

std::string Quoted(std::string_view text) { return "'" + std::string(text) + "'"; }

std::string TimeText(const CutTime& t) {
  if (t.kind == CutTime::Kind::DateTime) return FormatIsoTime(t.ms);
  return FormatIsoTime(t.ms).substr(11);  // the time of day of 1970-01-01
}
}  // namespace

void PlanBands::Add(const Section& section) {
  if (section.kind != Section::Kind::Plan) return;
  std::lock_guard<std::mutex> g(m_lock);
  for (const Band& b : section.bands) m_numbers.insert(b.number);
}

void PlanBands::Add(const std::vector<int>& numbers) {
  std::lock_guard<std::mutex> g(m_lock);
  m_numbers.insert(numbers.begin(), numbers.end());
}

std::vector<int> PlanBands::Numbers() const {
  std::lock_guard<std::mutex> g(m_lock);
  return {m_numbers.begin(), m_numbers.end()};
}

bool PlanBands::Has(int number) const {
  std::lock_guard<std::mutex> g(m_lock);
  return m_numbers.count(number) > 0;
}

bool LevelCut::TakesTime(std::int64_t absoluteMs) const {
  if (from.kind == CutTime::Kind::DateTime || to.kind == CutTime::Kind::DateTime)
    return (!from.Given() || absoluteMs >= from.ms) && (!to.Given() || absoluteMs <= to.ms);
  if (!HasTime()) return true;
  const std::int64_t tod = (absoluteMs % kMsPerDay + kMsPerDay) % kMsPerDay;
  if (!to.Given()) return tod >= from.ms;
  if (!from.Given()) return tod <= to.ms;
  // A window from a later time of day to an earlier one runs across midnight.
  return from.ms <= to.ms ? tod >= from.ms && tod <= to.ms : tod >= from.ms || tod <= to.ms;
}

bool ParseCutTime(std::string_view text, CutTime& time, std::string& why) {
  std::int64_t ms = 0;
  if (ReadDateTime(text, ms)) {
    time = {CutTime::Kind::DateTime, ms};
    return true;
  }
  if (ReadTimeOfDay(text, 0, ms)) {
    time = {CutTime::Kind::TimeOfDay, ms};
    return true;
  }
  why = "the time " + Quoted(text) +
        " is neither a date and time (YYYY-MM-DDTHH:MM[:SS[.mmm]]) nor a time of day (HH:MM[:SS[.mmm]])";
  return false;
}

bool SetFrequencyRange(double minMHz, bool hasMin, double maxMHz, bool hasMax, LevelCut& cut, std::string& why) {
  // Beyond this a frequency in hertz leaves the 64-bit range.
  constexpr double kMaxMHz = 1e12;
  if ((hasMin && !(std::fabs(minMHz) < kMaxMHz)) || (hasMax && !(std::fabs(maxMHz) < kMaxMHz))) {
    why = "needs finite frequencies in MHz, below 1e12";
    return false;
  }
  if (!hasMin && !hasMax) {
    why = "gives neither end (MIN:MAX, in MHz)";
    return false;
  }
  cut.hasMinHz = hasMin;
  cut.hasMaxHz = hasMax;
  cut.minHz = hasMin ? std::llround(minMHz * 1e6) : 0;
  cut.maxHz = hasMax ? std::llround(maxMHz * 1e6) : 0;
  if (hasMin && hasMax && cut.minHz > cut.maxHz) {
    why = "is empty: its first frequency is above its last";
    return false;
  }
  return true;
}

bool ParseFrequencyRange(std::string_view text, LevelCut& cut, std::string& why) {
  const size_t colon = text.find(':');
  const std::string_view lo = colon == std::string_view::npos ? text : text.substr(0, colon);
  const std::string_view hi = colon == std::string_view::npos ? std::string_view() : text.substr(colon + 1);
  double dLo = 0, dHi = 0;
  if (colon == std::string_view::npos || (!lo.empty() && !ReadDecimal(lo, dLo)) || (!hi.empty() && !ReadDecimal(hi, dHi))) {
    why = "the frequency range " + Quoted(text) + " is not MIN:MAX in MHz (such as 925:960, 925: or :960)";
    return false;
  }
  if (!SetFrequencyRange(dLo, !lo.empty(), dHi, !hi.empty(), cut, why)) {
    why = "the frequency range " + Quoted(text) + " " + why;
    return false;
  }
  return true;
}

bool ParseBandNumber(std::string_view text, int& band, std::string& why) {
  int n = 0;
  bool ok = !text.empty() && text.size() <= 10;
  for (char c : text) ok = ok && c >= '0' && c <= '9';
  const long long value = ok ? std::atoll(std::string(text).c_str()) : 0;
  n = static_cast<int>(value);
  if (!ok || value < 1 || value > std::numeric_limits<int>::max()) {
    why = "the band " + Quoted(text) + " is not a band number from 1";
    return false;
  }
  band = n;
  return true;
}

bool CheckCut(const LevelCut& cut, std::string& why, const char* pszFrom, const char* pszTo) {
  if (!cut.from.Given() || !cut.to.Given()) return true;
  if (cut.from.kind != cut.to.kind) {
    why = std::string("give ") + pszFrom + " and " + pszTo + " both as dates and times or both as times of day";
    return false;
  }
  if (cut.from.kind == CutTime::Kind::DateTime && cut.from.ms > cut.to.ms) {
    why = std::string(pszFrom) + " " + TimeText(cut.from) + " is after " + pszTo + " " + TimeText(cut.to);
    return false;
  }
  return true;
}

std::string UnknownBandText(int band, const std::vector<int>& known) {
  std::string text = "no log has a band " + std::to_string(band) + " in its frequency plan";
  if (known.empty()) return text + " (no log has a frequency plan)";
  text += " (bands: ";
  for (size_t i = 0; i < known.size(); ++i) text += (i ? ", " : "") + std::to_string(known[i]);
  return text + ")";
}

bool CutVisitor::Takes(const Message& m) const {
  return m.role != Role::Measurement || m_cut.TakesTime(m.AbsoluteMs());
}

Message CutVisitor::Rebased(const Message& m) const {
  Message out = m;
  if (m.section && m_cut.CutsBins()) out.section = &m_section;
  return out;
}

void CutVisitor::OnSection(const Section& s) {
  if (m_cut.planBands) m_cut.planBands->Add(s);
  if (!m_cut.CutsBins()) {
    m_pDecoded = &s;
    m_inner.OnSection(s);
    return;
  }
  CutSection(s);
  m_inner.OnSection(m_section);
}

void CutVisitor::CutSection(const Section& s) {
  m_pDecoded = &s;
  m_section.kind = s.kind;
  m_section.header = s.header;
  m_section.ordinal = s.ordinal;
  m_section.bands.clear();
  m_bands.clear();
  for (const Band& band : s.bands) CutBand(band);
}

void CutVisitor::TakeUpSection(const Message& m) {
  // A piece of a log decoded in pieces starts in a section that a piece
  // before it set up and told of: its cut is made again here, untold, as the
  // cut of that same section.
  if (!m_pDecoded && m.section && m_cut.CutsBins()) CutSection(*m.section);
}

void CutVisitor::CutBand(const Band& band) {
  BandCut& c = m_bands.emplace_back();
  if (m_cut.band != 0 && band.number != m_cut.band) return;
  size_t nFirst = band.Bins(), nLast = 0;
  for (size_t i = 0; i < band.Bins(); ++i) {
    if (!m_cut.TakesHz(band.hz[i])) continue;
    nFirst = std::min(nFirst, i);
    nLast = i;
  }
  if (nFirst == band.Bins()) return;
  if (band.number == 0) nFirst = 0;  // a channel keeps its number
  c.nCut = static_cast<int>(m_section.bands.size());
  c.nOffset = nFirst;
  Band& cut = m_section.bands.emplace_back();
  cut.number = band.number;
  cut.firstElement = band.Element(nFirst);
  cut.hz.assign(band.hz.begin() + static_cast<std::ptrdiff_t>(nFirst), band.hz.begin() + static_cast<std::ptrdiff_t>(nLast) + 1);
  for (std::int64_t hz : cut.hz) c.inCut.push_back(m_cut.TakesHz(hz) ? 1 : 0);
  for (char in : c.inCut) c.bMasked = c.bMasked || !in;
  if (!c.bMasked) c.inCut.clear();
}

bool CutVisitor::HasLevel(const double* dbm, const BandCut& c, size_t nBins) const {
  for (size_t i = 0; i < nBins; ++i)
    if (!std::isnan(dbm[i]) && (!c.bMasked || c.inCut[i])) return true;
  return false;
}

const double* CutVisitor::Masked(const double* values, const BandCut& c, size_t nBins,
                                 std::vector<double>& scratch) const {
  if (!values || !c.bMasked) return values;
  scratch.assign(values, values + nBins);
  for (size_t i = 0; i < nBins; ++i)
    if (!c.inCut[i]) scratch[i] = kNaN;
  return scratch.data();
}

void CutVisitor::OnSweep(const Message& m, const Sweep& sweep) {
  TakeUpSection(m);
  if (!Takes(m)) return;
  if (!m_cut.CutsBins()) {
    m_inner.OnSweep(m, sweep);
    return;
  }
  if (!m_pDecoded) return;
  // The sweep's band is one of the section's: which one, is found by address.
  size_t nBand = 0;
  while (nBand < m_bands.size() && &m_pDecoded->bands[nBand] != &sweep.band) ++nBand;
  if (nBand == m_bands.size()) return;
  const BandCut& c = m_bands[nBand];
  if (c.nCut < 0) return;
  const Band& band = m_section.bands[static_cast<size_t>(c.nCut)];
  const size_t n = band.Bins();
  auto at = [&](const double* values) { return values ? values + c.nOffset : nullptr; };
  if (!HasLevel(at(sweep.dbm), c, n)) return;
  m_inner.OnSweep(Rebased(m), Sweep{band, Masked(at(sweep.dbm), c, n, m_dbm), Masked(at(sweep.minDbm), c, n, m_min),
                                    Masked(at(sweep.maxDbm), c, n, m_max), Masked(at(sweep.stddevDb), c, n, m_stddev)});
}

void CutVisitor::OnLevels(const Message& m, const Level* levels, size_t count) {
  TakeUpSection(m);
  if (!Takes(m)) return;
  if (!m_cut.CutsBins()) {
    m_inner.OnLevels(m, levels, count);
    return;
  }
  m_levels.clear();
  for (const Level* l = levels; l != levels + count; ++l)
    if (m_cut.TakesLevel(l->band, l->hz)) m_levels.push_back(*l);
  if (!m_levels.empty()) m_inner.OnLevels(Rebased(m), m_levels.data(), m_levels.size());
}

void CutVisitor::OnMessage(const Message& m) {
  TakeUpSection(m);
  if (Takes(m)) m_inner.OnMessage(Rebased(m));
}

DecodeResult DecodeCut(LogDecoder& decoder, const std::string& path, const LevelCut& cut, LogVisitor& visitor,
                       const LogDecoder::PieceOptions& pieces) {
  if (cut.Empty()) return decoder.DecodeInOrder(path, pieces, visitor);
  CutVisitor cutVisitor(cut, visitor);
  return decoder.DecodeInOrder(path, pieces, cutVisitor);
}

}  // namespace vyr
