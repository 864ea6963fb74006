// The spool stream's words and commands as they reach the job: big-endian
// words, one WritePrinter call per word or payload, and a command that stops
// at its first failed call.
#include <cstring>

#include "render_test_support.h"
#include "spool.h"

namespace render_test {
namespace {

using SpoolStreamTest = RenderTest;

std::vector<uint8_t> Bytes(std::initializer_list<uint8_t> bytes) { return bytes; }

TEST_F(SpoolStreamTest, CommandsAreBigEndianWordsOneCallEach) {
  StartJob();
  BYTE settings[SETTINGS_IMAGE_SIZE];
  for (size_t i = 0; i < sizeof(settings); i++) settings[i] = static_cast<BYTE>(i);
  const BYTE pixels[3] = {0xAA, 0xBB, 0xCC};
  unsigned calls = platform::CallCount(platform::Fault::WritePrinter);
  EXPECT_TRUE(SendCommand(hPrinter_, CMD_END_PAGE));
  EXPECT_EQ(platform::CallCount(platform::Fault::WritePrinter) - calls, 2u);
  EXPECT_TRUE(SendPageSetup(hPrinter_, 1516, 2274, settings));
  EXPECT_EQ(platform::CallCount(platform::Fault::WritePrinter) - calls, 7u);
  EXPECT_TRUE(SendImageData(hPrinter_, pixels, sizeof(pixels)));
  EXPECT_EQ(platform::CallCount(platform::Fault::WritePrinter) - calls, 11u);
  std::vector<uint8_t> bytes = EndJob();
  std::vector<uint8_t> expected = {0x4B, 0x56, 0x72, 0x5A, 0, 0, 0,    0x83, 0x4B, 0x56, 0x72, 0x5A,
                                   0,    0,    0,    0x84, 0, 0, 0x05, 0xEC, 0,    0,    8,    0xE2};
  expected.insert(expected.end(), settings, settings + sizeof(settings));
  for (uint8_t b : {0x4B, 0x56, 0x72, 0x5A, 0, 0, 0, 0x85, 0, 0, 0, 3, 0xAA, 0xBB, 0xCC}) expected.push_back(b);
  EXPECT_EQ(bytes, expected);
}

TEST_F(SpoolStreamTest, AFailedCallEndsItsCommand) {
  const BYTE pixels[6] = {1, 2, 3, 4, 5, 6};
  const std::vector<uint8_t> full = {0x4B, 0x56, 0x72, 0x5A, 0, 0, 0, 0x85, 0, 0, 0, 6, 1, 2, 3, 4, 5, 6};
  const std::vector<uint8_t> endDoc = {0x4B, 0x56, 0x72, 0x5A, 0, 0, 0, 0x81};
  std::vector<uint8_t> expected;
  StartJob();
  for (unsigned nth = 1; nth <= 4; nth++) {
    platform::FailNthCall(platform::Fault::WritePrinter, nth);
    EXPECT_FALSE(SendImageData(hPrinter_, pixels, sizeof(pixels))) << nth;
    EXPECT_TRUE(SendCommand(hPrinter_, CMD_END_DOC));  // the stream goes on
    expected.insert(expected.end(), full.begin(), full.begin() + 4 * (nth - 1));
    expected.insert(expected.end(), endDoc.begin(), endDoc.end());
  }
  EXPECT_EQ(EndJob(), expected);
}

TEST_F(SpoolStreamTest, AnEmptyDocumentIsSixteenBytes) {
  TestPdev test(hPrinter_, nullptr);
  StartJob();
  EXPECT_TRUE(DrvStartDoc(test.pso(), const_cast<LPWSTR>(L"empty"), jobId_));
  EXPECT_TRUE(DrvEndDoc(test.pso(), 0));
  EXPECT_EQ(EndJob(), Bytes({0x4B, 0x56, 0x72, 0x5A, 0, 0, 0, 0x80, 0x4B, 0x56, 0x72, 0x5A, 0, 0, 0, 0x81}));
}

}  // namespace
}  // namespace render_test
