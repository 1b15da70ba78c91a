#include "ExportSweeps.h"

#include <charconv>
#include <cmath>

#include "NumberTextCache.h"
#include "vyr/Json.h"

namespace {
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

void AppendLevel(std::string& out, double level) {
  thread_local CNumberTextCache cache;
  out += ", ";
  if (std::isfinite(level)) cache.AppendFinite(out, level);
  else vyr::AppendShortestDouble(out, level);
}
}  // namespace

vyr::DecodeRequest CSweepsWriter::Request() const {
  vyr::DecodeRequest r;
  r.levels = true;  // to count the levels that no sweep holds
  r.sweeps = true;
  return r;
}

bool CSweepsWriter::Section(const vyr::Section& s, std::string& why) {
  if (s.kind != vyr::Section::Kind::Channels || s.bands.empty()) return true;
  const vyr::Band& channels = s.bands[0];
  for (size_t i = 0; i < channels.Bins(); ++i)
    if (channels.HasFrequency(i)) {
      why = "a channel log has no sweeps (its channels are no evenly spaced bins); export it with --csv or --jsonl";
      return false;
    }
  return true;
}

void CSweepsWriter::Levels(std::string&, std::string_view, const vyr::Message&, const vyr::Level* levels,
                           size_t count) {
  for (const vyr::Level* l = levels; l != levels + count; ++l)
    if (l->band == 0) ++m_nUnplaced;
}

void CSweepsWriter::Sweep(std::string& out, const vyr::Message& m, const vyr::Sweep& sweep) {
  const vyr::Band& band = sweep.band;
  const size_t n = band.Bins();
  if (band.number == 0 || !band.HasFrequency(0) || !band.HasFrequency(n - 1)) {
    for (size_t i = 0; i < n; ++i)
      if (!std::isnan(sweep.dbm[i])) ++m_nUnplaced;
    return;
  }
  const double step = n > 1 ? static_cast<double>(band.hz[n - 1] - band.hz[0]) / static_cast<double>(n - 1) : 0;
  out += Stamp(m.TimeIso());
  AppendLong(out, band.hz[0]);
  out += ", ";
  AppendLong(out, std::llround(static_cast<double>(band.hz[n - 1]) + step));
  out += ", ";
  AppendStep(out, step);
  out += ", 1";
  for (size_t i = 0; i < n; ++i) AppendLevel(out, sweep.dbm[i]);
  out += '\n';
}

std::string CSweepsWriter::EndFile(std::string_view file) {
  std::string note;
  if (m_nUnplaced > 0)
    note = "vyrhost export: " + vyr::EscapeFileName(file) + ": " + std::to_string(m_nUnplaced) +
           " levels have no place in a sweep line (outside the frequency plan, or no frequency) and are not written";
  m_nUnplaced = 0;
  return note;
}
