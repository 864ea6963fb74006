// The handle owner: who closes a handle, how often and when, first with a
// traits record that counts its closes, then with the real kinds. On Linux
// the platform layer's live-object counts show what was released; under
// Wine a second close of a registry key shows that the first one happened.
#include <scoped_handle.h>

#ifndef _WIN32
#include <platform/testing.h>
#endif

#include <gtest/gtest.h>

#include <utility>
#include <vector>

namespace {

// Handles are small integers; closing one records it. `owner` tells which
// traits instance closed it, so that a moved owner can be seen to keep the
// state it was made with.
struct CountingTraits {
  using Handle = int;
  static std::vector<std::pair<int, int>> &Closed() {
    static std::vector<std::pair<int, int>> closed;
    return closed;
  }
  int owner = 0;
  static Handle Invalid() { return -1; }
  void Close(Handle handle) const { Closed().push_back({owner, handle}); }
};
using Counted = kvt::ScopedHandle<CountingTraits>;
using Closes = std::vector<std::pair<int, int>>;

class ScopedHandleTest : public ::testing::Test {
 protected:
  void SetUp() override {
    CountingTraits::Closed().clear();
#ifndef _WIN32
    platform::ResetMachine();
#endif
  }
  static const Closes &Closed() { return CountingTraits::Closed(); }
};

TEST_F(ScopedHandleTest, AnOwnerClosesItsHandleOnceWhenItEnds) {
  {
    Counted empty;
    EXPECT_FALSE(empty);
    EXPECT_EQ(empty.get(), -1);
    Counted owner(7, {1});
    EXPECT_TRUE(owner);
    EXPECT_EQ(owner.get(), 7);
    EXPECT_TRUE(Closed().empty());
  }
  EXPECT_EQ(Closed(), (Closes{{1, 7}})) << "the empty owner closes nothing";
  Counted zero(0);
  EXPECT_TRUE(zero) << "only the traits' invalid value means no handle";
}

TEST_F(ScopedHandleTest, ReleaseAndResetHandOverOrReplaceTheHandle) {
  Counted owner(3, {1});
  EXPECT_EQ(owner.release(), 3);
  EXPECT_FALSE(owner);
  EXPECT_TRUE(Closed().empty()) << "a released handle is the caller's";
  owner.reset(4);
  owner.reset(4);
  EXPECT_TRUE(Closed().empty()) << "taking the same handle again closes nothing";
  owner.reset(5);
  EXPECT_EQ(Closed(), (Closes{{1, 4}}));
  owner.reset();
  EXPECT_EQ(Closed(), (Closes{{1, 4}, {1, 5}}));
  EXPECT_FALSE(owner);

  owner.reset(6);
  int *slot = owner.receive();
  EXPECT_EQ(Closed().back(), std::make_pair(1, 6)) << "receive empties the owner first";
  EXPECT_EQ(*slot, -1);
  *slot = 8;
  EXPECT_EQ(owner.get(), 8);
}

TEST_F(ScopedHandleTest, MovingTakesTheHandleAndItsTraitsAlong) {
  Counted first(10, {1});
  Counted second(std::move(first));
  EXPECT_FALSE(first);
  EXPECT_EQ(second.get(), 10);
  Counted third(20, {2});
  third = std::move(second);
  EXPECT_EQ(Closed(), (Closes{{2, 20}})) << "the target's own handle goes first";
  EXPECT_EQ(third.get(), 10);
  Counted &self = third;
  third = std::move(self);
  EXPECT_EQ(third.get(), 10) << "a move onto itself changes nothing";
  third.reset();
  EXPECT_EQ(Closed(), (Closes{{2, 20}, {1, 10}})) << "closed with the traits it was made with";
}

TEST_F(ScopedHandleTest, PredefinedRootsAreToldFromOpenedKeys) {
  for (HKEY root : {HKEY_CLASSES_ROOT, HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE, HKEY_USERS, HKEY_PERFORMANCE_DATA,
                    HKEY_CURRENT_CONFIG, HKEY_DYN_DATA}) {
    EXPECT_TRUE(kvt::RegKeyTraits::IsPredefined(root));
  }
  EXPECT_FALSE(kvt::RegKeyTraits::IsPredefined(NULL));
  kvt::ScopedKey software;
  ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Software", 0, KEY_READ, software.receive()), ERROR_SUCCESS);
  EXPECT_FALSE(kvt::RegKeyTraits::IsPredefined(software.get()));
}

TEST_F(ScopedHandleTest, AClosedKeyIsGoneAndAReleasedOneStaysOpen) {
  HKEY closed = NULL;
  {
    kvt::ScopedKey key;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Software", 0, KEY_READ, key.receive()), ERROR_SUCCESS);
    closed = key.get();
  }
  EXPECT_EQ(RegCloseKey(closed), ERROR_INVALID_HANDLE);

  kvt::ScopedKey key;
  ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Software", 0, KEY_READ, key.receive()), ERROR_SUCCESS);
  EXPECT_EQ(RegCloseKey(key.release()), ERROR_SUCCESS);
  EXPECT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "KvtNoSuchKey", 0, KEY_READ, key.receive()), ERROR_FILE_NOT_FOUND);
  EXPECT_FALSE(key) << "a failed open leaves nothing to close";
}

#ifndef _WIN32
// Each kind releases with its own call; the platform layer counts what is
// left alive, and refuses a second free of the same block.
TEST_F(ScopedHandleTest, EveryKindReleasesItsResource) {
  const platform::LiveObjects before = platform::Live();
  {
    kvt::ScopedLocalBlock<BYTE> local(static_cast<BYTE *>(LocalAlloc(LPTR, 16)));
    kvt::ScopedGlobalBlock<> global(GlobalAlloc(GMEM_FIXED, 16));
    kvt::ScopedDeviceInfoSet set(SetupDiCreateDeviceInfoList(NULL, NULL));
    ASSERT_TRUE(local && global && set);
    EXPECT_EQ(platform::Live().globalBlocks, before.globalBlocks + 2);
    EXPECT_EQ(platform::Live().deviceInfoSets, before.deviceInfoSets + 1);
  }
  EXPECT_EQ(platform::Live().globalBlocks, before.globalBlocks);
  EXPECT_EQ(platform::Live().deviceInfoSets, before.deviceInfoSets);
  EXPECT_FALSE(kvt::ScopedDeviceInfoSet()) << "INVALID_HANDLE_VALUE is no set";

  // A block goes back to the heap it came from, not to the process heap.
  HANDLE heap = HeapCreate(0, 0, 0);
  void *block = HeapAlloc(heap, 0, 32);
  ASSERT_NE(block, nullptr);
  { kvt::ScopedHeapBlock<> owner = kvt::HeapBlockOf(heap, block); }
  EXPECT_FALSE(HeapFree(heap, 0, block)) << "already freed";
  EXPECT_TRUE(HeapDestroy(heap));

  HANDLE file = CreateFileA("C:\\owned.txt", GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  { kvt::ScopedFile owner(file); }
  EXPECT_FALSE(CloseHandle(file)) << "already closed";
  WIN32_FIND_DATAA entry;
  HANDLE search = FindFirstFileA("C:\\*", &entry);
  ASSERT_NE(search, INVALID_HANDLE_VALUE);
  { kvt::ScopedFind owner(search); }
  EXPECT_FALSE(FindClose(search)) << "already closed";

  HANDLE server = NULL;
  ASSERT_TRUE(OpenPrinterA(NULL, &server, NULL));
  { kvt::ScopedPrinter owner(server); }
  EXPECT_EQ(platform::Live().printerHandles, before.printerHandles);
  SID_IDENTIFIER_AUTHORITY world = SECURITY_WORLD_SID_AUTHORITY;
  kvt::ScopedSid everyone;
  ASSERT_TRUE(AllocateAndInitializeSid(&world, 1, SECURITY_WORLD_RID, 0, 0, 0, 0, 0, 0, 0, everyone.receive()));
  EXPECT_TRUE(IsValidSid(everyone.get()));  // freed at the end: a leak would show under ASan
}
#endif

}  // namespace
