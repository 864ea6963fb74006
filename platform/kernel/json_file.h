// The JSON files of a saved machine (spooler, devices, colour profiles):
// written whole or not at all, read back as one document. Library code never
// includes this header.
#pragma once

#include <nlohmann/json.hpp>

#include <optional>
#include <string>

namespace platform {

// Writes `root` to `path`, indented, through a file beside it that is then
// renamed over it: a failed save never leaves half a file behind.
bool WriteJsonFile(const std::string &path, const nlohmann::ordered_json &root);

// The document in `path`; nullopt when the file cannot be read or is not
// well-formed JSON.
std::optional<nlohmann::ordered_json> ReadJsonFile(const std::string &path);

}  // namespace platform
