// kvtsetup.exe: the setup library is KvtSetup.dll, loaded at run time, and
// the machine is the Windows that the program runs on.
#include <fcntl.h>
#include <io.h>

#include <cstdio>

#include "host.h"

namespace kvt::setup {

namespace {

class WindowsHost : public Host {
 public:
  WindowsHost() {
    // The log goes out byte for byte: its CR LF must not become CR CR LF.
    _setmode(_fileno(stdout), _O_BINARY);
  }

  void AddOptions(CLI::App &app) override {
    app.add_option("--dll", dllPath_, "the setup library to load (default: KvtSetup.dll beside kvtsetup.exe)");
  }

  bool Begin(bool /*actsOnMachine*/, std::string &error) override {
    library_ = OpenSetupLibrary(dllPath_, error);
    return library_ != nullptr;
  }

  const SetupLibrary &Library() const override { return *library_; }

  bool Finish(const CallRecord &record, bool showResult, std::string & /*error*/) override {
    const std::string text = RecordText(record, showResult);
    std::fwrite(text.data(), 1, text.size(), stdout);
    std::fflush(stdout);
    return true;
  }

 private:
  std::string dllPath_;
  std::unique_ptr<SetupLibrary> library_;
};

}  // namespace

std::unique_ptr<Host> MakeHost() { return std::make_unique<WindowsHost>(); }

}  // namespace kvt::setup
