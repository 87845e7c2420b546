#!/usr/bin/env python3
"""Writes numpy_randomstate12345.txt: the first 1000 values of numpy's legacy
RandomState(12345).random_sample() (MT19937 seeded by one word, 53-bit doubles from two
32-bit words), one per line with 17 significant digits, so that they read back exactly.

Needs numpy (Debian: python3-numpy). Usage:
python3 make_numpy_res53.py > numpy_randomstate12345.txt
"""
import numpy as np

rs = np.random.RandomState(12345)
print("# numpy %s RandomState(12345).random_sample(1000)" % np.__version__)
for v in rs.random_sample(1000):
    print("%.17g" % v)
