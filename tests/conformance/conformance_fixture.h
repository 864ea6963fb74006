// The base of the conformance groups. On Linux each case starts on a fresh
// machine of the platform layer; on Windows or under Wine it meets the
// system as it is, and `underWine_` says which, so that a case asserts what
// Windows does and skips, with the reason, where Wine is known to differ.
#pragma once

#include <windows.h>

#ifndef _WIN32
#include <platform/testing.h>
#endif

#include <gtest/gtest.h>

class ConformanceTest : public ::testing::Test {
 protected:
  void SetUp() override {
#ifdef _WIN32
    HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    underWine_ = ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
#else
    platform::ResetMachine();
#endif
  }

  bool underWine_ = false;
};
