"""Fits compared with statsmodels' OLS, WLS and MNLogit on the data sets it ships."""

import numpy as np
import pytest
import statsmodels.formula.api as smf
from scipy import stats

import mcstat
from conftest import assert_attributes, assert_close, assert_pvalues, dataset

FAIR = "rate_marriage + age + yrs_married + children + religious + educ"
ANES = "logpopul + selfLR + age + educ + income"  # the model of MNLogit's documentation

# (data set, our formula, statsmodels' formula, regression weights). Treatment(6) makes
# statsmodels leave out the last category, as mcstat does by default.
LINEAR = [
    pytest.param("stackloss", "STACKLOSS ~ AIRFLOW + WATERTEMP + ACIDCONC", None, None,
                 id="stackloss"),
    pytest.param("stackloss", "STACKLOSS ~ AIRFLOW + I(AIRFLOW^2) + log(WATERTEMP) + ACIDCONC",
                 "STACKLOSS ~ AIRFLOW + I(AIRFLOW**2) + np.log(WATERTEMP) + ACIDCONC", None,
                 id="stackloss-derived"),
    pytest.param("longley", "TOTEMP ~ GNPDEFL + GNP + UNEMP + ARMED + POP + YEAR", None, None,
                 id="longley"),
    pytest.param("fair", "affairs ~ C(occupation) + C(occupation_husb) + " + FAIR,
                 "affairs ~ C(occupation, Treatment(6)) + C(occupation_husb, Treatment(6)) + "
                 + FAIR, None, id="fair"),
    pytest.param("fair", "affairs ~ C(occupation) + C(occupation_husb) + " + FAIR,
                 "affairs ~ C(occupation, Treatment(6)) + C(occupation_husb, Treatment(6)) + "
                 + FAIR, "yrs_married", id="fair-wls"),
]


@pytest.mark.parametrize("name, formula, theirs_formula, weights", LINEAR)
def test_linear_model_agrees_with_statsmodels(name, formula, theirs_formula, weights):
    data = dataset(name)
    theirs_formula = theirs_formula or formula
    ours = mcstat.ols(formula, data, weights=weights)
    if weights is None:
        theirs = smf.ols(theirs_formula, data).fit()
    else:
        theirs = smf.wls(theirs_formula, data, weights=data[weights]).fit()
    rtol = 1e-9
    assert_attributes(ours, theirs, ("params", "bse", "tvalues", "rsquared", "rsquared_adj",
                                     "fvalue", "llf"), rtol)
    assert_pvalues(ours.pvalues, theirs.pvalues, ours.tvalues**2,
                   2 * stats.t.sf(np.abs(ours.tvalues), ours.df_resid), rtol)
    assert_pvalues(ours.f_pvalue, theirs.f_pvalue, ours.fvalue * ours.df_model,
                   stats.f.sf(ours.fvalue, ours.df_model, ours.df_resid), rtol)
    # R's AIC and BIC count the residual variance as a parameter; statsmodels' do not.
    assert_close(ours.aic, theirs.aic + 2, rtol)
    assert_close(ours.bic, theirs.bic + np.log(theirs.nobs), rtol)
    assert (ours.nobs, ours.df_resid, ours.df_model) == \
        (theirs.nobs, theirs.df_resid, theirs.df_model)

    tests = theirs.wald_test_terms(scalar=True, skip_single=False).table.drop("Intercept")
    assert list(ours.effect_tests.columns) == list(tests.columns)
    assert_close(ours.effect_tests[["statistic", "df_constraint", "df_denom"]],
                 tests[["statistic", "df_constraint", "df_denom"]].astype(float), rtol)
    effects = ours.effect_tests
    assert_pvalues(effects.pvalue, tests.pvalue, effects.statistic * effects.df_constraint,
                   stats.f.sf(effects.statistic, effects.df_constraint, effects.df_denom), rtol)

    scale = np.abs(theirs.fittedvalues).max()
    assert_close(ours.fittedvalues, theirs.fittedvalues, rtol, scale=scale)
    assert_close(ours.resid, theirs.resid, rtol, scale=scale)
    assert_close(ours.predict(data.iloc[::-1]), theirs.predict(data.iloc[::-1]), rtol,
                 scale=scale)


@pytest.mark.parametrize("given", ["column", "array"])
def test_frequency_weights_count_a_record_as_its_copies(fair, given):
    counts = np.arange(len(fair)) % 4 + 1.0
    frame = fair.assign(n=counts)
    formula = "affairs ~ C(occupation) + " + FAIR
    ours = mcstat.ols(formula, frame, freq_weights="n" if given == "column" else counts)
    copies = frame.loc[frame.index.repeat(counts.astype(int))]
    theirs = smf.ols("affairs ~ C(occupation, Treatment(6)) + " + FAIR, copies).fit()
    assert_attributes(ours, theirs, ("params", "bse", "rsquared", "llf"), 1e-9, methods=())
    assert_pvalues(ours.pvalues, theirs.pvalues, ours.tvalues**2,
                   2 * stats.t.sf(np.abs(ours.tvalues), ours.df_resid), 1e-9)
    assert (ours.nobs, ours.df_resid) == (theirs.nobs, theirs.df_resid)


MNLOGIT = [
    pytest.param("anes96", "PID ~ " + ANES, "PID ~ " + ANES, id="anes96"),
    pytest.param("fair", "occupation ~ C(religious) + age + educ",
                 "occupation ~ C(religious, Treatment(4)) + age + educ", id="fair"),
]


@pytest.mark.parametrize("reference", ["first", "last"])
@pytest.mark.parametrize("name, formula, theirs_formula", MNLOGIT)
def test_mnlogit_agrees_with_statsmodels(name, formula, theirs_formula, reference):
    data = dataset(name)
    response = formula.split(" ~ ")[0]
    ours = mcstat.mnlogit(formula, data, reference=reference)
    # statsmodels leaves out the smallest code: recode so that it stands for our reference.
    categories = sorted(data[response].unique())
    order = categories if reference == "first" else categories[-1:] + categories[:-1]
    recoded = data.assign(**{response: data[response].map(order.index)})
    theirs = smf.mnlogit(theirs_formula, recoded).fit(method="newton", tol=1e-12, maxiter=100,
                                                       disp=False)
    theirs.set_null_options(method="newton", tol=1e-14, maxiter=100)
    assert ours.reference == ours.categories[0 if reference == "first" else -1]
    assert list(ours.params.columns) == [c for c in ours.categories if c != ours.reference]
    rtol = 1e-9
    assert_attributes(ours, theirs, ("params", "bse", "tvalues", "llf", "llnull", "llr",
                                     "prsquared", "aic", "bic"), rtol)
    assert_close(ours.odds_ratios, np.exp(theirs.params), rtol)
    assert_close(ours.odds_ratios_conf_int(), np.exp(theirs.conf_int()), rtol)
    assert_pvalues(ours.pvalues, theirs.pvalues, ours.tvalues**2,
                   2 * stats.norm.sf(np.abs(ours.tvalues)), rtol)
    assert_pvalues(ours.llr_pvalue, theirs.llr_pvalue, ours.llr,
                   stats.chi2.sf(ours.llr, ours.df_model), rtol)
    assert (ours.nobs, ours.df_model, ours.converged) == (theirs.nobs, theirs.df_model, True)

    # Each term's joint Wald test, from statsmodels' estimates and covariance.
    flat = np.asarray(theirs.params).ravel(order="F")
    covariance = np.asarray(theirs.cov_params())
    rows = len(theirs.params)
    slices = theirs.model.data.design_info.term_name_slices
    expected = []
    for term in list(slices)[1:]:
        chosen = [j * rows + k for j in range(theirs.params.shape[1])
                  for k in range(rows)[slices[term]]]
        b = flat[chosen]
        expected.append(b @ np.linalg.solve(covariance[np.ix_(chosen, chosen)], b))
    effects = ours.effect_tests
    assert_close(effects.statistic, expected, rtol)
    assert_pvalues(effects.pvalue, stats.chi2.sf(expected, effects.df_constraint),
                   effects.statistic * effects.df_constraint,
                   stats.chi2.sf(effects.statistic, effects.df_constraint), rtol)

    # Our columns are the categories in ascending order; theirs the recoded ones.
    probabilities = np.asarray(theirs.predict(recoded))
    expected = probabilities[:, [order.index(c) for c in categories]]
    assert_close(ours.predict(data), expected, rtol, scale=1.0)


def test_intervals_are_those_of_the_fits_level():
    stackloss = dataset("stackloss")
    formula = "STACKLOSS ~ AIRFLOW + WATERTEMP + ACIDCONC"
    ours = mcstat.ols(formula, stackloss, conf_level=0.9)
    theirs = smf.ols(formula, stackloss).fit()
    assert_close(ours.conf_int(alpha=0.1), theirs.conf_int(alpha=0.1), 1e-9, scale=60.0)
    with pytest.raises(ValueError, match="conf_level=0.9"):
        ours.conf_int(alpha=0.05)
