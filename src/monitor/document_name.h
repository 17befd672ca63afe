// The name a user gave a document, without what applications add to it:
// the folders of a path, an Office program's name before it and the
// extension of a document file after it. Plain text work without any
// system call.
#pragma once

#include <string>

namespace document_name {

// The last component of an absolute path ("X:\...", "X:/...",
// "\\server\share\...") or of a "file:" URL (its %XX escapes decoded as
// UTF-8); a path that names no file below its root ("C:\",
// "\\server\share") gives "". Any other text is returned as it is.
std::u16string LastPathComponent(const std::u16string& name);

// `name` without a leading "Microsoft Word - ", "Microsoft Excel - ",
// "Microsoft PowerPoint - ", "Microsoft Visio - " or "Microsoft Publisher - "
// (letter case aside); any other text as it is.
std::u16string WithoutApplicationName(const std::u16string& name);

// `name` without a trailing extension of a document file type (".txt",
// ".doc", ".pdf", ... letter case aside) when something other than dots
// and blanks is left before it; any other text as it is.
std::u16string WithoutDocumentExtension(const std::u16string& name);

// The document's own name: blanks around it, the application's name, the
// path and the extension removed, in that order. May be empty.
std::u16string Undecorated(const std::u16string& document);

}  // namespace document_name
