// The argument text of the process: its command line without the program
// name and the blanks after it.
#pragma once

#include <string>

// The program name ends at the closing double quote when the line starts
// with one (the quote is skipped too, or the line ends), otherwise at the
// first character of code 0x20 or lower; every following character of code
// 0x01 to 0x20 is skipped. Nothing else is trimmed.
std::string ArgumentText(const char* command_line);
