// GetModuleFileNameA for the main program. A Linux program runs from the
// host's file system, so its path is on Z: ("Z:\usr\bin\kvtsetup"), as a
// Linux program started under Wine would see it; a test may place the
// program on the machine's drives instead.
#include "files_internal.h"

#include "../kernel/text.h"

#include <platform/testing.h>

#include <unistd.h>

#include <array>

namespace platform {

namespace {

std::u16string &MainModuleOverride() {
  static std::u16string path;
  return path;
}

std::u16string MainModulePath() {
  if (!MainModuleOverride().empty()) return MainModuleOverride();
  std::array<char, 4096> host{};
  const ssize_t length = ::readlink("/proc/self/exe", host.data(), host.size() - 1);
  if (length <= 0) return u"Z:\\unknown.exe";
  return files::WindowsPathOfHost(std::string(host.data(), static_cast<size_t>(length)));
}

}  // namespace

void SetMainModulePath(const std::string &windowsPath) { MainModuleOverride() = AnsiToWide(windowsPath.c_str()); }

namespace files {
void ResetMainModulePath() { MainModuleOverride().clear(); }
}  // namespace files

}  // namespace platform

extern "C" DWORD WINAPI GetModuleFileNameA(HMODULE hModule, LPSTR lpFilename, DWORD nSize) {
  if (hModule != nullptr) {
    SetLastError(ERROR_MOD_NOT_FOUND);
    return 0;
  }
  if (lpFilename == nullptr && nSize > 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  const std::u16string path = platform::MainModulePath();
  if (nSize == 0) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return 0;
  }
  const size_t copied = path.size() < nSize ? path.size() : nSize - 1;
  for (size_t i = 0; i < copied; ++i) lpFilename[i] = platform::WideToAnsiChar(path[i]);
  lpFilename[copied] = '\0';
  if (copied < path.size()) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return nSize;
  }
  return static_cast<DWORD>(copied);
}
