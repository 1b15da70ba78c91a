#include "CommandLine.h"

#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace {
const OptionDefn* FindOption(const std::vector<OptionDefn>& options, const std::string& arg, std::string& inlineValue,
                           bool& hasInline) {
  hasInline = false;
  for (const OptionDefn& s : options) {
    std::string name = s.pszName;
    if (arg == name || (s.pszShort && arg == s.pszShort)) return &s;
    if (s.bTakesValue && arg.rfind(name + "=", 0) == 0) {
      inlineValue = arg.substr(name.size() + 1);
      hasInline = true;
      return &s;
    }
    // A short option takes its value attached too: "-oOUT".
    if (s.bTakesValue && s.pszShort && arg.size() > 2 && arg.rfind(s.pszShort, 0) == 0) {
      inlineValue = arg.substr(2);
      hasInline = true;
      return &s;
    }
  }
  return nullptr;
}
}  // namespace

std::string ParsedCommandLine::Get(const std::string& name, const std::string& fallback) const {
  auto it = options.find(name);
  return it == options.end() ? fallback : it->second;
}

bool ParseCommandLine(const char* pszCommand, const std::vector<std::string>& args,
                      const std::vector<OptionDefn>& options, ParsedCommandLine& out) {
  bool optionsEnded = false;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (optionsEnded || a.size() < 2 || a[0] != '-') {
      out.files.push_back(a);
      continue;
    }
    if (a == "--") {
      optionsEnded = true;
      continue;
    }
    std::string value;
    bool hasInline = false;
    const OptionDefn* option = FindOption(options, a, value, hasInline);
    if (!option) {
      std::fprintf(stderr, "vyrhost %s: unknown option '%s'\n", pszCommand, a.c_str());
      return false;
    }
    if (option->bTakesValue && !hasInline) {
      if (i + 1 >= args.size()) {
        std::fprintf(stderr, "vyrhost %s: the option '%s' needs a value\n", pszCommand, a.c_str());
        return false;
      }
      value = args[++i];
    }
    out.options[option->pszName] = value;
  }
  return true;
}

bool ParseNumber(const std::string& s, double& d) {
  // Hexadecimal texts and leading blanks are not decimal numbers.
  if (s.empty() || std::isspace(static_cast<unsigned char>(s[0])) || s.find_first_of("xX") != std::string::npos)
    return false;
  errno = 0;
  char* end = nullptr;
  d = std::strtod(s.c_str(), &end);
  if (!end || *end != '\0' || std::isnan(d)) return false;
  // "inf" and "-inf" are meant; a finite text too large for a double is not.
  return !(errno == ERANGE && std::isinf(d));
}
