// The DACL edit: where the Everyone entry goes in canonical order, which
// entries count as identical, and what the edited key's list holds.
#include <algorithm>

#include "registry/acl_edit.h"
#include "registry_fixture.h"

namespace setup_test {
namespace {

std::vector<BYTE> FullEveryone(PSID everyone, BYTE flags = CONTAINER_INHERIT_ACE) {
  return MakeAce(ACCESS_ALLOWED_ACE_TYPE, flags, KEY_ALL_ACCESS, everyone);
}

TEST(CanonicalAceIndex, PlacesTheEntryFirstAmongExplicitAllows) {
  kvt::ScopedSid everyone = Everyone(), system = System();
  auto entry = FullEveryone(everyone.get());
  const ACE_HEADER *header = reinterpret_cast<const ACE_HEADER *>(entry.data());
  const BYTE inherited = INHERITED_ACE;
  auto deny = MakeAce(ACCESS_DENIED_ACE_TYPE, 0, DELETE, system.get());
  auto allow = MakeAce(ACCESS_ALLOWED_ACE_TYPE, 0, KEY_READ, system.get());
  auto audit = MakeAce(SYSTEM_AUDIT_ACE_TYPE, 0, KEY_READ, system.get());  // outside the order

  auto denyTwoAllows = MakeAcl({deny, allow, allow});
  EXPECT_EQ(CanonicalAceIndex(AsAcl(denyTwoAllows), header), 1);
  auto onlyInherited = MakeAcl({MakeAce(ACCESS_DENIED_ACE_TYPE, inherited, DELETE, system.get()),
                                MakeAce(ACCESS_ALLOWED_ACE_TYPE, inherited, KEY_READ, system.get())});
  EXPECT_EQ(CanonicalAceIndex(AsAcl(onlyInherited), header), 0);
  auto onlyDenies = MakeAcl({deny, deny});
  EXPECT_EQ(CanonicalAceIndex(AsAcl(onlyDenies), header), 2);
  auto empty = MakeAcl({});
  EXPECT_EQ(CanonicalAceIndex(AsAcl(empty), header), 0);
  auto unknownFirst = MakeAcl({deny, audit, allow});
  EXPECT_EQ(CanonicalAceIndex(AsAcl(unknownFirst), header), -1) << "-1: appended at the end";
  auto unknownAfter = MakeAcl({deny, allow, audit});
  EXPECT_EQ(CanonicalAceIndex(AsAcl(unknownAfter), header), 1);
  EXPECT_EQ(CanonicalAceIndex(AsAcl(denyTwoAllows), reinterpret_cast<const ACE_HEADER *>(audit.data())), -1);
}

TEST(FindAce, FindsTheLastIdenticalEntryOnly) {
  kvt::ScopedSid everyone = Everyone(), system = System();
  auto entry = FullEveryone(everyone.get());
  const ACCESS_ALLOWED_ACE *ace = reinterpret_cast<const ACCESS_ALLOWED_ACE *>(entry.data());
  auto readOnly = MakeAce(ACCESS_ALLOWED_ACE_TYPE, CONTAINER_INHERIT_ACE, KEY_READ, everyone.get());
  auto inheritedCopy = FullEveryone(everyone.get(), CONTAINER_INHERIT_ACE | INHERITED_ACE);
  auto otherSid = FullEveryone(system.get());
  auto twice = MakeAcl({entry, readOnly, entry, otherSid});
  EXPECT_EQ(FindAce(AsAcl(twice), ace), 2);
  auto none = MakeAcl({readOnly, inheritedCopy, otherSid});
  EXPECT_EQ(FindAce(AsAcl(none), ace), -1);
  EXPECT_EQ(FindAce(NULL, ace), -1);
}

using GrantKeyAccessTest = RegistryTest;

TEST_F(GrantKeyAccessTest, InsertsAfterDeniesKeepsOthersAndSizesTheList) {
  kvt::ScopedSid everyone = Everyone(), system = System();
  auto deny = MakeAce(ACCESS_DENIED_ACE_TYPE, 0, KEY_SET_VALUE, system.get());
  auto allowSystem = MakeAce(ACCESS_ALLOWED_ACE_TYPE, 0, KEY_ALL_ACCESS, system.get());
  auto readEveryone = MakeAce(ACCESS_ALLOWED_ACE_TYPE, CONTAINER_INHERIT_ACE, KEY_READ | WRITE_DAC, everyone.get());
  auto dacl = MakeAcl({deny, allowSystem, readEveryone});
  const DWORD n = static_cast<DWORD>(dacl.size());
  CreateKey("G");
  SetKeySecurity("G", dacl, false);
  kvt::ScopedKey key;
  ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, Rel("G").c_str(), 0, READ_CONTROL | WRITE_DAC, key.receive()),
            ERROR_SUCCESS);
  EXPECT_EQ(GrantKeyAccess(everyone.get(), key.get()), 1);
  ACL_SIZE_INFORMATION info = {};
  auto aces = ReadDacl("G", &info);
  EXPECT_EQ(info.AclBytesInUse + info.AclBytesFree, n + 28);
  std::vector<std::vector<BYTE>> expected = {deny, FullEveryone(everyone.get()), allowSystem, readEveryone};
  if (!AddAceHonoursIndex()) {
    std::vector<std::vector<BYTE>> appended = {deny, allowSystem, readEveryone, FullEveryone(everyone.get())};
    EXPECT_EQ(aces, appended);
    GTEST_SKIP() << "AddAce appends whatever its starting index (Wine): placement not visible";
  }
  EXPECT_EQ(aces, expected);
}

TEST_F(GrantKeyAccessTest, IdenticalEntryIsMovedNotDoubled) {
  kvt::ScopedSid everyone = Everyone(), system = System();
  auto allowSystem = MakeAce(ACCESS_ALLOWED_ACE_TYPE, 0, KEY_ALL_ACCESS, system.get());
  auto entry = FullEveryone(everyone.get());
  CreateKey("G");
  SetKeySecurity("G", MakeAcl({allowSystem, entry}), false);
  kvt::ScopedKey key;
  ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, Rel("G").c_str(), 0, READ_CONTROL | WRITE_DAC, key.receive()),
            ERROR_SUCCESS);
  EXPECT_EQ(GrantKeyAccess(everyone.get(), key.get()), 1);
  std::vector<std::vector<BYTE>> expected = {entry, allowSystem};
  if (!AddAceHonoursIndex()) {
    std::swap(expected[0], expected[1]);
    EXPECT_EQ(ReadDacl("G"), expected);
    GTEST_SKIP() << "AddAce appends whatever its starting index (Wine): placement not visible";
  }
  EXPECT_EQ(ReadDacl("G"), expected);
}

TEST_F(GrantKeyAccessTest, AllowAccessCreatesAMissingKeyWithItsParents) {
  EXPECT_EQ(KVT_RegAllowAccessToEveryone(HKEY_CURRENT_USER, Rel("P\\Q").c_str()), 1);
  ASSERT_TRUE(KeyExists("P\\Q"));
  kvt::ScopedSid everyone = Everyone();
  auto aces = ReadDacl("P\\Q");
  EXPECT_NE(std::find(aces.begin(), aces.end(), FullEveryone(everyone.get())), aces.end());
  EXPECT_EQ(KVT_RegAllowAccessToEveryone(NULL, "Q"), 1) << "a failed open still gives 1";
}

}  // namespace
}  // namespace setup_test
