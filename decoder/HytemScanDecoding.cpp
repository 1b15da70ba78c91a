// The attribute ids of the scan decoding, and the routines of single fields:
// frequency texts, the level floor and the channel level list.
#include "HytemScanDecoding.h"

#include <bit>
#include <cstdint>
#include <string>
#include <string_view>

#include "CString.h"
#include "HytemValueReading.h"
#include "NameValueDecoder.h"
#include "NameValueFixed.h"
#include "NameValueNumbers.h"
#include "NameValuePayload.h"
#include "VyrDataState.h"
#include "VyrExpandedMessage.h"
#include "VyrSchema.h"

int g_nAttrScanLogFreqStr = 0;
int g_nAttrScanLogHytemBandStartIdx = 0;
int g_nAttrScanLogFreq = 0;
int g_nAttrScanBinDbMean = 0;
int g_nAttrScanSortSigLevelBySigLev = 0;
int g_nAttrScanSortIndexBySigLev = 0;
int g_nAttrScanSortFreqBySigLev = 0;

int ResolveHytemAttrId(const char* pszName) {
  const IVyrSchemaAccessor2* schema = GetSchemaDefsDynamic();
  return schema ? schema->GetAttrIdByName(pszName) : 0;
}

void ResolveHytemScanAttrIds() {
  g_nAttrScanLogFreqStr = ResolveHytemAttrId("ATTR_ID_SCAN_LOG_FREQ_STR");
  g_nAttrScanLogHytemBandStartIdx = ResolveHytemAttrId("ATTR_ID_SCAN_LOG_HYTEM_BAND_START_IDX");
  g_nAttrScanLogFreq = ResolveHytemAttrId("ATTR_ID_SCAN_LOG_FREQ");
  g_nAttrScanBinDbMean = ResolveHytemAttrId("ATTR_ID_SCAN_BIN_DB_MEAN");
  g_nAttrScanSortSigLevelBySigLev = ResolveHytemAttrId("ATTR_ID_SCAN_SORT_SIGLEVEL_BY_SIGLEV");
  g_nAttrScanSortIndexBySigLev = ResolveHytemAttrId("ATTR_ID_SCAN_SORT_INDEX_BY_SIGLEV");
  g_nAttrScanSortFreqBySigLev = ResolveHytemAttrId("ATTR_ID_SCAN_SORT_FREQ_BY_SIGLEV");
}

void DecodeFreqText(const CVyrGenericHsMessage& msg, const NameValueDefn* pDefn, IVyrDataState* pDataState,
                    CVyrExpandedMessage*, CVyrDecodeReceiver*, IKelCellRefs_Search*) {
  if (!pDefn || !pDataState) return;
  // The row's own field, named from its index (wide, so that no index overflows).
  CString strName;
  strName.Format("frequency%lld", static_cast<long long>(pDefn->nIndex) + 1);
  CHytemPayloadValue value(msg, strName);
  if (!value) return;
  // The log states the frequency in MHz, as the text shows it.
  CString strText;
  strText.Format("%.3f MHz", NameValueReadDouble(value.c_str()));
  pDataState->SetTextValue(g_nAttrScanLogFreqStr, strText, pDefn->nIndex, kVyrScopeMessage, 0);
}

void ApplyLevelFloor(const CVyrGenericHsMessage&, const NameValueDefn* pDefn, IVyrDataState* pDataState,
                     CVyrExpandedMessage*, CVyrDecodeReceiver*, IKelCellRefs_Search*) {
  if (!pDefn || !pDataState) return;
  // Read back what the generic step stored, in the attribute's own unit.
  VyrRetVal v = pDataState->GetValue(pDefn->nAttrId, pDefn->nIndex, kVyrScopeMessage);
  if (HytemRetValIsNumber(v) && HytemRetValNumber(v) < kLevelFloorDbm)
    pDataState->ClearValue(pDefn->nAttrId, pDefn->nIndex, kVyrScopeMessage, 0);
}

namespace {
// The frequency texts of the channels last listed: a channel log repeats the
// same four frequencies on every line, so each is formatted once.
struct ChannelFreqTexts {
  static constexpr int kChannels = 4;
  std::uint64_t bits[kChannels] = {};
  std::string texts[kChannels];
};

// Appends "%f" of the frequency of channel nChannel.
void AppendChannelFreq(CString& strOut, int nChannel, double dFreqMHz) {
  thread_local ChannelFreqTexts t_texts;
  if (nChannel < 0 || nChannel >= ChannelFreqTexts::kChannels) {
    NameValueAppendFixed(strOut, dFreqMHz, 6);
    return;
  }
  const auto bits = std::bit_cast<std::uint64_t>(dFreqMHz);
  std::string& text = t_texts.texts[nChannel];
  if (text.empty() || t_texts.bits[nChannel] != bits) {
    CString strText;
    NameValueAppendFixed(strText, dFreqMHz, 6);
    text = strText.str();
    t_texts.bits[nChannel] = bits;
  }
  strOut.str() += text;
}
}  // namespace

void DecodeChannelLevel(const CVyrGenericHsMessage& msg, const NameValueDefn* pDefn, IVyrDataState* pDataState,
                        CVyrExpandedMessage* pExpandedMsg, CVyrDecodeReceiver* pReceiver,
                        IKelCellRefs_Search* pSearch) {
  ApplyLevelFloor(msg, pDefn, pDataState, pExpandedMsg, pReceiver, pSearch);
  if (!pDefn || !pDataState || !pExpandedMsg || !pExpandedMsg->m_bWantDetailText) return;
  if (pDefn->nIndex == 0) pExpandedMsg->m_strDetailText += "\nFreq (MHz)\tRSSI (dBm)\n";

  // The frequency decoded from "frequencyN" of the same index, in MHz.
  VyrRetVal freq = pDataState->GetValueAlt(g_nAttrScanLogFreq, pDefn->nIndex, kVyrScopeMessage);
  double dFreqMHz = GetUnitsConverter()->ucConvert(GetAttrUnitType(g_nAttrScanLogFreq), UT_MHZ,
                                                   HytemRetValNumber(freq));
  // The level as the log wrote it, whether or not the floor cleared it,
  // read in place: the payload does not change while the message is decoded.
  std::string_view level;
  if (NameValueFindValue(msg, pDefn->pszName ? pDefn->pszName : "", level) != 0) return;
  // "%f\t%s\n"
  CString& strDetail = pExpandedMsg->m_strDetailText;
  AppendChannelFreq(strDetail, pDefn->nIndex, dFreqMHz);
  strDetail += '\t';
  strDetail.Append(level.data(), static_cast<int>(level.size()));
  strDetail += '\n';
}
