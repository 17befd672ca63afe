/* recorder: stands in for a program that the setup starts (rundll32.exe)
 * in the Wine test suite. It appends its own command line to
 * C:\started.log, one line per start, and ends. */
#include <windows.h>

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR args, int show)
{
    HANDLE log;
    DWORD written;
    const char *line = GetCommandLineA();
    (void)instance; (void)previous; (void)args; (void)show;
    log = CreateFileA("C:\\started.log", FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                      NULL, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
    if (log == INVALID_HANDLE_VALUE) return 1;
    WriteFile(log, line, lstrlenA(line), &written, NULL);
    WriteFile(log, "\r\n", 2, &written, NULL);
    CloseHandle(log);
    return 0;
}
