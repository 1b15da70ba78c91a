#include "vyr/Payload.h"

namespace vyr {

std::vector<PayloadField> SplitPayload(std::string_view payload) {
  std::vector<PayloadField> fields;
  // Names hold no ";" and values no "^": the names section ends with the last
  // "^" before the first ";".
  size_t firstValueEnd = payload.find(';');
  size_t namesEnd = payload.substr(0, firstValueEnd).rfind('^');
  if (namesEnd == std::string_view::npos) return fields;
  std::string_view names = payload.substr(0, namesEnd + 1);
  std::string_view values = payload.substr(namesEnd + 1);
  for (size_t pos = 0; pos < names.size();) {
    size_t caret = names.find('^', pos);
    std::string_view name = names.substr(pos, caret - pos);
    std::string_view value;
    size_t semi = values.find(';');
    if (semi != std::string_view::npos) {
      value = values.substr(0, semi);
      values.remove_prefix(semi + 1);
    } else {
      value = values;
      values = {};
    }
    fields.emplace_back(name, value);
    pos = caret + 1;
  }
  return fields;
}

}  // namespace vyr
