// The machine's registry as a tree of keys: names, the standard keys of a
// fresh machine with their security, and the predefined keys, which lead
// into HKEY_LOCAL_MACHINE and HKEY_USERS as on Windows.
#include "hive.h"

#include "../kernel/text.h"

#include <chrono>

namespace platform::registry {

namespace {

constexpr const char *kClasses = "SOFTWARE\\Classes";
constexpr const char *kCurrentConfig = "SYSTEM\\CurrentControlSet\\Hardware Profiles\\Current";

constexpr const char *kSetup = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Setup";

// The keys a fresh machine has below HKEY_LOCAL_MACHINE: among them the
// device setup class of printers and the interface class of USB printing,
// empty until devices are installed.
constexpr const char *kStandardMachineKeys[] = {
    kClasses,
    kSetup,
    "SYSTEM\\CurrentControlSet\\Control\\Print\\Printers",
    "SYSTEM\\CurrentControlSet\\Control\\Class\\{4D36E979-E325-11CE-BFC1-08002BE10318}",
    "SYSTEM\\CurrentControlSet\\Control\\DeviceClasses\\{28d78fad-5a12-11d1-ae5b-0000f803a8c2}",
    kCurrentConfig,
};

// Where Windows was installed from, as setup leaves it.
constexpr char kSourcePath[] = "D:\\";

// A hive root: full access for SYSTEM and Administrators, reading for
// Users, all inherited by every subkey.
constexpr const char *kMachineRootSecurity = "O:SYG:SYD:P(A;CI;KA;;;SY)(A;CI;KA;;;BA)(A;CI;KR;;;BU)";

std::shared_ptr<Key> NewRoot(const char16_t *name) {
  auto root = std::make_shared<Key>();
  root->name = name;
  root->security = *security::ParseSddl(kMachineRootSecurity);
  Touch(*root);
  return root;
}

// Walks `path` below `root`, adding missing keys; null for a malformed path.
std::shared_ptr<Key> EnsurePath(const std::shared_ptr<Key> &root, const std::string &path) {
  const std::u16string widePath = AnsiToWide(path.c_str());
  std::vector<std::u16string_view> components;
  if (SplitKeyPath(widePath, &components) != ERROR_SUCCESS) return nullptr;
  std::shared_ptr<Key> key = root;
  for (std::u16string_view name : components) {
    std::shared_ptr<Key> next = FindSubkey(*key, name);
    key = next ? next : AddSubkey(*key, name);
  }
  return key;
}

std::shared_ptr<Key> FindPath(const std::shared_ptr<Key> &root, const std::string &path) {
  const std::u16string widePath = AnsiToWide(path.c_str());
  std::vector<std::u16string_view> components;
  if (!root || SplitKeyPath(widePath, &components) != ERROR_SUCCESS) return nullptr;
  std::shared_ptr<Key> key = root;
  for (std::u16string_view name : components) {
    key = FindSubkey(*key, name);
    if (!key) return nullptr;
  }
  return key;
}

std::string UserSidText() { return security::SidText(security::TokenSids().front(), false); }

}  // namespace

Key::~Key() {
  std::vector<std::shared_ptr<Key>> dying;
  auto takeSubkeys = [&dying](Key &key) {
    for (auto &entry : key.subkeys) {
      entry.second->parent = nullptr;
      dying.push_back(std::move(entry.second));
    }
    key.subkeys.clear();
  };
  takeSubkeys(*this);
  while (!dying.empty()) {
    std::shared_ptr<Key> key = std::move(dying.back());
    dying.pop_back();
    // A key that an open handle still holds lives on with its subkeys.
    if (key.use_count() == 1) takeSubkeys(*key);
  }
}

std::u16string FoldedName(std::u16string_view name) {
  std::u16string folded;
  folded.reserve(name.size());
  for (char16_t ch : name) folded.push_back(FoldCase(ch));
  return folded;
}

std::u16string FoldedName(std::string_view ansiName) {
  std::u16string folded;
  folded.reserve(ansiName.size());
  for (char ch : ansiName) folded.push_back(FoldCase(AnsiToWideChar(ch)));
  return folded;
}

DWORD SplitKeyPath(std::u16string_view path, std::vector<std::u16string_view> *components) {
  components->clear();
  if (!path.empty() && path[0] == u'\\') return ERROR_BAD_PATHNAME;
  while (!path.empty()) {
    const size_t end = std::min(path.find(u'\\'), path.size());
    if (end > kMaxKeyNameLength) return ERROR_INVALID_PARAMETER;
    if (end != 0) components->push_back(path.substr(0, end));
    path.remove_prefix(end == path.size() ? end : end + 1);
  }
  return ERROR_SUCCESS;
}

Hive &CurrentHive() {
  static Hive hive = FreshHive();
  return hive;
}

Hive FreshHive() {
  Hive hive;
  hive.machine = NewRoot(u"HKEY_LOCAL_MACHINE");
  hive.users = NewRoot(u"HKEY_USERS");
  EnsurePath(hive.users, ".DEFAULT\\Software");
  EnsureStandardKeys(hive);
  Value source{"SourcePath", REG_SZ, std::vector<uint8_t>(kSourcePath, kSourcePath + sizeof(kSourcePath))};
  FindPath(hive.machine, kSetup)->values.push_back(std::move(source));
  return hive;
}

void EnsureStandardKeys(Hive &hive) {
  for (const char *path : kStandardMachineKeys) EnsurePath(hive.machine, path);
  EnsureUserKey(hive);
}

void EnsureUserKey(Hive &hive) {
  const std::string sid = UserSidText();
  const std::u16string name = AnsiToWide(sid.c_str());
  if (FindSubkey(*hive.users, name)) return;
  std::shared_ptr<Key> user = AddSubkey(*hive.users, name);
  // A user's own hive is the user's: full access for it, SYSTEM and
  // Administrators.
  user->security =
      *security::ParseSddl("O:" + sid + "G:" + sid + "D:P(A;CI;KA;;;" + sid + ")(A;CI;KA;;;SY)(A;CI;KA;;;BA)");
  EnsurePath(user, "Software");
}

std::shared_ptr<Key> AddSubkey(Key &parent, std::u16string_view name) {
  auto key = std::make_shared<Key>();
  key->name = std::u16string(name);
  key->parent = &parent;
  key->security = security::NewKeyDescriptor(parent.security);
  Touch(*key);
  parent.subkeys.emplace(FoldedName(name), key);
  Touch(parent);
  return key;
}

std::shared_ptr<Key> FindSubkey(const Key &parent, std::u16string_view name) {
  auto found = parent.subkeys.find(FoldedName(name));
  return found == parent.subkeys.end() ? nullptr : found->second;
}

void Touch(Key &key) {
  SYSTEMTIME now{};
  GetSystemTime(&now);
  // Days from 1601-01-01 to the date, in the proleptic Gregorian calendar.
  const std::chrono::year_month_day date{std::chrono::year(now.wYear), std::chrono::month(now.wMonth),
                                         std::chrono::day(now.wDay)};
  const std::chrono::sys_days epoch = std::chrono::year(1601) / std::chrono::January / 1;
  const auto days = static_cast<uint64_t>((std::chrono::sys_days(date) - epoch).count());
  const uint64_t milliseconds =
      ((days * 24 + now.wHour) * 60 + now.wMinute) * 60000 + now.wSecond * 1000ull + now.wMilliseconds;
  const uint64_t ticks = milliseconds * 10000;
  key.lastWrite.dwLowDateTime = static_cast<DWORD>(ticks);
  key.lastWrite.dwHighDateTime = static_cast<DWORD>(ticks >> 32);
}

bool IsPredefined(HKEY handle) {
  const auto value = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(handle));
  return reinterpret_cast<uintptr_t>(handle) ==
             static_cast<uintptr_t>(static_cast<intptr_t>(static_cast<int32_t>(value))) &&
         value >= 0x80000000u && value <= 0x80000006u;
}

std::shared_ptr<Key> PredefinedKey(HKEY handle) {
  Hive &hive = CurrentHive();
  if (handle == HKEY_LOCAL_MACHINE) return hive.machine;
  if (handle == HKEY_USERS) return hive.users;
  if (handle == HKEY_CLASSES_ROOT) return FindPath(hive.machine, kClasses);
  if (handle == HKEY_CURRENT_CONFIG) return FindPath(hive.machine, kCurrentConfig);
  if (handle == HKEY_CURRENT_USER) return FindPath(hive.users, UserSidText());
  return nullptr;
}

}  // namespace platform::registry
