// Registry failures injected into the key deletions (platform layer only):
// whichever registry call fails, once, the deletion ends without looping,
// leaves no key open and no block allocated, and a second call finishes
// the job; a former DACL that cannot be put back is logged as a failure.
#include <platform/testing.h>

#include "registry_fixture.h"

namespace setup_test {
namespace {

using RegistryFaults = RegistryTest;

TEST_F(RegistryFaults, EachCallOfATreeDeletionFailingOnce) {
  auto makeTree = [this] {
    CreateKey("X\\A\\D");
    CreateKey("X\\B");
  };
  makeTree();
  const unsigned before = platform::CallCount(platform::Fault::Registry);
  ASSERT_EQ(KVT_RegDeleteKey(PathText("X").c_str(), 1), 1);
  const unsigned calls = platform::CallCount(platform::Fault::Registry) - before;
  ASSERT_GT(calls, 8u);
  for (unsigned nth = 1; nth <= calls; ++nth) {
    makeTree();
    const platform::LiveObjects live = platform::Live();
    platform::FailNthCall(platform::Fault::Registry, nth);
    const INT first = KVT_RegDeleteKey(PathText("X").c_str(), 1);
    platform::FailNthCall(platform::Fault::Registry, 0);
    EXPECT_EQ(platform::Live().keyHandles, live.keyHandles) << "call " << nth;
    EXPECT_EQ(platform::Live().globalBlocks, live.globalBlocks) << "call " << nth;
    EXPECT_EQ(first == 1, !KeyExists("X")) << "call " << nth;
    EXPECT_EQ(KVT_RegDeleteKey(PathText("X").c_str(), 1), first == 1 ? 0 : 1) << "call " << nth;
    EXPECT_FALSE(KeyExists("X")) << "call " << nth;
  }
}

TEST_F(RegistryFaults, EachCallOfAnUnlockingDeletionFailingOnce) {
  auto makeLocked = [this] {
    CreateKey("L\\Sub");
    SetKeySecurity("L", LockingDacl(), true);
  };
  makeLocked();
  const unsigned before = platform::CallCount(platform::Fault::Registry);
  ASSERT_EQ(KVT_RegDeleteKey(PathText("L").c_str(), 0), 1);
  const unsigned calls = platform::CallCount(platform::Fault::Registry) - before;
  for (unsigned nth = 1; nth <= calls; ++nth) {
    makeLocked();
    const platform::LiveObjects live = platform::Live();
    platform::FailNthCall(platform::Fault::Registry, nth);
    const INT result = KVT_RegDeleteKey(PathText("L").c_str(), 0);
    platform::FailNthCall(platform::Fault::Registry, 0);
    EXPECT_EQ(platform::Live().keyHandles, live.keyHandles) << "call " << nth;
    EXPECT_EQ(platform::Live().globalBlocks, live.globalBlocks) << "call " << nth;
    EXPECT_EQ(result == 1, !KeyExists("L")) << "call " << nth;
    if (result == 0) {
      EXPECT_EQ(KVT_RegDeleteKey(PathText("L").c_str(), 0), 1) << "call " << nth;
    }
  }
}

// The last registry call of a failed unlocking deletion puts the former
// DACL back; when it fails, the key stays open to everyone, and the log
// says so.
TEST_F(RegistryFaults, AFormerDaclThatCannotBePutBackIsLogged) {
  CreateKey("X\\A");
  SetKeySecurity("X\\A", LockingDacl(), true);
  const auto dacl = ReadDacl("X");
  const unsigned before = platform::CallCount(platform::Fault::Registry);
  ASSERT_EQ(KVT_RegDeleteLockedKey(HKEY_CURRENT_USER, Rel("X").c_str()), 0);
  const unsigned calls = platform::CallCount(platform::Fault::Registry) - before;
  ASSERT_EQ(ReadDacl("X"), dacl);

  StartLoggingRun();
  platform::FailNthCall(platform::Fault::Registry, calls);
  EXPECT_EQ(KVT_RegDeleteLockedKey(HKEY_CURRENT_USER, Rel("X").c_str()), 0);
  EXPECT_NE(ReadDacl("X"), dacl);
  const std::string lines = LinesOfRun();
  const std::string failure = "SetSecurityInfo(80000001, " + Rel("X") + ")\r\n" + Err(ERROR_NOT_ENOUGH_MEMORY);
  EXPECT_EQ(lines.substr(lines.size() - std::min(lines.size(), failure.size())), failure) << lines;
}

}  // namespace
}  // namespace setup_test
