// Taking the decorations of applications off document names.
#include "monitor/document_name.h"

#include <cstddef>

#include "monitor/unicode_text.h"

namespace document_name {

namespace {

const char* const kApplicationNames[] = {
    "Microsoft Word - ",  "Microsoft Excel - ",     "Microsoft PowerPoint - ",
    "Microsoft Visio - ", "Microsoft Publisher - ",
};

const char* const kDocumentExtensions[] = {
    "txt", "log",  "rtf",  "wri", "doc", "docx", "docm", "dot", "dotx", "odt", "ott",
    "wpd", "xls",  "xlsx", "xlsm", "ods", "csv", "ppt",  "pptx", "pps", "ppsx", "odp",
    "pub", "vsd",  "vsdx", "htm", "html", "mht", "xml",  "md",  "pdf",  "ps",  "eps",
    "prn", "jpg",  "jpeg", "png", "gif", "bmp",  "tif",  "tiff",
};

char16_t AsciiLower(char16_t c) {
  return (c >= u'A' && c <= u'Z') ? static_cast<char16_t>(c - u'A' + u'a') : c;
}

bool IsAsciiLetter(char16_t c) { return (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z'); }

bool IsSeparator(char16_t c) { return c == u'\\' || c == u'/'; }

// Whether `text` from `at` on begins with the ASCII text `ascii`, letter
// case aside.
bool HasAt(const std::u16string& text, std::size_t at, const char* ascii) {
  for (; *ascii; ++ascii, ++at) {
    if (at >= text.size()) return false;
    if (AsciiLower(text[at]) != AsciiLower(static_cast<char16_t>(*ascii))) return false;
  }
  return true;
}

bool EqualsAscii(const std::u16string& text, const char* ascii) {
  return HasAt(text, 0, ascii) && text.size() == std::char_traits<char>::length(ascii);
}

std::u16string Trimmed(const std::u16string& text) {
  const std::size_t first = text.find_first_not_of(u' ');
  if (first == std::u16string::npos) return std::u16string();
  return text.substr(first, text.find_last_not_of(u' ') - first + 1);
}

// The position after the root of an absolute path: "X:\" or
// "\\server\share\" (the whole text when nothing follows the share);
// npos when `path` is not absolute.
std::size_t RootEnd(const std::u16string& path) {
  if (path.size() >= 3 && IsAsciiLetter(path[0]) && path[1] == u':' && IsSeparator(path[2]))
    return 3;
  if (path.size() >= 2 && IsSeparator(path[0]) && IsSeparator(path[1])) {
    std::size_t at = 2;
    for (int part = 0; part < 2 && at < path.size(); ++part) {
      while (at < path.size() && !IsSeparator(path[at])) ++at;
      if (at < path.size()) ++at;
    }
    return at;
  }
  return std::u16string::npos;
}

// What follows the last separator of `path` once trailing separators are
// gone.
std::u16string AfterLastSeparator(std::u16string path) {
  while (!path.empty() && IsSeparator(path.back())) path.pop_back();
  std::size_t at = path.size();
  while (at > 0 && !IsSeparator(path[at - 1])) --at;
  return path.substr(at);
}

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// A URL's text with its %XX escapes decoded as UTF-8; the text as it is
// when they do not form UTF-8.
std::u16string UrlDecoded(const std::u16string& url) {
  const std::string escaped = unicode_text::ToUtf8(url);
  std::string bytes;
  for (std::size_t i = 0; i < escaped.size(); ++i) {
    const int high = escaped[i] == '%' && i + 2 < escaped.size() ? HexValue(escaped[i + 1]) : -1;
    const int low = high >= 0 ? HexValue(escaped[i + 2]) : -1;
    if (low >= 0) {
      bytes += static_cast<char>(high * 16 + low);
      i += 2;
    } else {
      bytes += escaped[i];
    }
  }
  std::u16string decoded;
  return unicode_text::FromUtf8(bytes, &decoded) ? decoded : url;
}

}  // namespace

std::u16string LastPathComponent(const std::u16string& name) {
  if (HasAt(name, 0, "file:")) {
    std::u16string path = UrlDecoded(name.substr(5));
    const std::u16string last = AfterLastSeparator(path);
    // "file:///C:/" names a drive, no file.
    if (last.size() == 2 && IsAsciiLetter(last[0]) && last[1] == u':') return std::u16string();
    return last;
  }
  const std::size_t root = RootEnd(name);
  if (root == std::u16string::npos) return name;
  return AfterLastSeparator(name.substr(root));
}

std::u16string WithoutApplicationName(const std::u16string& name) {
  for (const char* application : kApplicationNames)
    if (HasAt(name, 0, application))
      return name.substr(std::char_traits<char>::length(application));
  return name;
}

std::u16string WithoutDocumentExtension(const std::u16string& name) {
  const std::size_t dot = name.rfind(u'.');
  if (dot == std::u16string::npos) return name;
  const std::u16string before = name.substr(0, dot);
  if (before.find_first_not_of(u". ") == std::u16string::npos) return name;
  const std::u16string extension = name.substr(dot + 1);
  for (const char* known : kDocumentExtensions)
    if (EqualsAscii(extension, known)) return before;
  return name;
}

std::u16string Undecorated(const std::u16string& document) {
  const std::size_t first = document.find_first_not_of(u' ');
  std::u16string name = first == std::u16string::npos ? std::u16string() : document.substr(first);
  name = Trimmed(WithoutApplicationName(name));
  name = Trimmed(LastPathComponent(name));
  // Windows drops trailing dots and blanks from a file's name: "letter.txt."
  // is "letter.txt".
  while (!name.empty() && (name.back() == u'.' || name.back() == u' ')) name.pop_back();
  return WithoutDocumentExtension(name);
}

}  // namespace document_name
