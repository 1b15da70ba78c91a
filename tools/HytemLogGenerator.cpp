#include "HytemLogGenerator.h"

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "HytemSurvey.h"

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
  int nYear;
  int nMonth;
  int nDay;

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

// Degrees to the log's minute hundredths (DD.MMmm without the point).
int ToMinuteHundredths(double dDegrees) {
  return static_cast<int>(std::lround(dDegrees * kMinuteHundredthsPerDegree));
}

// The survey shape's drive and spectra, with their own random numbers.
struct Survey {
  Survey(const HytemGenOptions& o)
      : random(o.nSeed), route(o.dOriginLatitude, o.dOriginLongitude, random) {
    if (o.kind == HytemLogKind::kScan) {
      // Three carriers a band, and the fading one in the first band.
      for (int band = 0; band < o.nBands; ++band) bands.emplace_back(o.nBins, 3, band == 0, -106.0, random);
      return;
    }
    using Kind = CSurveySpectrum::Kind;
    CSurveySpectrum::Carrier steady, bursty, fading;
    steady.dPeakDbm = -62;
    bursty.kind = Kind::kBursty;
    bursty.dPeakDbm = -58;
    fading.kind = Kind::kFading;
    if (o.kind == HytemLogKind::kStats) {
      fading.dPeakDbm = -38;  // a base station by the start
      bands.emplace_back(std::vector<const CSurveySpectrum::Carrier*>{&fading}, -112.0, random);
      return;
    }
    // Four Wi-Fi channels: a steady access point, a busy one, one by the
    // start, and a channel with nothing on it.
    bands.emplace_back(std::vector<const CSurveySpectrum::Carrier*>{&steady, &bursty, &fading, nullptr}, -95.0, random);
  }
  CSurveyRandom random;
  CSurveyRoute route;
  std::vector<CSurveySpectrum> bands;
  std::vector<int> tenths;
};

class Generator {
 public:
  Generator(const HytemGenOptions& options, std::FILE* out)
      : m_opt(options), m_out(out, options.bCrlf), m_nRandom(options.nSeed) {
    if (m_opt.nBands < 1) m_opt.nBands = 1;
    if (m_opt.nBins < 1) m_opt.nBins = 1;
    m_nMsOfDay = m_opt.nStartMsOfDay;
    m_date = {m_opt.nStartYear, m_opt.nStartMonth, m_opt.nStartDay};
    m_nLatitude = ToMinuteHundredths(m_opt.dOriginLatitude);
    m_nLongitude = ToMinuteHundredths(m_opt.dOriginLongitude);
    if (m_opt.shape == HytemGenShape::kSurvey) {
      m_survey = std::make_unique<Survey>(m_opt);
      return;
    }
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
    if (m_survey) {
      WriteSurveyLevels(n);
    } else {
      switch (m_opt.kind) {
        case HytemLogKind::kScan: WriteScanLevels(n); break;
        case HytemLogKind::kChannels: WriteChannelLevels(); break;
        case HytemLogKind::kStats: WriteStatistics(); break;
      }
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

    int r = 0;
    if (m_survey) {
      m_nLatitude = ToMinuteHundredths(m_survey->route.Latitude());
      m_nLongitude = ToMinuteHundredths(m_survey->route.Longitude());
      r = static_cast<int>(m_survey->random.Uniform() * 100);
    } else {
      m_nLatitude += Uniform(5) - 2;
      m_nLongitude += Uniform(5) - 2;
      r = Uniform(100);
    }
    WriteCoordinate(m_nLatitude, "NS");
    WriteCoordinate(m_nLongitude, "EW");
    m_out.Int(r < 2 ? 0 : r < 7 ? 2 : r < 9 ? 3 : 1);
  }

  // The magnitude, then the hemisphere letter (pszLetters: positive, negative).
  void WriteCoordinate(int nMinuteHundredths, const char* pszLetters) {
    const int nMagnitude = std::abs(nMinuteHundredths);
    m_out.Int(nMagnitude / kMinuteHundredthsPerDegree);
    m_out.Char('.');
    m_out.Padded(nMagnitude % kMinuteHundredthsPerDegree, 4);
    m_out.Tab();
    m_out.Char(pszLetters[nMinuteHundredths < 0 ? 1 : 0]);
    m_out.Tab();
  }

  // A scan sweeps one band a line, so a band's levels move on by one sweep
  // of all bands; channels and statistics by one line.
  void WriteSurveyLevels(std::int64_t n) {
    const int band = m_opt.kind == HytemLogKind::kScan ? static_cast<int>(n % m_opt.nBands) : 0;
    const double dSweepSeconds = DelayMs() * 0.001 * (m_opt.kind == HytemLogKind::kScan ? m_opt.nBands : 1);
    std::vector<int>& tenths = m_survey->tenths;
    m_survey->bands[static_cast<size_t>(band)].Levels(dSweepSeconds, m_survey->route.DistanceFromOrigin(), tenths);
    if (m_opt.kind == HytemLogKind::kScan) {
      m_out.Tab();
      m_out.Int(band + 1);
    }
    if (m_opt.kind == HytemLogKind::kStats) {
      WriteSurveyStatistics(tenths[0]);
      return;
    }
    for (int level : tenths) {
      m_out.Tab();
      m_out.Fixed(level, 1);
    }
  }

  // The statistics of a second of samples around its average.
  void WriteSurveyStatistics(int nAverage) {
    CSurveyRandom& random = m_survey->random;
    const int nSpread = 20 + static_cast<int>(random.Uniform() * 40);  // tenths of dB
    StatField(nAverage, true);
    StatField(nAverage - 2 * nSpread - static_cast<int>(random.Uniform() * 30), true);
    StatField(nAverage + nSpread + static_cast<int>(random.Uniform() * 20), true);
    const int nMedian = nAverage + static_cast<int>(random.Normal() * 5);
    StatField(nMedian, false);
    StatField(nSpread, false);
    m_out.Tab();
    m_out.Int(ColourCode(nMedian));
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
    if (m_survey) m_survey->route.Advance(DelayMs() * 0.001);
    m_nMsOfDay += DelayMs();
    if (m_nMsOfDay < kMsPerDay) return;
    m_nMsOfDay -= kMsPerDay;
    m_date.NextDay();
  }

  HytemGenOptions m_opt;
  LogWriter m_out;
  std::uint64_t m_nRandom;
  std::vector<int> m_baseLevels;
  std::unique_ptr<Survey> m_survey;
  int m_nMsOfDay = 0;
  LogDate m_date{};
  int m_nLatitude = 0;   // minute hundredths, south negative
  int m_nLongitude = 0;  // minute hundredths, west negative
};

}  // namespace

bool WriteHytemLog(const HytemGenOptions& options, std::FILE* out) {
  if (!out) return false;
  Generator generator(options, out);
  return generator.Run();
}
