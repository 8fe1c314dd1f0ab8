#!/usr/bin/env python3
"""Sigmat from Python: a DEA cross section folded with the resolution, a temperature scan of
the thermal DEA cross section, and its rate coefficients, drawn with matplotlib.

    PYTHONPATH=build/python /usr/bin/python3 docs/example.py OUTPUT_FOLDER [DATABASE]

Without DATABASE, the demo database is made in OUTPUT_FOLDER/demo-db by sigmat-demo-db (found
through the environment variable SIGMAT_DEMO_DB, or as build/sigmat-demo-db).
"""
import os
import subprocess
import sys

import matplotlib

matplotlib.use("Agg")
import matplotlib.pyplot as plt  # noqa: E402
import numpy as np  # noqa: E402

import sigmat  # noqa: E402


def database(out):
    if len(sys.argv) > 2:
        return sys.argv[2]
    path = os.path.join(out, "demo-db")
    if not os.path.exists(os.path.join(path, "index.dat")):
        generator = os.environ.get("SIGMAT_DEMO_DB", os.path.join("build", "sigmat-demo-db"))
        subprocess.run([generator, path], check=True, stdout=subprocess.DEVNULL)
    return path


def main():
    out = sys.argv[1]
    os.makedirs(out, exist_ok=True)
    db = sigmat.Database(database(out))

    # DEA of HCl from (v=2, J=0): the computed cross section and the same seen through an
    # electron beam of 50 meV and 150 meV FWHM.
    raw = db.curve("HCl:dea:v=2,J=0")
    fig, ax = plt.subplots(figsize=(7, 4.5))
    ax.plot(raw.energy, raw.sigma, label="computed")
    for fwhm in (50, 150):
        folded = sigmat.fold(raw.energy, raw.sigma, fwhm)
        ax.plot(raw.energy, folded, label=f"FWHM {fwhm} meV")
    ax.set_xlim(0, 2)
    ax.set_xlabel("Electron energy (eV)")
    ax.set_ylabel("Cross section (Å²)")
    ax.set_title("DEA of HCl(v=2, J=0), demo data")
    ax.legend()
    fig.tight_layout()
    fig.savefig(os.path.join(out, "example-fold.png"), dpi=100)

    # The thermal DEA cross section of HCl at several vibrational temperatures.
    temperatures = [300, 1000, 2000, 3000]
    scan = db.thermal("HCl", temperatures, 300)
    fig, ax = plt.subplots(figsize=(7, 4.5))
    for column, tv in enumerate(temperatures):
        ax.semilogy(scan.energy, scan.sigma[:, column], label=f"Tv = {tv} K")
    ax.set_xlim(0, 3)
    ax.set_ylim(1e-6, None)
    ax.set_xlabel("Electron energy (eV)")
    ax.set_ylabel("Cross section (Å²)")
    ax.set_title("Thermal DEA of HCl, TJ = 300 K, demo data")
    ax.legend()
    fig.tight_layout()
    fig.savefig(os.path.join(out, "example-scan.png"), dpi=100)

    # Maxwellian rate coefficients k(T) of each thermal average, against the electron
    # temperature.
    electron_t = np.geomspace(300, 30000, 40)
    k = sigmat.rate(scan, T=electron_t)
    fig, ax = plt.subplots(figsize=(7, 4.5))
    for column, tv in enumerate(temperatures):
        ax.loglog(electron_t, k[:, column], label=f"Tv = {tv} K")
    ax.set_xlabel("Electron temperature (K)")
    ax.set_ylabel("k (cm³/s)")
    ax.set_title("DEA rate coefficients of HCl, TJ = 300 K, demo data")
    ax.legend()
    fig.tight_layout()
    fig.savefig(os.path.join(out, "example-rate.png"), dpi=100)

    coverage = scan.provenance["coverage"]
    for tv, estimate in zip(temperatures, coverage):
        print(f"Tv = {tv} K: the listed states hold about "
              f"{100 * (1 - estimate['share_not_held']):.1f} % of the population")


if __name__ == "__main__":
    main()
