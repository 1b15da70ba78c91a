// The shortest round-trip text of doubles, remembered: a log repeats the same
// few thousand levels (the scanner's resolution is a tenth of a dB) and the
// same frequencies on every line, and formatting a double costs far more than
// copying its text. Direct-mapped on the value's bits, so a miss only costs
// the formatting it saves otherwise; the text is always std::to_chars's.
#pragma once

#include <array>
#include <charconv>
#include <cstdint>
#include <cstring>
#include <string>

class CNumberTextCache {
 public:
  // Appends what std::to_chars(double) writes for a finite d.
  void AppendFinite(std::string& out, double d) {
    char buf[kMaxText];
    size_t n = Format(d, buf);
    out.append(buf, n);
  }
  // Writes the text to dst (room for kMaxText) and returns its length.
  size_t Format(double d, char* dst) {
    std::uint64_t bits;
    std::memcpy(&bits, &d, sizeof bits);
    Entry& e = m_entries[Slot(bits)];
    if (!e.bUsed || e.nBits != bits) {
      auto r = std::to_chars(e.text, e.text + kMaxText, d);
      e.nLength = static_cast<std::uint8_t>(r.ptr - e.text);
      e.nBits = bits;
      e.bUsed = true;
    }
    std::memcpy(dst, e.text, kMaxText);
    return e.nLength;
  }
  static constexpr size_t kMaxText = 32;  // the longest double text is 24

 private:
  static constexpr size_t kSlots = 8192;
  static size_t Slot(std::uint64_t bits) {
    return static_cast<size_t>((bits * 0x9E3779B97F4A7C15ull) >> 51) & (kSlots - 1);
  }
  struct Entry {
    std::uint64_t nBits = 0;
    bool bUsed = false;
    std::uint8_t nLength = 0;
    char text[kMaxText];
  };
  std::array<Entry, kSlots> m_entries{};
};
