// The PDF's name from the name an application gives its print job: any
// script kept, the application's decorations taken off, the result a safe
// file name.
#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include "monitor/document_name.h"
#include "monitor/job_naming.h"
#include "monitor/unicode_text.h"

namespace {

using document_name::LastPathComponent;
using document_name::Undecorated;
using document_name::WithoutApplicationName;
using document_name::WithoutDocumentExtension;

// The PDF's stem of a document within the usual output folder.
std::u16string DocumentFileStem(const std::u16string& document) {
  return job_naming::DocumentFileStem(document);
}

// Pairs of a job's name and what a rule makes of it.
using Cases = std::vector<std::pair<std::u16string, std::u16string>>;

// Checks `rule` on every pair of `cases`, naming the input of a mismatch.
template <typename Rule>
void ExpectEach(Rule rule, const Cases& cases) {
  for (const auto& [name, expected] : cases)
    EXPECT_EQ(rule(name), expected) << "for \"" << unicode_text::ToUtf8(name) << '"';
}

// Checks that `rule` leaves every one of `names` as it is.
template <typename Rule>
void ExpectUntouched(Rule rule, const std::vector<std::u16string>& names) {
  for (const auto& name : names)
    EXPECT_EQ(rule(name), name) << "for \"" << unicode_text::ToUtf8(name) << '"';
}

TEST(DocumentNameTest, EveryScriptIsKept) {
  ExpectUntouched(DocumentFileStem,
                  {u"Отчёт за квартал", u"Ελληνικά έγγραφα", u"会议纪要 2024",
                   // Outside the Basic Multilingual Plane: surrogate pairs.
                   u"Notes \U0001F4DD \U00020BB7",
                   // Percent signs are no business of the file name.
                   u"Q3 growth 15%", u"100%d sure"});
  EXPECT_EQ(DocumentFileStem(u"報告書.txt"), u"報告書");
}

TEST(DocumentNameTest, AbsolutePathsGiveTheirLastComponent) {
  ExpectEach(LastPathComponent,
             {{u"C:\\Documents and Settings\\ann\\report.doc", u"report.doc"},
              {u"d:/work/plan.xls", u"plan.xls"},
              {u"\\\\server\\share\\team\\Отчёт.doc", u"Отчёт.doc"},
              {u"\\\\?\\C:\\long\\name.txt", u"name.txt"},
              {u"C:\\folder\\", u"folder"},
              // Paths that name no file below their root.
              {u"C:\\", u""},
              {u"\\\\server\\share", u""},
              {u"\\\\server\\share\\", u""},
              // file: URLs, their escapes decoded as UTF-8.
              {u"file:///C:/My%20Documents/Q3%20report.doc", u"Q3 report.doc"},
              {u"FILE://server/share/%D0%9E%D1%82%D1%87%D1%91%D1%82.txt", u"Отчёт.txt"},
              {u"file:///C:/", u""},
              // Escapes that are no UTF-8 stay as they are; so does a lone '%'.
              {u"file:///C:/a%FF.doc", u"a%FF.doc"},
              {u"file:///C:/15%.doc", u"15%.doc"}});
  ExpectUntouched(LastPathComponent, {u"docs\\report.doc", u"a/b", u"C:report", u"report",
                                      u"\\single", u"Q: what?", u"filename.txt"});
}

TEST(DocumentNameTest, OnlyTheOfficeApplicationNamesGo) {
  ExpectEach(WithoutApplicationName,
             {{u"Microsoft Word - report.doc", u"report.doc"},
              {u"microsoft excel - Budget.xls", u"Budget.xls"},
              {u"Microsoft PowerPoint - Talk", u"Talk"},
              {u"MICROSOFT VISIO - Plan", u"Plan"},
              {u"Microsoft Publisher - Flyer.pub", u"Flyer.pub"}});
  ExpectUntouched(WithoutApplicationName,
                  {u"test - name", u"Microsoft Outlook - Mail", u"Microsoft Word-report",
                   u"Microsoft Word -", u"x Microsoft Word - report", u"Notepad - letter.txt"});
}

TEST(DocumentNameTest, DocumentExtensionsGoWhenANameIsLeft) {
  ExpectEach(WithoutDocumentExtension, {{u"letter.txt", u"letter"},
                                        {u"Budget.XLSX", u"Budget"},
                                        {u"scan.TiFf", u"scan"},
                                        {u"archive.tar.md", u"archive.tar"},
                                        // Only the last extension.
                                        {u"report.doc.pdf", u"report.doc"}});
  // Other dots stay; so does an extension with nothing before it.
  ExpectUntouched(WithoutDocumentExtension, {u"Version 2.0", u"setup.exe", u"data.txt2",
                                             u"notes.tx", u".txt", u"..doc", u". .pdf", u"a.",
                                             u"name"});
}

TEST(DocumentNameTest, DecorationsInTheirOrder) {
  ExpectEach(Undecorated,
             {{u"Microsoft Word - report.doc", u"report"},
              {u"Microsoft Word - C:\\Documents and Settings\\ann\\report.doc", u"report"},
              {u"  letter.txt  ", u"letter"},
              {u"letter.txt.", u"letter"},
              // A file whose own name holds an application's name keeps it.
              {u"C:\\x\\Microsoft Word - a.doc", u"Microsoft Word - a"}});
  ExpectUntouched(Undecorated, {u"test - name", u"Version 2.0"});
}

TEST(DocumentNameTest, FileStemsOfDecoratedAndEmptyNames) {
  ExpectEach(DocumentFileStem,
             {{u"letter.txt", u"letter"},
              {u"C:\\Documents and Settings\\ann\\report.doc", u"report"},
              {u"Microsoft Excel - Отчёт.xls", u"Отчёт"},
              {u"file:///C:/a%3Fb.txt", u"a_b"},
              // Only an extension, only a path, only an application's name.
              {u".txt", u".txt"},
              {u"C:\\", u"document"},
              {u"\\\\server\\share", u"document"},
              {u"Microsoft Word - ", u"document"},
              // The safe-name rules come after: a device name left by the path.
              {u"C:\\dev\\con.txt", u"_con"},
              {u"nul.txt", u"_nul"},
              {u"lpt\u00B2.txt", u"_lpt\u00B2"},
              {u"C:\\dev\\nul.txt.doc", u"_nul.txt"}});
}

}  // namespace
