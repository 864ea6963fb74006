// What the registry tests share: a key of their own below
// HKEY_CURRENT_USER\Software per case, removed afterwards whatever the
// access of its subkeys; the Everyone and SYSTEM SIDs; entries and lists
// built byte by byte; and a key's security set and read back.
#pragma once

#include <windows.h>
#include <aclapi.h>

#include <scoped_handle.h>

#include <initializer_list>
#include <regex>
#include <string>
#include <vector>

#include "setup_run_fixture.h"

namespace setup_test {

// A SID of one subauthority under `authority`.
inline kvt::ScopedSid MakeSid(BYTE authority, DWORD rid) {
  SID_IDENTIFIER_AUTHORITY id = {{0, 0, 0, 0, 0, authority}};
  kvt::ScopedSid sid;
  AllocateAndInitializeSid(&id, 1, rid, 0, 0, 0, 0, 0, 0, 0, sid.receive());
  return sid;
}
inline kvt::ScopedSid Everyone() { return MakeSid(1, SECURITY_WORLD_RID); }
inline kvt::ScopedSid System() { return MakeSid(5, SECURITY_LOCAL_SYSTEM_RID); }

// An entry of the ACCESS_ALLOWED_ACE layout (also used for deny and for
// unknown types in tests): header, mask, SID.
inline std::vector<BYTE> MakeAce(BYTE type, BYTE flags, DWORD mask, PSID sid) {
  const DWORD sidLength = GetLengthSid(sid);
  std::vector<BYTE> ace(8 + sidLength);
  ace[0] = type;
  ace[1] = flags;
  ace[2] = static_cast<BYTE>(ace.size());
  ace[3] = static_cast<BYTE>(ace.size() >> 8);
  for (int i = 0; i < 4; ++i) ace[4 + i] = static_cast<BYTE>(mask >> (8 * i));
  CopySid(sidLength, ace.data() + 8, sid);
  return ace;
}

// A list holding `aces` in order, with no room to spare.
inline std::vector<BYTE> MakeAcl(std::initializer_list<std::vector<BYTE>> aces) {
  DWORD size = 8;
  for (const auto &ace : aces) size += static_cast<DWORD>(ace.size());
  std::vector<BYTE> acl(size);
  EXPECT_TRUE(InitializeAcl(reinterpret_cast<PACL>(acl.data()), size, ACL_REVISION));
  for (const auto &ace : aces) {
    EXPECT_TRUE(AddAce(reinterpret_cast<PACL>(acl.data()), ACL_REVISION, MAXDWORD, const_cast<BYTE *>(ace.data()),
                       static_cast<DWORD>(ace.size())));
  }
  return acl;
}

// Whether AddAce inserts at its starting index. Wine 8's always appends,
// so canonical placement cannot be seen there.
inline bool AddAceHonoursIndex() {
  kvt::ScopedSid everyone = Everyone();
  std::vector<BYTE> first = MakeAce(ACCESS_DENIED_ACE_TYPE, 0, DELETE, everyone.get());
  std::vector<BYTE> acl(8 + 2 * first.size());
  PACL list = reinterpret_cast<PACL>(acl.data());
  InitializeAcl(list, static_cast<DWORD>(acl.size()), ACL_REVISION);
  AddAce(list, ACL_REVISION, MAXDWORD, first.data(), static_cast<DWORD>(first.size()));
  std::vector<BYTE> second = MakeAce(ACCESS_ALLOWED_ACE_TYPE, 0, DELETE, everyone.get());
  AddAce(list, ACL_REVISION, 0, second.data(), static_cast<DWORD>(second.size()));
  LPVOID ace = NULL;
  return GetAce(list, 0, &ace) && static_cast<ACE_HEADER *>(ace)->AceType == ACCESS_ALLOWED_ACE_TYPE;
}

inline PACL AsAcl(std::vector<BYTE> &acl) { return reinterpret_cast<PACL>(acl.data()); }

// The entries of a list, each as its bytes.
inline std::vector<std::vector<BYTE>> AcesOf(PACL acl) {
  std::vector<std::vector<BYTE>> aces;
  ACL_SIZE_INFORMATION info;
  if (acl == NULL || !GetAclInformation(acl, &info, sizeof(info), AclSizeInformation)) return aces;
  for (DWORD i = 0; i < info.AceCount; ++i) {
    LPVOID ace = NULL;
    if (!GetAce(acl, i, &ace)) break;
    const BYTE *bytes = static_cast<const BYTE *>(ace);
    aces.emplace_back(bytes, bytes + static_cast<ACE_HEADER *>(ace)->AceSize);
  }
  return aces;
}

class RegistryTest : public SetupRunTest {
 protected:
  void SetUp() override {
    SetupRunTest::SetUp();
    base_ = "Software\\KvtTest_" + Unique();
    ForceDelete(HKEY_CURRENT_USER, base_);
    CreateKey("");
  }
  void TearDown() override {
    for (const std::u16string &path : unspellable_) RegDeleteKeyW(HKEY_CURRENT_USER, Wide(path));
    ForceDelete(HKEY_CURRENT_USER, base_);
    SetupRunTest::TearDown();
  }

  // The scratch folder's own name: unique to the process and case.
  std::string Unique() const { return Dir().substr(Dir().rfind('\\') + 1); }

  // Path below HKEY_CURRENT_USER of the case's key or of `sub` below it.
  std::string Rel(const std::string &sub) const { return sub.empty() ? base_ : base_ + "\\" + sub; }
  std::string PathText(const std::string &sub) const { return "HKEY_CURRENT_USER\\" + Rel(sub); }

  void CreateKey(const std::string &sub) {
    kvt::ScopedKey key;
    ASSERT_EQ(
        RegCreateKeyExA(HKEY_CURRENT_USER, Rel(sub).c_str(), 0, NULL, 0, KEY_ALL_ACCESS, NULL, key.receive(), NULL),
        ERROR_SUCCESS)
        << sub;
  }
  // Creates a key below `sub` whose name has no form in the ANSI code page,
  // so that the ANSI calls list it as "??" and cannot open it. It is
  // removed by its wide name after the case.
  void CreateUnspellableKey(const std::string &sub) {
    const std::string parent = Rel(sub);
    const std::u16string path = std::u16string(parent.begin(), parent.end()) + u"\\\u4E2D\u6587";
    kvt::ScopedKey key;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, Wide(path), 0, NULL, 0, KEY_ALL_ACCESS, NULL, key.receive(), NULL),
              ERROR_SUCCESS);
    unspellable_.insert(unspellable_.begin(), path);
  }

  bool KeyExists(const std::string &sub) {
    kvt::ScopedKey key;
    return RegOpenKeyExA(HKEY_CURRENT_USER, Rel(sub).c_str(), 0, READ_CONTROL, key.receive()) == ERROR_SUCCESS;
  }

  // Sets `sub`'s DACL (protected from inheritance) and, when asked, makes
  // SYSTEM its owner so that the caller gets no owner rights on it.
  void SetKeySecurity(const std::string &sub, std::vector<BYTE> dacl, bool ownerSystem) {
    kvt::ScopedKey key;
    ASSERT_EQ(
        RegOpenKeyExA(HKEY_CURRENT_USER, Rel(sub).c_str(), 0, READ_CONTROL | WRITE_DAC | WRITE_OWNER, key.receive()),
        ERROR_SUCCESS);
    ASSERT_EQ(
        SetSecurityInfo(key.get(), SE_REGISTRY_KEY, DACL_SECURITY_INFORMATION | PROTECTED_DACL_SECURITY_INFORMATION,
                        NULL, NULL, AsAcl(dacl), NULL),
        ERROR_SUCCESS);
    if (ownerSystem) {
      kvt::ScopedSid system = System();
      ASSERT_EQ(SetSecurityInfo(key.get(), SE_REGISTRY_KEY, OWNER_SECURITY_INFORMATION, system.get(), NULL, NULL, NULL),
                ERROR_SUCCESS);
    }
  }

  // A DACL that lets everyone read the key and change its DACL but not
  // delete it; with SYSTEM as owner the key is locked for this process.
  std::vector<BYTE> LockingDacl() {
    kvt::ScopedSid everyone = Everyone();
    return MakeAcl({MakeAce(ACCESS_ALLOWED_ACE_TYPE, 0, KEY_READ | WRITE_DAC, everyone.get())});
  }

  // The entries of `sub`'s DACL (none when it cannot be read), and its sizes.
  std::vector<std::vector<BYTE>> ReadDacl(const std::string &sub, ACL_SIZE_INFORMATION *info = NULL) {
    kvt::ScopedKey key;
    std::vector<std::vector<BYTE>> aces;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, Rel(sub).c_str(), 0, READ_CONTROL, key.receive()) != ERROR_SUCCESS)
      return aces;
    PACL dacl = NULL;
    kvt::ScopedSecurityDescriptor sd;
    if (GetSecurityInfo(key.get(), SE_REGISTRY_KEY, DACL_SECURITY_INFORMATION, NULL, NULL, &dacl, NULL, sd.receive()) !=
        ERROR_SUCCESS) {
      return aces;
    }
    aces = AcesOf(dacl);
    if (info != NULL && dacl != NULL) GetAclInformation(dacl, info, sizeof(*info), AclSizeInformation);
    return aces;
  }

  // The run's lines with the handles of open keys (any but the case's
  // root, HKEY_CURRENT_USER) shown as H.
  std::string NormalizedLines() {
    static const std::regex handle("RegDeleteKey\\(([0-9a-f]+), ");
    std::string lines = LinesOfRun(), out;
    std::sregex_iterator it(lines.begin(), lines.end(), handle), end;
    size_t last = 0;
    for (; it != end; ++it) {
      out += lines.substr(last, it->position() - last);
      out += (*it)[1] == "80000001" ? it->str() : "RegDeleteKey(H, ";
      last = it->position() + it->length();
    }
    return out + lines.substr(last);
  }

  static std::string Err(DWORD code) {
    return "-->Error(" + std::to_string(code) + "):" + SystemMessage(code) + "\r\n";
  }

 private:
  // Removes a tree whatever its access: each key is first given a DACL that
  // lets everyone do everything.
  static void ForceDelete(HKEY parent, const std::string &path) {
    {
      kvt::ScopedKey key;
      if (RegOpenKeyExA(parent, path.c_str(), 0, WRITE_DAC, key.receive()) == ERROR_SUCCESS) {
        kvt::ScopedSid everyone = Everyone();
        std::vector<BYTE> open = MakeAcl({MakeAce(ACCESS_ALLOWED_ACE_TYPE, 0, KEY_ALL_ACCESS, everyone.get())});
        SetSecurityInfo(key.get(), SE_REGISTRY_KEY, DACL_SECURITY_INFORMATION, NULL, NULL, AsAcl(open), NULL);
      }
    }
    {
      kvt::ScopedKey key;
      if (RegOpenKeyExA(parent, path.c_str(), 0, KEY_ALL_ACCESS, key.receive()) == ERROR_SUCCESS) {
        char name[256];
        std::string previous;
        DWORD length = sizeof(name);
        while (RegEnumKeyExA(key.get(), 0, name, &length, NULL, NULL, NULL, NULL) == ERROR_SUCCESS &&
               previous != name) {
          previous = name;
          ForceDelete(key.get(), name);  // deletes the subkey itself too
          length = sizeof(name);
        }
      }
    }
    RegDeleteKeyA(parent, path.c_str());
  }

  std::string base_;
  // WCHAR is 16 bits in both builds, which the C library's wide strings
  // are not on Linux: wide texts are kept as UTF-16 strings.
  static LPCWSTR Wide(const std::u16string &text) { return reinterpret_cast<LPCWSTR>(text.c_str()); }

  std::vector<std::u16string> unspellable_;  // the last made first
};

}  // namespace setup_test
