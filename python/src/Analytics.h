// The cuts and the spectrum statistics for Python: a cut as the package
// hands it over (from_, to, band, and the two ends of freq, each None when
// not given), and the bindings of vyr::Spectrum and vyr::Thresholds, whose
// serialised forms are their pickles, so that Dask moves them between
// processes and machines.
#pragma once

#include <pybind11/pybind11.h>

#include <optional>
#include <string>
#include <tuple>

#include "vyr/Cut.h"

using CutArgs = std::tuple<std::optional<std::string>, std::optional<std::string>, std::optional<long long>,
                           std::optional<double>, std::optional<double>>;

// Raises std::invalid_argument (ValueError) for a bad cut, named as the
// keyword arguments name it.
vyr::LevelCut MakeCut(const CutArgs& args);

void BindAnalytics(pybind11::module_& m);
