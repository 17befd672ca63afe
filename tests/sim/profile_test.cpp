// Profile files read and written through the simulated file system.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "sim/machine.h"
#include "sim/win32_api.h"

namespace {

constexpr char kIni[] = "C:\\tavrin\\res\\tavrin.ini";

class ProfileApiTest : public ::testing::Test {
 protected:
  sim::Machine& m = sim::M();
  void SetUp() override {
    m.Reset(sim::Platform::WinXP());
    m.files.MakeDirectory("C:\\tavrin\\res");
  }

  // GetPrivateProfileStringA into a buffer of `size`; the text up to the
  // returned count (lists keep their inner NULs).
  std::string Get(const char* section, const char* key, const char* fallback,
                  const char* file = kIni, DWORD size = 64, DWORD* count = nullptr) {
    std::vector<char> buffer(size + 2, '#');
    DWORD n = GetPrivateProfileStringA(section, key, fallback, buffer.data(), size, file);
    if (count) *count = n;
    return std::string(buffer.data(), n);
  }
  BOOL Write(const char* section, const char* key, const char* value, const char* file = kIni) {
    return WritePrivateProfileStringA(section, key, value, file);
  }
  std::string File(const std::string& path = kIni) { return m.files.Get(path).value_or("<none>"); }
};

TEST_F(ProfileApiTest, MissingFileSectionOrKeyGivesTheDefaultWithoutTrailingBlanks) {
  EXPECT_EQ(Get("Tavrin", "Uninstall", "no  "), "no");  // no file
  EXPECT_EQ(GetLastError(), (DWORD)ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(Get("Tavrin", "Uninstall", "one two  "), "one two");
  EXPECT_EQ(Get("Tavrin", "Uninstall", nullptr), "");
  EXPECT_EQ(Get("Tavrin", "Uninstall", "x", "C:\\nofolder\\x.ini"), "x");
  m.files.Put(kIni, "[Tavrin]\r\nBare\r\nEmpty=\r\nKey=1\r\n[Other]\r\n");
  EXPECT_EQ(Get("Missing", "Key", "d"), "d");
  EXPECT_EQ(Get("Tavrin", "Missing", "d"), "d");
  EXPECT_EQ(Get("Other", "Key", "d"), "d");
  EXPECT_EQ(Get("Tavrin", "Bare", "d"), "d");  // a line without '=' has no value
  EXPECT_EQ(Get("Tavrin", "Empty", "d"), "");
  EXPECT_EQ(Get("", "Key", "d"), "d");
}

TEST_F(ProfileApiTest, ValuesAreTrimmedUnquotedAndFoundWhateverTheCase) {
  m.files.Put(kIni,
              "; [Tavrin] in a comment\r\n"
              "  [ Tavrin ]  \r\n"
              "  Path =  C:\\Program Files\\  \r\n"
              "Quoted=\"  padded  \"\r\n"
              "Single='x'\r\n"
              "Odd=\"half\r\n"
              "Twice=\"\"a\"\"\r\n"
              ";Key=commented\r\n"
              "Key=first\r\n"
              "KEY=second\r\n");
  EXPECT_EQ(Get("tavrin", "PATH", ""), "C:\\Program Files\\");
  EXPECT_EQ(Get("TAVRIN", "quoted", ""), "  padded  ");
  EXPECT_EQ(Get("Tavrin", "Single", ""), "x");
  EXPECT_EQ(Get("Tavrin", "Odd", ""), "\"half");
  EXPECT_EQ(Get("Tavrin", "Twice", ""), "\"a\"");
  EXPECT_EQ(Get("Tavrin", "key", ""), "first");
  // Lines may end in CR or LF alone.
  m.files.Put(kIni, "[A]\rk=cr\r[B]\nk=lf\n");
  EXPECT_EQ(Get("A", "k", ""), "cr");
  EXPECT_EQ(Get("B", "k", ""), "lf");
}

TEST_F(ProfileApiTest, ResultsAreCutToTheBuffer) {
  m.files.Put(kIni, "[s]\r\nname=value1\r\n");
  DWORD n = 99;
  EXPECT_EQ(Get("s", "name", "", kIni, 7, &n), "value1");
  EXPECT_EQ(n, 6u);
  EXPECT_EQ(Get("s", "name", "", kIni, 4, &n), "val");
  EXPECT_EQ(n, 3u);
  EXPECT_EQ(Get("s", "name", "", kIni, 1, &n), "");
  char buffer[4] = "abc";
  EXPECT_EQ(GetPrivateProfileStringA("s", "name", "", buffer, 0, kIni), 0u);
  EXPECT_STREQ(buffer, "abc");
  EXPECT_EQ(Get("s", "missing", "default", kIni, 4, &n), "def");
}

TEST_F(ProfileApiTest, NullKeyListsKeysAndNullSectionListsSections) {
  m.files.Put(kIni,
              "[ One ]\r\nname1=a\r\n;note=x\r\nbare\r\nname2=\r\n"
              "[Two]\r\n[Three]\r\nk=v\r\n");
  using namespace std::string_literals;
  DWORD n = 0;
  EXPECT_EQ(Get("one", nullptr, "d", kIni, 64, &n), "name1\0name2\0"s);
  EXPECT_EQ(n, 12u);
  EXPECT_EQ(Get(nullptr, "ignored", "d"), "One\0Two\0Three\0"s);
  // Too small: cut at size - 2 and closed with two NULs.
  std::vector<char> buffer(16, '#');
  n = GetPrivateProfileStringA(nullptr, nullptr, "", buffer.data(), 10, kIni);
  EXPECT_EQ(n, 8u);
  EXPECT_EQ(std::string(buffer.data(), 11), "One\0Two\0\0\0#"s);
  // An empty section or a missing one gives the default.
  EXPECT_EQ(Get("Two", nullptr, "d"), "d");
  EXPECT_EQ(Get("Four", nullptr, "d"), "d");
}

TEST_F(ProfileApiTest, WritesCreateTheFileAndAddSectionsAndKeysAtTheirEnds) {
  EXPECT_TRUE(Write("App1", "key1", "string1"));
  EXPECT_TRUE(Write("App2", "key3", "string3"));
  EXPECT_TRUE(Write("app1", "key2", "string2"));  // a section that is not last
  EXPECT_EQ(File(), "[App1]\r\nkey1=string1\r\nkey2=string2\r\n[App2]\r\nkey3=string3\r\n");
  EXPECT_TRUE(Write("App3", "key", ""));
  EXPECT_EQ(Get("App3", "key", "d"), "");

  // A new key goes after the section's last entry, before blank lines and
  // comments that lead into the next section; a file without a final line
  // end gets one.
  m.files.Put(kIni, "[A]\r\nx=1\r\n\r\n; about B\r\n[B]\r\ny=2");
  EXPECT_TRUE(Write("A", "z", "3"));
  EXPECT_TRUE(Write("B", "w", "4"));
  EXPECT_EQ(File(), "[A]\r\nx=1\r\nz=3\r\n\r\n; about B\r\n[B]\r\ny=2\r\nw=4\r\n");
}

TEST_F(ProfileApiTest, AnExistingKeyIsReplacedInPlaceKeepingItsSpelling) {
  const std::string head = "; Tavrin settings\n[Tavrin]\n  Mode = old  \n";
  const std::string tail = "Other=\"kept\"\n\n[More]\nMode=other\n";
  m.files.Put(kIni, head + tail);
  EXPECT_TRUE(Write("TAVRIN", "mode", "new value"));
  EXPECT_EQ(File(), "; Tavrin settings\n[Tavrin]\nMode=new value\n" + tail);
  EXPECT_EQ(Get("More", "Mode", ""), "other");
}

TEST_F(ProfileApiTest, NullValueDeletesTheKeyAndNullKeyTheSection) {
  m.files.Put(kIni, "[App1]\r\nkey1=a\r\nkey2=b\r\n; c\r\n\r\n[App2]\r\nkey3=c\r\n");
  EXPECT_TRUE(Write("App1", "KEY2", nullptr));
  EXPECT_EQ(File(), "[App1]\r\nkey1=a\r\n; c\r\n\r\n[App2]\r\nkey3=c\r\n");
  EXPECT_TRUE(Write("App1", "key2", nullptr));  // already gone
  EXPECT_TRUE(Write("app1", nullptr, "ignored"));
  EXPECT_EQ(File(), "[App2]\r\nkey3=c\r\n");
  EXPECT_TRUE(Write("App2", "key3", nullptr));
  EXPECT_EQ(File(), "[App2]\r\n");
  // Deleting from a file that is not there creates it empty, as Windows does.
  const std::string other = "C:\\tavrin\\res\\other.ini";
  EXPECT_TRUE(Write("App", nullptr, nullptr, other.c_str()));
  EXPECT_EQ(File(other), "");
}

TEST_F(ProfileApiTest, ABareNameMeansAFileInTheWindowsFolder) {
  EXPECT_TRUE(Write("Tavrin", "Port", "TAVRIN:", "tavrin.ini"));
  EXPECT_EQ(File("C:\\WINDOWS\\TAVRIN.INI"), "[Tavrin]\r\nPort=TAVRIN:\r\n");
  EXPECT_EQ(Get("Tavrin", "Port", "", "tavrin.ini"), "TAVRIN:");
  m.Reset(sim::Platform::Win2000());
  EXPECT_TRUE(Write("Tavrin", "Port", "x", "tavrin.ini"));
  EXPECT_TRUE(m.files.Exists("C:\\WINNT\\tavrin.ini"));
}

TEST_F(ProfileApiTest, WritesFailAsTheFileFunctionsDo) {
  SetLastError(0);
  EXPECT_FALSE(Write("Tavrin", "k", "v", "C:\\nofolder\\tavrin.ini"));
  EXPECT_EQ(GetLastError(), (DWORD)ERROR_PATH_NOT_FOUND);
  EXPECT_FALSE(m.files.DirectoryExists("C:\\nofolder"));

  m.files.Put(kIni, "[Tavrin]\r\nk=old\r\n");
  m.files.SetInUse(kIni, true);
  EXPECT_FALSE(Write("Tavrin", "k", "new"));
  EXPECT_EQ(GetLastError(), (DWORD)ERROR_SHARING_VIOLATION);
  EXPECT_EQ(Get("Tavrin", "k", "default"), "default");
  m.files.SetInUse(kIni, false);
  EXPECT_EQ(File(), "[Tavrin]\r\nk=old\r\n");

  m.files.SetReadOnly(kIni, true);
  EXPECT_FALSE(Write("Tavrin", "k", "new"));
  EXPECT_EQ(GetLastError(), (DWORD)ERROR_ACCESS_DENIED);
  EXPECT_EQ(Get("Tavrin", "k", ""), "old");  // reading still works
  m.files.SetReadOnly(kIni, false);

  m.files.FailWrites(kIni, ERROR_DISK_FULL);
  EXPECT_FALSE(Write("Tavrin", "k", "new"));
  EXPECT_EQ(GetLastError(), (DWORD)ERROR_DISK_FULL);
  EXPECT_EQ(m.files.OpenHandles(), 0);

  // A success leaves the last error alone.
  SetLastError(1234);
  EXPECT_TRUE(Write("Tavrin", "k", "new", "C:\\tavrin\\res\\fresh.ini"));
  EXPECT_EQ(Get("Tavrin", "k", "", "C:\\tavrin\\res\\fresh.ini"), "new");
  EXPECT_EQ(GetLastError(), 1234u);
}

TEST_F(ProfileApiTest, SpecialArgumentsAndTheJournal) {
  SetLastError(0);
  EXPECT_FALSE(Write(nullptr, nullptr, nullptr, kIni));  // a cache flush returns zero
  EXPECT_FALSE(Write(nullptr, "k", "v"));
  EXPECT_EQ(GetLastError(), (DWORD)ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(File(), "<none>");
  EXPECT_TRUE(Write("Tavrin", "Uninstall", "1"));
  EXPECT_TRUE(WritePrivateProfileStringW(L"Tavrin", L"Wide", L"w", L"C:\\tavrin\\res\\tavrin.ini"));
  EXPECT_TRUE(
      WritePrivateProfileStringW(L"Tavrin", L"Wide", nullptr, L"C:\\tavrin\\res\\tavrin.ini"));
  EXPECT_EQ(File(), "[Tavrin]\r\nUninstall=1\r\n");
  // One line per call; the file calls inside stay out.
  EXPECT_EQ(m.journal,
            (std::vector<std::string>{
                "WritePrivateProfileStringA C:\\tavrin\\res\\tavrin.ini, (null), (null), (null)",
                "WritePrivateProfileStringA C:\\tavrin\\res\\tavrin.ini, (null), k, v",
                "WritePrivateProfileStringA C:\\tavrin\\res\\tavrin.ini, Tavrin, Uninstall, 1",
                "WritePrivateProfileStringW C:\\tavrin\\res\\tavrin.ini, Tavrin, Wide, w",
                "WritePrivateProfileStringW C:\\tavrin\\res\\tavrin.ini, Tavrin, Wide, (null)"}));
}

}  // namespace
