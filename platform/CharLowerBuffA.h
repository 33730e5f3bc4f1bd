#pragma once
// Lower-casing of 8-bit text in the ANSI code page, as USER32's
// CharLowerBuffA does it on a Windows system whose ANSI code page is
// Windows-1252. Like the Windows function it works in place, on exactly
// `length` bytes (NUL bytes included), and returns the number of bytes
// it processed.

#include <cstdint>

std::uint32_t CharLowerBuffA(char* text, std::uint32_t length);
