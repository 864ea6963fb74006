// The machine's system message table: one English text for every error
// code that the package and its tests meet, worded for this machine. As in
// a compiled message table, each text ends in CR LF; codes without a text
// fail with ERROR_MR_MID_NOT_FOUND.
#include "system_messages.h"

#include <algorithm>
#include <array>
#include <utility>

namespace platform {

namespace {

struct SystemMessage {
  DWORD code;
  const char *text;
};

// Sorted by code for the binary search below.
constexpr std::array kMessages = {
    SystemMessage{0, "The operation finished without error.\r\n"},
    SystemMessage{1, "This function cannot be used here.\r\n"},
    SystemMessage{2, "The file could not be found.\r\n"},
    SystemMessage{3, "The path could not be found.\r\n"},
    SystemMessage{4, "Too many files are open to open another one.\r\n"},
    SystemMessage{5, "Access was denied.\r\n"},
    SystemMessage{6, "The handle is not valid.\r\n"},
    SystemMessage{8, "There is not enough memory to carry out this command.\r\n"},
    SystemMessage{13, "The data is not valid.\r\n"},
    SystemMessage{14, "Memory ran out before the operation could finish.\r\n"},
    SystemMessage{17, "A file cannot be moved to a different disk drive.\r\n"},
    SystemMessage{18, "No further files match.\r\n"},
    SystemMessage{19, "The medium is protected against writing.\r\n"},
    SystemMessage{29, "The device could not be written to.\r\n"},
    SystemMessage{32, "The file cannot be used because another process has it open.\r\n"},
    SystemMessage{38, "The end of the file was reached.\r\n"},
    SystemMessage{50, "This request is not supported.\r\n"},
    SystemMessage{63, "The print job was deleted before it was printed.\r\n"},
    SystemMessage{80, "A file of that name exists already.\r\n"},
    SystemMessage{87, "A parameter is not correct.\r\n"},
    SystemMessage{112, "The disk does not have enough free space.\r\n"},
    SystemMessage{119, "The driver level asked for is not supported.\r\n"},
    SystemMessage{120, "This function is not available on this system.\r\n"},
    SystemMessage{122, "The buffer given to the system call is too small.\r\n"},
    SystemMessage{123, "The syntax of the file, folder or volume name is wrong.\r\n"},
    SystemMessage{124, "The level given to the system call is not valid.\r\n"},
    SystemMessage{126, "A module that is needed could not be found.\r\n"},
    SystemMessage{131, "The file pointer cannot be set before the start of the file.\r\n"},
    SystemMessage{145, "The folder still holds files or folders.\r\n"},
    SystemMessage{161, "The path name is not valid.\r\n"},
    SystemMessage{183, "The file or object cannot be created because one of that name exists already.\r\n"},
    SystemMessage{206, "The file name or its extension is too long.\r\n"},
    SystemMessage{234, "More data is waiting to be read.\r\n"},
    SystemMessage{235, "The operation produced nothing.\r\n"},
    SystemMessage{259, "There are no further items.\r\n"},
    SystemMessage{267, "The folder name is not valid.\r\n"},
    SystemMessage{317, "The system has no text for this message number.\r\n"},
    SystemMessage{998, "The memory location cannot be accessed.\r\n"},
    SystemMessage{1004, "The flags are not valid.\r\n"},
    SystemMessage{1009, "The registry database is damaged.\r\n"},
    SystemMessage{1010, "The registry key is not valid.\r\n"},
    SystemMessage{1011, "The registry key could not be opened.\r\n"},
    SystemMessage{1012, "The registry key could not be read.\r\n"},
    SystemMessage{1013, "The registry key could not be written.\r\n"},
    SystemMessage{1018, "The registry key is marked for deletion and cannot be changed.\r\n"},
    SystemMessage{1168, "The element could not be found.\r\n"},
    SystemMessage{1332, "No account name matches the security identifier.\r\n"},
    SystemMessage{1336, "The access control list is not valid.\r\n"},
    SystemMessage{1337, "The security identifier is not valid.\r\n"},
    SystemMessage{1338, "The security descriptor is not valid.\r\n"},
    SystemMessage{1438, "The message box style is not valid.\r\n"},
    SystemMessage{1722, "The remote procedure call server cannot be reached.\r\n"},
    SystemMessage{1784, "The buffer given cannot be used for this operation.\r\n"},
    SystemMessage{1796, "The port is not known.\r\n"},
    SystemMessage{1797, "The printer driver is not known.\r\n"},
    SystemMessage{1798, "The print processor is not known.\r\n"},
    SystemMessage{1801, "The printer name is not valid.\r\n"},
    SystemMessage{1802, "A printer of that name exists already.\r\n"},
    SystemMessage{1804, "The data type is not valid.\r\n"},
    SystemMessage{1805, "The environment is not valid.\r\n"},
    SystemMessage{1813, "The module has no resource of the type asked for.\r\n"},
    SystemMessage{1815, "The module has no resource in the language asked for.\r\n"},
    SystemMessage{1902, "The form name is not valid.\r\n"},
    SystemMessage{1903, "The form size is not valid.\r\n"},
    SystemMessage{1906, "The printer's state does not allow this operation.\r\n"},
    SystemMessage{3000, "The print monitor is not known.\r\n"},
    SystemMessage{3001, "A printer still uses this printer driver.\r\n"},
    SystemMessage{3002, "The spool file could not be found.\r\n"},
    SystemMessage{3003, "No document has been started on the printer.\r\n"},
    SystemMessage{3004, "No job has been added to the printer.\r\n"},
    SystemMessage{3005, "The print processor is installed already.\r\n"},
    SystemMessage{3006, "The print monitor is installed already.\r\n"},
    SystemMessage{3007, "The print monitor lacks functions that it must provide.\r\n"},
    SystemMessage{3008, "A port still uses this print monitor.\r\n"},
    SystemMessage{3009, "The printer still has jobs waiting.\r\n"},
};

constexpr bool IsSortedByCode() {
  for (size_t i = 1; i < kMessages.size(); ++i) {
    if (kMessages[i - 1].code >= kMessages[i].code) return false;
  }
  return true;
}
static_assert(IsSortedByCode(), "the message table must stay sorted by code");

}  // namespace

const char *SystemMessageText(DWORD code) {
  const auto found = std::lower_bound(kMessages.begin(), kMessages.end(), code,
                                      [](const SystemMessage &entry, DWORD value) { return entry.code < value; });
  if (found == kMessages.end() || found->code != code) return nullptr;
  return found->text;
}

std::vector<DWORD> SystemMessageCodes() {
  std::vector<DWORD> codes;
  codes.reserve(kMessages.size());
  for (const SystemMessage &entry : kMessages) codes.push_back(entry.code);
  return codes;
}

}  // namespace platform
