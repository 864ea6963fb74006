// The setup library linked into kvtsetup over the platform layer: its
// exports are the functions of KvtSetup.h themselves.
#include <algorithm>
#include <utility>

#include "KvtSetup.h"
#include "setup_library.h"

namespace kvt::setup {

namespace {

template <typename Function>
Proc Address(Function function) {
  return reinterpret_cast<Proc>(function);
}

class LinkedLibrary : public SetupLibrary {
 public:
  Proc Find(const std::string &name) const override {
    for (const auto &[exported, address] : exports_) {
      if (name == exported) return address;
    }
    return nullptr;
  }
  std::vector<std::string> ExportNames() const override {
    std::vector<std::string> names;
    for (const auto &entry : exports_) names.push_back(entry.first);
    std::sort(names.begin(), names.end());
    return names;
  }
  std::string Origin() const override { return "the setup library linked into kvtsetup"; }

 private:
  const std::vector<std::pair<std::string, Proc>> exports_ = {
      {"KVT_SetupStart", Address(&KVT_SetupStart)},
      {"KVT_SetupFinish", Address(&KVT_SetupFinish)},
      {"KVT_LogFileWrite", Address(&KVT_LogFileWrite)},
      {"KVT_GetKvtSetupIniString", Address(&KVT_GetKvtSetupIniString)},
      {"KVT_GetKvtSetupIniInt", Address(&KVT_GetKvtSetupIniInt)},
      {"KVT_DeleteRegList", Address(&KVT_DeleteRegList)},
      {"KVT_DeleteFileList", Address(&KVT_DeleteFileList)},
      {"KVT_DeleteOemxInfList", Address(&KVT_DeleteOemxInfList)},
      {"KVT_DeleteDirList", Address(&KVT_DeleteDirList)},
      {"KVT_CopyFileList", Address(&KVT_CopyFileList)},
      {"KVT_DeleteDeviceList", Address(&KVT_DeleteDeviceList)},
      {"KVT_Install", Address(&KVT_Install)},
      {"KVT_Uninstall", Address(&KVT_Uninstall)},
      {"KVT_Dummy", Address(&KVT_Dummy)},
      {"KVT_RegSetValue", Address(&KVT_RegSetValue)},
      {"KVT_RegGetValue", Address(&KVT_RegGetValue)},
      {"KVT_RegDeleteValue", Address(&KVT_RegDeleteValue)},
      {"KVT_RegDeleteKey", Address(&KVT_RegDeleteKey)},
      {"KVT_RegAllowAccessToEveryone", Address(&KVT_RegAllowAccessToEveryone)},
      {"KVT_RegDeleteLockedKey", Address(&KVT_RegDeleteLockedKey)},
      {"KVT_RegDeleteOemxInf", Address(&KVT_RegDeleteOemxInf)},
      {"KVT_RegDeleteDeviceClasses", Address(&KVT_RegDeleteDeviceClasses)},
      {"KVT_SetWin98SetupReg", Address(&KVT_SetWin98SetupReg)},
      {"KVT_ClearWin98SetupReg", Address(&KVT_ClearWin98SetupReg)},
      {"KVT_FindPrinter", Address(&KVT_FindPrinter)},
      {"KVT_DeleteAllPrinter", Address(&KVT_DeleteAllPrinter)},
      {"KVT_DeletePrinterDriver", Address(&KVT_DeletePrinterDriver)},
      {"KVT_DeleteMonitor", Address(&KVT_DeleteMonitor)},
      {"KVT_RemoveDevice", Address(&KVT_RemoveDevice)},
      {"KVT_SetupCopyOemInf", Address(&KVT_SetupCopyOemInf)},
      {"KVT_DeleteOemxInf", Address(&KVT_DeleteOemxInf)},
      {"KVT_DeleteICMProfile", Address(&KVT_DeleteICMProfile)},
  };
};

}  // namespace

std::unique_ptr<SetupLibrary> OpenSetupLibrary(const std::string &dllPath, std::string &error) {
  if (!dllPath.empty()) {
    error = "this kvtsetup has the setup library linked in and loads no DLL";
    return nullptr;
  }
  return std::make_unique<LinkedLibrary>();
}

}  // namespace kvt::setup
