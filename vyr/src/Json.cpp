#include "vyr/Json.h"

#include <charconv>
#include <cmath>

namespace vyr {

namespace {
// Length of the valid UTF-8 sequence at s[i], or 0.
size_t Utf8SequenceLength(std::string_view s, size_t i) {
  auto c = static_cast<unsigned char>(s[i]);
  size_t n = c >= 0xF0 && c <= 0xF4 ? 4 : c >= 0xE0 && c <= 0xEF ? 3 : c >= 0xC2 && c <= 0xDF ? 2 : 0;
  if (n == 0 || i + n > s.size()) return 0;
  for (size_t k = 1; k < n; ++k)
    if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) return 0;
  auto c1 = static_cast<unsigned char>(s[i + 1]);
  if (c == 0xE0 && c1 < 0xA0) return 0;  // overlong
  if (c == 0xED && c1 > 0x9F) return 0;  // surrogate
  if (c == 0xF0 && c1 < 0x90) return 0;  // overlong
  if (c == 0xF4 && c1 > 0x8F) return 0;  // beyond U+10FFFF
  return n;
}

void AppendEscapedByte(std::string& out, unsigned char c) {
  static const char kHex[] = "0123456789abcdef";
  out += "\\u00";
  out += kHex[c >> 4];
  out += kHex[c & 15];
}
}  // namespace

void AppendJsonString(std::string& out, std::string_view s) {
  out += '"';
  for (size_t i = 0; i < s.size();) {
    auto c = static_cast<unsigned char>(s[i]);
    if (c >= 0x20 && c < 0x80 && c != '"' && c != '\\') {
      out += static_cast<char>(c);
      ++i;
      continue;
    }
    switch (c) {
      case '"': out += "\\\""; ++i; continue;
      case '\\': out += "\\\\"; ++i; continue;
      case '\n': out += "\\n"; ++i; continue;
      case '\r': out += "\\r"; ++i; continue;
      case '\t': out += "\\t"; ++i; continue;
      default: break;
    }
    if (c < 0x80) {
      AppendEscapedByte(out, c);
      ++i;
      continue;
    }
    size_t n = Utf8SequenceLength(s, i);
    if (n) {
      out.append(s.substr(i, n));
      i += n;
    } else {
      AppendEscapedByte(out, c);
      ++i;
    }
  }
  out += '"';
}

void AppendJsonNumber(std::string& out, double d) {
  if (std::isnan(d)) {
    out += "\"nan\"";
    return;
  }
  if (std::isinf(d)) {
    out += d > 0 ? "\"inf\"" : "\"-inf\"";
    return;
  }
  char buf[32];
  auto r = std::to_chars(buf, buf + sizeof buf, d);
  out.append(buf, r.ptr);
}

void AppendJsonInt(std::string& out, long long n) {
  char buf[24];
  auto r = std::to_chars(buf, buf + sizeof buf, n);
  out.append(buf, r.ptr);
}

void AppendShortestDouble(std::string& out, double d) {
  if (std::isnan(d)) {
    out += "nan";
    return;
  }
  if (std::isinf(d)) {
    out += d > 0 ? "inf" : "-inf";
    return;
  }
  char buf[32];
  auto r = std::to_chars(buf, buf + sizeof buf, d);
  out.append(buf, r.ptr);
}

}  // namespace vyr
