#include "NameValueDecoder.h"

#include <algorithm>
#include <array>
#include <climits>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_set>

#include "NameValueFields.h"
#include "NameValueLayout.h"
#include "NameValueNumbers.h"
#include "VyrDataState.h"
#include "VyrExpandedMessage.h"
#include "VyrGenericHsMessage.h"
#include "VyrSchema.h"

namespace {
constexpr char kNameEnd = '^';
constexpr char kValueEnd = ';';
constexpr char kElementJoin = ',';

// The first value: field 0 at ";" after its last "^". False when the payload
// holds no pair, as for the value lookup: no ";" at all, an empty first name
// or value, or no "^" before the first ";".
bool FirstPair(std::string_view payload, const CNameValueFieldCursor& names, const CNameValueFieldCursor& values,
               std::string_view& name, std::string_view& value) {
  value = values.Current();
  if (value.size() == payload.size()) return false;  // no ";" at all
  name = names.Current();
  if (value.empty() || name.empty()) return false;
  size_t lastCaret = value.rfind(kNameEnd);
  if (lastCaret == std::string_view::npos) return false;
  value.remove_prefix(lastCaret + 1);
  return true;
}

// Runs the routine; false when it threw.
bool RunCallback(const NameValueDefn& defn, const CVyrGenericHsMessage& msg, const NameValueDecoder& ctx) {
  try {
    defn.pfnCallback(msg, &defn, ctx.pDataState, ctx.pExpandedMsg, ctx.pReceiver, ctx.pSearch);
  } catch (...) {
    return false;
  }
  return true;
}

// The definitions already applied in one payload. A payload holds few
// defined fields, so the first ones are kept without allocating.
class CAppliedDefinitions {
 public:
  // False when the definition was applied before; otherwise notes it.
  bool Add(const NameValueDefn* pDefn) {
    const auto end = m_local.begin() + static_cast<std::ptrdiff_t>(m_nLocal);
    if (std::find(m_local.begin(), end, pDefn) != end) return false;
    if (m_nLocal < m_local.size()) {
      m_local[m_nLocal++] = pDefn;
      return true;
    }
    return m_more.insert(pDefn).second;
  }

 private:
  std::array<const NameValueDefn*, 48> m_local{};
  size_t m_nLocal = 0;
  std::unordered_set<const NameValueDefn*> m_more;
};

// Whether the field's value text is read at all: by the conversion (an
// attribute and a type) or by the detail text (a label and a type).
bool UsesValueText(const NameValueDefn& defn) {
  return defn.nType != 0 && (defn.nAttrId != 0 || (defn.pszLabel && *defn.pszLabel));
}
}  // namespace

void NameValueDecoder::Decode(const CVyrGenericHsMessage& msg, const NameValueDefnMap& map, CNameValueLayout* pLayout) {
  // The message is read only, for the routines too, so its payload stays as
  // it is for the whole walk and is read in place.
  const char* buf = msg.GetMsgBuf();
  const std::string_view payload = buf ? buf : "";
  if (pLayout && pLayout->Split(payload, map)) {
    DecodeSplit(msg, *pLayout);
    return;
  }
  CNameValueFieldCursor names(payload, kNameEnd);
  CNameValueFieldCursor values(payload, kValueEnd);
  std::string_view nameView;
  std::string_view valueView;
  if (!FirstPair(payload, names, values, nameView, valueView)) return;

  // A name met again is skipped: the format gives each name one field, and
  // routines read their fields by name, so they see its first occurrence
  // whichever occurrence runs them. Decoding every repetition would repeat
  // that work: a payload of many repeated names would cost their number times
  // the payload's length.
  std::string value;
  CAppliedDefinitions applied;
  for (;;) {
    const NameValueDefn* pFound = map.PLookupText(nameView);
    if (pFound && applied.Add(pFound) && !Apply(*pFound, valueView, msg, value)) return;
    nameView = names.Next();
    if (nameView.empty()) return;
    valueView = values.Next();
    if (valueView.empty()) return;
  }
}

void NameValueDecoder::DecodeSplit(const CVyrGenericHsMessage& msg, const CNameValueLayout& layout) {
  // The routines' lookups in this payload are answered from the split.
  const CNameValueLayoutScope scope(msg, layout);
  std::string value;
  for (size_t k = 0; k < layout.PairCount(); ++k) {
    const NameValueDefn* pDefn = layout.Definition(k);
    // A field that stores nothing, shows nothing and runs nothing is passed by.
    if (!pDefn || (!UsesValueText(*pDefn) && !pDefn->pfnCallback)) continue;
    layout.SetHint(k);
    if (!Apply(*pDefn, layout.Value(k), msg, value)) return;
  }
}

bool NameValueDecoder::Apply(const NameValueDefn& found, std::string_view valueView, const CVyrGenericHsMessage& msg,
                             std::string& value) {
  // The conversions take NUL-terminated texts; the value is copied only for
  // the definitions that read it (a list of levels that only a routine reads
  // is not copied). The payload holds no NUL, so a name is looked up by its
  // bytes as its terminated copy would be.
  const NameValueDefn defn = found;  // the routine gets the call's own copy
  if (UsesValueText(defn)) value.assign(valueView);
  else value.clear();
  ConvertValue(defn.nAttrId, defn.nIndex, value.c_str(), defn.nType, defn.nUnit);
  AppendText(defn.pszLabel, value.c_str(), defn.nUnit, defn.nFormat, defn.nType);
  return !defn.pfnCallback || RunCallback(defn, msg, *this);
}

void NameValueDecoder::ConvertValue(int attrId, int index, const char* text, int type, int unit) {
  if (attrId == 0 || type == 0 || !pDataState) return;
  const int targetUnit = GetAttrUnitType(attrId);
  double value = 0;
  switch (type) {
    case 1: case 3: case 5:
      value = NameValueReadLong(text);
      break;
    case 2: case 4: case 6:
      value = NameValueReadULong(text);
      break;
    case 7:
      value = NameValueReadDouble(text);
      break;
    case 8: case 9: case 10:
      ConvertList(attrId, index, text, type, unit);
      return;
    case 11:
      pDataState->SetTextValue(attrId, text ? text : "", index, kVyrScopeMessage, 0);
      return;
    default:
      return;
  }
  value = GetUnitsConverter()->ucConvert(unit, targetUnit, value);
  pDataState->SetRealValue(attrId, value, index, kVyrScopeMessage, 0);
}

void NameValueDecoder::ConvertList(int attrId, int index, const char* text, int type, int unit) {
  int elementType = 0;
  if (type == 8 || type == 9) elementType = 2;
  else if (type == 10) elementType = 4;
  else return;

  CNameValueFieldCursor elements(text ? text : "", kElementJoin);
  std::string_view element = elements.Current();
  std::string elementText;  // NUL-terminated, reused for every element
  for (std::int64_t target = index; !element.empty() && target <= INT_MAX; ++target) {
    elementText.assign(element);
    ConvertValue(attrId, static_cast<int>(target), elementText.c_str(), elementType, unit);
    element = elements.Next();
  }
}

void NameValueDecoder::AppendText(const char* label, const char* text, int /*unit*/, int /*format*/, int type) {
  if (!label || !*label || type == 0 || !pExpandedMsg || !pExpandedMsg->m_bWantDetailText) return;
  // " %s=%s", without the cost of formatting.
  CString& strDetail = pExpandedMsg->m_strDetailText;
  strDetail += ' ';
  strDetail += label;
  strDetail += '=';
  strDetail += text;
}

int GetAttrUnitType(int attrId) {
  const IVyrSchemaAccessor2* schema = GetSchemaDefsDynamic();
  if (!schema) return -1;
  const CVyrAttrDefn* defn = schema->GetAttrDefnById(attrId);
  if (!defn) return -1;
  const CVyrFormatGroupManager* groups = GetFormatGroupManager();
  const CVyrFormatGroupEntry* entry = groups ? groups->fgGetFormatGroupEntry(defn->nFormatGroup) : nullptr;
  return entry ? entry->nUnitType : -1;
}
