#include "NameValuePayloadBuilder.h"

#include <climits>
#include <cstring>

#include "VyrGenericHsMessage.h"

namespace {
constexpr char kNameEnd = '^';
constexpr char kValueEnd = ';';
constexpr char kElementJoin = ',';

std::string_view UpToNul(std::string_view text) { return text.substr(0, text.find('\0')); }

char* Append(char* out, const std::string& text, char chEnd) {
  std::memcpy(out, text.data(), text.size());
  out[text.size()] = chEnd;
  return out + text.size() + 1;
}
}  // namespace

void CNameValuePayloadBuilder::Clear() {
  m_nFields = 0;
  m_index.clear();
}

CNameValuePayloadBuilder::Field* CNameValuePayloadBuilder::FindField(std::string_view name) {
  if (m_nFields < kIndexFrom) {
    for (std::size_t i = 0; i < m_nFields; ++i)
      if (m_fields[i].strName == name) return &m_fields[i];
    return nullptr;
  }
  auto it = m_index.find(name);
  return it == m_index.end() ? nullptr : &m_fields[it->second];
}

CNameValuePayloadBuilder::Field& CNameValuePayloadBuilder::AddField(std::string_view name, std::string_view value) {
  if (m_nFields == m_fields.size()) m_fields.emplace_back();
  Field& field = m_fields[m_nFields];
  field.strName.assign(name);
  field.strValue.assign(value);
  ++m_nFields;
  if (m_nFields == kIndexFrom) {
    for (std::size_t i = 0; i < m_nFields; ++i) m_index.emplace(m_fields[i].strName, i);
  } else if (m_nFields > kIndexFrom) {
    m_index.emplace(field.strName, m_nFields - 1);
  }
  return field;
}

void CNameValuePayloadBuilder::SetField(std::string_view name, std::string_view value) {
  name = UpToNul(name);
  value = UpToNul(value);
  if (Field* field = FindField(name)) {
    field->strValue.push_back(kElementJoin);
    field->strValue.append(value);
    return;
  }
  AddField(name, value);
}

void CNameValuePayloadBuilder::Store(CVyrGenericHsMessage& msg) const {
  std::size_t nLength = 0;
  for (std::size_t i = 0; i < m_nFields; ++i) nLength += m_fields[i].strName.size() + m_fields[i].strValue.size() + 2;
  // The message holds at most INT_MAX characters: a longer payload (a line of
  // more than 2 GiB) cannot be carried and leaves the message empty.
  if (nLength > static_cast<std::size_t>(INT_MAX)) nLength = 0;
  char* out = msg.AllocMsgBuf(static_cast<int>(nLength));
  if (!out || nLength == 0) return;
  for (std::size_t i = 0; i < m_nFields; ++i) out = Append(out, m_fields[i].strName, kNameEnd);
  for (std::size_t i = 0; i < m_nFields; ++i) out = Append(out, m_fields[i].strValue, kValueEnd);
}
