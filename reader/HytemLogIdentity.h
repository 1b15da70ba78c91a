// What the HYTEM reader tells the host about itself: how it recognises a log
// from its first bytes, and what its result codes mean.
#pragma once

#include <cstddef>

#include "FormatDriver.h"

// Nonzero when the first line of the bytes contains "HYTEM Software", the
// test the reader's set-up makes: the first line is all the probe reads.
int IdentifyHytemLog(const char* pHead, std::size_t nHead);

// The texts of the set-up's result codes 1001, 1002 and 1004.
extern const KelResultCodeDecl s_hytemResultTexts[3];
