// The rows of `vyrhost export`: one per level that a measurement message
// leaves, as CSV (RFC 4180 quoting, LF line ends) or as JSON Lines. Numbers
// are written in the shortest form that reads back as the same double;
// frequencies in whole hertz (frequency_hz) and in MHz from them, so that
// 925.4 MHz reads 925.4. The minimum, maximum and standard deviation of a
// statistics log are columns of their own: empty in CSV rows without them,
// and left out of such JSON Lines rows.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "vyr/Log.h"

// The formats of `vyrhost export`: the two row formats here, and GeoJSON
// points and rtl_power sweep rows (ExportGeoJson.h, ExportSweeps.h).
enum class ExportFormat { Csv, Jsonl, GeoJson, Sweeps };

// The CSV header line.
void AppendCsvHeader(std::string& out);
// The rows of one message's levels: the columns that describe the message
// (file, time, position) are formatted once and copied into every row.
void AppendCsvRows(std::string& out, std::string_view file, const vyr::Message& m, const vyr::Level* levels,
                   size_t count);
void AppendJsonlRows(std::string& out, std::string_view file, const vyr::Message& m, const vyr::Level* levels,
                     size_t count);

// One CSV field: quoted when it holds a comma, a double quote, CR or LF, with
// double quotes doubled.
void AppendCsvField(std::string& out, std::string_view s);
// A file cell that no spreadsheet takes for a formula: text beginning with
// =, +, -, @, a tab or a CR gets a leading ' (the others stay as they are).
std::string SpreadsheetSafeCell(std::string_view file);
