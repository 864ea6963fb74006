// The spooler's part of a saved machine, as JSON: drivers, port monitors,
// ports with their monitors, printers with their data values (type and hex
// bytes) and the user's forms (the built-in forms come with every machine).
// A file from before monitors were saved has no "monitors" and plain port
// names: its ports then belong to "Local Port". Printers pending deletion
// are not saved. Loading builds a complete new
// configuration and checks it before anything is replaced, so a bad file
// leaves the machine as it was.
#include <nlohmann/json.hpp>

#include "../kernel/json_file.h"
#include "../kernel/text.h"
#include "spooler_module.h"
#include "spooler_state.h"

#include <filesystem>
#include <limits>
#include <stdexcept>
#include <system_error>

namespace platform {
namespace {

// Keys keep the order they are written in, so a saved file reads naturally.
using json = nlohmann::ordered_json;

constexpr int kFormatVersion = 1;

// Thrown while reading a file; caught at the one exit of LoadSpooler.
struct BadMachineFile : std::runtime_error {
  using std::runtime_error::runtime_error;
};

void Require(bool condition, const char *what) {
  if (!condition) throw BadMachineFile(what);
}

std::vector<uint8_t> HexBytes(const std::string &hex) {
  std::optional<std::vector<uint8_t>> bytes = BytesOfHex(hex);
  Require(bytes.has_value(), "bad hex bytes");
  return *bytes;
}

std::u16string TextOf(const json &value) {
  Require(value.is_string(), "text expected");
  std::optional<std::u16string> text = FromUtf8(value.get_ref<const std::string &>());
  Require(text.has_value(), "malformed UTF-8");
  Require(text->find(u'\0') == std::u16string::npos, "zero character in text");
  return *text;
}

// Field readers: a missing optional text is "", anything of the wrong type
// is an error.
std::u16string Text(const json &object, const char *key, bool required = false) {
  auto it = object.find(key);
  if (it == object.end()) {
    Require(!required, "missing text");
    return {};
  }
  return TextOf(*it);
}

DWORD Dword(const json &object, const char *key) {
  auto it = object.find(key);
  if (it == object.end()) return 0;
  Require(it->is_number_unsigned() && it->get<uint64_t>() <= std::numeric_limits<DWORD>::max(), "DWORD expected");
  return static_cast<DWORD>(it->get<uint64_t>());
}

LONG Long(const json &object, const char *key) {
  auto it = object.find(key);
  Require(it != object.end() && it->is_number_integer(), "integer expected");
  const int64_t value = it->get<int64_t>();
  Require(value >= std::numeric_limits<LONG>::min() && value <= std::numeric_limits<LONG>::max(), "LONG expected");
  return static_cast<LONG>(value);
}

const json &Array(const json &object, const char *key) {
  auto it = object.find(key);
  Require(it != object.end() && it->is_array(), "array expected");
  return *it;
}

json DriverToJson(const PrinterDriver &driver) {
  json files = json::array();
  for (const std::u16string &file : driver.dependentFiles) files.push_back(ToUtf8(file));
  return {{"name", ToUtf8(driver.name)},
          {"environment", ToUtf8(driver.environment)},
          {"version", driver.version},
          {"driverPath", ToUtf8(driver.driverPath)},
          {"dataFile", ToUtf8(driver.dataFile)},
          {"configFile", ToUtf8(driver.configFile)},
          {"helpFile", ToUtf8(driver.helpFile)},
          {"dependentFiles", files},
          {"monitorName", ToUtf8(driver.monitorName)},
          {"defaultDataType", ToUtf8(driver.defaultDataType)}};
}

PrinterDriver DriverFromJson(const json &item) {
  Require(item.is_object(), "driver object expected");
  PrinterDriver driver;
  driver.name = Text(item, "name", true);
  driver.environment = Text(item, "environment", true);
  Require(!driver.name.empty() && !driver.environment.empty(), "driver without name or environment");
  driver.version = Dword(item, "version");
  driver.driverPath = Text(item, "driverPath");
  driver.dataFile = Text(item, "dataFile");
  driver.configFile = Text(item, "configFile");
  driver.helpFile = Text(item, "helpFile");
  if (item.contains("dependentFiles")) {
    for (const json &file : Array(item, "dependentFiles")) {
      Require(file.is_string(), "file name expected");
      std::optional<std::u16string> name = FromUtf8(file.get_ref<const std::string &>());
      Require(name.has_value() && !name->empty(), "bad dependent file");
      driver.dependentFiles.push_back(*name);
    }
  }
  driver.monitorName = Text(item, "monitorName");
  driver.defaultDataType = Text(item, "defaultDataType");
  return driver;
}

json PrinterToJson(const Printer &printer) {
  json data = json::array();
  for (const DataValue &value : printer.data) {
    data.push_back({{"name", ToUtf8(value.name)}, {"type", value.type}, {"hex", HexOf(value.bytes)}});
  }
  return {{"name", ToUtf8(printer.name)},
          {"shareName", ToUtf8(printer.shareName)},
          {"port", ToUtf8(printer.portName)},
          {"driver", ToUtf8(printer.driverName)},
          {"comment", ToUtf8(printer.comment)},
          {"location", ToUtf8(printer.location)},
          {"printProcessor", ToUtf8(printer.printProcessor)},
          {"datatype", ToUtf8(printer.datatype)},
          {"parameters", ToUtf8(printer.parameters)},
          {"attributes", printer.attributes},
          {"priority", printer.priority},
          {"defaultPriority", printer.defaultPriority},
          {"startTime", printer.startTime},
          {"untilTime", printer.untilTime},
          {"data", data}};
}

Printer PrinterFromJson(const json &item) {
  Require(item.is_object(), "printer object expected");
  Printer printer;
  printer.name = Text(item, "name", true);
  printer.shareName = Text(item, "shareName");
  printer.portName = Text(item, "port", true);
  printer.driverName = Text(item, "driver", true);
  printer.comment = Text(item, "comment");
  printer.location = Text(item, "location");
  printer.printProcessor = Text(item, "printProcessor");
  printer.datatype = Text(item, "datatype");
  printer.parameters = Text(item, "parameters");
  printer.attributes = Dword(item, "attributes");
  printer.priority = Dword(item, "priority");
  printer.defaultPriority = Dword(item, "defaultPriority");
  printer.startTime = Dword(item, "startTime");
  printer.untilTime = Dword(item, "untilTime");
  for (const json &entry : Array(item, "data")) {
    Require(entry.is_object(), "data value object expected");
    DataValue value;
    value.name = Text(entry, "name", true);
    Require(printer.FindValue(value.name) == nullptr, "duplicate data value");
    value.type = Dword(entry, "type");
    auto hex = entry.find("hex");
    Require(hex != entry.end() && hex->is_string(), "hex bytes expected");
    value.bytes = HexBytes(hex->get<std::string>());
    printer.data.push_back(std::move(value));
  }
  return printer;
}

json FormToJson(const Form &form) {
  return {{"name", ToUtf8(form.name)},          {"width", form.size.cx},         {"height", form.size.cy},
          {"left", form.imageableArea.left},    {"top", form.imageableArea.top}, {"right", form.imageableArea.right},
          {"bottom", form.imageableArea.bottom}};
}

Form FormFromJson(const json &item) {
  Require(item.is_object(), "form object expected");
  Form form;
  form.name = Text(item, "name", true);
  Require(!form.name.empty(), "form without name");
  form.size = {Long(item, "width"), Long(item, "height")};
  form.imageableArea = {Long(item, "left"), Long(item, "top"), Long(item, "right"), Long(item, "bottom")};
  return form;
}

SpoolerConfig ConfigFromJson(const json &root) {
  Require(root.is_object(), "object expected");
  Require(HasFormatVersion(root, kFormatVersion), "unknown version");
  SpoolerConfig config;
  config.forms = BuiltinForms();
  for (const json &item : Array(root, "drivers")) {
    PrinterDriver driver = DriverFromJson(item);
    Require(FindDriver(config, driver.name, driver.environment) == nullptr, "duplicate driver");
    config.drivers.push_back(std::move(driver));
  }
  if (root.contains("monitors")) {
    for (const json &item : Array(root, "monitors")) {
      Require(item.is_object(), "monitor object expected");
      PortMonitor monitor{Text(item, "name", true), Text(item, "environment", true), Text(item, "dll", true)};
      Require(!monitor.name.empty() && FindMonitor(config, monitor.name) == nullptr, "bad or duplicate monitor");
      config.monitors.push_back(std::move(monitor));
    }
  } else {
    config.monitors = DefaultSpoolerConfig().monitors;
  }
  for (const json &item : Array(root, "ports")) {
    Port port;
    if (item.is_string()) {
      port.name = TextOf(item);
      port.monitor = kLocalPortMonitor;
    } else {
      Require(item.is_object(), "port expected");
      port.name = Text(item, "name", true);
      port.monitor = Text(item, "monitor", true);
    }
    Require(!port.name.empty() && !HasPort(config, port.name), "bad or duplicate port");
    const PortMonitor *monitor = FindMonitor(config, port.monitor);
    Require(monitor != nullptr, "port of an unknown monitor");
    port.monitor = monitor->name;
    config.ports.push_back(std::move(port));
  }
  for (const json &item : Array(root, "printers")) {
    Printer printer = PrinterFromJson(item);
    Require(!printer.name.empty(), "printer without name");
    for (const Printer &other : config.printers)
      Require(!EqualsIgnoreCase(other.name, printer.name), "duplicate printer");
    Require(HasPort(config, printer.portName), "printer on an unknown port");
    Require(FindDriver(config, printer.driverName, kLocalEnvironment) != nullptr, "printer with an unknown driver");
    printer.id = config.nextPrinterId++;
    config.printers.push_back(std::move(printer));
  }
  for (const json &item : Array(root, "forms")) {
    Form form = FormFromJson(item);
    for (const Form &other : config.forms) Require(!EqualsIgnoreCase(other.name, form.name), "duplicate form");
    config.forms.push_back(std::move(form));
  }
  return config;
}

}  // namespace

bool SaveSpooler(const std::string &path) {
  const SpoolerConfig &config = Spooler().config;
  json root = {{"version", kFormatVersion}};
  json drivers = json::array();
  for (const PrinterDriver &driver : config.drivers) drivers.push_back(DriverToJson(driver));
  json monitors = json::array();
  for (const PortMonitor &monitor : config.monitors) {
    monitors.push_back({{"name", ToUtf8(monitor.name)},
                        {"environment", ToUtf8(monitor.environment)},
                        {"dll", ToUtf8(monitor.dllName)}});
  }
  json ports = json::array();
  for (const Port &port : config.ports)
    ports.push_back({{"name", ToUtf8(port.name)}, {"monitor", ToUtf8(port.monitor)}});
  json printers = json::array();
  for (const Printer &printer : config.printers) {
    if (!printer.pendingDeletion) printers.push_back(PrinterToJson(printer));
  }
  json forms = json::array();
  for (const Form &form : config.forms) {
    if ((form.flags & FORM_BUILTIN) == 0) forms.push_back(FormToJson(form));
  }
  root["drivers"] = drivers;
  root["monitors"] = monitors;
  root["ports"] = ports;
  root["printers"] = printers;
  root["forms"] = forms;

  return WriteJsonFile(path, root);
}

bool LoadSpooler(const std::string &path, std::string *problem) {
  std::error_code error;
  if (!std::filesystem::exists(path, error)) {
    *problem = "is missing";
    return false;
  }
  const std::optional<json> root = ReadJsonFile(path, problem);
  if (!root) return false;
  SpoolerConfig config;
  try {
    config = ConfigFromJson(*root);
  } catch (const BadMachineFile &failure) {
    *problem = std::string("is not a valid spooler: ") + failure.what();
    return false;
  } catch (const json::exception &failure) {
    *problem = std::string("is not a valid spooler: ") + failure.what();
    return false;
  }
  SpoolerState loaded;
  loaded.config = std::move(config);
  Spooler() = std::move(loaded);
  return true;
}

}  // namespace platform
