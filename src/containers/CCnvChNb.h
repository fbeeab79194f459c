// Tests and conversions of numeric text.
#pragma once

// `c` is a digit, or '-' when minusAllowed.
bool bCaractereNumerique(char c, int minusAllowed);
// The first `length` characters are digits, a minus sign being accepted as the
// first one when minusAllowed. A text that ends sooner is refused.
bool bChaineNumerique(const char *text, unsigned int length, int minusAllowed);
// When the first character is numeric in that sense, *value becomes the
// number the text starts with (as atoi reads it, held to the int range).
bool bChaineVersEntier(const char *text, int *value, int minusAllowed);
// atoi without its undefined overflow: leading blanks, a sign, then digits;
// the result is held to the int range.
int nAtoiBorne(const char *text);
