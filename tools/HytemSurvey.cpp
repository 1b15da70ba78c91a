#include "HytemSurvey.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace {
constexpr double kPi = std::numbers::pi;
constexpr double kMetresPerDegree = 111320.0;
// Slow fading: a shadow that changes over a few seconds of driving.
constexpr double kShadowSeconds = 4.0;
constexpr double kShadowDb = 3.0;
constexpr double kFastFadingDb = 1.0;
constexpr double kFloorSpreadDb = 2.0;  // the floor's spread from one sweep to the next
// The transmitter of the fading carrier: its level at 50 m, and how fast it
// falls with distance (an exponent of 3.3, as in a town).
constexpr double kFadingReferenceM = 50.0;
constexpr double kFadingExponent = 3.3;

double Clamp(double d, double lo, double hi) { return std::min(hi, std::max(lo, d)); }
}  // namespace

CSurveyRandom::CSurveyRandom(std::uint64_t nSeed) : m_nState(nSeed ^ 0x5DEECE66DULL) {
  // Box-Muller over evenly spread uniforms: a table of normal deviates.
  for (size_t i = 0; i < m_normals.size(); i += 2) {
    const double u1 = (static_cast<double>(i / 2) + 0.5) / static_cast<double>(m_normals.size() / 2);
    const double u2 = Uniform();
    const double r = std::sqrt(-2.0 * std::log(u1));
    m_normals[i] = static_cast<float>(r * std::cos(2 * kPi * u2));
    m_normals[i + 1] = static_cast<float>(r * std::sin(2 * kPi * u2));
  }
}

std::uint64_t CSurveyRandom::Next() {
  std::uint64_t z = (m_nState += 0x9E3779B97F4A7C15ULL);
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
  return z ^ (z >> 31);
}

double CSurveyRandom::Uniform() { return static_cast<double>(Next() >> 11) * 0x1.0p-53; }

double CSurveyRandom::Normal() {
  if (m_nBitsLeft < 12) {
    m_nBits = Next();
    m_nBitsLeft = 64;
  }
  const size_t nIndex = static_cast<size_t>(m_nBits & 0xFFF);
  m_nBits >>= 12;
  m_nBitsLeft -= 12;
  return m_normals[nIndex];
}

double CSurveyRandom::Exponential(double dMean) { return -dMean * std::log(1.0 - Uniform()); }

CSurveyRoute::CSurveyRoute(double dLatitude, double dLongitude, CSurveyRandom& random)
    : m_random(random),
      m_dOriginLatitude(dLatitude),
      m_dOriginLongitude(dLongitude),
      m_dLatitude(dLatitude),
      m_dLongitude(dLongitude),
      m_dHeading(random.Uniform() * 2 * kPi),
      m_dTargetSpeed(7 + random.Uniform() * 8),
      m_dLegLeft(random.Exponential(40)) {}

// Town driving: legs at 7 to 15 m/s, now and then a stop at lights or in a
// queue, a turn at some of the corners, and a heading that wanders a little.
void CSurveyRoute::Advance(double dSeconds) {
  m_dLegLeft -= dSeconds;
  if (m_dLegLeft <= 0) {
    const bool bStop = m_dTargetSpeed > 0 && m_random.Uniform() < 0.2;
    m_dTargetSpeed = bStop ? 0 : 7 + m_random.Uniform() * 8;
    m_dLegLeft = bStop ? 5 + m_random.Exponential(15) : 10 + m_random.Exponential(40);
    if (!bStop && m_random.Uniform() < 0.4) m_dTurnLeft = (m_random.Uniform() < 0.5 ? -0.5 : 0.5) * kPi;
  }
  const double dAcceleration = m_dTargetSpeed > m_dSpeed ? 2.0 : -3.0;
  m_dSpeed = m_dTargetSpeed > m_dSpeed ? std::min(m_dTargetSpeed, m_dSpeed + dAcceleration * dSeconds)
                                       : std::max(m_dTargetSpeed, m_dSpeed + dAcceleration * dSeconds);
  if (m_dSpeed > 1) {
    const double dTurn = Clamp(m_dTurnLeft, -0.4 * dSeconds, 0.4 * dSeconds);
    m_dTurnLeft -= dTurn;
    m_dHeading += dTurn + m_random.Normal() * 0.03 * std::sqrt(dSeconds);
  }
  const double dMetres = m_dSpeed * dSeconds;
  m_dLatitude += dMetres * std::cos(m_dHeading) / kMetresPerDegree;
  const double dCosLatitude = std::max(0.01, std::cos(m_dLatitude * kPi / 180));
  m_dLongitude += dMetres * std::sin(m_dHeading) / (kMetresPerDegree * dCosLatitude);
  m_dLatitude = Clamp(m_dLatitude, -89.9, 89.9);
  if (m_dLongitude > 180) m_dLongitude -= 360;
  if (m_dLongitude < -180) m_dLongitude += 360;
}

double CSurveyRoute::DistanceFromOrigin() const {
  const double dNorth = (m_dLatitude - m_dOriginLatitude) * kMetresPerDegree;
  const double dEast = (m_dLongitude - m_dOriginLongitude) * kMetresPerDegree * std::cos(m_dOriginLatitude * kPi / 180);
  return std::hypot(dNorth, dEast);
}

CSurveySpectrum::CSurveySpectrum(int nBins, int nCarriers, bool bFading, double dFloorDbm, CSurveyRandom& random)
    : m_random(random) {
  nBins = std::max(1, nBins);
  // The floor rises and falls gently over the band and differs a little
  // from bin to bin.
  const double dPeriod = std::max(8.0, nBins / 2.5);
  const double dPhase = random.Uniform() * 2 * kPi;
  m_floorDbm.resize(static_cast<size_t>(nBins));
  for (int k = 0; k < nBins; ++k) {
    const double dRipple = 1.5 * std::sin(2 * kPi * k / dPeriod + dPhase);
    m_floorDbm[static_cast<size_t>(k)] = dFloorDbm + dRipple + 0.6 * random.Normal();
  }
  for (int i = 0; i < nCarriers + (bFading ? 1 : 0); ++i) {
    Carrier c;
    c.kind = i == nCarriers ? Kind::kFading : i % 3 == 1 ? Kind::kBursty : Kind::kSteady;
    c.nBin = static_cast<int>(random.Uniform() * nBins);
    c.nHalfWidth = static_cast<int>(random.Uniform() * 3);
    c.dPeakDbm = c.kind == Kind::kFading ? -45 : c.kind == Kind::kBursty ? -52 - random.Uniform() * 18
                                                                         : -58 - random.Uniform() * 20;
    c.bOn = random.Uniform() < 0.3;
    c.dStateLeft = random.Exponential(c.bOn ? 2.5 : 8);
    m_carriers.push_back(c);
  }
  m_powerMw.resize(m_floorDbm.size());
}

CSurveySpectrum::CSurveySpectrum(const std::vector<const Carrier*>& channels, double dFloorDbm, CSurveyRandom& random)
    : m_random(random), m_bChannels(true) {
  for (size_t k = 0; k < channels.size(); ++k) {
    m_floorDbm.push_back(dFloorDbm + 0.6 * random.Normal());
    if (!channels[k]) continue;
    m_carriers.push_back(*channels[k]);
    m_carriers.back().nBin = static_cast<int>(k);
  }
  m_powerMw.resize(m_floorDbm.size());
}

double CSurveySpectrum::CarrierDbm(Carrier& c, double dSeconds, double dDistance) {
  const double a = std::exp(-dSeconds / kShadowSeconds);
  const double dShadowSpread = c.kind == Kind::kFading ? 1.3 * kShadowDb : kShadowDb;
  c.dShadowDb = a * c.dShadowDb + std::sqrt(1 - a * a) * dShadowSpread * m_random.Normal();
  double dLevel = c.dPeakDbm + c.dShadowDb + kFastFadingDb * m_random.Normal();
  if (c.kind == Kind::kBursty) {
    for (c.dStateLeft -= dSeconds; c.dStateLeft <= 0;) {
      c.bOn = !c.bOn;
      c.dStateLeft += m_random.Exponential(c.bOn ? 2.5 : 8);
    }
  } else if (c.kind == Kind::kFading) {
    dLevel -= 10 * kFadingExponent * std::log10(std::max(dDistance, kFadingReferenceM) / kFadingReferenceM);
  }
  return dLevel;
}

// A carrier holds its level over its half width (within 3 dB) and falls by
// 11 dB a bin beyond it; separate channels do not spill into each other.
void CSurveySpectrum::AddCarrierPower(Carrier& c, double dSeconds, double dDistance) {
  const double dLevel = CarrierDbm(c, dSeconds, dDistance);
  if (c.kind == Kind::kBursty && !c.bOn) return;
  const int nSpan = m_bChannels ? 0 : c.nHalfWidth + 4;
  const int nBins = static_cast<int>(m_powerMw.size());
  for (int o = -nSpan; o <= nSpan; ++o) {
    const int k = c.nBin + o;
    if (k < 0 || k >= nBins) continue;
    const int nOff = std::abs(o);
    const double dRatio = static_cast<double>(nOff) / (c.nHalfWidth + 1);
    const double dLoss = nOff <= c.nHalfWidth ? 3 * dRatio * dRatio : 3 + 11.0 * (nOff - c.nHalfWidth);
    m_powerMw[static_cast<size_t>(k)] += std::pow(10.0, (dLevel - dLoss) / 10);
  }
}

void CSurveySpectrum::Levels(double dSeconds, double dDistance, std::vector<int>& tenths) {
  std::fill(m_powerMw.begin(), m_powerMw.end(), 0.0);
  for (Carrier& c : m_carriers) AddCarrierPower(c, dSeconds, dDistance);
  tenths.resize(m_floorDbm.size());
  for (size_t k = 0; k < m_floorDbm.size(); ++k) {
    double dLevel = m_floorDbm[k] + kFloorSpreadDb * m_random.Normal();
    if (m_powerMw[k] > 0) dLevel = 10 * std::log10(std::pow(10.0, dLevel / 10) + m_powerMw[k]);
    tenths[k] = static_cast<int>(std::lround(Clamp(dLevel, -140, 0) * 10));
  }
}
