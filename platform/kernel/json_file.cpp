#include "json_file.h"

#include "saved_file.h"

#include <algorithm>
#include <fstream>
#include <iterator>

namespace platform {

bool WriteJsonFile(const std::string &path, const nlohmann::ordered_json &root) {
  return WriteSavedFile(path, root.dump(2) + '\n');
}

std::optional<nlohmann::ordered_json> ReadJsonFile(const std::string &path, std::string *problem) {
  std::string unused;
  std::string &what = problem != nullptr ? *problem : unused;
  std::ifstream in(path, std::ios::binary);
  const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (!in.is_open() || in.bad()) {
    what = "cannot be read";
    return std::nullopt;
  }
  try {
    return nlohmann::ordered_json::parse(text);
  } catch (const nlohmann::json::parse_error &error) {
    // The parser counts bytes from 1, and stops one past the end when the
    // text ran out before the document did.
    if (error.byte > text.size()) {
      what = CutShortText(text);
    } else {
      const auto at = static_cast<ptrdiff_t>(error.byte == 0 ? 0 : error.byte - 1);
      what = "is not well-formed JSON at line " + std::to_string(std::count(text.begin(), text.begin() + at, '\n') + 1);
    }
    return std::nullopt;
  } catch (const nlohmann::json::out_of_range &) {
    what = "holds a number too large to read";
    return std::nullopt;
  } catch (const nlohmann::json::exception &) {
    what = "is not well-formed JSON";
    return std::nullopt;
  }
}

bool HasFormatVersion(const nlohmann::ordered_json &root, int64_t version) {
  if (!root.is_object()) return false;
  const auto found = root.find("version");
  return found != root.end() && found->is_number_integer() && found->get<int64_t>() == version;
}

}  // namespace platform
