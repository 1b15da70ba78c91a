// Fuzz target: name/value payloads. The first input byte chooses the mode and
// the settings, the rest is text.
//
// Decode mode (bit 0 clear): the text up to the first line feed is a header
// payload, the rest a measurement payload, both taken as they stand (a NUL
// ends a payload, which is a C text). Both are decoded by a HYTEM decode
// receiver into one data state, the header first, and every name of the
// HYTEM field table is looked up in both.
//
// Build mode (bit 0 set): each line of the text is one write, name and value
// split at the first tab. The writes go to NameValueSetField, field by field,
// and to the one-pass builder. When every text keeps the format's rule (no
// "^" or ";"), the two payloads must be equal, and every lookup must give what
// a model of the fields says. The payload is then decoded as a measurement.
#include <climits>
#include <cmath>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "FuzzCheck.h"
#include "HytemDecodeReceiver.h"
#include "HytemNameValueDefns.h"
#include "HytemScanDecoding.h"
#include "MemoryDataState.h"
#include "NameValuePayload.h"
#include "NameValuePayloadBuilder.h"
#include "VyrDecodeDevice.h"
#include "VyrExpandedMessage.h"
#include "VyrGenericHsMessage.h"

namespace {
struct Field {
  std::string strName;
  std::string strValue;
};

std::unique_ptr<CVyrDecodeDevice> g_receiver;
// Frequency plans are cut at this many frequencies instead of a million: the
// same cuts, without a million writes for a header of a few bytes.
constexpr int kFuzzPlanCap = 1000;

CVyrGenericHsMessage MessageOf(std::string_view payload, int nMsgClass) {
  payload = payload.substr(0, payload.find('\0'));
  CVyrGenericHsMessage msg;
  char* buf = msg.AllocMsgBuf(static_cast<int>(payload.size()));
  payload.copy(buf, payload.size());
  msg.m_nMsgClass = nMsgClass;
  return msg;
}

void Decode(const CVyrGenericHsMessage& msg, CVyrMemoryDataState& dataState) {
  CVyrExpandedMessage expanded;
  g_receiver->DecodeMessage(msg, &dataState, expanded, nullptr);
  FUZZ_CHECK(expanded.m_nMsgType == static_cast<std::int16_t>(msg.m_nMsgClass));
}

// Every lookup gives a text without NUL, owned by the caller.
void LookUpTableNames(const CVyrGenericHsMessage& msg) {
  for (int r = 0; r < s_nHytemNameValueDefns; ++r) {
    char* pszValue = nullptr;
    if (NameValueGetValue(msg, s_HytemNameValueDefns[r].pszName, &pszValue) == 0) FUZZ_CHECK(pszValue != nullptr);
    NameValueFreeValue(pszValue);
  }
}

void RunDecodeMode(std::string_view text) {
  // Each input starts with a fresh plan budget: no input depends on the ones before.
  CHytemPlanBudget* pBudget = HytemPlanBudgetOf(dynamic_cast<CVyrDecodeReceiver*>(g_receiver.get()));
  FUZZ_CHECK(pBudget != nullptr);
  pBudget->ScaleDown(kFuzzPlanCap);
  const size_t nSplit = text.find('\n');
  const std::string_view header = text.substr(0, nSplit);
  const std::string_view measurement = nSplit == std::string_view::npos ? std::string_view() : text.substr(nSplit + 1);
  CVyrMemoryDataState dataState;
  dataState.SetRecordWrites(true);
  const CVyrGenericHsMessage headerMsg = MessageOf(header, kHytemMsgClassHeader);
  const CVyrGenericHsMessage measurementMsg = MessageOf(measurement, kHytemMsgClassMeasurement);
  Decode(headerMsg, dataState);
  Decode(measurementMsg, dataState);
  LookUpTableNames(headerMsg);
  LookUpTableNames(measurementMsg);
}

std::vector<Field> ParseWrites(std::string_view text) {
  std::vector<Field> writes;
  while (!text.empty()) {
    const size_t nEnd = text.find('\n');
    const std::string_view line = text.substr(0, nEnd);
    const size_t nTab = line.find('\t');
    const std::string_view name = line.substr(0, nTab);
    const std::string_view value = nTab == std::string_view::npos ? std::string_view() : line.substr(nTab + 1);
    // NameValueSetField reads C texts: each ends at its first NUL.
    writes.push_back({std::string(name.substr(0, name.find('\0'))), std::string(value.substr(0, value.find('\0')))});
    text = nEnd == std::string_view::npos ? std::string_view() : text.substr(nEnd + 1);
  }
  return writes;
}

bool KeepsTheRule(const std::vector<Field>& writes) {
  for (const Field& w : writes)
    if (w.strName.find_first_of("^;") != std::string::npos || w.strValue.find_first_of("^;") != std::string::npos)
      return false;
  return true;
}

// The fields that the writes make: first-write order, values joined by ",".
std::vector<Field> ModelFields(const std::vector<Field>& writes) {
  std::vector<Field> fields;
  std::unordered_map<std::string, size_t> index;
  for (const Field& w : writes) {
    auto [it, bNew] = index.emplace(w.strName, fields.size());
    if (bNew) fields.push_back(w);
    else fields[it->second].strValue += "," + w.strValue;
  }
  return fields;
}

// The lookup of a rule-keeping payload finds field k when its walk gets there:
// the walk stops at an empty first name, at any later empty name or value, and
// after the first 10001 names.
void CheckLookups(const CVyrGenericHsMessage& msg, const std::vector<Field>& fields) {
  bool bReachable = !fields.empty() && !fields[0].strName.empty();
  for (size_t k = 0; k < fields.size(); ++k) {
    if (k > 0 && (fields[k].strName.empty() || fields[k].strValue.empty())) bReachable = false;
    if (k > static_cast<size_t>(kNameValueLookupLimit)) bReachable = false;
    char* pszValue = nullptr;
    const int rc = NameValueGetValue(msg, fields[k].strName.c_str(), &pszValue);
    if (bReachable) {
      FUZZ_CHECK(rc == 0 && pszValue != nullptr && fields[k].strValue == pszValue);
    } else {
      FUZZ_CHECK(rc == 1 && pszValue == nullptr);
    }
    NameValueFreeValue(pszValue);
  }
}

void RunBuildMode(std::string_view text) {
  const std::vector<Field> writes = ParseWrites(text);
  CVyrGenericHsMessage fieldByField;
  fieldByField.AllocMsgBuf(0);
  CNameValuePayloadBuilder builder;
  for (const Field& w : writes) {
    const int rc = NameValueSetField(fieldByField, w.strName.c_str(), w.strValue.c_str());
    FUZZ_CHECK(rc == 0 || rc == 1);
    builder.SetField(w.strName, w.strValue);
  }
  CVyrGenericHsMessage built;
  builder.Store(built);
  built.m_nMsgClass = kHytemMsgClassMeasurement;
  if (KeepsTheRule(writes)) {
    FUZZ_CHECK(std::string_view(built.GetMsgBuf()) == fieldByField.GetMsgBuf());
    const std::vector<Field> fields = ModelFields(writes);
    FUZZ_CHECK(builder.GetFieldCount() == fields.size());
    CheckLookups(built, fields);
  }
  CVyrMemoryDataState dataState;
  Decode(built, dataState);
}
}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  ResolveHytemScanAttrIds();
  InitHytemNameValueDefns();
  g_receiver.reset(CreateHytemDecodeDevice(CVyrDeviceTypeInfo(115, 0, 0, 0, 0, "Hytem Scanner", "Hytem", 0)));
  FUZZ_CHECK(g_receiver != nullptr);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const std::uint8_t nMode = data[0];
  // Bit 1 chooses the level threshold: all levels kept, or those from -90 dBm.
  CVyrDecodeDevice::m_prefs.dLevelThreshold = (nMode & 2) != 0 ? -90.0 : -INFINITY;
  const std::string_view text(reinterpret_cast<const char*>(data + 1), size - 1);
  if ((nMode & 1) == 0) RunDecodeMode(text);
  else RunBuildMode(text);
  return 0;
}
