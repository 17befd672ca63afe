// The registry: a tree of keys under the predefined roots, the handles the
// program opens on it, and the advapi32 registry functions.
//
// HKEY_CLASSES_ROOT is HKLM\SOFTWARE\Classes, as on Windows. Keys keep the
// spelling they were created with and are ordered case-insensitively, the
// way NT stores them. A handle holds its key, so a key deleted under an open
// handle leaves the handle pointing at a deleted key (ERROR_KEY_DELETED).
//
// On the NT family a handle carries the access it was opened with; value
// reads and writes and enumeration check it, as the kernel does. Creating or
// deleting a subkey does not look at the parent handle's access (Windows
// opens the subkey itself); it checks the rights on the key concerned:
// writes under HKLM need an administrator, and a write-protected key refuses
// write access. The 9x family has no security and ignores access masks.
//
// 64-bit Windows has two views of HKLM\SOFTWARE: a 64-bit program sees the
// key itself, a 32-bit one (under WOW64) HKLM\SOFTWARE\Wow6432Node, where the
// 32-bit view is stored. KEY_WOW64_64KEY and KEY_WOW64_32KEY choose the view
// for one open or create; 32-bit Windows ignores them. Only HKLM\SOFTWARE is
// redirected here: every key below it is taken as redirected, none as shared.
#include <cstring>
#include <set>

#include "sim/machine.h"
#include "sim/scheduler.h"
#include "sim/win32_api.h"

namespace sim {

namespace {

struct Node {
  std::string name;  // as first created; the roots carry "HKLM", "HKCU", "HKU"
  Node* parent = nullptr;
  bool deleted = false;
  std::vector<std::pair<std::string, RegValue>> values;   // in first-write order
  std::map<std::string, LONG> failing;  // upper-case value name -> its reads' error
  std::map<std::string, std::shared_ptr<Node>> children;  // by upper-case name
};

using NodePtr = std::shared_ptr<Node>;

// What a handle (or a predefined root) stands for.
struct KeyRef {
  NodePtr node;
  std::string label;  // "HKLM\<path as the program passed it>", for the journal
  REGSAM access = 0;
  bool predefined = false;
  bool under_hklm = false;  // writes need an administrator on NT
};

constexpr REGSAM kWriteRights =
    KEY_SET_VALUE | KEY_CREATE_SUB_KEY | KEY_CREATE_LINK | DELETE | WRITE_DAC | WRITE_OWNER;

// The path components of a subkey text; empty components (doubled or
// trailing backslashes) are skipped, as Windows does.
std::vector<std::string> Split(const std::string& path) {
  std::vector<std::string> parts;
  size_t start = 0;
  while (start <= path.size()) {
    size_t end = path.find('\\', start);
    if (end == std::string::npos) end = path.size();
    if (end > start) parts.push_back(path.substr(start, end - start));
    start = end + 1;
  }
  return parts;
}

NodePtr Child(const Node& node, const std::string& name) {
  auto it = node.children.find(Upper(name));
  return it == node.children.end() ? nullptr : it->second;
}

// The key at `parts` below `from`, or null.
NodePtr Walk(NodePtr from, const std::vector<std::string>& parts) {
  for (const std::string& part : parts) {
    if (!from) return nullptr;
    from = Child(*from, part);
  }
  return from;
}

// Creates the missing keys of `parts` below `from` and returns the last one.
NodePtr MakePath(NodePtr from, const std::vector<std::string>& parts) {
  for (const std::string& part : parts) {
    NodePtr next = Child(*from, part);
    if (!next) {
      next = std::make_shared<Node>();
      next->name = part;
      next->parent = from.get();
      from->children[Upper(part)] = next;
    }
    from = next;
  }
  return from;
}

// The path of a key from its root with the stored spellings ("HKLM\SYSTEM\...").
std::string StoredPath(const Node& node) {
  std::string path = node.name;
  for (const Node* p = node.parent; p; p = p->parent) path = p->name + "\\" + path;
  return path;
}

// Marks a key and everything below it deleted and detaches it from its parent.
void Detach(const NodePtr& node) {
  std::vector<Node*> pending{node.get()};
  while (!pending.empty()) {
    Node* n = pending.back();
    pending.pop_back();
    n->deleted = true;
    for (auto& entry : n->children) pending.push_back(entry.second.get());
  }
  if (node->parent) node->parent->children.erase(Upper(node->name));
}

RegValue* FindValue(Node& node, const std::string& name) {
  for (auto& entry : node.values)
    if (EqualNoCase(entry.first, name)) return &entry.second;
  return nullptr;
}

// Stores a value; a new name goes last, an existing one keeps its place.
void StoreValue(Node& node, const std::string& name, DWORD type, std::vector<BYTE> data) {
  if (RegValue* value = FindValue(node, name)) {
    value->type = type;
    value->data = std::move(data);
    return;
  }
  RegValue value;
  value.type = type;
  value.data = std::move(data);
  node.values.emplace_back(name, std::move(value));
}

bool IsStringType(DWORD type) {
  return type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ;
}

std::string TypeName(DWORD type) {
  switch (type) {
    case REG_NONE:
      return "REG_NONE";
    case REG_SZ:
      return "REG_SZ";
    case REG_EXPAND_SZ:
      return "REG_EXPAND_SZ";
    case REG_BINARY:
      return "REG_BINARY";
    case REG_DWORD:
      return "REG_DWORD";
    case REG_MULTI_SZ:
      return "REG_MULTI_SZ";
    default:
      return "type(" + std::to_string(type) + ")";
  }
}

std::string Join(const std::string& label, const char* sub) {
  if (!sub || !*sub) return label;
  return label + "\\" + sub;
}

std::string Text(const char* s) { return s ? s : ""; }

// Generic rights expressed as key rights.
REGSAM MapGeneric(REGSAM sam) {
  REGSAM out =
      sam & ~static_cast<REGSAM>(GENERIC_READ | GENERIC_WRITE | GENERIC_EXECUTE | GENERIC_ALL);
  if (sam & GENERIC_READ) out |= KEY_READ;
  if (sam & GENERIC_WRITE) out |= KEY_WRITE;
  if (sam & GENERIC_EXECUTE) out |= KEY_READ;
  if (sam & GENERIC_ALL) out |= KEY_ALL_ACCESS;
  return out;
}

// Takes an injected fault of a registry function. Registry functions report
// through their result, so the last error value is left as it was.
bool RegistryFault(const char* function, LONG* result) {
  DWORD saved = GetLastError();
  DWORD error = 0;
  bool hit = M().TakeFault(function, &error);
  SetLastError(saved);
  if (hit) *result = static_cast<LONG>(error);
  return hit;
}

// Journals a call that changes the registry, with its result when it failed.
void Journal(const char* function, const std::string& path, LONG result) {
  std::string line = std::string(function) + " " + path;
  if (result != ERROR_SUCCESS) line += " -> " + std::to_string(result);
  M().Note(line);
}

}  // namespace

struct Registry::Impl {
  Family family = Family::NT;
  NodePtr hklm, hkcu, hku;
  std::map<uintptr_t, KeyRef> handles;
  uintptr_t next_handle = 0x1000;        // never reused, so a stale handle stays invalid
  std::set<std::string> protected_keys;  // upper-case stored paths

  Impl() { Clear(); }

  void Clear() {
    hklm = std::make_shared<Node>();
    hklm->name = "HKLM";
    hkcu = std::make_shared<Node>();
    hkcu->name = "HKCU";
    hku = std::make_shared<Node>();
    hku->name = "HKU";
    handles.clear();
    protected_keys.clear();
  }

  bool nt() const { return family == Family::NT; }

  // The key a predefined root stands for, or null for any other value.
  NodePtr RootNode(HKEY root) const {
    if (root == HKEY_LOCAL_MACHINE) return hklm;
    if (root == HKEY_CURRENT_USER) return hkcu;
    if (root == HKEY_USERS) return hku;
    if (root == HKEY_CLASSES_ROOT) return Walk(hklm, {"SOFTWARE", "Classes"});
    return nullptr;
  }

  static bool IsPredefined(HKEY key) {
    return key == HKEY_CLASSES_ROOT || key == HKEY_CURRENT_USER || key == HKEY_LOCAL_MACHINE ||
           key == HKEY_USERS;
  }

  static const char* RootLabel(HKEY root) {
    if (root == HKEY_CLASSES_ROOT) return "HKCR";
    if (root == HKEY_CURRENT_USER) return "HKCU";
    if (root == HKEY_USERS) return "HKU";
    return "HKLM";
  }

  // Whether this process may write to keys under HKLM.
  bool MayWriteMachine() const { return !nt() || M().administrator; }

  bool IsProtected(const Node& node) const {
    return nt() && protected_keys.count(Upper(StoredPath(node))) != 0;
  }

  // Whether the key grants write rights to this process.
  bool Writable(const Node& node, bool under_hklm) const {
    if (!nt()) return true;
    if (under_hklm && !M().administrator) return false;
    return !IsProtected(node);
  }

  // The rights an open of `node` with `sam` gets, or ERROR_ACCESS_DENIED.
  LONG Grant(const Node& node, bool under_hklm, REGSAM sam, REGSAM* granted) const {
    if (!nt()) {
      *granted = KEY_ALL_ACCESS;
      return ERROR_SUCCESS;
    }
    bool writable = Writable(node, under_hklm);
    REGSAM wanted = MapGeneric(
        sam & ~static_cast<REGSAM>(MAXIMUM_ALLOWED | KEY_WOW64_64KEY | KEY_WOW64_32KEY));
    if ((wanted & kWriteRights) && !writable) return ERROR_ACCESS_DENIED;
    if (sam & MAXIMUM_ALLOWED) wanted |= writable ? KEY_ALL_ACCESS : KEY_READ;
    *granted = wanted;
    return ERROR_SUCCESS;
  }

  // The components of a subkey path below `parent`, as they are stored in
  // the view `sam` asks for (or, without a view flag, the process's own):
  // on 64-bit Windows the 32-bit view of HKLM\SOFTWARE lies under its
  // subkey Wow6432Node. Returns `parts` unchanged everywhere else.
  std::vector<std::string> InView(const KeyRef& parent, std::vector<std::string> parts,
                                  REGSAM sam) const {
    static const char kWow64Node[] = "Wow6432Node";
    const bool x64 = M().platform().architecture != PROCESSOR_ARCHITECTURE_INTEL;
    if (!x64 || parent.node != hklm || parts.empty() || !EqualNoCase(parts[0], "SOFTWARE"))
      return parts;
    const bool view32 = (sam & KEY_WOW64_32KEY) != 0 ||
                        ((sam & KEY_WOW64_64KEY) == 0 && UnderWow64());
    if (!view32 || (parts.size() > 1 && EqualNoCase(parts[1], kWow64Node))) return parts;
    parts.insert(parts.begin() + 1, kWow64Node);
    return parts;
  }

  // What a handle value stands for; false for an unknown handle.
  bool Resolve(HKEY key, KeyRef* out) const {
    if (IsPredefined(key)) {
      out->node = RootNode(key);
      if (!out->node) return false;
      out->label = RootLabel(key);
      out->predefined = true;
      out->under_hklm = key == HKEY_LOCAL_MACHINE || key == HKEY_CLASSES_ROOT;
      out->access = (out->under_hklm && !MayWriteMachine()) ? KEY_READ : KEY_ALL_ACCESS;
      return true;
    }
    auto it = handles.find(reinterpret_cast<uintptr_t>(key));
    if (it == handles.end()) return false;
    *out = it->second;
    return true;
  }

  HKEY NewHandle(KeyRef ref) {
    uintptr_t value = next_handle;
    next_handle += 4;
    ref.predefined = false;
    handles[value] = std::move(ref);
    return reinterpret_cast<HKEY>(value);
  }

  // For the NT family: the right `needed` must be on the handle.
  bool HandleAllows(const KeyRef& ref, REGSAM needed) const {
    return !nt() || (ref.access & needed) == needed;
  }

  // Checks a subkey text for a leading backslash: NT refuses it (except
  // under HKEY_CLASSES_ROOT), 9x skips it for a create and fails an open.
  LONG CheckLeadingBackslash(HKEY key, const char* sub, bool creating) const {
    if (!sub || sub[0] != '\\') return ERROR_SUCCESS;
    if (nt()) return key == HKEY_CLASSES_ROOT ? ERROR_SUCCESS : ERROR_BAD_PATHNAME;
    return creating ? ERROR_SUCCESS : ERROR_FILE_NOT_FOUND;
  }

  // The key a test names by root and path, or null.
  NodePtr Find(HKEY root, const std::string& path) const {
    return Walk(RootNode(root), Split(path));
  }

  // Creates the key a test names, with its parents; HKEY_CLASSES_ROOT gets
  // its key back if it was deleted.
  NodePtr Make(HKEY root, const std::string& path) {
    NodePtr base = RootNode(root);
    if (!base) base = MakePath(hklm, {"SOFTWARE", "Classes"});
    return MakePath(base, Split(path));
  }

  // Opens or creates a key for RegCreateKeyA/RegCreateKeyExA.
  LONG Create(const char* function, HKEY key, const char* sub, REGSAM sam, PHKEY result,
              LPDWORD disposition);

  // RegDeleteKeyA's removal of one key (9x: with its subtree).
  LONG DeleteKey(const KeyRef& ref, const NodePtr& target);

  // SHDeleteKeyA's removal: subkeys first, in order, stopping at the first
  // failure, then the key itself.
  LONG DeleteTree(const KeyRef& ref, const NodePtr& target);

  void Dump(const Node& node, std::string* out) const;
};

LONG Registry::Impl::Create(const char* function, HKEY key, const char* sub, REGSAM sam,
                            PHKEY result, LPDWORD disposition) {
  KeyRef parent;
  if (!Resolve(key, &parent)) return ERROR_INVALID_HANDLE;
  *result = nullptr;
  const std::string label = Join(parent.label, sub);
  if (parent.node->deleted) return ERROR_KEY_DELETED;
  LONG rc = CheckLeadingBackslash(key, sub, true);
  if (rc != ERROR_SUCCESS) {
    Journal(function, label, rc);
    return rc;
  }
  const std::vector<std::string> parts = InView(parent, Split(Text(sub)), sam);
  // The deepest key that exists, and what is missing below it.
  NodePtr existing = parent.node;
  size_t found = 0;
  while (found < parts.size()) {
    NodePtr next = Child(*existing, parts[found]);
    if (!next) break;
    existing = next;
    ++found;
  }
  NodePtr target = existing;
  bool created = found < parts.size();
  if (created) {
    if (!Writable(*existing, parent.under_hklm)) {
      Journal(function, label, ERROR_ACCESS_DENIED);
      return ERROR_ACCESS_DENIED;
    }
    target = MakePath(
        existing, std::vector<std::string>(parts.begin() + static_cast<long>(found), parts.end()));
  }
  REGSAM granted = 0;
  rc = Grant(*target, parent.under_hklm, sam, &granted);
  if (rc != ERROR_SUCCESS) {
    Journal(function, label, rc);
    return rc;
  }
  if (created) Journal(function, label, ERROR_SUCCESS);
  KeyRef ref;
  ref.node = target;
  ref.label = label;
  ref.access = granted;
  ref.under_hklm = parent.under_hklm;
  *result = NewHandle(std::move(ref));
  if (disposition) *disposition = created ? REG_CREATED_NEW_KEY : REG_OPENED_EXISTING_KEY;
  return ERROR_SUCCESS;
}

LONG Registry::Impl::DeleteKey(const KeyRef& ref, const NodePtr& target) {
  if (!target->parent) return ERROR_ACCESS_DENIED;  // a root
  if (nt()) {
    if (!Writable(*target, ref.under_hklm)) return ERROR_ACCESS_DENIED;
    if (!target->children.empty()) return ERROR_ACCESS_DENIED;
  }
  Detach(target);
  return ERROR_SUCCESS;
}

LONG Registry::Impl::DeleteTree(const KeyRef& ref, const NodePtr& target) {
  if (nt()) {
    while (!target->children.empty()) {
      NodePtr first = target->children.begin()->second;
      LONG rc = DeleteTree(ref, first);
      if (rc != ERROR_SUCCESS) return rc;
    }
  }
  if (!target->parent) return ERROR_ACCESS_DENIED;
  if (!Writable(*target, ref.under_hklm)) return ERROR_ACCESS_DENIED;
  Detach(target);
  return ERROR_SUCCESS;
}

void Registry::Impl::Dump(const Node& node, std::string* out) const {
  static const char kHex[] = "0123456789ABCDEF";
  *out += "[" + StoredPath(node) + "]\n";
  for (const auto& entry : node.values) {
    *out += entry.first.empty() ? std::string("@") : "\"" + entry.first + "\"";
    *out += "=" + TypeName(entry.second.type) + ":";
    for (size_t i = 0; i < entry.second.data.size(); ++i) {
      BYTE b = entry.second.data[i];
      if (i) *out += ' ';
      *out += kHex[b >> 4];
      *out += kHex[b & 15];
    }
    *out += "\n";
  }
  for (const auto& child : node.children) Dump(*child.second, out);
}

// ---------------------------------------------------------------------------
// The control interface tests use.

Registry::Registry() : impl_(std::make_unique<Impl>()) {}
Registry::~Registry() = default;

void Registry::Reset(const Platform& platform) {
  Impl& r = *impl_;
  r.Clear();
  r.family = platform.family;
  r.Make(HKEY_LOCAL_MACHINE, "SOFTWARE\\Classes");
  r.Make(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall");
  r.Make(HKEY_LOCAL_MACHINE, "SYSTEM\\CurrentControlSet\\Control");
  r.Make(HKEY_LOCAL_MACHINE, "SYSTEM\\CurrentControlSet\\Services");
  r.Make(HKEY_CURRENT_USER, "Software");
  r.Make(HKEY_USERS, ".DEFAULT");
  // On 64-bit Windows, the 32-bit view's own list of installed programs.
  if (platform.architecture != PROCESSOR_ARCHITECTURE_INTEL)
    r.Make(HKEY_LOCAL_MACHINE,
           "SOFTWARE\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall");
  if (platform.family != Family::NT) return;
  // Where NT keeps the sections of the old system .ini files.
  const std::string mapping = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\IniFileMapping";
  const char* const win_ini[][2] = {
      {"Windows", "USR:Software\\Microsoft\\Windows NT\\CurrentVersion\\Windows"},
      {"Devices", "USR:Software\\Microsoft\\Windows NT\\CurrentVersion\\Devices"},
      {"PrinterPorts", "USR:Software\\Microsoft\\Windows NT\\CurrentVersion\\PrinterPorts"},
      {"Ports", "SYS:Microsoft\\Windows NT\\CurrentVersion\\Ports"},
      {"Fonts", "SYS:Microsoft\\Windows NT\\CurrentVersion\\Fonts"},
      {"Desktop", "USR:Control Panel\\Desktop"},
  };
  const char* const system_ini[][2] = {
      {"boot", "SYS:Microsoft\\Windows NT\\CurrentVersion\\WOW\\boot"},
      {"drivers32", "SYS:Microsoft\\Windows NT\\CurrentVersion\\Drivers32"},
      {"mci", "SYS:Microsoft\\Windows NT\\CurrentVersion\\MCI"},
  };
  for (const auto& entry : win_ini)
    SetString(HKEY_LOCAL_MACHINE, mapping + "\\win.ini", entry[0], entry[1]);
  for (const auto& entry : system_ini)
    SetString(HKEY_LOCAL_MACHINE, mapping + "\\system.ini", entry[0], entry[1]);
  r.Make(HKEY_LOCAL_MACHINE, mapping + "\\control.ini");
  r.Make(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Ports");
}

bool Registry::KeyExists(HKEY root, const std::string& path) const {
  return impl_->Find(root, path) != nullptr;
}

void Registry::CreateKey(HKEY root, const std::string& path) { impl_->Make(root, path); }

void Registry::SetValue(HKEY root, const std::string& path, const std::string& name, DWORD type,
                        const std::vector<BYTE>& data) {
  StoreValue(*impl_->Make(root, path), name, type, data);
}

void Registry::SetString(HKEY root, const std::string& path, const std::string& name,
                         const std::string& text) {
  std::vector<BYTE> data(text.begin(), text.end());
  data.push_back(0);
  SetValue(root, path, name, REG_SZ, data);
}

void Registry::SetDword(HKEY root, const std::string& path, const std::string& name, DWORD value) {
  std::vector<BYTE> data(4);
  for (int i = 0; i < 4; ++i) data[i] = static_cast<BYTE>(value >> (8 * i));
  SetValue(root, path, name, REG_DWORD, data);
}

std::optional<RegValue> Registry::GetValue(HKEY root, const std::string& path,
                                           const std::string& name) const {
  NodePtr node = impl_->Find(root, path);
  if (!node) return std::nullopt;
  if (RegValue* value = FindValue(*node, name)) return *value;
  return std::nullopt;
}

std::vector<std::string> Registry::ValueNames(HKEY root, const std::string& path) const {
  std::vector<std::string> names;
  if (NodePtr node = impl_->Find(root, path))
    for (const auto& entry : node->values) names.push_back(entry.first);
  return names;
}

std::vector<std::string> Registry::SubKeys(HKEY root, const std::string& path) const {
  std::vector<std::string> names;
  if (NodePtr node = impl_->Find(root, path))
    for (const auto& entry : node->children) names.push_back(entry.second->name);
  return names;
}

void Registry::DeleteTree(HKEY root, const std::string& path) {
  NodePtr node = impl_->Find(root, path);
  if (!node) return;
  if (!node->parent) {  // a root: empty it
    while (!node->children.empty()) Detach(node->children.begin()->second);
    node->values.clear();
    return;
  }
  Detach(node);
}

void Registry::FailValue(HKEY root, const std::string& path, const std::string& name,
                         LONG error) {
  if (NodePtr node = impl_->Find(root, path)) node->failing[Upper(name)] = error;
}

void Registry::SetWriteProtected(HKEY root, const std::string& path, bool on) {
  NodePtr base = impl_->RootNode(root);
  if (!base) return;
  std::string key = Upper(StoredPath(*base));
  for (const std::string& part : Split(path)) key += "\\" + Upper(part);
  if (on)
    impl_->protected_keys.insert(key);
  else
    impl_->protected_keys.erase(key);
}

std::string Registry::Dump(HKEY root, const std::string& path) const {
  NodePtr node = impl_->Find(root, path);
  if (!node) return "";
  std::string out;
  impl_->Dump(*node, &out);
  return out;
}

int Registry::OpenHandles() const { return static_cast<int>(impl_->handles.size()); }

LONG DeleteRegistryTree(const char* function, HKEY key, const char* subkey) {
  Registry::Impl& r = M().registry.impl();
  KeyRef ref;
  if (!r.Resolve(key, &ref)) return ERROR_INVALID_HANDLE;
  const std::string label = Join(ref.label, subkey);
  LONG rc = ERROR_SUCCESS;
  NodePtr target;
  if (!subkey) {
    rc = ERROR_INVALID_PARAMETER;
  } else if (ref.node->deleted) {
    rc = ERROR_KEY_DELETED;
  } else if ((rc = r.CheckLeadingBackslash(key, subkey, false)) == ERROR_SUCCESS) {
    target = Walk(ref.node, r.InView(ref, Split(subkey), 0));
    if (!target)
      rc = ERROR_FILE_NOT_FOUND;
    else if (!target->parent)
      rc = ERROR_ACCESS_DENIED;  // a root is never deleted, nor emptied
    else
      rc = r.DeleteTree(ref, target);
  }
  Journal(function, label, rc);
  return rc;
}

}  // namespace sim

// ---------------------------------------------------------------------------
// advapi32.

using sim::KeyRef;
using sim::M;

namespace {

sim::Registry::Impl& R() { return M().registry.impl(); }

// Copies a name into a caller's buffer of *size characters; ERROR_MORE_DATA
// (buffer untouched) when it does not fit with its NUL, else *size becomes
// the length without the NUL.
LONG CopyName(const std::string& name, LPSTR buffer, LPDWORD size) {
  if (name.size() >= *size) return ERROR_MORE_DATA;
  std::memcpy(buffer, name.c_str(), name.size() + 1);
  *size = static_cast<DWORD>(name.size());
  return ERROR_SUCCESS;
}

// Copies value data as RegQueryValueExA does: ERROR_MORE_DATA with the size
// needed (buffer untouched) when it does not fit; a string type that lacks
// its NUL gets one when the buffer has room, not counted in the size.
LONG CopyData(const sim::RegValue& value, LPBYTE data, LPDWORD size) {
  const DWORD len = static_cast<DWORD>(value.data.size());
  LONG rc = ERROR_SUCCESS;
  if (data) {
    if (len > *size) {
      rc = ERROR_MORE_DATA;
    } else {
      if (len) std::memcpy(data, value.data.data(), len);
      if (sim::IsStringType(value.type) && len && len < *size && data[len - 1]) data[len] = 0;
    }
  }
  if (size) *size = len;
  return rc;
}

}  // namespace

// Opens an existing key; a predefined root with no subkey opens as itself.
// Returns 2 for a missing key and 5 when the access asked for is refused;
// *phkResult is NULL after a failure.
LONG WINAPI RegOpenKeyExA(HKEY hKey, LPCSTR lpSubKey, DWORD ulOptions, REGSAM samDesired,
                          PHKEY phkResult) {
  sim::ApiLock lock;
  LONG rc = ERROR_SUCCESS;
  if (sim::RegistryFault("RegOpenKeyExA", &rc)) return rc;
  if (!phkResult) return ERROR_INVALID_PARAMETER;
  sim::Registry::Impl& r = R();
  KeyRef parent;
  if (!r.Resolve(hKey, &parent)) return ERROR_INVALID_HANDLE;
  *phkResult = nullptr;
  if (parent.node->deleted) return ERROR_KEY_DELETED;
  // The predefined roots open as themselves.
  if (parent.predefined && (!lpSubKey || !*lpSubKey)) {
    *phkResult = hKey;
    return ERROR_SUCCESS;
  }
  if ((rc = r.CheckLeadingBackslash(hKey, lpSubKey, false)) != ERROR_SUCCESS) return rc;
  sim::NodePtr node =
      sim::Walk(parent.node, r.InView(parent, sim::Split(sim::Text(lpSubKey)), samDesired));
  if (!node) return ERROR_FILE_NOT_FOUND;
  REGSAM granted = 0;
  if ((rc = r.Grant(*node, parent.under_hklm, samDesired, &granted)) != ERROR_SUCCESS) return rc;
  KeyRef ref;
  ref.node = node;
  ref.label = sim::Join(parent.label, lpSubKey);
  ref.access = granted;
  ref.under_hklm = parent.under_hklm;
  *phkResult = r.NewHandle(std::move(ref));
  return ERROR_SUCCESS;
}

// Creates a key and its missing parents, or opens it, with the most access
// the process may have (read only where it may not write).
LONG WINAPI RegCreateKeyA(HKEY hKey, LPCSTR lpSubKey, PHKEY phkResult) {
  sim::ApiLock lock;
  LONG rc = ERROR_SUCCESS;
  if (sim::RegistryFault("RegCreateKeyA", &rc)) return rc;
  if (!phkResult) return ERROR_INVALID_PARAMETER;
  return R().Create("RegCreateKeyA", hKey, lpSubKey, MAXIMUM_ALLOWED, phkResult, nullptr);
}

// Creates a key and its missing parents, or opens it with samDesired;
// *lpdwDisposition tells which.
LONG WINAPI RegCreateKeyExA(HKEY hKey, LPCSTR lpSubKey, DWORD Reserved, LPSTR lpClass,
                            DWORD dwOptions, REGSAM samDesired,
                            LPSECURITY_ATTRIBUTES lpSecurityAttributes, PHKEY phkResult,
                            LPDWORD lpdwDisposition) {
  sim::ApiLock lock;
  LONG rc = ERROR_SUCCESS;
  if (sim::RegistryFault("RegCreateKeyExA", &rc)) return rc;
  if (!phkResult) return ERROR_BADKEY;
  return R().Create("RegCreateKeyExA", hKey, lpSubKey, samDesired, phkResult, lpdwDisposition);
}

// Stores a value with its type; NULL or "" names the default value.
LONG WINAPI RegSetValueExA(HKEY hKey, LPCSTR lpValueName, DWORD Reserved, DWORD dwType,
                           const BYTE* lpData, DWORD cbData) {
  sim::ApiLock lock;
  LONG rc = ERROR_SUCCESS;
  if (sim::RegistryFault("RegSetValueExA", &rc)) return rc;
  sim::Registry::Impl& r = R();
  KeyRef ref;
  const std::string name = sim::Text(lpValueName);
  if (!r.Resolve(hKey, &ref)) {
    sim::Journal("RegSetValueExA", "?\\" + name, ERROR_INVALID_HANDLE);
    return ERROR_INVALID_HANDLE;
  }
  const std::string label = ref.label + "\\" + name;
  DWORD size = cbData;
  if (ref.node->deleted) {
    rc = ERROR_KEY_DELETED;
  } else if (!r.HandleAllows(ref, KEY_SET_VALUE)) {
    rc = ERROR_ACCESS_DENIED;
  } else if (!r.nt() && dwType == REG_SZ) {
    // Windows 9x takes a string's length from the string, not from cbData.
    if (!lpData)
      rc = ERROR_INVALID_PARAMETER;
    else
      size = static_cast<DWORD>(std::strlen(reinterpret_cast<const char*>(lpData)) + 1);
  } else if (!lpData && cbData) {
    rc = ERROR_NOACCESS;
  } else if (sim::IsStringType(dwType) && size && lpData[size - 1] && !lpData[size]) {
    // NT counts a terminating NUL the caller left out of cbData.
    ++size;
  }
  if (rc == ERROR_SUCCESS)
    sim::StoreValue(*ref.node, name, dwType,
                    std::vector<BYTE>(lpData, lpData + (lpData ? size : 0)));
  sim::Journal("RegSetValueExA", label, rc);
  return rc;
}

// Reads a value's type and data: the size alone when lpData is NULL,
// ERROR_MORE_DATA with the size needed when the buffer is too small.
LONG WINAPI RegQueryValueExA(HKEY hKey, LPCSTR lpValueName, LPDWORD lpReserved, LPDWORD lpType,
                             LPBYTE lpData, LPDWORD lpcbData) {
  sim::ApiLock lock;
  LONG rc = ERROR_SUCCESS;
  if (sim::RegistryFault("RegQueryValueExA", &rc)) return rc;
  if ((lpData && !lpcbData) || lpReserved) return ERROR_INVALID_PARAMETER;
  sim::Registry::Impl& r = R();
  KeyRef ref;
  if (!r.Resolve(hKey, &ref)) return ERROR_INVALID_HANDLE;
  if (ref.node->deleted) return ERROR_KEY_DELETED;
  if (!r.HandleAllows(ref, KEY_QUERY_VALUE)) return ERROR_ACCESS_DENIED;
  const sim::RegValue* value = sim::FindValue(*ref.node, sim::Text(lpValueName));
  if (!value) return ERROR_FILE_NOT_FOUND;
  auto failing = ref.node->failing.find(sim::Upper(sim::Text(lpValueName)));
  if (failing != ref.node->failing.end()) return failing->second;
  if (lpType) *lpType = value->type;
  return CopyData(*value, lpData, lpcbData);
}

// Deletes a value; 2 when there is none of that name.
LONG WINAPI RegDeleteValueA(HKEY hKey, LPCSTR lpValueName) {
  sim::ApiLock lock;
  LONG rc = ERROR_SUCCESS;
  if (sim::RegistryFault("RegDeleteValueA", &rc)) return rc;
  sim::Registry::Impl& r = R();
  KeyRef ref;
  const std::string name = sim::Text(lpValueName);
  if (!r.Resolve(hKey, &ref)) {
    sim::Journal("RegDeleteValueA", "?\\" + name, ERROR_INVALID_HANDLE);
    return ERROR_INVALID_HANDLE;
  }
  if (ref.node->deleted) {
    rc = ERROR_KEY_DELETED;
  } else if (!r.HandleAllows(ref, KEY_SET_VALUE)) {
    rc = ERROR_ACCESS_DENIED;
  } else {
    auto& values = ref.node->values;
    rc = ERROR_FILE_NOT_FOUND;
    for (auto it = values.begin(); it != values.end(); ++it) {
      if (sim::EqualNoCase(it->first, name)) {
        values.erase(it);
        rc = ERROR_SUCCESS;
        break;
      }
    }
  }
  sim::Journal("RegDeleteValueA", ref.label + "\\" + name, rc);
  return rc;
}

// Deletes a subkey ("" the key itself): on NT only one without subkeys,
// on 9x with its whole subtree.
LONG WINAPI RegDeleteKeyA(HKEY hKey, LPCSTR lpSubKey) {
  sim::ApiLock lock;
  LONG rc = ERROR_SUCCESS;
  if (sim::RegistryFault("RegDeleteKeyA", &rc)) return rc;
  if (!lpSubKey) return ERROR_INVALID_PARAMETER;
  sim::Registry::Impl& r = R();
  KeyRef ref;
  if (!r.Resolve(hKey, &ref)) {
    sim::Journal("RegDeleteKeyA", std::string("?\\") + lpSubKey, ERROR_INVALID_HANDLE);
    return ERROR_INVALID_HANDLE;
  }
  if (ref.node->deleted) {
    rc = ERROR_KEY_DELETED;
  } else if ((rc = r.CheckLeadingBackslash(hKey, lpSubKey, false)) == ERROR_SUCCESS) {
    sim::NodePtr target = sim::Walk(ref.node, r.InView(ref, sim::Split(lpSubKey), 0));
    rc = target ? r.DeleteKey(ref, target) : ERROR_FILE_NOT_FOUND;
  }
  sim::Journal("RegDeleteKeyA", sim::Join(ref.label, lpSubKey), rc);
  return rc;
}

// The name of the dwIndex-th subkey in sorted order; ERROR_NO_MORE_ITEMS
// past the last.
LONG WINAPI RegEnumKeyExA(HKEY hKey, DWORD dwIndex, LPSTR lpName, LPDWORD lpcchName,
                          LPDWORD lpReserved, LPSTR lpClass, LPDWORD lpcchClass,
                          PFILETIME lpftLastWriteTime) {
  sim::ApiLock lock;
  LONG rc = ERROR_SUCCESS;
  if (sim::RegistryFault("RegEnumKeyExA", &rc)) return rc;
  if (!lpName || !lpcchName || lpReserved) return ERROR_INVALID_PARAMETER;
  sim::Registry::Impl& r = R();
  KeyRef ref;
  if (!r.Resolve(hKey, &ref)) return ERROR_INVALID_HANDLE;
  if (ref.node->deleted) return ERROR_KEY_DELETED;
  if (!r.HandleAllows(ref, KEY_ENUMERATE_SUB_KEYS)) return ERROR_ACCESS_DENIED;
  const auto& children = ref.node->children;
  if (dwIndex >= children.size()) return ERROR_NO_MORE_ITEMS;
  const sim::Node& child = *std::next(children.begin(), dwIndex)->second;
  // Keys have no class text: an empty one, which needs room for its NUL.
  if (lpClass && lpcchClass && *lpcchClass == 0) return ERROR_MORE_DATA;
  if ((rc = CopyName(child.name, lpName, lpcchName)) != ERROR_SUCCESS) return rc;
  if (lpClass && lpcchClass) {
    lpClass[0] = 0;
    *lpcchClass = 0;
  }
  if (lpftLastWriteTime) *lpftLastWriteTime = FILETIME{};
  return ERROR_SUCCESS;
}

// The name, type and data of the dwIndex-th value in first-write order.
LONG WINAPI RegEnumValueA(HKEY hKey, DWORD dwIndex, LPSTR lpValueName, LPDWORD lpcchValueName,
                          LPDWORD lpReserved, LPDWORD lpType, LPBYTE lpData, LPDWORD lpcbData) {
  sim::ApiLock lock;
  LONG rc = ERROR_SUCCESS;
  if (sim::RegistryFault("RegEnumValueA", &rc)) return rc;
  if (!lpValueName || !lpcchValueName || lpReserved || (lpData && !lpcbData))
    return ERROR_INVALID_PARAMETER;
  sim::Registry::Impl& r = R();
  KeyRef ref;
  if (!r.Resolve(hKey, &ref)) return ERROR_INVALID_HANDLE;
  if (ref.node->deleted) return ERROR_KEY_DELETED;
  if (!r.HandleAllows(ref, KEY_QUERY_VALUE)) return ERROR_ACCESS_DENIED;
  const auto& values = ref.node->values;
  if (dwIndex >= values.size()) return ERROR_NO_MORE_ITEMS;
  const auto& entry = values[dwIndex];
  if ((rc = CopyName(entry.first, lpValueName, lpcchValueName)) != ERROR_SUCCESS) return rc;
  if (lpType) *lpType = entry.second.type;
  return CopyData(entry.second, lpData, lpcbData);
}

// Closes a handle; closing a predefined root does nothing and succeeds.
LONG WINAPI RegCloseKey(HKEY hKey) {
  sim::ApiLock lock;
  LONG rc = ERROR_SUCCESS;
  if (sim::RegistryFault("RegCloseKey", &rc)) return rc;
  sim::Registry::Impl& r = R();
  if (sim::Registry::Impl::IsPredefined(hKey)) return ERROR_SUCCESS;
  if (r.handles.erase(reinterpret_cast<uintptr_t>(hKey))) return ERROR_SUCCESS;
  // Windows 9x does not mind a handle closed twice.
  if (!r.nt()) return hKey ? ERROR_SUCCESS : ERROR_BADKEY;
  return ERROR_INVALID_HANDLE;
}
