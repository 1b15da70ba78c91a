#include "NameValuePayload.h"

#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "NameValueFields.h"
#include "VyrGenericHsMessage.h"

namespace {
constexpr char kNameEnd = '^';
constexpr char kValueEnd = ';';
constexpr char kElementJoin = ',';

void StorePayload(CVyrGenericHsMessage& msg, const std::string& text) {
  char* buf = msg.AllocMsgBuf(static_cast<int>(text.size()));
  if (buf && !text.empty()) std::memcpy(buf, text.data(), text.size());
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

int NameValueGetValue(const CVyrGenericHsMessage& msg, const char* pszName, char** ppszValue) {
  const char* buf = msg.GetMsgBuf();
  std::string_view s = buf ? buf : "";
  std::string_view sought = pszName ? pszName : "";
  CNameValueFieldCursor names(s, kNameEnd);
  CNameValueFieldCursor values(s, kValueEnd);

  // Field 0 at ";" holds the names section and the first value; a payload
  // without any ";" holds no complete value.
  if (s.find(kValueEnd) == std::string_view::npos) return 1;
  std::string_view v = values.Current();
  if (v.empty()) return 1;
  std::string_view n = names.Current();
  if (n.empty()) return 1;
  size_t lastCaret = v.rfind(kNameEnd);
  if (lastCaret == std::string_view::npos) return 1;
  v = v.substr(lastCaret + 1);

  for (int k = 0; n != sought; ++k) {
    if (k == kNameValueLookupLimit) return 1;
    n = names.Next();
    if (n.empty()) return 1;
    v = values.Next();
    if (v.empty()) return 1;
  }
  if (ppszValue) *ppszValue = CopyValue(v);
  return 0;
}

void NameValueFreeValue(char* pszValue) { std::free(pszValue); }
