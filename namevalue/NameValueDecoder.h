// The generic decoding of a name/value payload through a definition map: for
// each field with a definition, the value goes to its attribute (unit
// converted), " label=value" to the detail text, and the definition's routine
// runs.
#pragma once

#include <string>
#include <string_view>

#include "NameValueDefn.h"

class CNameValueLayout;

// The context of one decode call; nothing here is owned.
struct NameValueDecoder {
  IVyrDataState* pDataState;
  CVyrExpandedMessage* pExpandedMsg;
  CVyrDecodeReceiver* pReceiver;    // only passed on to routines
  IKelCellRefs_Search* pSearch;     // only passed on to routines
  // The unit of the attribute that a value was last stored in: the schema
  // does not change while a message is decoded, and its fields mostly share
  // an attribute (the four levels of a channel line).
  int nUnitAttrId = 0;
  int nUnitType = -1;
  // The end of the payload being decoded (its terminator included): value
  // texts may be read in words up to there.
  const char* pPayloadEnd = nullptr;

  // Walks the payload pair by pair until the first empty name or value (the
  // first value is decoded even when empty). A name is decoded at its first
  // occurrence only. A routine that throws ends the walk; what was delivered
  // before stays.
  //
  // With a layout, a payload that the layout can split is decoded from the
  // split (the same pairs, in the same order, with the same results) and the
  // routines' lookups in it are answered from there; the layout keeps what it
  // learnt for the next payload with the same names.
  void Decode(const CVyrGenericHsMessage& msg, const NameValueDefnMap& map, CNameValueLayout* pLayout = nullptr);

  // The generic steps and the routine of one field; false when the routine
  // threw. scratch holds copies of list and text values.
  bool Apply(const NameValueDefn& defn, std::string_view valueView, const CVyrGenericHsMessage& msg,
             std::string& scratch);
  void DecodeSplit(const CVyrGenericHsMessage& msg, const CNameValueLayout& layout);

  // Delivers one value text by its type code, at scope 2147483647. Nothing
  // when attrId or type is 0.
  void ConvertValue(int attrId, int index, const char* text, int type, int unit);
  // The same for a value text that need not end in NUL, as ConvertValue
  // converts its NUL-terminated copy; lists and texts are copied to scratch.
  // pReadable, when not null, is where the buffer that holds the text ends.
  void ConvertText(int attrId, int index, std::string_view text, int type, int unit, std::string& scratch,
                   const char* pReadable = nullptr);

  // Delivers a ","-joined list (type 8, 9 or 10): element k to index + k,
  // stopping at the first empty element or where the index would pass
  // 2147483647.
  void ConvertList(int attrId, int index, const char* text, int type, int unit);

  // Appends " label=text" to the detail text when the host wants it, the
  // label is not empty and the type is not 0. unit and format are not used.
  void AppendText(const char* label, const char* text, int unit, int format, int type);
  // " label=text" when the host wants the detail text.
  void AppendValueText(const char* label, std::string_view text);
  // GetAttrUnitType, asked once per attribute in a row.
  int AttrUnitType(int attrId);
};

// The unit in which the host keeps the attribute's values, or -1.
int GetAttrUnitType(int attrId);
