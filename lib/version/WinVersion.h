#pragma once
// The version functions of Windows, over the version blocks that
// ModuleImage finds in PE and ELF modules. Same names, argument order and
// results; the types are small stand-ins of our own.
//
// A module name is looked up as FindModule does: a path when it holds a
// slash, else in the executable's folder, LD_LIBRARY_PATH and the system's
// library folders.

#include <cstdint>

namespace calverdon {

namespace win {
using DWORD = std::uint32_t;
using UINT = unsigned int;
using BOOL = int;
inline constexpr BOOL kFalse = 0;
inline constexpr BOOL kTrue = 1;
}  // namespace win

// The size in bytes of the module's version block; 0 when the module cannot
// be found or read or carries none. `handle` (if given) is set to 0.
win::DWORD GetFileVersionInfoSizeW(const char16_t* fileName, win::DWORD* handle);

// Copies the version block into `data`, which holds `length` bytes. Fails
// when the block is missing or longer than `length` (it is never cut short:
// the queries trust the block's stated length).
win::BOOL GetFileVersionInfoW(const char16_t* fileName, win::DWORD handle, win::DWORD length, void* data);

// Look a value up in a block that GetFileVersionInfoW filled, by a path of
// backslash-separated keys ("\" for the fixed record). On success `value`
// points into the block and `length` is in bytes for binary values and in
// UTF-16 units, terminator included, for text. On failure both are cleared.
// The 8-bit form takes the path in Windows-1252 and gives binary values
// only; text values come through the UTF-16 form.
win::BOOL VerQueryValueW(const void* block, const char16_t* subBlock, void** value, win::UINT* length);
win::BOOL VerQueryValueA(const void* block, const char* subBlock, void** value, win::UINT* length);

}  // namespace calverdon
