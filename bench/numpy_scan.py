#!/usr/bin/env python3
"""A temperature scan the way a numpy user does it, against sigmat-cli on the same database.

    numpy_scan.py DB SIGMAT_CLI

Reads every state file of the molecule HCl with numpy.loadtxt, weights each with its
Boltzmann population at 100 (Tv, TJ) pairs and sums them (all files share one grid here),
and times that against the sigmat Python module's Database.thermal (when it can be imported)
and `sigmat-cli thermal` (which also writes its table) doing the same scan. Goal: sigmat at
least 50 times faster.
"""
import glob
import os
import subprocess
import sys
import time

import numpy as np

BOLTZMANN_EV_PER_K = 8.617385e-05


def numpy_scan(db, tvs, tjs):
    files = sorted(glob.glob(os.path.join(db, "HCl", "da", "nu*", "da*j*.dat")))
    states = []
    for path in files:
        name = os.path.basename(path)
        v, j = int(name[2:4]), int(name[5:7])
        with open(path) as f:
            level = float(f.readlines()[2][11:22])
        table = np.loadtxt(path, skiprows=8)
        states.append((v, j, level, table[:, 1]))
    energies = np.loadtxt(files[0], skiprows=8)[:, 0]
    ground = {v: level for v, j, level, _ in states if j == 0}
    e00 = ground[0]
    sigma = np.stack([s for _, _, _, s in states])
    columns = []
    for tv in tvs:
        for tj in tjs:
            w = np.array([(2 * j + 1) * np.exp(-(level - ground[v]) / (BOLTZMANN_EV_PER_K * tj))
                          * np.exp(-(ground[v] - e00) / (BOLTZMANN_EV_PER_K * tv))
                          for v, j, level, _ in states])
            columns.append(w @ sigma / w.sum())
    return energies, np.array(columns)


def main():
    db, cli = sys.argv[1], sys.argv[2]
    tvs = [300 + 300 * a for a in range(10)]
    tjs = [100 + 100 * b for b in range(10)]
    start = time.perf_counter()
    numpy_scan(db, tvs, tjs)
    numpy_seconds = time.perf_counter() - start
    command = [cli, "--db", db, "thermal", "HCl", "--tv", "300:3000:300", "--tj", "100:1000:100",
               "-o", os.devnull]
    best = None
    for _ in range(3):
        start = time.perf_counter()
        subprocess.run(command, check=True, stderr=subprocess.DEVNULL)
        elapsed = time.perf_counter() - start
        best = elapsed if best is None else min(best, elapsed)
    module_best = None
    try:
        import sigmat
        database = sigmat.Database(db)
        for _ in range(3):
            start = time.perf_counter()
            scan = database.thermal("HCl", tvs, tjs)
            elapsed = time.perf_counter() - start
            module_best = elapsed if module_best is None else min(module_best, elapsed)
        energies, columns = numpy_scan(db, tvs[:1], tjs[:1])
        # The same numbers, but for the values below 1e-20 that an average sets to 0.
        assert np.allclose(scan.sigma[:, 0], columns[0], rtol=1e-12, atol=1e-20)
    except ImportError:
        pass
    print(f"numpy scan (loadtxt + weighted sums): {numpy_seconds:.3f} s")
    if module_best is not None:
        print(f"sigmat Database.thermal, best of 3:   {module_best:.3f} s")
    print(f"sigmat-cli thermal, best of 3:        {best:.3f} s")
    print(f"{'ratio':<44} {'measured':>12}   goal")
    if module_best is not None:
        print(f"{'numpy / sigmat (Python module)':<44} {numpy_seconds / module_best:12.2f}   >= 50")
    print(f"{'numpy / sigmat-cli (with its output)':<44} {numpy_seconds / best:12.2f}   >= 50")


if __name__ == "__main__":
    main()
