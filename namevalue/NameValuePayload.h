// The name/value payload of a message: all names, each followed by "^", then
// all values, each followed by ";"; a name written again appends "," and the
// new text to its value. Example: a^b^c^1,3;2,5,6;4;
#pragma once

#include <string_view>

class CVyrGenericHsMessage;

// Writes name = value into the message's payload. Returns 0 when written, 1
// when the payload was left as it was because the values section holds fewer
// values than the name's position requires.
int NameValueSetField(CVyrGenericHsMessage& msg, const char* pszName, const char* pszValue);

// Looks up a name. Returns 0 and a new copy of its whole value in *ppszValue
// (release it with NameValueFreeValue), or 1 with *ppszValue untouched when
// the name is absent or the payload unreadable. Only the first 10001 names of
// a payload can be found, and the walk stops at the first empty name or value.
int NameValueGetValue(const CVyrGenericHsMessage& msg, const char* pszName, char** ppszValue);
void NameValueFreeValue(char* pszValue);

// The same lookup without the copy, for decoding routines on hot paths:
// returns 0 and the whole value as a view into the message's payload (valid
// while the payload is unchanged), or 1 with value untouched.
int NameValueFindValue(const CVyrGenericHsMessage& msg, std::string_view name, std::string_view& value);

// The most names after the first that a lookup compares.
constexpr int kNameValueLookupLimit = 10000;
