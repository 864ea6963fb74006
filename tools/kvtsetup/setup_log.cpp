// Reading a setup folder's log and INI through the Win32 file calls.
#include "setup_log.h"

#include <windows.h>

#include <scoped_handle.h>

#include <vector>

namespace kvt::setup {

namespace {

std::string InFolder(const std::string &folder, const char *name) {
  if (!folder.empty() && (folder.back() == '\\' || folder.back() == '/')) return folder + name;
  return folder + "\\" + name;
}

// Opens the log for reading while the library may write it.
kvt::ScopedFile OpenLog(const std::string &path) {
  return kvt::ScopedFile(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL,
                                     OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL));
}

}  // namespace

LogWatch::LogWatch(std::string setupFolder) : path_(InFolder(setupFolder, "KvtSetup.log")) {
  const kvt::ScopedFile log = OpenLog(path_);
  if (log) start_ = GetFileSize(log.get(), NULL);
}

std::string LogWatch::Appended() const {
  const kvt::ScopedFile log = OpenLog(path_);
  if (!log) return "";
  const DWORD size = GetFileSize(log.get(), NULL);
  if (size == INVALID_FILE_SIZE) return "";
  const DWORD from = size >= start_ ? start_ : 0;
  if (SetFilePointer(log.get(), static_cast<LONG>(from), NULL, FILE_BEGIN) == INVALID_SET_FILE_POINTER) return "";
  std::vector<char> bytes(size - from);
  DWORD read = 0;
  if (!bytes.empty() && !ReadFile(log.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &read, NULL)) return "";
  return std::string(bytes.data(), read);
}

bool SetupFolderHoldsIni(const std::string &setupFolder, std::string &error) {
  const DWORD folder = GetFileAttributesA(setupFolder.c_str());
  if (folder == INVALID_FILE_ATTRIBUTES || (folder & FILE_ATTRIBUTE_DIRECTORY) == 0) {
    error = "there is no setup folder " + setupFolder;
    return false;
  }
  const DWORD ini = GetFileAttributesA(InFolder(setupFolder, "KvtSetup.ini").c_str());
  if (ini == INVALID_FILE_ATTRIBUTES || (ini & FILE_ATTRIBUTE_DIRECTORY) != 0) {
    error = "the setup folder " + setupFolder + " holds no KvtSetup.ini, which says what to install and uninstall";
    return false;
  }
  return true;
}

}  // namespace kvt::setup
