#include "NameValuePayload.h"

#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "NameValueFields.h"
#include "NameValueLayout.h"
#include "VyrGenericHsMessage.h"

namespace {
constexpr char kNameEnd = '^';
constexpr char kValueEnd = ';';
constexpr char kElementJoin = ',';

void StorePayload(CVyrGenericHsMessage& msg, const std::string& text) {
  char* buf = msg.AllocMsgBuf(static_cast<int>(text.size()));
  if (buf && !text.empty()) std::memcpy(buf, text.data(), text.size());
}

// Names are a few characters long: compared in place, without a call.
bool SameName(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (a[i] != b[i]) return false;
  return true;
}

char* CopyValue(std::string_view v) {
  auto* p = static_cast<char*>(std::malloc(v.size() + 1));
  if (!p) return nullptr;
  if (!v.empty()) std::memcpy(p, v.data(), v.size());
  p[v.size()] = '\0';
  return p;
}
}  // namespace

int NameValueSetField(CVyrGenericHsMessage& msg, const char* pszName, const char* pszValue) {
  std::string_view name = pszName ? pszName : "";
  std::string_view value = pszValue ? pszValue : "";
  const char* current = msg.GetMsgBufForWrite();
  std::string text;
  if (!current) {
    text.reserve(name.size() + value.size() + 2);
    text.append(name).push_back(kNameEnd);
    text.append(value).push_back(kValueEnd);
    StorePayload(msg, text);
    return 0;
  }
  std::string_view p(current);

  // Walk the name tokens: the text up to each "^". The values section holds
  // no "^", so the walk ends there, at the insertion point of a new name.
  size_t cursor = 0;
  int ordinal = 0;
  for (;;) {
    size_t caret = p.find(kNameEnd, cursor);
    if (caret == std::string_view::npos) break;
    if (p.substr(cursor, caret - cursor) == name) {
      // Present: the (ordinal+1)-th ";" from the name on ends its value.
      size_t semi = cursor;
      for (int passed = 0;; ++semi) {
        semi = p.find(kValueEnd, semi);
        if (semi == std::string_view::npos) return 1;
        if (++passed == ordinal + 1) break;
      }
      text.reserve(p.size() + value.size() + 1);
      text.append(p.substr(0, semi)).push_back(kElementJoin);
      text.append(value).append(p.substr(semi));
      StorePayload(msg, text);
      return 0;
    }
    cursor = caret + 1;
    ++ordinal;
  }
  text.reserve(p.size() + name.size() + value.size() + 2);
  text.append(p.substr(0, cursor)).append(name).push_back(kNameEnd);
  text.append(p.substr(cursor)).append(value).push_back(kValueEnd);
  StorePayload(msg, text);
  return 0;
}

int NameValueFindValue(const CVyrGenericHsMessage& msg, std::string_view sought, std::string_view& value) {
  // A payload being decoded through a layout was split already.
  if (const CNameValueLayout* pLayout = CNameValueLayoutScope::For(msg)) return pLayout->Find(sought, value) ? 0 : 1;
  const char* buf = msg.GetMsgBuf();
  const std::string_view s = buf ? buf : "";
  const char* const begin = s.data();
  const char* const end = begin + s.size();

  // Field 0 at ";" holds the names section and the first value, which
  // follows its last "^"; a payload without any ";" holds no complete value.
  const char* valueEnd = NameValueFindSeparator(begin, end, kValueEnd);
  if (valueEnd == end || valueEnd == begin) return 1;
  const char* nameEnd = NameValueFindSeparator(begin, end, kNameEnd);
  if (nameEnd == begin) return 1;
  const char* lastCaret = valueEnd;
  while (lastCaret != begin && *--lastCaret != kNameEnd) {
  }
  if (*lastCaret != kNameEnd) return 1;
  std::string_view n(begin, static_cast<size_t>(nameEnd - begin));
  std::string_view v(lastCaret + 1, static_cast<size_t>(valueEnd - lastCaret - 1));

  // Name k is field k at "^" and value k field k at ";"; the walk stops at
  // the first empty one (a field after the last separator is empty).
  for (int k = 0; !SameName(n, sought); ++k) {
    if (k == kNameValueLookupLimit || nameEnd == end || valueEnd == end) return 1;
    const char* nameStart = nameEnd + 1;
    nameEnd = NameValueFindSeparator(nameStart, end, kNameEnd);
    n = std::string_view(nameStart, static_cast<size_t>(nameEnd - nameStart));
    if (n.empty()) return 1;
    const char* valueStart = valueEnd + 1;
    valueEnd = NameValueFindSeparator(valueStart, end, kValueEnd);
    v = std::string_view(valueStart, static_cast<size_t>(valueEnd - valueStart));
    if (v.empty()) return 1;
  }
  value = v;
  return 0;
}

int NameValueGetValue(const CVyrGenericHsMessage& msg, const char* pszName, char** ppszValue) {
  std::string_view value;
  if (NameValueFindValue(msg, pszName ? pszName : "", value) != 0) return 1;
  if (ppszValue) *ppszValue = CopyValue(value);
  return 0;
}

void NameValueFreeValue(char* pszValue) { std::free(pszValue); }
