// The registry's part of a machine description: every key of both hives,
// parents first and subkeys in the order they enumerate in, with its values
// and whether the process identity may delete it.
#include <platform/testing.h>

#include "../kernel/text.h"
#include "hive.h"
#include "registry_module.h"

namespace platform::registry {

void DescribeRegistry(MachineDescription &machine) {
  struct Pending {
    const Key *key;
    std::string path;
  };
  const Hive &hive = CurrentHive();
  std::vector<Pending> pending{{hive.users.get(), "HKEY_USERS"}, {hive.machine.get(), "HKEY_LOCAL_MACHINE"}};
  while (!pending.empty()) {
    const Pending next = std::move(pending.back());
    pending.pop_back();
    MachineDescription::RegistryKey key;
    key.path = next.path;
    for (const Value &value : next.key->values) {
      key.values.push_back({ToUtf8(AnsiToWide(value.name.c_str())), value.type, value.data});
    }
    ACCESS_MASK granted = 0;
    key.deletable = security::CheckKeyAccess(next.key->security, DELETE, &granted);
    machine.registryKeys.push_back(std::move(key));
    for (auto entry = next.key->subkeys.rbegin(); entry != next.key->subkeys.rend(); ++entry) {
      pending.push_back({entry->second.get(), next.path + "\\" + ToUtf8(entry->second->name)});
    }
  }
}

}  // namespace platform::registry
