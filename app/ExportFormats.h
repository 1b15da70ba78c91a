// The rows of `vyrhost export`: one per bin level that a measurement message
// leaves, as CSV (RFC 4180 quoting, LF line ends) or as JSON Lines. Numbers
// are written in the shortest form that reads back as the same double.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "vyr/LevelRows.h"

// The formats of `vyrhost export`: the two row formats here, and GeoJSON
// points and rtl_power sweep rows (ExportGeoJson.h, ExportSweeps.h).
enum class ExportFormat { Csv, Jsonl, GeoJson, Sweeps };

// The CSV header line.
void AppendCsvHeader(std::string& out);
void AppendCsvRow(std::string& out, std::string_view file, const MessageFacts& m, const LevelRow& r);
void AppendJsonlRow(std::string& out, std::string_view file, const MessageFacts& m, const LevelRow& r);
// All the rows of one message, byte for byte the same as one Append...Row
// call per row: the columns that describe the message (file, time, position)
// are formatted once and copied into every row.
void AppendCsvRows(std::string& out, std::string_view file, const MessageFacts& m, const std::vector<LevelRow>& rows);
void AppendJsonlRows(std::string& out, std::string_view file, const MessageFacts& m,
                     const std::vector<LevelRow>& rows);

// One CSV field: quoted when it holds a comma, a double quote, CR or LF, with
// double quotes doubled.
void AppendCsvField(std::string& out, std::string_view s);
// A file cell that no spreadsheet takes for a formula: text beginning with
// =, +, -, @, a tab or a CR gets a leading ' (the others stay as they are).
std::string SpreadsheetSafeCell(std::string_view file);
// The shortest text that reads back as d; "inf", "-inf" and "nan" for the
// values that have no digits.
void AppendShortestDouble(std::string& out, double d);
