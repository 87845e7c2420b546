"""How fits run: without the GIL, stopped by Ctrl-C, and presented as mcfit presents them."""

import _thread
import json
import os
import signal
import subprocess
import threading

import numpy as np
import pandas as pd
import pytest

import mcstat

MCFIT = os.environ.get("MCFIT")
needs_mcfit = pytest.mark.skipif(not MCFIT, reason="MCFIT names no mcfit program")


class Feeder(threading.Thread):
    """Writes CSV records into a FIFO from Python: `rows` of them, or until stopped."""

    def __init__(self, path, rows=None):
        super().__init__(daemon=True)
        self.path, self.rows, self.stop = path, rows, threading.Event()
        os.mkfifo(path)

    def run(self):
        rng = np.random.default_rng(11)
        try:
            with open(self.path, "w") as fifo:
                fifo.write("y,x\n")
                written = 0
                while not self.stop.is_set() and (self.rows is None or written < self.rows):
                    x = rng.normal(size=1000)
                    fifo.write("".join(f"{2 * v + 1!r},{v!r}\n" for v in x))
                    written += 1000
        except BrokenPipeError:
            pass  # the reader stopped


def test_a_fit_runs_without_the_gil(tmp_path):
    # With the GIL held, neither the feeding thread nor the fit could go on.
    feeder = Feeder(tmp_path / "records", rows=50_000)
    feeder.start()
    fit = mcstat.ols("y ~ x", str(tmp_path / "records"))
    feeder.join()
    assert fit.nobs == 50_000
    assert np.allclose(fit.params.to_numpy(), [1.0, 2.0], rtol=0, atol=1e-12)


@pytest.mark.parametrize("source", ["endless file", "frame in memory"])
def test_ctrl_c_stops_a_fit_and_the_next_fit_runs(tmp_path, source):
    feeder = None
    if source == "endless file":  # records without end: only the interrupt can stop the fit
        feeder = Feeder(tmp_path / "endless")
        feeder.start()
        data, model = str(tmp_path / "endless"), "y ~ x"
    else:
        rng = np.random.default_rng(5)
        n = 1_000_000
        data = pd.DataFrame({"y": rng.integers(0, 4, n), "x": rng.normal(size=n),
                             "A": rng.integers(0, 30, n)})
        model = "y ~ C(A) + x"
    done = threading.Event()

    def interrupt():  # until the fit is over, whichever pass it is in
        while not done.wait(0.02):
            _thread.interrupt_main()

    # Only the first interrupt raises: a later one must not end the test run.
    raised = []

    def once(signum, frame):
        if not raised:
            raised.append(signum)
            raise KeyboardInterrupt

    previous = signal.signal(signal.SIGINT, once)
    thread = threading.Thread(target=interrupt, daemon=True)
    thread.start()
    try:
        with pytest.raises(KeyboardInterrupt):
            (mcstat.ols if feeder else mcstat.mnlogit)(model, data)
    finally:
        done.set()
        thread.join()
        signal.signal(signal.SIGINT, previous)
        if feeder:
            feeder.stop.set()
            feeder.join()
    fit = mcstat.ols("x ~ y", {"x": np.arange(1000.0), "y": np.arange(1000.0) % 7})
    assert fit.nobs == 1000


@pytest.fixture
def fair_csv(fair, tmp_path):
    path = tmp_path / "fair.csv"
    fair.to_csv(path, index=False)
    return path


MODELS = {
    "linear": ("affairs ~ C(occupation) + occupation_husb + log(age) + I(educ^2) + "
               "C(religious):rate_marriage", {}, []),
    "logistic": ("occupation ~ C(religious) + age + log(educ)", {"reference": "first"},
                 ["--model", "logistic", "--reference", "first"]),
}


def _fit(name, data):
    formula, arguments, _ = MODELS[name]
    fit = mcstat.ols if name == "linear" else mcstat.mnlogit
    return fit(formula, data, **arguments)


def _mcfit(*arguments):
    return subprocess.run([MCFIT, *map(str, arguments)], check=True, capture_output=True,
                          text=True).stdout


@needs_mcfit
@pytest.mark.parametrize("name", MODELS)
def test_summary_json_and_pmml_are_those_of_mcfit(fair, fair_csv, tmp_path, name):
    fit = _fit(name, fair_csv)
    formula, _, options = MODELS[name]
    common = ["--data", fair_csv, "--formula", formula, *options]
    assert str(fit.summary()) == _mcfit("fit", *common)
    document = _mcfit("fit", *common, "--json", "-", "--quiet")
    assert json.loads(fit.to_json()) == json.loads(document)
    # mcfit's scoring of its PMML is its own tests' business; a fit in memory writes its PMML.
    in_memory = _fit(name, fair)
    for version in ("4.4", "3.2"):
        in_memory.to_pmml(tmp_path / "model.pmml", version=version)
        assert (tmp_path / "model.pmml").read_text() == in_memory.to_pmml(version=version) == \
            _mcfit("fit", *common, "--pmml", "-", "--pmml-version", version, "--quiet")
