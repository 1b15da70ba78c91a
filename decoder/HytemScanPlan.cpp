// DecodeScanBands: the frequency plan of a scan from the bands of its header.
#include <cmath>
#include <cstdint>
#include <string_view>

#include "CString.h"
#include "HytemDecodeReceiver.h"
#include "HytemScanDecoding.h"
#include "HytemValueReading.h"
#include "NameValueFixed.h"
#include "NameValueIndex.h"
#include "NameValueNumbers.h"
#include "VyrDataState.h"

namespace {
struct HytemBand {
  double dStartMHz;
  double dStopMHz;
  double dStepMHz;
};

// The start, stop and step of band j; false when any of them is missing. The
// fields come from an index of the payload: a set-up of thousands of bands
// would otherwise walk the payload three times per band.
bool ReadBand(const CNameValueIndex& fields, std::int64_t j, HytemBand& band) {
  CString strStart, strStop, strStep;
  strStart.Format("startFrequencies%lld", static_cast<long long>(j));
  strStop.Format("stopFrequencies%lld", static_cast<long long>(j));
  strStep.Format("frequencyStep%lld", static_cast<long long>(j));
  std::string_view start, stop, step;
  if (!fields.Find(strStart.view(), start) || !fields.Find(strStop.view(), stop) || !fields.Find(strStep.view(), step))
    return false;
  band.dStartMHz = NameValueReadDouble(start);
  band.dStopMHz = NameValueReadDouble(stop);
  band.dStepMHz = NameValueReadDouble(step) * 0.001;  // the log gives kHz
  return true;
}

// Where a plan stands: the element of its next frequency, and the units of
// text it may still take.
struct PlanRoom {
  int nNext = 0;
  std::int64_t nUnitsLeft = 0;
  bool bFull = false;  // a frequency did not fit: the plan ends there
};

// Writes one frequency's text and hertz at the next element; false, writing
// nothing, when its text does not fit the room left.
bool WritePlanFrequency(IVyrDataState* pDataState, double dFreqMHz, PlanRoom& room) {
  CString strText;  // "%.3f MHz"
  NameValueAppendFixed(strText, dFreqMHz, 3);
  strText += " MHz";
  const std::int64_t nUnits = (strText.GetLength() + kPlanTextUnitBytes - 1) / kPlanTextUnitBytes;
  if (nUnits > room.nUnitsLeft) {
    room.bFull = true;
    return false;
  }
  pDataState->SetTextValue(g_nAttrScanLogFreqStr, strText, room.nNext, kVyrScopeFrequencyPlan, 0);
  pDataState->SetRealValue(g_nAttrScanLogFreq, dFreqMHz * 1000000, room.nNext, kVyrScopeFrequencyPlan, 0);
  ++room.nNext;
  room.nUnitsLeft -= nUnits;
  return true;
}

// Writes the band's frequencies from the room's next element on. The
// half-step tolerance keeps the stop frequency although the running sum ends
// slightly above it. A band ends when the step no longer moves the frequency
// upward, and the plan ends when a frequency does not fit.
void WriteBandFrequencies(IVyrDataState* pDataState, const HytemBand& band, PlanRoom& room) {
  const bool bAdvances = band.dStepMHz > 0;
  const double dLimit = bAdvances ? band.dStopMHz + band.dStepMHz * 0.5 : band.dStopMHz;
  double f = band.dStartMHz;
  while (f <= dLimit && std::isfinite(f) && !room.bFull) {
    if (!WritePlanFrequency(pDataState, f, room)) break;
    const double dNext = f + band.dStepMHz;  // running sum, as the scanner steps
    if (!(dNext > f)) break;
    f = dNext;
  }
}

// Writes the plan of the header's bands, up to nCap units, and returns the
// units taken. Band j starts at element j - 1 of the start indexes; element
// j is its end. The first band without its three fields ends the plan.
std::int64_t WritePlan(IVyrDataState* pDataState, const CVyrGenericHsMessage& msg, std::int32_t nBands, int nCap) {
  PlanRoom room;
  room.nUnitsLeft = nCap;
  const CNameValueIndex fields(msg);
  for (std::int64_t j = 1; j <= nBands; ++j) {
    HytemBand band{};
    if (!ReadBand(fields, j, band)) break;
    WriteBandFrequencies(pDataState, band, room);
    pDataState->SetIntValue(g_nAttrScanLogHytemBandStartIdx, room.nNext, static_cast<int>(j), kVyrScopeFrequencyPlan, 0);
  }
  return nCap - room.nUnitsLeft;
}
}  // namespace

CHytemPlanBudget* HytemPlanBudgetOf(CVyrDecodeReceiver* pReceiver) {
  auto* pHytem = dynamic_cast<CVyrDecodeReceiverHytem*>(pReceiver);
  return pHytem ? &pHytem->PlanBudget() : nullptr;
}

void DecodeScanBands(const CVyrGenericHsMessage& msg, const NameValueDefn*, IVyrDataState* pDataState,
                     CVyrExpandedMessage*, CVyrDecodeReceiver* pReceiver, IKelCellRefs_Search*) {
  if (!pDataState) return;
  CHytemPayloadValue count(msg, "nbScannedBandwidths");
  if (!count) return;
  const std::int32_t nBands = NameValueReadLong(count.c_str());

  pDataState->SetIntValue(g_nAttrScanLogHytemBandStartIdx, 0, 0, kVyrScopeFrequencyPlan, 0);
  CHytemPlanBudget* pBudget = HytemPlanBudgetOf(pReceiver);
  const std::int64_t nUnits = WritePlan(pDataState, msg, nBands, pBudget ? pBudget->PlanCap() : kMaxScanFrequencies);
  if (pBudget) pBudget->Spend(nUnits);
}
