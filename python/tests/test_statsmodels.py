"""Each statistic where statsmodels puts it, under its name (the numbers are FitTest's, vs R)."""

import numpy as np
import pytest
import statsmodels.formula.api as smf
from scipy import stats

import mcstat
from conftest import assert_attributes, assert_close, assert_pvalues, dataset

FAIR = "rate_marriage + age + yrs_married + children + religious + educ"
ANES = "logpopul + selfLR + age + educ + income"  # the model of MNLogit's documentation


def test_linear_model_agrees_with_statsmodels():
    # Treatment(6) makes statsmodels leave out the last category, as mcstat does by default.
    data = dataset("fair")
    ours = mcstat.ols("affairs ~ C(occupation) + C(occupation_husb) + " + FAIR, data,
                      weights="yrs_married", conf_level=0.9)
    theirs = smf.wls("affairs ~ C(occupation, Treatment(6)) + C(occupation_husb, Treatment(6)) + "
                     + FAIR, data, weights=data["yrs_married"]).fit()
    rtol = 1e-9
    assert_attributes(ours, theirs, ("params", "bse", "tvalues", "rsquared", "rsquared_adj",
                                     "fvalue", "llf"), rtol, methods=("cov_params",))
    # The intervals are those of the fit's level.
    assert_close(ours.conf_int(alpha=0.1), theirs.conf_int(alpha=0.1), rtol,
                 scale=np.abs(theirs.conf_int(alpha=0.1)).max().max())
    with pytest.raises(ValueError, match="conf_level=0.9"):
        ours.conf_int(alpha=0.05)
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
    copies = mcstat.ols(formula, frame.loc[frame.index.repeat(counts.astype(int))])
    assert_attributes(ours, copies, ("params", "bse", "pvalues", "rsquared", "llf", "nobs",
                                     "df_resid"), 1e-12, methods=())


@pytest.mark.parametrize("reference", ["first", "last"])
def test_mnlogit_agrees_with_statsmodels(reference):
    data = dataset("anes96")
    response = "PID"
    ours = mcstat.mnlogit("PID ~ " + ANES, data, reference=reference)
    # statsmodels leaves out the smallest code: recode so that it stands for our reference.
    categories = sorted(data[response].unique())
    order = categories if reference == "first" else categories[-1:] + categories[:-1]
    recoded = data.assign(**{response: data[response].map(order.index)})
    theirs = smf.mnlogit("PID ~ " + ANES, recoded).fit(method="newton", tol=1e-12,
                                                      maxiter=100, disp=False)
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

    # Our columns are the categories in ascending order; theirs the recoded ones.
    probabilities = np.asarray(theirs.predict(recoded))
    expected = probabilities[:, [order.index(c) for c in categories]]
    assert_close(ours.predict(data), expected, rtol, scale=1.0)
