/* montest's job checks: PostScript jobs printed through the port with the
 * configuration record the setup program writes, and what they leave in
 * the output folder: the PDF named after the document, a second one of the
 * same name beside it, and for PostScript the program rejects no PDF but
 * the job's data as .ps and a line in the port's log. */
#include <windows.h>
#include <winspool.h>
#include <stdio.h>
#include <string.h>

#include "contract/product_layout.h"
#include "montest.h"

#define PORT_KEY PORTS_KEY "\\" PORT_NAME
#define PRODUCT_KEY "Software\\Tavrin"
#define TEXT_DOCUMENT "montest text job"
#define BAD_DOCUMENT "montest bad job"

static const char text_job[] =
    "%!PS-Adobe-3.0\n"
    "%%Title: montest text job\n"
    "%%Pages: 1\n"
    "%%EndComments\n"
    "%%Page: 1 1\n"
    "/Helvetica findfont 20 scalefont setfont\n"
    "72 700 moveto (" MONTEST_PDF_TEXT ") show\n"
    "showpage\n"
    "%%EOF\n";

/* An operator Ghostscript does not know: it stops with an error. */
static const char bad_job[] = "%!PS-Adobe-3.0\n%%Title: montest bad job\nmontest_undefined_op\n"
                              "showpage\n%%EOF\n";

static LONG set_string(HKEY key, const char *name, const char *value)
{
    return RegSetValueExA(key, name, 0, REG_SZ, (const BYTE *)value, (DWORD)strlen(value) + 1);
}

static LONG set_dword(HKEY key, const char *name, DWORD value)
{
    return RegSetValueExA(key, name, 0, REG_DWORD, (const BYTE *)&value, sizeof(value));
}

/* Writes the port's record as the setup program does for the setup folder
 * `setup_dir`, and the install root above it as the product's "Path".
 * Returns whether every value was written. */
static BOOL write_setup_record(const char *setup_dir, char *root, size_t root_size)
{
    char arguments[1024], command[MAX_PATH + 64];
    const char *slash = strrchr(setup_dir, '\\');
    HKEY key;
    LONG result = 0;
    int i;
    size_t root_length = slash ? (size_t)(slash - setup_dir) + 1 : 0;

    if (root_length >= root_size)
        root_length = root_size - 1;
    memcpy(root, setup_dir, root_length);
    root[root_length] = '\0';
    if (strchr(setup_dir, ' '))
        sprintf(arguments, "\"@%s%s\"%s", setup_dir, PORT_RESPONSE_FILE, PORT_ARGUMENTS_TAIL);
    else
        sprintf(arguments, "@%s%s%s", setup_dir, PORT_RESPONSE_FILE, PORT_ARGUMENTS_TAIL);
    sprintf(command, "%s" PORT_COMMAND_PROGRAM, setup_dir);

    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, PORT_KEY, 0, NULL, 0, KEY_ALL_ACCESS, NULL, &key, NULL))
        return FALSE;
    for (i = 0; i < PORT_VALUE_COUNT; i++) {
        const struct PortValue *value = &kPortRecord[i];
        if (value->setup == PORT_SETUP_NONE) continue;
        if (value->type == PORT_NUMBER) {
            result |= set_dword(key, value->name, (DWORD)value->setup_number);
            continue;
        }
        switch (value->setup) {
        case PORT_SETUP_ARGUMENTS: result |= set_string(key, value->name, arguments); break;
        case PORT_SETUP_COMMAND: result |= set_string(key, value->name, command); break;
        case PORT_SETUP_PRINTER: result |= set_string(key, value->name, TAVRIN_PRINTER_NAME); break;
        case PORT_SETUP_FIXED: result |= set_string(key, value->name, value->setup_text); break;
        case PORT_SETUP_NONE: break;
        }
    }
    RegCloseKey(key);
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, PRODUCT_KEY, 0, NULL, 0, KEY_ALL_ACCESS, NULL, &key,
                        NULL))
        return FALSE;
    result |= set_string(key, "Path", root);
    RegCloseKey(key);
    CHECK(result == 0, "setup's port record", "Command %s, Arguments %s, root %s", command,
          arguments, root);
    return result == 0;
}

/* Sets one REG_DWORD of the port's record. */
static void set_port_dword(const char *name, DWORD value)
{
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, PORT_KEY, 0, KEY_SET_VALUE, &key) == ERROR_SUCCESS) {
        set_dword(key, name, value);
        RegCloseKey(key);
    }
}

/* Prints `size` bytes of PostScript as a RAW job named `document`.
 * Returns whether the spooler took the job to its end. */
static BOOL print_job(const char *printer_name, const char *document, const char *data,
                      DWORD size)
{
    DOC_INFO_1A doc;
    HANDLE printer = NULL;
    DWORD job, written = 0;
    BOOL ok;
    doc.pDocName = (LPSTR)document;
    doc.pOutputFile = NULL;
    doc.pDatatype = "RAW";
    if (!OpenPrinterA((LPSTR)printer_name, &printer, NULL)) {
        report("FAIL", document, "OpenPrinterA: %lu", GetLastError());
        return FALSE;
    }
    job = StartDocPrinterA(printer, 1, (LPBYTE)&doc);
    ok = job != 0 && WritePrinter(printer, (LPVOID)data, size, &written) && written == size;
    ok = EndDocPrinter(printer) && ok;
    CHECK(ok, document, "job %lu, %lu of %lu bytes, last error %lu", job, written, size,
          ok ? 0 : GetLastError());
    ClosePrinter(printer);
    return ok;
}

/* The size of `path`, or -1 when it does not exist. */
static long file_size(const char *path)
{
    WIN32_FIND_DATAA found;
    HANDLE find = FindFirstFileA(path, &found);
    if (find == INVALID_HANDLE_VALUE)
        return -1;
    FindClose(find);
    return (long)found.nFileSizeLow;
}

/* Deletes what earlier runs left of a document. */
static void forget_outputs(const char *folder, const char *document)
{
    static const char *const endings[] = {".pdf", ".ps", " (2).pdf", " (2).ps"};
    char path[MAX_PATH];
    size_t i;
    for (i = 0; i < sizeof(endings) / sizeof(endings[0]); i++) {
        sprintf(path, "%s%s%s", folder, document, endings[i]);
        DeleteFileA(path);
    }
}

/* Whether the file `path` holds `text`. */
static BOOL file_holds(const char *path, const char *text)
{
    static char content[65536];
    DWORD got = 0;
    HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL,
                              OPEN_EXISTING, 0, NULL);
    if (file == INVALID_HANDLE_VALUE)
        return FALSE;
    ReadFile(file, content, sizeof(content) - 1, &got, NULL);
    CloseHandle(file);
    content[got] = '\0';
    return strstr(content, text) != NULL;
}

void run_job_checks(const char *setup_dir, const char *printer_name)
{
    char root[MAX_PATH], folder[MAX_PATH], pdf[MAX_PATH], ps[MAX_PATH], second[MAX_PATH],
        log[MAX_PATH], line[256];
    long size;

    if (!write_setup_record(setup_dir, root, sizeof(root)))
        return;
    sprintf(folder, "%s" TAVRIN_OUTPUT_PATH, root);
    sprintf(log, "%stavmon.log", folder);
    /* On the NT family each user's jobs go to a folder of the user's own;
     * Wine's spooler names no job, so the monitor takes its own user,
     * which is ours. */
    if (!(GetVersion() & 0x80000000)) {
        char user[257];
        DWORD size = sizeof(user);
        if (GetUserNameA(user, &size) && strlen(folder) + strlen(user) + 2 < sizeof(folder)) {
            strcat(folder, user);
            strcat(folder, "\\");
        }
    }
    forget_outputs(folder, TEXT_DOCUMENT);
    forget_outputs(folder, BAD_DOCUMENT);
    DeleteFileA(log);
    clear_trace();

    /* A job of known text: its PDF, named after the document, the copy gone. */
    sprintf(pdf, "%s%s.pdf", folder, TEXT_DOCUMENT);
    sprintf(ps, "%s%s.ps", folder, TEXT_DOCUMENT);
    print_job(printer_name, TEXT_DOCUMENT, text_job, sizeof(text_job) - 1);
    size = file_size(pdf);
    CHECK(size > 0, "PDF of the text job", "%s: %ld bytes", pdf, size);
    CHECK(file_size(ps) < 0, "copy of the text job", "%s %s", ps,
          file_size(ps) < 0 ? "deleted" : "STILL THERE");
    if (traced("job ", line, sizeof(line)))
        report("INFO", "program", "%s", line);
    if (size > 0)
        printf("PDF %s\n", pdf);

    /* The same document again: a second file beside the first. */
    sprintf(second, "%s%s (2).pdf", folder, TEXT_DOCUMENT);
    print_job(printer_name, TEXT_DOCUMENT, text_job, sizeof(text_job) - 1);
    CHECK(file_size(second) > 0 && file_size(pdf) == size, "same document again",
          "%s: %ld bytes, the first still %ld bytes", second, file_size(second), file_size(pdf));

    /* PostScript the program rejects: no PDF, the data kept, the reason
     * logged (with "LogFileUse" on). */
    set_port_dword("LogFileUse", 1);
    sprintf(pdf, "%s%s.pdf", folder, BAD_DOCUMENT);
    sprintf(ps, "%s%s.ps", folder, BAD_DOCUMENT);
    print_job(printer_name, BAD_DOCUMENT, bad_job, sizeof(bad_job) - 1);
    CHECK(file_size(pdf) <= 0, "no PDF of the rejected job", "%s: %ld", pdf, file_size(pdf));
    CHECK(file_size(ps) == (long)sizeof(bad_job) - 1, "rejected job kept",
          "%s: %ld bytes of %u", ps, file_size(ps), (unsigned)sizeof(bad_job) - 1);
    CHECK(file_holds(log, "\"" BAD_DOCUMENT "\": job") && file_holds(log, "failed") &&
              file_holds(log, "gswin32c.exe"),
          "log of the rejected job", "%s", log);
    set_port_dword("LogFileUse", 0);
}
