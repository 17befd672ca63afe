/* gsrelay: the gswin32c.exe that the product is staged with under Wine.
 *
 * Wine gives a Unix program that a Windows program starts neither its pipes
 * (standard input arrives as /dev/null) nor a process handle, so the host's
 * Ghostscript cannot be the port's "Command" as it is. This Windows console
 * program stands in its place and behaves as gswin32c.exe does for the
 * monitor: it reads the job from its standard input as it arrives, writes
 * Ghostscript's messages to its standard output, and ends with Ghostscript's
 * exit code.
 *
 * It starts "gswin32c.sh" from its own folder with the same arguments. The
 * script's standard input and output are loopback sockets, which Wine does
 * hand to Unix programs (non-blocking: the script makes them blocking). The
 * script ends its output with the record "\n<STATUS_TAG> <code>\n", which the
 * relay strips and turns into its own exit code. */
#include <winsock2.h>
#include <windows.h>
#include <stdio.h>
#include <string.h>

#define STATUS_TAG "gsrelay-exit-code"
#define SCRIPT_NAME "gswin32c.sh"
/* Exit codes of the relay's own failures. */
#define EXIT_NO_SCRIPT 250
#define EXIT_NO_SOCKETS 251
#define EXIT_NO_STATUS 252
/* The longest status record, with room to spare. */
#define HOLD_BACK 64

/* Writes every byte of DATA to the handle OUT; returns FALSE when it fails. */
static BOOL write_all(HANDLE out, const char* data, DWORD size) {
  while (size > 0) {
    DWORD done = 0;
    if (!WriteFile(out, data, size, &done, NULL) || done == 0) return FALSE;
    data += done;
    size -= done;
  }
  return TRUE;
}

/* Makes a connected pair of loopback TCP sockets; returns FALSE when any
 * step fails (nothing is left open then). */
static BOOL socket_pair(SOCKET pair[2]) {
  struct sockaddr_in address;
  int length = sizeof address;
  SOCKET listener = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  pair[0] = pair[1] = INVALID_SOCKET;
  if (listener == INVALID_SOCKET) return FALSE;
  memset(&address, 0, sizeof address);
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (bind(listener, (struct sockaddr*)&address, sizeof address) == 0 &&
      listen(listener, 1) == 0 &&
      getsockname(listener, (struct sockaddr*)&address, &length) == 0) {
    pair[0] = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (pair[0] != INVALID_SOCKET &&
        connect(pair[0], (struct sockaddr*)&address, sizeof address) == 0)
      pair[1] = accept(listener, NULL, NULL);
  }
  closesocket(listener);
  if (pair[1] != INVALID_SOCKET) return TRUE;
  if (pair[0] != INVALID_SOCKET) closesocket(pair[0]);
  pair[0] = INVALID_SOCKET;
  return FALSE;
}

/* The command line after the program's own name, as it was given. */
static const char* arguments_of(const char* line) {
  if (*line == '"') {
    line = strchr(line + 1, '"');
    if (!line) return "";
    ++line;
  } else {
    while (*line && *line != ' ' && *line != '\t') ++line;
  }
  while (*line == ' ' || *line == '\t') ++line;
  return line;
}

/* Copies the relay's standard input to the socket PARAM until either ends,
 * then tells the script that the input is over. */
static DWORD WINAPI copy_input(LPVOID param) {
  SOCKET to_script = (SOCKET)(UINT_PTR)param;
  HANDLE in = GetStdHandle(STD_INPUT_HANDLE);
  static char buffer[65536];
  DWORD got = 0;
  while (ReadFile(in, buffer, sizeof buffer, &got, NULL) && got > 0) {
    const char* data = buffer;
    while (got > 0) {
      int sent = send(to_script, data, (int)got, 0);
      if (sent <= 0) goto done; /* the script stopped reading */
      data += sent;
      got -= (DWORD)sent;
    }
  }
done:
  shutdown(to_script, SD_SEND);
  return 0;
}

/* Reads the exit code out of the status record at the end of TAIL (SIZE
 * bytes), shortening *SIZE to the text before the record; returns
 * EXIT_NO_STATUS when there is no record. */
static int take_status(const char* tail, DWORD* size) {
  const char tag[] = "\n" STATUS_TAG " ";
  DWORD i;
  for (i = *size; i-- > 0;) {
    if (tail[i] != '\n' || i + sizeof tag - 1 > *size) continue;
    if (memcmp(tail + i, tag, sizeof tag - 1) != 0) continue;
    *size = i;
    return atoi(tail + i + sizeof tag - 1);
  }
  return EXIT_NO_STATUS;
}

int main(void) {
  WSADATA wsa;
  SOCKET input[2], output[2];
  char script[MAX_PATH + 16], *slash;
  char* command_line;
  const char* arguments = arguments_of(GetCommandLineA());
  STARTUPINFOA startup;
  PROCESS_INFORMATION process;
  HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE), copier;
  static char held[65536 + HOLD_BACK];
  DWORD held_size = 0;
  int got, code;

  DWORD length = GetModuleFileNameA(NULL, script, MAX_PATH);
  if (length == 0 || length >= MAX_PATH || !(slash = strrchr(script, '\\')))
    return EXIT_NO_SCRIPT;
  strcpy(slash + 1, SCRIPT_NAME);
  if (GetFileAttributesA(script) == INVALID_FILE_ATTRIBUTES) {
    printf("gsrelay: %s is missing\n", script);
    return EXIT_NO_SCRIPT;
  }
  if (WSAStartup(MAKEWORD(2, 2), &wsa) != 0 || !socket_pair(input) || !socket_pair(output)) {
    printf("gsrelay: no loopback sockets (%d)\n", WSAGetLastError());
    return EXIT_NO_SOCKETS;
  }
  /* Only the script's ends are inherited. */
  SetHandleInformation((HANDLE)input[1], HANDLE_FLAG_INHERIT, HANDLE_FLAG_INHERIT);
  SetHandleInformation((HANDLE)output[1], HANDLE_FLAG_INHERIT, HANDLE_FLAG_INHERIT);

  command_line = (char*)HeapAlloc(GetProcessHeap(), 0, strlen(script) + strlen(arguments) + 4);
  if (!command_line) return EXIT_NO_SCRIPT;
  sprintf(command_line, "\"%s\" %s", script, arguments);
  memset(&startup, 0, sizeof startup);
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = (HANDLE)input[1];
  startup.hStdOutput = (HANDLE)output[1];
  startup.hStdError = (HANDLE)output[1];
  memset(&process, 0, sizeof process);
  /* DETACHED_PROCESS: started by the port monitor the relay has no console,
   * and Wine then gives a Unix child /dev/null in place of the handles given
   * here unless the child is detached too. */
  if (!CreateProcessA(script, command_line, NULL, NULL, TRUE, DETACHED_PROCESS, NULL, NULL,
                      &startup, &process)) {
    printf("gsrelay: %s did not start (%lu)\n", script, GetLastError());
    return EXIT_NO_SCRIPT;
  }
  /* Wine returns no handles for a Unix program; close any that came. */
  if (process.hThread) CloseHandle(process.hThread);
  if (process.hProcess) CloseHandle(process.hProcess);
  closesocket(input[1]);
  closesocket(output[1]);

  copier = CreateThread(NULL, 0, copy_input, (LPVOID)(UINT_PTR)input[0], 0, NULL);
  if (!copier) shutdown(input[0], SD_SEND);

  /* Pass the script's output on, holding back what may be the status
   * record until the output ends. */
  while ((got = recv(output[0], held + held_size, (int)(sizeof held - held_size), 0)) > 0) {
    held_size += (DWORD)got;
    if (held_size > HOLD_BACK) {
      DWORD pass = held_size - HOLD_BACK;
      write_all(out, held, pass);
      memmove(held, held + pass, HOLD_BACK);
      held_size = HOLD_BACK;
    }
  }
  code = take_status(held, &held_size);
  write_all(out, held, held_size);
  if (code == EXIT_NO_STATUS) printf("gsrelay: %s ended without its exit code\n", script);
  fflush(stdout);
  /* The input may still be open (the script ended early): do not wait for
   * the copying thread. */
  ExitProcess((UINT)code);
}
