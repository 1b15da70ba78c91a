#include "NameValueDecoder.h"

#include <climits>
#include <cstdint>
#include <string>
#include <string_view>

#include "NameValueFields.h"
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
  if (payload.find(kValueEnd) == std::string_view::npos) return false;
  value = values.Current();
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
}  // namespace

void NameValueDecoder::Decode(const CVyrGenericHsMessage& msg, const NameValueDefnMap& map) {
  const char* buf = msg.GetMsgBuf();
  const std::string payload = buf ? buf : "";
  CNameValueFieldCursor names(payload, kNameEnd);
  CNameValueFieldCursor values(payload, kValueEnd);
  std::string_view nameView;
  std::string_view valueView;
  if (!FirstPair(payload, names, values, nameView, valueView)) return;

  for (;;) {
    // The map and the conversions take NUL-terminated texts.
    const std::string name(nameView);
    const std::string value(valueView);
    NameValueDefn defn{};
    if (map.Lookup(name.c_str(), defn)) {
      ConvertValue(defn.nAttrId, defn.nIndex, value.c_str(), defn.nType, defn.nUnit);
      AppendText(defn.pszLabel, value.c_str(), defn.nUnit, defn.nFormat, defn.nType);
      if (defn.pfnCallback && !RunCallback(defn, msg, *this)) return;
    }
    nameView = names.Next();
    if (nameView.empty()) return;
    valueView = values.Next();
    if (valueView.empty()) return;
  }
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
  for (std::int64_t target = index; !element.empty() && target <= INT_MAX; ++target) {
    ConvertValue(attrId, static_cast<int>(target), std::string(element).c_str(), elementType, unit);
    element = elements.Next();
  }
}

void NameValueDecoder::AppendText(const char* label, const char* text, int /*unit*/, int /*format*/, int type) {
  if (!label || !*label || type == 0 || !pExpandedMsg || !pExpandedMsg->m_bWantDetailText) return;
  pExpandedMsg->m_strDetailText.AppendFormat(" %s=%s", label, text ? text : "");
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
