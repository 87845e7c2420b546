// The regression test hosts live in RegTestSupport.h; kept for the tests that use this name.
#ifndef MCSTAT_TESTS_REGRESSION_LOGTESTSUPPORT_H_
#define MCSTAT_TESTS_REGRESSION_LOGTESTSUPPORT_H_
#include "RegTestSupport.h"
#endif  // MCSTAT_TESTS_REGRESSION_LOGTESTSUPPORT_H_
