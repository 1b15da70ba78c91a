// Fuzz target: the text rules of a log's fields on arbitrary texts. The first
// input byte chooses the rule; the rest is its text, and for the rules of two
// texts (coordinate and hemisphere, line and separator) the first line feed
// splits it. ParseTimeOfDay first takes the repeat state it starts from: the
// delay (8 bytes), the repeat count (4) and the latest time (8).
#include <bit>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#include "DataFileHsLogHYTEM.h"
#include "FuzzCheck.h"

namespace {
// The reader with trivial COM methods and its repeat state opened up.
class CFuzzReader final : public CDataFileHsLogHYTEM {
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
  HRESULT Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override { return E_NOTIMPL; }

  using CDataFileHsLogHYTEM::m_delayBetweenMeasurement;
  using CDataFileHsLogHYTEM::m_dLatestTimeOfDay;
  using CDataFileHsLogHYTEM::m_nRepeatCount;
};

template <class T>
T Take(std::string_view& in) {
  T value{};
  const size_t n = in.size() < sizeof(T) ? in.size() : sizeof(T);
  std::memcpy(&value, in.data(), n);
  in.remove_prefix(n);
  return value;
}

void SplitAtLineFeed(std::string_view in, CString& first, CString& second) {
  const size_t n = in.find('\n');
  first = CString(in.substr(0, n));
  second = n == std::string_view::npos ? CString() : CString(in.substr(n + 1));
}

void FuzzDate(std::string_view in) {
  CVyrMilliSecAbsTime date;
  date.SetMs(12345);
  if (CDataFileHsLogHYTEM::ParseDate(CString(in), date) != 0) FUZZ_CHECK(date.GetMs() == 12345);
}

void FuzzTimeOfDay(std::string_view in) {
  CFuzzReader reader;
  reader.m_delayBetweenMeasurement = Take<std::int64_t>(in);
  reader.m_nRepeatCount = Take<std::int32_t>(in);
  reader.m_dLatestTimeOfDay = Take<double>(in);
  const std::int32_t nCount = reader.m_nRepeatCount;
  const std::uint64_t nLatestBits = std::bit_cast<std::uint64_t>(reader.m_dLatestTimeOfDay);
  std::int64_t nTime = -7;
  if (reader.ParseTimeOfDay(CString(in), nTime) != 0) {
    // A refused text leaves the output and the repeat state alone.
    FUZZ_CHECK(nTime == -7);
    FUZZ_CHECK(reader.m_nRepeatCount == nCount);
    FUZZ_CHECK(std::bit_cast<std::uint64_t>(reader.m_dLatestTimeOfDay) == nLatestBits);
  }
}

void FuzzCoordinate(std::string_view in, bool bLatitude) {
  CString strCoord, strHemisphere;
  SplitAtLineFeed(in, strCoord, strHemisphere);
  double d = 1.5;
  const bool bRead = bLatitude ? CDataFileHsLogHYTEM::ParseLatitude(strCoord, strHemisphere, d)
                               : CDataFileHsLogHYTEM::ParseLongitude(strCoord, strHemisphere, d);
  if (!bRead) FUZZ_CHECK(d == 1.5);
}

void FuzzSplit(std::string_view in) {
  CString strLine, strSeparator;
  SplitAtLineFeed(in, strLine, strSeparator);
  CString strName("n"), strValue("v");
  if (CDataFileHsLogHYTEM::SplitNameValue(strLine, strSeparator, strName, strValue) != 0) {
    FUZZ_CHECK(strName == "n" && strValue == "v");
    return;
  }
  // The name is trimmed at its end, the value at its start, and the value is
  // the end of the line.
  FUZZ_CHECK(strName.IsEmpty() || strName.view().back() != ' ');
  FUZZ_CHECK(strValue.IsEmpty() || strValue.view().front() != ' ');
  FUZZ_CHECK(strLine.view().ends_with(strValue.view()));
  FUZZ_CHECK(strName.GetLength() < strLine.GetLength());
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const std::string_view in(reinterpret_cast<const char*>(data + 1), size - 1);
  switch (data[0] % 5) {
    case 0: FuzzDate(in); break;
    case 1: FuzzTimeOfDay(in); break;
    case 2: FuzzCoordinate(in, true); break;
    case 3: FuzzCoordinate(in, false); break;
    default: FuzzSplit(in); break;
  }
  return 0;
}
