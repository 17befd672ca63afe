// The simulated registry behind the advapi32 functions, SHDeleteKeyA and
// SHChangeNotify.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "sim/machine.h"
#include "sim/win32_api.h"

namespace {

constexpr char kBase[] = "SOFTWARE\\Tavrin";

std::vector<BYTE> B(const std::string& text) { return std::vector<BYTE>(text.begin(), text.end()); }

class RegistryApiTest : public ::testing::Test {
 protected:
  sim::Machine& m = sim::M();
  void Boot(const sim::Platform& platform) {
    m.Reset(platform);
    m.registry.CreateKey(HKEY_LOCAL_MACHINE, kBase);
  }
  void SetUp() override { Boot(sim::Platform::WinXP()); }

  HKEY Open(const char* path, REGSAM access = KEY_ALL_ACCESS, HKEY root = HKEY_LOCAL_MACHINE) {
    HKEY key = nullptr;
    EXPECT_EQ(RegOpenKeyExA(root, path, 0, access, &key), ERROR_SUCCESS) << path;
    return key;
  }
  LONG SetString(HKEY key, const char* name, const std::string& text, DWORD size) {
    return RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()), size);
  }
  std::vector<BYTE> Stored(const std::string& path, const std::string& name) {
    auto value = m.registry.GetValue(HKEY_LOCAL_MACHINE, path, name);
    return value ? value->data : std::vector<BYTE>{'?'};
  }
};

TEST_F(RegistryApiTest, DeleteKeyRefusesSubkeysOnNtAndTakesTheTreeOn9x) {
  const std::string a = std::string(kBase) + "\\A";
  m.registry.CreateKey(HKEY_LOCAL_MACHINE, a + "\\B\\C");
  HKEY base = Open(kBase);
  EXPECT_EQ(RegDeleteKeyA(base, "A"), ERROR_ACCESS_DENIED);
  EXPECT_TRUE(m.registry.KeyExists(HKEY_LOCAL_MACHINE, a + "\\B\\C"));
  EXPECT_EQ(RegDeleteKeyA(base, "A\\B\\C"), ERROR_SUCCESS);
  EXPECT_EQ(RegDeleteKeyA(base, "a\\b"), ERROR_SUCCESS);
  EXPECT_EQ(RegDeleteKeyA(base, "A"), ERROR_SUCCESS);
  EXPECT_EQ(RegDeleteKeyA(base, "A"), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(RegDeleteKeyA(base, nullptr), ERROR_INVALID_PARAMETER);
  EXPECT_EQ(m.journal, (std::vector<std::string>{"RegDeleteKeyA HKLM\\SOFTWARE\\Tavrin\\A -> 5",
                                                 "RegDeleteKeyA HKLM\\SOFTWARE\\Tavrin\\A\\B\\C",
                                                 "RegDeleteKeyA HKLM\\SOFTWARE\\Tavrin\\a\\b",
                                                 "RegDeleteKeyA HKLM\\SOFTWARE\\Tavrin\\A",
                                                 "RegDeleteKeyA HKLM\\SOFTWARE\\Tavrin\\A -> 2"}));
  RegCloseKey(base);

  for (const sim::Platform& p : {sim::Platform::Win95(), sim::Platform::WinMe()}) {
    Boot(p);
    m.registry.CreateKey(HKEY_LOCAL_MACHINE, a + "\\B\\C");
    EXPECT_EQ(RegDeleteKeyA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Tavrin\\A"), ERROR_SUCCESS) << p.name;
    EXPECT_FALSE(m.registry.KeyExists(HKEY_LOCAL_MACHINE, a));
    EXPECT_TRUE(m.registry.KeyExists(HKEY_LOCAL_MACHINE, kBase));
  }
}

TEST_F(RegistryApiTest, SetValueStoresTheBytesAndTypeItIsGiven) {
  HKEY key = Open(kBase);
  const BYTE binary[] = {1, 0, 0, 2, 0};
  EXPECT_EQ(RegSetValueExA(key, "Bin", 0, REG_BINARY, binary, 5), ERROR_SUCCESS);
  const DWORD number = 0x01020304;
  EXPECT_EQ(RegSetValueExA(key, "Num", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number), 4),
            ERROR_SUCCESS);
  EXPECT_EQ(SetString(key, "Text", "Tavrin", 7), ERROR_SUCCESS);
  EXPECT_EQ(SetString(key, "Inner", std::string("a\0b\0", 4), 4), ERROR_SUCCESS);
  EXPECT_EQ(SetString(key, "Empty", "", 0), ERROR_SUCCESS);
  EXPECT_EQ(Stored(kBase, "bin"), (std::vector<BYTE>{1, 0, 0, 2, 0}));
  EXPECT_EQ(m.registry.GetValue(HKEY_LOCAL_MACHINE, kBase, "Bin")->type, (DWORD)REG_BINARY);
  EXPECT_EQ(m.registry.GetValue(HKEY_LOCAL_MACHINE, kBase, "Num")->AsDword(), number);
  EXPECT_EQ(Stored(kBase, "Text"), B(std::string("Tavrin\0", 7)));
  EXPECT_EQ(Stored(kBase, "Inner"), B(std::string("a\0b\0", 4)));
  EXPECT_TRUE(Stored(kBase, "Empty").empty());
  // NT counts the NUL a caller left out of cbData when it follows the text.
  EXPECT_EQ(SetString(key, "Short", "Tavrin", 6), ERROR_SUCCESS);
  EXPECT_EQ(Stored(kBase, "Short"), B(std::string("Tavrin\0", 7)));
  EXPECT_EQ(SetString(key, "Cut", "Tavrin", 3), ERROR_SUCCESS);
  EXPECT_EQ(Stored(kBase, "Cut"), B("Tav"));
  RegCloseKey(key);

  // Windows 9x takes a REG_SZ length from the string itself.
  Boot(sim::Platform::Win98());
  key = Open(kBase);
  EXPECT_EQ(SetString(key, "Cut", "Tavrin", 3), ERROR_SUCCESS);
  EXPECT_EQ(Stored(kBase, "Cut"), B(std::string("Tavrin\0", 7)));
  EXPECT_EQ(RegSetValueExA(key, "Bin", 0, REG_BINARY, binary, 2), ERROR_SUCCESS);
  EXPECT_EQ(Stored(kBase, "Bin"), (std::vector<BYTE>{1, 0}));
  RegCloseKey(key);
}

TEST_F(RegistryApiTest, ValueNamesIgnoreCaseAndKeepTheirFirstWriteOrder) {
  HKEY key = Open(kBase);
  SetString(key, "Zeta", "1", 2);
  SetString(key, "alpha", "2", 2);
  SetString(key, nullptr, "d", 2);
  SetString(key, "ZETA", "3", 2);  // overwrites in place, keeps "Zeta"
  SetString(key, "", "e", 2);      // the default value again
  EXPECT_EQ(m.registry.ValueNames(HKEY_LOCAL_MACHINE, kBase),
            (std::vector<std::string>{"Zeta", "alpha", ""}));
  EXPECT_EQ(Stored(kBase, "zeta"), B(std::string("3\0", 2)));
  EXPECT_EQ(Stored(kBase, ""), B(std::string("e\0", 2)));

  char name[16];
  DWORD cch = sizeof(name), type = 0;
  EXPECT_EQ(RegEnumValueA(key, 1, name, &cch, nullptr, &type, nullptr, nullptr), ERROR_SUCCESS);
  EXPECT_EQ(std::string(name), "alpha");
  EXPECT_EQ(cch, 5u);
  cch = 5;  // no room for the NUL
  EXPECT_EQ(RegEnumValueA(key, 1, name, &cch, nullptr, nullptr, nullptr, nullptr), ERROR_MORE_DATA);
  cch = sizeof(name);
  EXPECT_EQ(RegEnumValueA(key, 3, name, &cch, nullptr, nullptr, nullptr, nullptr),
            ERROR_NO_MORE_ITEMS);

  EXPECT_EQ(RegDeleteValueA(key, "ALPHA"), ERROR_SUCCESS);
  EXPECT_EQ(RegDeleteValueA(key, "alpha"), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(m.registry.ValueNames(HKEY_LOCAL_MACHINE, kBase),
            (std::vector<std::string>{"Zeta", ""}));
  RegCloseKey(key);
}

TEST_F(RegistryApiTest, QueryReportsSizesAndMoreDataWithoutTouchingTheBuffer) {
  m.registry.SetValue(HKEY_LOCAL_MACHINE, kBase, "Text", REG_SZ, B(std::string("abcd\0", 5)));
  m.registry.SetValue(HKEY_LOCAL_MACHINE, kBase, "Bare", REG_SZ, B("xyz"));
  HKEY key = Open(kBase, KEY_READ);
  DWORD type = 0, size = 0;
  EXPECT_EQ(RegQueryValueExA(key, "Text", nullptr, &type, nullptr, &size), ERROR_SUCCESS);
  EXPECT_EQ(size, 5u);
  EXPECT_EQ(type, (DWORD)REG_SZ);

  BYTE buffer[8];
  std::memset(buffer, 0xEE, sizeof(buffer));
  size = 4;
  type = 0;
  EXPECT_EQ(RegQueryValueExA(key, "Text", nullptr, &type, buffer, &size), ERROR_MORE_DATA);
  EXPECT_EQ(size, 5u);
  EXPECT_EQ(type, (DWORD)REG_SZ);
  EXPECT_EQ(buffer[0], 0xEE);

  size = 5;
  EXPECT_EQ(RegQueryValueExA(key, "text", nullptr, nullptr, buffer, &size), ERROR_SUCCESS);
  EXPECT_STREQ(reinterpret_cast<char*>(buffer), "abcd");
  EXPECT_EQ(buffer[5], 0xEE);

  // A string stored without its NUL gets one when the buffer has room.
  std::memset(buffer, 0xEE, sizeof(buffer));
  size = sizeof(buffer);
  EXPECT_EQ(RegQueryValueExA(key, "Bare", nullptr, nullptr, buffer, &size), ERROR_SUCCESS);
  EXPECT_EQ(size, 3u);
  EXPECT_STREQ(reinterpret_cast<char*>(buffer), "xyz");
  std::memset(buffer, 0xEE, sizeof(buffer));
  size = 3;
  EXPECT_EQ(RegQueryValueExA(key, "Bare", nullptr, nullptr, buffer, &size), ERROR_SUCCESS);
  EXPECT_EQ(buffer[3], 0xEE);

  size = 77;
  EXPECT_EQ(RegQueryValueExA(key, "Missing", nullptr, &type, buffer, &size), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(size, 77u);
  EXPECT_EQ(RegQueryValueExA(key, "Text", nullptr, nullptr, buffer, nullptr),
            ERROR_INVALID_PARAMETER);
  RegCloseKey(key);
}

TEST_F(RegistryApiTest, HandleAccessGuardsValuesOnNtButNotSubkeys) {
  m.registry.SetString(HKEY_LOCAL_MACHINE, kBase, "Old", "x");
  HKEY read = Open(kBase, KEY_READ);
  EXPECT_EQ(SetString(read, "New", "v", 2), ERROR_ACCESS_DENIED);
  EXPECT_EQ(RegDeleteValueA(read, "Old"), ERROR_ACCESS_DENIED);
  EXPECT_EQ(m.registry.ValueNames(HKEY_LOCAL_MACHINE, kBase), (std::vector<std::string>{"Old"}));
  // Creating and deleting subkeys opens the subkey itself: every Windows
  // ignores the parent handle's access there.
  HKEY sub = nullptr;
  EXPECT_EQ(RegCreateKeyExA(read, "Sub", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &sub, nullptr),
            ERROR_SUCCESS);
  RegCloseKey(sub);
  EXPECT_EQ(RegDeleteKeyA(read, "Sub"), ERROR_SUCCESS);
  RegCloseKey(read);

  HKEY write = Open(kBase, KEY_WRITE);
  DWORD size = 0;
  EXPECT_EQ(RegQueryValueExA(write, "Old", nullptr, nullptr, nullptr, &size), ERROR_ACCESS_DENIED);
  char name[8];
  DWORD cch = sizeof(name);
  EXPECT_EQ(RegEnumValueA(write, 0, name, &cch, nullptr, nullptr, nullptr, nullptr),
            ERROR_ACCESS_DENIED);
  RegCloseKey(write);

  Boot(sim::Platform::Win95());  // no security: masks are ignored
  read = Open(kBase, KEY_READ);
  EXPECT_EQ(SetString(read, "New", "v", 2), ERROR_SUCCESS);
  RegCloseKey(read);
}

TEST_F(RegistryApiTest, AHandleToADeletedKeyFailsWithKeyDeleted) {
  m.registry.CreateKey(HKEY_LOCAL_MACHINE, std::string(kBase) + "\\Gone");
  HKEY gone = Open("SOFTWARE\\Tavrin\\Gone");
  HKEY base = Open(kBase);
  EXPECT_EQ(RegDeleteKeyA(base, "Gone"), ERROR_SUCCESS);
  m.registry.CreateKey(HKEY_LOCAL_MACHINE, std::string(kBase) + "\\Gone");  // a new key
  EXPECT_EQ(SetString(gone, "v", "x", 2), ERROR_KEY_DELETED);
  DWORD size = 0;
  EXPECT_EQ(RegQueryValueExA(gone, "v", nullptr, nullptr, nullptr, &size), ERROR_KEY_DELETED);
  HKEY sub = nullptr;
  EXPECT_EQ(RegCreateKeyA(gone, "Sub", &sub), ERROR_KEY_DELETED);
  EXPECT_EQ(RegOpenKeyExA(gone, "", 0, KEY_READ, &sub), ERROR_KEY_DELETED);
  char name[8];
  DWORD cch = sizeof(name);
  EXPECT_EQ(RegEnumKeyExA(gone, 0, name, &cch, nullptr, nullptr, nullptr, nullptr),
            ERROR_KEY_DELETED);
  EXPECT_TRUE(m.registry.ValueNames(HKEY_LOCAL_MACHINE, std::string(kBase) + "\\Gone").empty());
  EXPECT_EQ(RegCloseKey(gone), ERROR_SUCCESS);

  // On 9x the handles below a deleted subtree go stale too.
  Boot(sim::Platform::Win98());
  m.registry.CreateKey(HKEY_LOCAL_MACHINE, std::string(kBase) + "\\A\\B");
  HKEY deep = Open("SOFTWARE\\Tavrin\\A\\B");
  EXPECT_EQ(RegDeleteKeyA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Tavrin\\A"), ERROR_SUCCESS);
  EXPECT_EQ(SetString(deep, "v", "x", 2), ERROR_KEY_DELETED);
  RegCloseKey(deep);
  RegCloseKey(base);
}

TEST_F(RegistryApiTest, AUserWhoIsNoAdministratorCannotWriteHklmOnNt) {
  m.administrator = false;
  HKEY key = nullptr;
  EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, kBase, 0, KEY_ALL_ACCESS, &key), ERROR_ACCESS_DENIED);
  EXPECT_EQ(key, nullptr);
  EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, kBase, 0, KEY_SET_VALUE, &key), ERROR_ACCESS_DENIED);
  EXPECT_EQ(RegCreateKeyA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Tavrin\\New\\Deeper", &key),
            ERROR_ACCESS_DENIED);
  EXPECT_FALSE(m.registry.KeyExists(HKEY_LOCAL_MACHINE, "SOFTWARE\\Tavrin\\New"));
  // HKEY_CLASSES_ROOT lives under HKLM.
  EXPECT_EQ(RegCreateKeyA(HKEY_CLASSES_ROOT, ".tav", &key), ERROR_ACCESS_DENIED);
  EXPECT_EQ(RegDeleteKeyA(HKEY_LOCAL_MACHINE, kBase), ERROR_ACCESS_DENIED);
  EXPECT_EQ(SetString(HKEY_LOCAL_MACHINE, "v", "x", 2), ERROR_ACCESS_DENIED);
  // Reading works, and RegCreateKeyA of an existing key opens it for reading.
  key = Open(kBase, KEY_READ);
  RegCloseKey(key);
  ASSERT_EQ(RegCreateKeyA(HKEY_LOCAL_MACHINE, kBase, &key), ERROR_SUCCESS);
  EXPECT_EQ(SetString(key, "v", "x", 2), ERROR_ACCESS_DENIED);
  RegCloseKey(key);
  // The user's own hive is writable.
  ASSERT_EQ(RegCreateKeyA(HKEY_CURRENT_USER, "Software\\Tavrin", &key), ERROR_SUCCESS);
  EXPECT_EQ(SetString(key, "v", "x", 2), ERROR_SUCCESS);
  RegCloseKey(key);
  EXPECT_EQ(m.registry.OpenHandles(), 0);

  Boot(sim::Platform::WinMe());
  m.administrator = false;  // means nothing without security
  ASSERT_EQ(RegCreateKeyA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Tavrin\\New", &key), ERROR_SUCCESS);
  EXPECT_EQ(SetString(key, "v", "x", 2), ERROR_SUCCESS);
  RegCloseKey(key);
}

TEST_F(RegistryApiTest, AWriteProtectedKeyRefusesWriteOpensAndNewSubkeys) {
  const std::string locked = std::string(kBase) + "\\Locked";
  m.registry.SetString(HKEY_LOCAL_MACHINE, locked, "Keep", "x");
  m.registry.CreateKey(HKEY_LOCAL_MACHINE, locked + "\\Child");
  m.registry.SetWriteProtected(HKEY_LOCAL_MACHINE, "software\\tavrin\\LOCKED", true);
  const std::string before = m.registry.Dump(HKEY_LOCAL_MACHINE, locked);

  HKEY key = nullptr;
  EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, locked.c_str(), 0, KEY_WRITE, &key),
            ERROR_ACCESS_DENIED);
  EXPECT_EQ(RegCreateKeyA(HKEY_LOCAL_MACHINE, (locked + "\\New").c_str(), &key),
            ERROR_ACCESS_DENIED);
  EXPECT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, locked.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                            nullptr, &key, nullptr),
            ERROR_ACCESS_DENIED);
  HKEY base = Open(kBase);
  EXPECT_EQ(RegDeleteKeyA(base, "Locked\\Child"), ERROR_SUCCESS);  // the child is not locked
  EXPECT_EQ(RegDeleteKeyA(base, "Locked"), ERROR_ACCESS_DENIED);
  EXPECT_EQ(SHDeleteKeyA(base, "Locked"), (DWORD)ERROR_ACCESS_DENIED);
  EXPECT_TRUE(m.registry.KeyExists(HKEY_LOCAL_MACHINE, locked));
  RegCloseKey(base);

  key = Open(locked.c_str(), KEY_READ);
  DWORD size = 0;
  EXPECT_EQ(RegQueryValueExA(key, "Keep", nullptr, nullptr, nullptr, &size), ERROR_SUCCESS);
  RegCloseKey(key);

  m.registry.SetWriteProtected(HKEY_LOCAL_MACHINE, locked, false);
  key = Open(locked.c_str(), KEY_WRITE);
  RegCloseKey(key);
  EXPECT_NE(m.registry.Dump(HKEY_LOCAL_MACHINE, locked), before);  // Child went
}

TEST_F(RegistryApiTest, DumpIsACanonicalTextOfTheSubtree) {
  const std::string root = std::string(kBase) + "\\Dump";
  m.registry.SetString(HKEY_LOCAL_MACHINE, root, "Name", "ab");
  m.registry.SetDword(HKEY_LOCAL_MACHINE, root, "", 1);
  m.registry.CreateKey(HKEY_LOCAL_MACHINE, root + "\\zeta");
  m.registry.SetValue(HKEY_LOCAL_MACHINE, root + "\\Alpha", "B", REG_BINARY, {0xFF, 0x0A});
  EXPECT_EQ(m.registry.Dump(HKEY_LOCAL_MACHINE, "software\\tavrin\\dump"),
            "[HKLM\\SOFTWARE\\Tavrin\\Dump]\n"
            "\"Name\"=REG_SZ:61 62 00\n"
            "@=REG_DWORD:01 00 00 00\n"
            "[HKLM\\SOFTWARE\\Tavrin\\Dump\\Alpha]\n"
            "\"B\"=REG_BINARY:FF 0A\n"
            "[HKLM\\SOFTWARE\\Tavrin\\Dump\\zeta]\n");
  EXPECT_EQ(m.registry.Dump(HKEY_LOCAL_MACHINE, root + "\\Missing"), "");

  // A refused change leaves the subtree byte for byte; a real one shows.
  const std::string before = m.registry.Dump(HKEY_LOCAL_MACHINE, root);
  HKEY key = Open(root.c_str());
  EXPECT_EQ(RegDeleteKeyA(HKEY_LOCAL_MACHINE, (root).c_str()), ERROR_ACCESS_DENIED);
  EXPECT_EQ(m.registry.Dump(HKEY_LOCAL_MACHINE, root), before);
  SetString(key, "Name", "ab", 3);  // the same bytes again
  EXPECT_EQ(m.registry.Dump(HKEY_LOCAL_MACHINE, root), before);
  SetString(key, "Name", "ab", 2);  // NT adds the NUL: still the same
  EXPECT_EQ(m.registry.Dump(HKEY_LOCAL_MACHINE, root), before);
  SetString(key, "Name", "ac", 3);
  EXPECT_NE(m.registry.Dump(HKEY_LOCAL_MACHINE, root), before);
  RegCloseKey(key);
}

TEST_F(RegistryApiTest, KeyNamesIgnoreCaseKeepTheirSpellingAndEnumerateSorted) {
  HKEY key = nullptr;
  DWORD disposition = 0;
  ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Tavrin\\Ports\\beta", 0, nullptr, 0,
                            KEY_ALL_ACCESS, nullptr, &key, &disposition),
            ERROR_SUCCESS);
  EXPECT_EQ(disposition, (DWORD)REG_CREATED_NEW_KEY);
  RegCloseKey(key);
  ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, "software\\TAVRIN\\PORTS\\BETA", 0, nullptr, 0,
                            KEY_READ, nullptr, &key, &disposition),
            ERROR_SUCCESS);
  EXPECT_EQ(disposition, (DWORD)REG_OPENED_EXISTING_KEY);
  RegCloseKey(key);
  for (const char* name : {"_last", "Alpha", "charlie"})
    m.registry.CreateKey(HKEY_LOCAL_MACHINE, std::string(kBase) + "\\Ports\\" + name);
  EXPECT_EQ(m.registry.SubKeys(HKEY_LOCAL_MACHINE, "SOFTWARE\\Tavrin\\Ports"),
            (std::vector<std::string>{"Alpha", "beta", "charlie", "_last"}));

  key = Open("SOFTWARE\\Tavrin\\Ports", KEY_READ);
  char name[8];
  DWORD cch = sizeof(name);
  EXPECT_EQ(RegEnumKeyExA(key, 1, name, &cch, nullptr, nullptr, nullptr, nullptr), ERROR_SUCCESS);
  EXPECT_EQ(std::string(name), "beta");
  EXPECT_EQ(cch, 4u);
  cch = 5;  // "_last" needs 6 with its NUL
  EXPECT_EQ(RegEnumKeyExA(key, 3, name, &cch, nullptr, nullptr, nullptr, nullptr), ERROR_MORE_DATA);
  cch = sizeof(name);
  EXPECT_EQ(RegEnumKeyExA(key, 4, name, &cch, nullptr, nullptr, nullptr, nullptr),
            ERROR_NO_MORE_ITEMS);
  RegCloseKey(key);

  // Only a new key is journaled, as the program spelled it.
  EXPECT_EQ(m.journal,
            (std::vector<std::string>{"RegCreateKeyExA HKLM\\SOFTWARE\\Tavrin\\Ports\\beta"}));
}

TEST_F(RegistryApiTest, SubkeyPathsFollowTheNtRules) {
  HKEY key = reinterpret_cast<HKEY>(0x1234);
  EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Nowhere", 0, KEY_READ, &key),
            ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(key, nullptr);
  EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "\\SOFTWARE\\Tavrin", 0, KEY_READ, &key),
            ERROR_BAD_PATHNAME);
  EXPECT_EQ(RegCreateKeyA(HKEY_LOCAL_MACHINE, "\\SOFTWARE\\Tavrin\\X", &key), ERROR_BAD_PATHNAME);
  HKEY trailing = Open("SOFTWARE\\Tavrin\\\\");
  EXPECT_NE(trailing, nullptr);

  // NULL or "" opens the key again: a new handle, except for a root.
  HKEY again = nullptr, again2 = nullptr;
  EXPECT_EQ(RegOpenKeyExA(trailing, nullptr, 0, KEY_READ, &again), ERROR_SUCCESS);
  EXPECT_EQ(RegCreateKeyA(trailing, "", &again2), ERROR_SUCCESS);
  EXPECT_NE(again, trailing);
  EXPECT_NE(again2, again);
  EXPECT_EQ(m.registry.OpenHandles(), 3);
  EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "", 0, KEY_READ, &key), ERROR_SUCCESS);
  EXPECT_EQ(key, HKEY_LOCAL_MACHINE);
  EXPECT_EQ(RegCloseKey(HKEY_LOCAL_MACHINE), ERROR_SUCCESS);
  for (HKEY h : {trailing, again, again2}) EXPECT_EQ(RegCloseKey(h), ERROR_SUCCESS);
  EXPECT_EQ(RegCloseKey(again), ERROR_INVALID_HANDLE);
  EXPECT_EQ(m.registry.OpenHandles(), 0);

  // HKEY_CLASSES_ROOT is HKLM\SOFTWARE\Classes.
  ASSERT_EQ(RegCreateKeyA(HKEY_CLASSES_ROOT, ".tav", &key), ERROR_SUCCESS);
  RegCloseKey(key);
  EXPECT_TRUE(m.registry.KeyExists(HKEY_LOCAL_MACHINE, "SOFTWARE\\Classes\\.tav"));

  // Windows 9x skips a leading backslash when creating.
  Boot(sim::Platform::Win95());
  ASSERT_EQ(RegCreateKeyA(HKEY_LOCAL_MACHINE, "\\SOFTWARE\\Tavrin\\X", &key), ERROR_SUCCESS);
  RegCloseKey(key);
  EXPECT_TRUE(m.registry.KeyExists(HKEY_LOCAL_MACHINE, "SOFTWARE\\Tavrin\\X"));
}

TEST_F(RegistryApiTest, ChangesAreJournaledWithTheirFailures) {
  HKEY key = Open(kBase);
  SetString(key, "Driver", "tav.dll", 8);
  SetString(key, nullptr, "d", 2);
  RegDeleteValueA(key, "Driver");
  RegDeleteValueA(key, "Driver");
  HKEY sub = nullptr;
  RegCreateKeyA(key, "Sub", &sub);
  RegCloseKey(sub);
  RegCreateKeyA(key, "Sub", &sub);  // exists: not journaled
  RegCloseKey(sub);
  RegCloseKey(key);
  key = Open(kBase, KEY_READ);
  SetString(key, "Driver", "tav.dll", 8);
  RegCloseKey(key);
  EXPECT_EQ(m.journal,
            (std::vector<std::string>{"RegSetValueExA HKLM\\SOFTWARE\\Tavrin\\Driver",
                                      "RegSetValueExA HKLM\\SOFTWARE\\Tavrin\\",
                                      "RegDeleteValueA HKLM\\SOFTWARE\\Tavrin\\Driver",
                                      "RegDeleteValueA HKLM\\SOFTWARE\\Tavrin\\Driver -> 2",
                                      "RegCreateKeyA HKLM\\SOFTWARE\\Tavrin\\Sub",
                                      "RegSetValueExA HKLM\\SOFTWARE\\Tavrin\\Driver -> 5"}));

  // An injected fault is the function's result; the last error stays.
  m.FailCall("RegOpenKeyExA", ERROR_ACCESS_DENIED);
  SetLastError(1234);
  key = nullptr;
  EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, kBase, 0, KEY_READ, &key), ERROR_ACCESS_DENIED);
  EXPECT_EQ(GetLastError(), 1234u);
  EXPECT_EQ(m.registry.OpenHandles(), 0);
}

TEST_F(RegistryApiTest, ShDeleteKeyRemovesTheWholeSubtreeEverywhere) {
  for (const sim::Platform& p : {sim::Platform::WinXP(), sim::Platform::Win98()}) {
    Boot(p);
    const std::string mon = std::string(kBase) + "\\Mon";
    m.registry.CreateKey(HKEY_LOCAL_MACHINE, mon + "\\Ports\\A");
    m.registry.SetString(HKEY_LOCAL_MACHINE, mon + "\\Ports", "v", "x");
    HKEY base = Open(kBase);
    EXPECT_EQ(SHDeleteKeyA(base, "Mon"), (DWORD)ERROR_SUCCESS) << p.name;
    EXPECT_FALSE(m.registry.KeyExists(HKEY_LOCAL_MACHINE, mon));
    EXPECT_EQ(SHDeleteKeyA(base, "Mon"), (DWORD)ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(m.journal,
              (std::vector<std::string>{"SHDeleteKeyA HKLM\\SOFTWARE\\Tavrin\\Mon",
                                        "SHDeleteKeyA HKLM\\SOFTWARE\\Tavrin\\Mon -> 2"}));
    RegCloseKey(base);
  }
  // NT removes subkeys in order and stops at the first it may not delete.
  Boot(sim::Platform::Win2000());
  for (const char* name : {"A", "B", "C"})
    m.registry.CreateKey(HKEY_LOCAL_MACHINE, std::string(kBase) + "\\Mon\\" + name);
  m.registry.SetWriteProtected(HKEY_LOCAL_MACHINE, std::string(kBase) + "\\Mon\\B", true);
  EXPECT_EQ(SHDeleteKeyA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Tavrin\\Mon"), (DWORD)ERROR_ACCESS_DENIED);
  EXPECT_EQ(m.registry.SubKeys(HKEY_LOCAL_MACHINE, "SOFTWARE\\Tavrin\\Mon"),
            (std::vector<std::string>{"B", "C"}));
}

TEST_F(RegistryApiTest, ShChangeNotifyIsJournaled) {
  int item = 0;
  SHChangeNotify(SHCNE_ASSOCCHANGED, SHCNF_IDLIST, nullptr, nullptr);
  SHChangeNotify(SHCNE_CREATE | SHCNE_MKDIR | SHCNE_RMDIR, 0x1000, &item, nullptr);
  EXPECT_EQ(m.journal, (std::vector<std::string>{"SHChangeNotify 0x8000000, 0, null, null",
                                                 "SHChangeNotify 0x1A, 4096, set, null"}));
}

// 64-bit Windows: HKLM\SOFTWARE of a 32-bit program under WOW64 is its
// 32-bit view, stored under SOFTWARE\Wow6432Node; KEY_WOW64_64KEY reaches the
// 64-bit one, and a deletion stays in the program's view.
TEST_F(RegistryApiTest, AProgramUnderWow64SeesTheThirtyTwoBitViewOfSoftware) {
  const std::string native = std::string(kBase) + "\\Sub";
  const std::string view32 = "SOFTWARE\\Wow6432Node\\Tavrin\\Sub";
  Boot(sim::Platform::Win10x64());
  m.wow64 = true;
  HKEY key = nullptr;
  ASSERT_EQ(RegCreateKeyA(HKEY_LOCAL_MACHINE, native.c_str(), &key), ERROR_SUCCESS);
  RegCloseKey(key);
  EXPECT_TRUE(m.registry.KeyExists(HKEY_LOCAL_MACHINE, view32));
  EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, native.c_str(), 0, KEY_READ | KEY_WOW64_64KEY, &key),
            ERROR_FILE_NOT_FOUND);
  m.registry.CreateKey(HKEY_LOCAL_MACHINE, native);
  EXPECT_EQ(RegDeleteKeyA(HKEY_LOCAL_MACHINE, native.c_str()), ERROR_SUCCESS);
  EXPECT_FALSE(m.registry.KeyExists(HKEY_LOCAL_MACHINE, view32));
  EXPECT_TRUE(m.registry.KeyExists(HKEY_LOCAL_MACHINE, native));
}

TEST_F(RegistryApiTest, ResetBuildsTheBaseKeysOfThePlatform) {
  const char* common[] = {"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall",
                          "SYSTEM\\CurrentControlSet\\Control",
                          "SYSTEM\\CurrentControlSet\\Services"};
  const char mapping[] = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\IniFileMapping";
  for (const char* path : common) EXPECT_TRUE(m.registry.KeyExists(HKEY_LOCAL_MACHINE, path));
  EXPECT_TRUE(m.registry.KeyExists(HKEY_LOCAL_MACHINE, std::string(mapping) + "\\win.ini"));
  EXPECT_TRUE(m.registry.KeyExists(HKEY_LOCAL_MACHINE, std::string(mapping) + "\\system.ini"));
  EXPECT_FALSE(m.registry.KeyExists(HKEY_LOCAL_MACHINE, kBase + std::string("\\Leftover")));

  m.registry.CreateKey(HKEY_LOCAL_MACHINE, std::string(kBase) + "\\Leftover");
  HKEY open = Open(kBase);
  m.registry.SetWriteProtected(HKEY_LOCAL_MACHINE, common[0], true);
  m.Reset(sim::Platform::Win98());
  for (const char* path : common) EXPECT_TRUE(m.registry.KeyExists(HKEY_LOCAL_MACHINE, path));
  EXPECT_FALSE(m.registry.KeyExists(HKEY_LOCAL_MACHINE, mapping));
  EXPECT_FALSE(m.registry.KeyExists(HKEY_LOCAL_MACHINE, kBase));
  EXPECT_EQ(m.registry.OpenHandles(), 0);
  EXPECT_EQ(RegCloseKey(open), ERROR_SUCCESS);  // 9x does not mind a stale handle
  m.Reset(sim::Platform::NT4());
  HKEY key = nullptr;
  EXPECT_EQ(RegCreateKeyA(HKEY_LOCAL_MACHINE, (std::string(common[0]) + "\\Tavrin").c_str(), &key),
            ERROR_SUCCESS);  // protection went with the reset
  RegCloseKey(key);
}

}  // namespace
