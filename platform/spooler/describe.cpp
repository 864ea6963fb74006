// The spooler's part of a machine description: printers with their driver
// and port, drivers, port monitors and ports, in the spooler's own order.
// A printer pending deletion is already gone for a user.
#include <platform/testing.h>

#include "../kernel/text.h"
#include "spooler_module.h"
#include "spooler_state.h"

namespace platform {

void DescribeSpooler(MachineDescription &machine) {
  const SpoolerConfig &config = Spooler().config;
  for (const Printer &printer : config.printers) {
    if (printer.pendingDeletion) continue;
    machine.printers.push_back({ToUtf8(printer.name), ToUtf8(printer.driverName), ToUtf8(printer.portName)});
  }
  for (const PrinterDriver &driver : config.drivers) {
    machine.drivers.push_back({ToUtf8(driver.name), ToUtf8(driver.environment)});
  }
  for (const PortMonitor &monitor : config.monitors) {
    machine.monitors.push_back({ToUtf8(monitor.name), ToUtf8(monitor.dllName)});
  }
  for (const Port &port : config.ports) machine.ports.push_back({ToUtf8(port.name), ToUtf8(port.monitor)});
}

}  // namespace platform
