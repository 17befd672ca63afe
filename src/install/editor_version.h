// The version check of the companion editor Ostrel.
#pragma once

#include <string>

// Reads the version that follows the first "this is version " (any letter
// case) in the editor's readme under the install root, and warns when it is
// below `lowest`. Silent when the readme or the phrase is missing.
void CheckEditorVersion(float lowest);

// The number at the start of `text` as atof reads it: leading blanks, a
// sign, digits with one decimal point, an exponent; 0.0 when there is none.
double LeadingDecimal(const char* text);
