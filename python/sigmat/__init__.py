"""Electron-molecule collision cross sections of a Sigmat database as numpy arrays.

The computations are those of sigmat-cli and the dialog (the extension ``sigmat._sigmat``);
this package adds what Python users reach for: rate tables as numpy arrays that keep their
provenance, and pandas frames (pandas is imported only when a frame is asked for).
"""
from __future__ import annotations

from typing import Any

import numpy as np

from ._sigmat import (
    Curve,
    Database,
    DataError,
    __version__,
    fit_arrhenius,
    fold,
    rate,
    to_lxcat,
)

__all__ = [
    "Curve",
    "Database",
    "DataError",
    "RateArray",
    "__version__",
    "fit_arrhenius",
    "fold",
    "rate",
    "to_lxcat",
]


class RateArray(np.ndarray):
    """Rate coefficients (cm^3/s) of ``Database.rates``: a read-only float64 array of shape
    (len(tv), len(tj), len(abscissa)) whose ``provenance`` dict says what its axes are
    (``tv_K``, ``tj_K``, ``abscissa`` with ``abscissa_values`` and ``mean_energy_eV``), the
    distribution, the region below the table, the mass, and the thermal average's states and
    coverage, as a curve's provenance does. Slices and views keep the provenance; arithmetic
    gives plain arrays, whose numbers are no longer the table's."""

    provenance: dict[str, Any]

    def __array_finalize__(self, obj: Any) -> None:
        self.provenance = getattr(obj, "provenance", {})

    def __array_wrap__(self, array: Any, context: Any = None, *args: Any) -> Any:
        plain = np.asarray(array).view(np.ndarray)
        return plain[()] if plain.ndim == 0 else plain

    def to_pandas(self) -> Any:
        """The table as sigmat-cli rates writes it, a pandas DataFrame in long format: one
        row per (Tv, TJ, abscissa value), Tv outer, with the columns ``Tv_K``, ``TJ_K``, the
        abscissa (``T_K`` or ``mean_energy_eV``; ``mean_energy_eV`` alone for a tabulated
        distribution) and ``k_cm3/s``; the provenance in ``.attrs``. Raises ImportError
        when pandas is not installed."""
        pd = _pandas()
        p = self.provenance
        ntv, ntj, nx = self.shape
        columns: dict[str, Any] = {
            "Tv_K": np.repeat(p["tv_K"], ntj * nx),
            "TJ_K": np.tile(np.repeat(p["tj_K"], nx), ntv),
        }
        if p["abscissa"] != "eedf":
            columns[p["abscissa"]] = np.tile(p["abscissa_values"], ntv * ntj)
        if p["abscissa"] != "mean_energy_eV":
            columns["mean_energy_eV"] = np.tile(p["mean_energy_eV"], ntv * ntj)
        columns["k_cm3/s"] = np.asarray(self).reshape(-1)
        frame = pd.DataFrame(columns)
        frame.attrs.update(p)
        return frame


def _pandas() -> Any:
    try:
        import pandas
    except ImportError as missing:
        raise ImportError(
            "to_pandas needs pandas (Debian: apt install python3-pandas; elsewhere: "
            "pip install pandas)") from missing
    return pandas


def _curve_to_pandas(self: Curve) -> Any:
    """The curve as a pandas DataFrame with the provenance in ``.attrs``. One curve: indexed
    by ``E_eV``, one column named as sigmat-cli names it (``sigma_A2``, ``sigma_cm2`` or
    ``sigma_m2``). A scan: long format, one row per pair and energy (pairs outer), with the
    columns ``Tv_K``, ``TJ_K``, ``E_eV`` and ``sigma_A2`` (in the curve's units). Raises
    ImportError when pandas is not installed."""
    pd = _pandas()
    name = "sigma_" + self.units
    sigma = np.asarray(self.sigma)
    provenance = self.provenance
    if sigma.ndim == 1:
        frame = pd.DataFrame({name: sigma}, index=pd.Index(np.asarray(self.energy), name="E_eV"))
    else:
        n = len(self.energy)
        pairs = np.asarray(provenance["temperatures"], dtype=np.int64).reshape(-1, 2)
        frame = pd.DataFrame({
            "Tv_K": np.repeat(pairs[:, 0], n),
            "TJ_K": np.repeat(pairs[:, 1], n),
            "E_eV": np.tile(np.asarray(self.energy), len(pairs)),
            name: sigma.T.reshape(-1),
        })
    frame.attrs.update(provenance)
    frame.attrs["units"] = self.units
    return frame


_curve_to_pandas.__name__ = "to_pandas"
_curve_to_pandas.__qualname__ = "Curve.to_pandas"
setattr(Curve, "to_pandas", _curve_to_pandas)
RateArray.__module__ = "sigmat"
