#!/usr/bin/env bash
# Installs what the build and the tests need, from Debian's packages, when it
# is missing. Quiet when everything is present.
set -euo pipefail

need=()
command -v cmake >/dev/null || need+=(cmake)
command -v ninja >/dev/null || need+=(ninja-build)
command -v g++ >/dev/null || need+=(g++)
[ -e /usr/include/gtest/gtest.h ] || need+=(libgtest-dev libgmock-dev)
[ -e /usr/include/benchmark/benchmark.h ] || need+=(libbenchmark-dev)
command -v python3 >/dev/null || need+=(python3)
# The Python package and its tests: Debian's interpreter and modules.
[ -e /usr/include/pybind11/pybind11.h ] || need+=(pybind11-dev)
for module in numpy pandas pytest matplotlib setuptools wheel xarray dask distributed; do
  /usr/bin/python3 -c "import $module" 2>/dev/null || need+=("python3-$module")
done
# Band.to_xarray()'s arrays written with to_netcdf.
/usr/bin/python3 -c "import netCDF4" 2>/dev/null || need+=(python3-netcdf4)
# GDAL's ogrinfo and ogr2ogr read the GeoJSON export in its test.
command -v ogr2ogr >/dev/null || need+=(gdal-bin)
# `pip install .` into a virtual environment, as the install test does.
/usr/bin/python3 -c 'import ensurepip, venv' 2>/dev/null || need+=(python3-venv)
/usr/bin/python3 -c 'import sysconfig, os, sys; sys.exit(not os.path.exists(os.path.join(sysconfig.get_paths()["include"], "Python.h")))' 2>/dev/null ||
  need+=(python3-dev)

if [ ${#need[@]} -gt 0 ]; then
  bash "$(dirname "$0")/apt-install.sh" "${need[@]}"
fi
