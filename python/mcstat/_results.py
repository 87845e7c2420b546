"""Fitted models as statsmodels names their parts, read from the front end's result."""

import os

import numpy as np
import pandas as pd

from . import _data


def _value(optional):
    """A statistic the front end may leave empty (None) as a float, NaN when empty."""
    return np.nan if optional is None else optional


class Summary(str):
    """The fit's report, the text ``mcfit fit`` prints; shown as it is."""

    def __repr__(self):
        return str(self)

    def as_text(self):
        return str(self)


class _Results:
    """What both models share: the data's size, the report, JSON, PMML and predictions.

    Parameters are named as the front end names them: ``(Intercept)``, ``x`` for a
    covariate, ``A=a`` for category ``a`` of factor ``A``, products joined by ``*``. Only the
    parameters the data identify are listed; ``aliased`` names the others (the last category of
    each factor, which the coding leaves out, and any the data leave undetermined), whose
    estimate is not defined.
    """

    def __init__(self, fitted, data, conf_level):
        self._fitted = fitted
        self._result = fitted.result
        self._index = _data.index_of(data)
        self.conf_level = conf_level

    @property
    def nobs(self):
        """Observations: records used, or the sum of their frequency weights."""
        return self._result.totalWeight

    @property
    def formula(self):
        """The model as the front end writes it, e.g. ``y ~ A + x + A*x``."""
        return self._result.formula

    @property
    def warnings(self):
        """The fit's warnings in words (also in the summary and the JSON)."""
        return list(self._result.warnings)

    def summary(self):
        """The report: the same text as ``mcfit fit`` prints for this model."""
        return Summary(self._fitted.report())

    def to_json(self):
        """The JSON document of the fit, as ``mcfit fit --json`` writes it."""
        return self._fitted.json()

    def to_pmml(self, path=None):
        """The PMML document of the model (as ``mcfit fit --pmml`` writes it, scored by
        ``mcfit score``): returned as text without a path, else written to the file (safely:
        the file appears whole or not at all)."""
        if path is None:
            return self._fitted.pmml()
        self._fitted.write_pmml(os.fsdecode(os.fspath(path)))
        return None

    def _predict(self, new_data):
        if new_data is None:
            return self._fitted.predict(None), self._index
        variables = {c.variable for p in self._result.parameters for c in p.cells}
        table = _data.table(new_data, sorted(variables))
        return self._fitted.predict(table), _data.index_of(new_data)


class OLSResults(_Results):
    """A fitted linear model (ordinary or weighted least squares)."""

    def __init__(self, fitted, data, conf_level):
        super().__init__(fitted, data, conf_level)
        kept = [p for p in self._result.parameters if not p.redundant]
        index = pd.Index([p.name for p in kept])
        self.params = pd.Series([p.estimate for p in kept], index=index, dtype=float)
        self.bse = pd.Series([_value(p.stdError) for p in kept], index=index, dtype=float)
        self.tvalues = pd.Series([_value(p.statistic) for p in kept], index=index, dtype=float)
        self.pvalues = pd.Series([_value(p.pValue) for p in kept], index=index, dtype=float)
        self.aliased = [p.name for p in self._result.parameters if p.redundant]

    @property
    def df_resid(self):
        """Residual degrees of freedom: observations less the parameters estimated."""
        return _value(self._result.dfError)

    @property
    def rsquared(self):
        return _value(self._result.rSquared)

    def predict(self, new_data=None):
        """The predicted values of new_data (a DataFrame, dict of arrays or data file; the
        fitted data when None), NaN for a record that misses a value the model needs or holds
        a factor category it was not fitted with. A Series on the frame's index."""
        (_, values), index = self._predict(new_data)
        return pd.Series(values, index=index, name="predicted")


class MNLogitResults(_Results):
    """A fitted multinomial logistic model.

    Parameters, standard errors, z values and p-values are DataFrames: one row per
    parameter, one column per response category other than the reference.
    """

    def __init__(self, fitted, data, conf_level):
        super().__init__(fitted, data, conf_level)
        names, targets = {}, {}  # in order of first appearance
        for p in self._result.parameters:
            names.setdefault(p.name, len(names))
            targets.setdefault(p.target, len(targets))
        kept = [p for p in self._result.parameters if not p.redundant]
        estimated = {p.name for p in kept}
        row_of = {name: row for row, name in enumerate(n for n in names if n in estimated)}
        self.aliased = [name for name in names if name not in estimated]

        def table(read):
            values = np.full((len(row_of), len(targets)), np.nan)
            for p in kept:
                values[row_of[p.name], targets[p.target]] = read(p)
            return pd.DataFrame(values, index=pd.Index(list(row_of)),
                                columns=pd.Index(list(targets)))

        self.params = table(lambda p: p.estimate)
        self.bse = table(lambda p: _value(p.stdError))
        self.pvalues = table(lambda p: _value(p.pValue))
        # The signed square root of the report's Wald chi-square.
        self.tvalues = self.params / self.bse

    @property
    def categories(self):
        """The response categories, as the data write them, in ascending order."""
        return list(self._result.categories)

    @property
    def reference(self):
        """The reference category: the one without parameters."""
        return self._result.reference

    @property
    def llf(self):
        """The log-likelihood at the estimates."""
        m2ll = self._result.minus2LogLikelihood
        return np.nan if m2ll is None else -0.5 * m2ll

    @property
    def iterations(self):
        return self._result.iterations

    @property
    def stop_reason(self):
        """Why the iterations stopped, in words."""
        return self._result.stopReason

    @property
    def converged(self):
        """Whether a convergence criterion stopped the iterations."""
        return (self._result.stopReason or "").startswith("converged")

    def pred_table(self):
        """The classification table: counts (frequency-weighted) of the records used, rows
        the observed category, columns the predicted one (the first of the most probable), in
        the order of ``categories``."""
        return np.array(self._result.classification, dtype=float)

    def predict(self, new_data=None):
        """The probability of each response category for every record of new_data (a
        DataFrame, dict of arrays or data file; the fitted data when None): a DataFrame with
        one column per category, NaN for a record that cannot be scored."""
        (categories, values), index = self._predict(new_data)
        return pd.DataFrame(values, index=index, columns=pd.Index(categories))
