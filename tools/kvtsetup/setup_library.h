// The setup library as kvtsetup reaches it: export addresses by name. On
// Windows it is KvtSetup.dll, loaded with LoadLibraryA; over the platform
// layer it is the library linked into the program.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "export_table.h"

namespace kvt::setup {

class SetupLibrary {
 public:
  virtual ~SetupLibrary() = default;
  // The address of the export `name`, or null when the library lacks it.
  virtual Proc Find(const std::string &name) const = 0;
  // The names that the library exports, in name order.
  virtual std::vector<std::string> ExportNames() const = 0;
  // Where the library came from, for messages.
  virtual std::string Origin() const = 0;
};

// Opens the library. On Windows `dllPath` names the DLL ("": KvtSetup.dll
// in kvtsetup's own folder); null with a message when it cannot be loaded.
std::unique_ptr<SetupLibrary> OpenSetupLibrary(const std::string &dllPath, std::string &error);

}  // namespace kvt::setup
