// Reasons in the user's words for what the system reports, shared by the
// tools' messages: C library error numbers and Win32 error codes.
#pragma once

#include <cstdint>
#include <string>

namespace kvt::text {

// "the folder does not exist", "the disk is full", "permission denied", ...
std::string ReasonOfErrno(int error);
std::string ReasonOfWin32(uint32_t error);

}  // namespace kvt::text
