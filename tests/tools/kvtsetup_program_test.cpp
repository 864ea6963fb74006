// kvtsetup run as a user runs it, on copies of the sample machine: the
// uninstall removes every trace of the package and nothing else, the
// locked key included, and logs what the expected log holds; a dry run and
// bad input leave the machine folder exactly as it was; single exports
// take typed arguments; the committed sample is what its program makes.
#include <sys/stat.h>

#include <platform/testing.h>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <regex>
#include <string>
#include <vector>

#include "test_support.h"

namespace kvt::test {
namespace {

namespace fs = std::filesystem;
using platform::MachineDescription;

const std::string kSetupFolder = "C:\\KVT Setup";
const fs::path kSamples = KVT_SAMPLES_DIR;

std::string ReadText(const fs::path &path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Every entry below a folder with its kind, permissions and bytes.
std::map<std::string, std::string> TreeOf(const fs::path &folder) {
  std::map<std::string, std::string> tree;
  for (const fs::directory_entry &entry : fs::recursive_directory_iterator(folder)) {
    const auto perms = static_cast<unsigned>(fs::symlink_status(entry.path()).permissions());
    tree[entry.path().lexically_relative(folder).string()] =
        std::to_string(perms) + (entry.is_directory() ? " folder" : " file " + ReadText(entry.path()));
  }
  return tree;
}

// The banners' times, which follow the clock, as "(TIME)".
std::string MaskTimes(const std::string &log) {
  static const std::regex time(R"(\(\d{4}/\d\d/\d\d \d\d:\d\d:\d\d\))");
  return std::regex_replace(log, time, "(TIME)");
}

MachineDescription Describe(const fs::path &machine) {
  platform::ResetMachine();
  std::string error;
  EXPECT_TRUE(platform::LoadMachine(machine.string(), &error)) << error;
  MachineDescription described = platform::DescribeMachine();
  platform::ResetMachine();  // lets go of the folder's drive
  return described;
}

std::string Upper(std::string text) {
  for (char &ch : text) ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
  return text;
}

// Whether a text names something of the package: its vendor's and
// printer's names, its files and its USB device.
bool NamesThePackage(const std::string &text) {
  const std::string upper = Upper(text);
  return upper.find("KVT") != std::string::npos || upper.find("VID_FFF0") != std::string::npos;
}

bool ValuesNameThePackage(const MachineDescription::RegistryKey &key) {
  for (const auto &value : key.values) {
    if (NamesThePackage(value.name) || NamesThePackage(std::string(value.data.begin(), value.data.end()))) return true;
  }
  return false;
}

// Where the user ran the setup from, and what points there: both stay.
bool IsSetupFolder(const std::string &path) { return path.rfind(kSetupFolder, 0) == 0; }
const std::string kSetupKey = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Setup";

class KvtsetupTest : public ::testing::Test {
 protected:
  // A copy of the sample machine to run on.
  fs::path CopyOfSample(const std::string &name = "machine") {
    const fs::path copy = dir_.Path() / name;
    fs::copy(kSamples / "machine", copy, fs::copy_options::recursive);
    return copy;
  }
  static ProgramRun Run(const std::vector<std::string> &args) { return RunProgram(KVTSETUP_PROGRAM, args); }

  TempDir dir_;
};

TEST_F(KvtsetupTest, UninstallRemovesEveryTraceOfThePackageAndNothingElse) {
  const fs::path machine = CopyOfSample();
  const MachineDescription before = Describe(machine);

  const ProgramRun run = Run({"uninstall", kSetupFolder, "--machine", machine.string()});
  EXPECT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(run.err, "kvtsetup: done: the package was uninstalled\n");
  const std::string expected = ReadText(fs::path(KVT_TOOLS_TEST_DATA) / "sample-uninstall.log");
  ASSERT_FALSE(expected.empty());
  EXPECT_EQ(MaskTimes(run.out), expected);
  EXPECT_EQ(ReadText(machine / "drive_c" / "KVT Setup" / "KVTSetup.log"),
            ReadText(kSamples / "machine" / "drive_c" / "KVT Setup" / "KVTSetup.log") + run.out)
      << "the log printed is what the run added to the machine's log";

  const MachineDescription after = Describe(machine);
  // The locked key was there, locked, and is gone.
  const std::string locked = "HKEY_LOCAL_MACHINE\\SOFTWARE\\KVT Photo\\KVT-RZ4\\Calibration";
  auto findKey = [](const MachineDescription &m, const std::string &path) {
    return std::find_if(m.registryKeys.begin(), m.registryKeys.end(), [&](const auto &k) { return k.path == path; });
  };
  ASSERT_NE(findKey(before, locked), before.registryKeys.end());
  EXPECT_FALSE(findKey(before, locked)->deletable);
  EXPECT_EQ(findKey(after, locked), after.registryKeys.end());

  // Nothing of the package is left, but the setup folder and the setup
  // source path that point to it (the uninstall never puts it back).
  for (const auto &printer : after.printers)
    EXPECT_FALSE(NamesThePackage(printer.name + printer.driver)) << printer.name;
  for (const auto &driver : after.drivers) EXPECT_FALSE(NamesThePackage(driver.name)) << driver.name;
  for (const auto &monitor : after.monitors) EXPECT_FALSE(NamesThePackage(monitor.name + monitor.dll)) << monitor.name;
  for (const auto &port : after.ports) EXPECT_FALSE(NamesThePackage(port.name + port.monitor)) << port.name;
  for (const auto &device : after.devices) {
    for (const auto &id : device.hardwareIds) EXPECT_FALSE(NamesThePackage(id)) << device.instanceId;
  }
  for (const auto &inf : after.oemInfs) EXPECT_FALSE(NamesThePackage(inf.provider)) << inf.path;
  for (const auto &profile : after.colorProfiles) EXPECT_FALSE(NamesThePackage(profile)) << profile;
  for (const auto &key : after.registryKeys) {
    EXPECT_FALSE(NamesThePackage(key.path) || (key.path != kSetupKey && ValuesNameThePackage(key))) << key.path;
  }
  for (const auto &file : after.files)
    EXPECT_FALSE(NamesThePackage(file.path) && !IsSetupFolder(file.path)) << file.path;

  // Everything else is as it was.
  auto sameEverywhere = [](const auto &was, const auto &now, auto key, auto equal, auto belongs) {
    for (const auto &item : was) {
      if (belongs(item)) continue;
      auto match = std::find_if(now.begin(), now.end(), [&](const auto &other) { return key(other) == key(item); });
      EXPECT_TRUE(match != now.end() && equal(item, *match)) << key(item);
    }
  };
  sameEverywhere(
      before.printers, after.printers, [](const auto &p) { return p.name; },
      [](const auto &a, const auto &b) { return a.driver == b.driver && a.port == b.port; },
      [](const auto &p) { return NamesThePackage(p.name + p.driver + p.port); });
  sameEverywhere(
      before.drivers, after.drivers, [](const auto &d) { return d.name; },
      [](const auto &a, const auto &b) { return a.environment == b.environment; },
      [](const auto &d) { return NamesThePackage(d.name); });
  sameEverywhere(
      before.ports, after.ports, [](const auto &p) { return p.name; },
      [](const auto &a, const auto &b) { return a.monitor == b.monitor; },
      [](const auto &p) { return NamesThePackage(p.name + p.monitor); });
  sameEverywhere(
      before.devices, after.devices, [](const auto &d) { return d.instanceId; },
      [](const auto &a, const auto &b) { return a.hardwareIds == b.hardwareIds && a.description == b.description; },
      [](const auto &d) { return NamesThePackage(d.instanceId); });
  sameEverywhere(
      before.oemInfs, after.oemInfs, [](const auto &i) { return i.path; },
      [](const auto &a, const auto &b) { return a.provider == b.provider && a.pnfPath == b.pnfPath; },
      [](const auto &i) { return NamesThePackage(i.provider); });
  sameEverywhere(
      before.colorProfiles, after.colorProfiles, [](const auto &p) { return p; },
      [](const auto &, const auto &) { return true; }, [](const auto &p) { return NamesThePackage(p); });
  sameEverywhere(
      before.registryKeys, after.registryKeys, [](const auto &k) { return k.path; },
      [](const auto &a, const auto &b) {
        if (a.deletable != b.deletable || a.values.size() != b.values.size()) return false;
        for (size_t i = 0; i < a.values.size(); ++i) {
          const auto &x = a.values[i], &y = b.values[i];
          if (x.name != y.name || x.type != y.type || x.data != y.data) return false;
        }
        return true;
      },
      [](const auto &k) { return NamesThePackage(k.path) || (k.path != kSetupKey && ValuesNameThePackage(k)); });
  // The package's stored INF goes with it; the setup folder stays, its log
  // longer by what the run wrote.
  std::vector<std::string> packageFiles = {kSetupFolder + "\\KVTSetup.log"};
  for (const auto &inf : before.oemInfs) {
    if (NamesThePackage(inf.provider)) packageFiles.insert(packageFiles.end(), {inf.path, inf.pnfPath});
  }
  ASSERT_EQ(packageFiles.size(), 3u);
  sameEverywhere(
      before.files, after.files, [](const auto &f) { return f.path; },
      [](const auto &a, const auto &b) {
        return a.folder == b.folder && a.attributes == b.attributes && a.size == b.size && a.digest == b.digest;
      },
      [&packageFiles](const auto &f) {
        return (NamesThePackage(f.path) && !IsSetupFolder(f.path)) ||
               std::find(packageFiles.begin(), packageFiles.end(), f.path) != packageFiles.end();
      });
}

TEST_F(KvtsetupTest, DryRunShowsTheChangesAndLeavesTheSampleFolderAsItIs) {
  const auto committed = TreeOf(kSamples / "machine");
  const ProgramRun run =
      Run({"--machine", (kSamples / "machine").string(), "uninstall", kSetupFolder, "--dry-run", "--changes"});
  EXPECT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(TreeOf(kSamples / "machine"), committed);
  const size_t report = run.out.find("\nWhat the command changed on the machine:\nPrinters\n");
  ASSERT_NE(report, std::string::npos) << run.out;
  EXPECT_EQ(MaskTimes(run.out.substr(0, report)), ReadText(fs::path(KVT_TOOLS_TEST_DATA) / "sample-uninstall.log"));
  const std::string changes = run.out.substr(report);
  for (const char *line : {
           "  removed  KVT-RZ4 (Copy 2) (driver: KVT-RZ4; port: KVTUSB002)\n",
           "  removed  monitor KVT Network Port Monitor (library: kvtnetmon.dll)\n",
           "  removed  C:\\WINDOWS\\Inf\\oem1.inf (provider: KVT Photo; precompiled: C:\\WINDOWS\\Inf\\oem1.pnf)\n",
           "  removed  HKEY_LOCAL_MACHINE\\SOFTWARE\\KVT Photo (keys below: 3; locked against deletion: "
           "HKEY_LOCAL_MACHINE\\SOFTWARE\\KVT Photo\\KVT-RZ4\\Calibration)\n",
           "  removed  HKEY_CURRENT_USER\\Software\\KVT Photo (keys below: 2)\n",
           "  removed  C:\\WINDOWS\\System\\KVTRZ4 (entries inside: 3)\n",
           "  removed  C:\\WINDOWS\\System\\KVTRZ4.HLP (size: 44 bytes; attributes: read-only)\n",
       }) {
    EXPECT_NE(changes.find(line), std::string::npos) << line << changes;
  }
  EXPECT_EQ(changes.find("Lumen"), std::string::npos) << "no other vendor's things changed";
  EXPECT_EQ(changes.find("Orbis"), std::string::npos);

  const ProgramRun json = Run(
      {"uninstall", kSetupFolder, "--machine", (kSamples / "machine").string(), "--dry-run", "--changes", "--json"});
  ASSERT_EQ(json.exitCode, 0) << json.err;
  const nlohmann::json document = nlohmann::json::parse(json.out);
  EXPECT_EQ(document["export"], "KVT_Uninstall");
  EXPECT_EQ(document["result"], 1);
  EXPECT_EQ(document["machine"]["saved"], false);
  EXPECT_EQ(MaskTimes(document["log"].get<std::string>()),
            ReadText(fs::path(KVT_TOOLS_TEST_DATA) / "sample-uninstall.log"));
  EXPECT_EQ(document["changes"]["printers"].size(), 3u);
  EXPECT_EQ(document["changes"]["colourProfiles"][0]["subject"], "KVTRZ4 Glossy.icm");
  EXPECT_EQ(TreeOf(kSamples / "machine"), committed);
}

TEST_F(KvtsetupTest, InstallAfterTheUninstallStoresTheInfAgain) {
  const fs::path machine = CopyOfSample();
  ASSERT_EQ(Run({"uninstall", kSetupFolder, "--machine", machine.string()}).exitCode, 0);
  const ProgramRun install = Run({"install", kSetupFolder, "--machine", machine.string(), "--changes"});
  EXPECT_EQ(install.exitCode, 0) << install.err;
  EXPECT_EQ(install.err, "kvtsetup: done: the package's INF was stored in the system's INF folder\n");
  EXPECT_NE(MaskTimes(install.out)
                .find("*** Log Start (TIME) ***\r\nmemo : Install\r\nInfName=kvtrz4.inf\r\n"
                      "KVT_SetupCopyOemInf(kvtrz4.inf,C:\\KVT Setup)\r\n"
                      "SetupCopyOEMInf(C:\\KVT Setup\\kvtrz4.inf,C:\\KVT Setup)\r\n-->Success\r\n"),
            std::string::npos)
      << install.out;
  EXPECT_NE(install.out.find("OEM INF copies\n  added    C:\\WINDOWS\\Inf\\oem1.inf (provider: KVT Photo"),
            std::string::npos)
      << "the lowest free number";
  const MachineDescription after = Describe(machine);
  ASSERT_EQ(after.oemInfs.size(), 3u);
  EXPECT_EQ(after.oemInfs[1].provider, "KVT Photo");
}

TEST_F(KvtsetupTest, BadInputIsRefusedInWordsAndChangesNothing) {
  const fs::path machine = CopyOfSample();
  const fs::path broken = CopyOfSample("broken");
  std::ofstream(broken / "spooler.json", std::ios::trunc) << "{\n  \"version\": 1,\n  drivers\n}\n";
  const fs::path empty = dir_.Path() / "empty";
  fs::create_directories(empty);
  const std::string m = machine.string();
  const struct {
    std::vector<std::string> args;
    int exitCode;
    std::string message;
  } cases[] = {
      {{"uninstall", "C:\\WINDOWS", "--machine", m},
       4,
       "kvtsetup: the setup folder C:\\WINDOWS holds no KvtSetup.ini, which says what to install and uninstall; "
       "nothing was changed\n"},
      {{"install", "C:\\Nowhere", "--machine", m},
       4,
       "kvtsetup: there is no setup folder C:\\Nowhere; nothing was changed\n"},
      {{"call", "KVT_DeleteRegList", "--dir", "C:\\WINDOWS\\KVTRZ4.INI", "--machine", m},
       4,
       "kvtsetup: there is no setup folder C:\\WINDOWS\\KVTRZ4.INI; nothing was changed\n"},
      {{"call", "KVT_Nothing", "--dir", kSetupFolder, "--machine", m},
       2,
       "kvtsetup: the setup library has no export KVT_Nothing; kvtsetup exports lists them\n"},
      {{"call", "KVT_RegDeleteKey", "HKEY_CURRENT_USER\\Software\\KVT Photo", "--dir", kSetupFolder, "--machine", m},
       2,
       "kvtsetup: KVT_RegDeleteKey takes 2 arguments (KVT_RegDeleteKey PATH NOUNLOCK), 1 given\n"},
      {{"call", "KVT_RegDeleteKey", "HKEY_CURRENT_USER\\Software\\KVT Photo", "yes", "--dir", kSetupFolder, "--machine",
        m},
       2,
       "kvtsetup: KVT_RegDeleteKey: NOUNLOCK must be a whole number from -2147483648 to 2147483647, not \"yes\"\n"},
      {{"call", "KVT_DeleteRegList", "--machine", m},
       2,
       "kvtsetup: --dir is required\nkvtsetup: kvtsetup --help lists the commands\n"},
      {{"uninstall", kSetupFolder, "--machine", (dir_.Path() / "nowhere").string()},
       4,
       "kvtsetup: there is no machine folder " + (dir_.Path() / "nowhere").string() + "\n"},
      {{"uninstall", kSetupFolder, "--machine", broken.string()},
       4,
       "kvtsetup: cannot load the machine in " + broken.string() +
           ": spooler.json is not well-formed JSON at line 3; it was left as it was\n"},
      {{"uninstall", kSetupFolder, "--machine", empty.string()},
       4,
       "kvtsetup: cannot load the machine in " + empty.string() + ": spooler.json is missing; it was left as it was\n"},
      // The library is linked in: there is no DLL to name.
      {{"uninstall", kSetupFolder, "--dll", "KvtSetup.dll", "--machine", m},
       2,
       "kvtsetup: The following arguments were not expected: KvtSetup.dll --dll\n"
       "kvtsetup: kvtsetup --help lists the commands\n"},
  };
  std::map<std::string, std::map<std::string, std::string>> before;
  for (const fs::path &folder : {machine, broken, empty}) before[folder.string()] = TreeOf(folder);
  for (const auto &test : cases) {
    const ProgramRun run = Run(test.args);
    EXPECT_EQ(run.exitCode, test.exitCode) << test.message;
    EXPECT_EQ(run.err, test.message);
    EXPECT_EQ(run.out, "") << test.message;
  }
  for (const auto &[folder, tree] : before) EXPECT_EQ(TreeOf(folder), tree) << folder;
  for (const std::vector<std::string> &usage : std::vector<std::vector<std::string>>{{}, {"uninstall"}, {"remove"}}) {
    const ProgramRun run = Run(usage);
    EXPECT_EQ(run.exitCode, 2) << run.err;
    EXPECT_NE(run.err.find("kvtsetup --help lists the commands"), std::string::npos) << run.err;
  }
}

TEST_F(KvtsetupTest, CallPassesTypedArgumentsAndShowsTheResultOutputsAndLog) {
  const fs::path machine = CopyOfSample();
  auto call = [&](std::vector<std::string> args) {
    args.insert(args.begin(), {"call", "--dir", kSetupFolder, "--machine", machine.string()});
    const ProgramRun run = Run(args);
    EXPECT_EQ(run.exitCode, 0) << run.err;
    return run;
  };
  const std::string setupKey = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Setup";
  const struct {
    std::vector<std::string> args;
    std::string shown;  // the start of what is shown
    std::string logged;
  } cases[] = {
      {{"KVT_GetKvtSetupIniString", "KVTSetup", "DriverName2", "5"},
       "KVT_GetKvtSetupIniString returned 4\n  buffer: \"KVT-\"\nThe setup log of the call:\n*** Log Start",
       "memo : kvtsetup call KVT_GetKvtSetupIniString\r\nDriverName2=KVT-\r\n*** Log Finish"},
      {{"KVT_GetKvtSetupIniInt", "DelFile", "Count"},
       "KVT_GetKvtSetupIniInt returned 1\n  value: 9\n",
       "\r\nCount=9\r\n"},
      {{"KVT_LogFileWrite", "%s has %d printers (%x)", "KVT-RZ4", "3", "255"},
       "KVT_LogFileWrite returned 0\n",
       "\r\nKVT-RZ4 has 3 printers (ff)\r\n"},
      {{"KVT_RegGetValue", setupKey, "SourcePath.0ACC15D3", "64"},
       "KVT_RegGetValue returned 0\n  type: REG_SZ\n  size: 4\n  data: \"D:\\\\\"\n",
       ""},
      {{"KVT_RegGetValue", setupKey, "SourcePath", "2"},
       "KVT_RegGetValue returned 234\n  type: REG_SZ\n  size: 13\n",
       ""},
      {{"KVT_FindPrinter", "Lumen Office 300 PCL"},
       "KVT_FindPrinter returned 1\n",
       "KVT_FindPrinter(Lumen Office 300 PCL)\r\n"},
      {{"KVT_Dummy", "-5"}, "KVT_Dummy returned -5\n", ""},
      // After "--" a text may begin with a minus sign.
      {{"KVT_FindPrinter", "--", "-x"}, "KVT_FindPrinter returned 0\n", "KVT_FindPrinter(-x)\r\n"},
      {{"KVT_SetupStart", kSetupFolder, "(null)", "0", "by hand"},
       "KVT_SetupStart returned 1\n",
       "\r\nmemo : by hand\r\n*** Log Finish"},
      {{"KVT_SetupFinish"},
       "KVT_SetupFinish returned 0\n",
       "\r\nmemo : kvtsetup call KVT_SetupFinish\r\n*** Log Finish"},
      {{"KVT_ClearWin98SetupReg", kSetupFolder}, "KVT_ClearWin98SetupReg returned 1\n", ""},
  };
  for (const auto &test : cases) {
    const ProgramRun run = call(test.args);
    EXPECT_EQ(run.out.rfind(test.shown, 0), 0u) << run.out;
    EXPECT_NE(run.out.find(test.logged), std::string::npos) << run.out;
  }
  EXPECT_NE(call({"KVT_Dummy", "7"}).err.find("[7] AAAA"), std::string::npos) << "the message box, shown on stderr";
  // Each call was saved: the setup source path is back where it was.
  const MachineDescription after = Describe(machine);
  const auto setup = std::find_if(after.registryKeys.begin(), after.registryKeys.end(),
                                  [&](const auto &key) { return key.path == setupKey; });
  ASSERT_NE(setup, after.registryKeys.end());
  ASSERT_EQ(setup->values.size(), 1u);
  EXPECT_EQ(setup->values[0].name, "SourcePath");
  EXPECT_EQ(setup->values[0].data, (std::vector<uint8_t>{'D', ':', '\\', 0}));
}

TEST_F(KvtsetupTest, ExportsListsEveryExportWithItsArguments) {
  const ProgramRun run = Run({"exports"});
  EXPECT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(std::count(run.out.begin(), run.out.end(), '\n'), 64);
  for (const char *usage : {"\nKVT_RegSetValue PATH NAME TYPE DATA\n", "\nKVT_LogFileWrite FORMAT VALUE...\n",
                            "\nKVT_Uninstall DIRECTORY\n", "\nKVT_DeleteRegList\n"}) {
    EXPECT_NE(run.out.find(usage), std::string::npos) << usage;
  }
}

// The sample is kept as the program's output; a change to the program or
// the package that is not remade into it shows here. Git keeps no empty
// folders, which a load makes again.
TEST_F(KvtsetupTest, TheCommittedSampleMachineIsWhatItsProgramMakes) {
  const fs::path made = dir_.Path() / "made";
  const ProgramRun run = RunProgram(MAKE_SAMPLE_MACHINE_PROGRAM, {(kSamples / "package").string(), made.string()});
  ASSERT_EQ(run.exitCode, 0) << run.err;
  auto files = [](const fs::path &folder) {
    std::map<std::string, std::string> tree;
    for (const fs::directory_entry &entry : fs::recursive_directory_iterator(folder)) {
      if (entry.is_regular_file()) tree[entry.path().lexically_relative(folder).string()] = ReadText(entry.path());
    }
    return tree;
  };
  const auto committed = files(kSamples / "machine");
  EXPECT_EQ(files(made), committed) << "remake it: cmake --build --preset linux --target sample_machine";
  for (const char *name : {"KvtSetup.ini", "kvtrz4.inf", "KVTRZ4.INI", "KVTRZ4 Glossy.icm"}) {
    EXPECT_EQ(committed.at(std::string("drive_c/KVT Setup/") + name), ReadText(kSamples / "package" / name)) << name;
  }
}

}  // namespace
}  // namespace kvt::test
