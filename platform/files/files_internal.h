// Shared parts of the files module: the machine's drives, the mapping of
// Windows paths to host paths, and the table of open files that sharing
// checks consult. Library code never includes this header.
#pragma once

#include <windows.h>

#include <sys/types.h>

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace platform {
struct MachineDescription;
}

namespace platform::files {

// A Windows path resolved against the drives. The last component need not
// exist; every folder before it does.
struct ResolvedPath {
  std::u16string windowsPath;  // full, normalized: "C:\WINDOWS\win.ini"
  std::string hostFolder;      // host path of the folder holding the last component
  std::string hostName;        // the existing entry's name, else the name as given (UTF-8)
  bool isRoot = false;         // the path is a drive's root folder
  bool exists = false;
  bool isDirectory = false;
  bool endsWithSeparator = false;  // the text ended in "\" or "/"

  std::string HostPath() const;
};

// Resolves `path` (backslashes or slashes; absolute, drive-relative, rooted
// or relative to the current folder). Returns 0 or the Windows error:
// ERROR_PATH_NOT_FOUND for a missing folder, an unknown drive, a UNC path or
// a full path of MAX_PATH characters or more; ERROR_INVALID_NAME for
// characters Windows does not allow in names.
DWORD Resolve(std::u16string_view path, ResolvedPath *out);

// The ANSI text of an A function's path argument. Fails with
// ERROR_PATH_NOT_FOUND for null and ERROR_FILENAME_EXCED_RANGE for MAX_PATH
// characters or more, the limit of the ANSI entry points.
DWORD PathArgument(LPCSTR path, std::u16string *out);

// Both steps: the argument check and the resolution.
DWORD ResolveArgument(LPCSTR path, ResolvedPath *out);

// The Windows path of a host path: under the machine's C: folder it is on
// C:, anything else is on Z:. Separators become backslashes.
std::u16string WindowsPathOfHost(const std::string &hostPath);

// The host folder of drive C:, made on first use.
const std::string &DriveCFolder();

// The entry of host folder `folder` whose name equals `name` ignoring case;
// an exact match wins. Nullopt when there is none.
std::optional<std::string> FindEntryIgnoringCase(const std::string &folder, const std::u16string &name);

// Copies `text` as ANSI into a caller's buffer of `size` characters, the
// way GetWindowsDirectoryA and its kin do: when it fits, the result is its
// length; otherwise nothing is written and the result is the size needed.
DWORD CopyPathOut(std::u16string_view text, LPSTR buffer, DWORD size);

// Windows error for a failed host call's errno.
DWORD ErrorOfErrno(int hostError);

// Sharing. An open file is known by its host identity; an access of 0
// (attributes only) neither conflicts nor is conflicted with.
struct FileIdentity {
  dev_t device = 0;
  ino_t inode = 0;
  bool operator==(const FileIdentity &) const = default;
};
std::optional<FileIdentity> IdentityOf(const std::string &hostPath);
bool SharingAllows(const FileIdentity &file, DWORD access, DWORD shareMode);
bool IsOpen(const FileIdentity &file);

// Attributes the host does not keep (hidden, system; read-only of a folder),
// by the entry's identity; and files mapped as loaded modules, which cannot
// be deleted. ForgetEntry drops both for an entry that was deleted.
struct FileIdentity;
DWORD KeptAttributes(const std::string &host);
void KeepAttributes(const std::string &host, DWORD attributes);
void ForgetEntry(const FileIdentity &entry);
bool IsLoadedModule(const std::string &host);

// The read-only, hidden and system attributes of an existing entry, and
// setting them (a file's read-only attribute is its write permission; the
// other attributes given are accepted and not stored). ApplyAttributes
// returns 0 or the Windows error.
DWORD EntryAttributes(const std::string &host, bool isDirectory);
DWORD ApplyAttributes(const std::string &host, bool isDirectory, DWORD attributes);

// Machine lifecycle, called by the kernel's machine functions.
void ResetFiles();                                    // fresh temporary C:
void UseDriveCFolder(const std::string &hostFolder);  // a loaded machine's C:
// Adds every entry of C: below its root to `machine`, folders before what
// they hold and the entries of a folder in name order, letter case ignored.
void DescribeDriveC(MachineDescription &machine);
void ResetMainModulePath();  // the real program again
void CloseAllFiles();
void CloseAllFinds();
size_t OpenFileCount();
size_t OpenFindCount();

// The attributes of a saved machine's C: that its host files cannot keep
// (read-only, hidden, system), as `<dir>/file_attributes.json`. Reading
// checks the file against the host folder `driveC` that is to become C:
// and gives nullopt, with what is wrong in `problem` (worded to follow the
// file's name), for a malformed file or one naming an entry that is not
// there; a missing file means no attributes. Nothing changes until
// UseAttributes, which is called once that folder is C:.
struct SavedAttribute {
  std::string host;  // the entry's host path
  bool isDirectory = false;
  DWORD attributes = 0;
};
bool SaveAttributes(const std::string &path);
std::optional<std::vector<SavedAttribute>> ReadAttributes(const std::string &path, const std::string &driveC,
                                                          std::string *problem);
void UseAttributes(const std::vector<SavedAttribute> &attributes);

}  // namespace platform::files
