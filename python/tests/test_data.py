"""Every form data can take gives the same fit; bad data and arguments are refused clearly."""

import gzip

import numpy as np
import pandas as pd
import pytest
import statsmodels.formula.api as smf

import mcstat
from conftest import assert_close

MODEL = dict(dependent="y", factors=["k", "g"], covariates=["x"])


def _csv(frame, path):
    frame.to_csv(path, index=False)
    return str(path)


def _gzip(frame, path):
    with gzip.open(path, "wt") as out:
        frame.to_csv(out, index=False)
    return mcstat.DataFile(path, format="csv")


FORMS = {
    "frame": lambda f, tmp: f,
    "categorical": lambda f, tmp: f.astype({"k": "category", "g": "category"}),
    "nullable": lambda f, tmp: f.astype({"k": "Int64", "g": "string", "x": "Float64"}),
    "dict": lambda f, tmp: {c: f[c].to_numpy() for c in f.columns},
    "csv": lambda f, tmp: _csv(f, tmp / "mixed.csv"),
    "gzip": lambda f, tmp: _gzip(f, tmp / "mixed.csv.gz"),
}


@pytest.mark.parametrize("form", FORMS)
def test_every_form_of_the_data_gives_the_same_fit(mixed, tmp_path, form):
    reference = mcstat.ols(data=mixed, **MODEL)
    ours = mcstat.ols(data=FORMS[form](mixed, tmp_path), **MODEL)
    for attribute in ("params", "bse", "pvalues"):
        pd.testing.assert_series_equal(getattr(ours, attribute), getattr(reference, attribute))
    assert ours.nobs == reference.nobs == len(mixed.dropna(subset=["y", "x", "g"]))


def test_missing_values_leave_their_records_out_as_statsmodels_drops_them(mixed):
    ours = mcstat.ols(data=mixed, **MODEL)
    theirs = smf.ols("y ~ C(k, Treatment(4)) + C(g, Treatment('south')) + x", mixed,
                     missing="drop").fit()
    assert list(ours.params.index) == ["(Intercept)", "k=0", "k=1", "k=2", "k=3", "g=east",
                                       "g=north", "x"]
    assert ours.aliased == ["k=4", "g=south"]
    for attribute in ("params", "bse"):
        assert_close(getattr(ours, attribute), getattr(theirs, attribute), 1e-12)


def test_columns_are_read_where_they_lie_whatever_their_stride(tmp_path):
    rng = np.random.default_rng(3)
    block = rng.normal(size=(500, 4))
    contiguous = {name: block[:, j].copy() for j, name in enumerate("yabc")}
    expected = mcstat.ols(data=contiguous, dependent="y", covariates=list("abc"))
    block.tofile(tmp_path / "block.bin")
    forms = [
        pd.DataFrame(block, columns=list("yabc")),  # one block: each column strided
        {name: block[:, j] for j, name in enumerate("yabc")},
        mcstat.DataFile(tmp_path / "block.bin", columns=list("yabc")),
    ]
    for data in forms:
        ours = mcstat.ols(data=data, dependent="y", covariates=list("abc"))
        pd.testing.assert_series_equal(ours.params, expected.params)
    # Backwards: the same records in the other order.
    backwards = mcstat.ols(data={k: v[::-1] for k, v in contiguous.items()}, dependent="y",
                           covariates=list("abc"))
    assert_close(backwards.params, expected.params, 1e-12)


def test_predictions_are_empty_where_a_record_cannot_be_scored(mixed):
    fit = mcstat.ols(data=mixed, **MODEL)
    new = pd.DataFrame({"k": [1, 7, 2, 0], "g": ["east", "east", None, "north"],
                        "x": [0.5, 0.5, 0.5, np.nan]}, index=list("abcd"))
    predicted = fit.predict(new)
    assert list(predicted.index) == list("abcd")
    assert predicted.isna().tolist() == [False, True, True, True]
    expected = fit.params["(Intercept)"] + fit.params["k=1"] + fit.params["g=east"] + \
        0.5 * fit.params["x"]
    assert_close(predicted["a"], expected, 1e-14)
    # Without new data: the fitted records, with the frame's index.
    assert fit.predict().index.equals(mixed.index)
    # A model of no column predicts its intercept for every record.
    mean = mcstat.ols(data={"y": np.arange(5.0)}, dependent="y")
    assert mean.predict({"z": np.zeros(3)}).tolist() == [2.0, 2.0, 2.0]


def _frame(**columns):
    return pd.DataFrame({"y": [1.0, 2.0, 4.0, 3.0], "x": [1.0, 2.0, 3.0, 5.0], **columns})


ERRORS = [
    (dict(data=None, dependent="y"), TypeError, "data is needed"),
    (dict(data=[1, 2], dependent="y"), TypeError, "data must be"),
    (dict(data=_frame(), dependent=None), TypeError, "dependent must name"),
    (dict(data=_frame(), dependent="y", covariates=3), TypeError, "covariates must be"),
    (dict(data=_frame(), dependent="y", covariates=["z"]), ValueError, "unknown column 'z'"),
    (dict(data={"y": np.ones((4, 2))}, dependent="y"), ValueError, "2 dimensions"),
    (dict(data={"y": np.ones(4), "x": np.ones(3)}, dependent="y", covariates=["x"]),
     ValueError, "different lengths"),
    (dict(data=_frame(t=pd.date_range("2020", periods=4)), dependent="y", covariates=["t"]),
     TypeError, "neither numbers nor categories"),
    (dict(data=_frame(t=list("abcd")), dependent="y", covariates=["t"]), ValueError,
     "not a number"),
    (dict(data=_frame(), dependent="y", covariates=["x"], tolerance=2.0), ValueError,
     "tolerance"),
    (dict(data=_frame(), dependent="y", covariates=["x"], tolerance="small"), TypeError,
     "tolerance must be a number"),
    (dict(data=_frame(), dependent="y", covariates=["x"], conf_level=1.5), ValueError,
     "conf_level"),
    (dict(data=_frame(), dependent="y", covariates=["x"], weights=np.ones(3)), ValueError,
     "3 values for 4 rows"),
    (dict(data="no/such/file.csv", dependent="y"), ValueError, "no/such/file.csv"),
    (dict(data=_frame(), dependent="y", covariates=["x"], effects=["x*q"]), ValueError, "q"),
    (dict(data=_frame(y=[np.nan] * 4), dependent="y", covariates=["x"]), mcstat.FitError,
     "no valid record"),
]


@pytest.mark.parametrize("arguments, error, message", ERRORS)
def test_bad_input_is_refused_with_a_clear_error(arguments, error, message):
    with pytest.raises(error, match=message):
        mcstat.ols(**arguments)


@pytest.mark.parametrize("arguments, error, message", [
    (dict(reference="maybe"), ValueError, "no category 'maybe'"),
    (dict(max_iter=2.5), TypeError, "max_iter must be a whole number"),
    (dict(max_iter=-1), ValueError, "0 or more"),
    (dict(patterns="yes"), TypeError, "patterns must be True or False"),
])
def test_bad_logistic_options_are_refused(arguments, error, message):
    data = _frame(c=["a", "b", "a", "b"])
    with pytest.raises(error, match=message):
        mcstat.mnlogit(data=data, dependent="c", covariates=["x"], **arguments)
