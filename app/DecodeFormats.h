// The output formats of `vyrhost decode`: a readable listing, JSON Lines and a
// one-line summary per file.
#pragma once

#include <string>

#include "vyr/LogDecoder.h"

enum class DecodeFormat { Text, Jsonl, Summary };

void WriteFileStartText(std::string& out, const DecodedFileInfo& info);
void WriteMessageText(std::string& out, const DecodedMessage& m);

void WriteFileStartJsonl(std::string& out, const DecodedFileInfo& info);
void WriteMessageJsonl(std::string& out, const DecodedMessage& m);

void WriteSummaryJson(std::string& out, const std::string& path, const DecodeCounts& counts);

// The schema name of an attribute id, or its number when the schema has none.
std::string AttributeName(int nAttrId);
