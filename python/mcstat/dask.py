"""Fits of a Dask DataFrame: the data stay in their partitions, wherever the cluster keeps them.

    import mcstat.dask
    res = mcstat.dask.ols("y ~ C(g) + x", ddf)      # ddf: a dask.dataframe.DataFrame

Every pass of the fit is one task per partition, which codes the partition's records as the
client codes them and returns its partial statistics as bytes, and a tree of merges in the
order of the partitions. The sums are exact, so the numbers are those of ``mcstat.ols`` (or
``mnlogit``) over the whole frame in memory, whatever the partitioning. First, the categories
of text columns and the categories and counts of the model's variables are learned from the
partitions and sent with every later task. The client only solves: it sends plans (a few
kilobytes) and receives merged statistics. Workers need the mcstat package.

The result is the in-memory fit's class with its summary, estimates, tests and likelihoods.
What needs the fitted records again is not available (InputError): ``fittedvalues``,
``resid``, ``predict()`` without new data and ``to_pmml`` (whose statistics describe the
records). ``predict(frame)`` of data in memory works. ``collinearity=True`` is refused.
"""

import dask
import numpy as np
import pandas as pd

from . import _data, _mcstat
from ._models import _setup
from ._results import MNLogitResults, OLSResults


def ols(formula, ddf, *, freq_weights=None, weights=None, tolerance=1e-12, conf_level=0.95):
    """``mcstat.ols`` of a Dask DataFrame; weights are column names."""
    fitted = _fit_parts(ddf, ("linear", formula, freq_weights, weights, tolerance, conf_level,
                              False))
    return OLSResults(fitted, None)


def mnlogit(formula, ddf, *, reference="last", max_iter=100, max_step_halving=5,
            ll_criterion=0.0, param_criterion=1e-6, patterns=False, freq_weights=None,
            weights=None, tolerance=1e-12, conf_level=0.95):
    """``mcstat.mnlogit`` of a Dask DataFrame; weights are column names."""
    logistic = dict(reference=reference, max_iter=max_iter, max_step_halving=max_step_halving,
                    ll_criterion=ll_criterion, param_criterion=param_criterion,
                    patterns=patterns)
    fitted = _fit_parts(ddf, ("logistic", formula, freq_weights, weights, tolerance,
                              conf_level, False, logistic))
    return MNLogitResults(fitted, None)


def _fit_parts(ddf, setup):
    import dask.dataframe as dd
    if not isinstance(ddf, dd.DataFrame):
        raise TypeError(f"data must be a dask DataFrame, not {type(ddf).__name__}")
    request, choices, extra = _setup(*setup)
    if extra:
        raise TypeError("weights of a dask DataFrame must name one of its columns")
    columns = [str(c) for c in ddf.columns]
    if len(set(columns)) != len(columns):
        raise ValueError("DataFrame: a column appears twice")
    used = list(_mcstat.request_columns(request, "DataFrame", columns))
    ddf = ddf[[ddf.columns[columns.index(c)] for c in used]]
    ddf.columns = used
    parts = ddf.to_delayed()
    texts = [c for c in used if _is_text(ddf[c].dtype)]
    labels = _tree([dask.delayed(_labels_of)(p, texts) for p in parts], _union).compute() \
        if texts and parts else {}
    for c in texts:
        dtype = ddf[c].dtype
        if isinstance(dtype, pd.CategoricalDtype) and dtype.categories is not None:
            labels.setdefault(c, list(dtype.categories))
    shape = (setup, labels)
    summary = _tree([dask.delayed(_summarize)(p, shape) for p in parts],
                    _merge_summaries).compute() if parts else _mcstat.ScanSummary()
    schema = _table(ddf._meta.iloc[:0], labels)

    def run_pass(plan):
        return _tree([dask.delayed(_fill)(p, shape, summary, plan) for p in parts],
                     _merge_parts).compute()

    def final_pass(passes):
        return _tree([dask.delayed(_final)(p, shape, summary, passes) for p in parts],
                     _merge_final).compute()

    return _mcstat.fit_in_parts(schema, request, summary, choices, run_pass, final_pass)


def _is_text(dtype):
    if isinstance(dtype, pd.CategoricalDtype):
        return True
    if isinstance(dtype, pd.api.extensions.ExtensionDtype):
        return not (pd.api.types.is_numeric_dtype(dtype) or pd.api.types.is_bool_dtype(dtype))
    return np.dtype(dtype).kind in "OSU"


def _tree(items, merge):
    """The merge of the items in their order, as a tree of delayed pairwise merges."""
    if not items:
        raise ValueError("a dask DataFrame without partitions")
    merge = dask.delayed(merge, pure=True)
    while len(items) > 1:
        items = [merge(items[i], items[i + 1]) if i + 1 < len(items) else items[i]
                 for i in range(0, len(items), 2)]
    return items[0]


def _labels_of(frame, texts):
    return {c: list(pd.unique(frame[c].dropna())) for c in texts}


def _union(a, b):
    return {c: list(dict.fromkeys([*a[c], *b[c]])) for c in a}


def _table(frame, labels):
    """The front end's table of a partition, text columns coded with the labels every
    partition shares (so that one category has one key everywhere)."""
    columns = {c: pd.Categorical(frame[c], categories=labels[c]) if c in labels else frame[c]
               for c in frame.columns}
    return _data.table(pd.DataFrame(columns, index=frame.index))


def _summarize(frame, shape):
    setup, labels = shape
    return _mcstat.summarize(_table(frame, labels), _setup(*setup)[0])


def _merge_summaries(a, b):
    a.merge(b)
    return a


# The module's functions travel to the workers by name; an extension's cannot be pickled.
def _merge_parts(a, b):
    return _mcstat.merge_parts(a, b)


def _merge_final(a, b):
    return _mcstat.merge_final(a, b)


def _fill(frame, shape, summary, plan):
    setup, labels = shape
    request, choices, _ = _setup(*setup)
    return _mcstat.fill_part(_table(frame, labels), request, summary, choices, plan)


def _final(frame, shape, summary, passes):
    setup, labels = shape
    request, choices, _ = _setup(*setup)
    return _mcstat.final_of_part(_table(frame, labels), request, summary, choices, passes)
