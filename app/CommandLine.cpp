#include "CommandLine.h"

#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace {
constexpr size_t kHelpWidth = 80;  // lines stay shorter than this

bool IsLong(const std::string& name) { return name.rfind("--", 0) == 0; }

// The option that arg names, with its attached value if any ("--name=V",
// "-xV"); null when none does.
const BoundOption* FindOption(const std::vector<BoundOption>& options, const std::string& arg, std::string& value,
                              bool& bAttached) {
  bAttached = false;
  for (const BoundOption& o : options) {
    const bool bTakesValue = !o.info.strValue.empty();
    for (const std::string* name : {&o.info.strName, &o.info.strAlias}) {
      if (name->empty()) continue;
      if (arg == *name) return &o;
      if (!bTakesValue) continue;
      const std::string prefix = IsLong(*name) ? *name + "=" : *name;
      if (arg.size() > prefix.size() && arg.rfind(prefix, 0) == 0) {
        value = arg.substr(prefix.size());
        bAttached = true;
        return &o;
      }
      if (IsLong(*name) && arg == prefix) {  // "--name=": an empty value
        bAttached = true;
        return &o;
      }
    }
  }
  return nullptr;
}

bool IsHelp(const std::string& a) { return a == "-h" || a == "--help"; }

// "vyrhost decode" or "vyrhost" for the options before the command.
std::string Program(const CommandSyntax& syntax) {
  return *syntax.command.pszName ? std::string("vyrhost ") + syntax.command.pszName : std::string("vyrhost");
}

std::string Named(const std::string& name, const std::string& value) {
  return value.empty() ? name : name + " " + value;
}

std::vector<const OptionInfo*> Infos(const std::vector<BoundOption>& options) {
  std::vector<const OptionInfo*> infos;
  for (const BoundOption& o : options) infos.push_back(&o.info);
  return infos;
}

// "give one of --csv, --jsonl and --sweeps" when not exactly one was given.
bool CheckOneOf(const std::vector<BoundOption>& options, const std::vector<bool>& given, std::string& why) {
  std::vector<std::string> names;
  int nGiven = 0;
  for (size_t k = 0; k < options.size(); ++k) {
    if (!options[k].info.bOneOf) continue;
    names.push_back(options[k].info.strName);
    nGiven += given[k] ? 1 : 0;
  }
  if (names.empty() || nGiven == 1) return true;
  why = "give one of " + ChoiceList(names, ", ", " and ");
  return false;
}

void AppendOptionHelp(std::string& out, const OptionInfo& o) {
  std::string left = "  " + Named(o.strName, o.strValue);
  if (!o.strAlias.empty()) left += ", " + Named(o.strAlias, o.strValue);
  AppendHelpColumn(out, left);
  size_t start = 0;
  for (bool bFirst = true; start <= o.strHelp.size(); bFirst = false) {
    size_t nl = o.strHelp.find('\n', start);
    if (nl == std::string::npos) nl = o.strHelp.size();
    if (!bFirst) out += std::string(kHelpColumn, ' ');
    AppendWrapped(out, o.strHelp.substr(start, nl - start), kHelpColumn, kHelpColumn);
    start = nl + 1;
  }
}

void PrintUsageError(const CommandSyntax& syntax, const std::vector<BoundOption>& options, const std::string& why) {
  PrintUsageError(syntax, Infos(options), why);
}

ParseOutcome PrintHelp(const CommandSyntax& syntax, const std::vector<BoundOption>& options) {
  std::fputs(HelpText(syntax, Infos(options)).c_str(), stdout);
  return ParseOutcome::Help;
}

}  // namespace

const char kNumberNotes[] =
    "Numbers (DBM): decimal, such as -95 or -92.5; inf and -inf are accepted, NaN,\n"
    "hexadecimal and values beyond the range of a double are not.\n";

const char kNumberAndCutNotes[] =
    "Numbers (DBM): decimal, such as -95 or -92.5; inf and -inf are accepted, NaN,\n"
    "hexadecimal and values beyond the range of a double are not.\n"
    "\n"
    "Cuts: TIME is a date and time on the log's own clock (2005-03-15T09:00,\n"
    "2005-03-15 09:00:30.5) or a time of day (09:00, 09:10:30.250). A time of day\n"
    "matches every day of a log; --from later than --to (23:30 to 00:30) is the\n"
    "stretch across midnight. Give both as dates and times or both as times of\n"
    "day. --freq takes MHz; either end may be left out (925:, :960). A --band\n"
    "that no log's frequency plan has is told once the logs are read (exit 2).\n";

void AppendHelpColumn(std::string& out, const std::string& left) {
  out += left;
  if (left.size() + 2 > kHelpColumn) out += '\n' + std::string(kHelpColumn, ' ');
  else out += std::string(kHelpColumn - left.size(), ' ');
}

void AppendWrapped(std::string& out, const std::string& text, size_t column, size_t indent) {
  size_t start = 0;
  bool bFirst = true;
  while (start < text.size()) {
    size_t end = text.find(' ', start);
    if (end == std::string::npos) end = text.size();
    const size_t nWord = end - start;
    if (!bFirst && column + 1 + nWord >= kHelpWidth) {
      out += '\n' + std::string(indent, ' ');
      column = indent;
    } else if (!bFirst) {
      out += ' ';
      ++column;
    }
    out.append(text, start, nWord);
    column += nWord;
    bFirst = false;
    start = end + 1;
  }
  out += '\n';
}

std::string ChoiceList(const std::vector<std::string>& names, const char* pszSeparator, const char* pszLastSeparator) {
  std::string out;
  for (size_t k = 0; k < names.size(); ++k)
    out += (k == 0 ? "" : k + 1 == names.size() ? pszLastSeparator : pszSeparator) + names[k];
  return out;
}

void PrintUsageError(const CommandSyntax& syntax, const std::vector<const OptionInfo*>& options,
                     const std::string& why) {
  if (!why.empty()) std::fprintf(stderr, "%s: %s\n", Program(syntax).c_str(), why.c_str());
  std::fprintf(stderr, "%sTry '%s --help' for more.\n", UsageLine(syntax, options).c_str(), Program(syntax).c_str());
}

std::string UsageLine(const CommandSyntax& syntax, const std::vector<const OptionInfo*>& options) {
  std::string line = "usage: " + Program(syntax);
  bool bOneOfShown = false;
  for (const OptionInfo* o : options) {
    if (!o->bOneOf) {
      line += " [" + Named(o->strName, o->strValue) + "]";
    } else if (!bOneOfShown) {
      std::string names;
      for (const OptionInfo* p : options)
        if (p->bOneOf) names += (names.empty() ? "" : " | ") + Named(p->strName, p->strValue);
      line += " (" + names + ")";
      bOneOfShown = true;
    }
  }
  if (*syntax.pszOperands) line += std::string(" ") + syntax.pszOperands;
  return line + "\n";
}

std::string HelpText(const CommandSyntax& syntax, const std::vector<const OptionInfo*>& options) {
  std::string out = UsageLine(syntax, options) + "\n";
  if (syntax.pszDescription) {
    out += syntax.pszDescription;
  } else {
    std::string summary = syntax.command.pszSummary;
    if (!summary.empty()) summary[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(summary[0])));
    AppendWrapped(out, summary + ".", 0, 0);
  }
  out += "\nOptions:\n";
  for (const OptionInfo* o : options) AppendOptionHelp(out, *o);
  AppendOptionHelp(out, {"-h", "--help", "", "show this help"});
  if (syntax.pszNotes) out += std::string("\n") + syntax.pszNotes;
  return out;
}

ParseOutcome ParseArguments(const CommandSyntax& syntax, const std::vector<BoundOption>& options,
                            const std::vector<std::string>& args, std::vector<std::string>& files,
                            const std::function<bool(std::string& why)>& check) {
  // "COMMAND --help" is the help, whatever else is given.
  for (size_t i = 0; i < args.size() && args[i] != "--" && !syntax.bStopAtOperand; ++i)
    if (IsHelp(args[i])) return PrintHelp(syntax, options);
  std::vector<bool> given(options.size());
  std::string why;
  bool bOptionsEnded = false;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (bOptionsEnded || a.size() < 2 || a[0] != '-') {
      if (syntax.bStopAtOperand) {
        files.assign(args.begin() + static_cast<std::ptrdiff_t>(i), args.end());
        break;
      }
      files.push_back(a);
      continue;
    }
    if (a == "--") {
      bOptionsEnded = true;
      continue;
    }
    if (IsHelp(a)) return PrintHelp(syntax, options);
    std::string value;
    bool bAttached = false;
    const BoundOption* o = FindOption(options, a, value, bAttached);
    if (!o) {
      PrintUsageError(syntax, options, "unknown option '" + a + "'");
      return ParseOutcome::UsageError;
    }
    const bool bTakesValue = !o->info.strValue.empty();
    if (bTakesValue && !bAttached) {
      if (i + 1 >= args.size()) {
        PrintUsageError(syntax, options, "the option '" + a + "' needs a value");
        return ParseOutcome::UsageError;
      }
      value = args[++i];
    }
    if (!o->set(value, why)) {
      PrintUsageError(syntax, options, why);
      return ParseOutcome::UsageError;
    }
    given[static_cast<size_t>(o - options.data())] = true;
  }
  if (!CheckOneOf(options, given, why) || !check(why)) {
    PrintUsageError(syntax, options, why);
    return ParseOutcome::UsageError;
  }
  if (!*syntax.pszOperands && !files.empty()) {
    PrintUsageError(syntax, options, "takes no arguments");
    return ParseOutcome::UsageError;
  }
  if (*syntax.pszOperands && files.empty()) {
    PrintUsageError(syntax, options, syntax.pszMissingOperand ? syntax.pszMissingOperand : "");
    return ParseOutcome::UsageError;
  }
  return ParseOutcome::Run;
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

bool ParseJobs(const std::string& value, int& nJobs, std::string& why) {
  char* end = nullptr;
  errno = 0;
  long n = std::strtol(value.c_str(), &end, 10);
  if (value.empty() || *end != '\0' || errno == ERANGE || n < 1 || n > 256) {
    why = "the number of jobs '" + value + "' is not a number from 1 to 256";
    return false;
  }
  nJobs = static_cast<int>(n);
  return true;
}

bool ParseThreshold(const char* pszWhat, const std::string& value, double& dDbm, std::string& why) {
  double d = 0;
  if (!ParseNumber(value, d)) {
    why = std::string("the ") + pszWhat + " '" + value + "' is not a number";
    return false;
  }
  dDbm = d;
  return true;
}
