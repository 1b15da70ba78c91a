#include "DataFileHsLogHYTEM.h"

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <new>
#include <string_view>

#include "DataFileInfo.h"
#include "HytemArithmetic.h"
#include "KelStringUtils.h"
#include "NameValueFields.h"
#include "NameValueNumbers.h"
#include "NameValuePayload.h"

namespace {

constexpr char kSoftwareMarker[] = "HYTEM Software";
constexpr char kSoftwareVersionField[] = "Software Version";
constexpr char kDelayName[] = "delayBetweenMeasurement";
constexpr char kFieldSeparator = '\t';
// The time text used when a log has no "Time" column; it reads as 0.
constexpr char kNoTimeText[] = "00:00:0";

// Position quality from the log's position validity (1 is the best fix).
std::uint8_t PositionQuality(std::int32_t nValidity) {
  switch (nValidity) {
    case 1: return 100;
    case 2: return 90;
    case 3: return 80;
    default: return 50;
  }
}

// The fields of a line at the given columns, found in one pass: what
// zuCStringGetFieldIterate gives for each, a column of -1 or one beyond the
// end of the line reading as empty.
template <size_t N>
void ReadColumns(std::string_view line, const std::int32_t (&columns)[N], std::string_view (&fields)[N]) {
  const std::int32_t nLast = *std::max_element(columns, columns + N);
  const char* const end = line.data() + line.size();
  const char* start = line.data();
  for (std::int32_t i = 0; i <= nLast; ++i) {
    const char* stop = NameValueFindSeparator(start, end, kFieldSeparator);
    for (size_t c = 0; c < N; ++c)
      if (columns[c] == i) fields[c] = std::string_view(start, static_cast<size_t>(stop - start));
    if (stop == end) break;
    start = stop + 1;
  }
}

// A line without its line end ran to the end of a log that was cut short
// while it was written (a full disk, a dropped cable): its last field may be
// cut too, inside a number even ("-5" of "-51.3"), and is not taken. What
// comes before the last tab is certain and stays.
void DropLastField(CString& strLine) {
  std::string& text = strLine.str();
  const size_t nTab = text.rfind(kFieldSeparator);
  text.erase(nTab == std::string::npos ? 0 : nTab);
}

// Every entry point of the reader turns an exhausted memory into a result
// code: a host that loads a hostile log sees an error, never an abort.
template <class Work>
RolRetc CatchOutOfMemory(Work work) {
  try {
    return work();
  } catch (const std::bad_alloc&) {
    return ROL_OUT_OF_MEMORY;
  }
}
}  // namespace

CDataFileHsLogHYTEM::CDataFileHsLogHYTEM() = default;
CDataFileHsLogHYTEM::~CDataFileHsLogHYTEM() = default;


RolRetc CDataFileHsLogHYTEM::LoadDataFile(const char* pszPath, const char* pszOptions) {
  return CatchOutOfMemory([&] {
    ResetColumns();
    RolRetc rc = DataFileInit(pszPath, pszOptions);
    if (rc != ROL_OK) return rc;
    return ProcessFile(true);
  });
}

void CDataFileHsLogHYTEM::ResetColumns() {
  m_columnNames.RemoveAll();
  m_nTimeCol = m_nDateCol = m_nLatitudeCol = m_nLongitudeCol = -1;
  m_nNSCol = m_nWECol = m_nValidityCol = -1;
  m_plainPayload.SetColumns(m_columnNames);
}

// A line beyond the text file's maximum length refuses the log with the line
// reader's own code, whatever line it was: the log is not one to guess at.
RolRetc CDataFileHsLogHYTEM::ReadFileHeader(const char* pszPath) {
  const RolRetc rc = CatchOutOfMemory([&] { return ReadFileHeaderLines(pszPath); });
  return rc != ROL_OK && m_file.LineTooLong() ? ROL_LINE_TOO_LONG : rc;
}

// Opens the log, checks its software line, reads the header block and the
// column header line, and takes the start time from the first measurement
// line. The file stays open after that line.
RolRetc CDataFileHsLogHYTEM::ReadFileHeaderLines(const char* pszPath) {
  m_fileInfo.Clear();
  m_delayBetweenMeasurement = 0;
  m_dLatestTimeOfDay = 0.0;
  m_nRepeatCount = 0;

  if (!m_file.Open(pszPath, CStdioFile::modeRead | CStdioFile::shareDenyWrite | CStdioFile::typeText)) {
    return kRcCannotOpen;
  }
  CString strLine;
  if (ReadLogLine(strLine) != ROL_OK) return kRcLineMissing;
  if (strLine.Find(kSoftwareMarker) < 0) return kRcNotHytemLog;  // only the first line counts

  m_payload.Clear();  // the header fields are not kept here
  if (ReadHeaderBlock(m_payload) != ROL_OK) return kRcNotHytemLog;

  CVyrMilliSecAbsTime start;
  const RolRetc rc = ReadStartTime(start);
  if (rc != ROL_OK) return rc;
  AnnounceStream(start);
  return ROL_OK;
}

// The file starts at the date and time within day of the first measurement
// line, with the repeat offset that the line has when it is read as a
// message. Message reading reads that line again, from the start of the file:
// the repeat state is left as it was found, so that the line is read once as
// itself and not as a repeat of itself, one delay late.
RolRetc CDataFileHsLogHYTEM::ReadStartTime(CVyrMilliSecAbsTime& start) {
  CString strLine;
  if (ReadLogLine(strLine) != ROL_OK) return kRcLineMissing;
  if (m_bLineCut) DropLastField(strLine);
  if (m_nDateCol == -1) return kRcNotHytemLog;
  CString strDate;
  zuCStringGetFieldIterate(strLine, m_nDateCol, kFieldSeparator, strDate);
  if (m_nTimeCol == -1) return kRcNotHytemLog;
  CString strTime;
  zuCStringGetFieldIterate(strLine, m_nTimeCol, kFieldSeparator, strTime);

  std::int64_t nTimeWithinDay = 0;
  const double dLatestTimeOfDay = m_dLatestTimeOfDay;
  const std::int32_t nRepeatCount = m_nRepeatCount;
  const int nTimeResult = ParseTimeOfDay(strTime, nTimeWithinDay);
  m_dLatestTimeOfDay = dLatestTimeOfDay;
  m_nRepeatCount = nRepeatCount;
  if (nTimeResult != 0) return kRcNotHytemLog;
  CVyrMilliSecAbsTime date;
  if (ParseDate(strDate, date) != 0) return kRcNotHytemLog;
  start.SetMs(hytem::SaturatingAdd(date.GetMs(), nTimeWithinDay));
  return ROL_OK;
}

// The log holds one stream, from the HYTEM scanner.
void CDataFileHsLogHYTEM::AnnounceStream(const CVyrMilliSecAbsTime& start) {
  CDataStreamInfo stream;
  stream.m_deviceType.m_nDeviceType = kHytemDeviceType;
  stream.m_nStreamFlags = 0;
  stream.m_startTime = start.GetMs();
  m_fileInfo.AddStreamInfo(stream);
  m_fileInfo.SetFileStartTime(start, CVyrMilliSecRelTime(0), true);
  m_nMsgsSinceStartTime = 0;  // counted from the new start time
}

// A NUL byte cannot be carried by a payload, which is a NUL-terminated text:
// it would cut off the rest of its field. The NUL bytes of a line (a log whose
// end a crash filled with zeros, say) are dropped as the line is read; every
// other byte is kept. Whether the line had its line end is kept in m_bLineCut.
RolRetc CDataFileHsLogHYTEM::ReadLogLine(CString& strLine) {
  const RolRetc rc = zuCStringGetLine(m_file, strLine, kMaxLineLength);
  m_bLineCut = rc == ROL_OK && m_file.LastLineUnterminated();
  std::string& text = strLine.str();
  if (rc == ROL_OK && text.find('\0') != std::string::npos)
    text.erase(std::remove(text.begin(), text.end(), '\0'), text.end());
  return rc;
}

RolRetc CDataFileHsLogHYTEM::ReadHeaderBlock(CNameValuePayloadBuilder& fields) {
  CString strLine;
  RolRetc rc = ReadLogLine(strLine);
  if (rc != ROL_OK) return rc;
  CString strName;
  CString strValue;
  // Every "name = value" line is a header field; the first line that is
  // empty or has no "=" is the column header line. A cut line is the last
  // one: a cut field is not taken (its value may be cut, and a name without
  // its value is no set-up), and a cut column header line loses its last
  // name.
  while (SplitNameValue(strLine, "=", strName, strValue) == 0) {
    if (!m_bLineCut) {
      if (strName == kDelayName) m_delayBetweenMeasurement = std::atol(strValue);
      fields.SetField(strName.view(), strValue.view());
    }
    rc = ReadLogLine(strLine);
    if (rc != ROL_OK) return rc;
  }
  if (m_bLineCut) DropLastField(strLine);
  ReadColumnHeader(strLine);
  return ROL_OK;
}

// The column names run up to the first empty field. Indexes of the columns
// that this line lacks keep their earlier values.
void CDataFileHsLogHYTEM::ReadColumnHeader(const CString& strLine) {
  struct KnownColumn {
    const char* pszName;
    std::int32_t CDataFileHsLogHYTEM::*pIndex;
  };
  static const KnownColumn s_knownColumns[] = {
      {"Time", &CDataFileHsLogHYTEM::m_nTimeCol},           {"Date", &CDataFileHsLogHYTEM::m_nDateCol},
      {"Latitude", &CDataFileHsLogHYTEM::m_nLatitudeCol},   {"Longitude", &CDataFileHsLogHYTEM::m_nLongitudeCol},
      {"NS", &CDataFileHsLogHYTEM::m_nNSCol},               {"WE", &CDataFileHsLogHYTEM::m_nWECol},
      {"Validity", &CDataFileHsLogHYTEM::m_nValidityCol},
  };

  m_columnNames.RemoveAll();
  CString strName;
  zuCStringGetFieldIterate(strLine, 0, kFieldSeparator, strName);
  int nPos = 0;
  for (std::int32_t i = 0; !strName.IsEmpty(); ++i) {
    for (const KnownColumn& column : s_knownColumns) {
      if (strName == column.pszName) this->*column.pIndex = i;
    }
    m_columnNames.Add(strName);
    zuCStringGetNextFieldIterate(strLine, nPos, kFieldSeparator, strName);
  }
  m_plainPayload.SetColumns(m_columnNames);
}

RolRetc CDataFileHsLogHYTEM::ReadNextMessage(CVyrGenericHsMessage& msg, int /*nReserved*/) {
  return CatchOutOfMemory([&] { return ReadMessageLines(msg); });
}

RolRetc CDataFileHsLogHYTEM::ReadMessageLines(CVyrGenericHsMessage& msg) {
  RolRetc rc = ReadLogLine(m_strLine);
  if (rc != ROL_OK) return rc;
  msg.AllocMsgBuf(0);
  if (m_strLine.Find(kSoftwareMarker) >= 0) {
    BuildHeaderMessage(msg, m_strLine);
  } else {
    if (m_bLineCut) DropLastField(m_strLine);
    BuildMeasurementMessage(msg, m_strLine);
  }
  msg.m_nFlags = 0;
  return ROL_OK;
}

// A software line opens a new header: its version and the following header
// block form one message; the column header line replaces the column list.
// A cut software line still opens a header, but its version, at the line's
// end, may be cut and stays empty.
void CDataFileHsLogHYTEM::BuildHeaderMessage(CVyrGenericHsMessage& msg, const CString& strLine) {
  msg.m_msgTime = CVyrMilliSecRelTime(0);
  CString strBeforeDash;
  CString strVersion;
  if (!m_bLineCut) SplitNameValue(strLine, "-", strBeforeDash, strVersion);
  m_payload.Clear();
  m_payload.SetField(kSoftwareVersionField, strVersion.view());
  // A block cut off by the end of the file keeps the fields read so far.
  ReadHeaderBlock(m_payload);
  m_payload.Store(msg);
  msg.m_nMsgClass = kHeaderMsgClass;
}

void CDataFileHsLogHYTEM::BuildMeasurementMessage(CVyrGenericHsMessage& msg, const CString& strLine) {
  std::int64_t nTimeWithinDay = 0;
  double dLongitude = kVyrNoPosition;
  double dLatitude = kVyrNoPosition;
  std::int32_t nValidity = 0;
  if (ParseMeasurementLine(strLine, nTimeWithinDay, dLongitude, dLatitude, nValidity) != 0) {
    msg.m_dLongitude = kVyrNoPosition;
    msg.m_dLatitude = kVyrNoPosition;
    msg.m_byPosQuality = 0;
  } else {
    msg.m_dLongitude = dLongitude;
    msg.m_dLatitude = dLatitude;
    msg.m_byPosQuality = PositionQuality(nValidity);
  }
  if (!m_bWithoutPayload) SetMeasurementFields(msg, strLine);
  const CVyrMilliSecRelTime relTime =
      m_fileInfo.CalculateRelMsgTimeFromTimeWithinDay(CVyrMilliSecRelTime(nTimeWithinDay));
  msg.m_msgTime = CVyrMilliSecRelTime(relTime.GetMs() < 0 ? 0 : relTime.GetMs());
  msg.m_nMsgClass = kMeasurementMsgClass;
}

int CDataFileHsLogHYTEM::ParseMeasurementLine(const CString& strLine, std::int64_t& nTimeWithinDay,
                                              double& dLongitude, double& dLatitude, std::int32_t& nValidity) {
  const std::int32_t columns[] = {m_nTimeCol, m_nValidityCol, m_nLatitudeCol, m_nNSCol, m_nLongitudeCol, m_nWECol};
  std::string_view fields[std::size(columns)];
  ReadColumns(strLine.view(), columns, fields);
  const CString strTime = m_nTimeCol != -1 ? CString(fields[0]) : CString(kNoTimeText);

  if (m_nValidityCol != -1) {
    nValidity = NameValueReadInt(CString(fields[1]));
    if (nValidity > 0) {
      // A missing column is field -1, which reads as empty: no coordinate,
      // no hemisphere.
      ParseLatitude(CString(fields[2]), CString(fields[3]), dLatitude);
      ParseLongitude(CString(fields[4]), CString(fields[5]), dLongitude);
    }
  }
  // The position is read first: only lines with an accepted time move the
  // repeat state.
  return ParseTimeOfDay(strTime, nTimeWithinDay);
}

// One payload field per column name, in column order (a name that occurs
// twice collects both fields, joined by ","); the values after the last
// column extend the last column's value.
//
// With no column names (a later software line followed by an empty column
// header line) no value has a name: the payload stays empty, while the
// line's time and position are still read through the column indexes.
void CDataFileHsLogHYTEM::SetMeasurementFields(CVyrGenericHsMessage& msg, const CString& strLine) {
  const int nColumns = m_columnNames.GetSize();
  if (nColumns == 0) return;
  // A payload beyond INT_MAX characters (a line of more than 2 GiB) does not
  // fit the message: the builder below leaves such a message empty.
  if (m_plainPayload.Build(strLine.view(), m_strPayload, &m_valueEnds) && m_strPayload.size() <= INT_MAX) {
    char* buf = msg.AllocMsgBuf(static_cast<int>(m_strPayload.size()));
    if (!buf) return;
    std::memcpy(buf, m_strPayload.data(), m_strPayload.size());
    // The fields as this pass split them, so that the decoder need not split
    // the payload again.
    std::uint32_t* pEnds = msg.AllocPayloadIndex(static_cast<std::uint32_t>(m_plainPayload.NamesLength()),
                                                 static_cast<std::uint32_t>(m_valueEnds.size()));
    std::copy(m_valueEnds.begin(), m_valueEnds.end(), pEnds);
    return;
  }
  // One pass over the line: field i of the cursor is column i's value, and a
  // field beyond the end of the line reads as empty. The trailing values run
  // up to the first empty field; each extends the last column's value.
  m_payload.Clear();
  CNameValueFieldCursor fields(strLine.view(), kFieldSeparator);
  m_payload.SetField(m_columnNames[0].view(), fields.Current());
  for (int i = 1; i < nColumns; ++i) m_payload.SetField(m_columnNames[i].view(), fields.Next());
  const std::string_view lastName = m_columnNames[nColumns - 1].view();
  for (std::string_view value = fields.Next(); !value.empty(); value = fields.Next())
    m_payload.SetField(lastName, value);
  m_payload.Store(msg);
}
