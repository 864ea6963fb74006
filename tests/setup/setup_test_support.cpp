// Scratch folders and file access for the setup tests. The only place in
// the setup tests that knows whether it runs on Windows or over platform/.
#include "setup_test_support.h"

#include <scoped_handle.h>

#include <regex>
#include <vector>

#ifndef _WIN32
#include <platform/testing.h>
#endif

namespace setup_test {

namespace {

#ifdef _WIN32
void RemoveTree(const std::string &dir) {
  WIN32_FIND_DATAA entry;
  kvt::ScopedFind find(FindFirstFileA((dir + "\\*").c_str(), &entry));
  if (find) {
    do {
      std::string name = entry.cFileName;
      if (name == "." || name == "..") continue;
      std::string path = dir + "\\" + name;
      SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
      if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        RemoveTree(path);
      } else {
        DeleteFileA(path.c_str());
      }
    } while (FindNextFileA(find.get(), &entry));
  }
  RemoveDirectoryA(dir.c_str());
}
#endif

}  // namespace

void ScratchFolderTest::SetUp() {
#ifdef _WIN32
  char temp[MAX_PATH];
  DWORD length = GetTempPathA(sizeof(temp), temp);
  ASSERT_TRUE(length > 0 && length < sizeof(temp));
  static unsigned serial = 0;
  dir_ = std::string(temp) + "kvtsetup_" + std::to_string(GetCurrentProcessId()) + "_" + std::to_string(++serial);
  if (!dir_.empty() && dir_.back() == '\\') dir_.pop_back();
  RemoveTree(dir_);
#else
  platform::ResetMachine();
  dir_ = "C:\\SetupTest";
#endif
  ASSERT_TRUE(CreateDirectoryA(dir_.c_str(), NULL)) << dir_ << " error " << GetLastError();
}

void ScratchFolderTest::TearDown() {
#ifdef _WIN32
  RemoveTree(dir_);
#endif
}

std::string ScratchFolderTest::PathOf(const std::string &name) const { return dir_ + "\\" + name; }

void ScratchFolderTest::WriteFileBytes(const std::string &path, const std::string &bytes) {
  kvt::ScopedFile file(CreateFileA(path.c_str(), GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL));
  ASSERT_TRUE(file) << path << " error " << GetLastError();
  DWORD written = 0;
  ASSERT_TRUE(WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, NULL));
  ASSERT_EQ(written, bytes.size());
}

std::string ScratchFolderTest::ReadFileBytes(const std::string &path) {
  kvt::ScopedFile file(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL, OPEN_EXISTING,
                                   FILE_ATTRIBUTE_NORMAL, NULL));
  std::string bytes;
  if (!file) return bytes;
  char chunk[4096];
  DWORD got = 0;
  while (ReadFile(file.get(), chunk, sizeof(chunk), &got, NULL) && got > 0) bytes.append(chunk, got);
  return bytes;
}

bool ScratchFolderTest::FileExists(const std::string &path) {
  return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool SetTestClock(WORD year, WORD month, WORD day, WORD hour, WORD minute, WORD second) {
#ifdef _WIN32
  (void)year, (void)month, (void)day, (void)hour, (void)minute, (void)second;
  return false;
#else
  SYSTEMTIME time = {};
  time.wYear = year;
  time.wMonth = month;
  time.wDay = day;
  time.wHour = hour;
  time.wMinute = minute;
  time.wSecond = second;
  const bool set = platform::SetLocalTime(time);
  EXPECT_TRUE(set) << "the virtual clock refused the time";
  return set;
#endif
}

bool UnderWine() {
#ifdef _WIN32
  HMODULE ntdll = GetModuleHandleA("ntdll.dll");
  return ntdll != NULL && GetProcAddress(ntdll, "wine_get_version") != NULL;
#else
  return false;
#endif
}

std::string MaskBannerTimes(const std::string &log) {
  static const std::regex time(R"(\(\d{4}/\d{2}/\d{2} \d{2}:\d{2}:\d{2}\))");
  return std::regex_replace(log, time, "(TIME)");
}

namespace {

// The lines of a log, each with its line end; a last line without one
// counts too.
std::vector<std::string> SplitLines(const std::string &text) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < text.size()) {
    const size_t end = text.find('\n', start);
    const size_t next = end == std::string::npos ? text.size() : end + 1;
    lines.push_back(text.substr(start, next - start));
    start = next;
  }
  return lines;
}

std::string Shown(const std::vector<std::string> &lines, size_t index) {
  if (index >= lines.size()) return "(no such line: the log ends before it)";
  std::string shown = "\"";
  for (char ch : lines[index]) {
    if (ch == '\r') {
      shown += "\\r";
    } else if (ch == '\n') {
      shown += "\\n";
    } else {
      shown += ch;
    }
  }
  return shown + "\"";
}

}  // namespace

::testing::AssertionResult SameLines(const std::string &actual, const std::string &expected) {
  if (actual == expected) return ::testing::AssertionSuccess();
  const std::vector<std::string> got = SplitLines(actual), want = SplitLines(expected);
  size_t line = 0;
  while (line < got.size() && line < want.size() && got[line] == want[line]) ++line;
  return ::testing::AssertionFailure() << "line " << line + 1 << " of the log differs (" << got.size() << " lines, "
                                       << want.size() << " expected)\n  actual:   " << Shown(got, line)
                                       << "\n  expected: " << Shown(want, line);
}

std::string SystemMessage(DWORD code) {
  kvt::ScopedLocalBlock<char> text;
  DWORD flags = FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS;
  if (FormatMessageA(flags, NULL, code, MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT),
                     reinterpret_cast<char *>(text.receive()), 0, NULL) == 0) {
    return std::string();
  }
  return text.get();
}

}  // namespace setup_test
