// The version check of the companion editor Ostrel.
#include "install/editor_version.h"

#include <cctype>
#include <cstdlib>
#include <string>

#include "common/install_root.h"
#include "common/text.h"
#include "common/whole_file.h"
#include "framework/afxwin.h"
#include "install/install_messages.h"

namespace {

constexpr char kVersionPhrase[] = "this is version ";

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

}  // namespace

double LeadingDecimal(const char* text) {
  const char* p = text;
  while (*p == ' ' || (*p >= '\t' && *p <= '\r')) ++p;
  const char* start = p;
  if (*p == '+' || *p == '-') ++p;
  bool digits = false;
  while (IsDigit(*p)) ++p, digits = true;
  if (*p == '.') {
    ++p;
    while (IsDigit(*p)) ++p, digits = true;
  }
  if (!digits) return 0.0;
  if (*p == 'e' || *p == 'E') {
    const char* e = p + 1;
    if (*e == '+' || *e == '-') ++e;
    if (IsDigit(*e)) {
      while (IsDigit(*e)) ++e;
      p = e;
    }
  }
  // Only the plain decimal number is handed on, so every runtime reads the
  // same value (no hexadecimal or "inf" forms).
  return std::strtod(std::string(start, p).c_str(), nullptr);
}

void CheckEditorVersion(float lowest) {
  HeapBuffer buffer;
  DWORD length = 0;
  const std::string readme = InstallRoot() + "tavrin\\res\\utilities\\readme.html";
  if (ReadWholeFile(readme, &buffer, &length, 1) != ReadStep::kDone) return;

  std::string text(reinterpret_cast<const char*>(buffer.data()));
  buffer.Free();
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));

  const size_t at = text.find(kVersionPhrase);
  if (at == std::string::npos) return;
  const double version = LeadingDecimal(text.c_str() + at + sizeof(kVersionPhrase) - 1);
  if (version < static_cast<double>(lowest)) {
    AfxMessageBox(Format("Setup has detected you have an old version of Ostrel that is "
                         "incompatible with the latest version of tavrin. The latest version "
                         "of Ostrel is available free at %s. Please upgrade.",
                         kMakerWebAddress)
                      .c_str(),
                  MB_OK);
  }
}
