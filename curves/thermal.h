// DEA of a thermal gas: every state-resolved DEA cross section of a molecule weighted with
// its Boltzmann population at the vibrational temperature Tv (between levels, relative to
// the ground state) and the rotational temperature TJ (within a level, relative to its
// J = 0 state), times the degeneracy 2J + 1, summed on the ground state's grid and divided
// by the sum of the weights.
//
// The state files are walked v = 0, 1, ... while the level's folder exists and, within a
// level, J = 0, 1, ... up to the first missing file (store/state_files.h). A state whose
// first row lies above the grid's top or off the grid is skipped; one whose later rows leave
// the grid spacing makes the files incompatible.
#pragma once

#include "curves/curve.h"
#include "store/error.h"
#include "store/field_reading.h"
#include "store/file_system.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

namespace sigmat::curves {

inline constexpr std::string_view ground_state_missing_message = "Ground state data file not found";
inline constexpr std::string_view incompatible_message = "Incompatible data files.";

// The average at every (Tv, TJ) of `pairs`, one column each, in their order, folded with the
// resolution when `fwhm_mev` is given. The state files are read once for all pairs; the work
// is shared among `threads` threads (0: one), and every column is bit for bit what a run for
// its pair alone gives, whatever the number of threads.
//
// Failures, each ending the whole computation: the ground state missing or not a regular
// file (ground_state_missing_message); a state file that exists but cannot be read, or a
// header that cannot be read (store::cannot_read_message with the file); rows off the grid, a
// weight beyond any number, or no state on the grid at all (incompatible_message). With
// several pairs the first failure in the order of the states is reported, as the run of the
// first pair that meets it would report it.
//
// How the sums are taken; every way gives the same bits, the choice is for memory and speed
// (and for tests, which take each way):
enum class ScanMethod {
    automatic, // streamed up to streamed_pairs_limit pairs; above, laid_out when the states'
               // rows on the grid come to at most laid_out_limit values, else by_state
    streamed,  // one thread reads the states one after the other and adds each row to every
               // pair's sum as it is read
    laid_out,  // all threads read the states; their rows are laid out by blocks of points and
               // summed a block of points and pairs at a time (curves/scan_sums.h)
    by_state,  // all threads read the states; each state's own rows are kept and summed block by
               // block
};
inline constexpr std::size_t streamed_pairs_limit = 1;
inline constexpr std::size_t laid_out_limit = std::size_t{1} << 27;
struct ScanOptions {
    ScanMethod method = ScanMethod::automatic;
    bool wide_sums = true; // laid_out: 256-bit sums where the processor has AVX2
    store::FieldReading reading = store::FieldReading::automatic;
    // The limits of a request of the command line or Python (within_limits of
    // curves/selector.h), checked once the grid is known, before anything is read further.
    bool request_limits = false;
};

store::Result<Curve> thermal_curve(store::FileSystem& files, std::string_view db,
                                   std::string_view molecule,
                                   std::span<const TemperaturePair> pairs,
                                   std::optional<std::int32_t> fwhm_mev, unsigned threads = 1,
                                   const ScanOptions& options = {});

// The rate integrals of the average at every pair, for distributions given by their weights on
// the average's grid (numerics::rate_weights on it): for each pair and each row of weights, the
// sum over the grid of the weight times the average there, and the average's value at the
// grid's first energy (what the threshold law below the grid extends). Taken state by state:
// each state's integral once, on the grid with the average's conventions (zero below its first
// row and above its last), then weighted by the state's population at each pair, which is far
// less work than averaging first when there are many pairs. `weights_for` gets the grid once it
// is known and gives the rows, or an error that ends the computation. The states, their
// weights and the failures are those of thermal_curve (without a fold); with request_limits a
// cell is one integral (pairs times rows).
struct ThermalIntegrals {
    Curve average; // the grid as energy and the provenance of the average; sigma left empty
    std::size_t rows = 0;
    std::vector<double> integrals;    // pair after pair, `rows` values each
    std::vector<double> first_values; // one per pair
};
using GridWeights =
    std::function<store::Result<std::vector<std::vector<double>>>(std::span<const double> grid)>;
store::Result<ThermalIntegrals>
thermal_integrals(store::FileSystem& files, std::string_view db, std::string_view molecule,
                  std::span<const TemperaturePair> pairs, const GridWeights& weights_for,
                  unsigned threads = 1, const ScanOptions& options = {});

} // namespace sigmat::curves
