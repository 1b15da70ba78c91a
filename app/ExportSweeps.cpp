#include "ExportSweeps.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>

#include "ExportFormats.h"
#include "NumberTextCache.h"

namespace {
// Beyond this a frequency is no radio's, and the whole hertz would not fit.
constexpr double kMaxHz = 1e15;
// The most elements a line of a log without a plan holds (as many as a plan).
constexpr long long kMaxChannelElements = 1 << 22;

bool WholeHz(double hz, long long& out) {
  if (!std::isfinite(hz) || std::fabs(hz) >= kMaxHz) return false;
  out = std::llround(hz);
  return true;
}

void AppendLong(std::string& out, long long n) {
  char buf[24];
  out.append(buf, std::to_chars(buf, buf + sizeof buf, n).ptr);
}

void AppendStep(std::string& out, double hz) {
  char buf[48];
  out.append(buf, std::to_chars(buf, buf + sizeof buf, hz, std::chars_format::fixed, 2).ptr);
}

// "YYYY-MM-DD, HH:MM:SS, " from "YYYY-MM-DDTHH:MM:SS.mmm".
std::string Stamp(const std::string& iso) {
  size_t t = iso.find('T');
  if (t == std::string::npos) return iso + ", , ";
  return iso.substr(0, t) + ", " + iso.substr(t + 1, iso.find('.', t) - t - 1) + ", ";
}

// The head of a line up to and including the samples column.
void AppendHead(std::string& out, std::string_view stamp, long long low, long long high, double step) {
  out += stamp;
  AppendLong(out, low);
  out += ", ";
  AppendLong(out, high);
  out += ", ";
  AppendStep(out, step);
  out += ", 1";
}

void AppendLevel(std::string& out, double level) {
  thread_local CNumberTextCache cache;
  out += ", ";
  if (std::isfinite(level)) cache.AppendFinite(out, level);
  else AppendShortestDouble(out, level);
}
}  // namespace

std::vector<int> CSweepsWriter::RecordedAttributes() const {
  std::vector<int> ids = CLevelRowExtractor::RecordedAttributesWithObserver();
  ids.push_back(ScanAttributes::Get().nFreq);  // the channels a header names
  return ids;
}

void CSweepsWriter::Message(std::string& out, const ExportMessage& m) {
  if (m.decoded.msg.m_nMsgClass == kHeaderMessageClass) m_channels.Update(m.decoded);
  if (m.rows.empty()) return;
  std::string stamp = Stamp(GetMessageFacts(m.decoded, m.fileStart).strTime);
  if (!m.levels.IsScan()) {
    AppendChannelLine(out, stamp, m.rows);
    return;
  }
  // Rows are sorted by element, so each band's rows are one stretch.
  const LevelRow* row = m.rows.data();
  const LevelRow* end = row + m.rows.size();
  while (row != end) {
    const LevelRow* stretch = row;
    while (row != end && row->nBand == stretch->nBand) ++row;
    if (stretch->nBand <= 0 || !AppendBandLine(out, stamp, m.levels.Plan(), stretch->nBand, stretch, row))
      m_nUnplaced += static_cast<std::uint64_t>(row - stretch);
  }
}

bool CSweepsWriter::AppendBandLine(std::string& out, std::string_view stamp, const CFrequencyPlan& plan, int nBand,
                                   const LevelRow* first, const LevelRow* last) {
  PlanBand band = plan.Band(nBand);
  double firstMHz = 0, lastMHz = 0;
  if (band.nCount <= 0 || !plan.FrequencyMHz(band.nFirst, firstMHz) ||
      !plan.FrequencyMHz(band.nFirst + band.nCount - 1, lastMHz))
    return false;
  double step = band.nCount > 1 ? (lastMHz - firstMHz) * 1e6 / (band.nCount - 1) : 0;
  long long low = 0, high = 0;
  if (!WholeHz(firstMHz * 1e6, low) || !WholeHz(lastMHz * 1e6 + step, high)) return false;
  AppendHead(out, stamp, low, high, step);
  const double kNaN = std::numeric_limits<double>::quiet_NaN();
  for (int e = band.nFirst; e < band.nFirst + band.nCount; ++e) {
    bool has = first != last && first->nBin == e;
    AppendLevel(out, has ? first->dLevel : kNaN);
    if (has) ++first;
  }
  out += '\n';
  return true;
}

void CSweepsWriter::AppendChannelLine(std::string& out, std::string_view stamp, const std::vector<LevelRow>& rows) {
  // The channels the header named, and any further element with a level up
  // to a bound (a log without a plan may leave scan levels at any element).
  int nCount = static_cast<int>(std::clamp<long long>(rows.back().nBin + 1LL, m_channels.Count(), kMaxChannelElements));
  double lowHz = INFINITY, highHz = -INFINITY;
  for (int e = 0; e < nCount; ++e) {
    double mhz = 0;
    if (!m_channels.FrequencyMHz(e, mhz) || !std::isfinite(mhz)) continue;
    lowHz = std::min(lowHz, mhz * 1e6);
    highHz = std::max(highHz, mhz * 1e6);
  }
  long long low = 0, high = 0;
  if (!WholeHz(lowHz, low) || !WholeHz(highHz, high)) low = high = 0;
  AppendHead(out, stamp, low, high, 0);
  const double kNaN = std::numeric_limits<double>::quiet_NaN();
  auto row = rows.begin();
  for (; row != rows.end() && row->nBin < 0; ++row) ++m_nUnplaced;
  for (int e = 0; e < nCount; ++e) {
    bool has = row != rows.end() && row->nBin == e;
    AppendLevel(out, has ? row->dLevel : kNaN);
    if (has) ++row;
  }
  m_nUnplaced += static_cast<std::uint64_t>(rows.end() - row);
  out += '\n';
}

std::string CSweepsWriter::EndFile(std::string_view file) {
  std::string note;
  if (m_nUnplaced > 0)
    note = "vyrhost export: " + EscapeFileName(std::string(file)) + ": " + std::to_string(m_nUnplaced) +
           " levels have no place in a sweep line (outside the frequency plan, or no frequency) and are not written";
  m_nUnplaced = 0;
  m_channels.Clear();
  return note;
}
