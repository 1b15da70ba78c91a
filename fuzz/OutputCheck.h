// Strict checks of what the command line writes, for the fuzz targets and
// their replay: JSON as RFC 8259 defines it, and CSV records (RFC 4180
// quoting) of a fixed number of fields.
#pragma once

#include <cstddef>
#include <string_view>

// True when text is exactly one JSON value with optional white space around
// it: UTF-8 throughout, strings with valid escapes and no raw control
// characters, numbers in JSON's own grammar (no NaN, no leading zeros, no
// plus sign), no trailing commas, at most 64 levels of nesting.
bool IsStrictJson(std::string_view text);

// True when text is a series of CSV records, each ended by LF, each with
// exactly nFields fields: a field is either unquoted (no comma, double
// quote, CR or LF in it) or quoted with its double quotes doubled. The
// number of records goes to nRecords.
bool IsCsvRecords(std::string_view text, size_t nFields, size_t& nRecords);
