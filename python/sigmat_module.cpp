// The `sigmat` Python module: a Sigmat database's cross sections, folds, thermal averages and
// rate coefficients as numpy arrays. Every number comes from the same core as the dialog and
// sigmat-cli.
#include "curves/coverage.h"
#include "curves/database.h"
#include "curves/export.h"
#include "curves/state_curves.h"
#include "docstrings.h"
#include "numerics/convolution.h"
#include "store/number_fields.h"

#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <cmath>
#include <memory>
#include <sstream>
#include <thread>

namespace py = pybind11;
using namespace sigmat;
namespace doc = sigmat::python::doc;

namespace {

PyObject* data_error_type = nullptr;

// Raises sigmat.DataError (a RuntimeError) with the file and line of a failed read.
[[noreturn]] void raise_data_error(const store::DataError& error) {
    py::object type = py::reinterpret_borrow<py::object>(data_error_type);
    py::object exc = type(store::describe(error));
    exc.attr("path") = error.path;
    exc.attr("line") = error.line;
    PyErr_SetObject(data_error_type, exc.ptr());
    throw py::error_already_set();
}

// A computed curve: the core's energies and cross sections, in the units asked for.
struct PyCurve {
    std::shared_ptr<const curves::Database> db; // the session it came from
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

std::shared_ptr<PyCurve> make_curve(std::shared_ptr<const curves::Database> db, curves::Curve curve,
                                    curves::SigmaUnit unit, std::string selector,
                                    std::optional<curves::CurveSelector> parsed, bool scan) {
    std::vector<double> sigma = curve.sigma;
    for (double& s : sigma)
        s *= curves::from_a2(unit);
    return std::make_shared<PyCurve>(PyCurve{std::move(db), std::move(curve), unit,
                                             std::move(selector), std::move(parsed), scan,
                                             std::move(sigma)});
}

// A value of the session, or the exception that stands for its error: sigmat.DataError for a
// file that is missing or cannot be read, ValueError for a request that cannot be served.
template <typename T> T take(store::Result<T> result) {
    if (result)
        return std::move(result).value();
    if (result.error().kind == store::ErrorKind::usage || result.error().path.empty())
        throw py::value_error(result.error().message);
    raise_data_error(result.error());
}

std::vector<std::int32_t> kelvins(const py::object& value, const char* what) {
    std::vector<double> raw;
    if (py::isinstance<py::sequence>(value) && !py::isinstance<py::str>(value))
        raw = value.cast<std::vector<double>>();
    else
        raw.push_back(value.cast<double>());
    return take(curves::kelvin_values(raw, what));
}

unsigned all_cores() {
    return std::max(1u, std::thread::hardware_concurrency());
}

void take_status(store::Status status) {
    if (!status)
        throw py::value_error(store::describe(status.error()));
}

// The session on a database folder, for Python.
class Database {
  public:
    // A path that is no folder is a ValueError, as documented.
    explicit Database(const std::string& path) {
        store::Result<curves::Database> db =
            curves::Database::open(store::real_file_system(), path, all_cores());
        if (!db && db.error().kind == store::ErrorKind::data)
            raise_data_error(db.error());
        if (!db)
            throw py::value_error(store::describe(db.error()));
        db_ = std::make_shared<const curves::Database>(std::move(db).value());
    }

    std::vector<std::string> molecules() const {
        std::vector<std::string> out;
        for (const std::string& code : db_->catalogue().codes)
            out.emplace_back(store::trim_right(code));
        return out;
    }

    std::vector<std::tuple<std::string, int, int>> states(const std::string& molecule) const {
        std::vector<std::tuple<std::string, int, int>> rows;
        for (const curves::LevelRow& row : take(db_->states(molecule)))
            rows.emplace_back(row.molecule, row.v, row.j_max);
        return rows;
    }

    std::shared_ptr<PyCurve> curve(const std::string& text, std::optional<int> fwhm,
                                   const std::string& units) const {
        const curves::SigmaUnit unit = take(curves::sigma_unit(units, "units"));
        store::Result<curves::CurveSelector> read = db_->selector(text);
        if (!read)
            throw py::value_error(text + ": " + read.error().message);
        curves::CurveSelector selector = *read;
        if (selector.fwhm_mev && fwhm)
            throw py::value_error(text + ": the FWHM is given both in the selector and as fwhm=");
        if (fwhm)
            selector.fwhm_mev = take(curves::fwhm_value(*fwhm, "fwhm"));
        std::optional<store::Result<curves::Curve>> result;
        {
            py::gil_scoped_release release;
            result = db_->curve(selector);
        }
        return make_curve(db_, take(std::move(*result)), unit, curves::selector_text(selector),
                          selector, false);
    }

    std::shared_ptr<PyCurve> thermal(const std::string& molecule, const py::object& tv,
                                     const py::object& tj, std::optional<int> fwhm,
                                     const std::string& units) const {
        const curves::SigmaUnit unit = take(curves::sigma_unit(units, "units"));
        const std::optional<std::int32_t> fold = take(curves::fwhm_value(fwhm, "fwhm"));
        const bool scan = (py::isinstance<py::sequence>(tv) && !py::isinstance<py::str>(tv)) ||
                          (py::isinstance<py::sequence>(tj) && !py::isinstance<py::str>(tj));
        const std::vector<curves::TemperaturePair> pairs =
            take(curves::temperature_pairs(kelvins(tv, "tv"), kelvins(tj, "tj")));
        const std::string code = db_->molecule_code(molecule);
        std::optional<store::Result<curves::Curve>> result;
        {
            py::gil_scoped_release release;
            result = db_->scan(code, pairs, fold);
        }
        curves::Curve curve = take(std::move(*result));
        std::optional<curves::CurveSelector> parsed;
        if (pairs.size() == 1) {
            curves::CurveSelector selector;
            selector.molecule = code;
            selector.kind = curves::ProcessKind::thermal;
            selector.temperatures = pairs[0];
            selector.fwhm_mev = fold;
            parsed = selector;
        }
        std::string text = parsed ? curves::selector_text(*parsed) : code + ":thermal scan";
        return make_curve(db_, std::move(curve), unit, text, parsed, scan);
    }

    const std::string& path() const { return db_->folder(); }

  private:
    std::shared_ptr<const curves::Database> db_;
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
    if (!(fwhm_mev > 0.0) || !std::isfinite(fwhm_mev))
        throw py::value_error("fwhm_meV must be a positive number");
    take_status(curves::fold_input(energy, sigma));
    {
        py::gil_scoped_release release;
        (void)numerics::convolve_with_resolution(fwhm_mev * 0.001, energy, sigma);
    }
    return py::array_t<double>(static_cast<py::ssize_t>(sigma.size()), sigma.data());
}

py::object rate(const py::object& first, const py::object& sigma_in, const py::object& t_in,
                std::optional<double> mass) {
    curves::Curve table;
    std::optional<curves::CurveSelector> selector;
    if (py::isinstance<PyCurve>(first)) {
        if (!sigma_in.is_none())
            throw py::value_error("sigma is given by the curve");
        const PyCurve& c = first.cast<const PyCurve&>();
        table = c.curve;
        selector = c.parsed;
    } else {
        if (sigma_in.is_none())
            throw py::value_error("give a curve, or energy and sigma (A^2)");
        table.energy = vector_of(first, "energy");
        table.sigma = vector_of(sigma_in, "sigma");
        if (table.sigma.size() != table.energy.size())
            throw py::value_error("energy and sigma differ in length");
    }
    const bool many_t = py::isinstance<py::sequence>(t_in) || py::isinstance<py::array>(t_in);
    std::vector<double> temperatures =
        many_t ? vector_of(t_in, "T") : std::vector<double>{t_in.cast<double>()};
    take_status(curves::rate_temperatures(temperatures, "T"));
    take_status(curves::mass_value(mass, "mass"));
    const std::size_t columns = table.columns;
    std::vector<double> k(temperatures.size() * columns);
    for (std::size_t col = 0; col < columns; ++col) {
        curves::Curve one;
        one.energy = table.energy;
        one.sigma.assign(table.column(col), table.column(col) + table.points());
        const curves::RateTable rates =
            take(curves::curve_rates(one, selector, temperatures, mass));
        for (std::size_t i = 0; i < temperatures.size(); ++i)
            k[i * columns + col] = rates.points[i].k_cm3_s;
    }
    if (!many_t && columns == 1)
        return py::float_(k[0]);
    if (columns == 1)
        return py::array_t<double>(static_cast<py::ssize_t>(k.size()), k.data());
    return py::array_t<double>(
        {static_cast<py::ssize_t>(temperatures.size()), static_cast<py::ssize_t>(columns)},
        k.data());
}

std::string to_lxcat(const PyCurve& c) {
    if (!c.parsed)
        throw py::value_error("a scan has no LXCat form: take one pair of temperatures");
    std::ostringstream out;
    const store::Status written =
        curves::write_lxcat_block(out, take(c.db->lxcat(c.curve, *c.parsed)));
    if (!written)
        throw py::value_error(written.error().message);
    return out.str();
}

} // namespace

PYBIND11_MODULE(sigmat, m) {
    m.doc() = doc::module;
    m.attr("__version__") = std::string(curves::program_version());
    data_error_type =
        PyErr_NewExceptionWithDoc("sigmat.DataError", doc::data_error, PyExc_RuntimeError, nullptr);
    m.attr("DataError") = py::reinterpret_borrow<py::object>(data_error_type);

    py::class_<PyCurve, std::shared_ptr<PyCurve>>(m, "Curve", doc::curve_class)
        .def_property_readonly(
            "energy",
            [](py::object self) {
                const PyCurve& c = self.cast<const PyCurve&>();
                return read_only_view(c.curve.energy, {static_cast<py::ssize_t>(c.curve.points())},
                                      {static_cast<py::ssize_t>(sizeof(double))}, self);
            },
            doc::curve_energy)
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
            doc::curve_sigma)
        .def_property_readonly(
            "units", [](const PyCurve& c) { return std::string(curves::unit_name(c.unit)); },
            doc::curve_units)
        .def_property_readonly("provenance", &provenance_of, doc::curve_provenance)
        .def("__repr__", [](const PyCurve& c) {
            return "<sigmat.Curve " + c.selector + ", " + std::to_string(c.curve.points()) +
                   " energies>";
        });

    py::class_<Database>(m, "Database", doc::database_class)
        .def(py::init<const std::string&>(), py::arg("path"), doc::database_init)
        .def("molecules", &Database::molecules, doc::database_molecules)
        .def("states", &Database::states, py::arg("molecule"), doc::database_states)
        .def("curve", &Database::curve, py::arg("spec"), py::arg("fwhm") = py::none(),
             py::arg("units") = "A2", doc::database_curve)
        .def("thermal", &Database::thermal, py::arg("molecule"), py::arg("tv"), py::arg("tj"),
             py::arg("fwhm") = py::none(), py::arg("units") = "A2", doc::database_thermal)
        .def_property_readonly("path", &Database::path, doc::database_path);

    m.def("fold", &fold, py::arg("energy"), py::arg("sigma"), py::arg("fwhm_meV"), doc::fold);
    m.def("rate", &rate, py::arg("curve_or_energy"), py::arg("sigma") = py::none(), py::kw_only(),
          py::arg("T"), py::arg("mass") = py::none(), doc::rate);
    m.def("to_lxcat", &to_lxcat, py::arg("curve"), doc::to_lxcat);
}
