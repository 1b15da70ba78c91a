// The compact form of the statistics that travel between threads, processes
// and machines: unsigned varints (7 bits a byte, low first), signed numbers
// zigzag-coded, doubles as their 8 IEEE bytes, little-endian, whatever the
// machine. A reader checks every length against what is left, so that bytes
// from elsewhere cannot make it read outside them.
#pragma once

#include <cstdint>
#include <cstring>
#include <stdexcept>
#include <string>
#include <string_view>

namespace vyr::detail {

class ByteWriter {
 public:
  explicit ByteWriter(std::string& out) : m_out(out) {}
  void Varint(std::uint64_t n) {
    for (; n >= 0x80; n >>= 7) m_out += static_cast<char>((n & 0x7f) | 0x80);
    m_out += static_cast<char>(n);
  }
  void Signed(std::int64_t n) {
    Varint((static_cast<std::uint64_t>(n) << 1) ^ static_cast<std::uint64_t>(n < 0 ? -1 : 0));
  }
  void Double(double d) {
    std::uint64_t bits = 0;
    std::memcpy(&bits, &d, sizeof bits);
    for (int i = 0; i < 8; ++i) m_out += static_cast<char>((bits >> (8 * i)) & 0xff);
  }
  void Text(std::string_view s) {
    Varint(s.size());
    m_out.append(s);
  }

 private:
  std::string& m_out;
};

class ByteReader {
 public:
  explicit ByteReader(std::string_view in) : m_in(in) {}
  std::uint64_t Varint() {
    std::uint64_t n = 0;
    for (int shift = 0; shift < 64; shift += 7) {
      const auto c = static_cast<unsigned char>(Byte());
      n |= static_cast<std::uint64_t>(c & 0x7f) << shift;
      if (!(c & 0x80)) return n;
    }
    Fail("a number runs on");
  }
  // A varint that must not pass limit.
  std::uint64_t Count(std::uint64_t limit) {
    const std::uint64_t n = Varint();
    if (n > limit) Fail("a count is out of range");
    return n;
  }
  std::int64_t Signed() {
    const std::uint64_t z = Varint();
    return static_cast<std::int64_t>((z >> 1) ^ (~(z & 1) + 1));
  }
  double Double() {
    std::uint64_t bits = 0;
    for (int i = 0; i < 8; ++i) bits |= static_cast<std::uint64_t>(static_cast<unsigned char>(Byte())) << (8 * i);
    double d = 0;
    std::memcpy(&d, &bits, sizeof d);
    return d;
  }
  std::string_view Text() {
    const std::uint64_t n = Count(Left());
    std::string_view s = m_in.substr(m_nPos, n);
    m_nPos += n;
    return s;
  }
  std::string_view Raw(std::size_t n) {
    if (n > Left()) Fail("it ends early");
    std::string_view s = m_in.substr(m_nPos, n);
    m_nPos += n;
    return s;
  }
  std::size_t Left() const { return m_in.size() - m_nPos; }
  std::string_view Rest() const { return m_in.substr(m_nPos); }
  [[noreturn]] static void Fail(const char* why) {
    throw std::invalid_argument(std::string("not serialised statistics: ") + why);
  }

 private:
  char Byte() {
    if (m_nPos >= m_in.size()) Fail("it ends early");
    return m_in[m_nPos++];
  }
  std::string_view m_in;
  std::size_t m_nPos = 0;
};

}  // namespace vyr::detail
