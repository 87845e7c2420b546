#!/usr/bin/env bash
# Installs the Python package from a build tree as the README shows (cmake --install into a
# virtual environment that sees Debian's numpy and pandas), then fits a model with it from
# another folder, so that nothing of the source or build tree is on its path.
#
#   python/check-install.sh build/release
set -euo pipefail
build=$(cd "${1:?usage: python/check-install.sh BUILD_DIR}" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

/usr/bin/python3 -m venv --system-site-packages "$work/env"
cmake --install "$build" --prefix "$work/env" >/dev/null
cd "$work"
"$work/env/bin/python" - <<'PYTHON'
import numpy as np
import pandas as pd

import mcstat

frame = pd.DataFrame({"y": [1.0, 3.0, 2.0, 5.0, 4.0, 6.0], "x": [1.0, 2.0, 3.0, 4.0, 5.0, 6.0],
                      "g": ["a", "b", "a", "b", "a", "b"]})
fit = mcstat.ols("y ~ g + x", frame)
assert mcstat.__file__.startswith(__import__("sys").prefix), mcstat.__file__
assert list(fit.params.index) == ["(Intercept)", "g=a", "x"], fit.params
assert "Coefficients" in str(fit.summary())
print(f"mcstat {mcstat.__version__} installed and fitting ({fit.nobs:.0f} records)")
PYTHON
