#pragma once
// The product version and the copyright text of a module file, from its
// version block.

#include <calverdon/Export.h>
#include <calverdon/Strings.h>

// Returns the product version as "major.minor.release", with ".build" only
// when the build number is not 0, or "---" when the module cannot be read
// or has no version block with a fixed record. `Copyright` is always
// overwritten: with the "LegalCopyright" text under the first language and
// code page of the block's translation table, cut to 79 UTF-16 units (a
// value marked binary is read as the UTF-16 units of its bytes), or with
// the empty text. `FileName` is a path, or a bare name looked up in the
// executable's folder, LD_LIBRARY_PATH and the system's library folders.
CALVERDON_EXPORT UnicodeString GetDLLInfo(const UnicodeString FileName, UnicodeString& Copyright);
