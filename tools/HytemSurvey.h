// The survey shape of the log generator: what a scanner in a car sees. The
// car drives from the origin at town speeds, with turns and stops; the levels
// are a noise floor with its spread over frequency and time, and a few
// carriers on it: some steady, some bursty, and one from a transmitter at the
// origin that fades as the car drives away from it. All of it is
// deterministic: the same seed gives the same drive and the same levels.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

// splitmix64 with normal deviates from a table: fast enough for a level per
// byte or two of a log of gigabytes, and the same on every platform.
class CSurveyRandom {
 public:
  explicit CSurveyRandom(std::uint64_t nSeed);
  std::uint64_t Next();
  double Uniform();                     // [0, 1)
  double Normal();                      // mean 0, standard deviation 1
  double Exponential(double dMean);

 private:
  std::uint64_t m_nState;
  std::uint64_t m_nBits = 0;  // table indexes left over from the last Next()
  int m_nBitsLeft = 0;
  std::array<float, 4096> m_normals{};
};

class CSurveyRoute {
 public:
  CSurveyRoute(double dLatitude, double dLongitude, CSurveyRandom& random);
  void Advance(double dSeconds);
  double Latitude() const { return m_dLatitude; }
  double Longitude() const { return m_dLongitude; }
  // Straight-line distance from the origin, in metres.
  double DistanceFromOrigin() const;

 private:
  CSurveyRandom& m_random;
  double m_dOriginLatitude, m_dOriginLongitude;
  double m_dLatitude, m_dLongitude;
  double m_dHeading;        // radians from north, clockwise
  double m_dSpeed = 0;      // m/s
  double m_dTargetSpeed;    // m/s; 0 while stopped
  double m_dLegLeft;        // seconds until the next change of speed
  double m_dTurnLeft = 0;   // radians still to turn
};

// The levels of a set of bins (a band of a scan, or channels) at successive
// moments. A carrier spreads over neighbouring bins unless the bins are
// separate channels.
class CSurveySpectrum {
 public:
  enum class Kind { kSteady, kBursty, kFading };
  struct Carrier {
    Kind kind = Kind::kSteady;
    int nBin = 0;
    int nHalfWidth = 0;     // bins on either side within 3 dB
    double dPeakDbm = -60;  // at the origin for a fading one
    bool bOn = true;        // bursty: transmitting now
    double dStateLeft = 0;  // bursty: seconds until it toggles
    double dShadowDb = 0;   // slow fading, correlated over seconds
  };

  // A band of nBins bins with nCarriers carriers (plus the fading one when
  // bFading), on a floor around dFloorDbm.
  CSurveySpectrum(int nBins, int nCarriers, bool bFading, double dFloorDbm, CSurveyRandom& random);
  // Separate channels: one carrier per entry, or the floor only (nullptr).
  CSurveySpectrum(const std::vector<const Carrier*>& channels, double dFloorDbm, CSurveyRandom& random);

  // Levels in tenths of dBm, dSeconds after the previous call, at
  // dDistance metres from the origin.
  void Levels(double dSeconds, double dDistance, std::vector<int>& tenths);
  const std::vector<Carrier>& Carriers() const { return m_carriers; }

 private:
  void AddCarrierPower(Carrier& c, double dSeconds, double dDistance);
  double CarrierDbm(Carrier& c, double dSeconds, double dDistance);

  CSurveyRandom& m_random;
  bool m_bChannels = false;
  std::vector<double> m_floorDbm;  // per bin, with its ripple over frequency
  std::vector<Carrier> m_carriers;
  std::vector<double> m_powerMw;   // carrier power per bin, this moment
};
