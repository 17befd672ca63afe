/* faultcmd: stands in for the port's "Command" in the Wine suite's fault
 * cases, a converter that goes wrong in a known way.
 *
 *   faultcmd hang [OUTPUT]
 *       Never reads its standard input and never ends.
 *   faultcmd quit BYTES CODE [OUTPUT]
 *       Reads BYTES bytes of its standard input (fewer when it ends first)
 *       and ends with exit code CODE, without writing anything.
 *
 * OUTPUT (the port's "%1") is ignored: it lets the port's "Arguments" end
 * in the output file as Ghostscript's do. Exit code 2 for a usage error. */
#include <windows.h>

#include <stdlib.h>
#include <string.h>

/* Reads up to `count` bytes of standard input and drops them. */
static void Consume(unsigned long count) {
  static char buffer[4096];
  HANDLE in = GetStdHandle(STD_INPUT_HANDLE);
  while (count > 0) {
    DWORD want = count < sizeof(buffer) ? count : (DWORD)sizeof(buffer);
    DWORD got = 0;
    if (!ReadFile(in, buffer, want, &got, NULL) || got == 0) return;
    count -= got;
  }
}

int main(int argc, char **argv) {
  if (argc >= 2 && strcmp(argv[1], "hang") == 0) {
    for (;;) Sleep(INFINITE);
  }
  if (argc >= 4 && strcmp(argv[1], "quit") == 0) {
    Consume(strtoul(argv[2], NULL, 10));
    return atoi(argv[3]);
  }
  return 2;
}
