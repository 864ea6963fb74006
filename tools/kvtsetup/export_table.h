// What kvtsetup knows of the setup library's exports: for each one its
// arguments as a user gives them on the command line, and how to call it
// with the calling convention and types that KvtSetup.h declares. The
// library itself is reached only through the function address that
// SetupLibrary gives for a name.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace kvt::setup {

// A function address as a library gives it; called only after a cast to
// the export's own type.
using Proc = void (*)();

// How one argument is given and passed.
enum class ArgKind {
  Text,          // a text; "(null)" passes a null pointer
  Int,           // a signed 32-bit number, decimal or 0x hex
  Dword,         // an unsigned 32-bit number, decimal or 0x hex
  Root,          // a predefined registry key by name: HKEY_LOCAL_MACHINE, HKLM, ...
  ValueType,     // a registry value type by name (REG_SZ, ...) or number
  ValueData,     // the bytes of a value, read by the type given before it
  BufferSize,    // the size in bytes of a buffer that the export fills
  FormatValues,  // the values that a log format's conversions name, any number
};

struct Parameter {
  ArgKind kind;
  const char *name;  // as the usage line shows it: "PATH", "NOUNLOCK", ...
};

// One argument as the user gave it, converted for the call.
struct ArgValue {
  ArgKind kind = ArgKind::Text;
  bool isNull = false;         // a Text given as "(null)"
  std::string text;            // a Text; a log format's value given as text
  int64_t number = 0;          // Int, Dword, ValueType, BufferSize; a Root's handle value
  std::vector<uint8_t> bytes;  // ValueData
};

// What a call gave back besides its result, each as a label and a text:
// ("buffer", "\"LogLevel=1\""), ("value", "7"), ...
using CallOutputs = std::vector<std::pair<std::string, std::string>>;

// Calls the export at `proc` with `args` (as ParseArguments made them) and
// returns its 32-bit result, filling `outputs`.
using Invoker = int32_t (*)(Proc proc, const std::vector<ArgValue> &args, CallOutputs &outputs);

// How a call frames itself in a setup run.
enum class RunFrame {
  Own,       // the export starts and finishes its own run (the sequences)
  Starts,    // the export is the start: kvtsetup finishes the run after it
  Finishes,  // the export is the finish: kvtsetup starts the run before it
  Inside,    // kvtsetup starts a run, calls the export and finishes the run
};

struct ExportSignature {
  const char *name;
  std::vector<Parameter> args;
  RunFrame frame;
  Invoker invoke;
  const char *summary;  // one line: what it does and what its result means
};

// Every export of the setup library, in the order of KvtSetup.def.
const std::vector<ExportSignature> &Exports();
// The export of that name (exact, as GetProcAddress compares), or null.
const ExportSignature *FindExport(const std::string &name);
// "KVT_RegDeleteKey PATH NOUNLOCK".
std::string UsageOf(const ExportSignature &signature);

// Converts the user's texts into the export's arguments; false with a
// message in the user's words when their number or a type is wrong.
bool ParseArguments(const ExportSignature &signature, const std::vector<std::string> &given,
                    std::vector<ArgValue> &args, std::string &error);

}  // namespace kvt::setup
