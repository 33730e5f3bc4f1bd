#pragma once
// The barcode library's own texts, and when they appear: each in an error
// box (MessageBoxW) when a KcBarcode cannot be set up; the object then
// stays invalid and draws nothing.

namespace calverdon::barcode::texts {

inline constexpr char16_t kCaption[] = u"Barcode";
// Constructed without a canvas to draw on.
inline constexpr char16_t kNoCanvas[] = u"Kein Canvas definiert.";
// Constructed with a symbology that is none of the four.
inline constexpr char16_t kUnknownType[] = u"Codetyp undefiniert.";

}  // namespace calverdon::barcode::texts
