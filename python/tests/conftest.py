"""Data sets Debian's statsmodels ships, and the oracle fits they are compared with."""

import functools

import numpy as np
import pandas as pd
import pytest
import statsmodels.api as sm


@functools.cache
def dataset(name):
    """One of statsmodels' data sets as a frame, read once."""
    return getattr(sm.datasets, name).load_pandas().data


@pytest.fixture
def fair():
    return dataset("fair")


@pytest.fixture
def mixed():
    """A small frame of every column kind, with missing values in each."""
    rng = np.random.default_rng(7)
    n = 200
    frame = pd.DataFrame({
        "y": rng.normal(size=n),
        "x": rng.normal(size=n),
        "k": rng.integers(0, 5, n),
        "g": rng.choice(["north", "south", "east"], n),
        "w": rng.integers(1, 4, n).astype(float),
    })
    frame.loc[[3, 50], "x"] = np.nan
    frame.loc[[9], "y"] = np.nan
    frame.loc[[17, 120], "g"] = None
    return frame


def assert_close(ours, theirs, rtol, scale=0.0):
    """Elementwise |ours - theirs| <= rtol max(|theirs|, scale), positions matched (both fits
    order their parameters alike); rtol may be an array. Values that are sums of terms
    (predictions) take the scale of the largest of them."""
    ours = np.asarray(ours, dtype=float)
    theirs = np.asarray(theirs, dtype=float)
    assert ours.shape == theirs.shape
    assert np.array_equal(np.isnan(ours), np.isnan(theirs))
    bound = np.broadcast_to(np.asarray(rtol) * np.maximum(np.abs(theirs), scale), theirs.shape)
    worst = np.nanmax(np.abs(ours - theirs) - bound, initial=-np.inf)
    assert worst <= 0, f"differences beyond {rtol}:\n{ours}\n{theirs}"


def assert_pvalues(ours, theirs, spread, exact, rtol):
    """p-values: a relative error e of a statistic moves a tail probability by about
    spread * e (t^2 for t and z, the statistic times its degrees of freedom for F and
    chi-square), so that is the agreement the estimates allow. Ours must also be the tail at our
    own statistic, exact (scipy's), to 1e-10: the library's t tail for thousands of degrees
    of freedom is good to about 1e-11 near t = 2."""
    assert_close(ours, theirs, rtol * (1.0 + np.asarray(spread, dtype=float)))
    assert_close(ours, exact, 1e-10)


def assert_attributes(ours, theirs, attributes, rtol, methods=("conf_int", "cov_params")):
    """The named attributes, then the named methods' tables (on the scale of their largest
    entry), agree to rtol."""
    for attribute in attributes:
        assert_close(getattr(ours, attribute), getattr(theirs, attribute), rtol)
    for method in methods:
        assert_close(getattr(ours, method)(), getattr(theirs, method)(), rtol,
                     scale=np.abs(getattr(theirs, method)()).max().max())
