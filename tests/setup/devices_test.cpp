// Removal of the printer's devices by hardware ID: exactly the devices one
// of whose IDs matches (letter case ignored, any string of the list, also
// a list without its final terminator), adjacent matches both removed, the
// device's own spelling logged, and the result of a normal walk whatever
// the argument.
#include <string>

#include "printing_fixture.h"

namespace setup_test {
namespace {

using test_devices::CreateDevice;
using test_devices::MultiString;

class DevicesTest : public PrintingTest {
 protected:
  static std::string Removed(const std::string &spelling) {
    return "SetupDiCallClassInstaller(DIF_REMOVE," + spelling + ")\r\n-->Success\r\n";
  }
};

TEST_F(DevicesTest, RemovesExactlyTheMatchingDevices) {
  const std::string first = CreateDevice(MultiString({"KVTTEST\\RZ4_PRINTER"}));
  const std::string second = CreateDevice(MultiString({"KVTTEST\\OTHER", "kvttest\\rz4_printer"}));
  const std::string between = CreateDevice(MultiString({"KVTTEST\\RZ4_PRINTER_2", "KVTTEST\\RZ4"}));
  const std::string third = CreateDevice(MultiString({"KVTTEST\\Rz4_Printer"}));
  const std::string after = CreateDevice(MultiString({"KVTTEST\\RZ4_PRINTERX"}));
  ASSERT_NE(after, "");
  StartLoggingRun();
  EXPECT_EQ(KVT_RemoveDevice("KVTTEST\\RZ4_Printer"), 1);
  EXPECT_EQ(test_devices::TestDevices(), (std::vector<std::string>{between, after}));
  const std::string lines = LinesOfRun();
  EXPECT_EQ(lines.size(), Removed("KVTTEST\\RZ4_PRINTER").size() * 3) << lines;
  for (const char *spelling : {"KVTTEST\\RZ4_PRINTER", "kvttest\\rz4_printer", "KVTTEST\\Rz4_Printer"}) {
    EXPECT_NE(lines.find(Removed(spelling)), std::string::npos) << lines;
  }
}

TEST_F(DevicesTest, ReturnsOneWhateverTheArgumentAndLogsNothingWithoutAMatch) {
  const std::string device = CreateDevice(MultiString({"KVTTEST\\KEEP"}));
  ASSERT_NE(device, "");
  StartLoggingRun();
  EXPECT_EQ(KVT_RemoveDevice("KVTTEST\\NOTHING"), 1);
  EXPECT_EQ(KVT_RemoveDevice(""), 1);
  EXPECT_EQ(KVT_RemoveDevice(NULL), 1);
  EXPECT_TRUE(SameLines(LinesOfRun(), ""));
  EXPECT_EQ(test_devices::TestDevices(), std::vector<std::string>{device});
}

// The last string lacks its terminator and the list its own: the scan
// stays inside the property's bytes (a sanitizer run shows any overrun).
TEST_F(DevicesTest, AListWithoutTerminatorsIsScannedWithinItsBytes) {
  const std::string text = "KVTTEST\\FIRST";
  std::vector<BYTE> ids(text.begin(), text.end());
  ids.push_back(0);
  const std::string last = "KVTTEST\\UNTERMINATED";
  ids.insert(ids.end(), last.begin(), last.end());
  ASSERT_NE(CreateDevice(ids), "");
  EXPECT_EQ(KVT_RemoveDevice("KVTTEST\\UNTERMINATED"), 1);
  EXPECT_TRUE(test_devices::TestDevices().empty());
}

}  // namespace
}  // namespace setup_test
