// What the setup library's tests share: a fresh scratch folder per case
// (on Linux in a fresh machine's C:, on Windows under the temp folder),
// reading and writing its files through the Win32 file calls, and the few
// points where the tests must know which Windows they run on.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <string>

namespace setup_test {

class ScratchFolderTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // The scratch folder, without a trailing backslash.
  const std::string &Dir() const { return dir_; }
  // Dir() + "\" + name.
  std::string PathOf(const std::string &name) const;

  // Replaces the file's content with `bytes`.
  void WriteFileBytes(const std::string &path, const std::string &bytes);
  // The file's content; empty when it cannot be opened.
  std::string ReadFileBytes(const std::string &path);
  bool FileExists(const std::string &path);

 private:
  std::string dir_;
};

// Sets the local clock that the library's banners read. False where the
// clock is the real one (Windows), and tests then match the time fields
// with TimePattern instead.
bool SetTestClock(WORD year, WORD month, WORD day, WORD hour, WORD minute, WORD second);

// Replaces every banner time "(yyyy/mm/dd hh:mm:ss)" with "(TIME)".
std::string MaskBannerTimes(const std::string &log);

// Whether the Windows under test is Wine (never on Linux).
bool UnderWine();

// The system's message text for `code`, as FormatMessageA gives it.
std::string SystemMessage(DWORD code);

// Whether a log's lines are the expected ones, byte for byte. A failure
// names the first line that differs and shows that line of each side, its
// CR and LF written out, rather than the two logs whole.
::testing::AssertionResult SameLines(const std::string &actual, const std::string &expected);

}  // namespace setup_test
