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

// What a definition does with its field's value: store it (an attribute and
// a type) and show it in the detail text (a label and a type).
bool StoresValue(const NameValueDefn& defn) { return defn.nType != 0 && defn.nAttrId != 0; }
bool ShowsValue(const NameValueDefn& defn) { return defn.nType != 0 && defn.pszLabel && *defn.pszLabel; }
}  // namespace

void NameValueDecoder::Decode(const CVyrGenericHsMessage& msg, const NameValueDefnMap& map, CNameValueLayout* pLayout) {
  // The message is read only, for the routines too, so its payload stays as
  // it is for the whole walk and is read in place.
  const char* buf = msg.GetMsgBuf();
  const std::string_view payload = buf ? buf : "";
  pPayloadEnd = buf ? payload.data() + payload.size() + 1 : nullptr;
  VyrPayloadIndex index;
  const bool bIndexed = msg.GetPayloadIndex(index);
  if (pLayout && pLayout->Split(payload, map, bIndexed ? &index : nullptr)) {
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
  const bool bWantText = pExpandedMsg && pExpandedMsg->m_bWantDetailText;
  std::string value;
  for (size_t k = 0; k < layout.PairCount(); ++k) {
    const NameValueDefn* pDefn = layout.Definition(k);
    // A field that stores nothing, shows nothing (here) and runs nothing is
    // passed by: a time or date column of a host that wants no texts.
    if (!pDefn || (!StoresValue(*pDefn) && !pDefn->pfnCallback && !(bWantText && ShowsValue(*pDefn)))) continue;
    layout.SetHint(k);
    if (!Apply(*pDefn, layout.Value(k), msg, value)) return;
  }
}

bool NameValueDecoder::Apply(const NameValueDefn& found, std::string_view valueView, const CVyrGenericHsMessage& msg,
                             std::string& scratch) {
  // The value is read where it stands in the payload: a number as the C
  // run-time reads its NUL-terminated copy, and only a list or a text is
  // copied (a list of levels that only a routine reads is not copied).
  const NameValueDefn defn = found;  // the routine gets the call's own copy
  if (StoresValue(defn))
    ConvertText(defn.nAttrId, defn.nIndex, valueView, defn.nType, defn.nUnit, scratch, pPayloadEnd);
  if (ShowsValue(defn)) AppendValueText(defn.pszLabel, valueView);
  return !defn.pfnCallback || RunCallback(defn, msg, *this);
}

void NameValueDecoder::ConvertValue(int attrId, int index, const char* text, int type, int unit) {
  std::string scratch;
  ConvertText(attrId, index, text ? std::string_view(text) : std::string_view(), type, unit, scratch);
}

void NameValueDecoder::ConvertText(int attrId, int index, std::string_view text, int type, int unit,
                                   std::string& scratch, const char* pReadable) {
  if (attrId == 0 || type == 0 || !pDataState) return;
  double value = 0;
  if (type == 7) {
    // Reals first: levels are most of the fields.
    value = pReadable ? NameValueReadDoubleWithin(text, pReadable) : NameValueReadDouble(text);
  } else if (type >= 1 && type <= 6) {
    // 1, 3, 5 signed; 2, 4, 6 unsigned.
    value = type % 2 == 1 ? static_cast<double>(NameValueReadLong(text)) : NameValueReadULong(text);
  } else {
    if (type == 8 || type == 9 || type == 10) {
      scratch.assign(text);
      ConvertList(attrId, index, scratch.c_str(), type, unit);
    } else if (type == 11) {
      scratch.assign(text);
      pDataState->SetTextValue(attrId, scratch.c_str(), index, kVyrScopeMessage, 0);
    }
    return;
  }
  const int targetUnit = AttrUnitType(attrId);
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
  if (!label || !*label || type == 0) return;
  AppendValueText(label, text ? std::string_view(text) : std::string_view());
}

void NameValueDecoder::AppendValueText(const char* label, std::string_view text) {
  if (!pExpandedMsg || !pExpandedMsg->m_bWantDetailText) return;
  // " %s=%s", without the cost of formatting.
  CString& strDetail = pExpandedMsg->m_strDetailText;
  strDetail += ' ';
  strDetail += label;
  strDetail += '=';
  strDetail.Append(text.data(), static_cast<int>(text.size()));
}

int NameValueDecoder::AttrUnitType(int attrId) {
  if (attrId != nUnitAttrId) {
    nUnitType = GetAttrUnitType(attrId);
    nUnitAttrId = attrId;
  }
  return nUnitType;
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
