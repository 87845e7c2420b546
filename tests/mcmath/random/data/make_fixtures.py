#!/usr/bin/python3
"""Writes the two generator fixtures from numpy's legacy RandomState, whose MT19937 is a copy
of Matsumoto and Nishimura's 2002 reference program mt19937ar.c (Debian: python3-numpy):

mt19937ar_int32.txt: the first 1000 outputs of genrand_int32() after init_by_array({0x123,
0x234, 0x345, 0x456}), laid out as the "1000 outputs of genrand_int32()" block of the
program's published output mt19937ar.out, whose first and last lines are checked here;
numpy_randomstate12345.txt: the first 1000 values of RandomState(12345).random_sample()
(53-bit doubles from two words), 17 significant digits, so that they read back exactly.

Usage (in this folder): /usr/bin/python3 make_fixtures.py
"""
import sys

import numpy as np

words = [int(v) for v in np.random.RandomState([0x123, 0x234, 0x345, 0x456])
         .randint(0, 2**32, size=1000, dtype=np.uint32)]
if (words[:5] != [1067595299, 955945823, 477289528, 4107218783, 4228976476] or
        words[-5:] != [2643151863, 3896204135, 2416995901, 1397735321, 3460025646]):
    sys.exit("the first or last line differs from the published output")
with open("mt19937ar_int32.txt", "w") as out:
    out.write("1000 outputs of genrand_int32()\n")
    for row in range(200):
        out.write("".join("%10d " % v for v in words[5 * row:5 * row + 5]) + "\n")
with open("numpy_randomstate12345.txt", "w") as out:
    out.write("# numpy %s RandomState(12345).random_sample(1000)\n" % np.__version__)
    for v in np.random.RandomState(12345).random_sample(1000):
        out.write("%.17g\n" % v)
