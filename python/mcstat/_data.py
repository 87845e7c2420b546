"""Data for the front end: a pandas DataFrame, a dict of arrays, or a data file.

Columns stay where they are whenever they can: float64 columns (any stride) and the codes of
pandas categorical columns are read in place while the fit runs. Other columns are converted
once per fit: integer, boolean and float32 numbers to float64; text (object and string
columns) to codes and labels. The front end codes the categories itself, in ascending order
(numbers numerically, text by bytes), as mcfit does with a file.
"""

import os

import numpy as np
import pandas as pd

from . import _mcstat


class DataFile:
    """A data file, read pass by pass as ``mcfit`` reads it, never held in memory.

    ``path``: a CSV file with a header row (plain or gzip-compressed; separator detected
    from the header line unless ``sep`` says it), a binary record file (headerless native
    doubles, one per name of ``columns``; ``format="bin"`` or a ``.bin`` name), or ``"-"`` for
    standard input. A plain path given as ``data`` is ``DataFile(path)``.
    """

    def __init__(self, path, format=None, columns=None, sep=None):
        self.path = os.fspath(path)
        if isinstance(self.path, bytes):
            self.path = os.fsdecode(self.path)
        if format not in (None, "csv", "bin"):
            raise ValueError(f"format must be 'csv' or 'bin', not {format!r}")
        self.format = format or ""
        self.columns = names_of(columns, "columns")
        if sep == "tab":
            sep = "\t"
        if sep is not None and (not isinstance(sep, str) or len(sep) != 1 or sep in "\"\r\n"):
            raise ValueError("sep must be one character other than a quote or a line end, "
                             f"or 'tab'; not {sep!r}")
        self.sep = sep

    def __repr__(self):
        return f"DataFile({self.path!r})"

    def table(self):
        options = _mcstat.FileOptions()
        options.format = self.format
        options.columns = self.columns
        if self.sep is not None:
            options.separator = self.sep
        return _mcstat.Table(self.path, options)


def names_of(value, what):
    """A list of column names from None, one name, or an iterable of names."""
    if value is None:
        return []
    if isinstance(value, str):
        return [value]
    try:
        names = list(value)
    except TypeError:
        raise TypeError(f"{what} must be a name or a list of names, "
                        f"not {type(value).__name__}") from None
    for name in names:
        if not isinstance(name, str):
            raise TypeError(f"{what} must hold names (str), not {type(name).__name__}")
    return names


def table(data, choose=None, extra=()):
    """The front end's table of data. In memory, only the columns ``choose(name, columns)``
    names are handed over (all when choose is None), with the extra (name, values) columns,
    which only data in memory can have; a data file is read as it is."""
    if isinstance(data, (str, os.PathLike)):
        data = DataFile(data)
    if isinstance(data, DataFile):
        if extra:
            raise TypeError("with a data file, weights must name one of its columns")
        return data.table()
    if isinstance(data, pd.DataFrame):
        name = "DataFrame"
        columns = _frame_columns(data)
    elif isinstance(data, dict):
        name = "dict"
        columns = {}
        for key, values in data.items():
            if not isinstance(key, str):
                raise TypeError(f"the dict's keys must be column names (str), not {key!r}")
            columns[key] = values
    elif hasattr(data, "map_partitions"):  # a Dask collection, never read here whole
        raise TypeError("data is a Dask collection: fit it with mcstat.dask.ols or "
                        "mcstat.dask.mnlogit; the in-memory fits and predict take data in "
                        "memory (compute the partitions first)")
    else:
        raise TypeError("data must be a pandas DataFrame, a dict of arrays, a path or a "
                        f"DataFile, not {type(data).__name__}")
    # The number of rows, also for a table of none of the columns (an intercept-only model).
    rows = len(data) if isinstance(data, pd.DataFrame) else \
        len(next(iter(columns.values()))) if columns else 0
    if choose is not None:
        chosen = choose(name, [*columns, *(label for label, _ in extra)])
        columns = {n: columns[n] for n in chosen if n in columns}
    converted = [(n, *_column(n, v)) for n, v in columns.items()]
    lengths = {len(c[1]) for c in converted}
    if len(lengths) > 1:
        raise ValueError(f"{name}: columns of different lengths ({sorted(lengths)})")
    rows = lengths.pop() if lengths else rows
    for label, values in extra:
        column = (label, *_column(label, values))
        if len(column[1]) != rows:
            raise ValueError(f"{label}: {len(column[1])} values for {rows} rows")
        converted.append(column)
    return _mcstat.Table(name, rows, converted)


def index_of(data):
    """The row labels predictions carry: the frame's index, else none."""
    return data.index if isinstance(data, pd.DataFrame) else None


def _frame_columns(frame):
    columns = {}
    for position, key in enumerate(frame.columns):
        name = str(key)
        if name in columns:
            raise ValueError(f"DataFrame: column '{name}' appears twice")
        columns[name] = frame.iloc[:, position]
    return columns


def _column(name, values):
    """(array, labels) of one column: float64 numbers with labels None, or integer category
    codes with their labels."""
    dtype = getattr(values, "dtype", None)
    if isinstance(dtype, pd.CategoricalDtype):
        categorical = values.array if isinstance(values, pd.Series) else values
        return np.asarray(categorical.codes), [_label(c) for c in categorical.categories]
    if isinstance(dtype, pd.api.extensions.ExtensionDtype):
        if pd.api.types.is_numeric_dtype(dtype) or pd.api.types.is_bool_dtype(dtype):
            # Nullable numbers: missing values become NaN.
            return pd.array(values).to_numpy(dtype=np.float64, na_value=np.nan), None
        return _codes(np.asarray(values, dtype=object))
    array = np.asarray(values)
    if array.ndim != 1:
        raise ValueError(f"column '{name}': an array of {array.ndim} dimensions, "
                         "one dimension expected")
    if array.dtype.kind in "fiub":
        return np.asarray(array, dtype=np.float64), None
    if array.dtype.kind in "OSU":
        return _codes(array)
    raise TypeError(f"column '{name}': {array.dtype} values are neither numbers nor "
                    "categories")


def _codes(array):
    codes, uniques = pd.factorize(array)
    return codes, [_label(u) for u in uniques]


def _label(value):
    if isinstance(value, bytes):
        return value.decode("utf-8", "replace")
    return str(value)
