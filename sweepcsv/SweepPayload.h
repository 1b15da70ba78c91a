// The payloads of the sweep file's messages, in the host's name/value layout:
// the names, each followed by '^', then the values, each followed by ';'.
// No value holds ';' or '^' (the reader refuses lines whose levels do).
//
//   plan (header):   Software, Hops, Bins, Bands, then per hop in plan order,
//                    each a list joined by ',': HzLow, HzHigh, HzStep, HopBins, Band
//   sweep:           Date, Time, Hops (lines read), Levels (one per plan bin,
//                    joined by ','; empty where the sweep has none)
//   unreadable line: Line (its number, from 1), Reason
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace sweepcsv {
inline constexpr char kSoftware[] = "Software";
inline constexpr char kHops[] = "Hops";
inline constexpr char kBins[] = "Bins";
inline constexpr char kBands[] = "Bands";
inline constexpr char kHzLow[] = "HzLow";
inline constexpr char kHzHigh[] = "HzHigh";
inline constexpr char kHzStep[] = "HzStep";
inline constexpr char kHopBins[] = "HopBins";
inline constexpr char kBand[] = "Band";
inline constexpr char kDate[] = "Date";
inline constexpr char kTime[] = "Time";
inline constexpr char kLevels[] = "Levels";
inline constexpr char kLine[] = "Line";
inline constexpr char kReason[] = "Reason";

// Writes a payload: Names() once, then each value in turn.
class CPayloadWriter {
 public:
  explicit CPayloadWriter(std::string& out) : m_out(out) { m_out.clear(); }
  void Names(std::initializer_list<const char*> names);
  // One whole value.
  void Value(std::string_view text);
  void Value(long long n);
  // A value written in pieces: Piece() any number of times, then End().
  std::string& Piece() { return m_out; }
  void End() { m_out += ';'; }

 private:
  std::string& m_out;
};

// The fields of a payload, in order, as views into it.
using PayloadFields = std::vector<std::pair<std::string_view, std::string_view>>;
void SplitPayload(std::string_view payload, PayloadFields& fields);
// The value of the first field of that name; false when there is none.
bool FindField(const PayloadFields& fields, std::string_view name, std::string_view& value);

// Appends a number without exponent, in the fewest digits that read back
// as the same double (88000000, 9765.62).
void AppendShortest(std::string& out, double d);
}  // namespace sweepcsv
