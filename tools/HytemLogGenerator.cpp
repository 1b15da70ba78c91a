#include "HytemLogGenerator.h"

#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace {

constexpr size_t kBufferSize = size_t{4} << 20;
constexpr int kMsPerDay = 86400000;
constexpr int kMinuteHundredthsPerDegree = 6000;  // coordinates are DD.MMmm

// A large output buffer with cheap number formatting (no printf per value).
class LogWriter {
 public:
  LogWriter(std::FILE* out, bool bCrlf) : m_out(out), m_bCrlf(bCrlf), m_buf(new char[kBufferSize]) {}

  void Text(std::string_view text) {
    if (text.size() > kBufferSize - m_nUsed) Flush();
    if (text.size() > kBufferSize) {
      Write(text.data(), text.size());
      return;
    }
    std::memcpy(m_buf.get() + m_nUsed, text.data(), text.size());
    m_nUsed += text.size();
  }
  void Char(char ch) {
    if (m_nUsed == kBufferSize) Flush();
    m_buf[m_nUsed++] = ch;
  }
  void Tab() { Char('\t'); }
  void EndLine() {
    if (m_bCrlf) Char('\r');
    Char('\n');
  }
  void Int(long long value) {
    char digits[24];
    char* p = digits + sizeof digits;
    unsigned long long magnitude = value < 0 ? 0ULL - static_cast<unsigned long long>(value) : value;
    do {
      *--p = static_cast<char>('0' + magnitude % 10);
      magnitude /= 10;
    } while (magnitude != 0);
    if (value < 0) *--p = '-';
    Text(std::string_view(p, static_cast<size_t>(digits + sizeof digits - p)));
  }
  // value / 10^nDecimals with exactly nDecimals digits after the point:
  // Fixed(-975, 1) writes -97.5.
  void Fixed(long long scaled, int nDecimals) {
    long long unit = 1;
    for (int i = 0; i < nDecimals; ++i) unit *= 10;
    if (scaled < 0) Char('-');
    unsigned long long magnitude = scaled < 0 ? 0ULL - static_cast<unsigned long long>(scaled) : scaled;
    Int(static_cast<long long>(magnitude / unit));
    Char('.');
    Padded(static_cast<long long>(magnitude % unit), nDecimals);
  }
  // A non-negative value with leading zeros to nWidth digits.
  void Padded(long long value, int nWidth) {
    char digits[24];
    for (int i = nWidth - 1; i >= 0; --i) {
      digits[i] = static_cast<char>('0' + value % 10);
      value /= 10;
    }
    Text(std::string_view(digits, static_cast<size_t>(nWidth)));
  }

  bool Flush() {
    Write(m_buf.get(), m_nUsed);
    m_nUsed = 0;
    return m_bOk && std::fflush(m_out) == 0;
  }
  std::uint64_t BytesWritten() const { return m_nWritten + m_nUsed; }

 private:
  void Write(const char* p, size_t n) {
    if (n == 0) return;
    if (std::fwrite(p, 1, n, m_out) != n) m_bOk = false;
    m_nWritten += n;
  }

  std::FILE* m_out;
  bool m_bCrlf;
  std::unique_ptr<char[]> m_buf;
  size_t m_nUsed = 0;
  std::uint64_t m_nWritten = 0;
  bool m_bOk = true;
};

// Calendar date that moves on when the time of day passes midnight.
struct LogDate {
  int nYear = 2005;
  int nMonth = 3;
  int nDay = 15;

  void NextDay() {
    static const int s_daysInMonth[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool bLeap = (nYear % 4 == 0 && nYear % 100 != 0) || nYear % 400 == 0;
    const int nDays = s_daysInMonth[nMonth - 1] + (nMonth == 2 && bLeap ? 1 : 0);
    if (++nDay <= nDays) return;
    nDay = 1;
    if (++nMonth <= 12) return;
    nMonth = 1;
    ++nYear;
  }
};

class Generator {
 public:
  Generator(const HytemGenOptions& options, std::FILE* out)
      : m_opt(options), m_out(out, options.bCrlf), m_nRandom(options.nSeed) {
    if (m_opt.nBands < 1) m_opt.nBands = 1;
    if (m_opt.nBins < 1) m_opt.nBins = 1;
    const size_t nLevels = m_opt.kind == HytemLogKind::kScan ? static_cast<size_t>(m_opt.nBands) * m_opt.nBins : 4;
    m_baseLevels.resize(nLevels);
    for (int& level : m_baseLevels) level = -1100 + Uniform(601);  // tenths of dBm, -110.0 to -50.0
  }

  bool Run() {
    WriteHeader();
    if (m_opt.nSizeBytes > 0) {
      for (std::int64_t n = 0; m_out.BytesWritten() < m_opt.nSizeBytes; ++n) WriteMeasurement(n);
    } else {
      for (std::int64_t n = 0; n < m_opt.nLines; ++n) WriteMeasurement(n);
    }
    return m_out.Flush();
  }

 private:
  // splitmix64: small, fast and the same on every platform.
  std::uint64_t NextRandom() {
    std::uint64_t z = (m_nRandom += 0x9E3779B97F4A7C15ULL);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
    return z ^ (z >> 31);
  }
  int Uniform(int n) { return static_cast<int>(NextRandom() % static_cast<std::uint64_t>(n)); }

  int DelayMs() const {
    switch (m_opt.kind) {
      case HytemLogKind::kScan: return 500;
      case HytemLogKind::kChannels: return 250;
      default: return 1000;
    }
  }

  void HeaderLine(std::string_view name, long long value) {
    m_out.Text(name);
    m_out.Text(" = ");
    m_out.Int(value);
    m_out.EndLine();
  }
  void HeaderLineMHz(std::string_view name, long long kHz) {
    m_out.Text(name);
    m_out.Text(" = ");
    m_out.Fixed(kHz, 3);
    m_out.EndLine();
  }
  void ColumnHeader(std::string_view columns) {
    m_out.Text("Time\tDate\tLatitude\tNS\tLongitude\tWE\tValidity\t");
    m_out.Text(columns);
    m_out.EndLine();
  }

  void WriteHeader() {
    m_out.Text("HYTEM Software - V2.4.1");
    m_out.EndLine();
    switch (m_opt.kind) {
      case HytemLogKind::kScan: WriteScanHeader(); break;
      case HytemLogKind::kChannels: WriteChannelsHeader(); break;
      case HytemLogKind::kStats: WriteStatsHeader(); break;
    }
  }

  void WriteScanHeader() {
    constexpr long long kStepKHz = 200;
    const long long nSpanKHz = static_cast<long long>(m_opt.nBins - 1) * kStepKHz;
    HeaderLine("nbScannedBandwidths", m_opt.nBands);
    for (int band = 1; band <= m_opt.nBands; ++band) {
      const long long nStartKHz = 400000 + static_cast<long long>(band - 1) * (nSpanKHz + 50000);
      const std::string suffix = std::to_string(band);
      HeaderLineMHz("startFrequencies" + suffix, nStartKHz);
      HeaderLineMHz("stopFrequencies" + suffix, nStartKHz + nSpanKHz);
      HeaderLine("frequencyStep" + suffix, kStepKHz);
    }
    HeaderLine("indexBand", 1);
    HeaderLine("nbFrequencies", static_cast<long long>(m_opt.nBands) * m_opt.nBins);
    HeaderLine("bandWidth", kStepKHz);
    HeaderLine("command", 2);
    HeaderLine("delayBetweenMeasurement", DelayMs());
    ColumnHeader("BandNumber\tLevels");
  }

  void WriteChannelsHeader() {
    static const long long s_channelKHz[] = {2412000, 2437000, 2462000, 2484000};
    for (int i = 0; i < 4; ++i) HeaderLineMHz("frequency" + std::to_string(i + 1), s_channelKHz[i]);
    HeaderLine("bandWidth", 22000);
    HeaderLine("command", 1);
    HeaderLine("delayBetweenMeasurement", DelayMs());
    ColumnHeader("Level1\tLevel2\tLevel3\tLevel4");
  }

  void WriteStatsHeader() {
    HeaderLineMHz("frequency1", 946200);
    HeaderLine("bandWidth", 200);
    HeaderLine("command", 4);
    HeaderLine("delayBetweenMeasurement", DelayMs());
    ColumnHeader("Average\tColorAv\tMinimum\tColorMin\tMaximum\tColorMax\tMedian\tStdDev\tColorMed");
  }

  void WriteMeasurement(std::int64_t n) {
    WriteTimeDatePosition();
    switch (m_opt.kind) {
      case HytemLogKind::kScan: WriteScanLevels(n); break;
      case HytemLogKind::kChannels: WriteChannelLevels(); break;
      case HytemLogKind::kStats: WriteStatistics(); break;
    }
    m_out.EndLine();
    AdvanceTime();
  }

  void WriteTimeDatePosition() {
    const int nSeconds = m_nMsOfDay / 1000;
    m_out.Padded(nSeconds / 3600, 2);
    m_out.Char(':');
    m_out.Padded(nSeconds / 60 % 60, 2);
    m_out.Char(':');
    m_out.Padded(nSeconds % 60, 2);
    if (m_opt.kind == HytemLogKind::kChannels) {
      m_out.Char('.');
      m_out.Padded(m_nMsOfDay % 1000, 3);
    }
    m_out.Tab();
    m_out.Padded(m_date.nMonth, 2);
    m_out.Char('/');
    m_out.Padded(m_date.nDay, 2);
    m_out.Char('/');
    m_out.Padded(m_date.nYear % 100, 2);
    m_out.Tab();

    m_nLatitude += Uniform(5) - 2;
    m_nLongitude += Uniform(5) - 2;
    WriteCoordinate(m_nLatitude);
    m_out.Text("\tN\t");
    WriteCoordinate(m_nLongitude);
    m_out.Text("\tE\t");
    const int r = Uniform(100);
    m_out.Int(r < 2 ? 0 : r < 7 ? 2 : r < 9 ? 3 : 1);
  }

  void WriteCoordinate(int nMinuteHundredths) {
    m_out.Int(nMinuteHundredths / kMinuteHundredthsPerDegree);
    m_out.Char('.');
    m_out.Padded(nMinuteHundredths % kMinuteHundredthsPerDegree, 4);
  }

  int NoisyLevel(int nBase) { return nBase + Uniform(61) - 30; }

  void WriteScanLevels(std::int64_t n) {
    const int band = static_cast<int>(n % m_opt.nBands);
    m_out.Tab();
    m_out.Int(band + 1);
    const int* base = m_baseLevels.data() + static_cast<size_t>(band) * m_opt.nBins;
    for (int k = 0; k < m_opt.nBins; ++k) {
      m_out.Tab();
      m_out.Fixed(NoisyLevel(base[k]), 1);
    }
  }

  void WriteChannelLevels() {
    for (int level : m_baseLevels) {
      m_out.Tab();
      m_out.Fixed(NoisyLevel(level), 1);
    }
  }

  static int ColourCode(int nTenths) {
    return nTenths >= -700 ? 5 : nTenths >= -800 ? 4 : nTenths >= -900 ? 3 : nTenths >= -1000 ? 2 : 1;
  }

  void StatField(int nTenths, bool bWithColour) {
    m_out.Tab();
    m_out.Fixed(nTenths, 1);
    if (!bWithColour) return;
    m_out.Tab();
    m_out.Int(ColourCode(nTenths));
  }

  void WriteStatistics() {
    const int nAverage = NoisyLevel(m_baseLevels[0]);
    StatField(nAverage, true);
    StatField(nAverage - 100 - Uniform(51), true);
    StatField(nAverage + 100 + Uniform(51), true);
    const int nMedian = nAverage + Uniform(21) - 10;
    StatField(nMedian, false);
    StatField(30 + Uniform(41), false);  // standard deviation, dB
    m_out.Tab();
    m_out.Int(ColourCode(nMedian));
  }

  void AdvanceTime() {
    m_nMsOfDay += DelayMs();
    if (m_nMsOfDay < kMsPerDay) return;
    m_nMsOfDay -= kMsPerDay;
    m_date.NextDay();
  }

  HytemGenOptions m_opt;
  LogWriter m_out;
  std::uint64_t m_nRandom;
  std::vector<int> m_baseLevels;
  int m_nMsOfDay = 8 * 3600 * 1000;
  LogDate m_date;
  int m_nLatitude = 48 * kMinuteHundredthsPerDegree + 5112;   // 48 deg 51.12 min N
  int m_nLongitude = 2 * kMinuteHundredthsPerDegree + 2106;   // 2 deg 21.06 min E
};

}  // namespace

bool WriteHytemLog(const HytemGenOptions& options, std::FILE* out) {
  if (!out) return false;
  Generator generator(options, out);
  return generator.Run();
}
