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
    """|ours - theirs| <= rtol max(|theirs|, scale), elementwise; rtol may be an array."""
    ours = np.asarray(ours, dtype=float)
    theirs = np.asarray(theirs, dtype=float)
    assert ours.shape == theirs.shape
    assert np.array_equal(np.isnan(ours), np.isnan(theirs))
    bound = np.broadcast_to(np.asarray(rtol) * np.maximum(np.abs(theirs), scale), theirs.shape)
    worst = np.nanmax(np.abs(ours - theirs) - bound, initial=-np.inf)
    assert worst <= 0, f"differences beyond {rtol}:\n{ours}\n{theirs}"


def assert_pvalues(ours, theirs, spread, exact, rtol):
    """A relative error e of a statistic moves a tail probability by about spread * e; ours
    must also be the exact tail at our own statistic to 1e-10."""
    assert_close(ours, theirs, rtol * (1.0 + np.asarray(spread, dtype=float)))
    assert_close(ours, exact, 1e-10)


def assert_attributes(ours, theirs, attributes, rtol, methods=("conf_int", "cov_params")):
    """The methods' tables are compared on the scale of their largest entry."""
    for attribute in attributes:
        assert_close(getattr(ours, attribute), getattr(theirs, attribute), rtol)
    for method in methods:
        assert_close(getattr(ours, method)(), getattr(theirs, method)(), rtol,
                     scale=np.abs(getattr(theirs, method)()).max().max())
