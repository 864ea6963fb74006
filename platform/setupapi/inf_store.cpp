// SetupCopyOEMInfA: the machine's store of manufacturers' INF files. A new
// INF is stored as C:\WINDOWS\Inf\oemN.inf under the lowest free N from 0;
// an INF whose bytes equal a stored one keeps that one's name. Beside each
// stored INF lies its precompiled companion oemN.pnf, which on this machine
// is a small record of where the INF came from, little-endian:
//   bytes 0-7   "KVTPNF1" and a zero byte
//   bytes 8-11  size of the stored INF in bytes
//   bytes 12-15 length of the source media location that follows
//   then        the source media location (ANSI, no terminator)
#include <platform/testing.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <sstream>
#include <string>
#include <system_error>
#include <utility>

#include "../files/files_internal.h"
#include "../files/profile_parser.h"
#include "../kernel/text.h"
#include "setupapi_module.h"

namespace {

namespace files = platform::files;

constexpr const char16_t *kInfFolder = u"C:\\WINDOWS\\Inf";

BOOL Fail(DWORD error) {
  SetLastError(error);
  return FALSE;
}

std::optional<std::string> ReadHostFile(const std::string &hostPath) {
  std::ifstream in(hostPath, std::ios::binary);
  if (!in) return std::nullopt;
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool WriteHostFile(const std::string &hostPath, const std::string &bytes) {
  std::ofstream out(hostPath, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  out.close();
  return static_cast<bool>(out);
}

// N of a name "oemN.inf" (letter case ignored), else nullopt.
std::optional<unsigned> OemNumber(const std::string &name) {
  const std::u16string wide = platform::AnsiToWide(name.c_str());
  if (wide.size() < 8 || !platform::EqualsIgnoreCase(wide.substr(0, 3), u"oem") ||
      !platform::EqualsIgnoreCase(wide.substr(wide.size() - 4), u".inf")) {
    return std::nullopt;
  }
  unsigned number = 0;
  for (size_t i = 3; i + 4 < wide.size(); ++i) {
    if (wide[i] < u'0' || wide[i] > u'9' || number > 99999) return std::nullopt;
    number = number * 10 + static_cast<unsigned>(wide[i] - u'0');
  }
  return number;
}

void Put32(std::string *out, uint32_t value) {
  for (int i = 0; i < 4; ++i) out->push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
}

std::string Companion(const std::string &infBytes, const char *mediaLocation) {
  const std::string location = mediaLocation != nullptr ? mediaLocation : "";
  std::string pnf("KVTPNF1", 8);
  Put32(&pnf, static_cast<uint32_t>(infBytes.size()));
  Put32(&pnf, static_cast<uint32_t>(location.size()));
  return pnf + location;
}

// The stored name: an identical stored INF's, else the lowest free number.
// An identical INF is reported through `identical`.
std::string StoredName(const std::string &infFolder, const std::string &infBytes, bool *identical) {
  std::vector<bool> used;
  std::error_code error;
  for (const auto &entry : std::filesystem::directory_iterator(infFolder, error)) {
    const std::string name = entry.path().filename().string();
    const std::optional<unsigned> number = OemNumber(name);
    if (!number) continue;
    if (*number >= used.size()) used.resize(*number + 1, false);
    used[*number] = true;
    if (ReadHostFile(entry.path().string()) == infBytes) {
      *identical = true;
      return name;
    }
  }
  unsigned free = 0;
  while (free < used.size() && used[free]) ++free;
  *identical = false;
  return "oem" + std::to_string(free) + ".inf";
}

}  // namespace

namespace platform::setupapi {

void DescribeInfStore(MachineDescription &machine) {
  files::ResolvedPath folder;
  if (files::Resolve(kInfFolder, &folder) != 0 || !folder.exists) return;
  std::vector<std::pair<unsigned, std::filesystem::path>> stored;
  std::error_code error;
  for (const auto &entry : std::filesystem::directory_iterator(folder.HostPath(), error)) {
    const std::optional<unsigned> number = OemNumber(entry.path().filename().string());
    if (number && entry.is_regular_file(error)) stored.emplace_back(*number, entry.path());
  }
  std::sort(stored.begin(), stored.end());
  for (const auto &[number, host] : stored) {
    MachineDescription::OemInf inf;
    const std::u16string windowsPath = files::WindowsPathOfHost(host.string());
    inf.path = ToUtf8(windowsPath);
    // The companion is looked up as Windows would, whatever its letter case.
    files::ResolvedPath pnf;
    if (files::Resolve(windowsPath.substr(0, windowsPath.size() - 4) + u".pnf", &pnf) == 0 && pnf.exists &&
        !pnf.isDirectory) {
      inf.pnfPath = ToUtf8(files::WindowsPathOfHost(pnf.HostPath()));
    }
    // The sections point into the text, which must outlive them.
    const std::string bytes = ReadHostFile(host.string()).value_or("");
    const std::vector<profile::Section> sections = profile::Parse(bytes);
    if (const profile::Section *version = profile::FindSection(sections, "Version")) {
      const profile::Entry *provider = profile::FindEntry(*version, "Provider");
      if (provider != nullptr && provider->value) {
        inf.provider = ToUtf8(AnsiToWide(std::string(profile::StripQuotes(*provider->value)).c_str()));
      }
    }
    machine.oemInfs.push_back(std::move(inf));
  }
}

}  // namespace platform::setupapi

extern "C" BOOL WINAPI SetupCopyOEMInfA(PCSTR SourceInfFileName, PCSTR OEMSourceMediaLocation, DWORD OEMSourceMediaType,
                                        DWORD CopyStyle, PSTR DestinationInfFileName, DWORD DestinationInfFileNameSize,
                                        PDWORD RequiredSize, PSTR *DestinationInfFileNameComponent) {
  if (SourceInfFileName == nullptr || OEMSourceMediaType > SPOST_URL ||
      (DestinationInfFileName == nullptr && DestinationInfFileNameSize != 0)) {
    return Fail(ERROR_INVALID_PARAMETER);
  }
  files::ResolvedPath source;
  if (const DWORD error = files::ResolveArgument(SourceInfFileName, &source)) return Fail(error);
  if (!source.exists || source.isDirectory) return Fail(ERROR_FILE_NOT_FOUND);
  const std::optional<std::string> infBytes = ReadHostFile(source.HostPath());
  if (!infBytes) return Fail(ERROR_ACCESS_DENIED);
  // Only a Windows INF (one with a [Version] section) is stored.
  if (platform::profile::FindSection(platform::profile::Parse(*infBytes), "Version") == nullptr) {
    return Fail(ERROR_WRONG_INF_STYLE);
  }

  files::ResolvedPath folder;
  if (const DWORD error = files::Resolve(kInfFolder, &folder)) return Fail(error);
  const std::string infFolder = folder.HostPath();
  bool identical = false;
  const std::string name = StoredName(infFolder, *infBytes, &identical);
  if (identical && (CopyStyle & SP_COPY_NOOVERWRITE) != 0) return Fail(ERROR_FILE_EXISTS);
  if (!identical) {
    const std::string infPath = (std::filesystem::path(infFolder) / name).string();
    const std::string pnfPath = infPath.substr(0, infPath.size() - 4) + ".pnf";
    if (!WriteHostFile(infPath, *infBytes) || !WriteHostFile(pnfPath, Companion(*infBytes, OEMSourceMediaLocation))) {
      std::filesystem::remove(infPath);
      std::filesystem::remove(pnfPath);
      return Fail(ERROR_DISK_FULL);
    }
  }

  const std::string stored = platform::ToUtf8(kInfFolder) + "\\" + name;  // ASCII
  const DWORD needed = static_cast<DWORD>(stored.size() + 1);
  if (RequiredSize != nullptr) *RequiredSize = needed;
  if (DestinationInfFileName != nullptr) {
    if (DestinationInfFileNameSize < needed) return Fail(ERROR_INSUFFICIENT_BUFFER);
    std::memcpy(DestinationInfFileName, stored.c_str(), needed);
    if (DestinationInfFileNameComponent != nullptr) {
      *DestinationInfFileNameComponent = DestinationInfFileName + (stored.size() - name.size());
    }
  }
  SetLastError(ERROR_SUCCESS);
  return TRUE;
}
