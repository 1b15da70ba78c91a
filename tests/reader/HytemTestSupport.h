// Shared helpers of the reader tests: a concrete reader, a temporary folder,
// a message recorder and log text builders.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <sstream>
#include <string>
#include <vector>

#include <stdlib.h>

#include "DataFileHsLogHYTEM.h"
#include "TempDir.h"

// The reader with trivial COM methods (the object lives on the stack) and its
// protected state opened up for the tests.
class CTestableHytemReader : public CDataFileHsLogHYTEM {
 public:
  HRESULT QueryInterface(REFIID riid, void** ppv) override { return InternalQueryInterface(riid, ppv); }
  ULONG AddRef() override { return static_cast<ULONG>(++m_dwRef); }
  ULONG Release() override { return static_cast<ULONG>(--m_dwRef); }
  HRESULT GetTypeInfoCount(UINT* pctinfo) override {
    if (pctinfo) *pctinfo = 0;
    return S_OK;
  }
  HRESULT GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  HRESULT GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
  HRESULT Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override {
    return E_NOTIMPL;
  }

  using CDataFileHsLogHYTEM::m_columnNames;
  using CDataFileHsLogHYTEM::m_dLatestTimeOfDay;
  using CDataFileHsLogHYTEM::m_delayBetweenMeasurement;
  using CDataFileHsLogHYTEM::m_nDateCol;
  using CDataFileHsLogHYTEM::m_nLatitudeCol;
  using CDataFileHsLogHYTEM::m_nLongitudeCol;
  using CDataFileHsLogHYTEM::m_nMsgsSinceStartTime;
  using CDataFileHsLogHYTEM::m_nNSCol;
  using CDataFileHsLogHYTEM::m_nRepeatCount;
  using CDataFileHsLogHYTEM::m_nTimeCol;
  using CDataFileHsLogHYTEM::m_nValidityCol;
  using CDataFileHsLogHYTEM::m_nWECol;
  using CDataFileHsLogHYTEM::ParseMeasurementLine;
  using CDataFileHsLogHYTEM::ReadHeaderBlock;

  std::vector<std::string> ColumnNames() const {
    std::vector<std::string> names;
    for (int i = 0; i < m_columnNames.GetSize(); ++i) names.push_back(m_columnNames[i].str());
    return names;
  }
};
// One message as the host's sink saw it.
struct RecordedMessage {
  std::int32_t nClass = 0;
  std::int64_t nTimeMs = 0;
  double dLatitude = 0.0;
  double dLongitude = 0.0;
  int nQuality = 0;
  int nFlags = 0;
  std::string payload;

  static RecordedMessage From(const CVyrGenericHsMessage& msg) {
    RecordedMessage r;
    r.nClass = msg.m_nMsgClass;
    r.nTimeMs = msg.m_msgTime.GetMs();
    r.dLatitude = msg.m_dLatitude;
    r.dLongitude = msg.m_dLongitude;
    r.nQuality = msg.m_byPosQuality;
    r.nFlags = msg.m_nFlags;
    r.payload = msg.GetMsgBuf() ? msg.GetMsgBuf() : "";
    return r;
  }
  bool operator==(const RecordedMessage&) const = default;
};

class CMessageRecorder : public IDataFileMessageSink {
 public:
  RolRetc OnMessage(CDataFile&, const CVyrGenericHsMessage& msg) override {
    messages.push_back(RecordedMessage::From(msg));
    return ROL_OK;
  }
  std::vector<RecordedMessage> messages;
};

// Loads a log the way the host does and records every message.
inline std::vector<RecordedMessage> LoadAndRecord(CTestableHytemReader& reader, const std::string& path,
                                                  RolRetc* pResult = nullptr) {
  CMessageRecorder recorder;
  reader.SetMessageSink(&recorder);
  const RolRetc rc = reader.LoadDataFile(path.c_str(), "");
  reader.SetMessageSink(nullptr);
  if (pResult) *pResult = rc;
  else EXPECT_EQ(ROL_OK, rc) << path;
  return recorder.messages;
}

// Lines joined with LF, each one ended.
inline std::string Lines(std::initializer_list<std::string> lines) {
  std::string text;
  for (const std::string& line : lines) text += line + "\n";
  return text;
}

// Fields joined with tabs.
inline std::string Tabbed(std::initializer_list<std::string> fields) {
  std::string line;
  bool bFirst = true;
  for (const std::string& field : fields) {
    if (!bFirst) line += '\t';
    line += field;
    bFirst = false;
  }
  return line;
}

inline std::string ReadWholeFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

inline std::string ToCrlf(const std::string& text) {
  std::string out;
  for (char ch : text) {
    if (ch == '\n') out += '\r';
    out += ch;
  }
  return out;
}

inline std::string IsoTime(std::int64_t ms) {
  CVyrMilliSecAbsTime t;
  t.SetMs(ms);
  return t.FormatIso8601();
}
