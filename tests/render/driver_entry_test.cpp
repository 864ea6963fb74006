// The exported entry points: the user-mode query and the hook table.
#include <gtest/gtest.h>

#include <cstring>

#include "hooks.h"

namespace {

template <typename Fn>
void *Address(Fn *fn) {
  return reinterpret_cast<void *>(fn);
}

TEST(DrvQueryDriverInfo, AnswersUserModeIntoAFourByteBuffer) {
  DWORD value = 0xdeadbeef, cbNeeded = 0;
  EXPECT_TRUE(DrvQueryDriverInfo(DRVQUERY_USERMODE, &value, sizeof(value), &cbNeeded));
  EXPECT_EQ(value, 1u);
  EXPECT_EQ(cbNeeded, 4u);
  EXPECT_TRUE(DrvQueryDriverInfo(DRVQUERY_USERMODE, &value, sizeof(value), nullptr));
}

TEST(DrvQueryDriverInfo, TooSmallOrMissingBufferStillReportsTheSize) {
  BYTE buffer[4] = {0xAA, 0xAA, 0xAA, 0xAA};
  DWORD cbNeeded = 0;
  SetLastError(0xdeadbeef);
  EXPECT_FALSE(DrvQueryDriverInfo(DRVQUERY_USERMODE, buffer, 3, &cbNeeded));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
  EXPECT_EQ(cbNeeded, 4u);
  EXPECT_EQ(buffer[0], 0xAA);
  cbNeeded = 0;
  EXPECT_FALSE(DrvQueryDriverInfo(DRVQUERY_USERMODE, nullptr, 4, &cbNeeded));
  EXPECT_EQ(cbNeeded, 4u);
}

TEST(DrvQueryDriverInfo, OtherModesTouchNothing) {
  DWORD value = 7, cbNeeded = 99;
  SetLastError(0xdeadbeef);
  EXPECT_FALSE(DrvQueryDriverInfo(2, &value, sizeof(value), &cbNeeded));
  EXPECT_EQ(cbNeeded, 99u);
  EXPECT_EQ(value, 7u);
  EXPECT_EQ(GetLastError(), 0xdeadbeefu);
}

TEST(DrvEnableDriver, HandsOutTheFifteenHooksInTableOrder) {
  DRVENABLEDATA ded{};
  ASSERT_TRUE(DrvEnableDriver(DDI_DRIVER_VERSION_NT5, sizeof(ded), &ded));
  EXPECT_EQ(ded.iDriverVersion, 0x20000u);
  ASSERT_EQ(ded.c, 15u);
  const struct {
    ULONG index;
    void *fn;
  } expected[] = {
      {0, Address(DrvEnablePDEV)},  {7, Address(DrvResetPDEV)},      {1, Address(DrvCompletePDEV)},
      {2, Address(DrvDisablePDEV)}, {3, Address(DrvEnableSurface)},  {4, Address(DrvDisableSurface)},
      {20, Address(DrvStretchBlt)}, {32, Address(DrvSendPage)},      {33, Address(DrvStartPage)},
      {35, Address(DrvStartDoc)},   {34, Address(DrvEndDoc)},        {57, Address(DrvStartBanding)},
      {58, Address(DrvNextBand)},   {69, Address(DrvStretchBltROP)}, {70, Address(DrvPlgBlt)},
  };
  for (ULONG i = 0; i < 15; i++) {
    EXPECT_EQ(ded.pdrvfn[i].iFunc, expected[i].index) << "entry " << i;
    EXPECT_EQ(reinterpret_cast<void *>(ded.pdrvfn[i].pfn), expected[i].fn) << "entry " << i;
  }
  EXPECT_TRUE(DrvEnableDriver(0x30000, sizeof(ded) + 8, &ded));
  DrvDisableDriver();
}

TEST(DrvEnableDriver, RefusesOldEnginesAndShortRecordsWithoutWriting) {
  // Sentinels: a refused call must not write a single byte of the record.
  DRVENABLEDATA ded;
  std::memset(&ded, 0xCD, sizeof(ded));
  const struct {
    ULONG version;
    ULONG cj;
  } refused[] = {{0x10000, sizeof(ded)}, {0x1FFFF, sizeof(ded)}, {0x20000, sizeof(ded) - 4}, {0x20000, 0}};
  for (const auto &call : refused) {
    SetLastError(0);
    EXPECT_FALSE(DrvEnableDriver(call.version, call.cj, &ded)) << call.version << "/" << call.cj;
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_BAD_DRIVER_LEVEL));
    EXPECT_EQ(ded.c, 0xCDCDCDCDu);
  }
  SetLastError(0);
  EXPECT_FALSE(DrvEnableDriver(DDI_DRIVER_VERSION_NT5, sizeof(ded), nullptr));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
}

}  // namespace
