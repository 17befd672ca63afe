// The PDF's name from the name an application gives its print job: any
// script kept, the application's decorations taken off, the result a safe
// file name.
#include <gtest/gtest.h>

#include "monitor/document_name.h"
#include "monitor/job_naming.h"

namespace {

using document_name::LastPathComponent;
using document_name::Undecorated;
using document_name::WithoutApplicationName;
using document_name::WithoutDocumentExtension;
using job_naming::DocumentFileStem;

TEST(DocumentNameTest, EveryScriptIsKept) {
  EXPECT_EQ(DocumentFileStem(u"Отчёт за квартал"), u"Отчёт за квартал");
  EXPECT_EQ(DocumentFileStem(u"Ελληνικά έγγραφα"), u"Ελληνικά έγγραφα");
  EXPECT_EQ(DocumentFileStem(u"会议纪要 2024"), u"会议纪要 2024");
  EXPECT_EQ(DocumentFileStem(u"報告書.txt"), u"報告書");
  // A character outside the Basic Multilingual Plane: a surrogate pair.
  EXPECT_EQ(DocumentFileStem(u"Notes \U0001F4DD \U00020BB7"), u"Notes \U0001F4DD \U00020BB7");
  // Percent signs are no business of the file name.
  EXPECT_EQ(DocumentFileStem(u"Q3 growth 15%"), u"Q3 growth 15%");
  EXPECT_EQ(DocumentFileStem(u"100%d sure"), u"100%d sure");
}

TEST(DocumentNameTest, AbsolutePathsGiveTheirLastComponent) {
  EXPECT_EQ(LastPathComponent(u"C:\\Documents and Settings\\ann\\report.doc"), u"report.doc");
  EXPECT_EQ(LastPathComponent(u"d:/work/plan.xls"), u"plan.xls");
  EXPECT_EQ(LastPathComponent(u"\\\\server\\share\\team\\Отчёт.doc"), u"Отчёт.doc");
  EXPECT_EQ(LastPathComponent(u"\\\\?\\C:\\long\\name.txt"), u"name.txt");
  EXPECT_EQ(LastPathComponent(u"C:\\folder\\"), u"folder");
  // Paths that name no file below their root.
  EXPECT_EQ(LastPathComponent(u"C:\\"), u"");
  EXPECT_EQ(LastPathComponent(u"\\\\server\\share"), u"");
  EXPECT_EQ(LastPathComponent(u"\\\\server\\share\\"), u"");
  // file: URLs, their escapes decoded as UTF-8.
  EXPECT_EQ(LastPathComponent(u"file:///C:/My%20Documents/Q3%20report.doc"), u"Q3 report.doc");
  EXPECT_EQ(LastPathComponent(u"FILE://server/share/%D0%9E%D1%82%D1%87%D1%91%D1%82.txt"),
            u"Отчёт.txt");
  EXPECT_EQ(LastPathComponent(u"file:///C:/"), u"");
  // Escapes that are no UTF-8 stay as they are; so does a lone '%'.
  EXPECT_EQ(LastPathComponent(u"file:///C:/a%FF.doc"), u"a%FF.doc");
  EXPECT_EQ(LastPathComponent(u"file:///C:/15%.doc"), u"15%.doc");
  // Names that are no absolute path are not touched.
  for (const char16_t* name : {u"docs\\report.doc", u"a/b", u"C:report", u"report", u"\\single",
                               u"Q: what?", u"filename.txt"})
    EXPECT_EQ(LastPathComponent(name), name);
}

TEST(DocumentNameTest, OnlyTheOfficeApplicationNamesGo) {
  EXPECT_EQ(WithoutApplicationName(u"Microsoft Word - report.doc"), u"report.doc");
  EXPECT_EQ(WithoutApplicationName(u"microsoft excel - Budget.xls"), u"Budget.xls");
  EXPECT_EQ(WithoutApplicationName(u"Microsoft PowerPoint - Talk"), u"Talk");
  EXPECT_EQ(WithoutApplicationName(u"MICROSOFT VISIO - Plan"), u"Plan");
  EXPECT_EQ(WithoutApplicationName(u"Microsoft Publisher - Flyer.pub"), u"Flyer.pub");
  for (const char16_t* name :
       {u"test - name", u"Microsoft Outlook - Mail", u"Microsoft Word-report", u"Microsoft Word -",
        u"x Microsoft Word - report", u"Notepad - letter.txt"})
    EXPECT_EQ(WithoutApplicationName(name), name);
}

TEST(DocumentNameTest, DocumentExtensionsGoWhenANameIsLeft) {
  EXPECT_EQ(WithoutDocumentExtension(u"letter.txt"), u"letter");
  EXPECT_EQ(WithoutDocumentExtension(u"Budget.XLSX"), u"Budget");
  EXPECT_EQ(WithoutDocumentExtension(u"scan.TiFf"), u"scan");
  EXPECT_EQ(WithoutDocumentExtension(u"archive.tar.md"), u"archive.tar");
  // Only the last extension.
  EXPECT_EQ(WithoutDocumentExtension(u"report.doc.pdf"), u"report.doc");
  // Other dots stay; so does an extension with nothing before it.
  for (const char16_t* name : {u"Version 2.0", u"setup.exe", u"data.txt2", u"notes.tx", u".txt",
                               u"..doc", u". .pdf", u"a.", u"name"})
    EXPECT_EQ(WithoutDocumentExtension(name), name);
}

TEST(DocumentNameTest, DecorationsTogether) {
  EXPECT_EQ(Undecorated(u"Microsoft Word - report.doc"), u"report");
  EXPECT_EQ(Undecorated(u"Microsoft Word - C:\\Documents and Settings\\ann\\report.doc"), u"report");
  EXPECT_EQ(Undecorated(u"  letter.txt  "), u"letter");
  EXPECT_EQ(Undecorated(u"letter.txt."), u"letter");
  EXPECT_EQ(Undecorated(u"C:\\Documents and Settings\\ann\\report.doc"), u"report");
  // A file whose own name holds an application's name keeps it.
  EXPECT_EQ(Undecorated(u"C:\\x\\Microsoft Word - a.doc"), u"Microsoft Word - a");
  EXPECT_EQ(Undecorated(u"test - name"), u"test - name");
  EXPECT_EQ(Undecorated(u"Version 2.0"), u"Version 2.0");
}

TEST(DocumentNameTest, FileStemsOfDecoratedAndEmptyNames) {
  EXPECT_EQ(DocumentFileStem(u"letter.txt"), u"letter");
  EXPECT_EQ(DocumentFileStem(u"C:\\Documents and Settings\\ann\\report.doc"), u"report");
  EXPECT_EQ(DocumentFileStem(u"Microsoft Excel - Отчёт.xls"), u"Отчёт");
  EXPECT_EQ(DocumentFileStem(u"file:///C:/a%3Fb.txt"), u"a_b");
  // Only an extension, only a path, only an application's name.
  EXPECT_EQ(DocumentFileStem(u".txt"), u".txt");
  EXPECT_EQ(DocumentFileStem(u"C:\\"), u"document");
  EXPECT_EQ(DocumentFileStem(u"\\\\server\\share"), u"document");
  EXPECT_EQ(DocumentFileStem(u"Microsoft Word - "), u"document");
  // The safe-name rules come after: a device name left by the path.
  EXPECT_EQ(DocumentFileStem(u"C:\\dev\\con.txt"), u"_con");
  EXPECT_EQ(DocumentFileStem(u"C:\\dev\\nul.txt.doc"), u"_nul.txt");
}

}  // namespace
