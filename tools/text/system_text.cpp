// The few causes a user can act on get words of their own; anything else
// falls back to the C library's text, which still names the cause.
#include "system_text.h"

#include <cerrno>
#include <cstring>

namespace kvt::text {

std::string ReasonOfErrno(int error) {
  switch (error) {
    case ENOENT:
    case ENOTDIR:
      return "the folder does not exist";
    case EACCES:
    case EPERM:
      return "permission denied";
    case EROFS:
      return "the file system is read-only";
    case ENOSPC:
#ifdef EDQUOT  // a quota is a disk full to its user; Windows' C library has none
    case EDQUOT:
#endif
      return "the disk is full";
    case EISDIR:
      return "it is a folder";
    case ENOMEM:
      return "out of memory";
    case EIO:
      return "the device reported an input/output error";
    default:
      return std::strerror(error);
  }
}

std::string ReasonOfWin32(uint32_t error) {
  switch (error) {
    case 2:  // ERROR_FILE_NOT_FOUND
      return "the file does not exist";
    case 3:  // ERROR_PATH_NOT_FOUND
      return "the folder does not exist";
    case 5:  // ERROR_ACCESS_DENIED
      return "permission denied";
    case 8:   // ERROR_NOT_ENOUGH_MEMORY
    case 14:  // ERROR_OUTOFMEMORY
      return "out of memory";
    case 29:  // ERROR_WRITE_FAULT
      return "the device could not be written";
    case 112:  // ERROR_DISK_FULL
      return "the disk is full";
    case 126:  // ERROR_MOD_NOT_FOUND
      return "the library or one that it needs is missing";
    case 127:  // ERROR_PROC_NOT_FOUND
      return "the library lacks a function that it was asked for";
    case 193:  // ERROR_BAD_EXE_FORMAT
      return "it is not a 32-bit Windows library";
    case 1722:  // RPC_S_SERVER_UNAVAILABLE
      return "the print spooler is not running";
    case 1801:  // ERROR_INVALID_PRINTER_NAME
      return "there is no such printer";
    case 1797:  // ERROR_UNKNOWN_PRINTER_DRIVER
      return "the printer driver is not installed";
    case 1804:  // ERROR_INVALID_DATATYPE
      return "the printer does not take this kind of data";
    case 63:  // ERROR_PRINT_CANCELLED
      return "the job was cancelled";
    default:
      return "system error " + std::to_string(error);
  }
}

}  // namespace kvt::text
