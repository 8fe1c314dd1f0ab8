#include "curves/thermal.h"

#include "curves/scan_sums.h"
#include "curves/selector.h"
#include "curves/state_curves.h"

#include "numerics/thermal_average.h"
#include "store/paths.h"
#include "store/state_files.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdint>
#include <exception>
#include <memory>
#include <mutex>
#include <new>
#include <system_error>
#include <thread>

#if defined(__linux__)
#include <sys/mman.h>
#endif

namespace sigmat::curves {
namespace {

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

// Runs `work(k, slot)` for k = 0..count-1 on up to `threads` threads, the calling one among
// them; each takes the next k that nobody has taken, and `slot` (below `threads`) names the
// thread's own scratch. A thread the system will not start leaves its share to the others; a
// failure inside the work (std::bad_alloc) stops the rest and reaches the caller, as it would
// without threads.
template <typename Work> void share(std::size_t count, unsigned threads, const Work& work) {
    const unsigned n = std::max(1u, std::min<unsigned>(threads, static_cast<unsigned>(count)));
    std::atomic<std::size_t> next{0};
    std::mutex failed;
    std::exception_ptr failure;
    auto run = [&](unsigned slot) {
        try {
            for (std::size_t k; (k = next.fetch_add(1)) < count;)
                work(k, slot);
        } catch (...) {
            next = count;
            const std::lock_guard lock(failed);
            if (!failure)
                failure = std::current_exception();
        }
    };
    std::vector<std::thread> pool;
    try {
        pool.reserve(n - 1);
        for (unsigned slot = 1; slot < n; ++slot)
            pool.emplace_back(run, slot);
    } catch (const std::system_error&) {
    } catch (const std::bad_alloc&) {
    }
    run(0);
    for (std::thread& thread : pool)
        thread.join();
    if (failure)
        std::rethrow_exception(failure);
}

// One state file as it was read: whether it could be, its level energy, and where its rows
// landed on the grid (the rows themselves went to the caller's sink).
struct StateRead {
    store::ReadStatus status = store::ReadStatus::ok;
    bool level_read = false;
    double evj = 0.0;
    store::StateSpan span;
};

// Reads one state file and hands its rows to `sink`.
StateRead read_state(store::FileSystem& files, const store::StateFile& state,
                     std::span<const double> grid, store::FileBytes& bytes,
                     store::KnownEnergies& known, store::RowSink sink,
                     store::FieldReading reading) {
    StateRead out;
    out.status = files.read(state.path, bytes);
    if (out.status != store::ReadStatus::ok)
        return out;
    store::LineCursor cursor(bytes.text());
    const std::optional<double> evj = store::read_level_energy(cursor);
    if (!evj)
        return out;
    out.level_read = true;
    out.evj = *evj;
    out.span = store::read_state_rows(grid, cursor, known, sink, reading);
    return out;
}

// What a thread that reads state files keeps from one file to the next: the bytes and the
// grid's energies as already read.
struct ReadScratch {
    store::FileBytes bytes;
    store::KnownEnergies known{0};
};
std::vector<ReadScratch> read_scratch(unsigned threads, std::size_t points) {
    std::vector<ReadScratch> scratch(threads);
    for (ReadScratch& s : scratch)
        s.known = store::KnownEnergies(points);
    return scratch;
}

// The weights of the states for every pair, taken in the order of the states as the run of one
// pair takes them: a level whose file went missing while being read ends there (the states
// after it in the level count as never found); a file that cannot be read, a level energy that
// cannot be read, rows off the grid or a weight beyond any number end the average.
class Weights {
  public:
    Weights(std::span<const TemperaturePair> pairs, double e00) : pairs_(pairs), e00_(e00) {
        totals_.assign(pairs.size(), 0.0);
        weights_.resize(pairs.size());
    }

    // The next state of the walk: false when it is not to be looked at (its level ended).
    bool wanted(const store::StateFile& state) const { return state.v != ended_level_; }

    // Before the state's rows: its weights (one per pair) from its level energy; false when the
    // state is not looked at further (its level ended here), or the error.
    store::Result<bool> weigh(const store::StateFile& state, const StateRead& read) {
        if (read.status == store::ReadStatus::missing ||
            read.status == store::ReadStatus::not_regular) {
            ended_level_ = state.v;
            return false;
        }
        if (read.status != store::ReadStatus::ok || !read.level_read)
            return store::data_error(state.path, read.status == store::ReadStatus::ok ? 3 : 0,
                                     store::cannot_read_message);
        if (state.j == 0)
            ev0_ = read.evj;
        for (std::size_t p = 0; p < pairs_.size(); ++p) {
            // A level energy far below its reference gives a population beyond any double:
            // such files do not belong together.
            weights_[p] = numerics::state_weight(state.j, read.evj, ev0_, e00_, kt(pairs_[p].tv_k),
                                                 kt(pairs_[p].tj_k));
            if (!std::isfinite(weights_[p]))
                return incompatible(state.path);
        }
        return true;
    }

    // After the state's rows: whether it entered the average (its weights then count), or the
    // error.
    store::Result<bool> count(const store::StateFile& state, const store::StateSpan& span) {
        if (span.outcome == store::RowsOutcome::incompatible)
            return incompatible(state.path);
        if (span.outcome != store::RowsOutcome::on_grid)
            return false;
        for (std::size_t p = 0; p < pairs_.size(); ++p)
            totals_[p] += weights_[p];
        return true;
    }

    // The states read already (`reads`, in the order of `states`), weighed in their order:
    // `use(k)` for each state k that entered the average, weights() then holding its weights;
    // the first failure ends the walk.
    template <typename Use>
    store::Status walk(const std::vector<store::StateFile>& states,
                       const std::vector<StateRead>& reads, const Use& use) {
        for (std::size_t k = 0; k < states.size(); ++k) {
            if (!wanted(states[k]))
                continue;
            const store::Result<bool> weighed = weigh(states[k], reads[k]);
            if (!weighed)
                return weighed.error();
            if (!*weighed)
                continue;
            const store::Result<bool> entered = count(states[k], reads[k].span);
            if (!entered)
                return entered.error();
            if (*entered)
                use(k);
        }
        return {};
    }

    const std::vector<double>& weights() const { return weights_; }
    const std::vector<double>& totals() const { return totals_; }

  private:
    std::span<const TemperaturePair> pairs_;
    double e00_;
    double ev0_ = 0.0;
    std::int32_t ended_level_ = -1;
    std::vector<double> weights_, totals_;
};

// Memory for the laid-out rows, all zero from the start. Tens of megabytes are written once:
// where the system gives huge pages for it, a few page faults instead of thousands.
class ZeroedBuffer {
  public:
    explicit ZeroedBuffer(std::size_t count) {
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

  private:
    double* data_ = nullptr;
    void* base_ = nullptr;
    std::size_t mapped_ = 0;
    std::vector<double> fallback_;
};

// Points of one block of the laid-out rows: a block of every state's values fits the cache.
constexpr std::size_t dense_block = 64;
// Grid points that one thread sums at a time by state.
constexpr std::size_t block_points = 512;

// The sums of a scan: for each grid point and pair, the states' contributions in the order of
// the states, each product rounded on its own, as the run of one pair adds them; so every way
// gives the same bits. Columns are pair after pair, as Curve::sigma holds them.
class Scan {
  public:
    Scan(store::FileSystem& files, const std::vector<store::StateFile>& states,
         const Ground& ground, std::span<const TemperaturePair> pairs, unsigned threads,
         const ScanOptions& options)
        : files_(files), states_(states), grid_(ground.grid.energies), pairs_(pairs),
          threads_(std::max(1u, threads)), options_(options), weights_(pairs, ground.e00),
          columns_(pairs.size() * grid_.size(), 0.0) {}

    store::Status run() {
        switch (method()) {
        case ScanMethod::streamed:
            return streamed();
        case ScanMethod::laid_out:
            return batched(true);
        case ScanMethod::automatic:
        case ScanMethod::by_state:
            break;
        }
        return batched(false);
    }

    std::vector<double>& columns() { return columns_; }
    const std::vector<double>& totals() const { return weights_.totals(); }
    std::vector<StateWeight>& entered() { return entered_; }

  private:
    ScanMethod method() const {
        if (options_.method != ScanMethod::automatic)
            return options_.method;
        if (pairs_.size() <= streamed_pairs_limit)
            return ScanMethod::streamed;
        const std::size_t blocks = (grid_.size() + dense_block - 1) / dense_block;
        return states_.size() * blocks * dense_block <= laid_out_limit ? ScanMethod::laid_out
                                                                       : ScanMethod::by_state;
    }

    void enter(const store::StateFile& state, const StateRead& read,
               const std::vector<double>& weights) {
        entered_.push_back({state.v, state.j, read.evj, weights, state.path});
    }

    // One thread reads the states one after the other and adds each row to every pair's sum as
    // it comes, with the state's weights known from its level energy before its rows: no more
    // memory than the sums themselves.
    store::Status streamed() {
        const std::size_t n = grid_.size();
        store::FileBytes bytes;
        store::KnownEnergies known(n);
        double* const columns = columns_.data();
        const std::vector<double>& weights = weights_.weights();
        auto add = [&](std::size_t first, const double* values, std::size_t count) {
            for (std::size_t p = 0; p < weights.size(); ++p) {
                const double w = weights[p];
                double* sums = columns + p * n + first;
                for (std::size_t k = 0; k < count; ++k)
                    sums[k] += values[k] * w;
            }
        };
        for (const store::StateFile& state : states_) {
            if (!weights_.wanted(state))
                continue;
            StateRead read;
            read.status = files_.read(state.path, bytes);
            store::LineCursor cursor(read.status == store::ReadStatus::ok ? bytes.text()
                                                                          : std::string_view());
            if (read.status == store::ReadStatus::ok)
                if (const auto evj = store::read_level_energy(cursor)) {
                    read.level_read = true;
                    read.evj = *evj;
                }
            const store::Result<bool> weighed = weights_.weigh(state, read);
            if (!weighed)
                return weighed.error();
            if (!*weighed)
                continue;
            read.span = store::read_state_rows(grid_, cursor, known, add, options_.reading);
            const store::Result<bool> entered = weights_.count(state, read.span);
            if (!entered)
                return entered.error();
            if (*entered)
                enter(state, read, weights);
        }
        return {};
    }

    // The states are read on all threads, their rows kept (laid out by blocks of points, or each
    // state's own), then weighted in their order and summed block by block on all threads.
    store::Status batched(bool laid_out) {
        const std::size_t n = grid_.size();
        const std::size_t count = states_.size();
        const std::size_t dense_blocks = (n + dense_block - 1) / dense_block;
        std::optional<ZeroedBuffer> layout;
        if (laid_out)
            layout.emplace(count * dense_blocks * dense_block);
        std::vector<StateRead> reads(count);
        std::vector<std::vector<double>> own(laid_out ? 0 : count);
        std::vector<ReadScratch> scratch = read_scratch(threads_, n);
        share(count, threads_, [&](std::size_t k, unsigned t) {
            auto keep = [&](std::size_t first, const double* values, std::size_t rows) {
                if (!laid_out) {
                    own[k].insert(own[k].end(), values, values + rows);
                    return;
                }
                double* out = layout->data();
                for (std::size_t r = 0; r < rows; ++r) {
                    const std::size_t i = first + r;
                    out[((i / dense_block) * count + k) * dense_block + i % dense_block] =
                        values[r];
                }
            };
            reads[k] = read_state(files_, states_[k], grid_, scratch[t].bytes, scratch[t].known,
                                  keep, options_.reading);
        });

        // The weights by state (0 for a state that did not enter), checked in the states' order.
        const std::size_t pair_count = pairs_.size();
        std::vector<double> by_state(count * pair_count, 0.0);
        std::vector<bool> used(count, false);
        if (store::Status walked = weights_.walk(
                states_, reads,
                [&](std::size_t k) {
                    const std::vector<double>& w = weights_.weights();
                    std::copy(w.begin(), w.end(),
                              by_state.begin() + static_cast<std::ptrdiff_t>(k * pair_count));
                    used[k] = true;
                    enter(states_[k], reads[k], w);
                });
            !walked)
            return walked;

        double* const columns = columns_.data();
        if (laid_out) {
            share(dense_blocks, threads_, [&](std::size_t b, unsigned) {
                detail::ScanSums job;
                job.values = layout->data() + b * count * dense_block;
                job.value_stride = dense_block;
                job.weights = by_state.data();
                job.states = count;
                job.pairs = pair_count;
                job.points = std::min(dense_block, n - b * dense_block);
                job.sums = columns + b * dense_block;
                job.sum_stride = n;
                detail::scan_sums(job, options_.wide_sums);
            });
            return {};
        }
        const std::size_t blocks = (n + block_points - 1) / block_points;
        share(blocks, threads_, [&](std::size_t b, unsigned) {
            const std::size_t lo = b * block_points, hi = std::min(n, lo + block_points);
            for (std::size_t k = 0; k < count; ++k) {
                if (!used[k])
                    continue;
                const std::size_t first = reads[k].span.first;
                const std::size_t from = std::max(lo, first);
                const std::size_t to = std::min(hi, first + own[k].size());
                if (from >= to)
                    continue;
                const double* row = own[k].data() + (from - first);
                for (std::size_t p = 0; p < pair_count; ++p) {
                    const double w = by_state[k * pair_count + p];
                    double* sums = columns + p * n;
                    for (std::size_t i = from; i < to; ++i)
                        sums[i] += row[i - from] * w;
                }
            }
        });
        return {};
    }

    store::FileSystem& files_;
    const std::vector<store::StateFile>& states_;
    std::span<const double> grid_;
    std::span<const TemperaturePair> pairs_;
    unsigned threads_;
    ScanOptions options_;
    Weights weights_;
    std::vector<double> columns_;
    std::vector<StateWeight> entered_;
};

} // namespace

store::Result<Curve> thermal_curve(store::FileSystem& files, std::string_view db,
                                   std::string_view molecule,
                                   std::span<const TemperaturePair> pairs,
                                   std::optional<std::int32_t> fwhm_mev, unsigned threads,
                                   const ScanOptions& options) {
    store::Result<Ground> ground = read_ground(files, db, molecule);
    if (!ground)
        return std::move(ground).error();
    if (options.request_limits)
        if (store::Status fits =
                within_limits(pairs.size(), pairs.size() * ground->grid.energies.size());
            !fits)
            return std::move(fits).error();
    store::Result<std::vector<store::StateFile>> listed =
        store::list_state_files(files, db, molecule);
    if (!listed)
        return std::move(listed).error();
    const std::vector<store::StateFile>& states = *listed;
    Scan scan(files, states, *ground, pairs, threads, options);
    if (store::Status done = scan.run(); !done)
        return std::move(done).error();

    // No state on the grid at all at some pair: nothing to average.
    const std::string ground_path = store::ground_state_path(files, db, molecule);
    for (const double total : scan.totals())
        if (!(total > 0.0))
            return incompatible(ground_path);
    Curve curve;
    curve.energy = ground->grid.energies;
    curve.columns = pairs.size();
    curve.sigma = std::move(scan.columns());
    const std::size_t n = curve.energy.size();
    std::vector<store::Status> folded(pairs.size());
    share(pairs.size(), threads, [&](std::size_t p, unsigned) {
        const std::span<double> column(curve.sigma.data() + p * n, n);
        numerics::finish_sums(column, scan.totals()[p]);
        if (fwhm_mev)
            folded[p] = fold_values(curve.energy, column, *fwhm_mev, ground_path);
    });
    for (store::Status& status : folded)
        if (!status)
            return std::move(status).error();

    Provenance& p = curve.provenance;
    p.database = std::string(db);
    p.fwhm_mev = fwhm_mev;
    p.temperatures.assign(pairs.begin(), pairs.end());
    p.weight_totals = scan.totals();
    p.states = std::move(scan.entered());
    for (const StateWeight& s : p.states)
        p.source_files.push_back(s.file);
    return curve;
}

store::Result<ThermalIntegrals> thermal_integrals(store::FileSystem& files, std::string_view db,
                                                  std::string_view molecule,
                                                  std::span<const TemperaturePair> pairs,
                                                  const GridWeights& weights_for, unsigned threads,
                                                  const ScanOptions& options) {
    store::Result<Ground> ground = read_ground(files, db, molecule);
    if (!ground)
        return std::move(ground).error();
    const std::vector<double>& grid = ground->grid.energies;
    store::Result<std::vector<std::vector<double>>> weighted = weights_for(grid);
    if (!weighted)
        return std::move(weighted).error();
    const std::vector<std::vector<double>>& w = *weighted;
    const std::size_t rows = w.size();
    for (const std::vector<double>& row : w)
        if (row.size() != grid.size())
            return store::usage_error("rate weights of another grid than the average's");
    if (options.request_limits)
        if (store::Status fits = within_limits(pairs.size(), pairs.size() * rows); !fits)
            return std::move(fits).error();
    store::Result<std::vector<store::StateFile>> listed =
        store::list_state_files(files, db, molecule);
    if (!listed)
        return std::move(listed).error();
    const std::vector<store::StateFile>& states = *listed;
    const std::size_t count = states.size();

    // Each state's integrals, on all threads, as its rows are read: no row is kept.
    std::vector<StateRead> reads(count);
    std::vector<double> by_state(count * rows, 0.0), first(count, 0.0);
    const unsigned workers = std::max(1u, threads);
    std::vector<ReadScratch> scratch = read_scratch(workers, grid.size());
    share(count, workers, [&](std::size_t k, unsigned t) {
        double* const integrals = by_state.data() + k * rows;
        auto add = [&](std::size_t at, const double* values, std::size_t n) {
            if (at == 0 && n > 0)
                first[k] = values[0];
            // One running sum per distribution, row after row: the reader hands the rows in
            // blocks whose bounds depend on what the thread read before, and the sum must not.
            for (std::size_t f = 0; f < rows; ++f) {
                const double* weights = w[f].data() + at;
                double sum = integrals[f];
                for (std::size_t r = 0; r < n; ++r)
                    sum += weights[r] * values[r];
                integrals[f] = sum;
            }
        };
        reads[k] = read_state(files, states[k], grid, scratch[t].bytes, scratch[t].known, add,
                              options.reading);
    });

    // The states' weights in their order, as the average takes them; each state that entered
    // adds its integrals at every pair.
    Weights weights(pairs, ground->e00);
    ThermalIntegrals out;
    out.rows = rows;
    out.integrals.assign(pairs.size() * rows, 0.0);
    out.first_values.assign(pairs.size(), 0.0);
    std::vector<StateWeight> entered;
    const store::Status walked = weights.walk(states, reads, [&](std::size_t k) {
        const std::vector<double>& at_pairs = weights.weights();
        for (std::size_t p = 0; p < pairs.size(); ++p) {
            double* const sums = out.integrals.data() + p * rows;
            const double* const integrals = by_state.data() + k * rows;
            for (std::size_t f = 0; f < rows; ++f)
                sums[f] += at_pairs[p] * integrals[f];
            out.first_values[p] += at_pairs[p] * first[k];
        }
        entered.push_back({states[k].v, states[k].j, reads[k].evj, at_pairs, states[k].path});
    });
    if (!walked)
        return walked.error();
    const std::string ground_path = store::ground_state_path(files, db, molecule);
    for (std::size_t p = 0; p < pairs.size(); ++p) {
        const double total = weights.totals()[p];
        if (!(total > 0.0))
            return incompatible(ground_path);
        for (std::size_t f = 0; f < rows; ++f)
            out.integrals[p * rows + f] /= total;
        out.first_values[p] /= total;
    }
    out.average.energy = grid;
    out.average.columns = pairs.size();
    Provenance& p = out.average.provenance;
    p.database = std::string(db);
    p.temperatures.assign(pairs.begin(), pairs.end());
    p.weight_totals = weights.totals();
    p.states = std::move(entered);
    for (const StateWeight& s : p.states)
        p.source_files.push_back(s.file);
    return out;
}

} // namespace sigmat::curves
