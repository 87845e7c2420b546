#!/usr/bin/env Rscript
# Reference values for MCDistFunTest.cpp (distfun_r.csv), computed by R's own distribution
# functions. Each line: the R function (".upper" marks lower.tail = FALSE), its arguments
# in R's order, and the value, all printed with 17 significant digits so that the doubles
# read back are the ones R used. For phyper the arguments are q, m (successes), n (failures)
# and k (draws). A quantile of 0 (qbeta, qf) or an infinite one (qt, qf) lies outside the
# range of doubles: the functions must report failure there.
#
# Run: Rscript distfun_r.R > distfun_r.csv
#      /usr/bin/python3 distfun_mp.py distfun_r.csv   (replaces what R gets wrong in far tails)

rows <- character(0)

# R's quantile functions lose relative accuracy in some far tails (qbeta, and so qf, below
# p = 1e-6; qbeta may even return 0 there), while its distribution functions keep it. Each
# quantile is therefore polished by Newton steps on R's own cdf (of the tail that p lies in),
# after a search on the log scale where R's quantile is not positive when it should be.
polish <- function(q, p, cdf, pdf) {
  lower <- p <= 0.5
  target <- if (lower) p else 1 - p
  if (!(q > 0) && lower && cdf(.Machine$double.xmin, TRUE) < p)
    q <- exp(uniroot(function(y) log(cdf(exp(y), TRUE)) - log(p), c(-700, 0),
                     tol = 1e-12)$root)
  for (i in 1:6) {
    if (q == 0 || pdf(q) == 0) break
    step <- (cdf(q, lower) - target) / pdf(q)
    q <- if (lower) q - step else q + step
  }
  q
}

# ln Gamma near its zeros at 1 and 2, where lgamma() is accurate only in absolute terms:
# ln Gamma(1 + e) = -gamma e + sum_k (-1)^k zeta(k) e^k / k, zeta(k) from psigamma.
lgamma_near_zero <- function(x) {
  e <- if (x < 1.5) x - 1 else x - 2
  k <- 2:40
  zeta <- (-1)^k * psigamma(1, k - 1) / factorial(k - 1)
  s <- digamma(1) * e + sum((-1)^k * zeta * e^k / k)
  if (x < 1.5) s else s + log1p(e)
}
add <- function(fn, args, value) {
  rows <<- c(rows, paste(c(fn, sprintf("%.17g", c(args, value))), collapse = ","))
}

for (x in c(-37.5, -30, -20, -10, -6, -3, -1.5, -0.5, -1e-8, 0.3, 1, 2.5, 5, 8))
  add("pnorm", x, pnorm(x))
for (p in c(1e-300, 1e-100, 1e-20, 1e-10, 1e-5, 0.001, 0.02425, 0.075, 0.3, 0.499999999,
            0.6, 0.9, 0.975, 0.999, 1 - 1e-10))
  add("qnorm", p, polish(qnorm(p), p, function(x, l) pnorm(x, lower.tail = l), dnorm))

# Multiples of df (of 2 below one degree of freedom) from far left to far right tail.
for (df in c(0.1, 0.5, 1, 3, 10, 100, 1e5)) {
  for (m in c(1e-3, 0.1, 0.9, 1.3, 3, 10)) {
    if (df >= 1000 && m >= 3) next
    x <- if (df >= 1) df * m else 2 * m
    add("pchisq", c(x, df), pchisq(x, df))
    add("pchisq.upper", c(x, df), pchisq(x, df, lower.tail = FALSE))
  }
}
# Very many degrees of freedom, within 8 standard deviations of the mean.
for (df in c(5000, 1e6, 1e11, 1e15)) {
  for (z in c(-8, -1, 0, 1e-3, 2, 8)) {
    x <- df + z * sqrt(2 * df)
    add("pchisq", c(x, df), pchisq(x, df))
    add("pchisq.upper", c(x, df), pchisq(x, df, lower.tail = FALSE))
  }
}
for (df in c(0.1, 0.5, 1, 2, 5, 100, 1000))
  for (p in c(1e-10, 1e-5, 0.01, 0.5, 0.99, 0.999999))
    add("qchisq", c(p, df), polish(qchisq(p, df), p,
                                    function(x, l) pchisq(x, df, lower.tail = l),
                                    function(x) dchisq(x, df)))

for (d in list(c(1, 1), c(2, 5), c(10, 3), c(0.5, 7), c(30, 40), c(100, 200), c(3, 1000),
               c(0.1, 0.1), c(4, 0.02))) {
  for (f in c(0.01, 0.2, 1, 1.5, 10, 100)) {
    add("pf", c(f, d), pf(f, d[1], d[2]))
    add("pf.upper", c(f, d), pf(f, d[1], d[2], lower.tail = FALSE))
  }
  for (p in c(1e-200, 1e-12, 1e-6, 0.1, 0.5, 0.95, 0.999, 1 - 1e-10))
    add("qf", c(p, d), polish(qf(p, d[1], d[2]), p,
                                function(x, l) pf(x, d[1], d[2], lower.tail = l),
                                function(x) df(x, d[1], d[2])))
}
# Large denominator degrees of freedom, as in the F tests of models fitted to millions of records.
for (d in list(c(1, 1e6), c(3, 1e6), c(30, 1e8), c(1, 1e10)))
  for (f in c(0.01, 0.5, 2, 5, 20)) {
    add("pf", c(f, d), pf(f, d[1], d[2]))
    add("pf.upper", c(f, d), pf(f, d[1], d[2], lower.tail = FALSE))
  }
# Odds f df1 / df2 below the double range.
for (f in c(1e-300, 1e300)) {
  add("pf", c(f, 1e6, 1e-4), pf(f, 1e6, 1e-4))
  add("pf.upper", c(f, 1e-4, 1e6), pf(f, 1e-4, 1e6, lower.tail = FALSE))
}

for (df in c(0.1, 1, 1.5, 3, 10, 100, 5000, 1e4, 1e6, 1e10)) {
  for (t in c(-1e200, -50, -5, -1e-3, 0.2, 0.99, 1.01, 3, 1e3)) {
    add("pt", c(t, df), pt(t, df))
    add("pt.upper", c(t, df), pt(t, df, lower.tail = FALSE))
  }
  for (p in c(1e-300, 1e-155, 1e-10, 1e-4, 0.025, 0.4999, 0.6, 0.9999))
    add("qt", c(p, df), polish(qt(p, df), p, function(x, l) pt(x, df, lower.tail = l),
                                 function(x) dt(x, df)))
}

for (s in list(c(0.5, 0.5), c(0.3, 2), c(2, 0.3), c(1, 3), c(3, 1), c(2, 3), c(10, 20),
               c(0.2, 0.2), c(50, 0.5), c(0.7, 1.3), c(200, 300), c(1.5, 40), c(0.01, 0.01),
               c(0.05, 3)))
  for (p in c(1e-200, 1e-6, 0.001, 0.01, 0.3, 0.99, 1 - 1e-6))
    add("qbeta", c(p, s), polish(qbeta(p, s[1], s[2]), p,
                                   function(x, l) pbeta(x, s[1], s[2], lower.tail = l),
                                   function(x) dbeta(x, s[1], s[2])))
# The incomplete beta itself, for shapes below one (the power series) and large ones.
for (s in list(c(0.1, 0.1), c(0.5, 0.1), c(0.1, 5), c(3, 0.5), c(0.9, 40), c(2.5, 7),
               c(60, 80), c(500, 20), c(0.01, 0.01), c(0.001, 5)))
  for (x in c(1e-300, 1e-8, 0.05, 0.5, 0.95, 1 - 1e-8))
    add("pbeta", c(x, s), pbeta(x, s[1], s[2]))

# Binomial: x + 0.5 in pbinom checks that the count is truncated.
for (n in c(1, 5, 20, 100, 1000)) {
  for (p in c(0.001, 0.3, 0.97)) {
    for (k in sort(unique(c(0, 1, n %/% 10, n %/% 2, n - 1, n)))) {
      add("dbinom", c(k, n, p), dbinom(k, n, p))
      if (k < n) add("pbinom", c(k + 0.5, n, p), pbinom(k, n, p))
    }
    for (q in c(0.01, 0.5, 0.999))
      add("qbinom", c(q, n, p), qbinom(q, n, p))
  }
}

# Many trials: counts within 8 standard deviations of a mean of 1000 or 0.3 n.
for (n in c(1e6, 1e9)) {
  for (p in c(0.3, 1e3 / n)) {
    sd <- sqrt(n * p * (1 - p))
    for (z in c(-8, -2, -0.3, 0, 1, 8)) {
      k <- round(n * p + z * sd)
      add("dbinom", c(k, n, p), dbinom(k, n, p))
      add("pbinom", c(k, n, p), pbinom(k, n, p))
    }
    for (q in c(1e-9, 0.5, 0.999))
      add("qbinom", c(q, n, p), qbinom(q, n, p))
  }
}

# Hypergeometric: population N with M successes, n draws.
for (c in list(c(10, 4, 3), c(50, 20, 10), c(100, 5, 60), c(1000, 300, 200), c(30, 30, 7),
               c(5000, 10, 4000))) {
  N <- c[1]; M <- c[2]; n <- c[3]
  lo <- max(0, n + M - N); hi <- min(n, M)
  for (k in sort(unique(c(lo, lo + 1, (lo + hi) %/% 2, hi - 1))))
    if (lo <= k && k < hi) add("phyper", c(k, M, N - M, n), phyper(k, M, N - M, n))
}

for (x in c(1e-300, 1e-10, 0.01, 0.2, 0.25, 0.49, 0.5001, 0.75, 0.999, 1.0000001, 1.3, 1.5,
            1.9999, 2.0001, 2.5, 3, 3.5, 4.2, 6.7, 7.99, 8, 8.01, 10.5, 33.3, 171.5, 1e4,
            1e10, 1e300))
  add("lgamma", x, if (abs(x - 1) < 0.01 || abs(x - 2) < 0.01) lgamma_near_zero(x) else lgamma(x))
for (x in c(2e-5, 0.01, 0.3, 1, 1.4616321449683622, 1.5, 2, 3.7, 6, 9.5, 12, 42, 1e4, 1e8))
  add("digamma", x, digamma(x))

writeLines(rows)
