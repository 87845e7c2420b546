"""Fits of a Dask DataFrame on a local cluster are those in memory, to the bit."""

import numpy as np
import pandas as pd
import pytest

dask = pytest.importorskip("dask")
dd = pytest.importorskip("dask.dataframe")
distributed = pytest.importorskip("distributed")

import mcstat  # noqa: E402
import mcstat.dask  # noqa: E402

PARTS = 40


@pytest.fixture(scope="module")
def client():
    # Worker processes inherit this environment (PYTHONPATH finds the built package).
    with distributed.LocalCluster(n_workers=2, processes=True, threads_per_worker=1,
                                  dashboard_address=None) as cluster, \
            distributed.Client(cluster) as c:
        yield c


def frames(rng, n, make):
    """Partition 3 empty, partition 5 without the first category of A."""
    whole = make(rng, n)
    cuts = np.linspace(0, n, PARTS, dtype=int)
    parts = [whole.iloc[a:b] for a, b in zip(cuts[:-1], cuts[1:])]
    parts.insert(3, whole.iloc[:0])
    parts[5] = parts[5][parts[5]["A"] != "a0"]
    return parts


def linear(rng, n):
    a, b, c = rng.integers(0, 10, n), rng.integers(0, 20, n), rng.integers(0, 50, n)
    x = rng.normal(size=(n, 8))
    y = 1 + 0.1 * a - 0.05 * b + 0.02 * c + 0.01 * a * b + x @ np.linspace(-1, 1, 8)
    frame = pd.DataFrame({"y": y + rng.normal(size=n), "A": [f"a{v}" for v in a], "B": b,
                          "C": c, **{f"x{k + 1}": x[:, k] for k in range(8)}})
    frame.loc[frame.index[::97], "x3"] = np.nan  # records the fit cannot use
    return frame


def logistic(rng, n):
    a, b = rng.integers(0, 5, n), rng.integers(0, 8, n)
    x = rng.normal(size=(n, 5))
    eta = np.column_stack([0.3 + 0.15 * a + x @ [0.6, -0.4, 0.2, 0.0, 0.3],
                           -0.2 - 0.08 * b + x @ [-0.3, 0.5, 0.1, -0.6, 0.2],
                           0.5 + x @ [0.2, 0.2, -0.5, 0.4, -0.1], np.zeros(n)])
    p = np.exp(eta) / np.exp(eta).sum(axis=1, keepdims=True)
    y = (rng.random(n)[:, None] > p.cumsum(axis=1)).sum(axis=1)
    return pd.DataFrame({"y": np.array(["k1", "k2", "k3", "k4"])[y],
                         "A": [f"a{v}" for v in a], "B": b,
                         **{f"x{k + 1}": x[:, k] for k in range(5)}})


COVARIATES = " + ".join(f"x{k}" for k in range(1, 9))
CASES = [
    ("ols", linear, f"y ~ A + C(B) + C(C) + {COVARIATES} + A:C(B)", {}),
    ("ols", linear, "y ~ A + x1 + log(x2 ** 2)", {"weights": "x4sq"}),
    ("mnlogit", logistic, "y ~ A + C(B) + x1 + x2 + x3 + x4 + x5", {"reference": "k2"}),
    # Weights that are not whole: the category weights are exact sums too.
    ("mnlogit", logistic, "y ~ A + x1", {"weights": "x4sq", "reference": "first"}),
]


@pytest.mark.parametrize("function, make, formula, options", CASES)
def test_dask_fit_is_the_fit_in_memory(client, function, make, formula, options):
    # The JSON holds every number of the fit, to the last bit.
    parts = frames(np.random.default_rng(23), 12000, make)
    for p in parts:
        p.insert(len(p.columns), "x4sq", p["x4"] ** 2 if "x4" in p else 1.0)
    ddf = dd.from_delayed([dask.delayed(p) for p in parts], meta=parts[0].iloc[:0],
                          verify_meta=False)
    ours = getattr(mcstat.dask, function)(formula, ddf, **options)
    whole = getattr(mcstat, function)(formula, pd.concat(parts), **options)
    assert type(ours) is type(whole)
    assert ours.summary() == whole.summary()
    assert ours.to_json() == whole.to_json()


def test_what_needs_the_records_in_memory_is_refused_with_the_way_out(client):
    frame = linear(np.random.default_rng(5), 400)
    ddf = dd.from_pandas(frame, npartitions=3)
    fit = mcstat.dask.ols("y ~ A + x1", ddf)
    for use in (lambda r: r.fittedvalues, lambda r: r.predict(), lambda r: r.to_pmml()):
        with pytest.raises(mcstat.InputError, match="Dask fit"):
            use(fit)
    with pytest.raises(TypeError, match="compute the partitions"):
        fit.predict(ddf)
    with pytest.raises(TypeError, match="mcstat.dask.ols"):
        mcstat.ols("y ~ A + x1", ddf)
    # New data in memory is scored as by the fit in memory.
    np.testing.assert_array_equal(fit.predict(frame), mcstat.ols("y ~ A + x1", frame).predict())
