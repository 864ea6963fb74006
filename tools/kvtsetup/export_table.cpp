// The setup library's 32 exports as kvtsetup calls them. Each call casts
// the address the library gave to the type that KvtSetup.h declares for the
// export, so the compiler passes the arguments with the export's own
// calling convention: __stdcall for all but KVT_LogFileWrite, whose
// variable argument list makes it __cdecl.
#include "export_table.h"

#include <windows.h>

#include <algorithm>

#include "KvtSetup.h"
#include "value_text.h"

namespace kvt::setup {

namespace {

using Args = const std::vector<ArgValue> &;

template <typename Function>
Function As(Proc proc) {
  return reinterpret_cast<Function>(proc);
}

LPCSTR Text(Args args, size_t i) { return args[i].isNull ? nullptr : args[i].text.c_str(); }
INT Int(Args args, size_t i) { return static_cast<INT>(args[i].number); }
DWORD Dword(Args args, size_t i) { return static_cast<DWORD>(args[i].number); }
HKEY Root(Args args, size_t i) { return reinterpret_cast<HKEY>(static_cast<intptr_t>(args[i].number)); }

// The most values a log format may name: the call passes this many, the
// unused ones as zero, which a __cdecl callee never reads.
constexpr size_t kMostFormatValues = 12;

int32_t CallLogFileWrite(Proc proc, Args args, CallOutputs &) {
  // Texts travel as their addresses and numbers as 32-bit values, each in
  // a slot of pointer width, as a caller's variable arguments do.
  uintptr_t slot[kMostFormatValues] = {};
  for (size_t i = 1; i < args.size() && i <= kMostFormatValues; ++i) {
    const ArgValue &value = args[i];
    if (value.kind == ArgKind::Text) {
      slot[i - 1] = reinterpret_cast<uintptr_t>(value.isNull ? nullptr : value.text.c_str());
    } else {
      slot[i - 1] = static_cast<uintptr_t>(static_cast<uint32_t>(value.number));
    }
  }
  return As<decltype(&KVT_LogFileWrite)>(proc)(Text(args, 0), slot[0], slot[1], slot[2], slot[3], slot[4], slot[5],
                                               slot[6], slot[7], slot[8], slot[9], slot[10], slot[11]);
}

int32_t CallGetIniString(Proc proc, Args args, CallOutputs &outputs) {
  const DWORD size = Dword(args, 2);
  // One byte more than the library is told, so the text read back always
  // ends even when a call writes its whole buffer.
  std::vector<CHAR> buffer(size + 1, '\0');
  const INT stored = As<decltype(&KVT_GetKvtSetupIniString)>(proc)(Text(args, 0), Text(args, 1), buffer.data(), size);
  outputs.emplace_back("buffer", QuotedText(buffer.data()));
  return stored;
}

int32_t CallGetIniInt(Proc proc, Args args, CallOutputs &outputs) {
  INT value = 0;
  const INT result = As<decltype(&KVT_GetKvtSetupIniInt)>(proc)(Text(args, 0), Text(args, 1), &value);
  outputs.emplace_back("value", std::to_string(value));
  return result;
}

int32_t CallRegGetValue(Proc proc, Args args, CallOutputs &outputs) {
  DWORD type = 0;
  DWORD size = Dword(args, 2);
  std::vector<BYTE> data(size + 1, 0);
  const INT code = As<decltype(&KVT_RegGetValue)>(proc)(Text(args, 0), Text(args, 1), &type, data.data(), &size);
  outputs.emplace_back("type", ValueTypeText(type));
  outputs.emplace_back("size", std::to_string(size));
  if (code == ERROR_SUCCESS) {
    data.resize(std::min<size_t>(size, data.size() - 1));
    outputs.emplace_back("data", ValueDataText(type, data));
  }
  return code;
}

const std::vector<ExportSignature> kExports = {
    {"KVT_SetupStart",
     {{ArgKind::Text, "DIRECTORY"}, {ArgKind::Text, "BASENAME"}, {ArgKind::Dword, "RESERVED"}, {ArgKind::Text, "MEMO"}},
     RunFrame::Starts,
     [](Proc p, Args a, CallOutputs &) -> int32_t {
       return As<decltype(&KVT_SetupStart)>(p)(Text(a, 0), Text(a, 1), Dword(a, 2), Text(a, 3));
     },
     "starts a setup run in DIRECTORY (BASENAME.ini and .log); kvtsetup finishes it. Always 1"},
    {"KVT_SetupFinish",
     {},
     RunFrame::Finishes,
     [](Proc p, Args, CallOutputs &) -> int32_t { return As<decltype(&KVT_SetupFinish)>(p)(); },
     "finishes the run that kvtsetup started. Always 0"},
    {"KVT_LogFileWrite",
     {{ArgKind::Text, "FORMAT"}, {ArgKind::FormatValues, "VALUE..."}},
     RunFrame::Inside,
     CallLogFileWrite,
     "writes one line to the log; a text for each %s of FORMAT, a number for each %d, %u, %x, %c. "
     "0 when written, 1 when no log is open"},
    {"KVT_GetKvtSetupIniString",
     {{ArgKind::Text, "SECTION"}, {ArgKind::Text, "KEY"}, {ArgKind::BufferSize, "SIZE"}},
     RunFrame::Inside,
     CallGetIniString,
     "reads KEY of SECTION of the INI into a buffer of SIZE bytes. The number of characters stored"},
    {"KVT_GetKvtSetupIniInt",
     {{ArgKind::Text, "SECTION"}, {ArgKind::Text, "KEY"}},
     RunFrame::Inside,
     CallGetIniInt,
     "reads KEY of SECTION of the INI as a number. Always 1"},
    {"KVT_DeleteRegList",
     {},
     RunFrame::Inside,
     [](Proc p, Args, CallOutputs &) -> int32_t { return As<decltype(&KVT_DeleteRegList)>(p)(); },
     "deletes the registry keys of [DelReg]. Always 1"},
    {"KVT_DeleteFileList",
     {},
     RunFrame::Inside,
     [](Proc p, Args, CallOutputs &) -> int32_t { return As<decltype(&KVT_DeleteFileList)>(p)(); },
     "deletes the files of [DelFile]. 0 when one was refused for lack of access, else 1"},
    {"KVT_DeleteOemxInfList",
     {},
     RunFrame::Inside,
     [](Proc p, Args, CallOutputs &) -> int32_t { return As<decltype(&KVT_DeleteOemxInfList)>(p)(); },
     "deletes the OEM INF copies that [DelOemInfPNF] describes. The last item's result"},
    {"KVT_DeleteDirList",
     {},
     RunFrame::Inside,
     [](Proc p, Args, CallOutputs &) -> int32_t { return As<decltype(&KVT_DeleteDirList)>(p)(); },
     "empties and removes the folders of [DelDir]. 1 when the last one was removed"},
    {"KVT_CopyFileList",
     {{ArgKind::Int, "MOVE"}},
     RunFrame::Inside,
     [](Proc p, Args a, CallOutputs &) -> int32_t { return As<decltype(&KVT_CopyFileList)>(p)(Int(a, 0)); },
     "copies the files of [CopyFile], or with MOVE not 0 moves those of [MoveFile]. Always 1"},
    {"KVT_DeleteDeviceList",
     {},
     RunFrame::Inside,
     [](Proc p, Args, CallOutputs &) -> int32_t { return As<decltype(&KVT_DeleteDeviceList)>(p)(); },
     "removes the devices of [RemoveDevice]. The last item's result"},
    {"KVT_Install",
     {{ArgKind::Text, "DIRECTORY"}},
     RunFrame::Own,
     [](Proc p, Args a, CallOutputs &) -> int32_t { return As<decltype(&KVT_Install)>(p)(NULL, NULL, Text(a, 0), 0); },
     "the install, a run of its own in DIRECTORY. Not 0 when the INF was stored"},
    {"KVT_Uninstall",
     {{ArgKind::Text, "DIRECTORY"}},
     RunFrame::Own,
     [](Proc p, Args a, CallOutputs &) -> int32_t {
       return As<decltype(&KVT_Uninstall)>(p)(NULL, NULL, Text(a, 0), 0);
     },
     "the uninstall, a run of its own in DIRECTORY. 1 done, 0 a file refused, -1 no print service"},
    {"KVT_Dummy",
     {{ArgKind::Int, "NUMBER"}},
     RunFrame::Inside,
     [](Proc p, Args a, CallOutputs &) -> int32_t { return As<decltype(&KVT_Dummy)>(p)(Int(a, 0)); },
     "shows NUMBER in a message box and returns it"},
    {"KVT_RegSetValue",
     {{ArgKind::Text, "PATH"}, {ArgKind::Text, "NAME"}, {ArgKind::ValueType, "TYPE"}, {ArgKind::ValueData, "DATA"}},
     RunFrame::Inside,
     [](Proc p, Args a, CallOutputs &) -> int32_t {
       const std::vector<uint8_t> &data = a[3].bytes;
       return As<decltype(&KVT_RegSetValue)>(p)(Text(a, 0), Text(a, 1), Dword(a, 2), data.data(),
                                                static_cast<DWORD>(data.size()));
     },
     "sets value NAME of the key at PATH. The registry's code, 0 when done"},
    {"KVT_RegGetValue",
     {{ArgKind::Text, "PATH"}, {ArgKind::Text, "NAME"}, {ArgKind::BufferSize, "SIZE"}},
     RunFrame::Inside,
     CallRegGetValue,
     "reads value NAME of the key at PATH into a buffer of SIZE bytes. The registry's code, 0 when done"},
    {"KVT_RegDeleteValue",
     {{ArgKind::Text, "PATH"}, {ArgKind::Text, "NAME"}},
     RunFrame::Inside,
     [](Proc p, Args a, CallOutputs &) -> int32_t {
       return As<decltype(&KVT_RegDeleteValue)>(p)(Text(a, 0), Text(a, 1));
     },
     "deletes value NAME of the key at PATH. The registry's code, 0 when done"},
    {"KVT_RegDeleteKey",
     {{ArgKind::Text, "PATH"}, {ArgKind::Int, "NOUNLOCK"}},
     RunFrame::Inside,
     [](Proc p, Args a, CallOutputs &) -> int32_t { return As<decltype(&KVT_RegDeleteKey)>(p)(Text(a, 0), Int(a, 1)); },
     "deletes the key at PATH with its subtree, unlocking it unless NOUNLOCK is not 0. 1 when it is gone"},
    {"KVT_RegAllowAccessToEveryone",
     {{ArgKind::Root, "ROOT"}, {ArgKind::Text, "KEYPATH"}},
     RunFrame::Inside,
     [](Proc p, Args a, CallOutputs &) -> int32_t {
       return As<decltype(&KVT_RegAllowAccessToEveryone)>(p)(Root(a, 0), Text(a, 1));
     },
     "gives everyone full access to ROOT\\KEYPATH. Always 1"},
    {"KVT_RegDeleteLockedKey",
     {{ArgKind::Root, "ROOT"}, {ArgKind::Text, "KEYPATH"}},
     RunFrame::Inside,
     [](Proc p, Args a, CallOutputs &) -> int32_t {
       return As<decltype(&KVT_RegDeleteLockedKey)>(p)(Root(a, 0), Text(a, 1));
     },
     "unlocks and deletes ROOT\\KEYPATH. 1 when deleted"},
    {"KVT_RegDeleteOemxInf",
     {{ArgKind::Text, "DRIVERNAME"}},
     RunFrame::Inside,
     [](Proc p, Args a, CallOutputs &) -> int32_t { return As<decltype(&KVT_RegDeleteOemxInf)>(p)(Text(a, 0)); },
     "deletes the printer class keys whose DriverDesc is DRIVERNAME. Always 1"},
    {"KVT_RegDeleteDeviceClasses",
     {{ArgKind::Text, "TEXT"}},
     RunFrame::Inside,
     [](Proc p, Args a, CallOutputs &) -> int32_t { return As<decltype(&KVT_RegDeleteDeviceClasses)>(p)(Text(a, 0)); },
     "deletes the USB printing interface keys whose names hold TEXT. Always 0"},
    {"KVT_SetWin98SetupReg",
     {{ArgKind::Text, "FOLDER"}},
     RunFrame::Inside,
     [](Proc p, Args a, CallOutputs &) -> int32_t { return As<decltype(&KVT_SetWin98SetupReg)>(p)(Text(a, 0)); },
     "points the setup source path at FOLDER, keeping the earlier one. 1 when done"},
    {"KVT_ClearWin98SetupReg",
     {{ArgKind::Text, "FOLDER"}},
     RunFrame::Inside,
     [](Proc p, Args a, CallOutputs &) -> int32_t { return As<decltype(&KVT_ClearWin98SetupReg)>(p)(Text(a, 0)); },
     "puts the kept setup source path back if the path is still FOLDER. 1 when done"},
    {"KVT_FindPrinter",
     {{ArgKind::Text, "DRIVERNAME"}},
     RunFrame::Inside,
     [](Proc p, Args a, CallOutputs &) -> int32_t { return As<decltype(&KVT_FindPrinter)>(p)(Text(a, 0)); },
     "1 when a local printer uses DRIVERNAME, else 0"},
    {"KVT_DeleteAllPrinter",
     {{ArgKind::Text, "DRIVERNAME"}},
     RunFrame::Inside,
     [](Proc p, Args a, CallOutputs &) -> int32_t { return As<decltype(&KVT_DeleteAllPrinter)>(p)(Text(a, 0)); },
     "deletes every local printer that uses DRIVERNAME. 1 done, 0 not all, -1 no print service"},
    {"KVT_DeletePrinterDriver",
     {{ArgKind::Text, "DRIVERNAME"}},
     RunFrame::Inside,
     [](Proc p, Args a, CallOutputs &) -> int32_t { return As<decltype(&KVT_DeletePrinterDriver)>(p)(Text(a, 0)); },
     "deletes the printer driver DRIVERNAME. Not 0 when it was removed"},
    {"KVT_DeleteMonitor",
     {{ArgKind::Text, "MONITORNAME"}},
     RunFrame::Inside,
     [](Proc p, Args a, CallOutputs &) -> int32_t { return As<decltype(&KVT_DeleteMonitor)>(p)(Text(a, 0)); },
     "deletes the port monitor MONITORNAME. Not 0 when it was removed"},
    {"KVT_RemoveDevice",
     {{ArgKind::Text, "HARDWAREID"}},
     RunFrame::Inside,
     [](Proc p, Args a, CallOutputs &) -> int32_t { return As<decltype(&KVT_RemoveDevice)>(p)(Text(a, 0)); },
     "removes every device with the hardware ID HARDWAREID. 1 when the walk ended normally"},
    {"KVT_SetupCopyOemInf",
     {{ArgKind::Text, "INFNAME"}, {ArgKind::Text, "SOURCEDIR"}},
     RunFrame::Inside,
     [](Proc p, Args a, CallOutputs &) -> int32_t {
       return As<decltype(&KVT_SetupCopyOemInf)>(p)(Text(a, 0), Text(a, 1));
     },
     "stores SOURCEDIR\\INFNAME in the INF store ((null): the setup folder). Not 0 when stored"},
    {"KVT_DeleteOemxInf",
     {{ArgKind::Text, "SECTION"}, {ArgKind::Text, "KEY"}, {ArgKind::Text, "VALUE"}},
     RunFrame::Inside,
     [](Proc p, Args a, CallOutputs &) -> int32_t {
       return As<decltype(&KVT_DeleteOemxInf)>(p)(Text(a, 0), Text(a, 1), Text(a, 2));
     },
     "deletes the OEM INF copies whose KEY in SECTION is VALUE. Always 0"},
    {"KVT_DeleteICMProfile",
     {{ArgKind::Text, "PROFILE"}},
     RunFrame::Inside,
     [](Proc p, Args a, CallOutputs &) -> int32_t { return As<decltype(&KVT_DeleteICMProfile)>(p)(Text(a, 0)); },
     "uninstalls and deletes the colour profile PROFILE. Not 0 when done"},
};

}  // namespace

const std::vector<ExportSignature> &Exports() { return kExports; }

const ExportSignature *FindExport(const std::string &name) {
  for (const ExportSignature &signature : kExports) {
    if (name == signature.name) return &signature;
  }
  return nullptr;
}

std::string UsageOf(const ExportSignature &signature) {
  std::string usage = signature.name;
  for (const Parameter &arg : signature.args) usage += std::string(" ") + arg.name;
  return usage;
}

}  // namespace kvt::setup
