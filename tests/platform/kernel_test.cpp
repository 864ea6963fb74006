// Conformance tests of the kernel subset: heaps, global memory, fault
// injection, the machine reset, language, string functions and the 1252
// conversion. Written as Wine's tests are: the last error is primed with
// 0xdeadbeef and output buffers with a pattern before each call.
#include <gtest/gtest.h>
#include <platform/testing.h>
#include <windows.h>

#include "../../platform/kernel/text.h"

#include <array>
#include <cstring>
#include <vector>

namespace {

constexpr DWORD kSentinelError = 0xdeadbeef;

class KernelTest : public ::testing::Test {
 protected:
  void SetUp() override { platform::ResetMachine(); }
  void TearDown() override { platform::ResetMachine(); }
};

bool AllBytesAre(const void *block, size_t size, unsigned char value) {
  const auto *bytes = static_cast<const unsigned char *>(block);
  for (size_t i = 0; i < size; ++i) {
    if (bytes[i] != value) return false;
  }
  return true;
}

// --- Heaps -----------------------------------------------------------------

TEST_F(KernelTest, HeapDestroyFreesEveryBlockAtOnce) {
  HANDLE heap = HeapCreate(0, 0, 0);
  ASSERT_NE(heap, nullptr);
  EXPECT_EQ(platform::Live().heaps, 1u);
  std::vector<void *> blocks;
  for (SIZE_T size : {0u, 1u, 100u, 4096u, 100000u}) {
    void *block = HeapAlloc(heap, HEAP_ZERO_MEMORY, size);
    ASSERT_NE(block, nullptr);
    EXPECT_TRUE(AllBytesAre(block, size, 0));
    EXPECT_EQ(HeapSize(heap, 0, block), size);
    std::memset(block, 0x5A, size);  // the whole block is writable (ASan checks)
    blocks.push_back(block);
  }
  EXPECT_NE(blocks[0], blocks[1]) << "a zero-byte block is a pointer of its own";
  // No HeapFree: destroying the heap releases them; ASan would report a leak.
  EXPECT_TRUE(HeapDestroy(heap));
  EXPECT_EQ(platform::Live().heaps, 0u);
}

TEST_F(KernelTest, HeapCallsRefuseUnknownHandlesAndPointers) {
  HANDLE heap = HeapCreate(0, 0, 0);
  HANDLE other = HeapCreate(0, 0, 0);
  void *block = HeapAlloc(heap, 0, 16);
  ASSERT_NE(block, nullptr);

  SetLastError(kSentinelError);
  EXPECT_FALSE(HeapFree(other, 0, block)) << "a block of another heap";
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  EXPECT_TRUE(HeapFree(heap, 0, block));
  SetLastError(kSentinelError);
  EXPECT_FALSE(HeapFree(heap, 0, block)) << "double free";
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  SetLastError(kSentinelError);
  EXPECT_EQ(HeapSize(heap, 0, block), static_cast<SIZE_T>(-1));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  EXPECT_TRUE(HeapFree(heap, 0, nullptr)) << "freeing null succeeds";

  EXPECT_TRUE(HeapDestroy(other));
  for (HANDLE bad : {static_cast<HANDLE>(nullptr), other, INVALID_HANDLE_VALUE}) {
    SetLastError(kSentinelError);
    EXPECT_EQ(HeapAlloc(bad, 0, 8), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    SetLastError(kSentinelError);
    EXPECT_FALSE(HeapDestroy(bad));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    SetLastError(kSentinelError);
    EXPECT_FALSE(HeapFree(bad, 0, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
  }
  SetLastError(kSentinelError);
  EXPECT_FALSE(HeapDestroy(GetProcessHeap())) << "the process heap cannot be destroyed";
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
  EXPECT_TRUE(HeapDestroy(heap));
}

TEST_F(KernelTest, HeapAllocationLimits) {
  HANDLE heap = HeapCreate(0, 0, 0);
  SetLastError(kSentinelError);
  EXPECT_EQ(HeapAlloc(heap, 0, static_cast<SIZE_T>(-1)), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_ENOUGH_MEMORY));
  EXPECT_EQ(HeapAlloc(heap, 0, 0x80000000u), nullptr) << "more than a 32-bit process can hold";

  // A heap with a maximum size is fixed: blocks must fit into it together.
  HANDLE fixed = HeapCreate(0, 0, 4096);
  void *first = HeapAlloc(fixed, 0, 4000);
  ASSERT_NE(first, nullptr);
  SetLastError(kSentinelError);
  EXPECT_EQ(HeapAlloc(fixed, 0, 200), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_ENOUGH_MEMORY));
  EXPECT_TRUE(HeapFree(fixed, 0, first));
  EXPECT_NE(HeapAlloc(fixed, 0, 200), nullptr);
  EXPECT_TRUE(HeapDestroy(fixed));
  EXPECT_TRUE(HeapDestroy(heap));
}

TEST_F(KernelTest, ProcessHeapKeepsItsHandleAcrossResetsButNotItsBlocks) {
  HANDLE processHeap = GetProcessHeap();
  ASSERT_NE(processHeap, nullptr);
  void *block = HeapAlloc(processHeap, 0, 32);
  ASSERT_NE(block, nullptr);
  EXPECT_EQ(platform::Live().heaps, 0u) << "the process heap is not a private heap";
  platform::ResetMachine();
  EXPECT_EQ(GetProcessHeap(), processHeap);
  SetLastError(kSentinelError);
  EXPECT_FALSE(HeapFree(processHeap, 0, block)) << "the reset freed it";
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
}

TEST_F(KernelTest, ResetDestroysHeapsLeftBehind) {
  HANDLE heap = HeapCreate(0, 0, 0);
  ASSERT_NE(HeapAlloc(heap, 0, 64), nullptr);
  ASSERT_NE(GlobalAlloc(GPTR, 64), nullptr);
  platform::ResetMachine();
  EXPECT_EQ(platform::Live().heaps, 0u);
  EXPECT_EQ(platform::Live().globalBlocks, 0u);
  SetLastError(kSentinelError);
  EXPECT_EQ(HeapAlloc(heap, 0, 8), nullptr) << "a handle of the previous machine";
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
}

// --- Global and local memory -------------------------------------------------

TEST_F(KernelTest, GlobalAndLocalBlocksShareOneTable) {
  void *global = GlobalAlloc(GPTR, 300);
  void *local = LocalAlloc(LMEM_FIXED, 10);
  ASSERT_NE(global, nullptr);
  ASSERT_NE(local, nullptr);
  EXPECT_TRUE(AllBytesAre(global, 300, 0));
  EXPECT_EQ(platform::Live().globalBlocks, 2u);
  EXPECT_EQ(LocalFree(global), nullptr) << "LocalFree takes a GlobalAlloc block";
  EXPECT_EQ(GlobalFree(local), nullptr);
  EXPECT_EQ(platform::Live().globalBlocks, 0u);

  SetLastError(kSentinelError);
  EXPECT_EQ(GlobalFree(global), global) << "a freed block comes back";
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
  SetLastError(kSentinelError);
  EXPECT_EQ(GlobalFree(nullptr), nullptr);
  EXPECT_EQ(LocalFree(nullptr), nullptr);
  EXPECT_EQ(GetLastError(), kSentinelError);

  void *empty = GlobalAlloc(GMEM_FIXED, 0);
  EXPECT_NE(empty, nullptr);
  EXPECT_EQ(GlobalFree(empty), nullptr);
}

TEST_F(KernelTest, GlobalAllocRefusesMovableMemoryAndHugeSizes) {
  constexpr UINT kMoveable = 0x0002;
  SetLastError(kSentinelError);
  EXPECT_EQ(GlobalAlloc(kMoveable, 16), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  SetLastError(kSentinelError);
  EXPECT_EQ(LocalAlloc(LPTR, static_cast<SIZE_T>(-1)), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_ENOUGH_MEMORY));
  EXPECT_EQ(platform::Live().globalBlocks, 0u);
}

// --- Fault injection ---------------------------------------------------------

TEST_F(KernelTest, InjectedFailureHitsExactlyTheNthCall) {
  HANDLE heap = HeapCreate(0, 0, 0);
  platform::FailNthCall(platform::Fault::HeapAlloc, 3);
  EXPECT_NE(HeapAlloc(heap, 0, 8), nullptr);
  EXPECT_NE(HeapAlloc(heap, 0, 8), nullptr);
  SetLastError(kSentinelError);
  EXPECT_EQ(HeapAlloc(heap, 0, 8), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_ENOUGH_MEMORY));
  EXPECT_NE(HeapAlloc(heap, 0, 8), nullptr) << "the failure happens once";
  EXPECT_EQ(platform::CallCount(platform::Fault::HeapAlloc), 4u);

  // Calls with a bad handle never reach the allocation and are not counted.
  EXPECT_EQ(HeapAlloc(nullptr, 0, 8), nullptr);
  EXPECT_EQ(platform::CallCount(platform::Fault::HeapAlloc), 4u);
  EXPECT_TRUE(HeapDestroy(heap));
}

TEST_F(KernelTest, EachAllocatorHasItsOwnFaultKind) {
  platform::FailNthCall(platform::Fault::HeapCreate, 1);
  platform::FailNthCall(platform::Fault::GlobalAlloc, 1);
  platform::FailNthCall(platform::Fault::LocalAlloc, 2);

  SetLastError(kSentinelError);
  EXPECT_EQ(HeapCreate(0, 0, 0), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_ENOUGH_MEMORY));
  EXPECT_EQ(platform::Live().heaps, 0u);

  void *local = LocalAlloc(LPTR, 4);
  EXPECT_NE(local, nullptr) << "a LocalAlloc is not a GlobalAlloc";
  SetLastError(kSentinelError);
  EXPECT_EQ(GlobalAlloc(GPTR, 4), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_ENOUGH_MEMORY));
  SetLastError(kSentinelError);
  EXPECT_EQ(LocalAlloc(LPTR, 4), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_ENOUGH_MEMORY));
  EXPECT_EQ(platform::Live().globalBlocks, 1u);
  EXPECT_EQ(LocalFree(local), nullptr);

  EXPECT_EQ(platform::CallCount(platform::Fault::HeapCreate), 1u);
  EXPECT_EQ(platform::CallCount(platform::Fault::GlobalAlloc), 1u);
  EXPECT_EQ(platform::CallCount(platform::Fault::LocalAlloc), 2u);
}

TEST_F(KernelTest, PendingFailureCanBeCancelledAndDoesNotSurviveReset) {
  platform::FailNthCall(platform::Fault::GlobalAlloc, 1);
  platform::FailNthCall(platform::Fault::GlobalAlloc, 0);
  void *block = GlobalAlloc(GPTR, 1);
  EXPECT_NE(block, nullptr);
  GlobalFree(block);

  platform::FailNthCall(platform::Fault::GlobalAlloc, 1);
  platform::ResetMachine();
  EXPECT_EQ(platform::CallCount(platform::Fault::GlobalAlloc), 0u);
  block = GlobalAlloc(GPTR, 1);
  EXPECT_NE(block, nullptr);
  GlobalFree(block);
}

TEST_F(KernelTest, ShouldFailServesTheOtherModulesKinds) {
  platform::FailNthCall(platform::Fault::EngCreateBitmap, 2);
  EXPECT_FALSE(platform::ShouldFail(platform::Fault::EngCreateBitmap));
  EXPECT_FALSE(platform::ShouldFail(platform::Fault::EngCreatePalette));
  EXPECT_TRUE(platform::ShouldFail(platform::Fault::EngCreateBitmap));
  EXPECT_FALSE(platform::ShouldFail(platform::Fault::EngCreateBitmap));
  EXPECT_EQ(platform::CallCount(platform::Fault::EngCreateBitmap), 3u);
  EXPECT_EQ(platform::CallCount(platform::Fault::EngCreatePalette), 1u);
}

// --- Machine hooks -------------------------------------------------------------

int resetHookCalls = 0;
size_t extraPalettes = 0;

void CountReset() { ++resetHookCalls; }
void AddExtraPalettes(platform::LiveObjects &live) { live.palettes += extraPalettes; }

TEST_F(KernelTest, ResetHooksAndLiveCountersAreCalledOnceEach) {
  platform::RegisterResetHook(&CountReset);
  platform::RegisterResetHook(&CountReset);
  platform::RegisterLiveCounter(&AddExtraPalettes);
  platform::RegisterLiveCounter(&AddExtraPalettes);
  resetHookCalls = 0;
  platform::ResetMachine();
  EXPECT_EQ(resetHookCalls, 1);

  const size_t before = platform::Live().palettes;
  extraPalettes = 3;
  EXPECT_EQ(platform::Live().palettes, before + 3);
  extraPalettes = 0;
}

// --- Language ----------------------------------------------------------------

TEST_F(KernelTest, UserLanguageIsEnglishUntilSet) {
  EXPECT_EQ(GetUserDefaultLangID(), 0x0409);
  platform::SetUserDefaultLangID(MAKELANGID(LANG_GERMAN, SUBLANG_DEFAULT));
  EXPECT_EQ(GetUserDefaultLangID(), 0x0407);
  platform::ResetMachine();
  EXPECT_EQ(GetUserDefaultLangID(), 0x0409);
}

// --- Strings ---------------------------------------------------------------------

TEST_F(KernelTest, StringLengthsAcceptNull) {
  EXPECT_EQ(lstrlenW(nullptr), 0);
  EXPECT_EQ(lstrlenA(nullptr), 0);
  EXPECT_EQ(lstrlenW(L""), 0);
  EXPECT_EQ(lstrlenW(L"Post card"), 9);
  EXPECT_EQ(lstrlenW(L"\uFF2C\u30B5\u30A4\u30BA"), 4);
  EXPECT_EQ(lstrlenA("3.5x5 inch"), 10);
}

TEST_F(KernelTest, StringComparisons) {
  EXPECT_EQ(lstrcmpW(L"Small", L"Small"), 0);
  EXPECT_LT(lstrcmpW(L"Small", L"small"), 0) << "case matters";
  EXPECT_GT(lstrcmpW(L"Smallest", L"Small"), 0);
  EXPECT_LT(lstrcmpW(L"Small", L"Smallest"), 0);
  EXPECT_EQ(lstrcmpW(nullptr, nullptr), 0);
  EXPECT_LT(lstrcmpW(nullptr, L""), 0);
  EXPECT_GT(lstrcmpW(L"", nullptr), 0);

  EXPECT_EQ(lstrcmpiW(L"3.5X5 INCH", L"3.5x5 inch"), 0);
  EXPECT_EQ(lstrcmpiW(L"Peque\u00F1o", L"PEQUE\u00D1O"), 0);
  EXPECT_EQ(lstrcmpiW(L"\u0436\u0451", L"\u0416\u0401"), 0) << "Cyrillic";
  EXPECT_EQ(lstrcmpiW(L"\uFF4C", L"\uFF2C"), 0) << "full-width L";
  EXPECT_EQ(lstrcmpiW(L"\u017E", L"\u017D"), 0) << "z with caron";
  EXPECT_NE(lstrcmpiW(L"Post card", L"Post-card"), 0);
  EXPECT_LT(lstrcmpiW(L"a", L"B"), 0);
  EXPECT_EQ(lstrcmpiW(nullptr, nullptr), 0);
}

// --- Code page 1252 -----------------------------------------------------------------

TEST_F(KernelTest, UnicodeToAnsiMapsTheWholeCodePage) {
  const WCHAR source[] = L"A\u20AC\u201A\u0178\u2122\u00E9\u00FF\u0081\u009D\u0080\u0100\u3042";
  const unsigned char expected[] = {'A', 0x80, 0x82, 0x9F, 0x99, 0xE9, 0xFF, 0x81, 0x9D, '?', '?', '?'};
  std::array<char, 16> out;
  out.fill('\x55');
  ULONG written = 0xdeadbeef;
  EXPECT_EQ(RtlUnicodeToMultiByteN(out.data(), out.size(), &written, source, 12 * sizeof(WCHAR)), STATUS_SUCCESS);
  EXPECT_EQ(written, 12u);
  EXPECT_EQ(std::memcmp(out.data(), expected, sizeof(expected)), 0);
  EXPECT_EQ(out[12], '\x55') << "nothing past the converted characters";
}

TEST_F(KernelTest, UnicodeToAnsiCutsToTheDestination) {
  std::array<char, 8> out;
  out.fill('\x55');
  ULONG written = 0;
  // Five characters into three bytes: cut, and still a success.
  EXPECT_EQ(RtlUnicodeToMultiByteN(out.data(), 3, &written, L"Small", 5 * sizeof(WCHAR)), STATUS_SUCCESS);
  EXPECT_EQ(written, 3u);
  EXPECT_EQ(std::memcmp(out.data(), "Sma", 3), 0);
  EXPECT_EQ(out[3], '\x55');

  // An odd byte count covers the whole characters only; the terminator is
  // converted like any character when it is counted.
  out.fill('\x55');
  EXPECT_EQ(RtlUnicodeToMultiByteN(out.data(), 8, &written, L"Sm", 5), STATUS_SUCCESS);
  EXPECT_EQ(written, 2u);
  EXPECT_EQ(RtlUnicodeToMultiByteN(out.data(), 8, &written, L"Sm", 3 * sizeof(WCHAR)), STATUS_SUCCESS);
  EXPECT_EQ(written, 3u);
  EXPECT_EQ(out[2], '\0');

  // A surrogate pair is two characters without a 1252 byte.
  EXPECT_EQ(RtlUnicodeToMultiByteN(out.data(), 8, nullptr, L"\U0001F600", 2 * sizeof(WCHAR)), STATUS_SUCCESS);
  EXPECT_EQ(std::memcmp(out.data(), "??", 2), 0);

  EXPECT_EQ(RtlUnicodeToMultiByteN(nullptr, 0, &written, nullptr, 0), STATUS_SUCCESS);
  EXPECT_EQ(written, 0u);
  EXPECT_EQ(RtlUnicodeToMultiByteN(nullptr, 4, &written, L"ab", 4), STATUS_INVALID_PARAMETER);
}

TEST_F(KernelTest, Utf8ConversionRejectsMalformedInput) {
  const std::u16string text = u"Post card \u00E9\u20AC\uFF2C\U0001F600";
  const std::optional<std::u16string> back = platform::FromUtf8(platform::ToUtf8(text));
  ASSERT_TRUE(back.has_value());
  EXPECT_TRUE(*back == text);
  EXPECT_EQ(platform::ToUtf8(u"a\xD800z"), "a\xEF\xBF\xBDz") << "a lone surrogate is replaced";
  for (const char *bad : {"\xC0\xAF", "\xED\xA0\x80", "\xF4\x90\x80\x80", "\xE2\x82", "\x80", "\xFF"}) {
    EXPECT_FALSE(platform::FromUtf8(bad).has_value()) << "accepted " << testing::PrintToString(std::string(bad));
  }
}

}  // namespace
