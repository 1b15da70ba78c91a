// A decode receiver, a recording data state and an expanded message, with
// helpers to build payloads and read attributes back.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "HytemDecodeReceiver.h"
#include "HytemNameValueDefns.h"
#include "HytemScanDecoding.h"
#include "MemoryDataState.h"
#include "NameValuePayload.h"
#include "VyrDecodeDevice.h"
#include "VyrGenericHsMessage.h"
#include "VyrSchema.h"

namespace hytem_test {
constexpr int kPlan = 0;
constexpr int kMsg = 2147483647;

using Fields = std::vector<std::pair<std::string, std::string>>;

inline CVyrDeviceTypeInfo HytemDeviceInfo() { return CVyrDeviceTypeInfo(115, 0, 0, 0, 0, "Hytem Scanner", "Hytem", 0); }

// A message built field by field, as the reader builds it.
inline CVyrGenericHsMessage MakeMessage(int nMsgClass, const Fields& fields) {
  CVyrGenericHsMessage msg;
  msg.AllocMsgBuf(0);
  msg.m_nMsgClass = nMsgClass;
  for (const auto& [name, value] : fields) NameValueSetField(msg, name.c_str(), value.c_str());
  return msg;
}

inline int AttrId(const char* name) { return GetSchemaDefsDynamic()->GetAttrIdByName(name); }

class HytemDecoderTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    ResolveHytemScanAttrIds();
    InitHytemNameValueDefns();
  }
  void SetUp() override {
    m_savedPrefs = CVyrDecodeDevice::m_prefs;
    ds.SetRecordWrites(true);
    receiver.reset(CreateHytemDecodeDevice(HytemDeviceInfo()));
    ASSERT_NE(receiver, nullptr);
  }
  void TearDown() override { CVyrDecodeDevice::m_prefs = m_savedPrefs; }

  RolRetc Decode(const CVyrGenericHsMessage& msg) { return receiver->DecodeMessage(msg, &ds, expanded, nullptr); }
  RolRetc Decode(int nMsgClass, const Fields& fields) { return Decode(MakeMessage(nMsgClass, fields)); }

  // Decodes a header with bands of (start MHz, stop MHz, step kHz).
  void DecodePlan(const std::vector<std::vector<std::string>>& bands) {
    Fields fields{{"nbScannedBandwidths", std::to_string(bands.size())}};
    for (size_t j = 0; j < bands.size(); ++j) {
      const std::string n = std::to_string(j + 1);
      fields.push_back({"startFrequencies" + n, bands[j][0]});
      fields.push_back({"stopFrequencies" + n, bands[j][1]});
      fields.push_back({"frequencyStep" + n, bands[j][2]});
    }
    Decode(kHytemMsgClassHeader, fields);
  }

  std::optional<double> Number(int attr, int index, int scope) const {
    VyrRetVal v = ds.GetValue(attr, index, scope);
    if (v.m_nStatus != VYR_RV_STATUS_OK) return std::nullopt;
    if (v.m_nType == VYR_RV_DOUBLE) return v.m_value.d;
    if (v.m_nType == VYR_RV_INT32) return v.m_value.i32;
    return std::nullopt;
  }
  std::optional<std::string> Text(int attr, int index, int scope) const {
    VyrRetVal v = ds.GetValue(attr, index, scope);
    if (v.m_nStatus != VYR_RV_STATUS_OK || v.m_nType != VYR_RV_TEXT) return std::nullopt;
    return std::string(v.m_value.psz);
  }
  bool Has(int attr, int index, int scope) const {
    return ds.GetValue(attr, index, scope).m_nStatus == VYR_RV_STATUS_OK;
  }
  // How many writes (sets and clears) went to the attribute.
  size_t WritesTo(int attr) const {
    size_t n = 0;
    for (const auto& w : ds.GetWrites()) n += w.nAttrId == attr;
    return n;
  }

  CVyrMemoryDataState ds;
  CVyrExpandedMessage expanded;
  std::unique_ptr<CVyrDecodeDevice> receiver;

 private:
  CVyrDecodeDevice::DecodeSettings m_savedPrefs;
};
}  // namespace hytem_test
