// The data-file reader for the text logs of the HYTEM radio scanner's
// software (extensions h2m, h1m, h1s, h2s).
//
// A log starts with a software line containing "HYTEM Software", then a
// header block of "name = value" lines (the scan set-up), then a column header
// line of tab-separated names, then one tab-separated measurement line per
// measurement. A later software line opens a new header block and column
// header line. Every line read becomes one message: a software line a header
// message (class 306) carrying its header block, any other line a measurement
// message (class 307) carrying the line's time, position and fields.
//
// A last line without its line end is a cut line (the log was cut short while
// it was written): what may be cut is not taken. A cut measurement line loses
// its last tab-separated field, the rest is read as usual; a cut header field
// is left out; a cut column header line loses its last name; a cut software
// line opens its header with an empty version. The host's text file tells a
// cut line (CStdioFile::LastLineUnterminated), so that the host can say so.
//
// The COM object around the reader (IUnknown, IDispatch) is supplied by the
// module that creates it, so the class is abstract.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "CString.h"
#include "DataFile.h"
#include "HytemPlainPayload.h"
#include "NameValuePayloadBuilder.h"
#include "RolRetc.h"
#include "VyrGenericHsMessage.h"
#include "VyrTime.h"

class CDataFileHsLogHYTEM : public CDataFile {
 public:
  // Results of ReadFileHeader besides 0.
  static constexpr RolRetc kRcCannotOpen = 1001;   // the log cannot be opened
  static constexpr RolRetc kRcLineMissing = 1002;  // a required line is missing
  static constexpr RolRetc kRcNotHytemLog = 1004;  // not a HYTEM log, or header or first measurement unusable
  // A line longer than the text file's maximum (64 MiB) gives the line
  // reader's ROL_LINE_TOO_LONG (4), from ReadFileHeader as from
  // ReadNextMessage: the log is refused there, or ends in that error.
  // Memory running out gives ROL_OUT_OF_MEMORY (5) the same way.

  static constexpr std::int32_t kHeaderMsgClass = 306;       // "HYTEM Header"
  static constexpr std::int32_t kMeasurementMsgClass = 307;  // "HYTEM Message"
  static constexpr std::int16_t kHytemDeviceType = 115;
  static constexpr int kMaxLineLength = 8192;

  CDataFileHsLogHYTEM();
  ~CDataFileHsLogHYTEM() override;

  RolRetc LoadDataFile(const char* pszPath, const char* pszOptions) override;
  RolRetc ReadFileHeader(const char* pszPath) override;
  RolRetc ReadNextMessage(CVyrGenericHsMessage& msg, int nReserved) override;

  // Text rules of the log's fields (HytemTextRules.cpp). All but
  // ParseTimeOfDay leave the reader alone.

  // Splits "name = value" at the first strSeparator: the name loses the
  // character just before the separator and its trailing blanks, the value
  // its leading blanks. 0 when split; 1 (outputs untouched) when the line is
  // empty or has no separator.
  static int SplitNameValue(CString strLine, CString strSeparator, CString& strName, CString& strValue);
  // "MM/DD/YY" or "MM-DD-YYYY" to midnight of that day. 0 when a date form
  // was found, else 1 (date untouched).
  static int ParseDate(const CString& strDate, CVyrMilliSecAbsTime& date);
  // "HH:MM:SS[.fff]" (or the short forms "MM:SS.f" and "SS.f") to
  // milliseconds within the day, plus the repeat offset of lines that do not
  // advance the latest time. 0 when read; 1 (output and state untouched) when
  // the text is refused.
  int ParseTimeOfDay(const CString& strTime, std::int64_t& nTimeWithinDay);
  // "DD.MMmm" (degrees, point, minutes / 100) to decimal degrees, negated when
  // the hemisphere text holds an upper-case S (latitude) or W (longitude).
  // False (output untouched) when the text has no point or starts with it.
  static bool ParseLatitude(const CString& strLatitude, const CString& strNS, double& dLatitude);
  static bool ParseLongitude(const CString& strLongitude, const CString& strWE, double& dLongitude);

  // For a host that decodes one log in pieces side by side
  // (HytemReaderState.cpp). ReadNextMessage without the payload of a
  // measurement message: the same lines read, the same state left (columns,
  // delay, repeat state, the host's clock), at a fraction of the cost.
  RolRetc ReadNextMessageWithoutPayload(CVyrGenericHsMessage& msg);
  // The state that message reading carries from one line to the next
  // (column list and indexes, delay, repeat state), as text, and back. False
  // when the text is not such a state; the reader is then left as it was.
  void SaveState(std::string& state) const;
  bool LoadState(std::string_view state);

 protected:
  // Reads the header block after a software line into the payload fields,
  // then the column header line into the column list. 0 when a column header
  // line was read, else the line reader's code.
  RolRetc ReadHeaderBlock(CNameValuePayloadBuilder& fields);
  // Time within day, position and validity of a measurement line; the result
  // of ParseTimeOfDay (outputs other than those it reads stay as passed).
  int ParseMeasurementLine(const CString& strLine, std::int64_t& nTimeWithinDay, double& dLongitude,
                           double& dLatitude, std::int32_t& nValidity);

  CStringArray m_columnNames;
  std::int32_t m_nTimeCol = -1;
  std::int32_t m_nDateCol = -1;
  std::int32_t m_nLatitudeCol = -1;
  std::int32_t m_nLongitudeCol = -1;
  std::int32_t m_nNSCol = -1;
  std::int32_t m_nWECol = -1;
  std::int32_t m_nValidityCol = -1;
  std::int64_t m_delayBetweenMeasurement = 0;  // milliseconds
  std::int32_t m_nRepeatCount = 0;             // lines in a row not above the latest time
  double m_dLatestTimeOfDay = 0.0;             // seconds

 private:
  RolRetc ReadFileHeaderLines(const char* pszPath);
  RolRetc ReadMessageLines(CVyrGenericHsMessage& msg);
  RolRetc ReadStartTime(CVyrMilliSecAbsTime& start);
  void AnnounceStream(const CVyrMilliSecAbsTime& start);
  void ReadColumnHeader(const CString& strLine);
  void ResetColumns();
  void BuildHeaderMessage(CVyrGenericHsMessage& msg, const CString& strLine);
  void BuildMeasurementMessage(CVyrGenericHsMessage& msg, const CString& strLine);
  void SetMeasurementFields(CVyrGenericHsMessage& msg, const CString& strLine);
  RolRetc ReadLogLine(CString& strLine);

  // Scratch buffers kept from line to line so that reading a line does not
  // allocate once the buffers have grown to the log's line length.
  CString m_strLine;
  bool m_bLineCut = false;  // the line read last ran to the end of the file without a line end
  bool m_bWithoutPayload = false;  // measurement messages are read without their fields
  CNameValuePayloadBuilder m_payload;  // the fields of the message being read
  std::string m_strPayload;
  CHytemPlainPayload m_plainPayload;  // follows m_columnNames
  std::vector<std::uint32_t> m_valueEnds;  // the index of the plain payload being built
};
