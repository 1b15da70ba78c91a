// Fixed-point number texts, as printf's "%.Nf" writes them in the C locale.
// Decoded messages carry many "%.3f" and "%f" texts; formatting them through
// printf costs more than the rest of their decoding, so plain cases are
// written directly, exactly, and everything else goes through printf.
#pragma once

#include "CString.h"

// Appends what AppendFormat("%.*f", nDecimals, d) appends.
void NameValueAppendFixed(CString& strOut, double d, int nDecimals);
