#include "json_file.h"

#include <cstdio>
#include <fstream>
#include <sstream>

namespace platform {

bool WriteJsonFile(const std::string &path, const nlohmann::ordered_json &root) {
  const std::string temporary = path + ".tmp";
  {
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    out << root.dump(2) << '\n';
    out.close();
    if (!out) {
      std::remove(temporary.c_str());
      return false;
    }
  }
  if (std::rename(temporary.c_str(), path.c_str()) != 0) {
    std::remove(temporary.c_str());
    return false;
  }
  return true;
}

std::optional<nlohmann::ordered_json> ReadJsonFile(const std::string &path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  std::stringstream text;
  text << in.rdbuf();
  nlohmann::ordered_json root = nlohmann::ordered_json::parse(text.str(), nullptr, /*allow_exceptions=*/false);
  if (root.is_discarded()) return std::nullopt;
  return root;
}

}  // namespace platform
