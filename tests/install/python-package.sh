#!/usr/bin/env bash
# Installs the Python package with pip, offline, into a fresh virtual environment that sees
# Debian's packages, from a copy of the sources, and uses it from outside the checkout.
#   python-package.sh SOURCE_DIR PROGRAM PYTHON
set -euo pipefail
source=$1
program=$2
python=$3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# What pip needs of the checkout, copied so that the checkout is left as it is.
mkdir "$work/checkout"
(cd "$source" && cp -r CMakeLists.txt cmake include src python pyproject.toml setup.py setup.cfg \
    README.md "$work/checkout/")
mkdir -p "$work/checkout/bench" && cp -r "$source/bench/quality" "$work/checkout/bench/"

"$python" -m venv --system-site-packages "$work/venv"
"$work/venv/bin/python" -m pip install -q --no-index --no-build-isolation "$work/checkout"
rm -rf "$work/checkout"

cd "$work"
"$work/venv/bin/python" - "$program" "$source/CMakeLists.txt" <<'PYTHON'
import os, re, subprocess, sys
import numpy as np
import korvath

program, cmake_lists = sys.argv[1], sys.argv[2]
package = os.path.dirname(korvath.__file__)
assert package.startswith(sys.prefix), package
for shipped in ["py.typed", "__init__.pyi"]:
    assert os.path.isfile(os.path.join(package, shipped)), shipped
project = re.search(r"project\(Korvath VERSION ([0-9.]+)", open(cmake_lists).read()).group(1)
assert korvath.__version__ == project, (korvath.__version__, project)
printed = subprocess.run([program, "--version"], capture_output=True, text=True).stdout
assert f" v{float(project):g} " in printed, printed
image = np.zeros((120, 160), dtype=np.uint8)
t = np.linspace(0, 2 * np.pi, 2000)
image[np.rint(60 + 30 * np.sin(t)).astype(int), np.rint(80 + 50 * np.cos(t)).astype(int)] = 1
found = korvath.detect(image)
assert len(found) == 1 and abs(found[0]["center_x"] - 80) <= 1, found
print("installed", korvath.__version__, "in", package)
PYTHON
