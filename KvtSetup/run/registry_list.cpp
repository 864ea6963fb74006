// The registry list: each "DelReg%d" value goes, unchanged, to the exported
// key deletion, unlocking allowed. The key deletion logs its own lines.
#include "KvtSetup.h"
#include "run/list_items.h"

INT WINAPI KVT_DeleteRegList(void) {
  const INT count = BeginList("KVT_DeleteRegList()", "DelReg");
  for (INT n = 1; n <= count; ++n) {
    CHAR value[LIST_VALUE_SIZE];
    ReadItem("DelReg", "DelReg", n, value);
    KVT_RegDeleteKey(value, 0);
  }
  return 1;
}
