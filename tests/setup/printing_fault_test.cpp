// Devices with failures injected: a device list that cannot be opened, and
// a failed removal in the middle of a walk, which must neither stop the
// walk nor turn its normal end into a failure. No set or buffer may leak.
#include <platform/testing.h>

#include "printing_fixture.h"

namespace setup_test {
namespace {

using test_devices::CreateDevice;
using test_devices::MultiString;

class PrintingFaultTest : public PrintingTest {};

TEST_F(PrintingFaultTest, ADeviceListThatCannotBeOpenedGivesZeroAndNoLog) {
  ASSERT_NE(CreateDevice(MultiString({"KVTTEST\\X"})), "");
  StartLoggingRun();
  platform::FailNthCall(platform::Fault::DeviceList, 1);
  EXPECT_EQ(KVT_RemoveDevice("KVTTEST\\X"), 0);
  EXPECT_TRUE(SameLines(LinesOfRun(), ""));
  EXPECT_EQ(test_devices::TestDevices().size(), 1u);
}

TEST_F(PrintingFaultTest, AFailedRemovalIsLoggedAndTheWalkGoesOn) {
  ASSERT_NE(CreateDevice(MultiString({"KVTTEST\\X"})), "");
  const std::string second = CreateDevice(MultiString({"KVTTEST\\X"}));
  const platform::LiveObjects before = platform::Live();
  StartLoggingRun();
  platform::FailNthCall(platform::Fault::DeviceRemoval, 1);
  EXPECT_EQ(KVT_RemoveDevice("KVTTEST\\X"), 1);
  EXPECT_TRUE(SameLines(LinesOfRun(), "SetupDiCallClassInstaller(DIF_REMOVE,KVTTEST\\X)\r\n" +
                                          Err(ERROR_ACCESS_DENIED) +
                                          "SetupDiCallClassInstaller(DIF_REMOVE,KVTTEST\\X)\r\n-->Success\r\n"));
  EXPECT_EQ(test_devices::TestDevices().size(), 1u);
  const platform::LiveObjects after = platform::Live();
  EXPECT_EQ(after.deviceInfoSets, before.deviceInfoSets);
  EXPECT_EQ(after.globalBlocks, before.globalBlocks);
}

TEST_F(PrintingFaultTest, AFailedBufferIsPassedOverAndNothingLeaks) {
  ASSERT_NE(CreateDevice(MultiString({"KVTTEST\\X"})), "");
  platform::FailNthCall(platform::Fault::LocalAlloc, 1);
  EXPECT_EQ(KVT_RemoveDevice("KVTTEST\\X"), 1);
  EXPECT_EQ(test_devices::TestDevices().size(), 1u);  // passed over, not removed
  EXPECT_EQ(platform::Live().deviceInfoSets, 0u);
}

}  // namespace
}  // namespace setup_test
