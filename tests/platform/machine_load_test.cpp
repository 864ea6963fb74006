// Loading refuses anything that is not a whole machine, says which file and
// which line are at fault, and leaves the running machine as it was.
#include <windows.h>
#include <icm.h>

#include <platform/testing.h>

#include "../support/test_devices.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace {

namespace fs = std::filesystem;

std::string ReadText(const fs::path &path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteText(const fs::path &path, const std::string &text) {
  std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
}

// A registry file as this registry writes one, around `keys`.
std::string RegistryFile(const std::string &keys) { return "REGEDIT4\r\n\r\n" + keys + "; end of registry\r\n"; }

// The header line of a key `depth` levels below HKEY_LOCAL_MACHINE.
std::string HeaderOfDepth(size_t depth) {
  std::string header = "[HKEY_LOCAL_MACHINE";
  for (size_t level = 0; level < depth; ++level) header += "\\k";
  return header += "]\r\n";
}

class MachineLoadTest : public ::testing::Test {
 protected:
  // A saved machine with something in each of its files, and a running
  // machine that differs from it.
  void SetUp() override {
    platform::ResetMachine();
    dir_ = fs::temp_directory_path() / ("kvt-machine-load-" + std::to_string(::getpid()));
    fs::remove_all(dir_);
    HKEY key = nullptr;
    ASSERT_EQ(
        RegCreateKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Kvt", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
        ERROR_SUCCESS);
    const BYTE multi[] = {'a', 0, 'b', 0, 0};
    ASSERT_EQ(RegSetValueExA(key, "Paths", 0, REG_MULTI_SZ, multi, sizeof(multi)), ERROR_SUCCESS);
    ASSERT_EQ(RegSetValueExA(key, "", 0, REG_SZ, reinterpret_cast<const BYTE *>("text"), 5), ERROR_SUCCESS);
    RegCloseKey(key);
    ASSERT_FALSE(test_devices::CreateDevice(test_devices::MultiString({"KVTTEST\\RZ4"})).empty());
    std::ofstream(*platform::HostPathOfWindowsPath("C:\\WINDOWS\\Temp\\kvt.icm")) << "profile";
    ASSERT_TRUE(InstallColorProfileA(nullptr, "C:\\WINDOWS\\Temp\\kvt.icm"));
    ASSERT_TRUE(SetFileAttributesA("C:\\WINDOWS\\Temp\\kvt.icm", FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN));
    ASSERT_TRUE(platform::AddLocalPort("USB009"));
    ASSERT_TRUE(platform::SaveMachine(dir_.string()));
    ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Running", 0, nullptr, 0, KEY_READ, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    RegCloseKey(key);
    driveC_ = platform::DriveCFolder();
  }
  void TearDown() override {
    platform::ResetMachine();
    fs::remove_all(dir_);
  }

  bool RunningMachineIsUnchanged() const {
    return platform::KeySecurity(HKEY_LOCAL_MACHINE, "SOFTWARE\\Running").has_value() &&
           platform::DriveCFolder() == driveC_;
  }

  fs::path dir_;
  std::string driveC_;
};

TEST_F(MachineLoadTest, EveryCutPointOfEverySavedFileIsRefused) {
  for (const char *file :
       {"registry.reg", "spooler.json", "devices.json", "color_profiles.json", "file_attributes.json"}) {
    const std::string whole = ReadText(dir_ / file);
    // A JSON document is whole at its closing brace; the registry only with
    // the line break of its closing line.
    const bool isRegistry = std::string(file) == "registry.reg";
    const size_t cuts = isRegistry ? whole.size() : whole.find_last_not_of("\r\n") + 1;
    ASSERT_GT(cuts, 50u) << file;
    // Shortened in place, from the longest cut down.
    for (size_t cut = cuts; cut-- > 0;) {
      const std::string part = whole.substr(0, cut);
      fs::resize_file(dir_ / file, cut);
      std::string error;
      ASSERT_FALSE(platform::LoadMachine(dir_.string(), &error)) << file << " cut at " << cut;
      const std::string line = std::to_string(std::count(part.begin(), part.end() - (cut > 0), '\n') + 1);
      EXPECT_EQ(error, std::string(file) + (cut == 0 ? " is empty" : " is cut short at line " + line));
      ASSERT_TRUE(RunningMachineIsUnchanged()) << file << " cut at " << cut;
    }
    WriteText(dir_ / file, whole);
  }
  EXPECT_TRUE(platform::LoadMachine(dir_.string()));
  EXPECT_EQ(test_devices::TestDevices().size(), 1u);
}

TEST_F(MachineLoadTest, ErrorsNameTheFileAndTheLine) {
  const std::string deepest = HeaderOfDepth(512);
  const struct {
    const char *file;
    std::string content;
    std::string error;
  } cases[] = {
      {"registry.reg", "REGEDIT4\r\n", "registry.reg is cut short at line 1"},
      {"registry.reg", "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\A]\r\n", "registry.reg is cut short at line 3"},
      {"registry.reg", "REGEDIT4\r\n\r\n; end of registry", "registry.reg is cut short at line 3"},
      {"registry.reg", RegistryFile("") + "\r\n", "registry.reg goes on after its closing line at line 4"},
      {"registry.reg", RegistryFile("") + "[HKEY_USERS\\X]\r\n; end of registry\r\n",
       "registry.reg goes on after its closing line at line 4"},
      {"registry.reg", "REGEDIT5\r\n; end of registry\r\n", "registry.reg does not start with REGEDIT4"},
      {"registry.reg", RegistryFile("[HKEY_LOCAL_MACHINE\\SOFTWARE\\A\rB]\r\n"),
       "registry.reg has a line break in a key name at line 3"},
      {"registry.reg", RegistryFile("[HKEY_LOCAL_MACHINE\\A]\r\n\"x\ry\"=dword:00000001\r\n"),
       "registry.reg has a line break in a value name at line 4"},
      {"registry.reg", RegistryFile(deepest + HeaderOfDepth(513)),
       "registry.reg names a key more than 512 levels deep at line 4"},
      {"registry.reg", RegistryFile(HeaderOfDepth(20000)),
       "registry.reg names a key more than 512 levels deep at line 3"},
      {"registry.reg", RegistryFile("[HKEY_LOCAL_MACHINE\\A]\r\n;SDDL=O:XX\r\n"),
       "registry.reg has a malformed security descriptor at line 4"},
      // Line numbers count the lines a hex value goes on over.
      {"registry.reg", RegistryFile("[HKEY_LOCAL_MACHINE\\A]\r\n\"v\"=hex:00,\\\r\n  01\r\n\"w\"=dword:123456789\r\n"),
       "registry.reg has a malformed value at line 6"},
      {"spooler.json", "{\"version\": 2}", "spooler.json is not a valid spooler: unknown version"},
      {"devices.json", "{\n  \"version\": 1,\n  devices\n}\n", "devices.json is not well-formed JSON at line 3"},
      // A number beyond what the parser holds is a refusal, not a crash.
      {"spooler.json", "{\"version\": 920e671}", "spooler.json holds a number too large to read"},
      {"devices.json", "{\"version\": 1, \"devices\": [8888888888888888E888888880]}",
       "devices.json holds a number too large to read"},
      // A version that is a number of another kind is no version.
      {"devices.json", "{\"version\": 136E9, \"devices\": []}",
       "devices.json is not a valid device list: unknown version"},
      {"color_profiles.json", "{\"version\": 1.5, \"installed\": []}",
       "color_profiles.json is not a valid list of installed profiles: unknown version or no list"},
      {"devices.json", "{\"version\": 1, \"devices\": [{\"instanceId\": \"X\"}]}",
       "devices.json is not a valid device list: device expected"},
      {"color_profiles.json", "{\"version\": 1, \"installed\": [\"a/b.icm\"]}",
       "color_profiles.json is not a valid list of installed profiles: a name that is no file name"},
      // Attributes only for what C: holds, each entry once, in known words.
      {"file_attributes.json", "{\"version\": 2, \"entries\": []}",
       "file_attributes.json is not a valid list of file attributes: unknown version or no list"},
      {"file_attributes.json", R"({"version": 1, "entries": [{"path": "C:\\nowhere.txt", "attributes": ["hidden"]}]})",
       "file_attributes.json is not a valid list of file attributes: C:\\nowhere.txt is not on the machine's C:"},
      {"file_attributes.json",
       R"({"version": 1, "entries": [{"path": "C:\\WINDOWS\\..\\WINDOWS", "attributes": ["hidden"]}]})",
       "file_attributes.json is not a valid list of file attributes: C:\\WINDOWS\\..\\WINDOWS is not on the machine's "
       "C:"},
      {"file_attributes.json", R"({"version": 1, "entries": [{"path": "D:\\WINDOWS", "attributes": ["hidden"]}]})",
       "file_attributes.json is not a valid list of file attributes: D:\\WINDOWS is not on the machine's C:"},
      {"file_attributes.json", R"({"version": 1, "entries": [{"path": "C:\\WINDOWS", "attributes": ["archive"]}]})",
       "file_attributes.json is not a valid list of file attributes: an unknown attribute for C:\\WINDOWS"},
      {"file_attributes.json", R"({"version": 1, "entries": [{"path": "C:\\WINDOWS", "attributes": []}]})",
       "file_attributes.json is not a valid list of file attributes: no attribute for C:\\WINDOWS"},
      {"file_attributes.json",
       R"({"version": 1, "entries": [{"path": "C:\\WINDOWS", "attributes": ["hidden"]},
                                    {"path": "c:\\windows", "attributes": ["system"]}]})",
       "file_attributes.json is not a valid list of file attributes: c:\\windows is listed twice"},
      {"file_attributes.json", R"({"version": 1, "entries": [{"path": "C:\\WINDOWS"}]})",
       "file_attributes.json is not a valid list of file attributes: an entry without its path or attributes"},
  };
  for (const auto &test : cases) {
    const std::string whole = ReadText(dir_ / test.file);
    WriteText(dir_ / test.file, test.content);
    std::string error;
    EXPECT_FALSE(platform::LoadMachine(dir_.string(), &error)) << test.error;
    EXPECT_EQ(error, test.error);
    EXPECT_TRUE(RunningMachineIsUnchanged()) << test.error;
    WriteText(dir_ / test.file, whole);
  }
  fs::remove(dir_ / "spooler.json");
  std::string error;
  EXPECT_FALSE(platform::LoadMachine(dir_.string(), &error));
  EXPECT_EQ(error, "spooler.json is missing");
  EXPECT_FALSE(platform::LoadMachine((dir_ / "nowhere").string(), &error));
  EXPECT_EQ(error, "there is no such folder");
  EXPECT_TRUE(RunningMachineIsUnchanged());

  // As deep as Windows goes still loads.
  fs::remove_all(dir_);
  fs::create_directories(dir_);
  WriteText(dir_ / "registry.reg", RegistryFile(deepest));
  WriteText(dir_ / "spooler.json", R"({"version": 1, "drivers": [], "ports": [], "printers": [], "forms": []})");
  ASSERT_TRUE(platform::LoadMachine(dir_.string(), &error)) << error;
  std::string path = "k";
  for (int level = 1; level < 512; ++level) path += "\\k";
  EXPECT_TRUE(platform::KeySecurity(HKEY_LOCAL_MACHINE, path).has_value());
}

}  // namespace
