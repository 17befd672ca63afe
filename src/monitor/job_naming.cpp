// File names and command lines of print jobs.
#include "monitor/job_naming.h"

#include <cstdio>

#include "contract/product_layout.h"
#include "monitor/document_name.h"
#include "monitor/unicode_text.h"

namespace job_naming {

namespace {

// Characters that no Windows file name may hold.
bool IsForbidden(char16_t c) {
  if (c < 0x20 || c == 0x7F) return true;
  switch (c) {
    case u'\\': case u'/': case u':': case u'*': case u'?':
    case u'"': case u'<': case u'>': case u'|':
      return true;
    default:
      return false;
  }
}

char16_t Upper(char16_t c) { return (c >= u'a' && c <= u'z') ? static_cast<char16_t>(c - 32) : c; }

// Whether `stem` names a device: the part before the first dot (with
// trailing blanks, which Windows ignores there) is one of the reserved names.
bool IsDeviceName(const std::u16string& stem) {
  std::u16string base = stem.substr(0, stem.find(u'.'));
  while (!base.empty() && base.back() == u' ') base.pop_back();
  for (char16_t& c : base) c = Upper(c);
  static const char16_t* const kPlain[] = {u"CON", u"PRN", u"AUX", u"NUL", u"CLOCK$"};
  for (const char16_t* name : kPlain)
    if (base == name) return true;
  if (base.size() == 4 && (base.compare(0, 3, u"COM") == 0 || base.compare(0, 3, u"LPT") == 0)) {
    // Windows reserves the superscript digits one to three there as well.
    const char16_t digit = base[3];
    return (digit >= u'1' && digit <= u'9') || digit == u'\u00B9' || digit == u'\u00B2' ||
           digit == u'\u00B3';
  }
  return false;
}

// Drops trailing dots and blanks (Windows would drop them silently, so the
// name written and the name checked would differ).
void TrimEnd(std::u16string* text) {
  while (!text->empty() && (text->back() == u'.' || text->back() == u' ')) text->pop_back();
}

}  // namespace

std::size_t StemBudget(std::size_t folder_units) {
  const std::size_t fixed =
      NumberedStem(std::u16string(), kMaxCandidates).size() + kLongestExtension + 1;
  if (folder_units + fixed >= kMaxPath) return 0;
  const std::size_t left = kMaxPath - fixed - folder_units;
  return left < kMaxStemUnits ? left : kMaxStemUnits;
}

std::u16string SafeFileStem(const std::u16string& name, std::size_t max_units) {
  // Where the folder leaves no room the files cannot be made under any
  // name: the shortest stem lets that failure be the one reported.
  const std::size_t budget = max_units > 0 ? max_units : 1;
  std::u16string stem;
  stem.reserve(name.size());
  for (char16_t c : name) stem += IsForbidden(c) ? u'_' : c;
  const std::size_t first = stem.find_first_not_of(u' ');
  stem.erase(0, first == std::u16string::npos ? stem.size() : first);
  stem = unicode_text::FirstUnits(stem, budget);
  TrimEnd(&stem);
  if (stem.empty()) return unicode_text::FirstUnits(u"document", budget);
  // The cut may have made a device name ("CONSOLE" to "CON"): checked after it.
  if (IsDeviceName(stem)) {
    stem = unicode_text::FirstUnits(u"_" + stem, budget);
    TrimEnd(&stem);
  }
  return stem;
}

std::u16string DocumentFileStem(const std::u16string& document, std::size_t max_units) {
  return SafeFileStem(document_name::Undecorated(document), max_units);
}

std::u16string NumberedStem(const std::u16string& stem, unsigned n) {
  if (n <= 1) return stem;
  const std::string number = std::to_string(n);
  return stem + u" (" + std::u16string(number.begin(), number.end()) + u")";
}

std::string TemporaryPdfName(unsigned long job_id, unsigned long process_id,
                             unsigned long tick_count, unsigned long serial) {
  char name[64];
  std::snprintf(name, sizeof(name), "tavrin-%lu-%lx-%lx-%lu.pdf", job_id, process_id, tick_count,
                serial);
  return name;
}

std::string ReportPath(const std::string& temp_pdf) {
  return temp_pdf.substr(0, temp_pdf.size() - 4) + ".out";
}

unsigned FirstFreeNumber(unsigned first, const std::function<Attempt(unsigned)>& attempt) {
  for (unsigned n = first < 1 ? 1 : first; n <= kMaxCandidates; ++n) {
    switch (attempt(n)) {
      case Attempt::kDone: return n;
      case Attempt::kFailed: return 0;
      case Attempt::kNameTaken: break;
    }
  }
  return 0;
}

std::string OutputFolder(const std::string& install_root) {
  return InstallRootFromValue(install_root) + kOutputPath;
}

std::string SubstituteOutput(const std::string& arguments, const std::string& output_path) {
  std::string result;
  result.reserve(arguments.size() + output_path.size());
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    const char c = arguments[i];
    const char next = i + 1 < arguments.size() ? arguments[i + 1] : '\0';
    if (c == '%' && next == '1') {
      for (const char p : output_path) {
        result += p;
        if (p == '%') result += '%';
      }
      ++i;
    } else if (c == '%' && next == '%') {
      result += '%';
      ++i;
    } else {
      result += c;
    }
  }
  return result;
}

std::string UnquotedPath(const std::string& command) {
  const std::size_t first = command.find_first_not_of(" \t");
  if (first == std::string::npos) return std::string();
  const std::size_t last = command.find_last_not_of(" \t");
  std::string path = command.substr(first, last - first + 1);
  if (path.size() >= 2 && path.front() == '"' && path.back() == '"')
    path = path.substr(1, path.size() - 2);
  return path;
}

std::string CommandLine(const std::string& command, const std::string& arguments) {
  std::string line = "\"" + UnquotedPath(command) + "\"";
  const std::size_t first = arguments.find_first_not_of(" \t");
  if (first != std::string::npos) line += " " + arguments.substr(first);
  return line;
}

}  // namespace job_naming
