// The creation functions and the extension list that the module registers.
#pragma once

class CDataFile;

// "h2m", "h1m", "h1s", "h2s", closed by an empty string.
extern const char* const s_hytemExtensions[5];

// A new HYTEM reader as a COM object with a reference count of 0, or null
// when it cannot be created. The caller takes the first reference.
CDataFile* CreateHytemDataFile();
