// The setup log, an append-only file of timestamped lines under the install
// root, and the console trace on standard output.
#pragma once

#include <string>

#include "common/win32.h"

// Appends "<mm-dd-yy: HH:MM><message>\r\n" to the setup log. A line that
// cannot be written (folder missing, file locked) is dropped silently. The
// caller's last-error value is left as it was.
void LogLine(const std::string& message);

// Appends "<operation>: <code>" with the code in unsigned decimal.
void LogError(const char* operation, DWORD code);

// Writes a progress text to standard output only (nobody sees it unless the
// caller redirects the output). The caller's last-error value is kept.
void ConsoleTrace(const std::string& text);
