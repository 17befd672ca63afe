// The product's version, kept here alone: setup.exe's version block reads
// it, and so does scripts/dist.sh for the Windows Installer packages (the
// version Add/Remove Programs shows). Windows Installer compares the first
// three numbers only: a newer package must raise one of them.
#pragma once

#define TAVRIN_VERSION_MAJOR 1
#define TAVRIN_VERSION_MINOR 0
#define TAVRIN_VERSION_BUILD 0
#define TAVRIN_VERSION_REVISION 1

#define TAVRIN_VERSION_STRINGIZE(text) #text
#define TAVRIN_VERSION_STRING(text) TAVRIN_VERSION_STRINGIZE(text)
#define TAVRIN_VERSION_NUMBERS \
  TAVRIN_VERSION_MAJOR, TAVRIN_VERSION_MINOR, TAVRIN_VERSION_BUILD, TAVRIN_VERSION_REVISION
// "1.0.0.1": no blank may come between the parts.
#define TAVRIN_VERSION_DOTTED TAVRIN_VERSION_MAJOR.TAVRIN_VERSION_MINOR.TAVRIN_VERSION_BUILD.TAVRIN_VERSION_REVISION
#define TAVRIN_VERSION_TEXT TAVRIN_VERSION_STRING(TAVRIN_VERSION_DOTTED)
