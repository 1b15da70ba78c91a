// The value lookup for many names of one payload at once.
//
// NameValueGetValue walks the payload from its start for every name it looks
// up. A routine that reads thousands of fields of one payload (the bands of a
// scan set-up: three fields each) would walk it thousands of times, a cost of
// fields times payload length. The index walks the payload once, the way the
// lookup walks it, and then gives for any name what the lookup gives.
#pragma once

#include <string_view>
#include <unordered_map>

class CVyrGenericHsMessage;

class CNameValueIndex {
 public:
  // Indexes the message's payload; the message must stay unchanged while the
  // index is used.
  explicit CNameValueIndex(const CVyrGenericHsMessage& msg);

  // True and the value that NameValueGetValue finds for the name, as a view
  // into the payload; false when the lookup finds nothing.
  bool Find(std::string_view name, std::string_view& value) const;

 private:
  std::unordered_map<std::string_view, std::string_view> m_values;  // first occurrence of each name
};
