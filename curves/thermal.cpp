#include "curves/thermal.h"

#include "curves/scan_sums.h"
#include "curves/state_curves.h"

#include "numerics/convolution.h"
#include "numerics/thermal_average.h"
#include "store/paths.h"
#include "store/state_files.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <memory>
#include <thread>

#if defined(__linux__)
#include <sys/mman.h>
#endif

namespace sigmat::curves {
namespace {

using numerics::AddOutcome;

// The ground state's grid and level energy, or why not.
struct Ground {
    numerics::CommonEnergyGrid grid;
    double e00 = 0.0;
};

store::Result<Ground> read_ground(store::FileSystem& files, std::string_view db,
                                  std::string_view molecule) {
    const std::string path = store::ground_state_path(files, db, molecule);
    store::FileBytes bytes;
    switch (files.read(path, bytes)) {
    case store::ReadStatus::ok:
        break;
    case store::ReadStatus::missing:
    case store::ReadStatus::not_regular:
        return store::data_error(path, 0, ground_state_missing_message);
    case store::ReadStatus::unreadable:
    case store::ReadStatus::too_large:
        return store::data_error(path, 0, store::cannot_read_message);
    }
    store::Result<store::GroundState> ground = store::read_ground_state(bytes.text(), path);
    if (!ground)
        return std::move(ground).error();
    const store::GroundState& g = *ground;
    Ground out;
    out.grid = numerics::build_grid(g.e1, g.grid.max_energy, g.grid.resolution_mev, g.e2);
    out.e00 = g.e00;
    return out;
}

store::DataError incompatible(std::string_view path) {
    return store::data_error(path, 0, incompatible_message);
}

double kt(std::int32_t kelvin) {
    return kelvin * numerics::boltzmann_ev_per_k;
}

// What the states' rows leave when the average is done: divided by the weight total, small
// values cut, folded.
store::Status finish_column(numerics::ThermalAverage& average, std::optional<std::int32_t> fwhm_mev,
                            std::string_view path) {
    numerics::finish_average(average);
    if (fwhm_mev)
        return fold_values(average.grid.energies, average.sums, *fwhm_mev, path);
    return {};
}

// One pair, the states read and added one after the other as they come.
store::Result<Curve> single_pair(store::FileSystem& files, std::string_view db,
                                 std::string_view molecule, TemperaturePair pair,
                                 std::optional<std::int32_t> fwhm_mev, const Ground& ground) {
    numerics::ThermalAverage average =
        numerics::start_average(ground.grid, kt(pair.tv_k), kt(pair.tj_k), ground.e00);
    store::KnownEnergies known(average.sums.size());
    Curve curve;
    store::FileBytes bytes;
    double ev0 = 0.0;
    std::int32_t ended_level = -1; // a level whose file went missing while being read
    for (const store::StateFile& state : store::list_state_files(files, db, molecule)) {
        if (state.v == ended_level)
            continue;
        const store::ReadStatus status = files.read(state.path, bytes);
        if (status == store::ReadStatus::missing || status == store::ReadStatus::not_regular) {
            ended_level = state.v;
            continue;
        }
        if (status != store::ReadStatus::ok) {
            return store::data_error(state.path, 0, store::cannot_read_message);
        }
        store::LineCursor cursor(bytes.text());
        const std::optional<double> evj = store::read_level_energy(cursor);
        if (!evj) {
            return store::data_error(state.path, 3, store::cannot_read_message);
        }
        if (state.j == 0)
            ev0 = *evj;
        // A level energy far below its reference gives a population beyond any double: such
        // files do not belong together.
        const double w =
            numerics::state_weight(state.j, *evj, ev0, ground.e00, average.kTv, average.kTJ);
        if (!std::isfinite(w)) {
            return incompatible(state.path);
        }
        const store::StateSpan span = store::add_state_rows(average, w, cursor, known);
        if (span.outcome == AddOutcome::incompatible) {
            return incompatible(state.path);
        }
        if (span.outcome == AddOutcome::added)
            curve.provenance.states.push_back({state.v, state.j, *evj, {w}, state.path});
    }
    // No state on the grid at all: nothing to average.
    if (!(average.weight_total > 0.0)) {
        return incompatible(store::ground_state_path(files, db, molecule));
    }
    curve.provenance.weight_totals.push_back(average.weight_total);
    if (store::Status finished =
            finish_column(average, fwhm_mev, store::ground_state_path(files, db, molecule));
        !finished)
        return std::move(finished).error();
    curve.energy = std::move(average.grid.energies);
    curve.sigma = std::move(average.sums);
    return curve;
}

// A state read for a scan. Its rows on the grid (weight 1) are handed to the caller.
struct LoadedState {
    store::ReadStatus status = store::ReadStatus::ok;
    bool level_read = false;
    double evj = 0.0;
    AddOutcome outcome = AddOutcome::skipped;
    std::size_t first = 0;
    std::vector<double> values; // the sparse way: grid points first, first + 1, ...
};

// Runs `work(k)` for k = 0..count-1 on `threads` threads, each taking every threads-th k.
template <typename Work> void share(std::size_t count, unsigned threads, const Work& work) {
    const unsigned n = std::max(1u, std::min<unsigned>(threads, static_cast<unsigned>(count)));
    if (n <= 1) {
        for (std::size_t k = 0; k < count; ++k)
            work(k, 0u);
        return;
    }
    std::vector<std::thread> pool;
    for (unsigned t = 0; t < n; ++t)
        pool.emplace_back([&, t] {
            for (std::size_t k = t; k < count; k += n)
                work(k, t);
        });
    for (std::thread& thread : pool)
        thread.join();
}

// Reads every state file once, `threads` at a time; `keep(k, first, values, count)` takes the
// rows of each state that was added (the cross sections themselves, weight 1, at grid points
// first, first + 1, ...).
template <typename Keep>
void load_states(store::FileSystem& files, const std::vector<store::StateFile>& states,
                 const Ground& ground, unsigned threads, std::vector<LoadedState>& loaded,
                 const Keep& keep) {
    loaded.assign(states.size(), LoadedState{});
    struct Scratch {
        store::FileBytes bytes;
        numerics::ThermalAverage average;
        store::KnownEnergies known{0};
    };
    const unsigned n = std::max(1u, threads);
    std::vector<Scratch> scratch(n);
    for (Scratch& s : scratch) {
        s.average = numerics::start_average(ground.grid, 0.0, 0.0, ground.e00);
        s.known = store::KnownEnergies(s.average.sums.size());
    }
    share(states.size(), n, [&](std::size_t k, unsigned t) {
        Scratch& s = scratch[t];
        LoadedState& out = loaded[k];
        out.status = files.read(states[k].path, s.bytes);
        if (out.status != store::ReadStatus::ok)
            return;
        store::LineCursor cursor(s.bytes.text());
        const std::optional<double> evj = store::read_level_energy(cursor);
        if (!evj)
            return;
        out.level_read = true;
        out.evj = *evj;
        // Weight 1: each sum then holds the cross section itself, exactly.
        const store::StateSpan span = store::add_state_rows(s.average, 1.0, cursor, s.known);
        out.outcome = span.outcome;
        double* sums = s.average.sums.data();
        if (span.outcome == AddOutcome::added) {
            out.first = span.first;
            keep(k, span.first, sums + span.first, span.last + 1 - span.first);
            std::fill(sums + span.first, sums + span.last + 1, 0.0);
        } else if (span.outcome == AddOutcome::incompatible) {
            std::fill(s.average.sums.begin(), s.average.sums.end(), 0.0);
        }
    });
}

// Grid points that one thread sums at a time on the sparse way.
constexpr std::size_t block_points = 512;
// Points of one block of the laid-out rows: a block of every state's values fits the cache.
constexpr std::size_t dense_block = 64;

// Memory for the laid-out rows, all zero from the start. Tens of megabytes are written once:
// where the system gives huge pages for it, a few page faults instead of thousands.
class ZeroedBuffer {
  public:
    explicit ZeroedBuffer(std::size_t count) : count_(count) {
#if defined(__linux__)
        constexpr std::size_t huge = std::size_t{2} << 20;
        const std::size_t bytes = count * sizeof(double);
        mapped_ = bytes + huge;
        void* at =
            ::mmap(nullptr, mapped_, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (at != MAP_FAILED) {
            base_ = at;
            void* aligned = at;
            std::size_t space = mapped_;
            data_ = static_cast<double*>(std::align(huge, bytes, aligned, space));
            ::madvise(data_, bytes, MADV_HUGEPAGE);
            return;
        }
#endif
        fallback_.assign(count, 0.0);
        data_ = fallback_.data();
    }
    ~ZeroedBuffer() {
#if defined(__linux__)
        if (base_ != nullptr)
            ::munmap(base_, mapped_);
#endif
    }
    ZeroedBuffer(const ZeroedBuffer&) = delete;
    ZeroedBuffer& operator=(const ZeroedBuffer&) = delete;
    double* data() {
        return data_;
    }
    std::size_t size() const {
        return count_;
    }

  private:
    std::size_t count_ = 0;
    double* data_ = nullptr;
    void* base_ = nullptr;
    std::size_t mapped_ = 0;
    std::vector<double> fallback_;
};

store::Result<Curve> scan(store::FileSystem& files, std::string_view db, std::string_view molecule,
                          std::span<const TemperaturePair> pairs,
                          std::optional<std::int32_t> fwhm_mev, const Ground& ground,
                          unsigned threads) {
    const std::vector<store::StateFile> states = store::list_state_files(files, db, molecule);
    const std::size_t n = ground.grid.energies.size();
    const std::size_t state_count = states.size();
    const std::size_t dense_blocks = (n + dense_block - 1) / dense_block;
    // The states' rows laid out by blocks of points: a block holds every state's values at
    // its points, one state after the other (0 where a file has no row: adding 0 leaves a
    // sum as it is), so that a block stays in the cache while every pair is summed.
    const bool dense = state_count * dense_blocks * dense_block <= detail::scan_layout_limit();
    std::optional<ZeroedBuffer> layout;
    if (dense)
        layout.emplace(state_count * dense_blocks * dense_block);
    std::vector<LoadedState> loaded;
    load_states(files, states, ground, threads, loaded,
                [&](std::size_t k, std::size_t first, const double* values, std::size_t count) {
                    if (!dense) {
                        loaded[k].values.assign(values, values + count);
                        return;
                    }
                    double* out = layout->data();
                    for (std::size_t r = 0; r < count; ++r) {
                        const std::size_t i = first + r;
                        out[((i / dense_block) * state_count + k) * dense_block + i % dense_block] =
                            values[r];
                    }
                });

    // The weights of every state for every pair, checked in the order of the states as a run
    // of one pair would check them; states of a level whose file went missing while being
    // read, and those after them in the level, count as never found.
    const std::size_t pair_count = pairs.size();
    std::vector<std::vector<double>> weights(pair_count, std::vector<double>(states.size(), 0.0));
    std::vector<bool> used(states.size(), false);
    std::vector<double> totals(pair_count, 0.0);
    for (std::size_t p = 0; p < pair_count; ++p) {
        const double ktv = kt(pairs[p].tv_k), ktj = kt(pairs[p].tj_k);
        double ev0 = 0.0;
        std::int32_t ended_level = -1;
        for (std::size_t k = 0; k < states.size(); ++k) {
            const store::StateFile& state = states[k];
            const LoadedState& s = loaded[k];
            if (state.v == ended_level)
                continue;
            if (s.status == store::ReadStatus::missing ||
                s.status == store::ReadStatus::not_regular) {
                ended_level = state.v;
                continue;
            }
            if (s.status != store::ReadStatus::ok || !s.level_read) {
                return store::data_error(state.path, s.status == store::ReadStatus::ok ? 3 : 0,
                                         store::cannot_read_message);
            }
            if (state.j == 0)
                ev0 = s.evj;
            const double w = numerics::state_weight(state.j, s.evj, ev0, ground.e00, ktv, ktj);
            if (!std::isfinite(w) || s.outcome == AddOutcome::incompatible) {
                return incompatible(state.path);
            }
            if (s.outcome == AddOutcome::added) {
                weights[p][k] = w;
                totals[p] += w;
                used[k] = true;
            }
        }
        if (!(totals[p] > 0.0)) {
            return incompatible(store::ground_state_path(files, db, molecule));
        }
    }

    // The sums: for each grid point and pair, the states' contributions in the order of the
    // states, as the run of one pair adds them, straight into the curve's columns.
    Curve curve;
    curve.energy = ground.grid.energies;
    curve.columns = pair_count;
    curve.sigma.assign(pair_count * n, 0.0);
    double* const columns = curve.sigma.data();
    if (dense) {
        // The weights by state (0 for a state that did not enter).
        std::vector<double> by_state(state_count * pair_count, 0.0);
        for (std::size_t k = 0; k < state_count; ++k)
            for (std::size_t p = 0; p < pair_count; ++p)
                by_state[k * pair_count + p] = weights[p][k];
        share(dense_blocks, threads, [&](std::size_t b, unsigned) {
            detail::ScanSums job;
            job.values = layout->data() + b * state_count * dense_block;
            job.value_stride = dense_block;
            job.weights = by_state.data();
            job.states = state_count;
            job.pairs = pair_count;
            job.points = std::min(dense_block, n - b * dense_block);
            job.sums = columns + b * dense_block;
            job.sum_stride = n;
            detail::scan_sums(job);
        });
    } else {
        const std::size_t blocks = (n + block_points - 1) / block_points;
        share(blocks, threads, [&](std::size_t b, unsigned) {
            const std::size_t lo = b * block_points, hi = std::min(n, lo + block_points);
            for (std::size_t k = 0; k < state_count; ++k) {
                if (!used[k])
                    continue;
                const LoadedState& st = loaded[k];
                const std::size_t from = std::max(lo, st.first);
                const std::size_t to = std::min(hi, st.first + st.values.size());
                if (from >= to)
                    continue;
                const double* row = st.values.data() + (from - st.first);
                for (std::size_t p = 0; p < pair_count; ++p) {
                    const double w = weights[p][k];
                    double* sums = columns + p * n;
                    for (std::size_t i = from; i < to; ++i)
                        sums[i] += row[i - from] * w;
                }
            }
        });
    }
    std::vector<store::Status> folded(pair_count);
    const std::string ground_path = store::ground_state_path(files, db, molecule);
    share(pair_count, threads, [&](std::size_t p, unsigned) {
        const std::span<double> column(columns + p * n, n);
        numerics::finish_sums(column, totals[p]);
        if (fwhm_mev)
            folded[p] = fold_values(curve.energy, column, *fwhm_mev, ground_path);
    });
    for (store::Status& status : folded)
        if (!status)
            return std::move(status).error();
    curve.provenance.weight_totals = totals;
    for (std::size_t k = 0; k < states.size(); ++k)
        if (used[k]) {
            StateWeight sw{states[k].v, states[k].j, loaded[k].evj, {}, states[k].path};
            for (std::size_t p = 0; p < pair_count; ++p)
                sw.weights.push_back(weights[p][k]);
            curve.provenance.states.push_back(std::move(sw));
        }
    return curve;
}

} // namespace

store::Result<Curve> thermal_curve(store::FileSystem& files, std::string_view db,
                                   std::string_view molecule,
                                   std::span<const TemperaturePair> pairs,
                                   std::optional<std::int32_t> fwhm_mev, unsigned threads) {
    store::Result<Ground> ground = read_ground(files, db, molecule);
    if (!ground)
        return std::move(ground).error();
    store::Result<Curve> result =
        pairs.size() == 1 ? single_pair(files, db, molecule, pairs[0], fwhm_mev, *ground)
                          : scan(files, db, molecule, pairs, fwhm_mev, *ground, threads);
    if (result) {
        Provenance& p = result->provenance;
        p.database = std::string(db);
        p.fwhm_mev = fwhm_mev;
        p.temperatures.assign(pairs.begin(), pairs.end());
        for (const StateWeight& s : p.states)
            p.source_files.push_back(s.file);
    }
    return result;
}

} // namespace sigmat::curves
