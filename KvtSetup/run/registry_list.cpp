// The registry list: each "DelReg%d" value goes, unchanged, to the exported
// key deletion, unlocking allowed. The key deletion logs its own lines.
#include "KvtSetup.h"
#include "run/list_items.h"

INT WINAPI KVT_DeleteRegList(void) {
  KVT_LogFileWrite("KVT_DeleteRegList()");
  const INT count = ReadListCount("DelReg");
  for (INT n = 1; n <= count; ++n) {
    CHAR key[LIST_KEY_SIZE];
    CHAR value[LIST_VALUE_SIZE];
    FormatItemKey(key, "DelReg", n);
    ReadItemValue("DelReg", key, value);
    KVT_RegDeleteKey(value, 0);
  }
  return 1;
}
