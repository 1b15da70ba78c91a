// The HYTEM field definitions: one row for every field name of a HYTEM
// payload that the decoder knows, copied into each decode receiver's map.
#pragma once

#include "NameValueDefn.h"

extern NameValueDefn s_HytemNameValueDefns[];
extern const int s_nHytemNameValueDefns;

// Fills in the attribute ids of the rows, by schema name, in row order. Runs
// once at module load, after ResolveHytemScanAttrIds().
void InitHytemNameValueDefns();
