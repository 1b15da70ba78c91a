// Small JSON writing helpers for the host's machine-readable output.
#pragma once

#include <string>
#include <string_view>

namespace vyr {

// Appends s as a JSON string. Control characters are escaped; valid UTF-8
// passes through; any other byte above 127 is written as \u00XX, so that no
// byte is ever dropped and the output stays valid UTF-8.
void AppendJsonString(std::string& out, std::string_view s);
// Shortest text that reads back as the same double; non-finite values are
// written as the strings "inf", "-inf" and "nan" (JSON has no such numbers).
void AppendJsonNumber(std::string& out, double d);
void AppendJsonInt(std::string& out, long long n);
// The shortest text that reads back as d; "inf", "-inf" and "nan" for the
// values that have no digits (CSV and other plain-text outputs).
void AppendShortestDouble(std::string& out, double d);

}  // namespace vyr
