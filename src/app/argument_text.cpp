// The argument text of the process.
#include "app/argument_text.h"

std::string ArgumentText(const char* command_line) {
  if (!command_line) return std::string();
  const unsigned char* p = reinterpret_cast<const unsigned char*>(command_line);
  if (*p == '"') {
    ++p;
    while (*p && *p != '"') ++p;
    if (*p == '"') ++p;
  } else {
    while (*p > ' ') ++p;
  }
  while (*p && *p <= ' ') ++p;
  return std::string(reinterpret_cast<const char*>(p));
}
