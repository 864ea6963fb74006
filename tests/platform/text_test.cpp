// Text services of the kernel and user modules: the wsprintf language and
// its 1,024-byte limit, the system message table behind FormatMessageA, the
// virtual clock with its recorded sleeps, and message boxes on a machine
// without a screen. Buffers are pre-filled with a pattern and the last
// error primed with 0xdeadbeef, so that overruns and stale codes show.
#include <gtest/gtest.h>
#include <platform/testing.h>
#include <windows.h>

#include "../../platform/kernel/system_messages.h"

#include <climits>
#include <cstdarg>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

namespace {

constexpr DWORD kSentinelError = 0xdeadbeef;
constexpr size_t kCanaryBytes = 64;

class TextTest : public ::testing::Test {
 protected:
  void SetUp() override { platform::ResetMachine(); }
  void TearDown() override { platform::ResetMachine(); }
};

// The result of one wvsprintfA call into a 1,024-byte buffer followed by a
// canary that must stay untouched.
struct Formatted {
  std::string text;
  int result = 0;
  bool canaryIntact = true;
  bool terminatedInBuffer = true;
};

Formatted Format(const char *format, ...) {
  std::vector<char> buffer(1024 + kCanaryBytes, 'x');
  va_list args;
  va_start(args, format);
  Formatted out;
  out.result = wvsprintfA(buffer.data(), format, args);
  va_end(args);
  const void *terminator = std::memchr(buffer.data(), '\0', 1024);
  out.terminatedInBuffer = terminator != nullptr;
  if (out.terminatedInBuffer) out.text = buffer.data();
  for (size_t i = 1024; i < buffer.size(); ++i) out.canaryIntact &= buffer[i] == 'x';
  return out;
}

// --- wsprintfA: the conversions -------------------------------------------

TEST_F(TextTest, WsprintfFormatsTheConversionsTheLogUses) {
  EXPECT_EQ(Format("DeleteFile(%s)", "C:\\a.txt").text, "DeleteFile(C:\\a.txt)");
  EXPECT_EQ(Format("-->Error(%d):%s", 5, "Access").text, "-->Error(5):Access");
  EXPECT_EQ(Format("%02d:%02d:%02d.%03d", 7, 5, 0, 9).text, "07:05:00.009");
  EXPECT_EQ(Format("%02d", 123).text, "123") << "a width is a minimum";
  EXPECT_EQ(Format("%03d", -5).text, "-05") << "the sign counts toward the width";
  EXPECT_EQ(Format("%lx", 0xDEADBEEFu).text, "deadbeef");
  EXPECT_EQ(Format("%lX", 0xABCu).text, "ABC");
  EXPECT_EQ(Format("%u", -1).text, "4294967295");
  EXPECT_EQ(Format("%d", INT_MIN).text, "-2147483648");
  EXPECT_EQ(Format("%i|%ld|%li", -1, 2, 3).text, "-1|2|3");
  Formatted null = Format("[%s]", static_cast<const char *>(nullptr));
  EXPECT_EQ(null.text, "[(null)]");
  EXPECT_EQ(null.result, 8);
}

TEST_F(TextTest, WsprintfHonoursFlagsWidthAndPrecision) {
  EXPECT_EQ(Format("%5d|%-5d|%05d", 42, 42, -42).text, "   42|42   |-0042");
  EXPECT_EQ(Format("%-05d|", 7).text, "7    |") << "left alignment cancels zero padding";
  EXPECT_EQ(Format("%.3d|%.3d", 7, -5).text, "007|-05");
  EXPECT_EQ(Format("%6.3d", 7).text, "   007");
  EXPECT_EQ(Format("%.2s|%.0s|%.9s", "abcdef", "abc", "abc").text, "ab|abc|abc") << "precision 0 means all";
  EXPECT_EQ(Format("%6s|%-6s|", "ab", "ab").text, "    ab|ab    |");
  EXPECT_EQ(Format("%05s", "ab").text, "   ab") << "texts pad with blanks";
  EXPECT_EQ(Format("%#x|%#X|%#lx", 255, 255, 0).text, "0xff|0XFF|0x0");
  EXPECT_EQ(Format("%3c|%-3c|", 'a', 'b').text, "  a|b  |");
}

TEST_F(TextTest, WsprintfSizesAndWideArguments) {
  EXPECT_EQ(Format("%I64d", static_cast<int64_t>(543210) * 1000000).text, "543210000000");
  EXPECT_EQ(Format("%I64X", static_cast<int64_t>(-0x12345)).text, "FFFFFFFFFFFEDCBB");
  EXPECT_EQ(Format("%I64u", static_cast<int64_t>(-123)).text, "18446744073709551493");
  EXPECT_EQ(Format("%I64d", INT64_MIN).text, "-9223372036854775808");
  EXPECT_EQ(Format("%I32x", -0x12345).text, "fffedcbb");
  EXPECT_EQ(Format("%Id", static_cast<intptr_t>(-12345)).text, "-12345");
  EXPECT_EQ(Format("%p", reinterpret_cast<void *>(0xABC)).text, std::string(2 * sizeof(void *) - 3, '0') + "ABC");
  EXPECT_EQ(Format("%hd", 70000).text, "70000") << "user32 reads a full int for h";
  const WCHAR wide[] = {'G', 'r', 0xFC, 0xDF, 'e', 0x20AC, 0xD83C, 0};
  EXPECT_EQ(Format("%S|%ls|%ws", wide, wide, wide).text,
            "Gr\xFC\xDF"
            "e\x80?|Gr\xFC\xDF"
            "e\x80?|Gr\xFC\xDF"
            "e\x80?");
  EXPECT_EQ(Format("%.3S", wide).text, "Gr\xFC");
  EXPECT_EQ(Format("%hs|%hS", "a", "b").text, "a|b");
  EXPECT_EQ(Format("[%S]", static_cast<const WCHAR *>(nullptr)).text, "[(null)]");
  EXPECT_EQ(Format("%C%lc%hC", 0x20AC, 0x263A, 'z').text, "\x80?z") << "wide characters go through code page 1252";
}

TEST_F(TextTest, WsprintfPrintsUnknownTypesAndStrayPercentsAsText) {
  EXPECT_EQ(Format("100%%").text, "100%");
  EXPECT_EQ(Format("%y|%-y|%5y").text, "y|y|     y") << "the width of an unknown type is still printed";
  EXPECT_EQ(Format("%I6").text, "6");
  EXPECT_EQ(Format("%f", 1).text, "f") << "no floating point";
  Formatted tail = Format("abc%");
  EXPECT_EQ(tail.text, "abc");
  EXPECT_EQ(tail.result, 3);
  EXPECT_EQ(Format("abc%-").text, "abc");
  EXPECT_EQ(Format("").result, 0);
}

// --- wsprintfA: the 1,024-byte limit ----------------------------------------

TEST_F(TextTest, WsprintfCutsAt1023CharactersAndReports1024) {
  const std::string longText(2000, 'L');
  Formatted cut = Format("%s", longText.c_str());
  EXPECT_EQ(cut.text, std::string(1023, 'L'));
  EXPECT_EQ(cut.result, 1024);
  EXPECT_TRUE(cut.canaryIntact);

  Formatted literal = Format(longText.c_str());
  EXPECT_EQ(literal.text.size(), 1023u);
  EXPECT_EQ(literal.result, 1024);

  // A text that fills the buffer exactly counts as full as well.
  EXPECT_EQ(Format("%s", std::string(1023, 'a').c_str()).result, 1024);
  EXPECT_EQ(Format("%s", std::string(1022, 'a').c_str()).result, 1022);

  // Every conversion after the cut is dropped without reading its value.
  Formatted dropped = Format("%s%s%d", longText.c_str(), "more", 5);
  EXPECT_EQ(dropped.text.size(), 1023u);
}

TEST_F(TextTest, WsprintfBoundsHugeWidthsAndPrecisions) {
  Formatted wide = Format("%100000d", 5);
  EXPECT_EQ(wide.text, std::string(1022, ' ') + "5");
  EXPECT_EQ(wide.result, 1024);
  EXPECT_TRUE(wide.canaryIntact);

  Formatted precise = Format("%.100000d", 5);
  EXPECT_EQ(precise.text, std::string(1022, '0') + "5");
  EXPECT_TRUE(precise.canaryIntact);

  // 32-bit counters wrap as user32's do: 4294967297 is a width of 1.
  EXPECT_EQ(Format("%4294967297d|", 5).text, "5|");
  EXPECT_TRUE(Format("%-99999999999999999999s|", "x").canaryIntact);
}

TEST_F(TextTest, WsprintfFitsConversionsIntoTheRoomLeft) {
  const std::string head(1020, 'a');
  // Three characters are left: the width shrinks to them, the number stays whole.
  EXPECT_EQ(Format("%s%10d", head.c_str(), 12).text, head + " 12");
  // A number longer than the room keeps its leading digits.
  EXPECT_EQ(Format("%s%d", head.c_str(), 123456).text, head + "123");
  EXPECT_EQ(Format("%s%d", head.c_str(), -123456).text, head + "-12");
  // The 0x prefix comes on top of the width; near the end it is dropped or cut.
  for (int room = 1; room <= 8; ++room) {
    const std::string start(1023 - room, 'b');
    Formatted prefixed = Format("%s%#8x", start.c_str(), 0xAB);
    EXPECT_TRUE(prefixed.canaryIntact) << room;
    ASSERT_TRUE(prefixed.terminatedInBuffer) << room;
    EXPECT_EQ(prefixed.text.size(), 1023u) << room;
    EXPECT_EQ(prefixed.result, 1024) << room;
  }
}

TEST_F(TextTest, WsprintfWithoutBufferOrFormat) {
  EXPECT_EQ(wsprintfA(nullptr, "abc"), 0);
  char buffer[8] = "xxxxxxx";
  EXPECT_EQ(wsprintfA(buffer, nullptr), 0);
  EXPECT_STREQ(buffer, "");
}

// --- FormatMessageA -----------------------------------------------------------

std::string SystemText(DWORD code, DWORD flags = 0, DWORD language = LANG_USER_DEFAULT) {
  char *text = reinterpret_cast<char *>(0x1);
  const DWORD length = FormatMessageA(
      FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_IGNORE_INSERTS | flags, nullptr,
      code, language, reinterpret_cast<LPSTR>(&text), 0, nullptr);
  if (length == 0) return text == nullptr ? "<failed>" : "<pointer not cleared>";
  std::string result(text);
  EXPECT_EQ(result.size(), length);
  EXPECT_EQ(LocalFree(text), nullptr);
  return result;
}

TEST_F(TextTest, EverySystemMessageIsOneLineEndingInCrLf) {
  const std::vector<DWORD> codes = platform::SystemMessageCodes();
  ASSERT_FALSE(codes.empty());
  for (DWORD code : codes) {
    const std::string text = SystemText(code);
    ASSERT_GE(text.size(), 3u) << code;
    EXPECT_EQ(text.substr(text.size() - 2), "\r\n") << code;
    EXPECT_EQ(text.find_first_of("\r\n"), text.size() - 2) << code << ": one line only";
    EXPECT_EQ(text.find('%'), std::string::npos) << code << ": no inserts";
  }
  EXPECT_EQ(platform::Live().globalBlocks, 0u) << "every block was released with LocalFree";
}

TEST_F(TextTest, EveryErrorThePackageMeetsHasAText) {
  for (DWORD code : {0u,    2u,    3u,    5u,    6u,    8u,    14u,   18u,   29u,   32u,   50u,   63u,   80u,   87u,
                     122u,  123u,  124u,  145u,  183u,  234u,  259u,  1722u, 1784u, 1796u, 1797u, 1801u, 1802u, 1804u,
                     1902u, 1903u, 1906u, 3000u, 3001u, 3002u, 3003u, 3004u, 3005u, 3006u, 3007u, 3008u}) {
    EXPECT_NE(platform::SystemMessageText(code), nullptr) << code;
  }
}

TEST_F(TextTest, UnknownCodeFailsWith317AndAllocatesNothing) {
  char *text = reinterpret_cast<char *>(0x1);
  SetLastError(kSentinelError);
  EXPECT_EQ(FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_IGNORE_INSERTS,
                           nullptr, 0x20001234, LANG_USER_DEFAULT, reinterpret_cast<LPSTR>(&text), 0, nullptr),
            0u);
  EXPECT_EQ(GetLastError(), ERROR_MR_MID_NOT_FOUND);
  EXPECT_EQ(text, nullptr);
  EXPECT_EQ(platform::Live().globalBlocks, 0u);
  EXPECT_EQ(platform::CallCount(platform::Fault::LocalAlloc), 0u);
}

TEST_F(TextTest, SystemMessagesAreEnglishForTheDefaultLanguages) {
  const std::string english = SystemText(ERROR_ACCESS_DENIED);
  platform::SetUserDefaultLangID(MAKELANGID(LANG_GERMAN, SUBLANG_DEFAULT));
  EXPECT_EQ(SystemText(ERROR_ACCESS_DENIED, 0, LANG_USER_DEFAULT), english) << "no German table is installed";
  EXPECT_EQ(SystemText(ERROR_ACCESS_DENIED, 0, 0), english);
  EXPECT_EQ(SystemText(ERROR_ACCESS_DENIED, 0, LANG_SYSTEM_DEFAULT), english);
  EXPECT_EQ(SystemText(ERROR_ACCESS_DENIED, 0, MAKELANGID(LANG_ENGLISH, 0x02)), english);

  char *text = reinterpret_cast<char *>(0x1);
  SetLastError(kSentinelError);
  EXPECT_EQ(FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_ALLOCATE_BUFFER, nullptr, ERROR_ACCESS_DENIED,
                           MAKELANGID(LANG_GERMAN, SUBLANG_DEFAULT), reinterpret_cast<LPSTR>(&text), 0, nullptr),
            0u);
  EXPECT_EQ(GetLastError(), ERROR_RESOURCE_LANG_NOT_FOUND);
  EXPECT_EQ(text, nullptr);
}

TEST_F(TextTest, SystemMessageIntoTheCallersBuffer) {
  const std::string expected = SystemText(ERROR_FILE_NOT_FOUND);
  std::vector<char> buffer(expected.size() + 1 + kCanaryBytes, 'x');
  SetLastError(kSentinelError);
  EXPECT_EQ(FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, ERROR_FILE_NOT_FOUND, 0,
                           buffer.data(), static_cast<DWORD>(expected.size() + 1), nullptr),
            expected.size());
  EXPECT_EQ(std::string(buffer.data()), expected);
  EXPECT_EQ(buffer[expected.size() + 1], 'x');

  // One byte short: refused, and the buffer is left alone.
  std::fill(buffer.begin(), buffer.end(), 'x');
  SetLastError(kSentinelError);
  EXPECT_EQ(FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, ERROR_FILE_NOT_FOUND, 0,
                           buffer.data(), static_cast<DWORD>(expected.size()), nullptr),
            0u);
  EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
  EXPECT_EQ(buffer[0], 'x');

  SetLastError(kSentinelError);
  EXPECT_EQ(FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM, nullptr, ERROR_FILE_NOT_FOUND, 0, nullptr, 0, nullptr), 0u);
  EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
  SetLastError(kSentinelError);
  EXPECT_EQ(FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_ALLOCATE_BUFFER, nullptr, ERROR_FILE_NOT_FOUND,
                           0, nullptr, 0, nullptr),
            0u);
  EXPECT_EQ(GetLastError(), ERROR_NOT_ENOUGH_MEMORY);
}

TEST_F(TextTest, FailedAllocationLeavesNoTextBehind) {
  platform::FailNthCall(platform::Fault::LocalAlloc, 1);
  char *text = reinterpret_cast<char *>(0x1);
  SetLastError(kSentinelError);
  EXPECT_EQ(FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_IGNORE_INSERTS,
                           nullptr, ERROR_ACCESS_DENIED, LANG_USER_DEFAULT, reinterpret_cast<LPSTR>(&text), 0, nullptr),
            0u);
  EXPECT_EQ(GetLastError(), ERROR_NOT_ENOUGH_MEMORY);
  EXPECT_EQ(text, nullptr);
  EXPECT_EQ(platform::Live().globalBlocks, 0u);
}

TEST_F(TextTest, MaxWidthTurnsLineBreaksIntoBlanks) {
  const std::string text = SystemText(ERROR_ACCESS_DENIED, FORMAT_MESSAGE_MAX_WIDTH_MASK);
  ASSERT_FALSE(text.empty());
  EXPECT_EQ(text.back(), ' ');
  EXPECT_EQ(text.find_first_of("\r\n"), std::string::npos);
}

std::string FromString(DWORD flags, const char *source, ...) {
  va_list args;
  va_start(args, source);
  char buffer[256];
  std::memset(buffer, 'x', sizeof(buffer));
  const DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_STRING | flags, source, 0, 0, buffer, sizeof(buffer), &args);
  va_end(args);
  if (length == 0) return "<error " + std::to_string(GetLastError()) + ">";
  EXPECT_EQ(std::strlen(buffer), length);
  return buffer;
}

TEST_F(TextTest, MessageStringsExpandEscapesAndInserts) {
  EXPECT_EQ(FromString(0, "a%nb%rc%td% %.%!%%"), "a\r\nb\rc\td .!%");
  EXPECT_EQ(FromString(0, "line\nnext\r\r\n"), "line\r\nnext\r\n\r\n");
  EXPECT_EQ(FromString(0, "cut%0here"), "cut");
  EXPECT_EQ(FromString(0, "%1 and %2", "one", "two"), "one and two");
  EXPECT_EQ(FromString(0, "%2%1%2", "a", "b"), "bab");
  EXPECT_EQ(FromString(0, "[%1!4d!][%2!-4x!][%3!s!]", DWORD_PTR{7}, DWORD_PTR{0xab}, "t"), "[   7][ab  ][t]");
  EXPECT_EQ(FromString(0, "%1", static_cast<const char *>(nullptr)), "(null)");
  DWORD_PTR array[] = {reinterpret_cast<DWORD_PTR>("x"), 42};
  char buffer[64];
  EXPECT_EQ(FormatMessageA(FORMAT_MESSAGE_FROM_STRING | FORMAT_MESSAGE_ARGUMENT_ARRAY, "%1=%2!u!", 0, 0, buffer,
                           sizeof(buffer), reinterpret_cast<va_list *>(array)),
            4u);
  EXPECT_STREQ(buffer, "x=42");
}

TEST_F(TextTest, MessageStringsRefuseBadSyntax) {
  EXPECT_EQ(FromString(0, "test%"), "<error 87>");
  EXPECT_EQ(FromString(0, "%1!d", 1), "<error 87>");
  char buffer[16];
  SetLastError(kSentinelError);
  EXPECT_EQ(FormatMessageA(FORMAT_MESSAGE_FROM_STRING, "%1", 0, 0, buffer, sizeof(buffer), nullptr), 0u);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER) << "an insert without arguments";
  EXPECT_EQ(FromString(0, "%0rest"), "<error 235>") << "an empty result is no work done";
  EXPECT_EQ(FromString(20, "wrapped text"), "<error 120>") << "wrapping at a width is not provided";
}

TEST_F(TextTest, IgnoreInsertsKeepsInsertsButNotBreaks) {
  EXPECT_EQ(FromString(FORMAT_MESSAGE_IGNORE_INSERTS, "test%1%2!*.*s!%99"), "test%1%2!*.*s!%99");
  EXPECT_EQ(FromString(FORMAT_MESSAGE_IGNORE_INSERTS, "%%% %.%!"), "%%% %.%!");
  EXPECT_EQ(FromString(FORMAT_MESSAGE_IGNORE_INSERTS, "%n%r%t"), "\r\n\r\t");
  EXPECT_EQ(FromString(FORMAT_MESSAGE_IGNORE_INSERTS, "end%"), "<error 87>") << "even when inserts are ignored";
  EXPECT_EQ(FromString(FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_MAX_WIDTH_MASK, "hi\r\r\n%n"), "hi  \r\n");
}

// --- Clock and sleeping ---------------------------------------------------------

SYSTEMTIME Time(WORD year, WORD month, WORD day, WORD hour, WORD minute, WORD second, WORD ms) {
  SYSTEMTIME time{};
  time.wYear = year;
  time.wMonth = month;
  time.wDay = day;
  time.wHour = hour;
  time.wMinute = minute;
  time.wSecond = second;
  time.wMilliseconds = ms;
  time.wDayOfWeek = 99;  // ignored
  return time;
}

void ExpectTime(const SYSTEMTIME &t, WORD year, WORD month, WORD day, WORD dayOfWeek, WORD hour, WORD minute,
                WORD second, WORD ms) {
  EXPECT_EQ(t.wYear, year);
  EXPECT_EQ(t.wMonth, month);
  EXPECT_EQ(t.wDay, day);
  EXPECT_EQ(t.wDayOfWeek, dayOfWeek);
  EXPECT_EQ(t.wHour, hour);
  EXPECT_EQ(t.wMinute, minute);
  EXPECT_EQ(t.wSecond, second);
  EXPECT_EQ(t.wMilliseconds, ms);
}

TEST_F(TextTest, StoppedClockReportsTheSetTimeWithItsWeekday) {
  ASSERT_TRUE(platform::SetLocalTime(Time(2024, 2, 29, 13, 45, 30, 250)));
  SYSTEMTIME now;
  GetLocalTime(&now);
  ExpectTime(now, 2024, 2, 29, 4 /* Thursday */, 13, 45, 30, 250);
  GetSystemTime(&now);
  ExpectTime(now, 2024, 2, 29, 4, 13, 45, 30, 250);
  GetLocalTime(&now);
  EXPECT_EQ(now.wMilliseconds, 250) << "a stopped clock does not move by itself";
}

TEST_F(TextTest, SleepIsRecordedAndMovesTheClockAcrossDateBoundaries) {
  ASSERT_TRUE(platform::SetLocalTime(Time(1999, 12, 31, 23, 59, 59, 500)));
  const DWORD ticksBefore = GetTickCount();
  Sleep(1000);
  Sleep(0);
  SYSTEMTIME now;
  GetLocalTime(&now);
  ExpectTime(now, 2000, 1, 1, 6 /* Saturday */, 0, 0, 0, 500);
  EXPECT_EQ(platform::Sleeps(), (std::vector<DWORD>{1000, 0}));
  EXPECT_GE(GetTickCount() - ticksBefore, 1000u);

  ASSERT_TRUE(platform::SetLocalTime(Time(2023, 2, 28, 23, 0, 0, 0)));
  Sleep(3600 * 1000);
  GetLocalTime(&now);
  ExpectTime(now, 2023, 3, 1, 3 /* Wednesday */, 0, 0, 0, 0);
}

TEST_F(TextTest, ImpossibleTimesAreRefused) {
  ASSERT_TRUE(platform::SetLocalTime(Time(2020, 6, 15, 8, 0, 0, 0)));
  for (const SYSTEMTIME &bad :
       {Time(2023, 2, 29, 0, 0, 0, 0), Time(2100, 2, 29, 0, 0, 0, 0), Time(2020, 13, 1, 0, 0, 0, 0),
        Time(2020, 4, 31, 0, 0, 0, 0), Time(2020, 1, 0, 0, 0, 0, 0), Time(2020, 1, 1, 24, 0, 0, 0),
        Time(2020, 1, 1, 0, 60, 0, 0), Time(2020, 1, 1, 0, 0, 60, 0), Time(2020, 1, 1, 0, 0, 0, 1000),
        Time(1600, 12, 31, 0, 0, 0, 0)}) {
    EXPECT_FALSE(platform::SetLocalTime(bad)) << bad.wYear << "-" << bad.wMonth << "-" << bad.wDay;
  }
  EXPECT_TRUE(platform::SetLocalTime(Time(2000, 2, 29, 0, 0, 0, 0))) << "2000 is a leap year";
  SYSTEMTIME now;
  GetLocalTime(&now);
  EXPECT_EQ(now.wYear, 2000);
}

TEST_F(TextTest, ResetClockFollowsTheHostAgain) {
  ASSERT_TRUE(platform::SetLocalTime(Time(1990, 1, 1, 0, 0, 0, 0)));
  Sleep(5);
  platform::ResetMachine();
  EXPECT_TRUE(platform::Sleeps().empty());
  const time_t hostNow = time(nullptr);
  std::tm host{};
  ASSERT_NE(localtime_r(&hostNow, &host), nullptr);
  SYSTEMTIME now;
  GetLocalTime(&now);
  // Allow for the year changing between the two readings.
  EXPECT_LE(now.wYear - (host.tm_year + 1900), 1);
  EXPECT_GE(now.wYear, host.tm_year + 1900);
}

// --- Message boxes -----------------------------------------------------------------

TEST_F(TextTest, MessageBoxesAnswerWithTheirDefaultButton) {
  EXPECT_EQ(MessageBoxA(nullptr, "done", "Setup", MB_OK), IDOK);
  EXPECT_EQ(MessageBoxA(nullptr, "go on?", "Setup", MB_YESNO | MB_ICONQUESTION), IDYES);
  EXPECT_EQ(MessageBoxA(nullptr, "go on?", "Setup", MB_YESNO | MB_DEFBUTTON2), IDNO);
  EXPECT_EQ(MessageBoxA(nullptr, "x", "Setup", MB_ABORTRETRYIGNORE | MB_DEFBUTTON3), IDIGNORE);
  EXPECT_EQ(MessageBoxA(nullptr, "x", "Setup", MB_OKCANCEL | MB_DEFBUTTON4), IDOK) << "no fourth button";
  EXPECT_EQ(MessageBoxA(nullptr, "x", "Setup", MB_CANCELTRYCONTINUE | MB_DEFBUTTON2), IDTRYAGAIN);
  platform::SetMessageBoxAnswer(IDCANCEL);
  EXPECT_EQ(MessageBoxA(nullptr, "x", "Setup", MB_OKCANCEL), IDCANCEL);

  const auto boxes = platform::MessageBoxes();
  ASSERT_EQ(boxes.size(), 7u);
  EXPECT_EQ(boxes[1].text, "go on?");
  EXPECT_EQ(boxes[1].caption, "Setup");
  EXPECT_EQ(boxes[1].type, static_cast<UINT>(MB_YESNO | MB_ICONQUESTION));
  EXPECT_EQ(boxes[6].answer, IDCANCEL);

  platform::ResetMachine();
  EXPECT_TRUE(platform::MessageBoxes().empty());
  EXPECT_EQ(MessageBoxA(nullptr, "x", "Setup", MB_OKCANCEL), IDOK) << "the chosen answer is reset too";
}

TEST_F(TextTest, MessageBoxGoesToStderrAsOneLine) {
  ::testing::internal::CaptureStderr();
  MessageBoxA(nullptr, "first\r\nsecond", nullptr, MB_OK);
  const std::string line = ::testing::internal::GetCapturedStderr();
  EXPECT_EQ(line, "MessageBox [Error] first  second\n");
  ASSERT_EQ(platform::MessageBoxes().size(), 1u);
  EXPECT_EQ(platform::MessageBoxes()[0].caption, "Error");
  EXPECT_EQ(platform::MessageBoxes()[0].text, "first\r\nsecond");
}

TEST_F(TextTest, MessageBoxRefusesAnUnknownButtonSet) {
  SetLastError(kSentinelError);
  EXPECT_EQ(MessageBoxA(nullptr, "x", "y", 7), 0);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_MSGBOX_STYLE);
  EXPECT_TRUE(platform::MessageBoxes().empty());
}

}  // namespace
