// Scan messages, a decoder set up for them and a reader of a scan log, shared
// by the benchmarks.
#pragma once

#include <memory>
#include <string>

#include "DataFileHsLogHYTEM.h"
#include "MemoryDataState.h"
#include "VyrDecodeDevice.h"
#include "VyrExpandedMessage.h"
#include "VyrGenericHsMessage.h"

namespace kel_bench {
constexpr int kScanLevels = 400;

// The tab-separated measurement line of a scan log, with nLevels levels.
std::string ScanLine(int nLevels);

// A measurement message of that line, built as the reader builds it.
CVyrGenericHsMessage ScanMessage(int nLevels);

// A measurement message of a four-channel log, built as the reader builds it.
CVyrGenericHsMessage ChannelMessage();

// The fields of a scan header with two bands of nLevels / 2 bins each.
CVyrGenericHsMessage ScanHeaderMessage(int nLevels);

// A HYTEM decode receiver, a data state that holds the scan's frequency plan
// (the header decoded) and an expanded message that wants every text.
struct ScanDecoding {
  explicit ScanDecoding(int nLevels);
  std::unique_ptr<CVyrDecodeDevice> receiver;
  CVyrMemoryDataState dataState;
  CVyrExpandedMessage expanded;
};

// A reader of a scan log of nLines lines written to a temporary file.
class ScanLogReader : public CDataFileHsLogHYTEM {
 public:
  ScanLogReader(int nLevels, int nLines);
  ~ScanLogReader() override;

  // Reads the next message, starting over at the end of the log. The
  // restart is outside the timing.
  template <class State>
  void ReadNext(CVyrGenericHsMessage& msg, State& state) {
    if (ReadNextMessage(msg, 0) == 0) return;
    state.PauseTiming();
    Restart();
    state.ResumeTiming();
    ReadNextMessage(msg, 0);
  }

  HRESULT QueryInterface(REFIID, void**) override { return E_NOTIMPL; }
  ULONG AddRef() override { return 1; }
  ULONG Release() override { return 1; }
  HRESULT GetTypeInfoCount(UINT*) override { return E_NOTIMPL; }
  HRESULT GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  HRESULT GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
  HRESULT Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override {
    return E_NOTIMPL;
  }

 private:
  void Restart();
  std::string m_strPath;
};
}  // namespace kel_bench
