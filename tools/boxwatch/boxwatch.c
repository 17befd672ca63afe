/* boxwatch: finds the message boxes that other programs of the same Wine
 * prefix (or Windows session) show, records each one and answers it.
 *
 *   boxwatch.exe LOGFILE SECONDS [ANSWER...]
 *
 * Every box found is appended to LOGFILE as one line
 *   caption<TAB>text<TAB>button,button,...<TAB>answer
 * and answered with the next ANSWER (yes, no, ok, cancel; "ok" once they run
 * out). The program ends after SECONDS seconds, or as soon as the file
 * LOGFILE.stop exists. */
#include <windows.h>
#include <stdio.h>
#include <string.h>

struct box {
    char text[2048];
    char buttons[256];
};

static BOOL CALLBACK child_proc(HWND child, LPARAM param)
{
    struct box *box = (struct box *)param;
    char cls[64], text[2048];
    GetClassNameA(child, cls, sizeof(cls));
    GetWindowTextA(child, text, sizeof(text));
    if (!lstrcmpiA(cls, "Static") && text[0] && !box->text[0])
        lstrcpynA(box->text, text, sizeof(box->text));
    else if (!lstrcmpiA(cls, "Button")) {
        char *amp;
        while ((amp = strchr(text, '&'))) memmove(amp, amp + 1, strlen(amp));
        if (box->buttons[0]) strncat(box->buttons, ",", sizeof(box->buttons) - strlen(box->buttons) - 1);
        strncat(box->buttons, text, sizeof(box->buttons) - strlen(box->buttons) - 1);
    }
    return TRUE;
}

static HWND found;

static BOOL CALLBACK top_proc(HWND wnd, LPARAM param)
{
    char cls[64];
    (void)param;
    GetClassNameA(wnd, cls, sizeof(cls));
    if (!strcmp(cls, "#32770") && IsWindowVisible(wnd)) {
        found = wnd;
        return FALSE;
    }
    return TRUE;
}

static int answer_id(const char *answer)
{
    if (!lstrcmpiA(answer, "yes")) return IDYES;
    if (!lstrcmpiA(answer, "no")) return IDNO;
    if (!lstrcmpiA(answer, "cancel")) return IDCANCEL;
    return IDOK;
}

int main(int argc, char **argv)
{
    char stop[MAX_PATH];
    int next = 3;
    DWORD end;
    HWND last = NULL;
    if (argc < 3) {
        fprintf(stderr, "usage: boxwatch LOGFILE SECONDS [ANSWER...]\n");
        return 2;
    }
    snprintf(stop, sizeof(stop), "%s.stop", argv[1]);
    end = GetTickCount() + (DWORD)atoi(argv[2]) * 1000;
    while ((LONG)(end - GetTickCount()) > 0) {
        if (GetFileAttributesA(stop) != INVALID_FILE_ATTRIBUTES) break;
        found = NULL;
        EnumWindows(top_proc, 0);
        if (found && found != last) {
            struct box box;
            char caption[512];
            const char *answer = next < argc ? argv[next++] : "ok";
            FILE *log;
            Sleep(200); /* let the box finish painting its children */
            memset(&box, 0, sizeof(box));
            GetWindowTextA(found, caption, sizeof(caption));
            EnumChildWindows(found, child_proc, (LPARAM)&box);
            log = fopen(argv[1], "ab");
            if (log) {
                fprintf(log, "%s\t%s\t%s\t%s\n", caption, box.text, box.buttons, answer);
                fclose(log);
            }
            PostMessageA(found, WM_COMMAND, MAKEWPARAM(answer_id(answer), BN_CLICKED), 0);
            last = found;
        }
        Sleep(100);
    }
    return 0;
}
