"""mcstat: linear and multinomial logistic regression with the mcstat library.

    import mcstat
    res = mcstat.ols("y ~ C(g) + x + log(z)", df)
    print(res.summary())

The fits run in the library's front end (the one ``mcfit`` is made of) without holding the
GIL; Ctrl-C stops them with KeyboardInterrupt.
"""

from ._data import DataFile
from ._mcstat import FitError, InputError, version
from ._models import mnlogit, ols
from ._results import MNLogitResults, OLSResults, Summary

__version__ = version()

__all__ = ["DataFile", "FitError", "InputError", "MNLogitResults", "OLSResults", "Summary",
           "mnlogit", "ols", "version"]
