// What the tests of the device, OEM INF and colour-profile operations
// share: the Windows INF and colour folders of the system under test, OEM
// INF files written straight into the INF folder and removed again, and
// the test devices of ../support/test_devices.h, removed before and after
// each case (under Wine they would outlive the run in the prefix).
#pragma once

#include <windows.h>
#include <icm.h>

#include <scoped_handle.h>

#include <string>
#include <vector>

#include "../support/test_devices.h"
#include "setup_run_fixture.h"

namespace setup_test {

class PrintingTest : public SetupRunTest {
 protected:
  void SetUp() override {
    SetupRunTest::SetUp();
    char windows[MAX_PATH] = "";
    GetWindowsDirectoryA(windows, MAX_PATH);
    infDir_ = std::string(windows) + "\\Inf";
    char color[MAX_PATH] = "";
    DWORD size = sizeof(color);
    GetColorDirectoryA(NULL, color, &size);
    colorDir_ = color;
    RemoveOwnInfFiles();
    test_devices::RemoveTestDevices();
  }
  void TearDown() override {
    RemoveOwnInfFiles();
    test_devices::RemoveTestDevices();
    SetupRunTest::TearDown();
  }

  const std::string &InfDir() const { return infDir_; }
  const std::string &ColorDir() const { return colorDir_; }
  std::string InfPath(const std::string &name) const { return infDir_ + "\\" + name; }

  // An INF of the INF folder with `body`, marked as this suite's so that it
  // is removed whatever the case leaves.
  void WriteInf(const std::string &name, const std::string &body) {
    WriteFileBytes(InfPath(name), body + "\r\n[KvtTestMarker]\r\nOwner=PrintingTest\r\n");
  }

  // The names of the INF folder's oem*.inf files in the order a search
  // yields them.
  std::vector<std::string> OemInfNames() {
    std::vector<std::string> names;
    WIN32_FIND_DATAA entry;
    kvt::ScopedFind search(FindFirstFileA((infDir_ + "\\oem*.inf").c_str(), &entry));
    if (!search) return names;
    do names.push_back(entry.cFileName);
    while (FindNextFileA(search.get(), &entry));
    return names;
  }

  // Removes this suite's INF files and their companions (files of the INF
  // folder that carry the marker).
  void RemoveOwnInfFiles() {
    WIN32_FIND_DATAA entry;
    kvt::ScopedFind search(FindFirstFileA((infDir_ + "\\*.inf").c_str(), &entry));
    if (!search) return;
    std::vector<std::string> own;
    do {
      char owner[64] = "";
      GetPrivateProfileStringA("KvtTestMarker", "Owner", "", owner, sizeof(owner), InfPath(entry.cFileName).c_str());
      if (std::string(owner) == "PrintingTest") own.push_back(entry.cFileName);
    } while (FindNextFileA(search.get(), &entry));
    search.reset();
    for (const std::string &name : own) {
      const std::string path = InfPath(name);
      const std::string companion = path.substr(0, path.rfind('.')) + ".pnf";
      SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
      DeleteFileA(path.c_str());
      SetFileAttributesA(companion.c_str(), FILE_ATTRIBUTE_NORMAL);
      DeleteFileA(companion.c_str());
    }
  }

  static std::string Err(DWORD code) {
    return "-->Error(" + std::to_string(code) + "):" + SystemMessage(code) + "\r\n";
  }

 private:
  std::string infDir_;
  std::string colorDir_;
};

}  // namespace setup_test
