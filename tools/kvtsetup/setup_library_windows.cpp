// KvtSetup.dll loaded as an installer loads it: LoadLibraryA on its full
// path (by default beside kvtsetup.exe, so that no other copy on the search
// path is taken), GetProcAddress for each export, and its export directory
// read from the loaded image for the list of names.
#include <windows.h>

#include <scoped_handle.h>

#include <algorithm>

#include "setup_library.h"
#include "system_text.h"

namespace kvt::setup {

namespace {

std::string ProgramFolder() {
  char path[MAX_PATH + 1] = {};
  const DWORD length = GetModuleFileNameA(NULL, path, MAX_PATH);
  std::string folder(path, std::min<DWORD>(length, MAX_PATH));
  const size_t slash = folder.find_last_of("\\/");
  return slash == std::string::npos ? std::string(".") : folder.substr(0, slash);
}

class DllLibrary : public SetupLibrary {
 public:
  DllLibrary(kvt::ScopedModule module, std::string path) : module_(std::move(module)), path_(std::move(path)) {}

  Proc Find(const std::string &name) const override {
    return reinterpret_cast<Proc>(GetProcAddress(module_.get(), name.c_str()));
  }

  std::vector<std::string> ExportNames() const override {
    std::vector<std::string> names;
    const BYTE *base = reinterpret_cast<const BYTE *>(module_.get());
    const auto *dos = reinterpret_cast<const IMAGE_DOS_HEADER *>(base);
    if (dos->e_magic != IMAGE_DOS_SIGNATURE) return names;
    const auto *nt = reinterpret_cast<const IMAGE_NT_HEADERS *>(base + dos->e_lfanew);
    if (nt->Signature != IMAGE_NT_SIGNATURE) return names;
    const IMAGE_DATA_DIRECTORY &directory = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_EXPORT];
    if (directory.VirtualAddress == 0 || directory.Size == 0) return names;
    const auto *exports = reinterpret_cast<const IMAGE_EXPORT_DIRECTORY *>(base + directory.VirtualAddress);
    const auto *nameOffsets = reinterpret_cast<const DWORD *>(base + exports->AddressOfNames);
    for (DWORD i = 0; i < exports->NumberOfNames; ++i) {
      names.emplace_back(reinterpret_cast<const char *>(base + nameOffsets[i]));
    }
    std::sort(names.begin(), names.end());
    return names;
  }

  std::string Origin() const override { return path_; }

 private:
  kvt::ScopedModule module_;
  std::string path_;
};

}  // namespace

std::unique_ptr<SetupLibrary> OpenSetupLibrary(const std::string &dllPath, std::string &error) {
  std::string path = dllPath.empty() ? ProgramFolder() + "\\KvtSetup.dll" : dllPath;
  // A message box for a DLL that cannot be loaded would stop a scripted run.
  const UINT previous = SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
  kvt::ScopedModule module(LoadLibraryA(path.c_str()));
  const DWORD code = GetLastError();
  SetErrorMode(previous);
  if (!module) {
    error = "cannot load the setup library " + path + ": " + text::ReasonOfWin32(code);
    return nullptr;
  }
  return std::make_unique<DllLibrary>(std::move(module), std::move(path));
}

}  // namespace kvt::setup
