// Text routines shared by the host's readers and decoders.
#pragma once

#include "CStdioFile.h"
#include "CString.h"

// Reads the next line (without its line end) into strLine. Lines up to the
// text file's maximum line length (64 MiB) are read whole: nMaxLen is a hint
// of the usual length, never a limit. Returns 0 when a line was read,
// ROL_END_OF_FILE when none is left, ROL_READ_ERROR when the file cannot be
// read and ROL_LINE_TOO_LONG from a line beyond the maximum on. A line that
// ran to the end of the file without a line end is read too; the file's
// LastLineUnterminated() then tells that it may be cut short.
int zuCStringGetLine(CStdioFile& file, CString& strLine, int nMaxLen);

// strOut = field nField (from 0) of strText split at chSep; empty when the
// field is absent or empty, and for a negative field number.
void zuCStringGetFieldIterate(const CString& strText, int nField, char chSep, CString& strOut);

// Iterates the fields: nPos is the start of the current field (0 for the
// first). strOut = the following field and nPos moves to its start; after the
// last field strOut is empty and stays empty.
void zuCStringGetNextFieldIterate(const CString& strText, int& nPos, char chSep, CString& strOut);
