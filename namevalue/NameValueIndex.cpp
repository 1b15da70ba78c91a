#include "NameValueIndex.h"

#include "NameValueFields.h"
#include "NameValuePayload.h"
#include "VyrGenericHsMessage.h"

// The walk of the lookup: the first pair is the first name with the part of
// field 0 at ";" after its last "^"; the walk stops at the first empty name
// or value after it and after the first 10001 names. Of a name met twice the
// first occurrence counts.
CNameValueIndex::CNameValueIndex(const CVyrGenericHsMessage& msg) {
  const char* buf = msg.GetMsgBuf();
  const std::string_view s = buf ? buf : "";
  CNameValueFieldCursor names(s, '^');
  CNameValueFieldCursor values(s, ';');
  std::string_view v = values.Current();
  if (v.size() == s.size() || v.empty()) return;  // no ";" at all, or no text before it
  std::string_view n = names.Current();
  const size_t lastCaret = v.rfind('^');
  if (n.empty() || lastCaret == std::string_view::npos) return;
  m_values.emplace(n, v.substr(lastCaret + 1));
  for (int k = 0; k < kNameValueLookupLimit; ++k) {
    n = names.Next();
    if (n.empty()) return;
    v = values.Next();
    if (v.empty()) return;
    m_values.emplace(n, v);
  }
}

bool CNameValueIndex::Find(std::string_view name, std::string_view& value) const {
  const auto it = m_values.find(name);
  if (it == m_values.end()) return false;
  value = it->second;
  return true;
}
