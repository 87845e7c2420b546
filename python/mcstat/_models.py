"""The model functions: a request for the front end from Python's arguments."""

import numbers

from . import _data, _mcstat
from ._results import MNLogitResults, OLSResults


def _flag(value, what):
    if not isinstance(value, bool):
        raise TypeError(f"{what} must be True or False, not {value!r}")
    return value


def _number(value, what):
    if isinstance(value, bool) or not isinstance(value, numbers.Real):
        raise TypeError(f"{what} must be a number, not {value!r}")
    return float(value)


def _whole(value, what):
    if isinstance(value, bool) or not isinstance(value, numbers.Integral):
        raise TypeError(f"{what} must be a whole number, not {value!r}")
    return int(value)


def _setup(model, formula, freq_weights, weights, tolerance, conf_level, collinearity,
           logistic=None):
    """(request, choices, extra) of a fit: extra holds the (label, values) of weights given
    as arrays."""
    if not isinstance(formula, str):
        raise TypeError(f"formula must be a str such as 'y ~ x + C(g)', not "
                        f"{type(formula).__name__}")
    request = _mcstat.ModelRequest()
    request.model = model
    request.formula = formula
    request.tolerance = _number(tolerance, "tolerance")
    extra = []
    for given, field, label in ((freq_weights, "freqWeight", "(freq_weights)"),
                                (weights, "regrWeight", "(weights)")):
        if given is None:
            continue
        if isinstance(given, str):
            setattr(request, field, given)
        else:
            extra.append((label, given))
            setattr(request, field, label)
    choices = _mcstat.FitChoices()
    choices.confLevel = _number(conf_level, "conf_level")
    choices.collinearity = _flag(collinearity, "collinearity")
    if logistic is not None:
        choices.logistic = _logistic_options(**logistic)
    return request, choices, extra


def _fit(model, formula, data, freq_weights, weights, tolerance, conf_level, collinearity,
         logistic=None):
    """Fits the formula's model of data; the weights are column names or arrays."""
    request, choices, extra = _setup(model, formula, freq_weights, weights, tolerance,
                                     conf_level, collinearity, logistic)
    if data is None:
        raise TypeError("data is needed: a DataFrame, a dict of arrays, a path or a DataFile")
    table = _data.table(data, lambda name, columns: _mcstat.request_columns(request, name,
                                                                            columns), extra)
    return _mcstat.FittedModel(table, request, choices)


def _logistic_options(reference, max_iter, max_step_halving, ll_criterion, param_criterion,
                      patterns):
    options = _mcstat.LogisticOptions()
    if not isinstance(reference, (str, numbers.Real)) or isinstance(reference, bool):
        raise TypeError(f"reference must be 'last', 'first' or a category, not {reference!r}")
    options.reference = str(reference)
    options.maxIterations = _whole(max_iter, "max_iter")
    options.maxStepHalving = _whole(max_step_halving, "max_step_halving")
    options.llCriterion = _number(ll_criterion, "ll_criterion")
    options.paramCriterion = _number(param_criterion, "param_criterion")
    options.patterns = _flag(patterns, "patterns")
    return options


def ols(formula, data, *, freq_weights=None, weights=None, tolerance=1e-12, conf_level=0.95,
        collinearity=False):
    """Fits a linear model by weighted least squares.

    formula: the model in R's and patsy's notation, such as ``"y ~ x + C(g) + log(z)"``,
    ``"y ~ A*B"``, ``"y ~ C(g, Treatment('b')) + I(x**2) - 1"``: a column holding text is a
    factor, a numeric one a covariate (C() makes it a factor; its last category in ascending
    order is left out unless a reference is named). data: a pandas DataFrame, a dict of
    one-dimensional arrays, a path or a ``DataFile``; only the columns the formula reads are
    handed over, float64 and categorical ones where they lie.
    freq_weights: frequency weights (a record counts as that many), weights: regression
    (precision) weights as statsmodels' WLS takes them; each a column name or an array.
    tolerance: the singularity tolerance of the sweep (0 <= T < 1). conf_level: the level of
    the confidence intervals. collinearity: add the collinearity diagnostics to the summary.

    Raises ValueError (its subclass ``mcstat.InputError`` for what the data or the formula
    hold, the formula's message with a caret under the fault) or TypeError for bad input,
    ``mcstat.FitError`` when the library cannot fit the model, KeyboardInterrupt when Ctrl-C
    stopped the fit.
    """
    fitted = _fit("linear", formula, data, freq_weights, weights, tolerance, conf_level,
                  collinearity)
    return OLSResults(fitted, data)


def mnlogit(formula, data, *, reference="last", max_iter=100, max_step_halving=5,
            ll_criterion=0.0, param_criterion=1e-6, patterns=False, freq_weights=None,
            weights=None, tolerance=1e-12, conf_level=0.95, collinearity=False):
    """Fits a multinomial logistic model by Newton-Raphson with step halving.

    The arguments of ``ols`` (the response's categories are those of its column), and:
    reference: the response category without parameters, ``"last"`` (the default),
    ``"first"`` (statsmodels' MNLogit choice) or a category as the data write it (the formula
    may name it too: ``C(y, ref='b') ~ ...``); max_iter, max_step_halving: the iteration
    limits; ll_criterion: the relative change of the log-likelihood that ends the iterations
    (0: not used); param_criterion: the largest relative change of an estimate that ends
    them; patterns: group the records into covariate patterns first. weights count a
    record's log-likelihood that many times.
    """
    logistic = dict(reference=reference, max_iter=max_iter, max_step_halving=max_step_halving,
                    ll_criterion=ll_criterion, param_criterion=param_criterion,
                    patterns=patterns)
    fitted = _fit("logistic", formula, data, freq_weights, weights, tolerance, conf_level,
                  collinearity, logistic)
    return MNLogitResults(fitted, data)
