#!/usr/bin/env bash
# Installs the Debian packages the build needs, only those that are missing.
set -euo pipefail

# liblapack3 and libblas3 are the reference implementations the build links against.
packages=(cmake make g++ libboost-program-options-dev liblapacke-dev liblapack3 libblas3
          libgtest-dev libgmock-dev libbenchmark-dev
          clang libclang-rt-14-dev   # the fuzz targets
          libpng-dev                 # PNG input and result pictures
          libtiff-dev                # TIFF input
          python3 python3-dev pybind11-dev python3-numpy python3-pytest  # the Python module
          python3-setuptools python3-wheel python3-pip python3-venv  # pip install of the package
          python3-distributed parallel) # scale-out: scripts/dask-batch.py, the GNU parallel recipe
missing=()
for package in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$package")
    fi
done
if [ ${#missing[@]} -eq 0 ]; then
    exit 0
fi
sudo=""
if [ "$(id -u)" -ne 0 ]; then
    sudo=sudo
fi
echo "Installing: ${missing[*]}"
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${missing[@]}"
