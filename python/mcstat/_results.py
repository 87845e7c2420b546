"""Fitted models as statsmodels names their parts, read from the front end's result.

Every statistic here was computed once by the front end (the one ``mcfit`` is made of); this
module only lays the numbers out as pandas objects.
"""

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
    """What both models share: the data's size, the likelihood, the report, JSON, PMML,
    the effect tests and predictions.

    Parameters are named as the front end names them: ``(Intercept)``, ``x`` for a
    covariate, ``log(x)`` for a derived one, ``C(g)=a`` for category ``a`` of a factor,
    products joined by ``*``. Only the parameters the data identify are listed; ``aliased``
    names the others (the reference category of each factor, and any the data leave
    undetermined), whose estimate is not defined.
    """

    def __init__(self, fitted, data):
        self._fitted = fitted
        self._result = fitted.result
        self._index = _data.index_of(data)
        kept = [p for p in self._result.parameters if not p.redundant]
        self._kept = kept
        self.aliased = list(dict.fromkeys(
            p.name for p in self._result.parameters
            if p.redundant and p.name not in {q.name for q in kept}))

    @property
    def formula(self):
        """The model as the front end writes it, e.g. ``y ~ C(g) + x + C(g):x``."""
        return self._result.formula

    @property
    def dependent(self):
        """The response as the model names it (``y``, ``log(y)``)."""
        return self._result.dependent

    @property
    def nobs(self):
        """Observations: records used, or the sum of their frequency weights."""
        return self._result.totalWeight

    @property
    def records_not_finite(self):
        """Records left out because a derived variable's value is not finite (log(0)...)."""
        return self._result.recordsNotFinite

    @property
    def conf_level(self):
        """The level of the confidence intervals (the fit's ``conf_level``)."""
        return self._result.confLevel

    @property
    def warnings(self):
        """The fit's warnings in words (also in the summary and the JSON)."""
        return list(self._result.warnings)

    @property
    def llf(self):
        """The log-likelihood at the estimates (R's logLik)."""
        return _value(self._result.logLikelihood)

    @property
    def aic(self):
        return _value(self._result.aic)

    @property
    def bic(self):
        return _value(self._result.bic)

    @property
    def effect_tests(self):
        """The joint Wald test of each term's parameters, as a DataFrame named as
        statsmodels' ``wald_test_terms().table``: F on (df_constraint, df_denom) degrees of
        freedom for a linear model, chi-square on df_constraint for a logistic one."""
        tests = self._result.effectTests
        table = pd.DataFrame({
            "statistic": [t.statistic for t in tests],
            "pvalue": [t.pValue for t in tests],
            "df_constraint": [t.df1 for t in tests],
        }, index=pd.Index([t.effect for t in tests]))
        if self._result.model == "linear":
            table["df_denom"] = [_value(t.df2) for t in tests]
        return table

    def summary(self):
        """The report: the same text as ``mcfit fit`` prints for this model."""
        return Summary(self._fitted.report())

    def to_json(self):
        """The JSON document of the fit, as ``mcfit fit --json`` writes it."""
        return self._fitted.json()

    def to_pmml(self, path=None, version="4.4"):
        """The PMML document of the model (version "4.4" or "3.2", as ``mcfit fit --pmml``
        writes it, scored by ``mcfit score``): returned as text without a path, else written
        to the file (safely: the file appears whole or not at all)."""
        if not isinstance(version, str):
            raise TypeError(f"version must be '4.4' or '3.2', not {version!r}")
        if path is None:
            return self._fitted.pmml(version)
        self._fitted.write_pmml(os.fsdecode(os.fspath(path)), version)
        return None

    def _predict(self, new_data, residuals=False):
        """(categories, values, residuals) of new_data (the fitted data when None), and the
        index of the rows."""
        if new_data is None:
            return self._fitted.predict(None, residuals), self._index
        needed = self._fitted.predictor_columns()

        def choose(name, columns):
            missing = [c for c in needed if c not in columns]
            if missing:
                raise ValueError(f"{name}: the model needs the column '{missing[0]}' "
                                 f"(columns: {', '.join(columns)})")
            return needed

        table = _data.table(new_data, choose)
        return self._fitted.predict(table, residuals), _data.index_of(new_data)

    def _interval(self, alpha):
        if alpha is not None and not abs((1.0 - alpha) - self.conf_level) < 1e-12:
            raise ValueError(f"the intervals were computed at the fit's level "
                             f"(conf_level={self.conf_level}); fit with conf_level={1 - alpha} "
                             f"for alpha={alpha}")


class OLSResults(_Results):
    """A fitted linear model (ordinary or weighted least squares)."""

    def __init__(self, fitted, data):
        super().__init__(fitted, data)
        index = pd.Index([p.name for p in self._kept])

        def series(read):
            return pd.Series([_value(read(p)) for p in self._kept], index=index, dtype=float)

        self.params = series(lambda p: p.estimate)
        self.bse = series(lambda p: p.stdError)
        self.tvalues = series(lambda p: p.statistic)
        self.pvalues = series(lambda p: p.pValue)
        self._conf = pd.DataFrame({0: series(lambda p: p.confLow),
                                   1: series(lambda p: p.confHigh)})
        self._fitted_values = None

    def conf_int(self, alpha=None):
        """The confidence intervals of the parameters at the fit's level (Student t on the
        residual degrees of freedom): columns 0 (lower) and 1 (upper). alpha, when given, must
        be 1 - conf_level."""
        self._interval(alpha)
        return self._conf.copy()

    def cov_params(self):
        """The covariance matrix of the estimates (scaled by the residual variance)."""
        covariance = self._result.covariance
        kept = [k for k, p in enumerate(self._result.parameters) if not p.redundant]
        values = np.full((len(kept), len(kept)), np.nan) if covariance is None else \
            covariance[np.ix_(kept, kept)]
        return pd.DataFrame(values, index=self.params.index, columns=self.params.index)

    @property
    def df_resid(self):
        """Residual degrees of freedom: observations less the parameters estimated."""
        return _value(self._result.dfError)

    @property
    def df_model(self):
        """The model's degrees of freedom: parameters estimated, less the intercept."""
        return _value(self._result.fDf1)

    @property
    def rsquared(self):
        return _value(self._result.rSquared)

    @property
    def rsquared_adj(self):
        return _value(self._result.rSquaredAdj)

    @property
    def fvalue(self):
        """The overall F statistic (all parameters but the intercept zero)."""
        return _value(self._result.fStatistic)

    @property
    def f_pvalue(self):
        return _value(self._result.fPValue)

    def _fitted_data(self):
        if self._fitted_values is None:
            (_, values, residuals), index = self._predict(None, residuals=True)
            self._fitted_values = (pd.Series(values, index=index, name="fitted"),
                                   pd.Series(residuals, index=index, name="resid"))
        return self._fitted_values

    @property
    def fittedvalues(self):
        """The predicted value of every record of the fitted data (NaN where it cannot be
        predicted); computed at the first use, by a pass over the data."""
        return self._fitted_data()[0]

    @property
    def resid(self):
        """The dependent less the fitted value, every record of the fitted data (NaN where
        either is missing)."""
        return self._fitted_data()[1]

    def predict(self, new_data=None):
        """The predicted values of new_data (a DataFrame, dict of arrays or data file; the
        fitted data when None), NaN for a record that misses a value the model needs or holds
        a factor category it was not fitted with. A Series on the frame's index."""
        (_, values, _), index = self._predict(new_data)
        return pd.Series(values, index=index, name="predicted")


class MNLogitResults(_Results):
    """A fitted multinomial logistic model.

    Parameters, standard errors, z values, p-values and odds ratios are DataFrames: one row
    per parameter, one column per response category other than the reference.
    """

    def __init__(self, fitted, data):
        super().__init__(fitted, data)
        names, targets = {}, {}  # in order of first appearance
        for p in self._result.parameters:
            names.setdefault(p.name, len(names))
            targets.setdefault(p.target, len(targets))
        estimated = {p.name for p in self._kept}
        rows = [name for name in names if name in estimated]
        row_of = {name: row for row, name in enumerate(rows)}
        self._columns = list(targets)

        def table(read):
            values = np.full((len(rows), len(targets)), np.nan)
            for p in self._kept:
                values[row_of[p.name], targets[p.target]] = _value(read(p))
            return pd.DataFrame(values, index=pd.Index(rows), columns=pd.Index(self._columns))

        def stacked(low, high, names):
            """Two tables stacked as statsmodels stacks intervals: a row per (category,
            parameter)."""
            return pd.DataFrame({names[0]: table(low).T.stack(dropna=False),
                                 names[1]: table(high).T.stack(dropna=False)})

        self.params = table(lambda p: p.estimate)
        self.bse = table(lambda p: p.stdError)
        self.pvalues = table(lambda p: p.pValue)
        # The z statistic: the signed square root of the front end's Wald chi-square.
        self.tvalues = self.params / self.bse
        self.odds_ratios = table(lambda p: p.oddsRatio)
        self._conf = stacked(lambda p: p.confLow, lambda p: p.confHigh, ("lower", "upper"))
        self._odds_conf = stacked(lambda p: p.oddsRatioLow, lambda p: p.oddsRatioHigh,
                                  ("lower", "upper"))
        for frame in (self._conf, self._odds_conf):
            frame.index.names = [self.dependent, None]

    def conf_int(self, alpha=None):
        """The confidence intervals of the parameters at the fit's level (normal, Wald): a
        row per (category, parameter) as statsmodels' MNLogit gives them, columns lower and
        upper. alpha, when given, must be 1 - conf_level."""
        self._interval(alpha)
        return self._conf.copy()

    def odds_ratios_conf_int(self, alpha=None):
        """The intervals of conf_int carried through exp: those of the odds ratios."""
        self._interval(alpha)
        return self._odds_conf.copy()

    def cov_params(self):
        """The covariance matrix of the estimates, rows and columns (category, parameter) in
        the order of conf_int()."""
        covariance = self._result.covariance
        parameters = self._result.parameters
        kept = [k for k, p in enumerate(parameters) if not p.redundant]
        labels = pd.MultiIndex.from_tuples([(parameters[k].target, parameters[k].name)
                                            for k in kept], names=[self.dependent, None])
        values = np.full((len(kept), len(kept)), np.nan) if covariance is None else \
            covariance[np.ix_(kept, kept)]
        frame = pd.DataFrame(values, index=labels, columns=labels)
        order = self._conf.index
        return frame.reindex(index=order, columns=order)

    @property
    def categories(self):
        """The response categories, as the data write them, in ascending order."""
        return list(self._result.categories)

    @property
    def reference(self):
        """The reference category: the one without parameters."""
        return self._result.reference

    @property
    def llnull(self):
        """The log-likelihood of the model of the intercepts alone (of equal probabilities
        when the model has no intercept)."""
        return _value(self._result.nullLogLikelihood)

    @property
    def llr(self):
        """The likelihood-ratio chi-square of the model against the intercepts alone."""
        return _value(self._result.lrStatistic)

    @property
    def llr_pvalue(self):
        return _value(self._result.lrPValue)

    @property
    def df_model(self):
        """The degrees of freedom of llr: parameters estimated, less the intercepts."""
        return _value(self._result.lrDf)

    @property
    def prsquared(self):
        """McFadden's pseudo R squared, 1 - llf / llnull."""
        return _value(self._result.mcFadden)

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
        return self._result.converged

    def pred_table(self):
        """The classification table: counts (frequency-weighted) of the records used, rows
        the observed category, columns the predicted one, in the order of ``categories``."""
        return np.array(self._result.classification, dtype=float)

    def predict(self, new_data=None):
        """The probability of each response category for every record of new_data (a
        DataFrame, dict of arrays or data file; the fitted data when None): a DataFrame with
        one column per category, NaN for a record that cannot be scored."""
        (categories, values, _), index = self._predict(new_data)
        return pd.DataFrame(values, index=index, columns=pd.Index(categories))
