// Loads the shipped KvtSetup.dll as an installer does (LoadLibrary and the
// exports by their plain names) and runs a short setup run through it under
// a real Windows loader: calling conventions, exports and unloading.
#include <scoped_handle.h>

#include <cstring>

#include "setup_test_support.h"

namespace setup_test {
namespace {

typedef INT(WINAPI *SetupStartFn)(LPCSTR, LPCSTR, DWORD, LPCSTR);
typedef INT(WINAPI *SetupFinishFn)(void);
typedef INT(__cdecl *LogFileWriteFn)(LPCSTR, ...);
typedef INT(WINAPI *IniStringFn)(LPCSTR, LPCSTR, LPSTR, DWORD);
typedef INT(WINAPI *IniIntFn)(LPCSTR, LPCSTR, INT *);

template <typename Fn>
Fn Export(HMODULE dll, const char *name) {
  return reinterpret_cast<Fn>(reinterpret_cast<void *>(GetProcAddress(dll, name)));
}

class KvtSetupDll : public ScratchFolderTest {
 protected:
  void SetUp() override {
    ScratchFolderTest::SetUp();
    dll_ = LoadLibraryA("KvtSetup.dll");
    ASSERT_NE(dll_, nullptr) << "LoadLibrary error " << GetLastError();
    start_ = Export<SetupStartFn>(dll_, "KVT_SetupStart");
    finish_ = Export<SetupFinishFn>(dll_, "KVT_SetupFinish");
    write_ = Export<LogFileWriteFn>(dll_, "KVT_LogFileWrite");
    iniString_ = Export<IniStringFn>(dll_, "KVT_GetKvtSetupIniString");
    iniInt_ = Export<IniIntFn>(dll_, "KVT_GetKvtSetupIniInt");
    ASSERT_TRUE(start_ && finish_ && write_ && iniString_ && iniInt_) << "the five exports by plain name";
  }
  void TearDown() override {
    if (dll_ != nullptr) FreeLibrary(dll_);
    ScratchFolderTest::TearDown();
  }

  HMODULE dll_ = nullptr;
  SetupStartFn start_ = nullptr;
  SetupFinishFn finish_ = nullptr;
  LogFileWriteFn write_ = nullptr;
  IniStringFn iniString_ = nullptr;
  IniIntFn iniInt_ = nullptr;
};

TEST_F(KvtSetupDll, ExportsOnlyThePlainNames) {
  EXPECT_EQ(GetProcAddress(dll_, "KVT_SetupStart@16"), nullptr);
  EXPECT_EQ(GetProcAddress(dll_, "_KVT_SetupStart@16"), nullptr);
  EXPECT_EQ(GetProcAddress(dll_, "LogResult"), nullptr) << "the result logger is internal";
}

TEST_F(KvtSetupDll, RunThroughTheExports) {
  WriteFileBytes(PathOf("KvtSetup.ini"), "[KVTSetup]\r\nLogLevel=1\r\nDriverName=KVT RZ4\r\n");
  SetLastError(0xdeadbeef);
  EXPECT_EQ(start_(Dir().c_str(), NULL, 0, "dll"), 1);
  EXPECT_EQ(GetLastError(), 0u);
  char name[32];
  std::memset(name, 'x', sizeof(name));
  EXPECT_EQ(iniString_("KVTSetup", "DriverName", name, sizeof(name)), 7);
  INT level = 0;
  EXPECT_EQ(iniInt_("KVTSetup", "LogLevel", &level), 1);
  EXPECT_EQ(level, 1);
  EXPECT_EQ(write_("%s %d %lx", "args", -3, 0xabcUL), 0) << "cdecl variadic call";
  EXPECT_EQ(finish_(), 0);
  EXPECT_TRUE(SameLines(MaskBannerTimes(ReadFileBytes(PathOf("KvtSetup.log"))),
                        "*** Log Start (TIME) ***\r\nmemo : dll\r\nDriverName=KVT RZ4\r\nLogLevel=1\r\nargs -3 abc\r\n"
                        "*** Log Finish (TIME) ***\r\n\r\n"));
}

TEST_F(KvtSetupDll, NullDirectoryIsTheHostProgramsFolderNotTheLibrarys) {
  char program[MAX_PATH] = {};
  ASSERT_GT(GetModuleFileNameA(NULL, program, sizeof(program)), 0u);
  std::string folder(program, std::strrchr(program, '\\') - program);
  std::string ini = folder + "\\KvtSetupDllProbe.ini";
  WriteFileBytes(ini, "[Probe]\r\nWhere=host\r\n");
  char where[16] = "";
  start_(NULL, "KvtSetupDllProbe", 0, NULL);
  EXPECT_EQ(iniString_("Probe", "Where", where, sizeof(where)), 4);
  finish_();
  DeleteFileA(ini.c_str());
  char library[MAX_PATH] = {};
  GetModuleFileNameA(dll_, library, sizeof(library));
  EXPECT_NE(std::string(library).rfind(folder + "\\", 0), 0u) << "test needs the DLL in another folder";
}

TEST_F(KvtSetupDll, UnloadingInARunReleasesTheLog) {
  WriteFileBytes(PathOf("KvtSetup.ini"), "[KVTSetup]\r\nLogLevel=1\r\n");
  start_(Dir().c_str(), NULL, 0, NULL);
  ASSERT_TRUE(FreeLibrary(dll_));
  dll_ = nullptr;
  const kvt::ScopedFile log(
      CreateFileA(PathOf("KvtSetup.log").c_str(), GENERIC_WRITE, 0, NULL, OPEN_EXISTING, 0, NULL));
  EXPECT_NE(log.get(), INVALID_HANDLE_VALUE) << "error " << GetLastError();
}

}  // namespace
}  // namespace setup_test
