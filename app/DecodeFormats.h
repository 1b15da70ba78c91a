// The output formats of `vyrhost decode`: a readable listing, JSON Lines and a
// one-line summary per file.
#pragma once

#include <string>
#include <string_view>

#include "vyr/LogDecoder.h"

enum class DecodeFormat { Text, Jsonl, Summary };

// A message with its recorded writes (DecodedMessage::writes).
void WriteFileStartText(std::string& out, const DecodedFileInfo& info);
void WriteMessageText(std::string& out, const DecodedMessage& m);

void WriteFileStartJsonl(std::string& out, const DecodedFileInfo& info);
void WriteMessageJsonl(std::string& out, const DecodedMessage& m);

// The same in pieces, for writes that are not recorded but seen as they
// come (DecodeOptions::writeObserver): a message is its head, then, when it
// made writes, kTextAttributesLine (text only) and each write, then
// kJsonlMessageEnd (JSON Lines only).
void WriteMessageTextHead(std::string& out, const DecodedMessage& m);
void AppendWriteText(std::string& out, const CVyrMemoryDataState::Write& w);
inline constexpr char kTextAttributesLine[] = "  attributes:\n";
void WriteMessageJsonlHead(std::string& out, const DecodedMessage& m);
void AppendWriteJsonl(std::string& out, const CVyrMemoryDataState::Write& w, bool bFirst);
inline constexpr char kJsonlMessageEnd[] = "]}\n";

void WriteSummaryJson(std::string& out, const std::string& path, const DecodeCounts& counts);

// Text from a log as the readable listings show it: control bytes (and DEL)
// escaped as in file names ("\x1B"), but for those in pszKept ("\t", "\n"),
// so that no log can drive the terminal.
void AppendEscapedText(std::string& out, std::string_view text, const char* pszKept);

// The schema name of an attribute id, or its number when the schema has none.
std::string AttributeName(int nAttrId);
