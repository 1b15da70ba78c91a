#include "SweepPayload.h"

#include <charconv>

namespace sweepcsv {

void CPayloadWriter::Names(std::initializer_list<const char*> names) {
  for (const char* name : names) {
    m_out += name;
    m_out += '^';
  }
}

void CPayloadWriter::Value(std::string_view text) {
  m_out += text;
  m_out += ';';
}

void CPayloadWriter::Value(long long n) {
  char buf[24];
  m_out.append(buf, std::to_chars(buf, buf + sizeof buf, n).ptr);
  m_out += ';';
}

void SplitPayload(std::string_view payload, PayloadFields& fields) {
  fields.clear();
  const size_t namesEnd = payload.substr(0, payload.find(';')).rfind('^');
  if (namesEnd == std::string_view::npos) return;
  std::string_view names = payload.substr(0, namesEnd + 1);
  std::string_view values = payload.substr(namesEnd + 1);
  while (!names.empty()) {
    const size_t caret = names.find('^');
    const size_t semi = values.find(';');
    fields.emplace_back(names.substr(0, caret), values.substr(0, semi));
    names.remove_prefix(caret + 1);
    values.remove_prefix(semi == std::string_view::npos ? values.size() : semi + 1);
  }
}

bool FindField(const PayloadFields& fields, std::string_view name, std::string_view& value) {
  for (const auto& [n, v] : fields)
    if (n == name) {
      value = v;
      return true;
    }
  return false;
}

void AppendShortest(std::string& out, double d) {
  char buf[400];  // the widest fixed form of a double
  out.append(buf, std::to_chars(buf, buf + sizeof buf, d, std::chars_format::fixed).ptr);
}

}  // namespace sweepcsv
