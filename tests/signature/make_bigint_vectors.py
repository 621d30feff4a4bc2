#!/usr/bin/env python3
"""Writes data/bigint_vectors.txt: operations on random big integers with results
computed by Python's own integers, read by big_integer_test.cpp.

Line formats (hexadecimal, '-' for a negative number, '!' for "raises"):
  umul A B P       BigUnsigned product
  usub A B R|!     BigUnsigned difference, or the negative-result failure
  udiv A B Q R     BigUnsigned division with remainder (B may be 0)
  uinc A R         BigUnsigned ++
  udec A R|!       BigUnsigned --, or the failure on zero
  smul A B P       BigInteger product
  sdiv A B Q R     BigInteger division with remainder (floor; B or A may be 0)
  modexp X E M R   64-digit modular exponentiation (E = 0 gives 1, M = 0 cuts to 1024 bits)

Run from anywhere: python3 tests/signature/make_bigint_vectors.py
"""
import os
import random

SPECIAL_BLOCKS = [0, 1, 2, 0x7FFFFFFF, 0x80000000, 0x80000001, 0xFFFFFFFE, 0xFFFFFFFF, 0x00010000, 0x0000FFFF]


def blocks_number(rng, count):
    value = 0
    for i in range(count):
        if rng.random() < 0.4:
            block = rng.choice(SPECIAL_BLOCKS)
        else:
            block = rng.getrandbits(32)
        value |= block << (32 * i)
    return value


def operand(rng, max_blocks):
    kind = rng.random()
    if kind < 0.15:
        return rng.getrandbits(rng.randint(0, 70))
    if kind < 0.25:
        k = rng.randint(0, 32 * max_blocks)
        return (1 << k) + rng.choice([-1, 0, 1]) if k > 0 else rng.randint(0, 2)
    return blocks_number(rng, rng.randint(1, max_blocks))


def signed(rng, value):
    return -value if rng.random() < 0.5 else value


def h(value):
    return ('-' + format(-value, 'x')) if value < 0 else format(value, 'x')


def main():
    rng = random.Random(20261207)
    lines = []
    for _ in range(700):
        a, b = operand(rng, 12), operand(rng, rng.choice([3, 12, 32]))
        lines.append(f"umul {h(a)} {h(b)} {h(a * b)}")
    for _ in range(700):
        a = operand(rng, 10)
        b = operand(rng, 10) if rng.random() < 0.5 else max(0, a - operand(rng, 10))
        lines.append(f"usub {h(a)} {h(b)} {h(a - b) if a >= b else '!'}")
    for _ in range(1500):
        a = operand(rng, 66 if rng.random() < 0.1 else 12)
        r = rng.random()
        if r < 0.05:
            b = 0
        elif r < 0.5:
            # a divisor of similar length, where the quotient estimates are tight
            b = (a >> rng.randint(0, 96)) + rng.choice([0, 1, -1, rng.getrandbits(20)])
            b = max(b, 1)
        else:
            b = operand(rng, 12)
        q, rem = (0, a) if b == 0 else divmod(a, b)
        lines.append(f"udiv {h(a)} {h(b)} {h(q)} {h(rem)}")
    for _ in range(200):
        a = operand(rng, 8)
        lines.append(f"uinc {h(a)} {h(a + 1)}")
        lines.append(f"udec {h(a)} {h(a - 1) if a > 0 else '!'}")
    for _ in range(500):
        a, b = signed(rng, operand(rng, 8)), signed(rng, operand(rng, 8))
        lines.append(f"smul {h(a)} {h(b)} {h(a * b)}")
    for _ in range(1000):
        a, b = signed(rng, operand(rng, 12)), signed(rng, operand(rng, 8))
        if rng.random() < 0.05:
            b = 0
        q, rem = (0, a) if a == 0 or b == 0 else divmod(a, b)
        lines.append(f"sdiv {h(a)} {h(b)} {h(q)} {h(rem)}")
    for i in range(60):
        m = rng.getrandbits(1024) | (1 << 1023) if i % 4 else operand(rng, 32)
        x = rng.getrandbits(1024) if i % 5 else m + rng.randint(0, 5)
        x &= (1 << 1024) - 1
        e = rng.choice([0, 1, 2, 3, 65537, rng.getrandbits(1024), rng.getrandbits(rng.randint(1, 60))])
        if e == 0:
            res = 1
        elif m == 0:
            res = pow(x, e, 1 << 1024)
        else:
            res = pow(x, e, m)
        lines.append(f"modexp {h(x)} {h(e)} {h(m)} {h(res)}")
    here = os.path.dirname(os.path.abspath(__file__))
    with open(os.path.join(here, 'data', 'bigint_vectors.txt'), 'w') as out:
        out.write('\n'.join(lines) + '\n')


if __name__ == '__main__':
    main()
