#pragma once
// Rich text for the help window: the document model of Rtf.h as a
// QTextDocument, and the loading of a help file into a text view.

#include <QString>

class QTextDocument;
class QTextEdit;

namespace calverdon {

namespace rtf {
struct Document;
}

// Replaces the whole contents of `target` with `doc`. Text read as plain
// text keeps the document's default font; rich text carries its own sizes
// and fonts. Indents convert at 96 dots per inch (15 twips per pixel).
void FillTextDocument(QTextDocument& target, const rtf::Document& doc);

// Files larger than this are not taken for a help text.
constexpr qint64 kMaxRichTextFileBytes = 64 * 1024 * 1024;

// Reads `path` as RTF, or as plain text when it does not start with
// "{\rtf", and shows it in `edit` with the cursor at the start. Returns
// false and leaves the edit as it was when the file cannot be opened or
// read, is larger than kMaxRichTextFileBytes, or runs out of memory.
bool LoadRichTextFile(QTextEdit& edit, const QString& path);

}  // namespace calverdon
