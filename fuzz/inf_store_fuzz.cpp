// Stores arbitrary bytes as a manufacturer's INF with SetupCopyOEMInfA,
// twice, on a machine whose INF folder is emptied after each input. The INF parser decides whether it is an INF at
// all; a stored one must be an exact copy under the oemN.inf name the call
// reports, with its oemN.pnf companion beside it, and storing the same
// bytes again must give the same name rather than a second copy.
#include <setupapi.h>
#include <windows.h>

#include <platform/testing.h>

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace {

void Require(bool condition) {
  if (!condition) __builtin_trap();
}

std::string HostBytes(const std::string &windowsPath) {
  std::optional<std::string> host = platform::HostPathOfWindowsPath(windowsPath);
  if (!host) return {};
  std::ifstream in(*host, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Removes what the last input stored.
void EmptyInfFolder() {
  std::error_code ignored;
  const std::string folder = *platform::HostPathOfWindowsPath("C:\\WINDOWS\\Inf");
  for (const auto &entry : std::filesystem::directory_iterator(folder, ignored)) {
    std::filesystem::remove(entry.path(), ignored);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  static const bool fresh = (platform::ResetMachine(), true);
  (void)fresh;
  EmptyInfFolder();
  const std::string source = "C:\\source.inf";
  const std::string bytes(reinterpret_cast<const char *>(data), size);
  {
    std::ofstream out(*platform::HostPathOfWindowsPath(source), std::ios::binary);
    out << bytes;
  }
  char first[MAX_PATH] = {};
  char second[MAX_PATH] = {};
  const BOOL stored = SetupCopyOEMInfA(source.c_str(), nullptr, SPOST_PATH, 0, first, MAX_PATH, nullptr, nullptr);
  if (!stored) {
    Require(GetLastError() != ERROR_SUCCESS);
    return 0;
  }
  const std::string name = first;
  Require(name.rfind("C:\\WINDOWS\\Inf\\oem", 0) == 0 && name.size() > 4 && name.substr(name.size() - 4) == ".inf");
  Require(HostBytes(name) == bytes);
  Require(!HostBytes(name.substr(0, name.size() - 4) + ".pnf").empty());
  Require(SetupCopyOEMInfA(source.c_str(), nullptr, SPOST_PATH, 0, second, MAX_PATH, nullptr, nullptr));
  Require(name == second);
  return 0;
}
