// A database session: one folder of data files with its catalogue, opened once, and every
// question that the dialog's comparison, sigmat-cli and the Python module ask of it. The faces
// read their arguments, ask here and format the answer; the decisions (which file, which
// column, which mass, which spelling of a molecule) are taken here and nowhere else.
//
// The catalogue is index.dat of the folder (found whatever its letter case), or the built-in
// list of eleven molecules when that file is missing or malformed.
#pragma once

#include "curves/curve.h"
#include "curves/database_check.h"
#include "curves/lxcat.h"
#include "curves/rate.h"
#include "curves/rate_request.h"
#include "curves/selector.h"
#include "store/catalogue_file.h"
#include "store/error.h"
#include "store/file_system.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace sigmat::curves {

inline constexpr std::string_view catalogue_file_name = "index.dat";

// One level of a molecule as the catalogue lists it.
struct LevelRow {
    std::string molecule; // as the catalogue spells it, without trailing blanks
    std::int32_t v = 0;
    std::int32_t j_max = 0;
};

// A curve of the user's own: a two-column measurement, or one block of an LXCat file.
struct OutsideCurve {
    std::string path;
    std::string label;               // the file's name, or the LXCat block's process
    std::vector<double> energy;      // eV
    std::vector<double> sigma;       // A^2
    std::optional<LxcatBlock> block; // the LXCat block as read
    std::int64_t block_number = 0;   // 1-based; 0 for a two-column file
};

// Rate coefficients of one curve at several temperatures, and the mass they were taken at.
struct RateTable {
    double mass_u = electron_mass_u;
    std::vector<RatePoint> points;
};

// Rate coefficients of `curve` at `temperatures_k`. The mass is `mass_u` when given, else the
// electron's, except for associative detachment (an ion-atom collision at the gas
// temperature), which takes the reduced mass of the molecule's atoms (a data error when they
// are not known). `selector` is the curve's, when it is one of a database's.
[[nodiscard]] store::Result<RateTable> curve_rates(const Curve& curve,
                                                   const std::optional<CurveSelector>& selector,
                                                   std::span<const double> temperatures_k,
                                                   std::optional<double> mass_u);

class Database {
  public:
    // The session on the folder `folder`: a usage error when it is not a folder. `threads` is
    // the number of threads that averages and scans share their work among.
    [[nodiscard]] static store::Result<Database> open(store::FileSystem& files, std::string folder,
                                                      unsigned threads = 1);
    // The same with a catalogue read already (the dialog reads it at start-up).
    Database(store::FileSystem& files, std::string folder, store::StateCatalogue catalogue,
             bool catalogue_file, std::string catalogue_path, unsigned threads = 1);

    const std::string& folder() const { return folder_; }
    store::FileSystem& files() const { return *files_; }
    const store::StateCatalogue& catalogue() const { return catalogue_; }
    // Whether index.dat was there and read (else the built-in list stands in), and its path.
    bool has_catalogue_file() const { return catalogue_file_; }
    const std::string& catalogue_path() const { return catalogue_path_; }

    // The molecule as the catalogue spells it, whatever the letter case it was given in; as
    // given when the catalogue does not hold it (the files are found whatever their case).
    [[nodiscard]] std::string molecule_code(std::string_view given) const;
    // A selector read (parse_curve_selector) with its molecule spelt as the catalogue spells it.
    [[nodiscard]] store::Result<CurveSelector> selector(std::string_view text) const;

    // The levels the catalogue lists, of every molecule or of one (a data error when it lists
    // no molecule of that name).
    [[nodiscard]] store::Result<std::vector<LevelRow>> states(std::string_view molecule = {}) const;

    // The curve of a selector: the state-resolved table column or the thermal average, folded
    // when the selector has a FWHM.
    [[nodiscard]] store::Result<Curve> curve(const CurveSelector& selector) const;
    // The thermal average at every pair, one column each (curves/thermal.h).
    [[nodiscard]] store::Result<Curve> scan(std::string_view molecule,
                                            std::span<const TemperaturePair> pairs,
                                            std::optional<std::int32_t> fwhm_mev) const;

    // Rate coefficients of a curve of this database (curve_rates).
    [[nodiscard]] store::Result<RateTable> rate(const Curve& curve,
                                                const std::optional<CurveSelector>& selector,
                                                std::span<const double> temperatures_k,
                                                std::optional<double> mass_u) const {
        return curve_rates(curve, selector, temperatures_k, mass_u);
    }
    [[nodiscard]] store::Result<Rates> rate(const Curve& curve,
                                            const std::optional<CurveSelector>& selector,
                                            const RateRequest& request) const {
        return curve_rates(curve, selector, request);
    }
    // The distributions of an EEDF file (curves/eedf_file.h), one per column asked for, in
    // the order asked.
    [[nodiscard]] store::Result<std::vector<TabulatedEedf>>
    eedf_file(const std::string& path, std::span<const std::int32_t> columns) const;

    // The LXCat block of a curve of this database, its UPDATED line the newest modification
    // of its source files (a usage error for the processes LXCat has no keyword for); ending
    // with a zero unless `as_tabulated` (lxcat_block of curves/export.h).
    [[nodiscard]] store::Result<LxcatBlock> lxcat(const Curve& curve, const CurveSelector& selector,
                                                  bool as_tabulated = false) const;
    // A molecule's whole set for a Boltzmann solver: every DEA state the catalogue lists as an
    // ATTACHMENT block and every VE into a higher level as EXCITATION, each named on its
    // line 2 by its states, DEA first, each in the order of v, J and v'. Listed states whose
    // file is missing are left out and named in `missing`; any other failure ends the set.
    struct LxcatSet {
        std::vector<LxcatBlock> blocks;
        std::vector<std::string> missing; // the paths looked for
        std::vector<std::string> sources; // the files the blocks were read from
    };
    [[nodiscard]] store::Result<LxcatSet> lxcat_set(std::string_view molecule,
                                                    std::optional<std::int32_t> fwhm_mev,
                                                    bool as_tabulated = false) const;
    // The DEA rates of a thermal gas at every pair (thermal_rates of curves/rate_request.h),
    // within the limits of one request.
    [[nodiscard]] store::Result<ThermalRates> rates(std::string_view molecule,
                                                    std::span<const TemperaturePair> pairs,
                                                    const RateRequest& request) const;

    // A file of the user's: `block` nothing for a two-column measurement (sigma in
    // `columns_unit`), a number for that block of an LXCat file (1-based; sigma in m^2 there).
    // The cross sections come back in A^2. A block outside the file's is refused: "PATH holds
    // N blocks; block K was asked". A UTF-8 byte-order mark at the start is skipped.
    [[nodiscard]] store::Result<OutsideCurve>
    measured(const std::string& path, std::optional<std::int64_t> block,
             SigmaUnit columns_unit = SigmaUnit::a2) const;
    // Every block of an LXCat file, for a choice among them.
    [[nodiscard]] store::Result<std::vector<LxcatBlock>> lxcat_file(const std::string& path) const;

    // The database looked over (curves/database_check.h): every molecule the catalogue lists,
    // or one of them (a data error when it lists none of that name); without index.dat, the
    // built-in molecules that have a folder, and a first finding about the missing catalogue.
    [[nodiscard]] store::Result<CheckReport> check(std::string_view molecule = {}) const;

  private:
    store::FileSystem* files_;
    std::string folder_;
    store::StateCatalogue catalogue_;
    bool catalogue_file_ = false;
    std::string catalogue_path_;
    unsigned threads_ = 1;
};

} // namespace sigmat::curves
