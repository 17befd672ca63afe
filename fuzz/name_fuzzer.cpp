// libFuzzer target: the way from a document's name to the name of its PDF.
// Whoever prints chooses the name, and the monitor runs as LocalSystem, so
// whatever arrives must end up as the name of one plain file in the output
// folder, never as a device, a stream, a folder or a name Windows alters.
//
// Input: the document's name in UTF-16, two bytes a unit, little-endian;
// surrogates without their partner included, as an application may hand
// them to the spooler. An odd last byte B is no part of the name: it asks
// for a stem of at most B units, and for the stem that fits an output
// folder of 3 + B units. The number of the numbered candidate ("stem (n)")
// is derived from all the bytes.
//
// Any broken rule prints what was broken, the name and the stem to stderr
// and aborts, which libFuzzer reports as a crash with the input saved.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "monitor/document_name.h"
#include "monitor/job_naming.h"

namespace {

// Windows' MAX_PATH: the longest path, its NUL included, that the file
// functions take without the "\\?\" prefix.
constexpr std::size_t kMaxPath = 260;

bool IsHigh(char16_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool IsLow(char16_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

// Surrogates without their partner.
std::size_t LoneSurrogates(const std::u16string& text) {
  std::size_t lone = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (IsHigh(text[i]) && i + 1 < text.size() && IsLow(text[i + 1]))
      ++i;
    else if (IsHigh(text[i]) || IsLow(text[i]))
      ++lone;
  }
  return lone;
}

// The text for a message: ASCII as it is, anything else as \uXXXX.
std::string Shown(const std::u16string& text) {
  std::string shown;
  for (char16_t c : text) {
    if (c >= 0x20 && c < 0x7F && c != u'\\') {
      shown += static_cast<char>(c);
    } else {
      char escape[8];
      std::snprintf(escape, sizeof(escape), "\\u%04X", static_cast<unsigned>(c));
      shown += escape;
    }
  }
  return shown;
}

[[noreturn]] void Broken(const char* rule, const std::u16string& document,
                         const std::u16string& stem) {
  std::fprintf(stderr,
               "name_fuzzer: %s\n  document (%zu units): \"%s\"\n  stem (%zu units): \"%s\"\n",
               rule, document.size(), Shown(document).c_str(), stem.size(),
               Shown(stem).c_str());
  std::abort();
}

bool IsForbidden(char16_t c) {
  if (c <= 0x1F || c == 0x7F) return true;
  switch (c) {
    case u'\\': case u'/': case u':': case u'*': case u'?':
    case u'"': case u'<': case u'>': case u'|':
      return true;
    default:
      return false;
  }
}

char16_t AsciiUpper(char16_t c) {
  return (c >= u'a' && c <= u'z') ? static_cast<char16_t>(c - u'a' + u'A') : c;
}

// Whether Windows opens a device for this name: the part before the first
// dot, without the blanks Windows ignores at its end, letter case aside, is
// CON, PRN, AUX, NUL, COM1-9 or LPT1-9, the digit also one of the
// superscripts 1, 2 and 3 (U+00B9, U+00B2, U+00B3).
bool IsDeviceName(const std::u16string& name) {
  std::u16string base = name.substr(0, name.find(u'.'));
  while (!base.empty() && base.back() == u' ') base.pop_back();
  for (char16_t& c : base) c = AsciiUpper(c);
  if (base == u"CON" || base == u"PRN" || base == u"AUX" || base == u"NUL") return true;
  if (base.size() != 4 || (base.compare(0, 3, u"COM") != 0 && base.compare(0, 3, u"LPT") != 0))
    return false;
  const char16_t digit = base[3];
  return (digit >= u'1' && digit <= u'9') || digit == u'\u00B9' || digit == u'\u00B2' ||
         digit == u'\u00B3';
}

// The rules every stem keeps. `longest` is its greatest length in UTF-16
// units, `lone` the most surrogates without their partner it may hold:
// those the name brought, none made by cutting a pair in two.
void CheckStem(const std::u16string& document, const std::u16string& stem,
               std::size_t longest, std::size_t lone) {
  if (stem.empty()) Broken("empty stem", document, stem);
  for (char16_t c : stem)
    if (IsForbidden(c)) Broken("forbidden or control character in the stem", document, stem);
  if (IsDeviceName(stem)) Broken("the stem names a device", document, stem);
  if (stem.back() == u'.' || stem.back() == u' ')
    Broken("the stem ends in a dot or a blank", document, stem);
  if (LoneSurrogates(stem) > lone) Broken("a surrogate pair cut in two", document, stem);
  if (stem.size() > longest) Broken("the stem is longer than its budget", document, stem);
}

// The stem for `budget` units and its numbered candidate `n`.
void CheckStems(const std::u16string& document, std::size_t lone, std::size_t budget,
                unsigned n) {
  const std::u16string stem = job_naming::DocumentFileStem(document, budget);
  CheckStem(document, stem, budget > 0 ? budget : 1, lone);
  const std::u16string numbered = job_naming::NumberedStem(stem, n);
  const std::string suffix = " (" + std::to_string(n) + ")";
  CheckStem(document, numbered, stem.size() + suffix.size(), LoneSurrogates(stem));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::u16string document;
  document.reserve(size / 2);
  for (size_t i = 0; i + 1 < size; i += 2)
    document += static_cast<char16_t>(data[i] | (data[i + 1] << 8));

  // Taking the decorations off cuts only at ASCII characters, so it never
  // parts a pair: the stem may hold no more lone surrogates than what is
  // left of the name.
  const std::u16string undecorated = document_name::Undecorated(document);
  const std::size_t lone = LoneSurrogates(undecorated);
  if (lone > LoneSurrogates(document))
    Broken("a surrogate pair cut in two by Undecorated", document, undecorated);

  // A numbered candidate, 0 to kMaxCandidates, from a hash of the input.
  uint32_t hash = 2166136261u;
  for (size_t i = 0; i < size; ++i) hash = (hash ^ data[i]) * 16777619u;
  const unsigned n = hash % (job_naming::kMaxCandidates + 1);

  if (size % 2 == 0) {
    CheckStems(document, lone, job_naming::kMaxStemUnits, n);
    return 0;
  }

  // Any budget, 0 (taken as 1) included.
  const std::size_t units = data[size - 1];
  CheckStems(document, lone, units, n);

  // An output folder of `folder` units: whenever there is a budget for it,
  // every candidate's PDF and its ".ps" fit within MAX_PATH.
  const std::size_t folder = 3 + units;
  const std::size_t budget = job_naming::StemBudget(folder);
  if (budget == 0) return 0;
  CheckStems(document, lone, budget, n);
  const std::u16string last = job_naming::NumberedStem(
      job_naming::DocumentFileStem(document, budget), job_naming::kMaxCandidates);
  if (folder + last.size() + std::char_traits<char>::length(".pdf") + 1 > kMaxPath)
    Broken("the PDF's path is longer than MAX_PATH", document, last);
  return 0;
}
