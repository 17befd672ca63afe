// Profile (.ini) files: GetPrivateProfileStringA and WritePrivateProfileStringA/W.
//
// The files are read and written through the machine's own file functions,
// so missing folders, files held by other processes and read-only files
// fail here as they fail anywhere. A write changes only the lines it must
// and keeps the rest of the file byte for byte. A name without a path means
// a file in the Windows folder.
//
// The file calls made on the program's behalf are not the program's calls:
// they stay out of the journal, which gets one line per profile write.
#include <algorithm>
#include <cstring>

#include "sim/machine.h"
#include "sim/scheduler.h"
#include "sim/win32_api.h"

namespace sim {

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string Trim(const std::string& text) {
  size_t begin = 0, end = text.size();
  while (begin < end && IsBlank(text[begin])) ++begin;
  while (end > begin && IsBlank(text[end - 1])) --end;
  return text.substr(begin, end - begin);
}

// One line of a profile file, with its own line end ("\r\n", "\n", "\r" or
// none at the end of the file).
struct Line {
  enum Kind { kBlank, kComment, kSection, kEntry, kBare } kind = kBlank;
  std::string text, end;
  std::string name;   // the section's or the key's name, trimmed
  std::string value;  // an entry's value, trimmed
};

Line Classify(std::string text, std::string end) {
  Line line;
  line.text = std::move(text);
  line.end = std::move(end);
  const std::string trimmed = Trim(line.text);
  if (trimmed.empty()) {
    line.kind = Line::kBlank;
  } else if (trimmed[0] == ';') {
    line.kind = Line::kComment;
  } else if (trimmed[0] == '[') {
    line.kind = Line::kSection;
    // The name runs to the last ']', or to the end of the line without one.
    size_t close = trimmed.rfind(']');
    line.name = Trim(trimmed.substr(1, close == std::string::npos ? std::string::npos : close - 1));
  } else {
    size_t eq = trimmed.find('=');
    line.kind = eq == std::string::npos ? Line::kBare : Line::kEntry;
    line.name = Trim(trimmed.substr(0, eq));
    if (eq != std::string::npos) line.value = Trim(trimmed.substr(eq + 1));
  }
  return line;
}

// A profile file split into lines.
struct Profile {
  std::vector<Line> lines;

  static Profile Parse(const std::string& bytes) {
    Profile p;
    size_t start = 0;
    while (start < bytes.size()) {
      size_t stop = bytes.find_first_of("\r\n", start);
      if (stop == std::string::npos) {
        p.lines.push_back(Classify(bytes.substr(start), ""));
        break;
      }
      size_t after = stop + 1;
      if (bytes[stop] == '\r' && after < bytes.size() && bytes[after] == '\n') ++after;
      p.lines.push_back(
          Classify(bytes.substr(start, stop - start), bytes.substr(stop, after - stop)));
      start = after;
    }
    return p;
  }

  std::string Text() const {
    std::string out;
    for (const Line& line : lines) out += line.text + line.end;
    return out;
  }

  // The first section of that name: its header's index, or npos.
  size_t FindSection(const std::string& name) const {
    for (size_t i = 0; i < lines.size(); ++i)
      if (lines[i].kind == Line::kSection && EqualNoCase(lines[i].name, name)) return i;
    return std::string::npos;
  }

  // The index after the last line of the section whose header is at `header`.
  size_t SectionEnd(size_t header) const {
    size_t i = header + 1;
    while (i < lines.size() && lines[i].kind != Line::kSection) ++i;
    return i;
  }

  // The first line of the section naming that key (with or without '='), or npos.
  size_t FindKey(size_t header, const std::string& key) const {
    for (size_t i = header + 1; i < SectionEnd(header); ++i) {
      const Line& line = lines[i];
      if ((line.kind == Line::kEntry || line.kind == Line::kBare) && EqualNoCase(line.name, key))
        return i;
    }
    return std::string::npos;
  }

  // Inserts a line before `at`, giving the line before it an end if it had none.
  void Insert(size_t at, const std::string& text) {
    if (at > 0 && lines[at - 1].end.empty()) lines[at - 1].end = "\r\n";
    lines.insert(lines.begin() + static_cast<long>(at), Classify(text, "\r\n"));
  }

  // Sets a key: in place when it is there, else after the section's last
  // entry, else in a new section at the end of the file.
  void Set(const std::string& section, const std::string& key, const std::string& value) {
    size_t header = FindSection(section);
    if (header == std::string::npos) {
      Insert(lines.size(), "[" + section + "]");
      Insert(lines.size(), key + "=" + value);
      return;
    }
    size_t at = FindKey(header, key);
    if (at != std::string::npos) {
      lines[at] = Classify(lines[at].name + "=" + value, lines[at].end);
      return;
    }
    size_t last = header;
    for (size_t i = header + 1; i < SectionEnd(header); ++i)
      if (lines[i].kind == Line::kEntry || lines[i].kind == Line::kBare) last = i;
    Insert(last + 1, key + "=" + value);
  }

  void DeleteKey(const std::string& section, const std::string& key) {
    size_t header = FindSection(section);
    if (header == std::string::npos) return;
    size_t at = FindKey(header, key);
    if (at != std::string::npos) lines.erase(lines.begin() + static_cast<long>(at));
  }

  void DeleteSection(const std::string& section) {
    size_t header = FindSection(section);
    if (header == std::string::npos) return;
    lines.erase(lines.begin() + static_cast<long>(header),
                lines.begin() + static_cast<long>(SectionEnd(header)));
  }

  // The key names of a section (lines with '='), or every section name.
  std::vector<std::string> KeyNames(const std::string& section) const {
    std::vector<std::string> names;
    size_t header = FindSection(section);
    if (header == std::string::npos) return names;
    for (size_t i = header + 1; i < SectionEnd(header); ++i)
      if (lines[i].kind == Line::kEntry) names.push_back(lines[i].name);
    return names;
  }

  std::vector<std::string> SectionNames() const {
    std::vector<std::string> names;
    for (const Line& line : lines)
      if (line.kind == Line::kSection) names.push_back(line.name);
    return names;
  }
};

// Keeps the file calls made inside a profile function out of the journal
// (an injected fault they took stays visible).
class QuietFiles {
 public:
  QuietFiles() : mark_(M().journal.size()) {}
  ~QuietFiles() {
    std::vector<std::string>& journal = M().journal;
    size_t keep = mark_;
    for (size_t i = mark_; i < journal.size(); ++i)
      if (journal[i].rfind("Fault ", 0) == 0) journal[keep++] = journal[i];
    journal.resize(keep);
  }
  QuietFiles(const QuietFiles&) = delete;
  QuietFiles& operator=(const QuietFiles&) = delete;

 private:
  size_t mark_;
};

// The file a profile name stands for: a bare name lives in the Windows
// folder, and no name at all means win.ini.
std::string ProfilePath(const char* file) {
  std::string name = file ? file : "win.ini";
  if (name.find_first_of("\\/") != std::string::npos) return name;
  return M().platform().windows_dir + "\\" + name;
}

// Reads a whole file through the file functions, with the rights given;
// false, with the file functions' last error, when it cannot be opened or read.
bool ReadWhole(const std::string& path, DWORD access, DWORD disposition, std::string* out) {
  HANDLE file = CreateFileA(path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  out->clear();
  char chunk[4096];
  bool ok = true;
  for (;;) {
    DWORD got = 0;
    if (!ReadFile(file, chunk, sizeof(chunk), &got, nullptr)) {
      ok = false;
      break;
    }
    if (got == 0) break;
    out->append(chunk, got);
  }
  DWORD error = GetLastError();
  CloseHandle(file);
  if (!ok) SetLastError(error);
  return ok;
}

// Replaces the contents of an existing file; false with the last error set.
bool Rewrite(const std::string& path, const std::string& bytes) {
  HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                            nullptr, TRUNCATE_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  size_t done = 0;
  bool ok = true;
  while (ok && done < bytes.size()) {
    DWORD wrote = 0;
    ok = WriteFile(file, bytes.data() + done, static_cast<DWORD>(bytes.size() - done), &wrote,
                   nullptr) &&
         wrote > 0;
    done += wrote;
  }
  DWORD error = GetLastError();
  CloseHandle(file);
  if (!ok) SetLastError(error);
  return ok;
}

// Copies a text into the caller's buffer of `size` characters, cut to fit
// with its NUL; returns the characters copied.
DWORD CopyText(const std::string& text, LPSTR buffer, DWORD size) {
  if (!buffer || size == 0) return 0;
  DWORD count = static_cast<DWORD>(std::min<size_t>(text.size(), size - 1));
  std::memcpy(buffer, text.data(), count);
  buffer[count] = 0;
  return count;
}

// Copies names as a list of NUL-ended names closed by one more NUL. When the
// list does not fit, it is cut at size - 2 characters and closed by two
// NULs, and size - 2 is returned.
DWORD CopyList(const std::vector<std::string>& names, LPSTR buffer, DWORD size) {
  if (!buffer || size == 0) return 0;
  std::string list;
  for (const std::string& name : names) list += name + '\0';
  if (list.size() + 1 <= size) {
    std::memcpy(buffer, list.data(), list.size());
    buffer[list.size()] = 0;
    return static_cast<DWORD>(list.size());
  }
  if (size < 2) {
    buffer[0] = 0;
    return 0;
  }
  std::memcpy(buffer, list.data(), size - 2);
  buffer[size - 2] = 0;
  buffer[size - 1] = 0;
  return size - 2;
}

// An entry's value as GetPrivateProfileString returns it: one pair of
// matching quotes around it removed.
std::string Unquote(const std::string& value) {
  if (value.size() >= 2 && (value[0] == '"' || value[0] == '\'') && value.back() == value[0])
    return value.substr(1, value.size() - 2);
  return value;
}

std::string Shown(const char* text) { return text ? text : "(null)"; }

// The common part of WritePrivateProfileStringA/W.
BOOL WriteProfileString(const char* function, const char* section, const char* key,
                        const char* value, const char* file) {
  M().Note(std::string(function) + " " + Shown(file) + ", " + Shown(section) + ", " + Shown(key) +
           ", " + Shown(value));
  // All three NULL asks to flush the cache; Windows documents that this
  // returns zero.
  if (!section && !key && !value) return FALSE;
  if (!section) {
    SetLastError(ERROR_FILE_NOT_FOUND);
    return FALSE;
  }
  if (file && !*file) {  // the Windows folder itself
    SetLastError(ERROR_ACCESS_DENIED);
    return FALSE;
  }
  const DWORD saved = GetLastError();
  const std::string path = ProfilePath(file);
  QuietFiles quiet;
  std::string before;
  // Windows opens (and so creates) the file even when there is nothing to
  // delete from it.
  if (!ReadWhole(path, GENERIC_READ | GENERIC_WRITE, OPEN_ALWAYS, &before)) return FALSE;
  Profile profile = Profile::Parse(before);
  if (!key)
    profile.DeleteSection(section);
  else if (!value)
    profile.DeleteKey(section, key);
  else
    profile.Set(section, key, value);
  const std::string after = profile.Text();
  if (after != before && !Rewrite(path, after)) return FALSE;
  SetLastError(saved);
  return TRUE;
}

std::optional<std::string> Narrow(LPCWSTR text) {
  if (!text) return std::nullopt;
  std::string out;
  for (; *text; ++text) out.push_back(*text < 0x80 ? static_cast<char>(*text) : '?');
  return out;
}

const char* Ptr(const std::optional<std::string>& text) { return text ? text->c_str() : nullptr; }

}  // namespace

}  // namespace sim

// Reads a value, or with lpKeyName NULL the section's key names, or with
// lpAppName NULL every section name. A missing file, section or key gives
// the default (its trailing blanks removed). Returns the characters copied
// without the final NUL.
DWORD WINAPI GetPrivateProfileStringA(LPCSTR lpAppName, LPCSTR lpKeyName, LPCSTR lpDefault,
                                      LPSTR lpReturnedString, DWORD nSize, LPCSTR lpFileName) {
  sim::ApiLock lock;
  if (sim::M().TakeFault("GetPrivateProfileStringA")) {
    sim::CopyText("", lpReturnedString, nSize);
    return 0;
  }
  if (!lpReturnedString || nSize == 0) return 0;
  std::string fallback = lpDefault ? lpDefault : "";
  while (!fallback.empty() && fallback.back() == ' ') fallback.pop_back();

  const DWORD saved = GetLastError();
  std::string bytes;
  bool read;
  {
    sim::QuietFiles quiet;
    read = lpFileName && !*lpFileName
               ? false
               : sim::ReadWhole(sim::ProfilePath(lpFileName), GENERIC_READ, OPEN_EXISTING, &bytes);
  }
  if (!read) return sim::CopyText(fallback, lpReturnedString, nSize);
  SetLastError(saved);

  const sim::Profile profile = sim::Profile::Parse(bytes);
  if (!lpAppName || !lpKeyName) {
    std::vector<std::string> names =
        lpAppName ? profile.KeyNames(lpAppName) : profile.SectionNames();
    if (names.empty()) return sim::CopyText(fallback, lpReturnedString, nSize);
    return sim::CopyList(names, lpReturnedString, nSize);
  }
  size_t header = profile.FindSection(lpAppName);
  size_t at = header == std::string::npos ? header : profile.FindKey(header, lpKeyName);
  if (at == std::string::npos || profile.lines[at].kind != sim::Line::kEntry)
    return sim::CopyText(fallback, lpReturnedString, nSize);
  return sim::CopyText(sim::Unquote(profile.lines[at].value), lpReturnedString, nSize);
}

// Sets a key's value, deletes a key (lpString NULL) or a whole section
// (lpKeyName NULL). Returns TRUE when the file was written; FALSE with the
// file functions' error when it could not be, and FALSE for a cache flush.
BOOL WINAPI WritePrivateProfileStringA(LPCSTR lpAppName, LPCSTR lpKeyName, LPCSTR lpString,
                                       LPCSTR lpFileName) {
  sim::ApiLock lock;
  if (sim::M().TakeFault("WritePrivateProfileStringA")) return FALSE;
  return sim::WriteProfileString("WritePrivateProfileStringA", lpAppName, lpKeyName, lpString,
                                 lpFileName);
}

// The same with wide texts, converted to narrow ones.
BOOL WINAPI WritePrivateProfileStringW(LPCWSTR lpAppName, LPCWSTR lpKeyName, LPCWSTR lpString,
                                       LPCWSTR lpFileName) {
  sim::ApiLock lock;
  if (sim::M().TakeFault("WritePrivateProfileStringW")) return FALSE;
  const auto section = sim::Narrow(lpAppName), key = sim::Narrow(lpKeyName),
             value = sim::Narrow(lpString), file = sim::Narrow(lpFileName);
  return sim::WriteProfileString("WritePrivateProfileStringW", sim::Ptr(section), sim::Ptr(key),
                                 sim::Ptr(value), sim::Ptr(file));
}
