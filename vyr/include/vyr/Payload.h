// The fields of a message's name/value payload, for display: all names, each
// ended by "^", then all values, each ended by ";". The k-th value belongs to
// the k-th name; a name without a value reads as an empty value.
#pragma once

#include <string_view>
#include <utility>
#include <vector>

namespace vyr {

using PayloadField = std::pair<std::string_view, std::string_view>;

// The fields of the payload, in order, as views into it. An empty payload, or
// one without a names section, has none.
std::vector<PayloadField> SplitPayload(std::string_view payload);

}  // namespace vyr
