// The tables of `vyrhost stats`: one row per frequency or per band, as an
// aligned text table for a terminal, CSV (RFC 4180, a header line) or JSON
// Lines. The columns are declared once per row kind and serve all three.
#pragma once

#include <string>
#include <vector>

#include "vyr/Spectrum.h"

enum class StatsFormat { Text, Csv, Jsonl };

void AppendFrequencyTable(std::string& out, StatsFormat format, const std::vector<vyr::FrequencyRow>& rows,
                          const std::vector<std::string>& files);
void AppendBandTable(std::string& out, StatsFormat format, const std::vector<vyr::BandRow>& rows,
                     const std::vector<std::string>& files);
