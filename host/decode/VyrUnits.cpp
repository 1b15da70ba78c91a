#include "VyrSchema.h"

namespace {
// Frequency units as powers of ten of a hertz; -1 for other kinds.
int FrequencyExponent(int nUnit) {
  switch (nUnit) {
    case UT_HZ: return 0;
    case UT_KHZ: return 3;
    case UT_MHZ: return 6;
    case UT_GHZ: return 9;
    default: return -1;
  }
}

double PowerOfTen(int n) {
  double p = 1.0;
  while (n-- > 0) p *= 10.0;
  return p;
}
}  // namespace

double CVyrUnitsConverter::ucConvert(int nFromUnit, int nToUnit, double dValue) const {
  if (nFromUnit == nToUnit) return dValue;
  int from = FrequencyExponent(nFromUnit);
  int to = FrequencyExponent(nToUnit);
  if (from < 0 || to < 0) return dValue;
  // Multiply or divide by an exact power of ten, so that 145.5 MHz is exactly
  // 145500000 Hz and back.
  return from >= to ? dValue * PowerOfTen(from - to) : dValue / PowerOfTen(to - from);
}

const char* CVyrUnitsConverter::UnitName(int nUnit) {
  switch (nUnit) {
    case UT_DBM: return "dBm";
    case UT_DB: return "dB";
    case UT_COUNT: return "count";
    case UT_HZ: return "Hz";
    case UT_KHZ: return "kHz";
    case UT_MHZ: return "MHz";
    case UT_GHZ: return "GHz";
    default: return "";
  }
}

CVyrUnitsConverter* GetUnitsConverter() {
  static CVyrUnitsConverter converter;
  return &converter;
}
