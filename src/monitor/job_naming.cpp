// File names and command lines of print jobs.
#include "monitor/job_naming.h"

#include "common/product_layout.h"

namespace job_naming {

namespace {

// Characters that no Windows file name may hold.
bool IsForbidden(wchar_t c) {
  if (c < 0x20 || c == 0x7F) return true;
  switch (c) {
    case L'\\': case L'/': case L':': case L'*': case L'?':
    case L'"': case L'<': case L'>': case L'|':
      return true;
    default:
      return false;
  }
}

wchar_t Upper(wchar_t c) { return (c >= L'a' && c <= L'z') ? static_cast<wchar_t>(c - 32) : c; }

// Whether `stem` names a device: the part before the first dot (with
// trailing blanks, which Windows ignores there) is one of the reserved names.
bool IsDeviceName(const std::wstring& stem) {
  std::wstring base = stem.substr(0, stem.find(L'.'));
  while (!base.empty() && base.back() == L' ') base.pop_back();
  for (wchar_t& c : base) c = Upper(c);
  static const wchar_t* const kPlain[] = {L"CON", L"PRN", L"AUX", L"NUL", L"CLOCK$"};
  for (const wchar_t* name : kPlain)
    if (base == name) return true;
  if (base.size() == 4 && (base.compare(0, 3, L"COM") == 0 || base.compare(0, 3, L"LPT") == 0))
    return base[3] >= L'1' && base[3] <= L'9';
  return false;
}

// Drops trailing dots and blanks (Windows would drop them silently, so the
// name written and the name checked would differ).
void TrimEnd(std::wstring* text) {
  while (!text->empty() && (text->back() == L'.' || text->back() == L' ')) text->pop_back();
}

}  // namespace

std::wstring SafeFileStem(const std::wstring& document) {
  std::wstring stem;
  stem.reserve(document.size());
  for (wchar_t c : document) stem += IsForbidden(c) ? L'_' : c;
  const std::size_t first = stem.find_first_not_of(L' ');
  stem.erase(0, first == std::wstring::npos ? stem.size() : first);
  if (stem.size() > kMaxStemChars) stem.resize(kMaxStemChars);
  // A UTF-16 name cut between the halves of a surrogate pair loses the half.
  if (!stem.empty() && stem.back() >= 0xD800 && stem.back() <= 0xDBFF) stem.pop_back();
  TrimEnd(&stem);
  if (stem.empty()) return L"document";
  if (IsDeviceName(stem)) {
    stem.insert(stem.begin(), L'_');
    if (stem.size() > kMaxStemChars) stem.resize(kMaxStemChars);
  }
  return stem;
}

std::wstring NumberedStem(const std::wstring& stem, unsigned n) {
  if (n <= 1) return stem;
  return stem + L" (" + std::to_wstring(n) + L")";
}

std::string OutputFolder(const std::string& install_root) {
  std::string root = install_root.empty() ? std::string(kDefaultInstallRoot) : install_root;
  if (root.back() != '\\') root += '\\';
  return root + "tavrin\\output\\";
}

std::string SubstituteOutput(const std::string& arguments, const std::string& output_path) {
  std::string result;
  result.reserve(arguments.size() + output_path.size());
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    const char c = arguments[i];
    const char next = i + 1 < arguments.size() ? arguments[i + 1] : '\0';
    if (c == '%' && next == '1') {
      result += output_path;
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
