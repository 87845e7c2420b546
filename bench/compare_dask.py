"""mcstat.dask.ols on a local Dask cluster against mcstat.ols in one process, on the same
data; run by compare_dask.sh.

    python3 bench/compare_dask.py DIR N [PARTS]

Writes N records of the linear benchmark model (y, factors A, B, C of 10, 20 and 50 levels,
x1..x8; effects A, B, C, x1..x8 and A*B with the intercept, 289 parameters) as PARTS
(default 40) .npy files into DIR, then times the fit of the files' records on a
LocalCluster of 2 worker processes (each pass reads the files again; then once more with the
frame persisted in the workers' memory) and the fit of the same records loaded into one
DataFrame (the loading not timed), and prints the times, their ratios and whether the
estimates agree.
"""

import os
import sys
import time

import numpy as np
import pandas as pd

COLUMNS = ["y", "A", "B", "C"] + [f"x{i}" for i in range(1, 9)]
FORMULA = ("y ~ C(A) + C(B) + C(C) + " + " + ".join(COLUMNS[4:]) + " + C(A):C(B)")


def write(directory, n, parts):
    rng = np.random.default_rng(20261205)
    beta = np.array([0.8, -0.5, 0.3, 1.2, -0.7, 0.05, 0.4, -1.1])
    paths = []
    for i, size in enumerate(np.diff(np.linspace(0, n, parts + 1, dtype=np.int64))):
        a, b, c = (rng.integers(0, k, size) for k in (10, 20, 50))
        x = rng.standard_normal((size, 8))
        y = 1 + 0.1 * a - 0.05 * b + 0.02 * c + 0.01 * a * b + x @ beta + rng.standard_normal(size)
        paths.append(os.path.join(directory, f"part{i:03d}.npy"))
        np.save(paths[-1], np.column_stack([y, a, b, c, x]))
    return paths


def load(path):
    return pd.DataFrame(np.load(path), columns=COLUMNS, copy=False)


def main(directory, n, parts):
    import dask
    import dask.dataframe as dd
    import distributed

    import mcstat
    import mcstat.dask

    paths = write(directory, n, parts)
    print(f"data: {n} records in {parts} .npy files, "
          f"{sum(os.path.getsize(p) for p in paths) / 2**20:.0f} MiB")
    with distributed.LocalCluster(n_workers=2, processes=True, threads_per_worker=1,
                                  dashboard_address=None) as cluster, \
            distributed.Client(cluster):
        ddf = dd.from_delayed([dask.delayed(load)(p) for p in paths],
                              meta=pd.DataFrame({c: pd.Series(dtype=float) for c in COLUMNS}),
                              verify_meta=False)
        start = time.perf_counter()
        ours = mcstat.dask.ols(FORMULA, ddf)
        dask_seconds = time.perf_counter() - start
        # The partitions kept in the workers' memory: the passes read no file.
        kept = ddf.persist()
        distributed.wait(kept)
        start = time.perf_counter()
        again = mcstat.dask.ols(FORMULA, kept)
        kept_seconds = time.perf_counter() - start
    frame = pd.concat([load(p) for p in paths], ignore_index=True)
    start = time.perf_counter()
    whole = mcstat.ols(FORMULA, frame)
    one_seconds = time.perf_counter() - start
    same = all(fit.summary() == whole.summary() and fit.params.equals(whole.params)
               and fit.bse.equals(whole.bse) for fit in (ours, again))
    print(f"mcstat.dask.ols, 2 worker processes: {dask_seconds:.2f} s wall "
          f"(reads the files at every pass); {kept_seconds:.2f} s of the persisted frame")
    print(f"mcstat.ols, one process, frame in memory: {one_seconds:.2f} s wall")
    print(f"ratio dask / one process: {dask_seconds / one_seconds:.2f} from the files, "
          f"{kept_seconds / one_seconds:.2f} persisted")
    print(f"{len(ours.params)} estimates, R squared {ours.rsquared:.15g}: "
          f"{'identical to the bit (estimates, errors, summary)' if same else 'DIFFERENT'}")
    return 0 if same else 1


if __name__ == "__main__":
    sys.exit(main(sys.argv[1], int(sys.argv[2]), int(sys.argv[3]) if len(sys.argv) > 3 else 40))
