// The `sigmat` Python module: a Sigmat database's cross sections, folds, thermal averages and
// rate coefficients as numpy arrays. Every number comes from the same core as the dialog and
// sigmat-cli.
#include "app/state_catalogue.h"
#include "curves/coverage.h"
#include "curves/export.h"
#include "curves/rate.h"
#include "curves/selector.h"
#include "curves/state_curves.h"
#include "curves/thermal.h"
#include "numerics/convolution.h"
#include "store/file_system.h"
#include "store/number_fields.h"
#include "store/paths.h"

#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <cmath>
#include <memory>
#include <sstream>
#include <thread>

namespace py = pybind11;
using namespace sigmat;

namespace {

PyObject* data_error_type = nullptr;

// Raises sigmat.DataError (a RuntimeError) with the file and line of a failed read.
[[noreturn]] void raise_data_error(const store::DataError& error) {
    py::object type = py::reinterpret_borrow<py::object>(data_error_type);
    py::object exc = type(store::describe(error));
    exc.attr("path") = error.file;
    exc.attr("line") = error.line;
    PyErr_SetObject(data_error_type, exc.ptr());
    throw py::error_already_set();
}

// A computed curve: the core's energies and cross sections, in the units asked for.
struct PyCurve {
    curves::Curve curve;
    curves::SigmaUnit unit = curves::SigmaUnit::a2;
    std::string selector;
    std::optional<curves::CurveSelector> parsed; // the database's own curves
    bool scan = false;                           // sigma is 2-D, one column per pair
    std::vector<double> sigma;                   // in `unit`
};

py::array read_only_view(const std::vector<double>& values, std::vector<py::ssize_t> shape,
                         std::vector<py::ssize_t> strides, py::handle owner) {
    py::array array(py::dtype::of<double>(), std::move(shape), std::move(strides), values.data(),
                    owner);
    array.attr("setflags")(py::arg("write") = false);
    return array;
}

py::dict provenance_of(const PyCurve& c) {
    const curves::Provenance& p = c.curve.provenance;
    py::dict d;
    d["database"] = p.database;
    d["source_files"] = p.source_files;
    d["selector"] = c.selector;
    d["fwhm_meV"] = p.fwhm_mev ? py::object(py::int_(*p.fwhm_mev)) : py::none();
    d["threshold_eV"] = p.threshold_ev ? py::object(py::float_(*p.threshold_ev)) : py::none();
    py::list temperatures;
    for (const curves::TemperaturePair& t : p.temperatures)
        temperatures.append(py::make_tuple(t.tv_k, t.tj_k));
    d["temperatures"] = temperatures;
    py::list states;
    for (const curves::StateWeight& s : p.states) {
        py::dict state;
        state["v"] = s.v;
        state["J"] = s.j;
        state["level_energy_eV"] = s.level_energy_ev;
        state["weights"] = s.weights;
        state["file"] = s.file;
        states.append(state);
    }
    d["states"] = states;
    d["weight_totals"] = p.weight_totals;
    py::list coverage;
    for (std::size_t col = 0; col < p.temperatures.size(); ++col) {
        const auto estimate = curves::curve_coverage(c.curve, col);
        if (!estimate) {
            coverage.append(py::none());
            continue;
        }
        py::dict e;
        e["share_not_held"] = estimate->share_not_held;
        e["listed_weight"] = estimate->listed_weight;
        e["estimated_total"] = estimate->estimated_total;
        e["complete"] = estimate->complete;
        e["below_99_percent"] = estimate->below_99_percent;
        coverage.append(e);
    }
    d["coverage"] = coverage;
    return d;
}

std::shared_ptr<PyCurve> make_curve(curves::Curve curve, curves::SigmaUnit unit,
                                    std::string selector,
                                    std::optional<curves::CurveSelector> parsed, bool scan) {
    auto c = std::make_shared<PyCurve>();
    c->unit = unit;
    c->selector = std::move(selector);
    c->parsed = std::move(parsed);
    c->scan = scan;
    const double factor = curves::from_a2(unit);
    c->sigma = curve.sigma;
    if (factor != 1.0)
        for (double& s : c->sigma)
            s *= factor;
    c->curve = std::move(curve);
    return c;
}

curves::SigmaUnit unit_of(const std::string& text) {
    const auto unit = curves::parse_sigma_unit(text);
    if (!unit)
        throw py::value_error("units are \"A2\", \"cm2\" or \"m2\", not \"" + text + "\"");
    return *unit;
}

std::vector<std::int32_t> kelvins(const py::object& value, const char* what) {
    std::vector<double> raw;
    if (py::isinstance<py::sequence>(value) && !py::isinstance<py::str>(value))
        raw = value.cast<std::vector<double>>();
    else
        raw.push_back(value.cast<double>());
    std::vector<std::int32_t> out;
    for (double t : raw) {
        if (t != std::trunc(t) || t < 0 || t > curves::temperature_highest_k)
            throw py::value_error(std::string(what) +
                                  ": temperatures are whole kelvins from 0 to 9999");
        out.push_back(static_cast<std::int32_t>(t));
    }
    if (out.empty())
        throw py::value_error(std::string(what) + ": no temperature");
    return out;
}

class Database {
  public:
    explicit Database(const std::string& path) : path_(path) {
        store::FileSystem& files = store::real_file_system();
        if (files.stat(path).kind != store::PathKind::directory)
            throw py::value_error("the database directory " + path + " is not a folder");
        catalogue_ = app::load_catalogue(files, store::find_in_tree(files, path, {"index.dat"}));
    }

    std::vector<std::string> molecules() const {
        std::vector<std::string> out;
        for (const std::string& code : catalogue_.codes)
            out.emplace_back(store::trim_right(code));
        return out;
    }

    std::vector<std::tuple<std::string, int, int>> states(const std::string& molecule) const {
        std::vector<std::tuple<std::string, int, int>> rows;
        for (std::size_t k = 0; k < catalogue_.codes.size(); ++k) {
            const std::string code(store::trim_right(catalogue_.codes[k]));
            if (!store::equal_ignoring_case(code, molecule))
                continue;
            const auto index = static_cast<std::int32_t>(k + 1);
            for (std::int32_t v = 0; v <= catalogue_.vib_max(index); ++v)
                rows.emplace_back(code, v, catalogue_.rot_max(index, v));
        }
        if (rows.empty())
            throw py::value_error("the catalogue lists no molecule " + molecule);
        return rows;
    }

    std::shared_ptr<PyCurve> curve(const std::string& text, std::optional<int> fwhm,
                                   const std::string& units) const {
        const curves::SigmaUnit unit = unit_of(units);
        curves::SelectorRead read = curves::parse_curve_selector(text);
        if (!read.selector)
            throw py::value_error(text + ": " + read.why);
        curves::CurveSelector selector = *read.selector;
        if (selector.fwhm_mev && fwhm)
            throw py::value_error(text + ": the FWHM is given both in the selector and as fwhm=");
        if (fwhm) {
            if (*fwhm < curves::fwhm_lowest_mev || *fwhm > curves::fwhm_highest_mev)
                throw py::value_error("fwhm: a whole number of meV from 1 to 999");
            selector.fwhm_mev = *fwhm;
        }
        selector.molecule = code_of(selector.molecule);
        store::Read<curves::Curve> result;
        {
            py::gil_scoped_release release;
            if (selector.kind == curves::CurveKind::thermal)
                result = curves::thermal_curve(store::real_file_system(), path_, selector.molecule,
                                               {&selector.temperatures, 1}, selector.fwhm_mev,
                                               threads());
            else
                result = curves::state_curve(store::real_file_system(), path_, selector);
        }
        if (!result.ok)
            raise_data_error(result.error);
        return make_curve(std::move(result.value), unit, curves::selector_text(selector), selector,
                          false);
    }

    std::shared_ptr<PyCurve> thermal(const std::string& molecule, const py::object& tv,
                                     const py::object& tj, std::optional<int> fwhm,
                                     const std::string& units) const {
        const curves::SigmaUnit unit = unit_of(units);
        if (fwhm && (*fwhm < curves::fwhm_lowest_mev || *fwhm > curves::fwhm_highest_mev))
            throw py::value_error("fwhm: a whole number of meV from 1 to 999");
        const bool scan = (py::isinstance<py::sequence>(tv) && !py::isinstance<py::str>(tv)) ||
                          (py::isinstance<py::sequence>(tj) && !py::isinstance<py::str>(tj));
        std::vector<curves::TemperaturePair> pairs;
        for (std::int32_t v : kelvins(tv, "tv"))
            for (std::int32_t j : kelvins(tj, "tj"))
                pairs.push_back({v, j});
        const std::string code = code_of(molecule);
        store::Read<curves::Curve> result;
        {
            py::gil_scoped_release release;
            result = curves::thermal_curve(store::real_file_system(), path_, code, pairs,
                                           fwhm ? std::optional<std::int32_t>(*fwhm) : std::nullopt,
                                           threads());
        }
        if (!result.ok)
            raise_data_error(result.error);
        std::optional<curves::CurveSelector> parsed;
        if (pairs.size() == 1) {
            curves::CurveSelector selector;
            selector.molecule = code;
            selector.kind = curves::CurveKind::thermal;
            selector.temperatures = pairs[0];
            if (fwhm)
                selector.fwhm_mev = *fwhm;
            parsed = selector;
        }
        std::string text = parsed ? curves::selector_text(*parsed) : code + ":thermal scan";
        return make_curve(std::move(result.value), unit, text, parsed, scan);
    }

    const std::string& path() const { return path_; }

  private:
    std::string code_of(const std::string& given) const {
        for (const std::string& code : catalogue_.codes) {
            const std::string trimmed(store::trim_right(code));
            if (store::equal_ignoring_case(trimmed, given))
                return trimmed;
        }
        return given;
    }
    static unsigned threads() { return std::max(1u, std::thread::hardware_concurrency()); }

    std::string path_;
    app::StateCatalogue catalogue_;
};

// A contiguous float64 copy of a 1-D array.
std::vector<double> vector_of(const py::object& object, const char* what) {
    auto array = py::array_t<double, py::array::c_style | py::array::forcecast>::ensure(object);
    if (!array || array.ndim() != 1)
        throw py::value_error(std::string(what) + " must be a 1-D array of numbers");
    return std::vector<double>(array.data(), array.data() + array.size());
}

py::array_t<double> fold(const py::object& energy_in, const py::object& sigma_in, double fwhm_mev) {
    const std::vector<double> energy = vector_of(energy_in, "energy");
    std::vector<double> sigma = vector_of(sigma_in, "sigma");
    if (energy.size() != sigma.size())
        throw py::value_error("energy and sigma differ in length");
    if (!(fwhm_mev > 0.0) || !std::isfinite(fwhm_mev))
        throw py::value_error("fwhm_meV must be a positive number");
    // The fold takes every interval as wide as the last one: the grid must be uniform.
    if (energy.size() >= 2) {
        const double step = energy[1] - energy[0];
        if (!(step > 0.0))
            throw py::value_error("the energies must rise");
        for (std::size_t i = 2; i < energy.size(); ++i)
            if (!(std::abs((energy[i] - energy[i - 1]) - step) <= 1e-6 * step))
                throw py::value_error("the energy grid is not uniform (steps differ by more "
                                      "than 1e-6 of the step)");
    }
    {
        py::gil_scoped_release release;
        numerics::convolve_with_resolution(fwhm_mev * 0.001, energy, sigma);
    }
    return py::array_t<double>(static_cast<py::ssize_t>(sigma.size()), sigma.data());
}

py::object rate(const py::object& first, const py::object& sigma_in, const py::object& t_in,
                std::optional<double> mass) {
    std::vector<double> energy;
    std::vector<std::vector<double>> columns; // in A^2
    double m = curves::electron_mass_u;
    if (py::isinstance<PyCurve>(first)) {
        if (!sigma_in.is_none())
            throw py::value_error("sigma is given by the curve");
        const PyCurve& c = first.cast<const PyCurve&>();
        energy = c.curve.energy;
        for (std::size_t col = 0; col < c.curve.columns; ++col)
            columns.emplace_back(c.curve.column(col), c.curve.column(col) + c.curve.points());
        // As sigmat-cli rate: AED is an ion-atom collision, at the atoms' reduced mass.
        if (c.parsed &&
            (c.parsed->kind == curves::CurveKind::aed ||
             c.parsed->kind == curves::CurveKind::aed_total) &&
            !mass) {
            const auto reduced = curves::reduced_mass_u(c.parsed->molecule);
            if (!reduced)
                throw py::value_error("the reduced mass of " + c.parsed->molecule +
                                      " is not known: give mass=");
            m = *reduced;
        }
    } else {
        if (sigma_in.is_none())
            throw py::value_error("give a curve, or energy and sigma (A^2)");
        energy = vector_of(first, "energy");
        columns.push_back(vector_of(sigma_in, "sigma"));
        if (columns[0].size() != energy.size())
            throw py::value_error("energy and sigma differ in length");
    }
    if (mass)
        m = *mass;
    if (!(m > 0.0))
        throw py::value_error("mass must be above 0 u");
    const bool many_t = py::isinstance<py::sequence>(t_in) || py::isinstance<py::array>(t_in);
    std::vector<double> temperatures =
        many_t ? vector_of(t_in, "T") : std::vector<double>{t_in.cast<double>()};
    for (double t : temperatures)
        if (!(t > 0.0))
            throw py::value_error("temperatures must be above 0 K");
    std::vector<double> k(temperatures.size() * columns.size());
    for (std::size_t col = 0; col < columns.size(); ++col) {
        const auto rates = curves::maxwellian_rates(energy, columns[col], temperatures, m);
        if (!rates)
            throw py::value_error("the table cannot be integrated (energies below 0 or falling, "
                                  "or values that are not finite)");
        for (std::size_t i = 0; i < temperatures.size(); ++i)
            k[i * columns.size() + col] = (*rates)[i].k_cm3_s;
    }
    if (!many_t && columns.size() == 1)
        return py::float_(k[0]);
    if (columns.size() == 1)
        return py::array_t<double>(static_cast<py::ssize_t>(k.size()), k.data());
    return py::array_t<double>(
        {static_cast<py::ssize_t>(temperatures.size()), static_cast<py::ssize_t>(columns.size())},
        k.data());
}

std::string to_lxcat(const PyCurve& c) {
    if (!c.parsed)
        throw py::value_error("a scan has no LXCat form: take one pair of temperatures");
    const curves::LxcatExport exported =
        curves::lxcat_block(c.curve, *c.parsed, c.parsed->molecule,
                            curves::newest_source(store::real_file_system(), c.curve));
    if (!exported.block)
        throw py::value_error(exported.why);
    std::ostringstream out;
    if (curves::write_lxcat_block(out, *exported.block) != curves::LxcatWriteOutcome::written)
        throw py::value_error("the curve cannot be written as an LXCat block");
    return out.str();
}

} // namespace

PYBIND11_MODULE(sigmat, m) {
    m.doc() = "Electron-molecule collision cross sections of a Sigmat database (DEA, VE, AED of "
              "diatomic molecules) as numpy arrays: state-resolved curves, the resolution fold, "
              "thermal averages and scans, Maxwellian rate coefficients, LXCat text.";
    m.attr("__version__") = std::string(curves::program_version());

    data_error_type = PyErr_NewExceptionWithDoc(
        "sigmat.DataError",
        "A database file that is missing or cannot be read as it must be. A RuntimeError with "
        "`.path` (the file) and `.line` (1-based; 0 for the file as a whole).",
        PyExc_RuntimeError, nullptr);
    m.attr("DataError") = py::reinterpret_borrow<py::object>(data_error_type);

    py::class_<PyCurve, std::shared_ptr<PyCurve>>(
        m, "Curve",
        "A curve computed from a database. `energy` (eV) and `sigma` are read-only views of the "
        "numbers the core holds.")
        .def_property_readonly(
            "energy",
            [](py::object self) {
                const PyCurve& c = self.cast<const PyCurve&>();
                return read_only_view(c.curve.energy, {static_cast<py::ssize_t>(c.curve.points())},
                                      {static_cast<py::ssize_t>(sizeof(double))}, self);
            },
            "The energies in eV, a 1-D float64 array.")
        .def_property_readonly(
            "sigma",
            [](py::object self) {
                const PyCurve& c = self.cast<const PyCurve&>();
                const auto n = static_cast<py::ssize_t>(c.curve.points());
                constexpr auto d = static_cast<py::ssize_t>(sizeof(double));
                if (!c.scan)
                    return read_only_view(c.sigma, {n}, {d}, self);
                return read_only_view(c.sigma, {n, static_cast<py::ssize_t>(c.curve.columns)},
                                      {d, d * n}, self);
            },
            "The cross sections in `units`: 1-D, or 2-D of shape (energies, pairs) for a scan.")
        .def_property_readonly(
            "units", [](const PyCurve& c) { return std::string(curves::unit_name(c.unit)); },
            "The cross-section units: \"A2\", \"cm2\" or \"m2\".")
        .def_property_readonly("provenance", &provenance_of,
                               "Where the numbers come from: the database, source files, selector, "
                               "FWHM, temperatures, the states and their weights, and the "
                               "estimated share of the population held (thermal).")
        .def("__repr__", [](const PyCurve& c) {
            return "<sigmat.Curve " + c.selector + ", " + std::to_string(c.curve.points()) +
                   " energies>";
        });

    py::class_<Database>(m, "Database",
                         "A Sigmat database: a folder with index.dat and one "
                         "folder per molecule.")
        .def(py::init<const std::string&>(), py::arg("path"),
             "Opens the database at `path` (ValueError when it is not a folder).")
        .def("molecules", &Database::molecules,
             "The molecule codes of the catalogue (index.dat, or the built-in list).")
        .def("states", &Database::states, py::arg("molecule"),
             "The catalogue's rows of a molecule: (molecule, v, J_max) per vibrational level.")
        .def("curve", &Database::curve, py::arg("spec"), py::arg("fwhm") = py::none(),
             py::arg("units") = "A2",
             "The curve of a selector as sigmat-cli takes it: MOL:dea:v=V,J=J, "
             "MOL:ve:v=V,J=J,vf=VF, "
             "MOL:aed:vf=VF,J=J, MOL:aedtot or MOL:thermal:tv=TV,tj=TJ; folded with `fwhm` (meV) "
             "when given (ValueError when the selector holds fwhm= too). Raises DataError when a "
             "file is missing or cannot be read.")
        .def("thermal", &Database::thermal, py::arg("molecule"), py::arg("tv"), py::arg("tj"),
             py::arg("fwhm") = py::none(), py::arg("units") = "A2",
             "DEA of a thermal gas at every Tv with every TJ (Tv outer; kelvins, scalars or "
             "sequences), folded with `fwhm` (meV) when given. A scan's sigma has one column "
             "per pair.")
        .def_property_readonly("path", &Database::path, "The database directory.");

    m.def("fold", &fold, py::arg("energy"), py::arg("sigma"), py::arg("fwhm_meV"),
          "The dialog's fold: sigma (on a uniform grid of energies in eV; steps equal within "
          "1e-6 of the step, else ValueError) folded with a normalised Gaussian of FWHM "
          "`fwhm_meV`, integrated by trapezoids from the first energy upwards and 100 steps "
          "past the last at its value. Returns a new array.");
    m.def("rate", &rate, py::arg("curve_or_energy"), py::arg("sigma") = py::none(), py::kw_only(),
          py::arg("T"), py::arg("mass") = py::none(),
          "Maxwellian rate coefficients k(T) in cm^3/s, as sigmat-cli rate gives them: from a "
          "curve (its units respected) or from energy (eV) and sigma (A^2). T in K, a scalar "
          "(gives a float) or a sequence. The electron's mass unless `mass` (u) is given; an "
          "AED curve takes the reduced mass of its molecule's atoms.");
    m.def("to_lxcat", &to_lxcat, py::arg("curve"),
          "The LXCat block of a curve, as sigmat-cli writes it (ValueError for the processes "
          "LXCat has no keyword for: AED, VE into the same or a lower level).");
}
