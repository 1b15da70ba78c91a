#include "HytemLogRun.h"

#include <cstring>
#include <memory>
#include <string_view>

#include "ComModule.h"
#include "DataFile.h"
#include "HytemDecodeReceiver.h"
#include "HytemFactories.h"
#include "HytemNameValueDefns.h"
#include "HytemScanDecoding.h"
#include "KelFSD.h"
#include "MemoryDataState.h"
#include "VyrDecodeDevice.h"
#include "VyrExpandedMessage.h"
#include "VyrGenericHsMessage.h"

namespace {
constexpr int kHytemDeviceType = 115;

// 64-bit FNV-1a over length-prefixed pieces, so that no two different
// sequences of pieces run together into the same bytes.
class CDigest {
 public:
  void Add(std::string_view bytes) {
    AddRaw(bytes.size());
    for (unsigned char c : bytes) Mix(c);
  }
  template <class T>
  void AddRaw(const T& value) {
    unsigned char bytes[sizeof(T)];
    std::memcpy(bytes, &value, sizeof(T));
    for (unsigned char c : bytes) Mix(c);
  }
  std::uint64_t Value() const { return m_hash; }

 private:
  void Mix(unsigned char c) { m_hash = (m_hash ^ c) * 0x100000001b3ULL; }
  std::uint64_t m_hash = 0xcbf29ce484222325ULL;
};

void AddWrite(CDigest& digest, const CVyrMemoryDataState::Write& w) {
  digest.AddRaw(w.nAttrId);
  digest.AddRaw(w.nIndex);
  digest.AddRaw(w.nScope);
  digest.AddRaw(w.op);
  digest.AddRaw(w.kind);
  digest.AddRaw(w.dValue);
  digest.AddRaw(w.nValue);
  digest.Add(w.strValue);
}

// Decodes each message as the reader hands it on.
class CDecodingSink final : public IDataFileMessageSink {
 public:
  CDecodingSink(HytemLogRun& run, const HytemMessageCheck& check, int nPlanCap)
      : m_run(run),
        m_check(check),
        m_device(CreateHytemDecodeDevice(
            CVyrDeviceTypeInfo(kHytemDeviceType, 0, -1, 0, 0x10000800ULL, "Hytem Scanner", "Hytem", 0ULL))) {
    m_dataState.SetRecordWrites(true);
    if (CHytemPlanBudget* pBudget = HytemPlanBudgetOf(dynamic_cast<CVyrDecodeReceiver*>(m_device.get()));
        pBudget && nPlanCap > 0)
      pBudget->ScaleDown(nPlanCap);
  }

  RolRetc OnMessage(CDataFile& file, const CVyrGenericHsMessage& msg) override {
    if (m_run.nMessages == 0) m_digest.AddRaw(file.GetFileInfo().GetFileStartTime().GetMs());
    m_expanded.Reset();
    m_dataState.ClearWrites();
    if (m_device) {
      m_device->DecodeMessagePreExec(msg, &m_dataState, m_expanded, nullptr);
      m_device->DecodeMessage(msg, &m_dataState, m_expanded, nullptr);
      m_device->DecodeMessagePostExec(msg, &m_dataState, m_expanded, nullptr);
    }
    AddMessage(msg);
    if (m_check) m_check(msg, m_expanded);
    ++m_run.nMessages;
    return ROL_OK;
  }

  std::uint64_t Digest() const { return m_digest.Value(); }

 private:
  void AddMessage(const CVyrGenericHsMessage& msg) {
    m_digest.AddRaw(msg.m_nMsgClass);
    m_digest.AddRaw(msg.m_msgTime.GetMs());
    m_digest.AddRaw(msg.m_dLatitude);
    m_digest.AddRaw(msg.m_dLongitude);
    m_digest.AddRaw(msg.m_byPosQuality);
    m_digest.Add(std::string_view(msg.GetMsgBuf() ? msg.GetMsgBuf() : "", static_cast<size_t>(msg.GetMsgBufLen())));
    m_digest.Add(m_expanded.m_strSummaryText.view());
    m_digest.Add(m_expanded.m_strMsgName.view());
    m_digest.Add(m_expanded.m_strDetailText.view());
    m_digest.AddRaw(m_expanded.m_nMsgType);
    for (const CVyrMemoryDataState::Write& w : m_dataState.GetWrites()) AddWrite(m_digest, w);
  }

  HytemLogRun& m_run;
  const HytemMessageCheck& m_check;
  std::unique_ptr<CVyrDecodeDevice> m_device;
  CVyrMemoryDataState m_dataState;
  CVyrExpandedMessage m_expanded;
  CDigest m_digest;
};

struct ReleaseReader {
  void operator()(CDataFile* p) const { p->GetControllingUnknown()->Release(); }
};
}  // namespace

void InitHytemModuleForTests() {
  s_comModule.Init();
  RegisterKelFSDTypeLib();
  ResolveHytemScanAttrIds();
  InitHytemNameValueDefns();
}

HytemLogRun RunHytemLog(const std::string& path, const HytemMessageCheck& check, int nPlanCap) {
  HytemLogRun run;
  CDataFile* pReader = CreateHytemDataFile();
  if (!pReader) {
    run.rc = -1;
    return run;
  }
  pReader->GetControllingUnknown()->AddRef();  // the factory's object starts with no reference
  std::unique_ptr<CDataFile, ReleaseReader> reader(pReader);
  CDecodingSink sink(run, check, nPlanCap);
  reader->SetMessageSink(&sink);
  run.rc = reader->LoadDataFile(path.c_str(), "");
  reader->SetMessageSink(nullptr);
  run.nDigest = sink.Digest();
  return run;
}
