#!/usr/bin/env python3
"""Reference values for the distribution-function tests (distfun_reference.csv).

Continuous distributions come from mpmath at 40 significant digits (regularised incomplete
gamma and beta integrals, the normal integral, log-gamma); quantiles are found by bisection
on those integrals. Binomial and hypergeometric probabilities are exact rational sums over
the exact binary value of each double argument (fractions.Fraction, math.comb).

Each line: function name, three arguments (unused ones 0; four for CDFHyper4: k, N, M, n),
reference value, written with repr() so that the double read back is the nearest to the
reference. IBeta rows are the regularised incomplete beta I_x(a, b) for x, a, b.

Run: python3 make_distfun_reference.py > distfun_reference.csv   (needs mpmath)
"""
import math
from fractions import Fraction

import mpmath as mp

mp.mp.dps = 40
rows = []


def add(name, a1, a2, a3, value):
    rows.append("%s,%r,%r,%r,%r" % (name, float(a1), float(a2), float(a3), float(value)))


def bisect(f, target, lo, hi, increasing=True, steps=300):
    """Root of f(x) = target on [lo, hi] to full working precision (geometric steps
    while the bracket spans decades, so tiny quantiles are found as well)."""
    lo, hi = mp.mpf(lo), mp.mpf(hi)
    if lo == 0:
        lo = mp.mpf("1e-1000")
    for _ in range(steps):
        if lo > 0 and hi / lo > 4:
            mid = mp.sqrt(lo * hi)
        else:
            mid = (lo + hi) / 2
        v = f(mid)
        if (v < target) == increasing:
            lo = mid
        else:
            hi = mid
    return (lo + hi) / 2


# Normal
def ncdf(x):
    return mp.ncdf(mp.mpf(x))


for x in [-37.5, -30, -20, -10, -6, -3, -1.5, -0.5, -1e-8, 0.3, 1, 2.5, 5, 8]:
    add("CdfStdNorm", x, 0, 0, ncdf(x))
for p in [1e-300, 1e-100, 1e-20, 1e-10, 1e-5, 0.001, 0.02425, 0.075, 0.3, 0.499999999,
          0.6, 0.9, 0.975, 0.999, 1 - 1e-10]:
    pm = mp.mpf(p)
    add("IdfStdNorm", p, 0, 0, mp.sqrt(2) * mp.erfinv(2 * pm - 1) if p > 1e-5 else
        bisect(ncdf, pm, -40, 0))

# Chi-square
def _lower_gamma(a, x):
    # P(a, x) by Kummer's series x^a e^-x / Gamma(a + 1) 1F1(1; a + 1; x).
    return mp.exp(a * mp.log(x) - x - mp.loggamma(a + 1)) * mp.hyp1f1(1, a + 1, x,
                                                                        maxterms=10**7)


def pchisq(x, df):
    a, h = mp.mpf(df) / 2, mp.mpf(x) / 2
    if h <= a:
        return _lower_gamma(a, h)
    return 1 - mp.gammainc(a, h, mp.inf, regularized=True)


def qchisq_upper(x, df):
    a, h = mp.mpf(df) / 2, mp.mpf(x) / 2
    if h >= a:
        return mp.gammainc(a, h, mp.inf, regularized=True)
    return 1 - _lower_gamma(a, h)


for df in [0.1, 0.5, 1, 2, 3, 7.5, 10, 50, 100, 1000, 1e5]:
    for m in [1e-3, 0.1, 0.5, 0.9, 1, 1.3, 2, 5, 10]:
        if df >= 1000 and m >= 5:
            continue
        x = df * m if df >= 1 else m * 2
        add("CdfChi", x, df, 0, pchisq(x, df))
        add("SigChi", x, df, 0, qchisq_upper(x, df))
for df in [0.1, 0.3, 0.5, 1, 2, 5, 10, 100, 1000]:
    for p in [1e-10, 1e-5, 0.01, 0.1, 0.5, 0.9, 0.99, 0.999999]:
        add("IdfChi", p, df, 0, bisect(lambda x: pchisq(x, df), mp.mpf(p), 0, 10 * df + 200))

# Beta family
def ibeta(x, a, b):
    return mp.betainc(mp.mpf(a), mp.mpf(b), 0, mp.mpf(x), regularized=True)


def pf(f, d1, d2):
    f, d1, d2 = mp.mpf(f), mp.mpf(d1), mp.mpf(d2)
    return ibeta(d1 * f / (d1 * f + d2), d1 / 2, d2 / 2)


def sf_f(f, d1, d2):
    f, d1, d2 = mp.mpf(f), mp.mpf(d1), mp.mpf(d2)
    return ibeta(d2 / (d1 * f + d2), d2 / 2, d1 / 2)


def pt(t, df):
    t, df = mp.mpf(t), mp.mpf(df)
    tail = ibeta(df / (df + t * t), df / 2, mp.mpf(1) / 2) / 2
    return 1 - tail if t > 0 else tail


def st(t, df):
    t, df = mp.mpf(t), mp.mpf(df)
    tail = ibeta(df / (df + t * t), df / 2, mp.mpf(1) / 2) / 2
    return tail if t > 0 else 1 - tail


F_DFS = [(1, 1), (1, 10), (2, 5), (5, 10), (10, 3), (0.5, 7), (30, 40), (100, 200), (3, 1000)]
for d1, d2 in F_DFS:
    for f in [0.01, 0.2, 0.9, 1, 1.5, 3, 10, 100]:
        add("CdfF", f, d1, d2, pf(f, d1, d2))
        add("SigF", f, d1, d2, sf_f(f, d1, d2))
    for p in [1e-6, 0.01, 0.1, 0.5, 0.9, 0.95, 0.999]:
        add("IdfF", p, d1, d2, bisect(lambda f: pf(f, d1, d2), mp.mpf(p), 0, 1e12))

T_DFS = [1, 1.5, 2, 3, 5, 10, 30, 100, 1e4]
for df in T_DFS:
    for t in [-50, -5, -2, -1, -0.5, -1e-3, 0.2, 0.99, 1.01, 3, 10, 1e3]:
        add("CdfT", t, df, 0, pt(t, df))
        add("SigT", t, df, 0, st(t, df))
    for p in [1e-10, 1e-4, 0.025, 0.2, 0.4999, 0.6, 0.975, 0.9999]:
        add("IdfT", p, df, 0, bisect(lambda t: pt(t, df), mp.mpf(p), -1e12, 1e12))

for a, b in [(0.5, 0.5), (0.3, 2), (2, 0.3), (1, 3), (3, 1), (2, 3), (10, 20), (0.2, 0.2),
             (50, 0.5), (0.7, 1.3), (200, 300), (1.5, 40)]:
    for p in [1e-6, 0.01, 0.3, 0.5, 0.7, 0.99, 1 - 1e-6]:
        add("IdfBeta", p, a, b, bisect(lambda x: ibeta(x, a, b), mp.mpf(p), 0, 1))


# Binomial and hypergeometric, exactly
def binom_pmf(k, n, p):
    p = Fraction(p)
    return math.comb(n, k) * p ** k * (1 - p) ** (n - k)


def binom_cdf(k, n, p):
    return sum((binom_pmf(j, n, p) for j in range(0, k + 1)), Fraction(0))


for n in [1, 5, 20, 100, 1000]:
    for p in [0.001, 0.3, 0.5, 0.97]:
        ks = sorted({0, 1, n // 10, n // 3, n // 2, (2 * n) // 3, n - 1, n})
        for k in ks:
            if 0 <= k <= n:
                add("PdfBin", k, n, p, binom_pmf(k, n, p))
                if k < n:
                    add("CdfBin", k + 0.5, n, p, binom_cdf(k, n, p))
        for q in [0.01, 0.25, 0.5, 0.9, 0.999]:
            qq = Fraction(q)
            acc = Fraction(0)
            for k in range(0, n + 1):
                acc += binom_pmf(k, n, p)
                if acc >= qq:
                    add("IdfBin", q, n, p, k)
                    break


def hyper_cdf(k, N, M, n):
    tot = math.comb(N, n)
    return Fraction(sum(math.comb(M, j) * math.comb(N - M, n - j)
                        for j in range(0, k + 1)), tot)


# Hypergeometric rows carry four arguments: k, N, M, n.
for N, M, n in [(10, 4, 3), (50, 20, 10), (100, 5, 60), (1000, 300, 200), (30, 30, 7),
                (5000, 10, 4000)]:
    lo, hi = max(0, n + M - N), min(n, M)
    for k in sorted({lo, lo + 1, (lo + hi) // 2, hi - 1}):
        if lo <= k < hi:
            rows.append("CDFHyper4,%r,%r,%r,%r,%r" % (float(k), float(N), float(M), float(n),
                                                     float(hyper_cdf(k, N, M, n))))

# Incomplete beta itself, small and large shapes, both tails.
for a, b in [(0.1, 0.1), (0.5, 0.1), (0.1, 5), (0.5, 3), (3, 0.5), (0.9, 40), (40, 0.9),
             (2.5, 7), (60, 80), (500, 20)]:
    for x in [1e-8, 1e-3, 0.05, 0.3, 0.5, 0.7, 0.95, 0.999, 1 - 1e-8]:
        add("IBeta", x, a, b, ibeta(x, a, b))

# Log-gamma
for x in [1e-300, 1e-10, 0.01, 0.2, 0.25, 0.49, 0.5001, 0.75, 0.999, 1.0000001, 1.3, 1.5,
          1.9999, 2.0001, 2.5, 3, 3.5, 4.2, 6.7, 7.99, 8.0, 8.01, 10.5, 33.3, 171.5, 1e4,
          1e10, 1e300]:
    add("LnGamma", x, 0, 0, mp.loggamma(mp.mpf(x)))

print("\n".join(rows))
