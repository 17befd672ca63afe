// The file system of the simulated machine and the kernel32 file functions:
// drives and folders, case-insensitive names that keep their spelling,
// sharing modes checked both ways as the NT I/O manager does, files held by
// other processes or mapped as modules, delete-pending files, links
// (reparse points) followed through paths, read and write
// failures, a disk that fills up, the standard handles, and the process's
// kernel handle table. Names are kept in UTF-8: the ANSI functions convert
// from the code page, the wide ones from UTF-16, so both see the same files.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "sim/code_page.h"
#include "sim/handles.h"
#include "sim/machine.h"
#include "sim/scheduler.h"
#include "sim/win32_api.h"

namespace sim {

namespace {

// Specific rights of file objects (winnt.h) that the program may ask for
// instead of the generic ones.
constexpr DWORD kFileReadData = 0x0001;
constexpr DWORD kFileWriteData = 0x0002;
constexpr DWORD kFileAppendData = 0x0004;
constexpr DWORD kFileExecute = 0x0020;

// Attribute bits a program may give a file it creates.
constexpr DWORD kSettableAttributes = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN |
                                      FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE;

// Links followed in one path before the name counts as unresolvable.
constexpr int kMaxLinkHops = 31;

// Handle values are multiples of four, as on Windows, and never 0 or -1.
constexpr uintptr_t kFirstHandle = 0x100;

// What a drive holds unless FileSystem::SetFreeSpace says otherwise.
constexpr uint64_t kDefaultCapacity = uint64_t{10} << 30;

const char kFileKind[] = "file";
const char kFindKind[] = "find";
const char kStdInKind[] = "stdin";
const char kStdOutKind[] = "stdout";
const char kStdErrKind[] = "stderr";
const char kNulKind[] = "nul";  // the device NUL: takes every write, reads nothing

// The entries of `parent` that a child inherits: for a folder those meant
// for folders or files (kept inheritable), for a file those meant for
// files, each marked inherited.
std::vector<AceEntry> InheritedEntries(const Dacl& parent, bool folder) {
  std::vector<AceEntry> out;
  for (AceEntry e : parent.entries) {
    const bool to_files = (e.flags & OBJECT_INHERIT_ACE) != 0;
    const bool to_folders = (e.flags & CONTAINER_INHERIT_ACE) != 0;
    if (folder ? !(to_files || to_folders) : !to_files) continue;
    e.flags = folder ? static_cast<BYTE>((e.flags & ~INHERIT_ONLY_ACE) | INHERITED_ACE)
                     : static_cast<BYTE>(INHERITED_ACE);
    out.push_back(e);
  }
  return out;
}

// The rights of `mask` with its generic rights mapped to the file
// object's specific ones, as an access check maps both sides.
DWORD MapGeneric(DWORD mask) {
  DWORD out = mask & ~(GENERIC_READ | GENERIC_WRITE | GENERIC_EXECUTE | GENERIC_ALL);
  if (mask & GENERIC_READ) out |= FILE_GENERIC_READ;
  if (mask & GENERIC_WRITE) out |= FILE_GENERIC_WRITE;
  if (mask & GENERIC_EXECUTE) out |= FILE_GENERIC_EXECUTE;
  if (mask & GENERIC_ALL) out |= FILE_ALL_ACCESS;
  return out;
}

// A file or a folder.
struct Node {
  std::string leaf;  // its own name as spelled when created
  bool directory = false;
  std::string data;
  DWORD attributes = FILE_ATTRIBUTE_ARCHIVE;
  bool delete_pending = false;  // deleted while open; goes with its last handle
  std::string link;  // a link's target, as a full path; empty for anything else
  std::optional<Dacl> dacl;  // set or inherited; none on a volume without ACLs
};

// A FailReads / FailWrites setting: how many bytes may still pass.
struct Budget {
  DWORD error = 0;
  DWORD after = 0;
  DWORD used = 0;
};

// An open file: which node, how it was opened, where it stands.
struct OpenFile {
  std::string key;
  DWORD access = 0;
  DWORD share = 0;
  uint64_t position = 0;
};

struct KernelObject {
  KernelObject() = default;
  explicit KernelObject(std::string of_kind) : kind(std::move(of_kind)) {}
  std::string kind;
  // For kind "file": shared by the handles DuplicateHandle and inheritance
  // make, as Windows shares one file object (and its position) among them.
  std::shared_ptr<OpenFile> file;
  std::shared_ptr<KernelItem> item;  // events, threads, processes, pipe ends
  DWORD process = 0;                 // the simulated process holding it; 0: the program
  bool inheritable = false;
  // For kind "find": the keys of the entries still to come ("." and ".."
  // for those two), in order.
  std::vector<std::string> listing;
};

// The data rights that take part in sharing checks.
struct Rights {
  bool read = false, write = false, remove = false;
  bool Any() const { return read || write || remove; }
};

Rights RightsOf(DWORD access) {
  Rights r;
  r.read = (access & (GENERIC_READ | GENERIC_ALL | GENERIC_EXECUTE | kFileReadData | kFileExecute)) != 0;
  r.write = (access & (GENERIC_WRITE | GENERIC_ALL | kFileWriteData | kFileAppendData)) != 0;
  r.remove = (access & (DELETE | GENERIC_ALL)) != 0;
  return r;
}

// Whether an open asking (access, share) may join a holder that opened with
// (held_access, held_share): each side's share mode must allow the other's
// access. Opens without data rights (attributes only) take no part.
bool SharingAllows(DWORD held_access, DWORD held_share, DWORD access, DWORD share) {
  Rights held = RightsOf(held_access), want = RightsOf(access);
  if (!held.Any() || !want.Any()) return true;
  if (want.read && !(held_share & FILE_SHARE_READ)) return false;
  if (want.write && !(held_share & FILE_SHARE_WRITE)) return false;
  if (want.remove && !(held_share & FILE_SHARE_DELETE)) return false;
  if (held.read && !(share & FILE_SHARE_READ)) return false;
  if (held.write && !(share & FILE_SHARE_WRITE)) return false;
  if (held.remove && !(share & FILE_SHARE_DELETE)) return false;
  return true;
}

bool IsNt() { return M().platform().family == Family::NT; }

// The byte in upper case when it is an ASCII letter, else as it is
// (whatever the C library's locale says, so UTF-8 sequences stay intact).
char AsciiUpper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

// The text with its ASCII letters in upper case. Names compare so: other
// characters (é against É) compare as they are.
std::string AsciiUpper(const std::string& text) {
  std::string out = text;
  for (char& c : out) c = AsciiUpper(c);
  return out;
}

bool IsAsciiLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

// A path taken apart: drive and components as the program spelled them.
struct PathName {
  std::string drive;               // "C:"
  std::vector<std::string> parts;  // may hold empty names, which match nothing
  bool trailing_separator = false;

  bool Root() const { return parts.empty(); }
  std::string KeyUpTo(size_t n) const {
    std::string key = AsciiUpper(drive);
    for (size_t i = 0; i < n; ++i) key += "\\" + AsciiUpper(parts[i]);
    return key;
  }
  std::string Key() const { return KeyUpTo(parts.size()); }
  std::string ParentKey() const { return KeyUpTo(parts.empty() ? 0 : parts.size() - 1); }
  std::string Leaf() const { return parts.empty() ? drive : parts.back(); }
};

// Joins a folder and a relative name without doubling the separator.
std::string JoinPath(const std::string& dir, const std::string& name) {
  if (!dir.empty() && (dir.back() == '\\' || dir.back() == '/')) return dir + name;
  return dir + "\\" + name;
}

// Splits a path ('\' or '/' separated) into a PathName, relative names taken
// from the current directory. Returns false for names it cannot place (empty
// text, network names).
bool ParsePath(const std::string& text, PathName* out, int depth = 0) {
  std::string s = text;
  std::replace(s.begin(), s.end(), '/', '\\');
  if (s.empty() || depth > 1) return false;
  const std::string& cwd = M().current_directory;
  std::string rest;
  if (s.size() >= 2 && IsAsciiLetter(s[0]) && s[1] == ':') {
    out->drive = AsciiUpper(s.substr(0, 1)) + ":";
    rest = s.substr(2);
    if (rest.empty() || rest[0] != '\\') {
      // "C:name" is relative to the current directory when that is on C:.
      PathName current;
      if (ParsePath(cwd, &current, depth + 1) && current.drive == out->drive)
        return rest.empty() ? ParsePath(cwd, out, depth + 1)
                            : ParsePath(JoinPath(cwd, rest), out, depth + 1);
      rest = "\\" + rest;
    }
  } else if (s.size() >= 2 && s[0] == '\\' && s[1] == '\\') {
    return false;
  } else if (s[0] == '\\') {
    PathName current;
    if (!ParsePath(cwd, &current, depth + 1)) return false;
    out->drive = current.drive;
    rest = s;
  } else {
    return ParsePath(JoinPath(cwd, s), out, depth + 1);
  }
  out->parts.clear();
  out->trailing_separator = false;
  std::string body = rest.substr(1);
  if (body.empty()) return true;
  if (body.back() == '\\') {
    out->trailing_separator = true;
    body.pop_back();
  }
  size_t start = 0;
  while (true) {
    size_t end = body.find('\\', start);
    out->parts.push_back(body.substr(start, end == std::string::npos ? std::string::npos : end - start));
    if (end == std::string::npos) break;
    start = end + 1;
  }
  return true;
}

// Whether every component is a legal file name; wildcards may be allowed in
// the last one (FindFirstFileA).
bool ValidNames(const PathName& p, bool wildcard_leaf) {
  for (size_t i = 0; i < p.parts.size(); ++i) {
    bool last = i + 1 == p.parts.size();
    for (char c : p.parts[i]) {
      unsigned char u = static_cast<unsigned char>(c);
      if (u < 0x20 || std::strchr("<>:\"|", c)) return false;
      if ((c == '*' || c == '?') && !(last && wildcard_leaf)) return false;
    }
  }
  return true;
}

// Matches a UTF-8 name against a pattern with '*' and '?' ('?' stands for
// one character, whatever its length), ignoring the case of ASCII letters.
bool WildcardMatch(const char* pattern, const char* name) {
  if (*pattern == '\0') return *name == '\0';
  if (*pattern == '*') {
    for (const char* n = name;; n += Utf8CharLength(n)) {
      if (WildcardMatch(pattern + 1, n)) return true;
      if (*n == '\0') return false;
    }
  }
  if (*name == '\0') return false;
  if (*pattern == '?') return WildcardMatch(pattern + 1, name + Utf8CharLength(name));
  if (AsciiUpper(*pattern) != AsciiUpper(*name)) return false;
  return WildcardMatch(pattern + 1, name + 1);
}

// "*.*" matches names without a dot too, as the FAT-era rule has it.
bool PatternMatches(const std::string& pattern, const std::string& name) {
  if (pattern == "*.*") return true;
  return WildcardMatch(pattern.c_str(), name.c_str());
}

std::string Outcome(DWORD error) { return error ? std::to_string(error) : std::string("ok"); }

bool StartsWith(const std::string& text, const std::string& prefix) {
  return text.compare(0, prefix.size(), prefix) == 0;
}

// Whether `key` is `root` or lies below it.
bool WithinKey(const std::string& key, const std::string& root) {
  return key == root || StartsWith(key, root + "\\");
}

}  // namespace

struct FileSystem::Impl {
  std::map<std::string, Node> nodes;  // by upper-case full path, "C:", "C:\TAVRIN"
  std::set<std::string> in_use, loaded;
  std::map<std::string, Budget> read_budget, write_budget;
  std::map<std::string, uint64_t> capacity;  // by drive, "C:"; unset: kDefaultCapacity
  std::set<std::string> no_acls;             // drives ("C:") without ACLs
  std::map<uintptr_t, KernelObject> handles;
  uintptr_t next_handle = kFirstHandle;
  HANDLE std_input = nullptr, std_output = nullptr, std_error = nullptr;
  std::string stderr_text;  // what the program wrote to its standard error

  // --- nodes ---

  Node* FindKey(const std::string& key) {
    auto it = nodes.find(key);
    return it == nodes.end() ? nullptr : &it->second;
  }
  const Node* FindKey(const std::string& key) const {
    auto it = nodes.find(key);
    return it == nodes.end() ? nullptr : &it->second;
  }
  bool IsDirectory(const std::string& key) const {
    const Node* n = FindKey(key);
    return n && n->directory;
  }

  // The error for a name that is not there: 2 when its folder exists, else 3.
  DWORD MissingError(const PathName& p) const {
    if (p.Root()) return ERROR_PATH_NOT_FOUND;
    return IsDirectory(p.ParentKey()) ? ERROR_FILE_NOT_FOUND : ERROR_PATH_NOT_FOUND;
  }

  // Makes the folders of the first `count` components (and the drive).
  void MakeFolders(const PathName& p, size_t count) {
    for (size_t i = 0; i <= count; ++i) {
      std::string key = p.KeyUpTo(i);
      auto it = nodes.find(key);
      if (it == nodes.end()) {
        Node n;
        n.leaf = i == 0 ? p.drive : p.parts[i - 1];
        n.directory = true;
        n.attributes = FILE_ATTRIBUTE_DIRECTORY;
        nodes.emplace(key, n);
      } else if (!it->second.directory) {
        it->second = Node{it->second.leaf, true, {}, FILE_ATTRIBUTE_DIRECTORY, false, {}, {}};
      }
    }
  }

  // Follows the links on the way to `p`: a link standing for one of its
  // folders, or for its last component too when `follow_last`, is replaced
  // by the link's target. Returns false when the links go round in circles.
  bool Resolve(PathName* p, bool follow_last) const {
    for (int hops = 0; hops <= kMaxLinkHops; ++hops) {
      const size_t count = follow_last ? p->parts.size() : (p->parts.empty() ? 0 : p->parts.size() - 1);
      bool replaced = false;
      for (size_t i = 1; i <= count && !replaced; ++i) {
        const Node* n = FindKey(p->KeyUpTo(i));
        if (!n) break;  // nothing stands below a missing name
        if (n->link.empty()) continue;
        PathName target;
        if (!ParsePath(n->link, &target)) return false;
        target.parts.insert(target.parts.end(), p->parts.begin() + i, p->parts.end());
        target.trailing_separator = p->trailing_separator;
        *p = target;
        replaced = true;
      }
      if (!replaced) return true;
    }
    return false;
  }

  // The stored spelling of an existing path, or "" when it is not there.
  std::string Spelling(const PathName& p) const {
    std::string out;
    for (size_t i = 0; i <= p.parts.size(); ++i) {
      const Node* n = FindKey(p.KeyUpTo(i));
      if (!n) return std::string();
      out += i == 0 ? n->leaf : "\\" + n->leaf;
    }
    if (p.Root()) out += "\\";
    return out;
  }

  // Keys of the direct children of a folder, in order.
  std::vector<std::string> Children(const std::string& key) const {
    std::vector<std::string> out;
    std::string prefix = key + "\\";
    for (auto it = nodes.lower_bound(prefix); it != nodes.end() && StartsWith(it->first, prefix);
         ++it) {
      if (it->first.find('\\', prefix.size()) == std::string::npos) out.push_back(it->first);
    }
    return out;
  }

  void EraseTree(const std::string& key) {
    for (auto it = nodes.begin(); it != nodes.end();) {
      if (WithinKey(it->first, key))
        it = nodes.erase(it);
      else
        ++it;
    }
  }

  // Renames a node and everything below it, with the handles and marks on it.
  void Rekey(const std::string& from, const std::string& to, const std::string& new_leaf) {
    auto moved = [&](const std::string& key) { return to + key.substr(from.size()); };
    std::vector<std::pair<std::string, Node>> subtree;
    for (const auto& entry : nodes)
      if (WithinKey(entry.first, from)) subtree.push_back(entry);
    for (const auto& entry : subtree) nodes.erase(entry.first);
    for (auto& entry : subtree) {
      if (entry.first == from) entry.second.leaf = new_leaf;
      nodes[moved(entry.first)] = entry.second;
    }
    for (auto& h : handles)
      if (h.second.kind == kFileKind && WithinKey(h.second.file->key, from))
        h.second.file->key = moved(h.second.file->key);
    for (std::set<std::string>* marks : {&in_use, &loaded}) {
      std::set<std::string> renamed;
      for (const std::string& key : *marks) renamed.insert(WithinKey(key, from) ? moved(key) : key);
      *marks = renamed;
    }
  }

  // --- access checks ---

  // Whether the calling thread's token (see TokenSids) holds every right of
  // `desired` on `n` through the entries of its DACL that apply to it. A
  // node without a DACL (none set, a volume without ACLs, Windows 9x)
  // grants everything.
  bool Grants(const Node* n, DWORD desired) const {
    if (!n || !n->dacl) return true;
    const std::vector<std::string> sids = TokenSids();
    DWORD granted = 0;
    for (const AceEntry& e : n->dacl->entries) {
      if (e.flags & INHERIT_ONLY_ACE) continue;
      if (std::find(sids.begin(), sids.end(), e.sid) != sids.end()) granted |= MapGeneric(e.mask);
    }
    return (MapGeneric(desired) & ~granted) == 0;
  }
  // Whether the caller may delete (or rename) what stands at `p`: DELETE on
  // it, or FILE_DELETE_CHILD on its folder.
  bool MayDelete(const PathName& p) const {
    return Grants(FindKey(p.Key()), DELETE) || Grants(FindKey(p.ParentKey()), FILE_DELETE_CHILD);
  }
  // The DACL a file or folder made at `p` gets: on a volume with ACLs the
  // one `given` with its security attributes (followed by the parent's
  // inheritable entries on Windows 2000 and later unless it is protected),
  // else the parent's inheritable entries; none when neither gives any.
  std::optional<Dacl> NewDacl(const PathName& p, bool folder, const std::optional<Dacl>& given) const {
    if (!M().files.KeepsAcls(p.drive)) return std::nullopt;
    const Node* parent = FindKey(p.ParentKey());
    std::vector<AceEntry> inherited;
    if (parent && parent->dacl) inherited = InheritedEntries(*parent->dacl, folder);
    if (given) {
      Dacl dacl = *given;
      if (!dacl.is_protected && M().platform().Windows2000OrLater())
        dacl.entries.insert(dacl.entries.end(), inherited.begin(), inherited.end());
      return dacl;
    }
    if (inherited.empty()) return std::nullopt;
    return Dacl{false, inherited};
  }

  // On the NT family a user who is no administrator may not change anything
  // under the Windows folder.
  bool Protected(const PathName& p) const {
    if (!IsNt() || M().administrator) return false;
    PathName windows;
    if (!ParsePath(M().platform().windows_dir, &windows)) return false;
    return WithinKey(p.Key(), windows.Key());
  }

  // --- disk space ---

  // The bytes the files on `drive` ("C:") take, delete-pending ones too.
  uint64_t Used(const std::string& drive) const {
    uint64_t used = 0;
    for (auto it = nodes.lower_bound(drive); it != nodes.end() && StartsWith(it->first, drive);
         ++it)
      used += it->second.data.size();
    return used;
  }
  // The bytes still free on `drive`: what it holds less what its files
  // take (0 when a test put more there than it holds).
  uint64_t Free(const std::string& drive) const {
    auto it = capacity.find(drive);
    const uint64_t holds = it == capacity.end() ? kDefaultCapacity : it->second;
    const uint64_t used = Used(drive);
    return used >= holds ? 0 : holds - used;
  }

  // --- handles ---

  HANDLE AddHandle(const KernelObject& object) {
    uintptr_t value = next_handle;
    next_handle += 4;
    handles[value] = object;
    return reinterpret_cast<HANDLE>(value);
  }
  KernelObject* Lookup(HANDLE h) {
    auto it = handles.find(reinterpret_cast<uintptr_t>(h));
    return it == handles.end() ? nullptr : &it->second;
  }
  int CountKind(const char* kind) const {
    int count = 0;
    for (const auto& h : handles)
      if (h.second.kind == kind) ++count;
    return count;
  }
  int OpenFilesOn(const std::string& key) const {
    int count = 0;
    for (const auto& h : handles)
      if (h.second.kind == kFileKind && h.second.file->key == key) ++count;
    return count;
  }
  bool AnyOpenWithin(const std::string& key) const {
    for (const auto& h : handles)
      if (h.second.kind == kFileKind && WithinKey(h.second.file->key, key)) return true;
    for (const std::set<std::string>* marks : {&in_use, &loaded})
      for (const std::string& m : *marks)
        if (WithinKey(m, key)) return true;
    return false;
  }

  // Whether an open of `key` with (access, share) collides with a handle of
  // this program, another process holding the file, or a module mapping.
  bool SharingConflict(const std::string& key, DWORD access, DWORD share) const {
    for (const auto& h : handles) {
      const KernelObject& o = h.second;
      if (o.kind == kFileKind && o.file->key == key &&
          !SharingAllows(o.file->access, o.file->share, access, share))
        return true;
    }
    if (in_use.count(key) && !SharingAllows(GENERIC_READ | GENERIC_WRITE, 0, access, share))
      return true;
    DWORD mapping_share = FILE_SHARE_READ | (IsNt() ? FILE_SHARE_DELETE : 0);
    if (loaded.count(key) && !SharingAllows(GENERIC_EXECUTE, mapping_share, access, share))
      return true;
    return false;
  }

  // Ends a handle; a delete-pending file goes with its last handle.
  void CloseEntry(uintptr_t value) {
    auto it = handles.find(value);
    if (it == handles.end()) return;
    std::string key = it->second.kind == kFileKind ? it->second.file->key : std::string();
    handles.erase(it);
    if (key.empty()) return;
    Node* n = FindKey(key);
    if (n && n->delete_pending && OpenFilesOn(key) == 0) nodes.erase(key);
  }

  void OpenStandardHandles() {
    std_input = AddHandle(KernelObject{kStdInKind});
    std_output = AddHandle(KernelObject{kStdOutKind});
    std_error = AddHandle(KernelObject{kStdErrKind});
  }

  // --- operations behind the Win32 functions; each returns 0 or an error ---

  DWORD Open(const char* name, DWORD access, DWORD share, DWORD disposition, DWORD flags,
             const std::optional<Dacl>& given, HANDLE* out, DWORD* success_error);
  DWORD Delete(const char* name);
  DWORD Move(const char* from, const char* to);
  DWORD MakeDirectory(const char* name, const std::optional<Dacl>& given);
  DWORD Read(HANDLE h, void* buffer, DWORD size, DWORD* done);
  DWORD Write(HANDLE h, const void* buffer, DWORD size, DWORD* done);
};

DWORD FileSystem::Impl::Open(const char* name, DWORD access, DWORD share, DWORD disposition,
                             DWORD flags, const std::optional<Dacl>& given, HANDLE* out,
                             DWORD* success_error) {
  if (disposition < CREATE_NEW || disposition > TRUNCATE_EXISTING) return ERROR_INVALID_PARAMETER;
  // Windows 9x knows no FILE_SHARE_DELETE and refuses the flag.
  if (!IsNt() && (share & FILE_SHARE_DELETE)) return ERROR_INVALID_PARAMETER;
  Rights rights = RightsOf(access);
  if (disposition == TRUNCATE_EXISTING && !rights.write) return ERROR_INVALID_PARAMETER;
  if (name && (EqualNoCase(name, "NUL") || EqualNoCase(name, "\\\\.\\NUL"))) {
    *out = AddHandle(KernelObject{kNulKind});
    return ERROR_SUCCESS;
  }
  PathName p;
  if (!name || !ParsePath(name, &p)) return ERROR_PATH_NOT_FOUND;
  if (!ValidNames(p, false)) return ERROR_INVALID_NAME;
  if (!Resolve(&p, !(flags & FILE_FLAG_OPEN_REPARSE_POINT))) return ERROR_CANT_RESOLVE_FILENAME;
  Node* node = FindKey(p.Key());
  if (p.Root() || p.trailing_separator) {
    return node && node->directory ? ERROR_PATH_NOT_FOUND
                                   : (IsDirectory(p.ParentKey()) ? ERROR_INVALID_NAME
                                                                 : ERROR_PATH_NOT_FOUND);
  }
  if (!IsDirectory(p.ParentKey())) return ERROR_PATH_NOT_FOUND;
  bool truncates = disposition == CREATE_ALWAYS || disposition == TRUNCATE_EXISTING;
  bool changes = rights.write || truncates || (!node && disposition != OPEN_EXISTING);
  // Overwriting opens the file for writing, whatever the program asked.
  DWORD effective = truncates ? (access | kFileWriteData) : access;

  if (node) {
    if (node->directory) return disposition == CREATE_NEW ? ERROR_FILE_EXISTS : ERROR_ACCESS_DENIED;
    if (disposition == CREATE_NEW) return ERROR_FILE_EXISTS;
    if (node->delete_pending) return ERROR_ACCESS_DENIED;
    if (changes && Protected(p)) return ERROR_ACCESS_DENIED;
    // DELETE may come from the folder's FILE_DELETE_CHILD instead.
    DWORD checked = MapGeneric(effective);
    if ((checked & DELETE) && Grants(FindKey(p.ParentKey()), FILE_DELETE_CHILD)) checked &= ~DELETE;
    if (!Grants(node, checked)) return ERROR_ACCESS_DENIED;
    if ((node->attributes & FILE_ATTRIBUTE_READONLY) && (rights.write || truncates))
      return ERROR_ACCESS_DENIED;
    if (loaded.count(p.Key()) && (rights.write || truncates)) return ERROR_SHARING_VIOLATION;
    if (SharingConflict(p.Key(), effective, share)) return ERROR_SHARING_VIOLATION;
    if (truncates) {
      node->data.clear();
      if (disposition == CREATE_ALWAYS)
        node->attributes = (flags & kSettableAttributes) | FILE_ATTRIBUTE_ARCHIVE;
    }
    *success_error = (disposition == CREATE_ALWAYS || disposition == OPEN_ALWAYS)
                         ? ERROR_ALREADY_EXISTS
                         : ERROR_SUCCESS;
  } else {
    if (disposition == OPEN_EXISTING || disposition == TRUNCATE_EXISTING)
      return ERROR_FILE_NOT_FOUND;
    if (Protected(p)) return ERROR_ACCESS_DENIED;
    if (!Grants(FindKey(p.ParentKey()), FILE_ADD_FILE)) return ERROR_ACCESS_DENIED;
    if (SharingConflict(p.Key(), effective, share)) return ERROR_SHARING_VIOLATION;
    Node created;
    created.leaf = p.Leaf();
    created.attributes = (flags & kSettableAttributes) | FILE_ATTRIBUTE_ARCHIVE;
    created.dacl = NewDacl(p, false, given);
    nodes[p.Key()] = created;
    *success_error = ERROR_SUCCESS;
  }
  KernelObject object;
  object.kind = kFileKind;
  object.file = std::make_shared<OpenFile>(OpenFile{p.Key(), access, share, 0});
  *out = AddHandle(object);
  return ERROR_SUCCESS;
}

DWORD FileSystem::Impl::Delete(const char* name) {
  PathName p;
  if (!name || !ParsePath(name, &p)) return ERROR_PATH_NOT_FOUND;
  if (!ValidNames(p, false)) return ERROR_INVALID_NAME;
  // A link goes itself, not what it leads to.
  if (!Resolve(&p, false)) return ERROR_CANT_RESOLVE_FILENAME;
  Node* node = FindKey(p.Key());
  if (!node) return MissingError(p);
  if (node->directory || p.trailing_separator) return ERROR_ACCESS_DENIED;
  if (Protected(p)) return ERROR_ACCESS_DENIED;
  if (!MayDelete(p)) return ERROR_ACCESS_DENIED;
  if (node->delete_pending) return ERROR_ACCESS_DENIED;
  std::string key = p.Key();
  // Windows 9x refuses to delete any open file; NT lets it go when every
  // handle shares deletion, and removes it once the last one is closed.
  if (!IsNt() && OpenFilesOn(key) > 0) return ERROR_SHARING_VIOLATION;
  if (SharingConflict(key, DELETE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE))
    return ERROR_SHARING_VIOLATION;
  if (loaded.count(key)) return IsNt() ? ERROR_ACCESS_DENIED : ERROR_SHARING_VIOLATION;
  if (node->attributes & FILE_ATTRIBUTE_READONLY) return ERROR_ACCESS_DENIED;
  if (OpenFilesOn(key) > 0)
    node->delete_pending = true;
  else
    nodes.erase(key);
  return ERROR_SUCCESS;
}

DWORD FileSystem::Impl::Move(const char* from, const char* to) {
  PathName src, dst;
  if (!from || !ParsePath(from, &src) || !to || !ParsePath(to, &dst)) return ERROR_PATH_NOT_FOUND;
  if (!ValidNames(src, false) || !ValidNames(dst, false)) return ERROR_INVALID_NAME;
  if (!Resolve(&src, false) || !Resolve(&dst, false)) return ERROR_CANT_RESOLVE_FILENAME;
  Node* node = FindKey(src.Key());
  if (!node || src.Root()) return src.Root() ? ERROR_ACCESS_DENIED : MissingError(src);
  if (Protected(src) || Protected(dst)) return ERROR_ACCESS_DENIED;
  // A rename takes the right to delete the name and to add one to the
  // target folder; the node keeps its DACL.
  if (!MayDelete(src) ||
      !Grants(FindKey(dst.ParentKey()), node->directory ? FILE_ADD_SUBDIRECTORY : FILE_ADD_FILE))
    return ERROR_ACCESS_DENIED;
  std::string key = src.Key(), target = dst.Key();
  bool same = key == target;  // a change of case only
  if (!same && FindKey(target)) return ERROR_ALREADY_EXISTS;
  if (dst.Root() || !IsDirectory(dst.ParentKey())) return ERROR_PATH_NOT_FOUND;
  if (node->directory) {
    if (!same && WithinKey(target, key)) return ERROR_SHARING_VIOLATION;
    if (AnyOpenWithin(key)) return ERROR_ACCESS_DENIED;
  } else {
    if (node->delete_pending) return ERROR_ACCESS_DENIED;
    if (!IsNt() && OpenFilesOn(key) > 0) return ERROR_SHARING_VIOLATION;
    if (SharingConflict(key, DELETE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE))
      return ERROR_SHARING_VIOLATION;
    // NT renames a mapped module (the mapping follows it); 9x does not.
    if (!IsNt() && loaded.count(key)) return ERROR_SHARING_VIOLATION;
  }
  Rekey(key, target, dst.Leaf());
  return ERROR_SUCCESS;
}

DWORD FileSystem::Impl::MakeDirectory(const char* name, const std::optional<Dacl>& given) {
  PathName p;
  if (!name || !ParsePath(name, &p)) return ERROR_PATH_NOT_FOUND;
  if (!ValidNames(p, false)) return ERROR_INVALID_NAME;
  if (!Resolve(&p, false)) return ERROR_CANT_RESOLVE_FILENAME;
  if (FindKey(p.Key())) return ERROR_ALREADY_EXISTS;
  if (p.Root() || !IsDirectory(p.ParentKey())) return ERROR_PATH_NOT_FOUND;
  if (Protected(p)) return ERROR_ACCESS_DENIED;
  if (!Grants(FindKey(p.ParentKey()), FILE_ADD_SUBDIRECTORY)) return ERROR_ACCESS_DENIED;
  MakeFolders(p, p.parts.size());
  nodes.at(p.Key()).dacl = NewDacl(p, true, given);
  return ERROR_SUCCESS;
}

DWORD FileSystem::Impl::Read(HANDLE h, void* buffer, DWORD size, DWORD* done) {
  *done = 0;
  KernelObject* o = Lookup(h);
  if (!o || o->kind == kFindKind) return ERROR_INVALID_HANDLE;
  if (o->item) {
    std::shared_ptr<KernelItem> item = o->item;  // the handle may close meanwhile
    return item->Read(buffer, size, done);
  }
  if (o->kind == kNulKind) return ERROR_SUCCESS;
  if (o->kind == kStdInKind) return ERROR_SUCCESS;  // nothing is ever typed
  if (o->kind == kStdOutKind || o->kind == kStdErrKind) return ERROR_ACCESS_DENIED;
  if (o->kind != kFileKind) return ERROR_INVALID_HANDLE;
  if (!RightsOf(o->file->access).read) return ERROR_ACCESS_DENIED;
  Node* node = FindKey(o->file->key);
  if (!node) return ERROR_INVALID_HANDLE;
  uint64_t pos = o->file->position;
  DWORD available = pos >= node->data.size() ? 0 : static_cast<DWORD>(node->data.size() - pos);
  DWORD count = std::min(size, available);
  DWORD error = ERROR_SUCCESS;
  auto budget = read_budget.find(o->file->key);
  if (budget != read_budget.end() && count > 0) {
    DWORD left = budget->second.after - std::min(budget->second.after, budget->second.used);
    if (count > left) {
      count = left;
      error = budget->second.error;
    }
    budget->second.used += count;
  }
  if (count) std::memcpy(buffer, node->data.data() + pos, count);
  o->file->position = pos + count;
  *done = count;
  return error;
}

DWORD FileSystem::Impl::Write(HANDLE h, const void* buffer, DWORD size, DWORD* done) {
  *done = 0;
  KernelObject* o = Lookup(h);
  if (!o || o->kind == kFindKind) return ERROR_INVALID_HANDLE;
  if (o->item) {
    std::shared_ptr<KernelItem> item = o->item;  // the handle may close meanwhile
    return item->Write(buffer, size, done);
  }
  if (o->kind == kNulKind) {
    *done = size;
    return ERROR_SUCCESS;
  }
  if (o->kind == kStdOutKind || o->kind == kStdErrKind) {
    std::string& sink = o->kind == kStdOutKind ? M().console : stderr_text;
    sink.append(static_cast<const char*>(buffer), size);
    *done = size;
    return ERROR_SUCCESS;
  }
  if (o->kind == kStdInKind) return ERROR_ACCESS_DENIED;
  if (o->kind != kFileKind) return ERROR_INVALID_HANDLE;
  if (!RightsOf(o->file->access).write) return ERROR_ACCESS_DENIED;
  Node* node = FindKey(o->file->key);
  if (!node) return ERROR_INVALID_HANDLE;
  DWORD count = size;
  DWORD error = ERROR_SUCCESS;
  auto budget = write_budget.find(o->file->key);
  if (budget != write_budget.end() && count > 0) {
    DWORD left = budget->second.after - std::min(budget->second.after, budget->second.used);
    if (count > left) {
      count = left;
      error = budget->second.error;
    }
  }
  uint64_t pos = o->file->position;
  // Growing the file (a gap left by seeking past its end included) takes
  // room on its drive; what does not fit is not written.
  const uint64_t old_size = node->data.size();
  if (count > 0 && pos + count > old_size) {
    const uint64_t room = old_size + Free(o->file->key.substr(0, 2));
    if (pos + count > room) {
      count = pos >= room ? 0 : static_cast<DWORD>(room - pos);
      error = ERROR_DISK_FULL;
    }
  }
  if (budget != write_budget.end()) budget->second.used += count;
  if (count > 0) {
    if (node->data.size() < pos + count) node->data.resize(static_cast<size_t>(pos + count), '\0');
    std::memcpy(&node->data[static_cast<size_t>(pos)], buffer, count);
  }
  o->file->position = pos + count;
  *done = count;
  return error;
}

// --- the control interface tests use ---

FileSystem::FileSystem() : impl_(new Impl) {}
FileSystem::~FileSystem() = default;

void FileSystem::Put(const std::string& path, const std::string& bytes) {
  ApiLock lock;
  PathName p;
  if (!ParsePath(path, &p) || p.Root()) return;
  impl_->MakeFolders(p, p.parts.size() - 1);
  Node& n = impl_->nodes[p.Key()];
  if (n.leaf.empty()) n.leaf = p.Leaf();
  n.directory = false;
  n.data = bytes;
  if (n.attributes & FILE_ATTRIBUTE_DIRECTORY) n.attributes = FILE_ATTRIBUTE_ARCHIVE;
  n.delete_pending = false;
}

void FileSystem::MakeDirectory(const std::string& path) {
  ApiLock lock;
  PathName p;
  if (ParsePath(path, &p)) impl_->MakeFolders(p, p.parts.size());
}

bool FileSystem::Exists(const std::string& path) const {
  ApiLock lock;
  PathName p;
  if (!ParsePath(path, &p) || p.trailing_separator) return false;
  const Node* n = impl_->FindKey(p.Key());
  return n && !n->directory;
}

bool FileSystem::DirectoryExists(const std::string& path) const {
  ApiLock lock;
  PathName p;
  return ParsePath(path, &p) && impl_->IsDirectory(p.Key());
}

std::optional<std::string> FileSystem::Get(const std::string& path) const {
  ApiLock lock;
  PathName p;
  if (!ParsePath(path, &p)) return std::nullopt;
  const Node* n = impl_->FindKey(p.Key());
  if (!n || n->directory) return std::nullopt;
  return n->data;
}

std::string FileSystem::NameOf(const std::string& path) const {
  ApiLock lock;
  PathName p;
  return ParsePath(path, &p) ? impl_->Spelling(p) : std::string();
}

std::vector<std::string> FileSystem::List(const std::string& dir) const {
  ApiLock lock;
  std::vector<std::string> names;
  PathName p;
  if (!ParsePath(dir, &p)) return names;
  for (const std::string& key : impl_->Children(p.Key())) names.push_back(impl_->nodes.at(key).leaf);
  return names;
}

void FileSystem::Remove(const std::string& path) {
  ApiLock lock;
  PathName p;
  if (ParsePath(path, &p)) impl_->EraseTree(p.Key());
}

void FileSystem::MakeLink(const std::string& path, const std::string& target) {
  ApiLock lock;
  PathName p, t;
  if (!ParsePath(path, &p) || p.Root() || !ParsePath(target, &t)) return;
  impl_->EraseTree(p.Key());
  impl_->MakeFolders(p, p.parts.size() - 1);
  Node n;
  n.leaf = p.Leaf();
  n.directory = impl_->IsDirectory(t.Key());
  n.attributes = FILE_ATTRIBUTE_REPARSE_POINT |
                 (n.directory ? FILE_ATTRIBUTE_DIRECTORY : FILE_ATTRIBUTE_ARCHIVE);
  n.link = target;
  impl_->nodes[p.Key()] = n;
}

void FileSystem::SetInUse(const std::string& path, bool on) {
  ApiLock lock;
  PathName p;
  if (!ParsePath(path, &p)) return;
  if (on)
    impl_->in_use.insert(p.Key());
  else
    impl_->in_use.erase(p.Key());
}

void FileSystem::SetLoaded(const std::string& path, bool on) {
  ApiLock lock;
  PathName p;
  if (!ParsePath(path, &p)) return;
  if (on)
    impl_->loaded.insert(p.Key());
  else
    impl_->loaded.erase(p.Key());
}

bool FileSystem::IsLoaded(const std::string& path) const {
  ApiLock lock;
  PathName p;
  return ParsePath(path, &p) && impl_->loaded.count(p.Key()) > 0;
}

void FileSystem::FailReads(const std::string& path, DWORD error, DWORD after_bytes) {
  ApiLock lock;
  PathName p;
  if (ParsePath(path, &p)) impl_->read_budget[p.Key()] = Budget{error, after_bytes, 0};
}

void FileSystem::FailWrites(const std::string& path, DWORD error, DWORD after_bytes) {
  ApiLock lock;
  PathName p;
  if (ParsePath(path, &p)) impl_->write_budget[p.Key()] = Budget{error, after_bytes, 0};
}

void FileSystem::SetFreeSpace(const std::string& drive, uint64_t bytes) {
  ApiLock lock;
  PathName p;
  if (!ParsePath(drive, &p)) return;
  impl_->capacity[p.drive] = impl_->Used(p.drive) + bytes;
}

uint64_t FileSystem::FreeSpace(const std::string& drive) const {
  ApiLock lock;
  PathName p;
  return ParsePath(drive, &p) ? impl_->Free(p.drive) : 0;
}

void FileSystem::SetReadOnly(const std::string& path, bool on) {
  ApiLock lock;
  PathName p;
  if (!ParsePath(path, &p)) return;
  Node* n = impl_->FindKey(p.Key());
  if (!n || n->directory) return;
  if (on)
    n->attributes |= FILE_ATTRIBUTE_READONLY;
  else
    n->attributes &= ~static_cast<DWORD>(FILE_ATTRIBUTE_READONLY);
}

int FileSystem::OpenHandles() const {
  ApiLock lock;
  return impl_->CountKind(kFileKind) + impl_->CountKind(kFindKind);
}

void FileSystem::SetNoAcls(const std::string& drive, bool on) {
  ApiLock lock;
  PathName p;
  if (!ParsePath(drive, &p)) return;
  if (on)
    impl_->no_acls.insert(p.drive);
  else
    impl_->no_acls.erase(p.drive);
}

bool FileSystem::KeepsAcls(const std::string& path) const {
  ApiLock lock;
  PathName p;
  if (!IsNt() || !ParsePath(path, &p)) return false;
  return impl_->no_acls.count(p.drive) == 0;
}

std::optional<Dacl> FileSystem::DaclOf(const std::string& path) const {
  ApiLock lock;
  PathName p;
  if (!ParsePath(path, &p)) return std::nullopt;
  const Node* n = impl_->FindKey(p.Key());
  return n ? n->dacl : std::nullopt;
}


DWORD FileSystem::SetDacl(const std::string& path, const Dacl& dacl, bool propagate) {
  ApiLock lock;
  PathName p;
  if (!ParsePath(path, &p) || !impl_->Resolve(&p, true)) return ERROR_PATH_NOT_FOUND;
  Node* n = impl_->FindKey(p.Key());
  if (!n) return impl_->MissingError(p);
  if (!KeepsAcls(p.drive)) return ERROR_NOT_SUPPORTED;
  n->dacl = dacl;
  if (!propagate) return ERROR_SUCCESS;
  // Down the tree, folder by folder: a protected child keeps its own DACL
  // and shields what lies below it; others keep their explicit entries.
  std::vector<std::string> folders{p.Key()};
  while (!folders.empty()) {
    const std::string key = folders.back();
    folders.pop_back();
    const Dacl parent = *impl_->nodes.at(key).dacl;
    for (const std::string& child_key : impl_->Children(key)) {
      Node& child = impl_->nodes.at(child_key);
      if (child.dacl && child.dacl->is_protected) continue;
      Dacl own;
      if (child.dacl)
        for (const AceEntry& e : child.dacl->entries)
          if (!e.Inherited()) own.entries.push_back(e);
      for (const AceEntry& e : InheritedEntries(parent, child.directory)) own.entries.push_back(e);
      child.dacl = own;
      if (child.directory) folders.push_back(child_key);
    }
  }
  return ERROR_SUCCESS;
}

DWORD FileSystem::SetDaclThrough(HANDLE file, const Dacl& dacl) {
  ApiLock lock;
  KernelObject* o = impl_->Lookup(file);
  Node* n = o && o->kind == kFileKind ? impl_->FindKey(o->file->key) : nullptr;
  if (!n) return ERROR_INVALID_HANDLE;
  if (!(o->file->access & (WRITE_DAC | GENERIC_ALL))) return ERROR_ACCESS_DENIED;
  if (!KeepsAcls(o->file->key)) return ERROR_NOT_SUPPORTED;
  n->dacl = dacl;
  return ERROR_SUCCESS;
}

void FileSystem::ReleaseAll() {
  std::vector<uintptr_t> all;
  for (const auto& h : impl_->handles) all.push_back(h.first);
  for (uintptr_t value : all) impl_->CloseEntry(value);
  impl_->in_use.clear();
  impl_->loaded.clear();
  impl_->OpenStandardHandles();
}

void FileSystem::Reset(const Platform& platform) {
  Impl& fs = *impl_;
  fs.nodes.clear();
  fs.in_use.clear();
  fs.loaded.clear();
  fs.read_budget.clear();
  fs.write_budget.clear();
  fs.capacity.clear();
  fs.no_acls.clear();
  fs.handles.clear();
  fs.next_handle = kFirstHandle;
  fs.stderr_text.clear();
  fs.OpenStandardHandles();

  for (const std::string& dir : {std::string("C:\\"), platform.windows_dir, platform.system_dir,
                                 platform.driver_dir, std::string("C:\\TEMP"),
                                 std::string("C:\\Program Files"), std::string("C:\\tavrin")})
    MakeDirectory(dir);
  const std::string& sys = platform.system_dir;
  if (platform.family == Family::Win9x) {
    Put(platform.windows_dir + "\\RUNDLL32.EXE", "MZ rundll32");
    Put(sys + "\\URL.DLL", "MZ url");
    Put(sys + "\\SHELL32.DLL", "MZ shell32");
  } else {
    Put(sys + "\\rundll32.exe", "MZ rundll32");
    Put(sys + "\\url.dll", "MZ url");
    Put(sys + "\\shell32.dll", "MZ shell32");
    Put(sys + "\\localspl.dll", "MZ localspl");
    Put(sys + "\\spoolss.dll", "MZ spoolss");
    Put(sys + "\\spool\\prtprocs\\w32x86\\winprint.dll", "MZ winprint");
  }
}

const std::string& StandardErrorText() { return M().files.impl().stderr_text; }

// --- the kernel handle table ---

HANDLE NewKernelHandle(const char* kind) {
  return M().files.impl().AddHandle(KernelObject{kind});
}

HANDLE NewItemHandle(const char* kind, std::shared_ptr<KernelItem> item, bool inheritable,
                     DWORD process) {
  KernelObject object{kind};
  object.item = std::move(item);
  object.process = process;
  object.inheritable = inheritable;
  return M().files.impl().AddHandle(object);
}

std::shared_ptr<KernelItem> ItemOf(HANDLE handle) {
  KernelObject* o = M().files.impl().Lookup(handle);
  return o ? o->item : nullptr;
}

HANDLE DuplicateKernelHandle(HANDLE source, bool inheritable, DWORD process) {
  FileSystem::Impl& fs = M().files.impl();
  KernelObject* o = fs.Lookup(source);
  if (!o || o->kind == kFindKind) return nullptr;
  KernelObject copy = *o;
  copy.inheritable = inheritable;
  copy.process = process;
  return fs.AddHandle(copy);
}

bool SetHandleInheritable(HANDLE handle, bool inheritable) {
  KernelObject* o = M().files.impl().Lookup(handle);
  if (!o || o->kind == kFindKind) return false;
  o->inheritable = inheritable;
  return true;
}

void InheritHandles(DWORD process, std::vector<std::pair<HANDLE, HANDLE>>* inherited) {
  FileSystem::Impl& fs = M().files.impl();
  std::vector<uintptr_t> sources;
  for (const auto& h : fs.handles)
    if (h.second.inheritable && h.second.process == 0) sources.push_back(h.first);
  for (uintptr_t value : sources) {
    HANDLE source = reinterpret_cast<HANDLE>(value);
    inherited->emplace_back(source, DuplicateKernelHandle(source, true, process));
  }
}

void CloseHandlesOf(DWORD process) {
  FileSystem::Impl& fs = M().files.impl();
  std::vector<uintptr_t> held;
  for (const auto& h : fs.handles)
    if (h.second.process == process) held.push_back(h.first);
  for (uintptr_t value : held) fs.CloseEntry(value);
}

const char* KernelHandleKind(HANDLE handle) {
  KernelObject* o = M().files.impl().Lookup(handle);
  return o ? o->kind.c_str() : nullptr;
}

int OpenKernelHandles(const char* kind) { return M().files.impl().CountKind(kind); }

}  // namespace sim

// --- kernel32 ---

namespace {

sim::FileSystem::Impl& Files() { return sim::M().files.impl(); }

// Sets the last error when `error` is one; returns whether the call succeeded.
BOOL Finish(DWORD error) {
  if (error) SetLastError(error);
  return error ? FALSE : TRUE;
}

// A file name the program passed, in UTF-8; not given when it passed a
// null pointer.
struct ProgramName {
  bool given = false;
  std::string utf8;
  // The name for the file system's operations: null when not given.
  const char* c_str() const { return given ? utf8.c_str() : nullptr; }
};

// The name an ANSI function was given, from the code page.
ProgramName FromAnsi(LPCSTR name) {
  ProgramName out;
  if (name) {
    out.given = true;
    out.utf8 = sim::AnsiToUtf8(name);
  }
  return out;
}

// Fills a find record for a listed entry: a node's key, "." or "..".
void FillFindData(const std::string& key, LPWIN32_FIND_DATAA data) {
  sim::Node dot;
  const sim::Node* found = Files().FindKey(key);
  if (key == "." || key == "..") {
    dot.leaf = key;
    dot.directory = true;
    dot.attributes = FILE_ATTRIBUTE_DIRECTORY;
    found = &dot;
  }
  std::memset(data, 0, sizeof(*data));
  data->dwFileAttributes = found->attributes;
  data->nFileSizeLow = static_cast<DWORD>(found->data.size());
  // The name in the code page: characters it lacks come out as '?'.
  std::strncpy(data->cFileName, sim::Utf8ToAnsi(found->leaf).c_str(), MAX_PATH - 1);
}

// The name a wide function was given. Returns ERROR_CALL_NOT_IMPLEMENTED on
// the 9x family, whose wide file functions are stubs that do nothing,
// ERROR_INVALID_NAME for a unit no UTF-16 text holds, else 0 with *out set.
DWORD FromWide(LPCWSTR name, ProgramName* out) {
  if (!sim::IsNt()) return ERROR_CALL_NOT_IMPLEMENTED;
  if (!name) return ERROR_SUCCESS;
  if (!sim::WideToUtf8(name, &out->utf8)) return ERROR_INVALID_NAME;
  out->given = true;
  return ERROR_SUCCESS;
}

// CreateFileA and CreateFileW once the name is in UTF-8; `function` names
// the call in faults and the journal. Returns the handle, or
// INVALID_HANDLE_VALUE with the last error set.
HANDLE CreateFileAs(const char* function, const ProgramName& name, DWORD access, DWORD share,
                    LPSECURITY_ATTRIBUTES security, DWORD disposition, DWORD flags) {
  bool fault = sim::M().TakeFault(function);
  bool writes = sim::RightsOf(access).write || disposition != OPEN_EXISTING;
  if (writes) sim::M().Note(std::string(function) + " " + name.utf8);
  if (fault) return INVALID_HANDLE_VALUE;
  HANDLE handle = INVALID_HANDLE_VALUE;
  DWORD success_error = ERROR_SUCCESS;
  std::optional<sim::Dacl> given;
  DWORD error = sim::DaclOfAttributes(security, &given);
  if (!error)
    error = Files().Open(name.c_str(), access, share, disposition, flags, given, &handle,
                         &success_error);
  if (error) {
    SetLastError(error);
    return INVALID_HANDLE_VALUE;
  }
  if (security && security->bInheritHandle) sim::SetHandleInheritable(handle, true);
  SetLastError(success_error);
  return handle;
}

// DeleteFileA and DeleteFileW. Returns whether the file went (or is
// pending deletion), the last error set otherwise.
BOOL DeleteFileAs(const char* function, const ProgramName& name) {
  DWORD error = 0;
  if (!sim::M().TakeFault(function, &error)) error = Files().Delete(name.c_str());
  sim::M().Note(std::string(function) + " " + name.utf8 + " -> " + sim::Outcome(error));
  return Finish(error);
}

// MoveFileA and MoveFileW. Returns whether the file or folder was renamed.
BOOL MoveFileAs(const char* function, const ProgramName& from, const ProgramName& to) {
  DWORD error = 0;
  if (!sim::M().TakeFault(function, &error)) error = Files().Move(from.c_str(), to.c_str());
  sim::M().Note(std::string(function) + " " + from.utf8 + ", " + to.utf8);
  return Finish(error);
}

// CreateDirectoryA and CreateDirectoryW. Returns whether the folder was made.
BOOL CreateDirectoryAs(const char* function, const ProgramName& name,
                       const SECURITY_ATTRIBUTES* security) {
  DWORD error = 0;
  std::optional<sim::Dacl> given;
  if (!sim::M().TakeFault(function, &error)) error = sim::DaclOfAttributes(security, &given);
  if (!error) error = Files().MakeDirectory(name.c_str(), given);
  sim::M().Note(std::string(function) + " " + name.utf8);
  return Finish(error);
}

// GetFileAttributesA and GetFileAttributesW. Returns the attributes, or
// INVALID_FILE_ATTRIBUTES with the last error set.
DWORD GetFileAttributesAs(const char* function, const ProgramName& name) {
  if (sim::M().TakeFault(function)) return INVALID_FILE_ATTRIBUTES;
  sim::PathName p;
  if (!name.given || !sim::ParsePath(name.utf8, &p)) {
    SetLastError(ERROR_PATH_NOT_FOUND);
    return INVALID_FILE_ATTRIBUTES;
  }
  if (!sim::ValidNames(p, false)) {
    SetLastError(ERROR_INVALID_NAME);
    return INVALID_FILE_ATTRIBUTES;
  }
  // A link answers with its own attributes.
  if (!Files().Resolve(&p, false)) {
    SetLastError(ERROR_CANT_RESOLVE_FILENAME);
    return INVALID_FILE_ATTRIBUTES;
  }
  const sim::Node* node = Files().FindKey(p.Key());
  if (!node || (p.trailing_separator && !node->directory)) {
    SetLastError(node ? ERROR_INVALID_NAME : Files().MissingError(p));
    return INVALID_FILE_ATTRIBUTES;
  }
  if (node->delete_pending) {  // deleted, waiting for its last handle
    SetLastError(ERROR_ACCESS_DENIED);
    return INVALID_FILE_ATTRIBUTES;
  }
  return node->attributes;
}

}  // namespace

HANDLE WINAPI CreateFileA(LPCSTR lpFileName, DWORD dwDesiredAccess, DWORD dwShareMode,
                          LPSECURITY_ATTRIBUTES lpSecurityAttributes,
                          DWORD dwCreationDisposition, DWORD dwFlagsAndAttributes,
                          HANDLE hTemplateFile) {
  sim::ApiLock lock;
  return CreateFileAs("CreateFileA", FromAnsi(lpFileName), dwDesiredAccess, dwShareMode,
                      lpSecurityAttributes, dwCreationDisposition, dwFlagsAndAttributes);
}

HANDLE WINAPI CreateFileW(LPCWSTR lpFileName, DWORD dwDesiredAccess, DWORD dwShareMode,
                          LPSECURITY_ATTRIBUTES lpSecurityAttributes,
                          DWORD dwCreationDisposition, DWORD dwFlagsAndAttributes,
                          HANDLE hTemplateFile) {
  sim::ApiLock lock;
  ProgramName name;
  if (DWORD error = FromWide(lpFileName, &name)) {
    SetLastError(error);
    return INVALID_HANDLE_VALUE;
  }
  return CreateFileAs("CreateFileW", name, dwDesiredAccess, dwShareMode, lpSecurityAttributes,
                      dwCreationDisposition, dwFlagsAndAttributes);
}

BOOL WINAPI ReadFile(HANDLE hFile, LPVOID lpBuffer, DWORD nNumberOfBytesToRead,
                     LPDWORD lpNumberOfBytesRead, LPOVERLAPPED lpOverlapped) {
  sim::ApiLock lock;
  if (sim::M().TakeFault("ReadFile")) return FALSE;
  // Before Windows 7 a synchronous read must be given a count to fill in.
  if (lpOverlapped || !lpNumberOfBytesRead) return Finish(ERROR_INVALID_PARAMETER);
  return Finish(Files().Read(hFile, lpBuffer, nNumberOfBytesToRead, lpNumberOfBytesRead));
}

BOOL WINAPI WriteFile(HANDLE hFile, LPCVOID lpBuffer, DWORD nNumberOfBytesToWrite,
                      LPDWORD lpNumberOfBytesWritten, LPOVERLAPPED lpOverlapped) {
  sim::ApiLock lock;
  if (sim::M().TakeFault("WriteFile")) return FALSE;
  if (lpOverlapped || !lpNumberOfBytesWritten) return Finish(ERROR_INVALID_PARAMETER);
  return Finish(Files().Write(hFile, lpBuffer, nNumberOfBytesToWrite, lpNumberOfBytesWritten));
}

DWORD WINAPI SetFilePointer(HANDLE hFile, LONG lDistanceToMove, LONG* lpDistanceToMoveHigh,
                            DWORD dwMoveMethod) {
  sim::ApiLock lock;
  if (sim::M().TakeFault("SetFilePointer")) return INVALID_SET_FILE_POINTER;
  sim::KernelObject* o = Files().Lookup(hFile);
  if (!o || o->kind != sim::kFileKind) {
    SetLastError(ERROR_INVALID_HANDLE);
    return INVALID_SET_FILE_POINTER;
  }
  int64_t distance = lpDistanceToMoveHigh
                         ? static_cast<int64_t>((static_cast<uint64_t>(static_cast<uint32_t>(
                                                     *lpDistanceToMoveHigh))
                                                 << 32) |
                                                static_cast<uint32_t>(lDistanceToMove))
                         : static_cast<int64_t>(lDistanceToMove);
  const sim::Node* node = Files().FindKey(o->file->key);
  int64_t base = 0;
  switch (dwMoveMethod) {
    case FILE_BEGIN: base = 0; break;
    case FILE_CURRENT: base = static_cast<int64_t>(o->file->position); break;
    case FILE_END: base = node ? static_cast<int64_t>(node->data.size()) : 0; break;
    default:
      SetLastError(ERROR_INVALID_PARAMETER);
      return INVALID_SET_FILE_POINTER;
  }
  int64_t target = base + distance;
  if (target < 0) {
    SetLastError(ERROR_NEGATIVE_SEEK);
    return INVALID_SET_FILE_POINTER;
  }
  // Without the high part the position must fit the 31 bits a LONG holds.
  if (!lpDistanceToMoveHigh && target > 0x7FFFFFFF) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return INVALID_SET_FILE_POINTER;
  }
  o->file->position = static_cast<uint64_t>(target);
  if (lpDistanceToMoveHigh) *lpDistanceToMoveHigh = static_cast<LONG>(target >> 32);
  return static_cast<DWORD>(target & 0xFFFFFFFF);
}

DWORD WINAPI GetFileSize(HANDLE hFile, LPDWORD lpFileSizeHigh) {
  sim::ApiLock lock;
  if (sim::M().TakeFault("GetFileSize")) return INVALID_FILE_SIZE;
  sim::KernelObject* o = Files().Lookup(hFile);
  const sim::Node* node = o && o->kind == sim::kFileKind ? Files().FindKey(o->file->key) : nullptr;
  if (!node) {
    SetLastError(ERROR_INVALID_HANDLE);
    return INVALID_FILE_SIZE;
  }
  uint64_t size = node->data.size();
  if (lpFileSizeHigh) *lpFileSizeHigh = static_cast<DWORD>(size >> 32);
  return static_cast<DWORD>(size & 0xFFFFFFFF);
}

BOOL WINAPI FlushFileBuffers(HANDLE hFile) {
  sim::ApiLock lock;
  if (sim::M().TakeFault("FlushFileBuffers")) return FALSE;
  sim::KernelObject* o = Files().Lookup(hFile);
  if (!o || o->kind == sim::kFindKind) return Finish(ERROR_INVALID_HANDLE);
  if (o->kind == sim::kFileKind && !sim::RightsOf(o->file->access).write)
    return Finish(ERROR_ACCESS_DENIED);
  return TRUE;
}

BOOL WINAPI DeleteFileA(LPCSTR lpFileName) {
  sim::ApiLock lock;
  return DeleteFileAs("DeleteFileA", FromAnsi(lpFileName));
}

BOOL WINAPI DeleteFileW(LPCWSTR lpFileName) {
  sim::ApiLock lock;
  ProgramName name;
  if (DWORD error = FromWide(lpFileName, &name)) return Finish(error);
  return DeleteFileAs("DeleteFileW", name);
}

BOOL WINAPI MoveFileA(LPCSTR lpExistingFileName, LPCSTR lpNewFileName) {
  sim::ApiLock lock;
  return MoveFileAs("MoveFileA", FromAnsi(lpExistingFileName), FromAnsi(lpNewFileName));
}

BOOL WINAPI MoveFileW(LPCWSTR lpExistingFileName, LPCWSTR lpNewFileName) {
  sim::ApiLock lock;
  ProgramName from, to;
  if (DWORD error = FromWide(lpExistingFileName, &from)) return Finish(error);
  if (DWORD error = FromWide(lpNewFileName, &to)) return Finish(error);
  return MoveFileAs("MoveFileW", from, to);
}

BOOL WINAPI CreateDirectoryA(LPCSTR lpPathName, LPSECURITY_ATTRIBUTES lpSecurityAttributes) {
  sim::ApiLock lock;
  return CreateDirectoryAs("CreateDirectoryA", FromAnsi(lpPathName), lpSecurityAttributes);
}

BOOL WINAPI CreateDirectoryW(LPCWSTR lpPathName, LPSECURITY_ATTRIBUTES lpSecurityAttributes) {
  sim::ApiLock lock;
  ProgramName name;
  if (DWORD error = FromWide(lpPathName, &name)) return Finish(error);
  return CreateDirectoryAs("CreateDirectoryW", name, lpSecurityAttributes);
}

DWORD WINAPI GetFileAttributesA(LPCSTR lpFileName) {
  sim::ApiLock lock;
  return GetFileAttributesAs("GetFileAttributesA", FromAnsi(lpFileName));
}

DWORD WINAPI GetFileAttributesW(LPCWSTR lpFileName) {
  sim::ApiLock lock;
  ProgramName name;
  if (DWORD error = FromWide(lpFileName, &name)) {
    SetLastError(error);
    return INVALID_FILE_ATTRIBUTES;
  }
  return GetFileAttributesAs("GetFileAttributesW", name);
}

BOOL WINAPI GetDiskFreeSpaceExA(LPCSTR lpDirectoryName,
                                PULARGE_INTEGER lpFreeBytesAvailableToCaller,
                                PULARGE_INTEGER lpTotalNumberOfBytes,
                                PULARGE_INTEGER lpTotalNumberOfFreeBytes) {
  sim::ApiLock lock;
  if (sim::M().TakeFault("GetDiskFreeSpaceExA")) return FALSE;
  // Without a folder: the root of the current directory's drive.
  const ProgramName folder = lpDirectoryName ? FromAnsi(lpDirectoryName) : FromAnsi("\\");
  sim::PathName p;
  if (!sim::ParsePath(folder.utf8, &p) || !sim::ValidNames(p, false) ||
      !Files().IsDirectory(p.Key()))
    return Finish(ERROR_PATH_NOT_FOUND);
  // No quotas: the caller may use every free byte.
  const uint64_t free = Files().Free(p.drive);
  if (lpFreeBytesAvailableToCaller) lpFreeBytesAvailableToCaller->QuadPart = free;
  if (lpTotalNumberOfFreeBytes) lpTotalNumberOfFreeBytes->QuadPart = free;
  if (lpTotalNumberOfBytes) lpTotalNumberOfBytes->QuadPart = free + Files().Used(p.drive);
  return TRUE;
}

HANDLE WINAPI FindFirstFileA(LPCSTR lpFileName, LPWIN32_FIND_DATAA lpFindFileData) {
  sim::ApiLock lock;
  if (sim::M().TakeFault("FindFirstFileA")) return INVALID_HANDLE_VALUE;
  sim::FileSystem::Impl& fs = Files();
  sim::PathName p;
  if (!lpFileName || !lpFindFileData || !sim::ParsePath(sim::AnsiToUtf8(lpFileName), &p)) {
    SetLastError(ERROR_PATH_NOT_FOUND);
    return INVALID_HANDLE_VALUE;
  }
  if (!sim::ValidNames(p, true)) {
    SetLastError(ERROR_INVALID_NAME);
    return INVALID_HANDLE_VALUE;
  }
  if (!fs.Resolve(&p, false)) {
    SetLastError(ERROR_CANT_RESOLVE_FILENAME);
    return INVALID_HANDLE_VALUE;
  }
  // A folder given with a trailing separator, or a drive root, names no entry.
  if (p.Root() || p.trailing_separator || !fs.IsDirectory(p.ParentKey())) {
    SetLastError(fs.IsDirectory(p.Key()) || (!p.Root() && fs.IsDirectory(p.ParentKey()))
                     ? ERROR_FILE_NOT_FOUND
                     : ERROR_PATH_NOT_FOUND);
    return INVALID_HANDLE_VALUE;
  }
  if (!fs.Grants(fs.FindKey(p.ParentKey()), FILE_LIST_DIRECTORY)) {
    SetLastError(ERROR_ACCESS_DENIED);
    return INVALID_HANDLE_VALUE;
  }
  const std::string pattern = p.parts.back();
  bool wildcard = pattern.find_first_of("*?") != std::string::npos;
  sim::KernelObject find{sim::kFindKind};
  if (wildcard) {
    // Every folder but a drive's root lists "." and ".." first.
    if (p.parts.size() > 1) {
      for (const char* dots : {".", ".."})
        if (sim::PatternMatches(pattern, dots)) find.listing.push_back(dots);
    }
    for (const std::string& key : fs.Children(p.ParentKey()))
      if (sim::PatternMatches(pattern, fs.nodes.at(key).leaf)) find.listing.push_back(key);
  } else if (fs.FindKey(p.Key())) {
    find.listing.push_back(p.Key());
  }
  if (find.listing.empty()) {
    SetLastError(ERROR_FILE_NOT_FOUND);
    return INVALID_HANDLE_VALUE;
  }
  FillFindData(find.listing.front(), lpFindFileData);
  find.listing.erase(find.listing.begin());
  return fs.AddHandle(find);
}

BOOL WINAPI FindNextFileA(HANDLE hFindFile, LPWIN32_FIND_DATAA lpFindFileData) {
  sim::ApiLock lock;
  if (sim::M().TakeFault("FindNextFileA")) return FALSE;
  sim::KernelObject* o = Files().Lookup(hFindFile);
  if (!o || o->kind != sim::kFindKind || !lpFindFileData) return Finish(ERROR_INVALID_HANDLE);
  // Entries deleted since the listing was taken are passed over.
  while (!o->listing.empty()) {
    const std::string key = o->listing.front();
    o->listing.erase(o->listing.begin());
    if (key == "." || key == ".." || Files().FindKey(key)) {
      FillFindData(key, lpFindFileData);
      return TRUE;
    }
  }
  return Finish(ERROR_NO_MORE_FILES);
}

BOOL WINAPI GetVolumeInformationA(LPCSTR lpRootPathName, LPSTR lpVolumeNameBuffer,
                                  DWORD nVolumeNameSize, LPDWORD lpVolumeSerialNumber,
                                  LPDWORD lpMaximumComponentLength, LPDWORD lpFileSystemFlags,
                                  LPSTR lpFileSystemNameBuffer, DWORD nFileSystemNameSize) {
  sim::ApiLock lock;
  if (sim::M().TakeFault("GetVolumeInformationA")) return FALSE;
  // Only a drive's root with its backslash names a volume.
  sim::PathName p;
  const std::string root = lpRootPathName ? lpRootPathName : "\\";
  if (!sim::ParsePath(root, &p) || !p.Root() || root.back() != '\\') return Finish(ERROR_INVALID_NAME);
  if (!Files().FindKey(p.Key())) return Finish(ERROR_PATH_NOT_FOUND);
  const bool acls = sim::M().files.KeepsAcls(p.drive);
  const std::string system = acls ? "NTFS" : "FAT";
  if (lpFileSystemNameBuffer) {
    if (nFileSystemNameSize <= system.size()) return Finish(ERROR_BAD_LENGTH);
    std::strcpy(lpFileSystemNameBuffer, system.c_str());
  }
  if (lpVolumeNameBuffer && nVolumeNameSize > 0) lpVolumeNameBuffer[0] = '\0';
  if (lpVolumeSerialNumber) *lpVolumeSerialNumber = 0x1234ABCD;
  if (lpMaximumComponentLength) *lpMaximumComponentLength = 255;
  if (lpFileSystemFlags) *lpFileSystemFlags = FS_CASE_IS_PRESERVED | (acls ? FS_PERSISTENT_ACLS : 0);
  return TRUE;
}

BOOL WINAPI FindClose(HANDLE hFindFile) {
  sim::ApiLock lock;
  if (sim::M().TakeFault("FindClose")) return FALSE;
  sim::KernelObject* o = Files().Lookup(hFindFile);
  if (!o || o->kind != sim::kFindKind) return Finish(ERROR_INVALID_HANDLE);
  Files().CloseEntry(reinterpret_cast<uintptr_t>(hFindFile));
  return TRUE;
}

HANDLE WINAPI GetStdHandle(DWORD nStdHandle) {
  sim::ApiLock lock;
  if (sim::M().TakeFault("GetStdHandle")) return INVALID_HANDLE_VALUE;
  sim::FileSystem::Impl& fs = Files();
  switch (nStdHandle) {
    case STD_INPUT_HANDLE: return fs.std_input;
    case STD_OUTPUT_HANDLE: return fs.std_output;
    case STD_ERROR_HANDLE: return fs.std_error;
    default:
      SetLastError(ERROR_INVALID_HANDLE);
      return INVALID_HANDLE_VALUE;
  }
}

BOOL WINAPI CloseHandle(HANDLE hObject) {
  sim::ApiLock lock;
  if (sim::M().TakeFault("CloseHandle")) return FALSE;
  // (HANDLE)-1 is the pseudo handle of the current process: closing it is
  // allowed and does nothing.
  if (hObject == INVALID_HANDLE_VALUE) return TRUE;
  sim::KernelObject* o = Files().Lookup(hObject);
  // Find handles are no kernel objects; only FindClose ends them.
  if (!o || o->kind == sim::kFindKind) return Finish(ERROR_INVALID_HANDLE);
  Files().CloseEntry(reinterpret_cast<uintptr_t>(hObject));
  return TRUE;
}
