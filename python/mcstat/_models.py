"""The model functions: a request for the front end from Python's arguments."""

import numbers

from . import _data, _mcstat
from ._results import MNLogitResults, OLSResults


def _request(model, formula, dependent, factors, covariates, effects, intercept, references,
             freq_weights, weights, tolerance):
    """The front end's request, the columns it reads, and the weights given as arrays."""
    if formula is not None:
        raise NotImplementedError(
            "formulas are not read yet; name the model's columns with dependent=, "
            "factors=, covariates= and effects=")
    request = _mcstat.ModelRequest()
    request.model = model
    if not isinstance(dependent, str):
        raise TypeError(f"dependent must name a column (str), not {type(dependent).__name__}")
    request.dependent = dependent
    request.factors = _data.names_of(factors, "factors")
    request.covariates = _data.names_of(covariates, "covariates")
    request.effects = _data.names_of(effects, "effects")
    request.intercept = _flag(intercept, "intercept")
    request.tolerance = _number(tolerance, "tolerance")
    if references is not None:
        if not isinstance(references, dict):
            raise TypeError("references must be a dict of factor name to category")
        if not all(isinstance(factor, str) for factor in references):
            raise TypeError("references must map factor names (str) to categories")
        request.references = {factor: str(c) for factor, c in references.items()}
    names = [request.dependent, *request.factors, *request.covariates]
    extra = []
    for given, field, label in ((freq_weights, "freqWeight", "(freq_weights)"),
                                (weights, "regrWeight", "(weights)")):
        if given is None:
            continue
        if isinstance(given, str):
            names.append(given)
            setattr(request, field, given)
        else:
            extra.append((label, given))
            setattr(request, field, label)
    return request, names, extra


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


def _level(conf_level):
    level = _number(conf_level, "conf_level")
    if not 0.0 < level < 1.0:
        raise ValueError(f"conf_level must lie between 0 and 1, not {conf_level!r}")
    return level


def _fit(data, request, names, extra, logistic, collinearity):
    if data is None:
        raise TypeError("data is needed: a DataFrame, a dict of arrays, a path or a DataFile")
    table = _data.table(data, names, extra)
    return _mcstat.FittedModel(table, request, logistic, _flag(collinearity, "collinearity"))


def ols(formula=None, data=None, *, dependent=None, factors=None, covariates=None,
        effects=None, intercept=True, references=None, freq_weights=None, weights=None,
        tolerance=1e-12, conf_level=0.95, collinearity=False):
    """Fits a linear model by weighted least squares.

    data: a pandas DataFrame, a dict of one-dimensional arrays, a path or a ``DataFile``.
    dependent: the response column; factors: categorical predictors; covariates: numeric
    predictors; effects: terms such as ``"A"``, ``"A*B"``, ``"A*x"``, ``"x*x"`` (default: the
    main effect of every factor and covariate). references: the category of a factor to
    leave out (default its last in ascending order), ``{"A": "a"}``.
    freq_weights: frequency weights (a record counts as that many), weights: regression
    (precision) weights as statsmodels' WLS takes them; each a column name or an array.
    tolerance: the singularity tolerance of the sweep (0 <= T < 1). conf_level: the level of
    the confidence intervals. collinearity: add the collinearity diagnostics to the summary.

    Raises ValueError (or its subclass ``mcstat.InputError``) for bad input, ``mcstat.FitError``
    when the library cannot fit the model, KeyboardInterrupt when Ctrl-C stopped the fit.
    """
    request, names, extra = _request("linear", formula, dependent, factors, covariates, effects,
                                     intercept, references, freq_weights, weights, tolerance)
    level = _level(conf_level)
    fitted = _fit(data, request, names, extra, _mcstat.LogisticOptions(), collinearity)
    return OLSResults(fitted, data, level)


def mnlogit(formula=None, data=None, *, dependent=None, factors=None, covariates=None,
            effects=None, intercept=True, references=None, reference="last", max_iter=100,
            max_step_halving=5, ll_criterion=0.0, param_criterion=1e-6, patterns=False,
            freq_weights=None, weights=None, tolerance=1e-12, conf_level=0.95,
            collinearity=False):
    """Fits a multinomial logistic model by Newton-Raphson with step halving.

    The arguments of ``ols``, and: reference: the response category without parameters,
    ``"last"`` (the default), ``"first"`` (statsmodels' MNLogit choice) or a category as the
    data write it; max_iter, max_step_halving: the iteration limits; ll_criterion: the
    relative change of the log-likelihood that ends the iterations (0: not used);
    param_criterion: the largest relative change of an estimate that ends them; patterns:
    group the records into covariate patterns first. weights count a record's
    log-likelihood that many times.
    """
    request, names, extra = _request("logistic", formula, dependent, factors, covariates,
                                     effects, intercept, references, freq_weights, weights,
                                     tolerance)
    level = _level(conf_level)
    options = _mcstat.LogisticOptions()
    if not isinstance(reference, (str, numbers.Real)) or isinstance(reference, bool):
        raise TypeError(f"reference must be 'last', 'first' or a category, not {reference!r}")
    options.reference = str(reference)
    options.maxIterations = _whole(max_iter, "max_iter")
    options.maxStepHalving = _whole(max_step_halving, "max_step_halving")
    options.llCriterion = _number(ll_criterion, "ll_criterion")
    options.paramCriterion = _number(param_criterion, "param_criterion")
    options.patterns = _flag(patterns, "patterns")
    fitted = _fit(data, request, names, extra, options, collinearity)
    return MNLogitResults(fitted, data, level)
