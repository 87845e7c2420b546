"""Every form data can take gives the same fit; bad data and arguments are refused clearly."""

import gzip

import numpy as np
import pandas as pd
import pytest
import statsmodels.formula.api as smf

import mcstat
from conftest import assert_close

# k holds numbers: C() makes it a factor; g holds text, a factor as it is.
MODEL = "y ~ C(k) + g + x"


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
def test_every_form_of_the_data_gives_the_fit_of_statsmodels(mixed, tmp_path, form):
    # Missing values leave their records out, as statsmodels drops them.
    ours = mcstat.ols(MODEL, FORMS[form](mixed, tmp_path))
    theirs = smf.ols("y ~ C(k, Treatment(4)) + C(g, Treatment('south')) + x", mixed,
                     missing="drop").fit()
    assert list(ours.params.index) == ["(Intercept)", "C(k)=0", "C(k)=1", "C(k)=2", "C(k)=3",
                                       "g=east", "g=north", "x"]
    assert ours.aliased == ["C(k)=4", "g=south"]
    for attribute in ("params", "bse"):
        assert_close(getattr(ours, attribute), getattr(theirs, attribute), 1e-12)
    assert ours.nobs == theirs.nobs == len(mixed.dropna(subset=["y", "x", "g"]))


def test_columns_are_read_where_they_lie_whatever_their_stride(tmp_path):
    rng = np.random.default_rng(3)
    block = rng.normal(size=(500, 4))
    contiguous = {name: block[:, j].copy() for j, name in enumerate("yabc")}
    expected = mcstat.ols("y ~ a + b + c", contiguous)
    block.tofile(tmp_path / "block.bin")
    forms = [
        pd.DataFrame(block, columns=list("yabc")),  # one block: each column strided
        {name: block[:, j] for j, name in enumerate("yabc")},
        mcstat.DataFile(tmp_path / "block.bin", columns=list("yabc")),
    ]
    for data in forms:
        ours = mcstat.ols("y ~ a + b + c", data)
        pd.testing.assert_series_equal(ours.params, expected.params)
    # Backwards: the same records in the other order.
    backwards = mcstat.ols("y ~ a + b + c", {k: v[::-1] for k, v in contiguous.items()})
    assert_close(backwards.params, expected.params, 1e-12)


def test_predictions_are_empty_where_a_record_cannot_be_scored(mixed):
    fit = mcstat.ols("y ~ C(k) + g + log(x + 3)", mixed)
    new = pd.DataFrame({"k": [1, 7, 2, 0, 3], "g": ["east", "east", None, "north", "east"],
                        "x": [0.5, 0.5, 0.5, np.nan, -4.0], "y": 1.0}, index=list("abcde"))
    predicted = fit.predict(new)
    assert list(predicted.index) == list("abcde")
    # k = 7 unknown, g missing, x missing, log(-1) not finite.
    assert predicted.isna().tolist() == [False, True, True, True, True]
    expected = fit.params["(Intercept)"] + fit.params["C(k)=1"] + fit.params["g=east"] + \
        np.log(3.5) * fit.params["log(x + 3)"]
    assert_close(predicted["a"], expected, 1e-14)
    # Without new data: the fitted records, with the frame's index.
    assert fit.predict().index.equals(mixed.index)
    pd.testing.assert_series_equal(fit.fittedvalues, fit.predict(mixed), check_names=False)
    assert_close(fit.resid, mixed["y"] - fit.fittedvalues, 1e-15, scale=1.0)
    with pytest.raises(ValueError, match="needs the column 'g'"):
        fit.predict(new.drop(columns="g"))
    # A model of no column predicts its intercept for every record.
    mean = mcstat.ols("y ~ 1", {"y": np.arange(5.0)})
    assert mean.predict({"z": np.zeros(3)}).tolist() == [2.0, 2.0, 2.0]


def _frame(**columns):
    return pd.DataFrame({"y": [1.0, 2.0, 4.0, 3.0], "x": [1.0, 2.0, 3.0, 5.0], **columns})


ERRORS = [
    (dict(formula="y ~ x", data=None), TypeError, "data is needed"),
    (dict(formula="y ~ x", data=[1, 2]), TypeError, "data must be"),
    (dict(formula=None, data=_frame()), TypeError, "formula must be a str"),
    (dict(formula="y ~ x + z", data=_frame()), ValueError,
     "^formula: unknown column 'z'\ny ~ x \\+ z\n        \\^$"),
    (dict(formula="y ~ x", data={"y": np.ones((4, 2)), "x": np.ones(4)}), ValueError,
     "2 dimensions"),
    (dict(formula="y ~ x", data={"y": np.ones(4), "x": np.ones(3)}), ValueError,
     "different lengths"),
    (dict(formula="y ~ t", data=_frame(t=pd.date_range("2020", periods=4))), TypeError,
     "neither numbers nor categories"),
    (dict(formula="y ~ x", data=_frame(), tolerance=2.0), ValueError,
     "^tolerance must be a number with 0 <= T < 1"),
    (dict(formula="y ~ x", data=_frame(), tolerance="small"), TypeError,
     "tolerance must be a number"),
    (dict(formula="y ~ x", data=_frame(), conf_level=1.5), ValueError, "^conf_level must"),
    (dict(formula="y ~ x", data=_frame(), weights=np.ones(3)), ValueError,
     "3 values for 4 rows"),
    (dict(formula="y ~ x", data=_frame(y=[np.nan] * 4)), mcstat.FitError, "no valid record"),
]


@pytest.mark.parametrize("arguments, error, message", ERRORS)
def test_bad_input_is_refused_with_a_clear_error(arguments, error, message):
    with pytest.raises(error, match=message):
        mcstat.ols(**arguments)


def test_only_the_columns_the_formula_reads_are_handed_over(mixed):
    # A column no fit could read (dates) is no matter unless the formula names it.
    frame = mixed.assign(t=pd.date_range("2020", periods=len(mixed)))
    fit = mcstat.ols("y ~ x", frame, weights=mixed["w"].to_numpy())
    reference = mcstat.ols("y ~ x", mixed[["y", "x", "w"]], weights="w")
    pd.testing.assert_series_equal(fit.params, reference.params)


@pytest.mark.parametrize("arguments, error, message", [
    (dict(reference="maybe"), ValueError, "no category 'maybe'"),
    (dict(max_iter=2.5), TypeError, "max_iter must be a whole number"),
    (dict(max_iter=-1), ValueError, "^max_iter must be 0 or more"),
    (dict(patterns="yes"), TypeError, "patterns must be True or False"),
])
def test_bad_logistic_options_are_refused(arguments, error, message):
    data = _frame(c=["a", "b", "a", "b"])
    with pytest.raises(error, match=message):
        mcstat.mnlogit("c ~ x", data, **arguments)
