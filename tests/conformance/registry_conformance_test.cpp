// Registry keys, values and key security as Windows gives them: the same
// cases run against the platform layer on Linux and against the system
// under Wine. Each case works below its own scratch key in
// HKEY_CURRENT_USER\Software; return codes are compared by number and
// output buffers start filled with a pattern so that bytes written past a
// result show.
#include <windows.h>

#include <aclapi.h>

#include <scoped_handle.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "conformance_fixture.h"

namespace {

constexpr char kPattern = '#';

std::vector<uint8_t> Sid(BYTE authority, std::vector<DWORD> subs) {
  std::vector<uint8_t> sid(8 + 4 * subs.size(), 0);
  sid[0] = 1;
  sid[1] = static_cast<uint8_t>(subs.size());
  sid[7] = authority;
  std::memcpy(sid.data() + 8, subs.data(), 4 * subs.size());
  return sid;
}

const std::vector<uint8_t> kEveryone = Sid(1, {0});
const std::vector<uint8_t> kSystem = Sid(5, {18});

struct Entry {
  BYTE type;
  BYTE flags;
  DWORD mask;
  std::vector<uint8_t> sid;
};

// An ACL built from entries with the system's own calls.
std::vector<uint8_t> MakeAcl(const std::vector<Entry> &entries) {
  std::vector<uint8_t> acl(1024, 0);
  auto *list = reinterpret_cast<PACL>(acl.data());
  EXPECT_TRUE(InitializeAcl(list, static_cast<DWORD>(acl.size()), ACL_REVISION));
  for (const Entry &entry : entries) {
    auto *sid = const_cast<uint8_t *>(entry.sid.data());
    const BOOL added = entry.type == ACCESS_ALLOWED_ACE_TYPE
                           ? AddAccessAllowedAceEx(list, ACL_REVISION, entry.flags, entry.mask, sid)
                           : AddAccessDeniedAceEx(list, ACL_REVISION, entry.flags, entry.mask, sid);
    EXPECT_TRUE(added) << GetLastError();
  }
  return acl;
}

std::vector<Entry> EntriesOf(PACL acl) {
  std::vector<Entry> entries;
  ACL_SIZE_INFORMATION info{};
  if (acl == nullptr || !GetAclInformation(acl, &info, sizeof(info), AclSizeInformation)) return entries;
  for (DWORD i = 0; i < info.AceCount; ++i) {
    void *ace = nullptr;
    if (!GetAce(acl, i, &ace)) break;
    const auto *allowed = static_cast<const ACCESS_ALLOWED_ACE *>(ace);
    const auto *sid = reinterpret_cast<const uint8_t *>(&allowed->SidStart);
    entries.push_back({allowed->Header.AceType, allowed->Header.AceFlags, allowed->Mask,
                       std::vector<uint8_t>(sid, sid + GetLengthSid(const_cast<uint8_t *>(sid)))});
  }
  return entries;
}

class RegistryConformance : public ConformanceTest {
 protected:
  void SetUp() override {
    ConformanceTest::SetUp();
#ifdef _WIN32
    static unsigned counter = 0;
    path_ = "Software\\KvtConformance-" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(++counter);
#else
    path_ = "Software\\KvtConformance";
#endif
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, path_.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, root_.receive(),
                              nullptr),
              ERROR_SUCCESS);
  }

  void TearDown() override { EXPECT_EQ(DeleteTree(HKEY_CURRENT_USER, path_), ERROR_SUCCESS); }

  // Removes a key and its subkeys, opening each key's access on the way.
  static LONG DeleteTree(HKEY parent, const std::string &path) {
    kvt::ScopedKey key;
    if (RegOpenKeyExA(parent, path.c_str(), 0, WRITE_DAC, key.receive()) == ERROR_SUCCESS) {
      SetSecurityInfo(key.get(), SE_REGISTRY_KEY, DACL_SECURITY_INFORMATION, nullptr, nullptr, nullptr, nullptr);
    }
    kvt::ScopedKey open;
    if (RegOpenKeyExA(parent, path.c_str(), 0, KEY_ALL_ACCESS, open.receive()) == ERROR_SUCCESS) {
      char name[256];
      DWORD size = sizeof(name);
      while (RegEnumKeyExA(open.get(), 0, name, &size, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS) {
        if (DeleteTree(open.get(), name) != ERROR_SUCCESS) break;
        size = sizeof(name);
      }
    }
    return RegDeleteKeyA(parent, path.c_str());
  }

  void CreateKey(const std::string &path) {
    kvt::ScopedKey key;
    ASSERT_EQ(
        RegCreateKeyExA(root_.get(), path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, key.receive(), nullptr),
        ERROR_SUCCESS)
        << path;
  }

  std::vector<Entry> DaclOf(const std::string &path) {
    kvt::ScopedKey key;
    EXPECT_EQ(RegOpenKeyExA(root_.get(), path.c_str(), 0, READ_CONTROL, key.receive()), ERROR_SUCCESS);
    kvt::ScopedSecurityDescriptor descriptor;
    PACL dacl = nullptr;
    EXPECT_EQ(GetSecurityInfo(key.get(), SE_REGISTRY_KEY, DACL_SECURITY_INFORMATION, nullptr, nullptr, &dacl, nullptr,
                              descriptor.receive()),
              ERROR_SUCCESS);
    return EntriesOf(dacl);
  }

  DWORD SetDacl(const std::string &path, const std::vector<Entry> &entries, SECURITY_INFORMATION extra = 0) {
    kvt::ScopedKey key;
    EXPECT_EQ(RegOpenKeyExA(root_.get(), path.c_str(), 0, WRITE_DAC, key.receive()), ERROR_SUCCESS);
    std::vector<uint8_t> acl = MakeAcl(entries);
    return SetSecurityInfo(key.get(), SE_REGISTRY_KEY, DACL_SECURITY_INFORMATION | extra, nullptr, nullptr,
                           reinterpret_cast<PACL>(acl.data()), nullptr);
  }

  kvt::ScopedKey root_;
  std::string path_;
};

TEST_F(RegistryConformance, NullAndUnknownRootsAreInvalidHandles) {
  kvt::ScopedKey key;
  EXPECT_EQ(RegOpenKeyExA(nullptr, "Software", 0, KEY_READ, key.receive()), ERROR_INVALID_HANDLE);
  EXPECT_EQ(RegDeleteKeyA(nullptr, "Software"), ERROR_INVALID_HANDLE);
  EXPECT_EQ(RegSetValueExA(nullptr, "v", 0, REG_SZ, reinterpret_cast<const BYTE *>("x"), 2), ERROR_INVALID_HANDLE);
  EXPECT_EQ(RegCloseKey(nullptr), ERROR_INVALID_HANDLE);
}

TEST_F(RegistryConformance, CreateMakesMissingParentsAndNamesIgnoreCase) {
  kvt::ScopedKey created;
  DWORD disposition = 0;
  ASSERT_EQ(RegCreateKeyExA(root_.get(), "One\\Two\\Three", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, created.receive(),
                            &disposition),
            ERROR_SUCCESS);
  EXPECT_EQ(disposition, static_cast<DWORD>(REG_CREATED_NEW_KEY));
  kvt::ScopedKey again;
  ASSERT_EQ(RegCreateKeyExA(root_.get(), "ONE\\two", 0, nullptr, 0, KEY_READ, nullptr, again.receive(), &disposition),
            ERROR_SUCCESS);
  EXPECT_EQ(disposition, static_cast<DWORD>(REG_OPENED_EXISTING_KEY));
  kvt::ScopedKey opened;
  EXPECT_EQ(RegOpenKeyExA(root_.get(), "one\\TWO\\three\\", 0, KEY_READ, opened.receive()), ERROR_SUCCESS);
  kvt::ScopedKey missing;
  EXPECT_EQ(RegOpenKeyExA(root_.get(), "One\\Four", 0, KEY_READ, missing.receive()), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(missing.get(), nullptr);
}

TEST_F(RegistryConformance, ValueSizeProtocol) {
  const char text[] = "Kvt printer";
  ASSERT_EQ(RegSetValueExA(root_.get(), "Name", 0, REG_SZ, reinterpret_cast<const BYTE *>(text), sizeof(text)),
            ERROR_SUCCESS);
  const DWORD number = 0x12345678;
  ASSERT_EQ(RegSetValueExA(root_.get(), nullptr, 0, REG_DWORD, reinterpret_cast<const BYTE *>(&number), 4),
            ERROR_SUCCESS);
  const BYTE bytes[3] = {0, 1, 2};
  ASSERT_EQ(RegSetValueExA(root_.get(), "Bin", 0, REG_BINARY, bytes, 3), ERROR_SUCCESS);

  DWORD type = 0xdeadbeef;
  DWORD size = 0;
  EXPECT_EQ(RegQueryValueExA(root_.get(), "NAME", nullptr, &type, nullptr, &size), ERROR_SUCCESS);
  EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
  EXPECT_EQ(size, sizeof(text));

  char small[4];
  std::memset(small, kPattern, sizeof(small));
  size = sizeof(small);
  type = 0xdeadbeef;
  EXPECT_EQ(RegQueryValueExA(root_.get(), "Name", nullptr, &type, reinterpret_cast<BYTE *>(small), &size),
            ERROR_MORE_DATA);
  EXPECT_EQ(size, sizeof(text));
  EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));

  char exact[sizeof(text) + 1];
  std::memset(exact, kPattern, sizeof(exact));
  size = sizeof(text);
  EXPECT_EQ(RegQueryValueExA(root_.get(), "Name", nullptr, nullptr, reinterpret_cast<BYTE *>(exact), &size),
            ERROR_SUCCESS);
  EXPECT_STREQ(exact, text);
  EXPECT_EQ(exact[sizeof(text)], kPattern);

  DWORD read = 0;
  size = sizeof(read);
  EXPECT_EQ(RegQueryValueExA(root_.get(), "", nullptr, &type, reinterpret_cast<BYTE *>(&read), &size), ERROR_SUCCESS);
  EXPECT_EQ(read, number);
  EXPECT_EQ(type, static_cast<DWORD>(REG_DWORD));

  BYTE binary[8];
  size = sizeof(binary);
  EXPECT_EQ(RegQueryValueExA(root_.get(), "bin", nullptr, &type, binary, &size), ERROR_SUCCESS);
  EXPECT_EQ(size, 3u);
  EXPECT_EQ(std::memcmp(binary, bytes, 3), 0);

  EXPECT_EQ(RegQueryValueExA(root_.get(), "Missing", nullptr, &type, nullptr, &size), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(RegDeleteValueA(root_.get(), "bIN"), ERROR_SUCCESS);
  EXPECT_EQ(RegDeleteValueA(root_.get(), "Bin"), ERROR_FILE_NOT_FOUND);
}

TEST_F(RegistryConformance, ValueRightsFollowTheHandle) {
  kvt::ScopedKey readOnly;
  ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, path_.c_str(), 0, KEY_READ, readOnly.receive()), ERROR_SUCCESS);
  EXPECT_EQ(RegSetValueExA(readOnly.get(), "v", 0, REG_SZ, reinterpret_cast<const BYTE *>("x"), 2),
            ERROR_ACCESS_DENIED);
  EXPECT_EQ(RegDeleteValueA(readOnly.get(), "v"), ERROR_ACCESS_DENIED);
  kvt::ScopedKey writeOnly;
  ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, path_.c_str(), 0, KEY_SET_VALUE, writeOnly.receive()), ERROR_SUCCESS);
  DWORD size = 0;
  EXPECT_EQ(RegQueryValueExA(writeOnly.get(), "v", nullptr, nullptr, nullptr, &size), ERROR_ACCESS_DENIED);
  char name[16];
  size = sizeof(name);
  EXPECT_EQ(RegEnumKeyExA(writeOnly.get(), 0, name, &size, nullptr, nullptr, nullptr, nullptr), ERROR_ACCESS_DENIED);
}

TEST_F(RegistryConformance, SubkeysEnumerateSortedIgnoringCase) {
  for (const char *name : {"beta", "_under", "Alpha", "GAMMA", "alpha2"}) CreateKey(name);
  std::vector<std::string> names;
  char name[64];
  DWORD size = sizeof(name);
  DWORD index = 0;
  for (; RegEnumKeyExA(root_.get(), index, name, &size, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS; ++index) {
    EXPECT_EQ(size, std::strlen(name));
    names.push_back(name);
    size = sizeof(name);
  }
  // Windows compares names upper-cased, so '_' sorts after the letters;
  // Wine compares them lower-cased, which puts it first.
  if (underWine_) {
    EXPECT_EQ(names, (std::vector<std::string>{"_under", "Alpha", "alpha2", "beta", "GAMMA"}));
  } else {
    EXPECT_EQ(names, (std::vector<std::string>{"Alpha", "alpha2", "beta", "GAMMA", "_under"}));
  }
  size = sizeof(name);
  EXPECT_EQ(RegEnumKeyExA(root_.get(), index, name, &size, nullptr, nullptr, nullptr, nullptr), ERROR_NO_MORE_ITEMS);

  // "Alpha" needs 6 characters with its terminator.
  const DWORD alpha = underWine_ ? 1 : 0;
  std::memset(name, kPattern, sizeof(name));
  size = 5;
  EXPECT_EQ(RegEnumKeyExA(root_.get(), alpha, name, &size, nullptr, nullptr, nullptr, nullptr), ERROR_MORE_DATA);
  size = 6;
  EXPECT_EQ(RegEnumKeyExA(root_.get(), alpha, name, &size, nullptr, nullptr, nullptr, nullptr), ERROR_SUCCESS);
  EXPECT_EQ(size, 5u);
  EXPECT_STREQ(name, "Alpha");
  EXPECT_EQ(name[6], kPattern);
}

TEST_F(RegistryConformance, DeleteKeyRefusesSubkeysAndReportsMissingKeys) {
  CreateKey("Parent\\Child");
  EXPECT_EQ(RegDeleteKeyA(root_.get(), "Parent"), ERROR_ACCESS_DENIED);
  EXPECT_EQ(RegDeleteKeyA(root_.get(), "Parent\\Child"), ERROR_SUCCESS);
  EXPECT_EQ(RegDeleteKeyA(root_.get(), "Parent\\Child"), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(RegDeleteKeyA(root_.get(), "PARENT"), ERROR_SUCCESS);
  EXPECT_EQ(RegDeleteKeyA(root_.get(), "Parent"), ERROR_FILE_NOT_FOUND);
}

// A name made through the wide calls from characters that the ANSI code
// page lacks lists with a '?' for each of them, and that text opens and
// deletes nothing: only the wide name reaches the key.
TEST_F(RegistryConformance, UnspellableNameListsAsQuestionMarksThatNameNoKey) {
  const WCHAR name[] = L"\u4E2D\u6587";
  kvt::ScopedKey created;
  ASSERT_EQ(RegCreateKeyExW(root_.get(), name, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, created.receive(), nullptr),
            ERROR_SUCCESS);
  char listed[16];
  std::memset(listed, kPattern, sizeof(listed));
  DWORD size = sizeof(listed);
  EXPECT_EQ(RegEnumKeyExA(root_.get(), 0, listed, &size, nullptr, nullptr, nullptr, nullptr), ERROR_SUCCESS);
  EXPECT_STREQ(listed, "??");
  EXPECT_EQ(size, 2u);
  kvt::ScopedKey byText;
  EXPECT_EQ(RegOpenKeyExA(root_.get(), "??", 0, KEY_READ, byText.receive()), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(RegDeleteKeyA(root_.get(), "??"), ERROR_FILE_NOT_FOUND);
  kvt::ScopedKey byName;
  EXPECT_EQ(RegOpenKeyExW(root_.get(), name, 0, KEY_READ, byName.receive()), ERROR_SUCCESS);
  EXPECT_EQ(RegDeleteKeyW(root_.get(), name), ERROR_SUCCESS);
  size = sizeof(listed);
  EXPECT_EQ(RegEnumKeyExA(root_.get(), 0, listed, &size, nullptr, nullptr, nullptr, nullptr), ERROR_NO_MORE_ITEMS);
}

// An empty path under a predefined key gives that very handle back; below
// HKEY_CLASSES_ROOT one leading backslash is passed over, so "\" opens the
// root itself.
TEST_F(RegistryConformance, PathsThatOpenARootItself) {
  HKEY same = nullptr;
  EXPECT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "", 0, KEY_READ, &same), ERROR_SUCCESS);
  EXPECT_EQ(same, HKEY_CURRENT_USER);
  kvt::ScopedKey own;
  EXPECT_EQ(RegOpenKeyExA(root_.get(), "", 0, KEY_READ, own.receive()), ERROR_SUCCESS);
  EXPECT_NE(own.get(), root_.get()) << "a key of its own gets a new handle";
  const std::string scratch = path_.substr(path_.find('\\') + 1);
  kvt::ScopedKey made;
  ASSERT_EQ(
      RegCreateKeyExA(HKEY_CLASSES_ROOT, scratch.c_str(), 0, nullptr, 0, KEY_READ, nullptr, made.receive(), nullptr),
      ERROR_SUCCESS);
  kvt::ScopedKey classes, below, viaClasses;
  EXPECT_EQ(RegOpenKeyExA(HKEY_CLASSES_ROOT, "\\", 0, KEY_READ, classes.receive()), ERROR_SUCCESS);
  EXPECT_EQ(RegOpenKeyExA(classes.get(), scratch.c_str(), 0, KEY_READ, below.receive()), ERROR_SUCCESS);
  EXPECT_EQ(RegOpenKeyExA(HKEY_CLASSES_ROOT, ("\\" + scratch).c_str(), 0, KEY_READ, viaClasses.receive()),
            ERROR_SUCCESS);
  EXPECT_EQ(RegDeleteKeyA(HKEY_CLASSES_ROOT, scratch.c_str()), ERROR_SUCCESS);
}

TEST_F(RegistryConformance, AclCallsKeepTheBinaryLayout) {
  std::vector<uint8_t> acl = MakeAcl({{ACCESS_DENIED_ACE_TYPE, 0, DELETE, kEveryone},
                                      {ACCESS_ALLOWED_ACE_TYPE, CONTAINER_INHERIT_ACE, KEY_READ, kSystem}});
  auto *list = reinterpret_cast<PACL>(acl.data());
  ACL_SIZE_INFORMATION info{};
  ASSERT_TRUE(GetAclInformation(list, &info, sizeof(info), AclSizeInformation));
  EXPECT_EQ(info.AceCount, 2u);
  EXPECT_EQ(info.AclBytesInUse, 8u + 20u + 20u);
  EXPECT_EQ(info.AclBytesFree, 1024u - 48u);
  EXPECT_FALSE(GetAclInformation(list, &info, sizeof(info) - 1, AclSizeInformation));

  // Insert a copy of the second entry at the front, then remove the middle one.
  void *second = nullptr;
  ASSERT_TRUE(GetAce(list, 1, &second));
  std::vector<uint8_t> copy(static_cast<uint8_t *>(second), static_cast<uint8_t *>(second) + 20);
  ASSERT_TRUE(AddAce(list, ACL_REVISION, 0, copy.data(), 20));
  if (underWine_ && EntriesOf(list)[0].sid == kEveryone) GTEST_SKIP() << "Wine's AddAce ignores the starting index";
  ASSERT_TRUE(DeleteAce(list, 1));
  std::vector<Entry> entries = EntriesOf(list);
  ASSERT_EQ(entries.size(), 2u);
  EXPECT_EQ(entries[0].sid, kSystem);
  EXPECT_EQ(entries[1].sid, kSystem);
  EXPECT_EQ(entries[1].mask, static_cast<DWORD>(KEY_READ));
  void *ace = nullptr;
  SetLastError(0xdeadbeef);
  EXPECT_FALSE(GetAce(list, 2, &ace));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  EXPECT_FALSE(DeleteAce(list, 2));

  PSID everyone = nullptr;
  SID_IDENTIFIER_AUTHORITY world = SECURITY_WORLD_SID_AUTHORITY;
  ASSERT_TRUE(AllocateAndInitializeSid(&world, 1, SECURITY_WORLD_RID, 0, 0, 0, 0, 0, 0, 0, &everyone));
  EXPECT_EQ(GetLengthSid(everyone), 12u);
  EXPECT_TRUE(EqualSid(everyone, const_cast<uint8_t *>(kEveryone.data())));
  EXPECT_FALSE(EqualSid(everyone, const_cast<uint8_t *>(kSystem.data())));
  uint8_t copied[12] = {};
  EXPECT_FALSE(CopySid(11, copied, everyone));
  EXPECT_TRUE(CopySid(12, copied, everyone));
  EXPECT_EQ(std::memcmp(copied, kEveryone.data(), 12), 0);
  EXPECT_EQ(FreeSid(everyone), nullptr);
}

TEST_F(RegistryConformance, ContainerInheritEntriesReachNewSubkeys) {
  CreateKey("Base");
  ASSERT_EQ(SetDacl("Base",
                    {{ACCESS_ALLOWED_ACE_TYPE, CONTAINER_INHERIT_ACE, KEY_ALL_ACCESS, kEveryone},
                     {ACCESS_ALLOWED_ACE_TYPE, 0, KEY_READ, kSystem},
                     {ACCESS_ALLOWED_ACE_TYPE, CONTAINER_INHERIT_ACE | NO_PROPAGATE_INHERIT_ACE, KEY_READ, kSystem}},
                    PROTECTED_DACL_SECURITY_INFORMATION),
            ERROR_SUCCESS);
  CreateKey("Base\\Child\\Grandchild");
  std::vector<Entry> child = DaclOf("Base\\Child");
  if (underWine_ && (child.empty() || (child[0].flags & INHERITED_ACE) == 0)) {
    GTEST_SKIP() << "Wine gives a new key its default DACL instead of the inherited entries";
  }
  ASSERT_EQ(child.size(), 2u);
  EXPECT_EQ(child[0].flags, CONTAINER_INHERIT_ACE | INHERITED_ACE);
  EXPECT_EQ(child[0].sid, kEveryone);
  EXPECT_EQ(child[1].flags, INHERITED_ACE);  // not propagated any further
  EXPECT_EQ(child[1].sid, kSystem);
  std::vector<Entry> grandchild = DaclOf("Base\\Child\\Grandchild");
  ASSERT_EQ(grandchild.size(), 1u);
  EXPECT_EQ(grandchild[0].sid, kEveryone);
}

TEST_F(RegistryConformance, SetSecurityInfoFlowsToUnprotectedSubkeys) {
  CreateKey("Base\\Open");
  CreateKey("Base\\Closed");
  ASSERT_EQ(SetDacl("Base\\Closed", {{ACCESS_ALLOWED_ACE_TYPE, 0, KEY_ALL_ACCESS, kEveryone}},
                    PROTECTED_DACL_SECURITY_INFORMATION),
            ERROR_SUCCESS);
  const std::vector<Entry> before = DaclOf("Base\\Open");
  ASSERT_EQ(SetDacl("Base", {{ACCESS_ALLOWED_ACE_TYPE, CONTAINER_INHERIT_ACE, KEY_ALL_ACCESS, kEveryone}}),
            ERROR_SUCCESS);
  const std::vector<Entry> open = DaclOf("Base\\Open");
  if (underWine_ && open.size() == before.size()) GTEST_SKIP() << "Wine's SetSecurityInfo does not propagate";
  ASSERT_EQ(open.size(), 1u);
  EXPECT_EQ(open[0].flags, CONTAINER_INHERIT_ACE | INHERITED_ACE);
  EXPECT_EQ(open[0].sid, kEveryone);
  const std::vector<Entry> closed = DaclOf("Base\\Closed");
  ASSERT_EQ(closed.size(), 1u);
  EXPECT_EQ(closed[0].flags, 0);
}

TEST_F(RegistryConformance, DeletionNeedsDeleteRightUnlessDaclIsNull) {
  CreateKey("Locked");
  {
    // SYSTEM owns it, so the caller has no owner rights to fall back on.
    kvt::ScopedKey key;
    ASSERT_EQ(RegOpenKeyExA(root_.get(), "Locked", 0, WRITE_OWNER | WRITE_DAC, key.receive()), ERROR_SUCCESS);
    std::vector<uint8_t> acl = MakeAcl({{ACCESS_ALLOWED_ACE_TYPE, 0, KEY_READ | WRITE_DAC, kEveryone}});
    ASSERT_EQ(
        SetSecurityInfo(key.get(), SE_REGISTRY_KEY, OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION,
                        const_cast<uint8_t *>(kSystem.data()), nullptr, reinterpret_cast<PACL>(acl.data()), nullptr),
        ERROR_SUCCESS);
  }
  EXPECT_EQ(RegDeleteKeyA(root_.get(), "Locked"), ERROR_ACCESS_DENIED);
  kvt::ScopedKey denied;
  EXPECT_EQ(RegOpenKeyExA(root_.get(), "Locked", 0, KEY_SET_VALUE, denied.receive()), ERROR_ACCESS_DENIED);
  {
    // A deny entry first wins over a later allow.
    kvt::ScopedKey key;
    ASSERT_EQ(RegOpenKeyExA(root_.get(), "Locked", 0, WRITE_DAC, key.receive()), ERROR_SUCCESS);
    std::vector<uint8_t> acl = MakeAcl(
        {{ACCESS_DENIED_ACE_TYPE, 0, DELETE, kEveryone}, {ACCESS_ALLOWED_ACE_TYPE, 0, KEY_ALL_ACCESS, kEveryone}});
    ASSERT_EQ(SetSecurityInfo(key.get(), SE_REGISTRY_KEY, DACL_SECURITY_INFORMATION, nullptr, nullptr,
                              reinterpret_cast<PACL>(acl.data()), nullptr),
              ERROR_SUCCESS);
  }
  EXPECT_EQ(RegDeleteKeyA(root_.get(), "Locked"), ERROR_ACCESS_DENIED);
  kvt::ScopedKey writable;
  EXPECT_EQ(RegOpenKeyExA(root_.get(), "Locked", 0, KEY_SET_VALUE, writable.receive()), ERROR_SUCCESS);
  {
    kvt::ScopedKey key;
    ASSERT_EQ(RegOpenKeyExA(root_.get(), "Locked", 0, WRITE_DAC, key.receive()), ERROR_SUCCESS);
    ASSERT_EQ(
        SetSecurityInfo(key.get(), SE_REGISTRY_KEY, DACL_SECURITY_INFORMATION, nullptr, nullptr, nullptr, nullptr),
        ERROR_SUCCESS);
  }
  EXPECT_EQ(RegDeleteKeyA(root_.get(), "Locked"), ERROR_SUCCESS);
}

TEST_F(RegistryConformance, OwnerKeepsReadControlAndWriteDacWithAnEmptyDacl) {
  CreateKey("Empty");
  ASSERT_EQ(SetDacl("Empty", {}, PROTECTED_DACL_SECURITY_INFORMATION), ERROR_SUCCESS);
  kvt::ScopedKey reading;
  EXPECT_EQ(RegOpenKeyExA(root_.get(), "Empty", 0, KEY_QUERY_VALUE, reading.receive()), ERROR_ACCESS_DENIED);
  kvt::ScopedKey owner;
  ASSERT_EQ(RegOpenKeyExA(root_.get(), "Empty", 0, READ_CONTROL | WRITE_DAC, owner.receive()), ERROR_SUCCESS);
  kvt::ScopedSecurityDescriptor descriptor;
  PACL dacl = nullptr;
  ASSERT_EQ(GetSecurityInfo(owner.get(), SE_REGISTRY_KEY, DACL_SECURITY_INFORMATION, nullptr, nullptr, &dacl, nullptr,
                            descriptor.receive()),
            ERROR_SUCCESS);
  ASSERT_NE(dacl, nullptr);
  EXPECT_EQ(dacl->AceCount, 0);
}

}  // namespace
