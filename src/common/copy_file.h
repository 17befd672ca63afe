// Copying one file, with each failure reported as one setup-log line.
#pragma once

#include <string>

// Copies `source` to `destination` whole. The source is read completely
// before the destination is touched, so a source that cannot be read leaves
// an installed copy as it was. Logs at most one line, always naming the
// source. Returns true when the whole content was written and both files
// closed.
bool CopyFileLogged(std::string source, std::string destination);
