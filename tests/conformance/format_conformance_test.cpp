// wsprintfA and FormatMessageA as Windows gives them: the same cases run
// against the platform layer on Linux and against the system under Wine.
// Output buffers are filled with a pattern and the last error set to
// 0xdeadbeef before each call, so that a byte written past the text or an
// error code left unset shows. Message wording differs between systems, so
// only the shape of a system text is checked, never its words.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdarg>
#include <cstring>
#include <string>
#include <vector>

#include "conformance_fixture.h"

namespace {

constexpr DWORD kUnset = 0xdeadbeef;
constexpr char kPattern = '#';
constexpr size_t kWsprintfBytes = 1024;
constexpr size_t kCanaryBytes = 32;

using FormatConformance = ConformanceTest;

struct Formatted {
  std::string text;
  int result = 0;
  bool canaryIntact = true;
};

// One wvsprintfA call into a buffer of exactly 1,024 bytes plus a canary.
Formatted Format(const char *format, ...) {
  std::vector<char> buffer(kWsprintfBytes + kCanaryBytes, kPattern);
  va_list args;
  va_start(args, format);
  Formatted out;
  out.result = wvsprintfA(buffer.data(), format, args);
  va_end(args);
  if (std::memchr(buffer.data(), '\0', kWsprintfBytes) != nullptr) out.text = buffer.data();
  for (size_t i = kWsprintfBytes; i < buffer.size(); ++i) out.canaryIntact &= buffer[i] == kPattern;
  return out;
}

TEST_F(FormatConformance, WsprintfConversionsOfTheLog) {
  Formatted line = Format("%04d/%02d/%02d %02d:%02d:%02d.%03d %s", 2024, 3, 9, 7, 5, 0, 42, "start");
  EXPECT_EQ(line.text, "2024/03/09 07:05:00.042 start");
  EXPECT_EQ(line.result, static_cast<int>(line.text.size()));
  EXPECT_EQ(Format("%03d|%02d|%02d", -5, 123, 0).text, "-05|123|00");
  EXPECT_EQ(Format("-->Error(%d):%s", 1722, "text").text, "-->Error(1722):text");
  EXPECT_EQ(Format("%lx|%lX|%x", static_cast<DWORD>(0xDEADBEEF), static_cast<DWORD>(0xABC), 0u).text, "deadbeef|ABC|0");
  EXPECT_EQ(Format("%u|%d", 0xFFFFFFFFu, -2147483647 - 1).text, "4294967295|-2147483648");
  EXPECT_EQ(Format("[%s]", static_cast<const char *>(nullptr)).text, "[(null)]");
  EXPECT_EQ(Format("100%%").text, "100%");
}

TEST_F(FormatConformance, WsprintfFlagsWidthAndPrecision) {
  EXPECT_EQ(Format("%5d|%-5d|%05d", 42, 42, -42).text, "   42|42   |-0042");
  EXPECT_EQ(Format("%010ld", static_cast<LONG>(-1)).text, "-000000001");
  EXPECT_EQ(Format("%.2s|%6s|%-6s|", "abcdef", "ab", "ab").text, "ab|    ab|ab    |");
  EXPECT_EQ(Format("%#x|%#X", 255u, 255u).text, "0xff|0XFF");
  EXPECT_EQ(Format("%c%c", 'o', 'k').text, "ok");
  const WCHAR wide[] = {'w', 'i', 'd', 'e', 0};
  EXPECT_EQ(Format("%S|%ls", wide, wide).text, "wide|wide");
}

TEST_F(FormatConformance, WsprintfCutsAt1023CharactersAndReturns1024) {
  const std::string longText(1500, 'z');
  Formatted cut = Format("%s", longText.c_str());
  EXPECT_EQ(cut.text, std::string(1023, 'z'));
  EXPECT_EQ(cut.result, 1024);
  EXPECT_TRUE(cut.canaryIntact) << "nothing past the 1,024th byte";

  Formatted literal = Format(longText.c_str());
  EXPECT_EQ(literal.text.size(), 1023u);
  EXPECT_EQ(literal.result, 1024);
  EXPECT_TRUE(literal.canaryIntact);

  Formatted padded = Format("%s%5000d", "x", 1);
  EXPECT_EQ(padded.text.size(), 1023u);
  EXPECT_EQ(padded.result, 1024);
  EXPECT_TRUE(padded.canaryIntact);

  EXPECT_EQ(Format("%s", std::string(1022, 'y').c_str()).result, 1022);
}

// A system text fetched as the setup log fetches it.
struct SystemText {
  DWORD length = 0;
  DWORD error = 0;
  std::string text;
  bool pointerCleared = false;
};

SystemText FetchSystemText(DWORD code) {
  char *text = reinterpret_cast<char *>(0x1);
  SetLastError(kUnset);
  SystemText out;
  out.length = FormatMessageA(
      FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code,
      MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), reinterpret_cast<LPSTR>(&text), 0, nullptr);
  out.error = GetLastError();
  if (out.length != 0 && text != nullptr) {
    out.text = text;
    EXPECT_EQ(LocalFree(text), nullptr);
  }
  out.pointerCleared = text == nullptr;
  return out;
}

void ExpectOneLineEndingInCrLf(const SystemText &message, DWORD code) {
  ASSERT_GT(message.length, 2u) << code << " error " << message.error;
  EXPECT_EQ(message.text.size(), message.length) << code;
  EXPECT_EQ(message.text.substr(message.text.size() - 2), "\r\n") << code;
  EXPECT_EQ(message.text.find_first_of("\r\n"), message.text.size() - 2) << code;
}

TEST_F(FormatConformance, SystemTextsEndInCrLf) {
  for (DWORD code : {ERROR_FILE_NOT_FOUND, ERROR_PATH_NOT_FOUND, ERROR_ACCESS_DENIED, ERROR_SHARING_VIOLATION,
                     ERROR_INVALID_PARAMETER, ERROR_INSUFFICIENT_BUFFER, ERROR_NO_MORE_ITEMS}) {
    ExpectOneLineEndingInCrLf(FetchSystemText(code), code);
  }
}

TEST_F(FormatConformance, SpoolerErrorsHaveSystemTexts) {
  if (underWine_) GTEST_SKIP() << "Wine's message table has no text for the spooler errors 3000 and 3001";
  for (DWORD code : {3000u, 3001u}) ExpectOneLineEndingInCrLf(FetchSystemText(code), code);
}

TEST_F(FormatConformance, CodeWithoutTextGives317) {
  // The customer bit: no system table holds such a code.
  const SystemText missing = FetchSystemText(0x20001234);
  EXPECT_EQ(missing.length, 0u);
  EXPECT_EQ(missing.error, static_cast<DWORD>(ERROR_MR_MID_NOT_FOUND));
  EXPECT_TRUE(missing.pointerCleared);
}

TEST_F(FormatConformance, SystemTextIntoTheCallersBuffer) {
  const SystemText reference = FetchSystemText(ERROR_ACCESS_DENIED);
  ASSERT_GT(reference.length, 0u);
  std::vector<char> buffer(reference.length + 1 + kCanaryBytes, kPattern);
  SetLastError(kUnset);
  EXPECT_EQ(FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, ERROR_ACCESS_DENIED, 0,
                           buffer.data(), reference.length + 1, nullptr),
            reference.length);
  EXPECT_EQ(std::string(buffer.data()), reference.text);
  EXPECT_EQ(buffer[reference.length + 1], kPattern);

  SetLastError(kUnset);
  EXPECT_EQ(FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, ERROR_ACCESS_DENIED, 0,
                           buffer.data(), 2, nullptr),
            0u);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
}

DWORD FromString(DWORD flags, const char *source, char *out, DWORD size, ...) {
  va_list args;
  va_start(args, size);
  const DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_STRING | flags, source, 0, 0, out, size, &args);
  va_end(args);
  return length;
}

TEST_F(FormatConformance, MessageStringsExpandEscapesAndInserts) {
  char out[128];
  std::memset(out, kPattern, sizeof(out));
  EXPECT_EQ(FromString(0, "%1 %2!d! %3!04x!%n", out, sizeof(out), "a", 12, 0xab), 11u);
  EXPECT_STREQ(out, "a 12 00ab\r\n");
  EXPECT_EQ(FromString(0, "x%.%!% %%%r%t%0tail", out, sizeof(out)), 7u);
  EXPECT_STREQ(out, "x.! %\r\t") << "escapes, and %0 ends the text";
  EXPECT_EQ(FromString(FORMAT_MESSAGE_MAX_WIDTH_MASK, "one\r\ntwo\n", out, sizeof(out)), 8u);
  EXPECT_STREQ(out, "one two ");

  SetLastError(kUnset);
  std::memset(out, kPattern, sizeof(out));
  EXPECT_EQ(FromString(0, "test%", out, sizeof(out)), 0u);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  EXPECT_EQ(out[0], kPattern);
}

TEST_F(FormatConformance, IgnoreInsertsKeepsInserts) {
  char out[128];
  EXPECT_EQ(FromString(FORMAT_MESSAGE_IGNORE_INSERTS, "test%1%2!*.*s!%99", out, sizeof(out)), 17u);
  EXPECT_STREQ(out, "test%1%2!*.*s!%99");
  EXPECT_EQ(FromString(FORMAT_MESSAGE_IGNORE_INSERTS, "%%% %.%!%n", out, sizeof(out)), 10u);
  EXPECT_STREQ(out, "%%% %.%!\r\n");

  SetLastError(kUnset);
  std::memset(out, kPattern, sizeof(out));
  EXPECT_EQ(FromString(FORMAT_MESSAGE_IGNORE_INSERTS, "%0test", out, sizeof(out)), 0u);
  EXPECT_EQ(GetLastError(), 235u) << "ERROR_NO_WORK_DONE";
  EXPECT_EQ(out[0], kPattern);

  SetLastError(kUnset);
  EXPECT_EQ(FromString(FORMAT_MESSAGE_IGNORE_INSERTS, "end%", out, sizeof(out)), 0u);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER)) << "a text may not end in %";
}

}  // namespace
