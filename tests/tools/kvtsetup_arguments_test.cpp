// kvtsetup's reading of a command line into an export's arguments, the
// texts it shows registry values and numbers in, and the meaning of the
// sequences' results: every wrong count or type is refused with words
// that name the argument, before anything is called.
#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <vector>

#include "export_table.h"
#include "host.h"
#include "sequence_outcome.h"
#include "setup_library.h"
#include "value_text.h"

namespace kvt::setup {
namespace {

struct Parsed {
  bool ok = false;
  std::vector<ArgValue> args;
  std::string error;
};

Parsed Parse(const std::string &name, const std::vector<std::string> &given) {
  Parsed parsed;
  const ExportSignature *signature = FindExport(name);
  if (signature == nullptr) {
    parsed.error = "no export " + name;
    return parsed;
  }
  parsed.ok = ParseArguments(*signature, given, parsed.args, parsed.error);
  return parsed;
}

TEST(KvtsetupArguments, WrongCountsAndTypesAreRefusedInWordsThatNameTheArgument) {
  const struct {
    const char *name;
    std::vector<std::string> given;
    const char *error;  // "" when the arguments are right
  } cases[] = {
      {"KVT_DeleteRegList", {}, ""},
      {"KVT_DeleteRegList", {"x"}, "KVT_DeleteRegList takes no arguments (KVT_DeleteRegList), 1 given"},
      {"KVT_RegDeleteKey", {"HKEY_CURRENT_USER\\Software\\X", "0"}, ""},
      {"KVT_RegDeleteKey",
       {"HKEY_CURRENT_USER\\Software\\X"},
       "KVT_RegDeleteKey takes 2 arguments (KVT_RegDeleteKey PATH NOUNLOCK), 1 given"},
      {"KVT_RegDeleteKey",
       {"p", "no"},
       "KVT_RegDeleteKey: NOUNLOCK must be a whole number from -2147483648 to 2147483647, not \"no\""},
      {"KVT_RegDeleteKey",
       {"p", "2147483648"},
       "KVT_RegDeleteKey: NOUNLOCK must be a whole number from -2147483648 to 2147483647, not \"2147483648\""},
      {"KVT_RegDeleteKey", {"p", "-2147483648"}, ""},
      {"KVT_RegDeleteKey", {"p", "0x10"}, ""},
      {"KVT_RegDeleteKey",
       {"p", "1e3"},
       "KVT_RegDeleteKey: NOUNLOCK must be a whole number from -2147483648 to 2147483647, not \"1e3\""},
      {"KVT_SetupStart", {"C:\\S", "(null)", "4294967295", "memo"}, ""},
      {"KVT_SetupStart",
       {"C:\\S", "(null)", "-1", "memo"},
       "KVT_SetupStart: RESERVED must be a whole number from 0 to 4294967295, not \"-1\""},
      {"KVT_RegDeleteLockedKey", {"hklm", "SOFTWARE\\X"}, ""},
      {"KVT_RegDeleteLockedKey", {"HKEY_CURRENT_CONFIG", "X"}, ""},
      {"KVT_RegDeleteLockedKey",
       {"HKEY_PERFORMANCE_DATA", "X"},
       "KVT_RegDeleteLockedKey: ROOT must be a registry root: HKEY_CLASSES_ROOT, HKEY_CURRENT_USER, "
       "HKEY_LOCAL_MACHINE, HKEY_USERS or HKEY_CURRENT_CONFIG (or HKCR, HKCU, HKLM, HKU, HKCC), "
       "not \"HKEY_PERFORMANCE_DATA\""},
      {"KVT_GetKvtSetupIniString", {"KVTSetup", "InfName", "0"}, ""},
      {"KVT_GetKvtSetupIniString",
       {"KVTSetup", "InfName", "1048577"},
       "KVT_GetKvtSetupIniString: SIZE must be a size in bytes from 0 to 1048576, not \"1048577\""},
      {"KVT_RegSetValue", {"p", "n", "REG_SZ", "text"}, ""},
      {"KVT_RegSetValue", {"p", "n", "reg_dword", "-1"}, ""},
      {"KVT_RegSetValue",
       {"p", "n", "REG_DWORD", "4294967296"},
       "KVT_RegSetValue: DATA: a REG_DWORD value is a number from -2147483648 to 4294967295, not \"4294967296\""},
      {"KVT_RegSetValue",
       {"p", "n", "REG_BINARY", "01,02"},
       "KVT_RegSetValue: DATA: give the bytes of a REG_BINARY value as hex:01,02,..."},
      {"KVT_RegSetValue",
       {"p", "n", "REG_BINARY", "hex:0g"},
       "KVT_RegSetValue: DATA: \"hex:0g\" holds something that is not a hex digit"},
      {"KVT_RegSetValue",
       {"p", "n", "REG_BINARY", "hex:012"},
       "KVT_RegSetValue: DATA: \"hex:012\" ends in half a byte"},
      {"KVT_RegSetValue",
       {"p", "n", "REG_TEXT", "x"},
       "KVT_RegSetValue: TYPE must be a value type such as REG_SZ, REG_DWORD or REG_BINARY, or its number, not "
       "\"REG_TEXT\""},
      {"KVT_RegSetValue", {"p", "n", "7", "hex:61,00,00"}, ""},
      {"KVT_LogFileWrite", {"plain"}, ""},
      {"KVT_LogFileWrite", {}, "KVT_LogFileWrite takes 1 argument (KVT_LogFileWrite FORMAT VALUE...), 0 given"},
      {"KVT_LogFileWrite", {"%s is %d%%", "x", "5"}, ""},
      {"KVT_LogFileWrite", {"%s is %d", "x"}, "KVT_LogFileWrite: the format names 2 values, 1 given"},
      {"KVT_LogFileWrite", {"%s", "x", "y"}, "KVT_LogFileWrite: the format names 1 value, 2 given"},
      {"KVT_LogFileWrite", {"%-08.3lx|%hs|%c|%u", "0xff", "t", "65", "4294967295"}, ""},
      {"KVT_LogFileWrite",
       {"%d", "x"},
       "KVT_LogFileWrite: the format's value 1 must be a whole number from -2147483648 to 4294967295, not \"x\""},
      {"KVT_LogFileWrite",
       {"%ls", "x"},
       "KVT_LogFileWrite: kvtsetup cannot pass a value for the conversion %ls of the format"},
      {"KVT_LogFileWrite",
       {"%S", "x"},
       "KVT_LogFileWrite: kvtsetup cannot pass a value for the conversion %S of the format"},
      {"KVT_LogFileWrite",
       {"%f", "1"},
       "KVT_LogFileWrite: kvtsetup cannot pass a value for the conversion %f of the format"},
      {"KVT_LogFileWrite", {"trailing %"}, ""},
      {"KVT_LogFileWrite",
       {"%d%d%d%d%d%d%d%d%d%d%d%d%d", "1", "2", "3", "4", "5", "6", "7", "8", "9", "10", "11", "12", "13"},
       "KVT_LogFileWrite: the format names 13 values; kvtsetup passes at most 12"},
      {"KVT_Install", {"C:\\KVT Setup"}, ""},
      {"KVT_Install", {"C:\\KVT Setup", "1"}, "KVT_Install takes 1 argument (KVT_Install DIRECTORY), 2 given"},
  };
  for (const auto &test : cases) {
    const Parsed parsed = Parse(test.name, test.given);
    EXPECT_EQ(parsed.ok, *test.error == '\0') << test.name << ": " << parsed.error;
    EXPECT_EQ(parsed.error, test.error) << test.name;
  }
}

TEST(KvtsetupArguments, ValuesReachTheCallConverted) {
  Parsed start = Parse("KVT_SetupStart", {"C:\\S", "(null)", "0x10", ""});
  ASSERT_TRUE(start.ok);
  EXPECT_FALSE(start.args[0].isNull);
  EXPECT_TRUE(start.args[1].isNull);
  EXPECT_EQ(start.args[2].number, 16);
  EXPECT_FALSE(start.args[3].isNull) << "an empty text is a text";

  Parsed root = Parse("KVT_RegAllowAccessToEveryone", {"HKCU", "Software\\X"});
  ASSERT_TRUE(root.ok);
  EXPECT_EQ(reinterpret_cast<HKEY>(static_cast<intptr_t>(root.args[0].number)), HKEY_CURRENT_USER);

  const struct {
    std::string type, data;
    std::vector<uint8_t> bytes;
  } values[] = {
      {"REG_SZ", "ab", {'a', 'b', 0}},
      {"REG_EXPAND_SZ", "", {0}},
      {"REG_DWORD", "0x01020304", {4, 3, 2, 1}},
      {"REG_DWORD", "-1", {0xff, 0xff, 0xff, 0xff}},
      {"REG_BINARY", "hex:", {}},
      {"REG_BINARY", "hex:ab,CD,0e", {0xab, 0xcd, 0x0e}},
      {"REG_SZ", "hex:61", {0x61}},  // hex for any type: the bytes as given
      {"3", "hex:0102", {1, 2}},
  };
  for (const auto &value : values) {
    Parsed set = Parse("KVT_RegSetValue", {"p", "n", value.type, value.data});
    ASSERT_TRUE(set.ok) << value.type << " " << value.data << ": " << set.error;
    EXPECT_EQ(set.args[3].bytes, value.bytes) << value.type << " " << value.data;
  }

  Parsed log = Parse("KVT_LogFileWrite", {"%s=%x", "(null)", "-1"});
  ASSERT_TRUE(log.ok);
  EXPECT_EQ(log.args[1].kind, ArgKind::Text);
  EXPECT_TRUE(log.args[1].isNull);
  EXPECT_EQ(log.args[2].kind, ArgKind::Int);
  EXPECT_EQ(log.args[2].number, -1);
}

TEST(KvtsetupArguments, EveryExportOfTheLibraryIsKnownOnceAndFound) {
  // The export list of the DLL's .def file, which the Windows build ships.
  std::ifstream def(KVTSETUP_DEF_FILE);
  ASSERT_TRUE(def) << KVTSETUP_DEF_FILE;
  std::set<std::string> listed;
  for (std::string line; std::getline(def, line);) {
    const size_t at = line.find("KVT_");
    if (at != std::string::npos) listed.insert(line.substr(at, line.find_first_of(" \r", at) - at));
  }
  ASSERT_EQ(listed.size(), 32u);
  std::set<std::string> known;
  for (const ExportSignature &signature : Exports()) {
    EXPECT_TRUE(known.insert(signature.name).second) << signature.name << " twice";
    EXPECT_NE(signature.invoke, nullptr) << signature.name;
    EXPECT_NE(std::string(signature.summary), "") << signature.name;
  }
  EXPECT_EQ(known, listed);
  std::string error;
  const std::unique_ptr<SetupLibrary> library = OpenSetupLibrary("", error);
  ASSERT_NE(library, nullptr) << error;
  const std::vector<std::string> names = library->ExportNames();
  EXPECT_EQ(std::set<std::string>(names.begin(), names.end()), listed);
  for (const std::string &name : listed) EXPECT_NE(library->Find(name), nullptr) << name;
  EXPECT_EQ(library->Find("KVT_Nothing"), nullptr);
  EXPECT_EQ(library->Find("kvt_setupstart"), nullptr) << "export names match exactly";
  EXPECT_EQ(OpenSetupLibrary("C:\\KvtSetup.dll", error), nullptr) << "this build loads no DLL";
  EXPECT_EQ(error, "this kvtsetup has the setup library linked in and loads no DLL");
}

TEST(KvtsetupValueText, NumbersAndValuesReadAndShowAsAUserWritesThem) {
  EXPECT_EQ(ParseNumber("0", 0, 0), 0);
  EXPECT_EQ(ParseNumber("-0x7fffffff", -0x7fffffff, 0), -0x7fffffff);
  EXPECT_EQ(ParseNumber("0X1f", 0, 100), 31);
  for (const char *bad : {"", "-", "0x", "+1", " 1", "1 ", "99999999999999999999", "0x1g", "--1"}) {
    EXPECT_FALSE(ParseNumber(bad, INT64_MIN, INT64_MAX).has_value()) << bad;
  }
  EXPECT_FALSE(ParseNumber("11", 0, 10).has_value());

  EXPECT_EQ(QuotedText("a\"b\\c\r\n\t\x01\x7f\xe9"), "\"a\\\"b\\\\c\\r\\n\\t\\x01\\x7f\xe9\"");
  EXPECT_EQ(ValueTypeText(REG_MULTI_SZ), "REG_MULTI_SZ");
  EXPECT_EQ(ValueTypeText(42), "42");
  EXPECT_EQ(ParseValueType("reg_qword"), static_cast<uint32_t>(REG_QWORD));

  const struct {
    uint32_t type;
    std::vector<uint8_t> data;
    const char *text;
  } values[] = {
      {REG_SZ, {'C', ':', '\\', 0}, "\"C:\\\\\""},
      {REG_SZ, {'a'}, "hex:61"},                      // without its terminator
      {REG_SZ, {'a', 0, 'b', 0}, "hex:61,00,62,00"},  // a zero inside
      {REG_EXPAND_SZ, {'%', 0}, "\"%\""},
      {REG_DWORD, {1, 1, 0, 0}, "257"},
      {REG_DWORD, {1, 1}, "hex:01,01"},
      {REG_MULTI_SZ, {'a', 0, 'b', 0, 0}, "[\"a\", \"b\"]"},
      {REG_MULTI_SZ, {0}, "[]"},
      {REG_MULTI_SZ, {'a'}, "hex:61"},
      {REG_BINARY, {}, "hex:"},
      {REG_BINARY, {0, 255}, "hex:00,ff"},
  };
  for (const auto &value : values) EXPECT_EQ(ValueDataText(value.type, value.data), value.text) << value.text;
}

TEST(KvtsetupOutcome, EachResultOfTheSequencesHasItsExitStatusAndItsLine) {
  const struct {
    const char *command;
    int32_t result;
    int status;
    const char *starts;
  } cases[] = {
      {"install", 1, kExitDone, "done: "},
      {"install", 7, kExitDone, "done: "},
      {"install", 0, kExitNotDone, "not done: "},
      {"uninstall", 1, kExitDone, "done: the package was uninstalled"},
      {"uninstall", 0, kExitNotDone, "not done: a file of the package could not be deleted"},
      {"uninstall", -1, kExitNoSpooler, "not done: the print service is not running"},
      {"uninstall", 2, kExitNotDone, "the uninstall gave the result 2"},
  };
  for (const auto &test : cases) {
    const SequenceOutcome outcome = OutcomeOf(test.command, test.result);
    EXPECT_EQ(outcome.exitStatus, test.status) << test.command << " " << test.result;
    EXPECT_EQ(outcome.message.rfind(test.starts, 0), 0u) << outcome.message;
    EXPECT_EQ(outcome.message.find('\n'), std::string::npos) << "one line";
  }
}

}  // namespace
}  // namespace kvt::setup
