// Colour management: the colour folder and the profiles installed in it.
// Installing copies a profile file into the folder and records its name;
// uninstalling forgets it and, when asked, deletes the file. The record is
// kept apart from the files, so a profile file can lie in the folder
// without being installed, as on Windows.
#include <icm.h>

#include <nlohmann/json.hpp>
#include <platform/testing.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "../files/files_internal.h"
#include "../kernel/json_file.h"
#include "../kernel/text.h"
#include "mscms_module.h"

namespace platform::mscms {

namespace {

constexpr const char16_t *kColorFolder = u"C:\\WINDOWS\\system32\\spool\\drivers\\color";

InstalledProfiles &Installed() {
  static InstalledProfiles profiles;
  return profiles;
}

void ResetModule() { Installed().clear(); }

const bool registered = [] {
  RegisterResetHook(ResetModule);
  return true;
}();

InstalledProfiles::iterator FindInstalled(const std::u16string &name) {
  return std::find_if(Installed().begin(), Installed().end(),
                      [&name](const std::string &installed) { return EqualsIgnoreCase(*FromUtf8(installed), name); });
}

BOOL Fail(DWORD error) {
  SetLastError(error);
  return FALSE;
}

// The last component of a resolved path and whether its folder is the
// colour folder.
bool InColorFolder(const files::ResolvedPath &path, std::u16string *name) {
  const size_t slash = path.windowsPath.rfind(u'\\');
  if (slash == std::u16string::npos) return false;
  *name = path.windowsPath.substr(slash + 1);
  return EqualsIgnoreCase(path.windowsPath.substr(0, slash), kColorFolder);
}

}  // namespace

bool SaveProfiles(const std::string &path) { return WriteJsonFile(path, {{"version", 1}, {"installed", Installed()}}); }

std::optional<InstalledProfiles> ReadProfiles(const std::string &path, std::string *problem) {
  std::error_code error;
  if (!std::filesystem::exists(path, error)) return InstalledProfiles{};
  const std::optional<nlohmann::ordered_json> document = ReadJsonFile(path, problem);
  if (!document) return std::nullopt;
  const nlohmann::ordered_json &root = *document;
  auto invalid = [problem](const char *what) -> std::optional<InstalledProfiles> {
    *problem = std::string("is not a valid list of installed profiles: ") + what;
    return std::nullopt;
  };
  try {
    if (!HasFormatVersion(root, 1) || !root.contains("installed") || !root["installed"].is_array()) {
      return invalid("unknown version or no list");
    }
    InstalledProfiles profiles;
    for (const auto &name : root["installed"]) {
      if (!name.is_string()) return invalid("a name that is no text");
      const std::optional<std::u16string> wide = FromUtf8(name.get<std::string>());
      if (!wide || wide->empty() || wide->find_first_of(u"\\/:") != std::u16string::npos) {
        return invalid("a name that is no file name");
      }
      profiles.push_back(name.get<std::string>());
    }
    return profiles;
  } catch (const std::exception &failure) {
    return invalid(failure.what());
  }
}

void UseProfiles(InstalledProfiles profiles) { Installed() = std::move(profiles); }

void DescribeProfiles(MachineDescription &machine) { machine.colorProfiles = Installed(); }

}  // namespace platform::mscms

using namespace platform;

extern "C" BOOL WINAPI GetColorDirectoryA(PCSTR pMachineName, PSTR pBuffer, PDWORD pdwSize) {
  if (pMachineName != nullptr) return mscms::Fail(ERROR_NOT_SUPPORTED);
  if (pdwSize == nullptr) return mscms::Fail(ERROR_INVALID_PARAMETER);
  const std::string folder = ToUtf8(mscms::kColorFolder);  // ASCII
  const DWORD needed = static_cast<DWORD>(folder.size() + 1);
  const DWORD given = *pdwSize;
  *pdwSize = needed;
  if (pBuffer == nullptr || given < needed) return mscms::Fail(ERROR_INSUFFICIENT_BUFFER);
  std::memcpy(pBuffer, folder.c_str(), needed);
  return TRUE;
}

extern "C" BOOL WINAPI InstallColorProfileA(PCSTR pMachineName, PCSTR pProfileName) {
  if (pMachineName != nullptr) return mscms::Fail(ERROR_NOT_SUPPORTED);
  if (pProfileName == nullptr) return mscms::Fail(ERROR_INVALID_PARAMETER);
  files::ResolvedPath source;
  if (const DWORD error = files::ResolveArgument(pProfileName, &source)) return mscms::Fail(error);
  if (!source.exists || source.isDirectory) return mscms::Fail(ERROR_FILE_NOT_FOUND);
  std::u16string name;
  if (!mscms::InColorFolder(source, &name)) {
    const std::string ansiTarget = WideToAnsi(std::u16string(mscms::kColorFolder) + u"\\" + name);
    if (!CopyFileA(pProfileName, ansiTarget.c_str(), FALSE)) return FALSE;
  }
  if (mscms::FindInstalled(name) == mscms::Installed().end()) mscms::Installed().push_back(ToUtf8(name));
  SetLastError(ERROR_SUCCESS);
  return TRUE;
}

extern "C" BOOL WINAPI UninstallColorProfileA(PCSTR pMachineName, PCSTR pProfileName, BOOL bDelete) {
  if (pMachineName != nullptr) return mscms::Fail(ERROR_NOT_SUPPORTED);
  if (pProfileName == nullptr) return mscms::Fail(ERROR_INVALID_PARAMETER);
  // A bare file name is a profile of the colour folder.
  std::string path = pProfileName;
  if (path.find_first_of("\\/:") == std::string::npos) {
    path = WideToAnsi(std::u16string(mscms::kColorFolder) + u"\\") + pProfileName;
  }
  files::ResolvedPath profile;
  std::u16string name;
  if (files::ResolveArgument(path.c_str(), &profile) != 0 || !mscms::InColorFolder(profile, &name) ||
      mscms::FindInstalled(name) == mscms::Installed().end()) {
    return mscms::Fail(ERROR_FILE_NOT_FOUND);
  }
  if (bDelete && !DeleteFileA(path.c_str())) return FALSE;
  mscms::Installed().erase(mscms::FindInstalled(name));
  SetLastError(ERROR_SUCCESS);
  return TRUE;
}
