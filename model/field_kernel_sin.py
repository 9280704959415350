#!/usr/bin/env python3
# field_kernel_sin.py -- derives the coefficients of the vector field kernel's sine
# (field_kernel_body.h): sin r ~ r + r^3 P(r^2) on [-pi/2, pi/2], P of degree 7 chosen by the
# Remez exchange to minimise the largest relative error. Needs mpmath (python3-mpmath).
import mpmath as mp

mp.mp.dps = 50
DEGREE = 7
# A little beyond pi/2: the reduction's rounding can leave |r| just above it.
LOW, HIGH = mp.mpf(0), (mp.pi / 2 + mp.mpf("1e-6")) ** 2  # in z = r^2


def target(z):
    """(sin r - r) / r^3, the function P stands for."""
    if z < mp.mpf("1e-20"):
        return -mp.mpf(1) / 6 + z / 120 - z * z / 5040
    r = mp.sqrt(z)
    return (mp.sin(r) - r) / r**3


def weight(z):
    """Turns an error in P into a relative error of the sine: r^3 / sin r."""
    if z < mp.mpf("1e-20"):
        return mp.mpf(1)
    r = mp.sqrt(z)
    return r**3 / mp.sin(r)


def remez(degree, rounds=12, grid=2000):
    n = degree + 2
    points = [(LOW + HIGH) / 2 - (HIGH - LOW) / 2 * mp.cos(mp.pi * i / (n - 1)) for i in range(n)]
    for _ in range(rounds):
        # P(z_i) + (-1)^i E / w(z_i) = target(z_i): the error levels out at +-E.
        m = mp.matrix(n, n)
        rhs = mp.matrix(n, 1)
        for i, z in enumerate(points):
            for k in range(degree + 1):
                m[i, k] = z**k
            m[i, degree + 1] = (-1) ** i / weight(z)
            rhs[i] = target(z)
        solution = mp.lu_solve(m, rhs)
        coefficients = [solution[k] for k in range(degree + 1)]

        def error(z):
            return weight(z) * (mp.polyval(coefficients[::-1], z) - target(z))

        zs = [LOW + (HIGH - LOW) * i / grid for i in range(grid + 1)]
        values = [error(z) for z in zs]
        # The largest error of each run of one sign becomes the next set of points.
        runs, run = [], [0]
        for i in range(1, grid + 1):
            if mp.sign(values[i]) == mp.sign(values[run[0]]):
                run.append(i)
            else:
                runs.append(run)
                run = [i]
        runs.append(run)
        peaks = [max(r, key=lambda i: abs(values[i])) for r in runs]
        while len(peaks) > n:
            peaks.pop(0 if abs(values[peaks[0]]) < abs(values[peaks[-1]]) else -1)
        points = [zs[i] for i in peaks]
    return coefficients, max(abs(v) for v in values)


if __name__ == "__main__":
    coefficients, worst = remez(DEGREE)
    print(f"largest relative error before rounding: {mp.nstr(worst, 3)}")
    for k, c in enumerate(coefficients):
        print(f"constexpr double kS{2 * k + 3} = {float(c)!r};")
