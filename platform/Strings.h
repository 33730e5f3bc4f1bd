#pragma once
// The string types that the library's interfaces use: UTF-16 text for names,
// captions and data, and 8-bit text in the Windows-1252 code page for words.

#include <string>

using UnicodeString = std::u16string;
using String = UnicodeString;
using AnsiString = std::string;
