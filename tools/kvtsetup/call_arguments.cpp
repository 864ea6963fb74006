// A command line's texts as the arguments of an export: checked against
// the export's signature before anything is called, so that a wrong count
// or a wrong type is a message and never a call.
#include <windows.h>

#include <array>
#include <cctype>
#include <limits>

#include "export_table.h"
#include "value_text.h"

namespace kvt::setup {

namespace {

constexpr const char *kNullText = "(null)";
constexpr int64_t kLargestBuffer = 1 << 20;
constexpr size_t kMostFormatValues = 12;

struct RootName {
  const char *name;
  const char *shortName;
  HKEY key;
};

const std::array<RootName, 5> &RootNames() {
  static const std::array<RootName, 5> names{{{"HKEY_CLASSES_ROOT", "HKCR", HKEY_CLASSES_ROOT},
                                              {"HKEY_CURRENT_USER", "HKCU", HKEY_CURRENT_USER},
                                              {"HKEY_LOCAL_MACHINE", "HKLM", HKEY_LOCAL_MACHINE},
                                              {"HKEY_USERS", "HKU", HKEY_USERS},
                                              {"HKEY_CURRENT_CONFIG", "HKCC", HKEY_CURRENT_CONFIG}}};
  return names;
}

bool SameLetters(const std::string &a, const char *b) {
  size_t i = 0;
  for (; i < a.size() && b[i] != '\0'; ++i) {
    if (std::toupper(static_cast<unsigned char>(a[i])) != std::toupper(static_cast<unsigned char>(b[i]))) return false;
  }
  return i == a.size() && b[i] == '\0';
}

// The kind of value each conversion of a wsprintf format takes: a text for
// %s, a number for %d, %i, %u, %x, %X, %c and %p (with their flags, width,
// precision and an h or l size); false for a conversion that kvtsetup
// cannot pass, such as a wide text or a 64-bit number.
bool FormatConversions(const std::string &format, std::vector<ArgKind> &kinds, std::string &error) {
  for (size_t at = 0; at < format.size(); ++at) {
    if (format[at] != '%') continue;
    const size_t start = at++;
    if (at < format.size() && format[at] == '%') continue;
    while (at < format.size() && (format[at] == '-' || format[at] == '#' || format[at] == '0')) ++at;
    while (at < format.size() && std::isdigit(static_cast<unsigned char>(format[at]))) ++at;
    if (at < format.size() && format[at] == '.') {
      ++at;
      while (at < format.size() && std::isdigit(static_cast<unsigned char>(format[at]))) ++at;
    }
    bool wide = false;
    if (at < format.size() && (format[at] == 'l' || format[at] == 'h')) wide = format[at++] == 'l';
    if (at >= format.size()) break;  // a lone '%' at the end writes nothing
    const char type = format[at];
    const std::string conversion = format.substr(start, at - start + 1);
    if (type == 's' && !wide) {
      kinds.push_back(ArgKind::Text);
    } else if (std::string("cCdiuxXp").find(type) != std::string::npos) {
      kinds.push_back(ArgKind::Int);
    } else {
      error = "kvtsetup cannot pass a value for the conversion " + conversion + " of the format";
      return false;
    }
  }
  if (kinds.size() > kMostFormatValues) {
    error = "the format names " + std::to_string(kinds.size()) + " values; kvtsetup passes at most " +
            std::to_string(kMostFormatValues);
    return false;
  }
  return true;
}

// One argument as the export expects it: its label in messages, its kind,
// and whether it is a value of a log format (a 32-bit number of either sign).
struct Expected {
  std::string label;
  ArgKind kind;
  bool formatValue = false;
};

bool Convert(const Expected &expected, const std::string &text, const std::vector<ArgValue> &before, ArgValue &value,
             std::string &error) {
  value.kind = expected.kind;
  value.text = text;
  auto refuse = [&](const std::string &what) {
    error = expected.label + " must be " + what + ", not \"" + text + "\"";
    return false;
  };
  switch (expected.kind) {
    case ArgKind::Text:
      value.isNull = text == kNullText;
      return true;
    case ArgKind::Int: {
      const int64_t high =
          expected.formatValue ? std::numeric_limits<uint32_t>::max() : std::numeric_limits<int32_t>::max();
      const std::optional<int64_t> number = ParseNumber(text, std::numeric_limits<int32_t>::min(), high);
      if (!number) return refuse("a whole number from -2147483648 to " + std::to_string(high));
      value.number = *number;
      return true;
    }
    case ArgKind::Dword: {
      const std::optional<int64_t> number = ParseNumber(text, 0, std::numeric_limits<uint32_t>::max());
      if (!number) return refuse("a whole number from 0 to 4294967295");
      value.number = *number;
      return true;
    }
    case ArgKind::BufferSize: {
      const std::optional<int64_t> number = ParseNumber(text, 0, kLargestBuffer);
      if (!number) return refuse("a size in bytes from 0 to " + std::to_string(kLargestBuffer));
      value.number = *number;
      return true;
    }
    case ArgKind::Root:
      for (const RootName &root : RootNames()) {
        if (SameLetters(text, root.name) || SameLetters(text, root.shortName)) {
          value.number = static_cast<int64_t>(reinterpret_cast<intptr_t>(root.key));
          return true;
        }
      }
      return refuse(
          "a registry root: HKEY_CLASSES_ROOT, HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE, HKEY_USERS or "
          "HKEY_CURRENT_CONFIG (or HKCR, HKCU, HKLM, HKU, HKCC)");
    case ArgKind::ValueType: {
      const std::optional<uint32_t> type = ParseValueType(text);
      if (!type) return refuse("a value type such as REG_SZ, REG_DWORD or REG_BINARY, or its number");
      value.number = *type;
      return true;
    }
    case ArgKind::ValueData: {
      // The data are read by the type given just before them.
      const uint32_t type = before.empty() ? REG_BINARY : static_cast<uint32_t>(before.back().number);
      std::string problem;
      if (!ParseValueData(type, text, value.bytes, problem)) {
        error = expected.label + ": " + problem;
        return false;
      }
      return true;
    }
    case ArgKind::FormatValues:
      break;
  }
  return refuse("something kvtsetup can pass");
}

}  // namespace

bool ParseArguments(const ExportSignature &signature, const std::vector<std::string> &given,
                    std::vector<ArgValue> &args, std::string &error) {
  args.clear();
  // The fixed arguments, then, for a log format, one value per conversion.
  std::vector<Expected> expected;
  bool takesFormatValues = false;
  for (const Parameter &arg : signature.args) {
    if (arg.kind == ArgKind::FormatValues) {
      takesFormatValues = true;
    } else {
      expected.push_back({arg.name, arg.kind});
    }
  }
  if (takesFormatValues && given.size() >= expected.size()) {
    std::vector<ArgKind> kinds;
    std::string problem;
    if (!FormatConversions(given[0], kinds, problem)) {
      error = std::string(signature.name) + ": " + problem;
      return false;
    }
    for (size_t i = 0; i < kinds.size(); ++i) {
      expected.push_back({"the format's value " + std::to_string(i + 1), kinds[i], true});
    }
    if (given.size() != expected.size()) {
      error = std::string(signature.name) + ": the format names " + std::to_string(kinds.size()) + " value" +
              (kinds.size() == 1 ? "" : "s") + ", " + std::to_string(given.size() - 1) + " given";
      return false;
    }
  }
  if (given.size() != expected.size()) {
    error = std::string(signature.name) + " takes " +
            (expected.empty() ? std::string("no arguments")
                              : std::to_string(expected.size()) + " argument" + (expected.size() == 1 ? "" : "s")) +
            " (" + UsageOf(signature) + "), " + std::to_string(given.size()) + " given";
    return false;
  }
  for (size_t i = 0; i < given.size(); ++i) {
    ArgValue value;
    std::string problem;
    if (!Convert(expected[i], given[i], args, value, problem)) {
      error = std::string(signature.name) + ": " + problem;
      return false;
    }
    args.push_back(std::move(value));
  }
  return true;
}

}  // namespace kvt::setup
