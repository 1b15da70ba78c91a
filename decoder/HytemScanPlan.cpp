// DecodeScanBands: the frequency plan of a scan from the bands of its header.
#include <cmath>
#include <cstdint>
#include <string_view>

#include "CString.h"
#include "HytemDecodeReceiver.h"
#include "HytemScanDecoding.h"
#include "HytemValueReading.h"
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

void WritePlanFrequency(IVyrDataState* pDataState, double dFreqMHz, int nElement) {
  CString strText;
  strText.Format("%.3f MHz", dFreqMHz);
  pDataState->SetTextValue(g_nAttrScanLogFreqStr, strText, nElement, kVyrScopeFrequencyPlan, 0);
  pDataState->SetRealValue(g_nAttrScanLogFreq, dFreqMHz * 1000000, nElement, kVyrScopeFrequencyPlan, 0);
}

// Writes the band's frequencies from plan element nNext on and returns the
// element after its last. The half-step tolerance keeps the stop frequency
// although the running sum ends slightly above it. A band ends when the step
// no longer moves the frequency upward, and the plan ends at its cap.
int WriteBandFrequencies(IVyrDataState* pDataState, const HytemBand& band, int nNext, int nCap) {
  const bool bAdvances = band.dStepMHz > 0;
  const double dLimit = bAdvances ? band.dStopMHz + band.dStepMHz * 0.5 : band.dStopMHz;
  double f = band.dStartMHz;
  while (f <= dLimit && std::isfinite(f) && nNext < nCap) {
    WritePlanFrequency(pDataState, f, nNext++);
    const double dNext = f + band.dStepMHz;  // running sum, as the scanner steps
    if (!(dNext > f)) break;
    f = dNext;
  }
  return nNext;
}

// Writes the plan of the header's bands, up to nCap frequencies, and returns
// the number written. Band j starts at element j - 1 of the start indexes;
// element j is its end. The first band without its three fields ends the plan.
int WritePlan(IVyrDataState* pDataState, const CVyrGenericHsMessage& msg, std::int32_t nBands, int nCap) {
  int nNext = 0;
  const CNameValueIndex fields(msg);
  for (std::int64_t j = 1; j <= nBands; ++j) {
    HytemBand band{};
    if (!ReadBand(fields, j, band)) break;
    nNext = WriteBandFrequencies(pDataState, band, nNext, nCap);
    pDataState->SetIntValue(g_nAttrScanLogHytemBandStartIdx, nNext, static_cast<int>(j), kVyrScopeFrequencyPlan, 0);
  }
  return nNext;
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
  const int nWritten = WritePlan(pDataState, msg, nBands, pBudget ? pBudget->PlanCap() : kMaxScanFrequencies);
  if (pBudget) pBudget->Spend(nWritten);
}
