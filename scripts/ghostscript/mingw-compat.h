/* Included first in every file of the Ghostscript cross-build for Windows.
 *
 * Ghostscript's configure build for mingw-w64 uses its POSIX platform code,
 * which calls setenv; Windows' C runtime (msvcrt.dll, as old as Windows 95)
 * has only _putenv. This setenv gives the same result through it. */
#ifndef TAVRIN_GS_MINGW_COMPAT_H
#define TAVRIN_GS_MINGW_COMPAT_H
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

/* Sets NAME to VALUE in the environment, unless it is set and OVERWRITE is
 * 0. Returns 0, or -1 when the text cannot be made or _putenv fails. */
static __inline int setenv(const char *name, const char *value, int overwrite) {
  char *entry;
  size_t size;
  int result;
  if (!overwrite && getenv(name) != NULL) return 0;
  size = strlen(name) + strlen(value) + 2;
  entry = (char *)malloc(size);
  if (entry == NULL) return -1;
  snprintf(entry, size, "%s=%s", name, value);
  result = _putenv(entry); /* msvcrt copies the text */
  free(entry);
  return result == 0 ? 0 : -1;
}
#endif
