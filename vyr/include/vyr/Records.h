// The message records of `vyrhost decode` and of Python's messages(): a
// readable listing and JSON Lines, built from a decode's messages and
// attribute writes. A message's writes come before the message, so a writer
// formats them as they come (AppendWrite...) and the head of the message
// when it is done; the record is the head followed by the writes.
#pragma once

#include <string>

#include "vyr/Log.h"

namespace vyr {

void AppendFileStartText(std::string& out, const FileInfo& info);
void AppendFileStartJsonl(std::string& out, const FileInfo& info);

// The head of a message record: for text, the message and its texts, and
// when it made writes (bHasWrites) the "  attributes:" line; for JSON Lines
// everything up to the opening of its "attrs" array.
void AppendMessageTextHead(std::string& out, const Message& m, bool bHasWrites);
void AppendMessageJsonlHead(std::string& out, const Message& m);
// One write of the record; bFirst for a message's first write (JSON Lines).
void AppendWriteText(std::string& out, const AttributeWrite& w);
void AppendWriteJsonl(std::string& out, const AttributeWrite& w, bool bFirst);
// What closes a JSON Lines record after its writes.
inline constexpr char kJsonlMessageEnd[] = "]}\n";

// The one-line counts of `vyrhost decode --format summary`.
void AppendCountsJson(std::string& out, const std::string& path, const DecodeCounts& counts);

}  // namespace vyr
