// The JSON files of a saved machine (spooler, devices, colour profiles),
// read back as one document. Library code never includes this header.
#pragma once

#include <nlohmann/json.hpp>

#include <optional>
#include <string>

namespace platform {

// Writes `root` to the new file `path`, indented, whole and flushed, or
// leaves nothing there.
bool WriteJsonFile(const std::string &path, const nlohmann::ordered_json &root);

// The document in `path`; nullopt when the file cannot be read or is not
// well-formed JSON, with what is wrong in `problem` (when given), worded to
// follow the file's name: "cannot be read", "is cut short at line 12",
// "is not well-formed JSON at line 3".
std::optional<nlohmann::ordered_json> ReadJsonFile(const std::string &path, std::string *problem = nullptr);

// Whether `root` is an object whose "version" is the whole number
// `version`. A number of another kind (a fraction, one too large) is no
// version rather than one converted with undefined results.
bool HasFormatVersion(const nlohmann::ordered_json &root, int64_t version);

}  // namespace platform
