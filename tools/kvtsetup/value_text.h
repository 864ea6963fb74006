// Registry values and numbers as kvtsetup reads them from a command line
// and shows them to a user: value types by name, data by its type, texts
// in quotes with their control characters written out.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace kvt::setup {

// "\"text\"", with a backslash before '"' and '\\', and \r, \n, \t and \xNN
// for other control characters.
std::string QuotedText(const std::string &text);

// A whole number in decimal or, after "0x", in hex, with an optional
// leading '-', within [low, high]; nullopt for anything else.
std::optional<int64_t> ParseNumber(const std::string &text, int64_t low, int64_t high);

// "REG_SZ", ... for the usual types, else the number; and back, from a
// name in any letter case or a number.
std::string ValueTypeText(uint32_t type);
std::optional<uint32_t> ParseValueType(const std::string &text);

// A value's data as a user reads it: a text value in quotes, a DWORD as a
// number, a multi-string as its quoted texts, anything else as hex bytes.
std::string ValueDataText(uint32_t type, const std::vector<uint8_t> &data);

// The bytes a user gives for a value of `type`: "hex:01,ab,..." for any
// type; otherwise a text for REG_SZ and REG_EXPAND_SZ (stored with its
// terminator) or a number for REG_DWORD. False with a message else.
bool ParseValueData(uint32_t type, const std::string &text, std::vector<uint8_t> &bytes, std::string &error);

}  // namespace kvt::setup
