// Builds a message's whole name/value payload in one pass.
//
// NameValueSetField rewrites the whole payload for every field it writes, so
// a message written field by field costs its number of fields times its
// length: a header block of 100,000 lines or a line of 100,000 columns would
// take hours. The builder collects the fields and stores the payload once,
// in time and memory linear in its length.
//
// The stored payload holds the names in the order of their first write, each
// followed by "^", then each name's values, joined by "," in the order of the
// writes and followed by ";". For names and values without "^" and ";" (the
// format's rule) this is exactly the text that NameValueSetField gives when
// called for each write in turn on an empty payload. A text that breaks the
// rule is kept as it stands, in its field's place: the field-by-field builder
// would instead refuse or misplace later values of such a payload.
#pragma once

#include <cstddef>
#include <deque>
#include <string>
#include <string_view>
#include <unordered_map>

class CVyrGenericHsMessage;

class CNameValuePayloadBuilder {
 public:
  // Forgets the fields; the storage is kept for the next payload.
  void Clear();

  // Adds name = value; a name written before gets "," and the value appended
  // to its value. Each text counts up to its first NUL byte, as the C texts
  // of NameValueSetField do.
  void SetField(std::string_view name, std::string_view value);

  // Replaces the message's payload with the fields written since Clear.
  void Store(CVyrGenericHsMessage& msg) const;

  std::size_t GetFieldCount() const { return m_nFields; }

 private:
  struct Field {
    std::string strName;
    std::string strValue;
  };

  // Below this many fields a name is found by comparing; from it on, through
  // the index.
  static constexpr std::size_t kIndexFrom = 16;

  Field* FindField(std::string_view name);
  Field& AddField(std::string_view name, std::string_view value);

  std::deque<Field> m_fields;  // a deque: fields never move, so the index may view their names
  std::size_t m_nFields = 0;   // fields in use; the others keep their storage
  std::unordered_map<std::string_view, std::size_t> m_index;
};
