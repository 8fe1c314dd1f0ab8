// The `sigmat` Python module: a Sigmat database's cross sections, folds, thermal averages and
// rate coefficients as numpy arrays. Every number comes from the same core as the dialog and
// sigmat-cli.
//
// What it holds to, whatever Python hands it:
// - Paths are bytes to the file system. A path comes as str (a name os.fsdecode made of bytes
//   that are not UTF-8 included), bytes or os.PathLike and is kept byte for byte; every text
//   that goes back (paths, names read from the database, messages holding them) is decoded as
//   os.fsdecode does, so os.fsencode gives the bytes back and nothing raises
//   UnicodeDecodeError.
// - Every argument is converted here, by hand: what cannot be taken is a ValueError that names
//   the argument and says what it takes, never a cast error of the binding layer.
// - Numbers are checked where they enter, by the core's checks; no NaN or infinity comes back.
// - A request's work is bounded before it starts (the core's limits of pairs and cells), and
//   memory that runs out anyway is a MemoryError.
// - The computations run without the GIL.
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
#include <limits>
#include <memory>
#include <sstream>
#include <thread>

namespace py = pybind11;
using namespace sigmat;
namespace doc = sigmat::python::doc;

namespace {

PyObject* data_error_type = nullptr;

// ---- texts between Python and the file system -----------------------------------------------

// Bytes of the file system (a path, a name read from the database, a message holding them) as a
// str, decoded as os.fsdecode decodes: UTF-8, each byte that is not as a lone surrogate.
py::str text_out(std::string_view bytes) {
    PyObject* text =
        PyUnicode_DecodeFSDefaultAndSize(bytes.data(), static_cast<Py_ssize_t>(bytes.size()));
    if (!text)
        throw py::error_already_set();
    return py::reinterpret_steal<py::str>(text);
}

[[noreturn]] void raise_value_error(std::string_view message) {
    PyErr_SetObject(PyExc_ValueError, text_out(message).ptr());
    throw py::error_already_set();
}

// Raises sigmat.DataError (a RuntimeError) with the file and line of a failed read.
[[noreturn]] void raise_data_error(const store::DataError& error) {
    py::object type = py::reinterpret_borrow<py::object>(data_error_type);
    py::object exc = type(text_out(store::describe(error)));
    exc.attr("path") = text_out(error.path);
    exc.attr("line") = error.line;
    PyErr_SetObject(data_error_type, exc.ptr());
    throw py::error_already_set();
}

// The exception that stands for an error of the core: sigmat.DataError for a file that is
// missing or cannot be read, ValueError for a request that cannot be served.
[[noreturn]] void raise_error(const store::DataError& error) {
    if (error.kind == store::ErrorKind::usage || error.path.empty())
        raise_value_error(error.message);
    raise_data_error(error);
}

template <typename T> T take(store::Result<T> result) {
    if (!result)
        raise_error(result.error());
    return std::move(result).value();
}

void take_status(const store::Status& status) {
    if (!status)
        raise_error(status.error());
}

// ---- arguments --------------------------------------------------------------------------------

// "NAME: what it takes, not TYPE" for an argument that cannot be taken.
[[noreturn]] void refuse(const char* what, std::string_view takes, py::handle given,
                         py::handle item = {}) {
    std::string message =
        std::string(what) + ": " + std::string(takes) + ", not " + Py_TYPE(given.ptr())->tp_name;
    if (item)
        message += std::string(" of ") + Py_TYPE(item.ptr())->tp_name;
    raise_value_error(message);
}

bool is_text(py::handle value) {
    return PyUnicode_Check(value.ptr()) || PyBytes_Check(value.ptr()) ||
           PyByteArray_Check(value.ptr());
}

// A NUL would end the name where the system reads it, so that another file is opened.
std::string without_nul(std::string bytes, const char* what) {
    if (bytes.find('\0') != std::string::npos)
        raise_value_error(std::string(what) + ": holds a NUL character");
    return bytes;
}

std::string encoded(py::handle text, const char* what) {
    PyObject* bytes = PyUnicode_EncodeFSDefault(text.ptr());
    if (!bytes) {
        if (!PyErr_ExceptionMatches(PyExc_UnicodeEncodeError))
            throw py::error_already_set();
        PyErr_Clear();
        raise_value_error(std::string(what) + ": holds a character no file name can hold");
    }
    const auto held = py::reinterpret_steal<py::bytes>(bytes);
    return without_nul(std::string(held), what);
}

// A text (a selector, a molecule, units) as the core compares it and the file system takes it:
// a str encoded as os.fsencode does, so that a molecule read back from the database names its
// folder, or bytes as they are.
std::string text_in(py::handle value, const char* what) {
    if (PyBytes_Check(value.ptr()))
        return without_nul(std::string(py::reinterpret_borrow<py::bytes>(value)), what);
    if (!PyUnicode_Check(value.ptr()))
        refuse(what, "a str or bytes", value);
    return encoded(value, what);
}

// A path: str, bytes or os.PathLike, as the bytes it names.
std::string path_in(py::handle value, const char* what) {
    PyObject* fspath = PyOS_FSPath(value.ptr());
    if (!fspath) {
        if (!PyErr_ExceptionMatches(PyExc_TypeError))
            throw py::error_already_set();
        PyErr_Clear();
        refuse(what, "a str, bytes or os.PathLike", value);
    }
    const auto path = py::reinterpret_steal<py::object>(fspath);
    if (PyBytes_Check(path.ptr()))
        return without_nul(std::string(py::reinterpret_borrow<py::bytes>(path)), what);
    return encoded(path, what);
}

bool numeric(const py::array& array) {
    const char kind = array.dtype().kind();
    return kind == 'i' || kind == 'u' || kind == 'f';
}

// A real number: int, float, numpy's numbers and anything with __float__; not a text, a bool, a
// sequence or an array of any dimension. An int beyond a double is an infinity of its sign,
// which every range refuses.
std::optional<double> real_in(py::handle value) {
    PyObject* o = value.ptr();
    if (is_text(value) || PyBool_Check(o))
        return std::nullopt;
    if (py::isinstance<py::array>(value)) {
        const auto array = py::reinterpret_borrow<py::array>(value);
        if (array.ndim() != 0 || !numeric(array))
            return std::nullopt;
    } else if (PySequence_Check(o)) {
        return std::nullopt;
    }
    const double number = PyFloat_AsDouble(o);
    if (number == -1.0 && PyErr_Occurred()) {
        if (PyErr_ExceptionMatches(PyExc_OverflowError)) {
            PyErr_Clear();
            const int negative = PyObject_RichCompareBool(o, py::int_(0).ptr(), Py_LT);
            if (negative < 0)
                throw py::error_already_set();
            return negative ? -HUGE_VAL : HUGE_VAL;
        }
        if (!PyErr_ExceptionMatches(PyExc_TypeError) && !PyErr_ExceptionMatches(PyExc_ValueError))
            throw py::error_already_set();
        PyErr_Clear();
        return std::nullopt;
    }
    return number;
}

// A 1-D sequence or array of real numbers.
std::vector<double> sequence_in(py::handle value, const char* what, std::string_view takes) {
    PyObject* o = value.ptr();
    if (py::isinstance<py::array>(value)) {
        const auto array = py::reinterpret_borrow<py::array>(value);
        if (array.ndim() == 1 && numeric(array)) {
            const auto doubles =
                py::array_t<double, py::array::c_style | py::array::forcecast>::ensure(value);
            if (!doubles)
                throw py::error_already_set();
            return {doubles.data(), doubles.data() + doubles.size()};
        }
        if (array.ndim() != 1 || array.dtype().kind() != 'O')
            refuse(what, takes, value);
    } else if (is_text(value) || !PySequence_Check(o)) {
        refuse(what, takes, value);
    }
    const Py_ssize_t n = PySequence_Size(o);
    if (n < 0) {
        if (!PyErr_ExceptionMatches(PyExc_TypeError))
            throw py::error_already_set();
        PyErr_Clear();
        refuse(what, takes, value);
    }
    std::vector<double> out;
    out.reserve(static_cast<std::size_t>(n));
    for (Py_ssize_t i = 0; i < n; ++i) {
        PyObject* got = PySequence_GetItem(o, i);
        if (!got)
            throw py::error_already_set();
        const auto item = py::reinterpret_steal<py::object>(got);
        const std::optional<double> number = real_in(item);
        if (!number)
            refuse(what, takes, value, item);
        out.push_back(*number);
    }
    return out;
}

// An argument of one number or many: `many` for a sequence, whose results are arrays.
struct Numbers {
    std::vector<double> values;
    bool many = false;
};
Numbers numbers_in(py::handle value, const char* what, std::string_view takes) {
    if (const std::optional<double> one = real_in(value))
        return {{*one}, false};
    return {sequence_in(value, what, takes), true};
}

// How many numbers an argument of one or many holds, before any is converted.
std::size_t count_of(py::handle value) {
    if (is_text(value) || !PySequence_Check(value.ptr()) ||
        (py::isinstance<py::array>(value) && py::reinterpret_borrow<py::array>(value).ndim() == 0))
        return 1;
    const Py_ssize_t n = PySequence_Size(value.ptr());
    if (n < 0) {
        PyErr_Clear();
        return 1;
    }
    return static_cast<std::size_t>(n);
}

constexpr std::string_view kelvins_taken =
    "a number or a 1-D sequence of numbers (whole kelvins from 0 to 9999)";
constexpr std::string_view rate_temperatures_taken =
    "a number or a 1-D sequence of numbers (kelvins above 0 up to 1000000)";
constexpr std::string_view numbers_taken = "a 1-D sequence of numbers";

struct Kelvins {
    std::vector<std::int32_t> values;
    bool many = false;
};
Kelvins kelvins(py::handle value, const char* what) {
    const Numbers numbers = numbers_in(value, what, kelvins_taken);
    return {take(curves::kelvin_values(numbers.values, what)), numbers.many};
}

std::optional<std::int32_t> fwhm_in(py::handle value, const char* what) {
    if (value.is_none())
        return std::nullopt;
    const std::optional<double> number = real_in(value);
    if (!number)
        refuse(what, "a whole number of meV from 1 to 999", value);
    // A fraction, or a number beyond an int, is outside the range as much as 0 is.
    const bool whole = *number == std::trunc(*number) && std::abs(*number) < 1e9;
    return take(curves::fwhm_value(whole ? static_cast<std::int32_t>(*number) : 0, what));
}

std::optional<double> mass_in(py::handle value) {
    if (value.is_none())
        return std::nullopt;
    const std::optional<double> mass = real_in(value);
    if (!mass)
        refuse("mass", "a number (u, from 0.0001 to 10000)", value);
    take_status(curves::mass_value(mass, "mass"));
    return mass;
}

curves::SigmaUnit units_in(py::handle value) {
    return take(curves::sigma_unit(text_in(value, "units"), "units"));
}

// ---- curves -----------------------------------------------------------------------------------

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

py::list texts_out(const std::vector<std::string>& texts) {
    py::list out;
    for (const std::string& text : texts)
        out.append(text_out(text));
    return out;
}

py::dict provenance_of(const PyCurve& c) {
    const curves::Provenance& p = c.curve.provenance;
    py::dict d;
    d["database"] = text_out(p.database);
    d["source_files"] = texts_out(p.source_files);
    d["selector"] = text_out(c.selector);
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
        state["weights"] = py::cast(s.weights);
        state["file"] = text_out(s.file);
        states.append(state);
    }
    d["states"] = states;
    d["weight_totals"] = py::cast(p.weight_totals);
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

// Runs without the GIL: the curve in the units asked for.
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

unsigned all_cores() {
    return std::max(1u, std::thread::hardware_concurrency());
}

// The session on a database folder, for Python.
class Database {
  public:
    // A path that is no folder is a ValueError; an index.dat that cannot be read is a DataError.
    explicit Database(const py::object& path_in_python) {
        const std::string path = path_in(path_in_python, "path");
        std::optional<store::Result<curves::Database>> db;
        {
            py::gil_scoped_release release;
            db = curves::Database::open(store::real_file_system(), path, all_cores());
        }
        if (!*db && db->error().kind == store::ErrorKind::data)
            raise_data_error(db->error());
        if (!*db)
            raise_value_error(store::describe(db->error()));
        db_ = std::make_shared<const curves::Database>(std::move(*db).value());
    }

    py::list molecules() const {
        py::list out;
        for (const std::string& code : db_->catalogue().codes)
            out.append(text_out(store::trim_right(code)));
        return out;
    }

    py::list states(const py::object& molecule) const {
        py::list rows;
        for (const curves::LevelRow& row : take(db_->states(text_in(molecule, "molecule"))))
            rows.append(py::make_tuple(text_out(row.molecule), row.v, row.j_max));
        return rows;
    }

    std::shared_ptr<PyCurve> curve(const py::object& spec, const py::object& fwhm_given,
                                   const py::object& units) const {
        const std::string text = text_in(spec, "spec");
        const std::optional<std::int32_t> fwhm = fwhm_in(fwhm_given, "fwhm");
        const curves::SigmaUnit unit = units_in(units);
        store::Result<curves::CurveSelector> read = db_->selector(text);
        if (!read)
            raise_value_error(text + ": " + read.error().message);
        curves::CurveSelector selector = *read;
        if (selector.fwhm_mev && fwhm)
            raise_value_error(text + ": the FWHM is given both in the selector and as fwhm=");
        if (fwhm)
            selector.fwhm_mev = fwhm;
        store::Result<curves::Curve> result = store::usage_error("");
        std::shared_ptr<PyCurve> made;
        {
            py::gil_scoped_release release;
            result = db_->curve(selector);
            if (result)
                made = make_curve(db_, std::move(result).value(), unit,
                                  curves::selector_text(selector), selector, false);
        }
        if (!made)
            raise_error(result.error());
        return made;
    }

    std::shared_ptr<PyCurve> thermal(const py::object& molecule, const py::object& tv_given,
                                     const py::object& tj_given, const py::object& fwhm_given,
                                     const py::object& units) const {
        const std::string code = db_->molecule_code(text_in(molecule, "molecule"));
        // The pairs are counted before any list is read: a range of 10^9 kelvins is refused
        // before its numbers take gigabytes.
        const std::size_t ntv = count_of(tv_given), ntj = count_of(tj_given);
        const std::size_t most = std::numeric_limits<std::size_t>::max();
        take_status(
            curves::within_limits(ntj != 0 && ntv > most / ntj ? most : ntv * ntj, std::nullopt));
        const Kelvins tv = kelvins(tv_given, "tv"), tj = kelvins(tj_given, "tj");
        const std::optional<std::int32_t> fold = fwhm_in(fwhm_given, "fwhm");
        const curves::SigmaUnit unit = units_in(units);
        const std::vector<curves::TemperaturePair> pairs =
            take(curves::temperature_pairs(tv.values, tj.values));
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
        store::Result<curves::Curve> result = store::usage_error("");
        std::shared_ptr<PyCurve> made;
        {
            py::gil_scoped_release release;
            result = db_->scan(code, pairs, fold);
            if (result)
                made = make_curve(db_, std::move(result).value(), unit, std::move(text), parsed,
                                  tv.many || tj.many);
        }
        if (!made)
            raise_error(result.error());
        return made;
    }

    py::str path() const { return text_out(db_->folder()); }

  private:
    std::shared_ptr<const curves::Database> db_;
};

// ---- free functions ---------------------------------------------------------------------------

py::array_t<double> fold(const py::object& energy_in, const py::object& sigma_in,
                         const py::object& fwhm_in_mev) {
    const std::vector<double> energy = sequence_in(energy_in, "energy", numbers_taken);
    std::vector<double> sigma = sequence_in(sigma_in, "sigma", numbers_taken);
    const std::optional<double> fwhm_mev = real_in(fwhm_in_mev);
    if (!fwhm_mev)
        refuse("fwhm_meV", "a positive number", fwhm_in_mev);
    if (!(*fwhm_mev > 0.0) || !std::isfinite(*fwhm_mev))
        raise_value_error("fwhm_meV: a positive number");
    take_status(curves::fold_input(energy, sigma));
    numerics::FoldStatus status{};
    bool finite = true;
    {
        py::gil_scoped_release release;
        status = numerics::convolve_with_resolution(*fwhm_mev * 0.001, energy, sigma);
        for (const double s : sigma)
            finite = finite && std::isfinite(s);
    }
    if (status == numerics::FoldStatus::bad_width)
        raise_value_error("fwhm_meV: too narrow for its Gaussian to be tabulated");
    if (status != numerics::FoldStatus::folded && status != numerics::FoldStatus::too_short)
        raise_value_error("energy, sigma: the table cannot be folded");
    if (!finite)
        raise_value_error("sigma: values so large that the fold exceeds the range of a double");
    return py::array_t<double>(static_cast<py::ssize_t>(sigma.size()), sigma.data());
}

py::object rate(const py::object& first, const py::object& sigma_in, const py::object& t_in,
                const py::object& mass_given) {
    std::shared_ptr<PyCurve> held; // keeps the curve while the GIL is released
    curves::Curve own;
    if (py::isinstance<PyCurve>(first)) {
        if (!sigma_in.is_none())
            raise_value_error("sigma: given by the curve");
        held = first.cast<std::shared_ptr<PyCurve>>();
    } else {
        if (sigma_in.is_none())
            raise_value_error("sigma: give a curve, or energy and sigma (A^2)");
        own.energy = sequence_in(first, "curve_or_energy",
                                 "a sigmat.Curve or a 1-D sequence of numbers (energies in eV)");
        own.sigma = sequence_in(sigma_in, "sigma", numbers_taken);
        if (own.sigma.size() != own.energy.size())
            raise_value_error("energy and sigma differ in length");
    }
    const curves::Curve& table = held ? held->curve : own;
    const std::optional<curves::CurveSelector> selector =
        held ? held->parsed : std::optional<curves::CurveSelector>();
    const Numbers t = numbers_in(t_in, "T", rate_temperatures_taken);
    take_status(curves::rate_temperatures(t.values, "T"));
    const std::optional<double> mass = mass_in(mass_given);

    const std::vector<double>& temperatures = t.values;
    const std::size_t columns = table.columns;
    std::vector<double> k;
    store::Status failed;
    bool finite = true;
    {
        py::gil_scoped_release release;
        k.resize(temperatures.size() * columns);
        curves::Curve one;
        one.energy = table.energy;
        for (std::size_t col = 0; col < columns && failed; ++col) {
            one.sigma.assign(table.column(col), table.column(col) + table.points());
            store::Result<curves::RateTable> rates =
                curves::curve_rates(one, selector, temperatures, mass);
            if (!rates) {
                failed = std::move(rates).error();
                break;
            }
            for (std::size_t i = 0; i < temperatures.size(); ++i) {
                k[i * columns + col] = rates->points[i].k_cm3_s;
                finite = finite && std::isfinite(rates->points[i].k_cm3_s);
            }
        }
    }
    if (!failed)
        raise_error(failed.error());
    if (!finite)
        raise_value_error("sigma: values so large that the rate exceeds the range of a double");
    if (!t.many && columns == 1)
        return py::float_(k[0]);
    if (columns == 1)
        return py::array_t<double>(static_cast<py::ssize_t>(k.size()), k.data());
    return py::array_t<double>(
        {static_cast<py::ssize_t>(temperatures.size()), static_cast<py::ssize_t>(columns)},
        k.data());
}

py::str to_lxcat(const py::object& given) {
    if (!py::isinstance<PyCurve>(given))
        refuse("curve", "a sigmat.Curve", given);
    const auto c = given.cast<std::shared_ptr<PyCurve>>();
    if (!c->parsed)
        raise_value_error("a scan has no LXCat form: take one pair of temperatures");
    store::Result<curves::LxcatBlock> block = store::usage_error("");
    store::Status written;
    std::ostringstream out;
    {
        py::gil_scoped_release release;
        block = c->db->lxcat(c->curve, *c->parsed);
        if (block)
            written = curves::write_lxcat_block(out, *block);
    }
    if (!block)
        raise_error(block.error());
    if (!written)
        raise_value_error(written.error().message);
    return text_out(out.str());
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
            return text_out("<sigmat.Curve " + c.selector + ", " +
                            std::to_string(c.curve.points()) + " energies>");
        });

    py::class_<Database>(m, "Database", doc::database_class)
        .def(py::init<const py::object&>(), py::arg("path"), doc::database_init)
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
