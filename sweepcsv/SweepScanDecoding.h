// The routines of the sweep field table: the frequency plan of a plan
// message and the levels of a sweep message (SweepDecodeDevice.h says what
// they write).
#pragma once

#include <cstdint>
#include <string_view>

#include "SweepDecodeDevice.h"
#include "VyrDataState.h"
#include "VyrExpandedMessage.h"

struct SweepDecodeContext {
  const sweepcsv::PayloadFields& fields;
  IVyrDataState* pDataState;
  CVyrExpandedMessage& expanded;
  const CSweepDecodeDevice::AttrIds& ids;
};

using SweepFieldRoutine = void (*)(const SweepDecodeContext& context, std::string_view value);

// "Band": the plan from the lists HzLow, HzStep, HopBins and Band.
void DecodeSweepPlan(const SweepDecodeContext& context, std::string_view value);
// "Bins": the number of plan bins.
void DecodeSweepBinCount(const SweepDecodeContext& context, std::string_view value);
// "Levels": the sweep's levels at their plan elements, and the ten strongest
// in the detail text.
void DecodeSweepLevels(const SweepDecodeContext& context, std::string_view value);

// The level text of one element, blanks around it allowed; false for an
// empty text or one that is no number. Plain decimals ("-45.25") are read
// directly, the rest as the standard conversion reads it.
bool ReadSweepLevel(const char* p, const char* end, double& level);
