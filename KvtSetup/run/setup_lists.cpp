// The lists that hand each item to another operation of the library: OEM
// INF copies by a value inside them, and devices by hardware ID. Each
// returns the outcome of its last item.
#include "KvtSetup.h"
#include "run/list_items.h"
#include "run/log_result.h"

INT WINAPI KVT_DeleteOemxInfList(void) {
  KVT_LogFileWrite("KVT_DeleteOemxInfList()");
  const INT count = ReadListCount("DelOemInfPNF");
  INT result = 1;
  for (INT n = 1; n <= count; ++n) {
    CHAR key[LIST_KEY_SIZE];
    CHAR section[LIST_VALUE_SIZE];
    CHAR name[LIST_VALUE_SIZE];
    CHAR data[LIST_VALUE_SIZE];
    FormatItemKey(key, "DelInfSec", n);
    ReadItemValue("DelOemInfPNF", key, section);
    FormatItemKey(key, "DelInfKey", n);
    ReadItemValue("DelOemInfPNF", key, name);
    FormatItemKey(key, "DelInfDat", n);
    ReadItemValue("DelOemInfPNF", key, data);
    result = KVT_DeleteOemxInf(section, name, data);
  }
  return result;
}

INT WINAPI KVT_DeleteDeviceList(void) {
  KVT_LogFileWrite("KVT_DeleteDeviceList()");
  const INT count = ReadListCount("RemoveDevice");
  INT result = 1;
  for (INT n = 1; n <= count; ++n) {
    CHAR key[LIST_KEY_SIZE];
    CHAR hardwareId[LIST_VALUE_SIZE];
    FormatItemKey(key, "HID", n);
    ReadItemValue("RemoveDevice", key, hardwareId);
    result = KVT_RemoveDevice(hardwareId);
    LogResult(result, "RemoveDevice(%s)", hardwareId);
  }
  return result;
}
