// What the kernel's machine functions need from the spooler module: reset,
// live counts and the spooler's part of a saved machine.
#pragma once

#include <cstddef>
#include <string>

namespace platform {

struct MachineDescription;

// Closes every printer handle and open job (their files included) and starts
// a fresh spooler, running: the "Local Port" monitor with the default ports,
// built-in forms, nothing else.
void ResetSpooler();
size_t LivePrinterHandleCount();

// The spooler's part of a saved machine, as the file `path`.
bool SaveSpooler(const std::string &path);
// Replaces the spooler with the content of `path`; false and no change when
// the file is missing, malformed or inconsistent, with what is wrong in
// `problem` (worded to follow the file's name).
bool LoadSpooler(const std::string &path, std::string *problem);

// Adds the printers, drivers, monitors and ports to `machine`.
void DescribeSpooler(MachineDescription &machine);

}  // namespace platform
