// The registered devices of a saved machine, as JSON: per device its
// instance ID, class GUID, description and properties (each as the hex of
// its bytes, since a property holds whatever bytes were set). Reading
// checks the whole file before the list is used.
#include <nlohmann/json.hpp>

#include <filesystem>
#include <limits>
#include <stdexcept>
#include <system_error>

#include "../kernel/json_file.h"
#include "../kernel/text.h"
#include "setupapi_module.h"

namespace platform::setupapi {

namespace {

using json = nlohmann::ordered_json;

constexpr int kFormatVersion = 1;

struct BadDeviceFile : std::runtime_error {
  using std::runtime_error::runtime_error;
};

void Require(bool condition, const char *what) {
  if (!condition) throw BadDeviceFile(what);
}

std::vector<BYTE> HexBytes(const std::string &hex) {
  std::optional<std::vector<BYTE>> bytes = BytesOfHex(hex);
  Require(bytes.has_value(), "bad hex bytes");
  return *bytes;
}

// ANSI (code page 1252) texts travel as UTF-8.
std::string Utf8OfAnsi(const std::string &text) { return ToUtf8(AnsiToWide(text.c_str())); }

std::string AnsiOfUtf8(const json &value) {
  Require(value.is_string(), "text expected");
  std::optional<std::u16string> wide = FromUtf8(value.get_ref<const std::string &>());
  Require(wide.has_value(), "malformed UTF-8");
  std::string ansi;
  for (char16_t ch : *wide) {
    Require(ch != 0, "zero character in text");
    ansi.push_back(WideToAnsiChar(ch));
  }
  return ansi;
}

DeviceList ParseDevices(const json &root) {
  Require(HasFormatVersion(root, kFormatVersion), "unknown version");
  Require(root.contains("devices") && root["devices"].is_array(), "devices expected");
  DeviceList list;
  for (const json &entry : root["devices"]) {
    Require(entry.is_object() && entry.contains("instanceId") && entry.contains("class"), "device expected");
    auto device = std::make_shared<Device>();
    // Stored in upper case, as every instance ID of the machine.
    device->instanceId = UpperAnsi(AnsiOfUtf8(entry["instanceId"]));
    Require(!device->instanceId.empty(), "empty instance ID");
    for (const DevicePtr &other : list.devices) {
      Require(other->instanceId != device->instanceId, "duplicate instance ID");
    }
    Require(entry["class"].is_string(), "class expected");
    std::optional<GUID> guid = GuidOfText(entry["class"].get<std::string>());
    Require(guid.has_value(), "malformed class GUID");
    device->classGuid = *guid;
    if (entry.contains("description")) device->description = AnsiOfUtf8(entry["description"]);
    if (entry.contains("properties")) {
      const json &properties = entry["properties"];
      Require(properties.is_object(), "properties expected");
      for (const auto &[key, value] : properties.items()) {
        unsigned long property = 0;
        size_t used = 0;
        try {
          property = std::stoul(key, &used);
        } catch (const std::exception &) {
          used = 0;
        }
        Require(used == key.size() && property < SPDRP_MAXIMUM_PROPERTY, "bad property number");
        Require(value.is_string(), "hex bytes expected");
        device->properties[static_cast<DWORD>(property)] = HexBytes(value.get<std::string>());
      }
    }
    device->registered = true;
    device->devInst = list.nextDevInst++;
    list.devices.push_back(device);
  }
  return list;
}

}  // namespace

bool SaveDevices(const std::string &path) {
  json devices = json::array();
  for (const DevicePtr &device : Devices().devices) {
    json entry = {{"instanceId", Utf8OfAnsi(device->instanceId)}, {"class", GuidText(device->classGuid)}};
    if (!device->description.empty()) entry["description"] = Utf8OfAnsi(device->description);
    json properties = json::object();
    for (const auto &[property, bytes] : device->properties) properties[std::to_string(property)] = HexOf(bytes);
    entry["properties"] = properties;
    devices.push_back(entry);
  }
  const json root = {{"version", kFormatVersion}, {"devices", devices}};
  return WriteJsonFile(path, root);
}

std::optional<DeviceList> ReadDevices(const std::string &path, std::string *problem) {
  std::error_code error;
  if (!std::filesystem::exists(path, error)) return DeviceList{};
  const std::optional<json> root = ReadJsonFile(path, problem);
  if (!root) return std::nullopt;
  try {
    return ParseDevices(*root);
  } catch (const std::exception &failure) {  // a failed check
    *problem = std::string("is not a valid device list: ") + failure.what();
    return std::nullopt;
  }
}

void UseDevices(DeviceList list) {
  DestroyAllSets();
  Devices() = std::move(list);
}

}  // namespace platform::setupapi
