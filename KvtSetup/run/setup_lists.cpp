// The lists that hand each item to another operation of the library: OEM
// INF copies by a value inside them, and devices by hardware ID. Each
// returns the outcome of its last item.
#include "KvtSetup.h"
#include "run/list_items.h"
#include "run/log_result.h"

INT WINAPI KVT_DeleteOemxInfList(void) {
  const INT count = BeginList("KVT_DeleteOemxInfList()", "DelOemInfPNF");
  INT result = 1;
  for (INT n = 1; n <= count; ++n) {
    CHAR section[LIST_VALUE_SIZE];
    CHAR name[LIST_VALUE_SIZE];
    CHAR data[LIST_VALUE_SIZE];
    ReadItem("DelOemInfPNF", "DelInfSec", n, section);
    ReadItem("DelOemInfPNF", "DelInfKey", n, name);
    ReadItem("DelOemInfPNF", "DelInfDat", n, data);
    result = KVT_DeleteOemxInf(section, name, data);
  }
  return result;
}

INT WINAPI KVT_DeleteDeviceList(void) {
  const INT count = BeginList("KVT_DeleteDeviceList()", "RemoveDevice");
  INT result = 1;
  for (INT n = 1; n <= count; ++n) {
    CHAR hardwareId[LIST_VALUE_SIZE];
    ReadItem("RemoveDevice", "HID", n, hardwareId);
    result = KVT_RemoveDevice(hardwareId);
    LogResult(result, "RemoveDevice(%s)", hardwareId);
  }
  return result;
}
