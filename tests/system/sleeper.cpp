// quorvi-sleeper: does nothing for up to a minute. The process tests start
// copies of it under the names they want to see in the process list.
#include <windows.h>

int wmain() {
  Sleep(60000);
  return 7;
}
