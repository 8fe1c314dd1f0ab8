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
#include "curves/rate_request.h"
#include "curves/state_curves.h"
#include "docstrings.h"
#include "numerics/convolution.h"
#include "store/number_fields.h"

#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>
#include <memory>
#include <span>
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

// A FWHM in meV: any number from 1 to 999 (the command line and the selectors take whole meV).
std::optional<double> fwhm_in(py::handle value, const char* what) {
    if (value.is_none())
        return std::nullopt;
    const std::optional<double> number = real_in(value);
    if (!number)
        refuse(what, "a number of meV from 1 to 999", value);
    if (!(*number >= curves::fwhm_lowest_mev && *number <= curves::fwhm_highest_mev))
        raise_value_error(std::string(what) + ": a number of meV from 1 to 999");
    return number;
}

// The whole meV that the core's selectors take, when the FWHM is one.
std::optional<std::int32_t> whole_mev(std::optional<double> fwhm) {
    if (!fwhm || *fwhm != std::trunc(*fwhm))
        return std::nullopt;
    return static_cast<std::int32_t>(*fwhm);
}

// A FWHM as a text: "50" or "50.5".
std::string mev_text(double fwhm) {
    char text[32];
    std::snprintf(text, sizeof text, "%.10g", fwhm);
    return text;
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

// ---- tables given from Python -------------------------------------------------------------

// "NAME[I]", the element of an argument a message is about.
std::string element(std::string_view what, std::size_t i) {
    return std::string(what) + "[" + std::to_string(i) + "]";
}

std::string number_text(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.10g", value);
    return text;
}

// Two arguments that go together point by point: as long as each other.
void same_length(const std::vector<double>& first, const char* first_name,
                 const std::vector<double>& second, const char* second_name) {
    if (first.size() == second.size())
        return;
    const std::size_t missing = std::min(first.size(), second.size());
    const char* shorter = second.size() < first.size() ? second_name : first_name;
    raise_value_error(std::string(second_name) + ": " + std::to_string(second.size()) +
                      " values for " + std::to_string(first.size()) + " in " + first_name + " (" +
                      element(shorter, missing) + " is missing)");
}

void all_finite(const std::vector<double>& values, const char* what) {
    for (std::size_t i = 0; i < values.size(); ++i)
        if (!std::isfinite(values[i]))
            raise_value_error(element(what, i) + ": " + number_text(values[i]) +
                              " is not a finite number");
}

// Energies from 0 eV up that do not fall (equal neighbours are a step of the table).
void not_falling(const std::vector<double>& energy, const char* what) {
    if (!energy.empty() && energy[0] < 0.0)
        raise_value_error(element(what, 0) + ": " + number_text(energy[0]) + " is below 0 eV");
    for (std::size_t i = 1; i < energy.size(); ++i)
        if (energy[i] < energy[i - 1])
            raise_value_error(element(what, i) + ": " + number_text(energy[i]) + " after " +
                              number_text(energy[i - 1]) + ": the energies fall");
}

// The fold takes every interval as wide as the last one: energies that rise on a uniform grid.
void fold_grid(const std::vector<double>& energy, const char* what) {
    if (energy.size() < 2)
        return;
    const double step = energy[1] - energy[0];
    for (std::size_t i = 1; i < energy.size(); ++i) {
        const double d = energy[i] - energy[i - 1];
        if (!(d > 0.0))
            raise_value_error(element(what, i) + ": " + number_text(energy[i]) + " after " +
                              number_text(energy[i - 1]) + ": the energies must rise");
        if (!(std::abs(d - step) <= 1e-6 * step))
            raise_value_error(element(what, i) + ": the grid is not uniform: a step of " +
                              number_text(d) + " eV after steps of " + number_text(step) +
                              " eV (they must agree within 1e-6 of the step)");
    }
}

// ---- warnings ---------------------------------------------------------------------------------

// warnings.warn(text, category), at the caller's line.
void warn(PyObject* category, std::string_view text) {
    const py::str message = text_out(text);
    if (PyErr_WarnFormat(category, 1, "%U", message.ptr()) < 0)
        throw py::error_already_set();
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
    // A fold at a FWHM that is not a whole number of meV, which the selectors cannot hold:
    // done here on the unfolded curve, as the core folds.
    std::optional<double> fraction_fwhm;
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
    d["fwhm_meV"] = c.fraction_fwhm ? py::object(py::float_(*c.fraction_fwhm))
                    : p.fwhm_mev    ? py::object(py::int_(*p.fwhm_mev))
                                    : py::none();
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

// Folds every column of `curve` at `fwhm_mev`, as the core folds a selector's curve at whole meV.
store::Status fold_columns(curves::Curve& curve, double fwhm_mev) {
    const std::size_t n = curve.points();
    for (std::size_t col = 0; col < curve.columns; ++col) {
        const std::span<double> column(curve.sigma.data() + col * n, n);
        const numerics::FoldStatus status =
            numerics::convolve_with_resolution(fwhm_mev * 0.001, curve.energy, column);
        if (status != numerics::FoldStatus::folded && status != numerics::FoldStatus::too_short)
            return store::data_error(curve.provenance.source_files.empty()
                                         ? std::string()
                                         : curve.provenance.source_files.front(),
                                     0, "the table cannot be folded");
    }
    return {};
}

// Runs without the GIL: the curve in the units asked for, folded at `fraction_fwhm` when given.
store::Result<std::shared_ptr<PyCurve>> make_curve(std::shared_ptr<const curves::Database> db,
                                                   curves::Curve curve, curves::SigmaUnit unit,
                                                   std::string selector,
                                                   std::optional<curves::CurveSelector> parsed,
                                                   bool scan, std::optional<double> fraction_fwhm) {
    if (fraction_fwhm) {
        if (store::Status folded = fold_columns(curve, *fraction_fwhm); !folded)
            return std::move(folded).error();
        selector += ",fwhm=" + mev_text(*fraction_fwhm);
    }
    std::vector<double> sigma = curve.sigma;
    for (double& s : sigma)
        s *= curves::from_a2(unit);
    return std::make_shared<PyCurve>(PyCurve{std::move(db), std::move(curve), unit,
                                             std::move(selector), std::move(parsed), scan,
                                             std::move(sigma), fraction_fwhm});
}

// A fold narrower than twice the grid step, as a RuntimeWarning (the dialog's kernel is
// normalised analytically: such a fold inflates the curve).
void warn_narrow_fold(std::optional<double> fwhm_mev, const std::vector<double>& energy) {
    if (!fwhm_mev)
        return;
    if (const auto warning = curves::narrow_fold_warning(*fwhm_mev, energy))
        warn(PyExc_RuntimeWarning, *warning);
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

    std::shared_ptr<PyCurve> curve(const py::object& selector_given, const py::object& fwhm_given,
                                   const py::object& units) const {
        const std::string text = text_in(selector_given, "selector");
        const std::optional<double> fwhm = fwhm_in(fwhm_given, "fwhm");
        const curves::SigmaUnit unit = units_in(units);
        store::Result<curves::CurveSelector> read = db_->selector(text);
        if (!read)
            raise_value_error(text + ": " + read.error().message);
        curves::CurveSelector selector = *read;
        if (selector.fwhm_mev && fwhm)
            raise_value_error(text + ": the FWHM is given both in the selector and as fwhm=");
        // A whole number of meV goes into the selector, as sigmat-cli takes it; a fraction is
        // folded here.
        std::optional<double> fraction;
        if (fwhm && whole_mev(fwhm))
            selector.fwhm_mev = whole_mev(fwhm);
        else
            fraction = fwhm;
        store::Result<curves::Curve> result = store::usage_error("");
        store::Result<std::shared_ptr<PyCurve>> made = store::usage_error("");
        {
            py::gil_scoped_release release;
            result = db_->curve(selector);
            if (result)
                made = make_curve(db_, std::move(result).value(), unit,
                                  curves::selector_text(selector), selector, false, fraction);
        }
        if (!result)
            raise_error(result.error());
        std::shared_ptr<PyCurve> curve = take(std::move(made));
        warn_narrow_fold(fraction            ? fraction
                         : selector.fwhm_mev ? std::optional<double>(*selector.fwhm_mev)
                                             : std::nullopt,
                         curve->curve.energy);
        return curve;
    }

    // The (Tv, TJ) pairs of two arguments, counted before any list is read: a range of 10^9
    // kelvins is refused before its numbers take gigabytes.
    static std::vector<curves::TemperaturePair> pairs_in(const py::object& tv_given,
                                                         const py::object& tj_given, bool& many) {
        const std::size_t ntv = count_of(tv_given), ntj = count_of(tj_given);
        const std::size_t most = std::numeric_limits<std::size_t>::max();
        take_status(
            curves::within_limits(ntj != 0 && ntv > most / ntj ? most : ntv * ntj, std::nullopt));
        const Kelvins tv = kelvins(tv_given, "tv"), tj = kelvins(tj_given, "tj");
        many = tv.many || tj.many;
        return take(curves::temperature_pairs(tv.values, tj.values));
    }

    std::shared_ptr<PyCurve> thermal(const py::object& molecule, const py::object& tv_given,
                                     const py::object& tj_given, const py::object& fwhm_given,
                                     const py::object& units) const {
        const std::string code = db_->molecule_code(text_in(molecule, "molecule"));
        bool many = false;
        const std::vector<curves::TemperaturePair> pairs = pairs_in(tv_given, tj_given, many);
        const std::optional<double> fwhm = fwhm_in(fwhm_given, "fwhm");
        const std::optional<std::int32_t> whole = whole_mev(fwhm);
        const std::optional<double> fraction = whole ? std::nullopt : fwhm;
        const curves::SigmaUnit unit = units_in(units);
        std::optional<curves::CurveSelector> parsed;
        if (pairs.size() == 1) {
            curves::CurveSelector selector;
            selector.molecule = code;
            selector.kind = curves::ProcessKind::thermal;
            selector.temperatures = pairs[0];
            selector.fwhm_mev = whole;
            parsed = selector;
        }
        std::string text = parsed ? curves::selector_text(*parsed) : code + ":thermal scan";
        store::Result<curves::Curve> result = store::usage_error("");
        store::Result<std::shared_ptr<PyCurve>> made = store::usage_error("");
        {
            py::gil_scoped_release release;
            result = db_->scan(code, pairs, whole);
            if (result)
                made = make_curve(db_, std::move(result).value(), unit, std::move(text), parsed,
                                  many, fraction);
        }
        if (!result)
            raise_error(result.error());
        std::shared_ptr<PyCurve> scan = take(std::move(made));
        warn_narrow_fold(fwhm, scan->curve.energy);
        return scan;
    }

    py::object rates(const py::object& molecule, const py::object& tv_given,
                     const py::object& tj_given, const py::object& t_given,
                     const py::object& mean_given, const py::object& eedf_given,
                     const py::object& below_given) const;

    py::str export_lxcat(const py::object& molecule, const py::object& fwhm_given,
                         const py::object& as_tabulated) const;

    std::shared_ptr<PyCurve> measured(const py::object& path_given, const py::object& block_given,
                                      const py::object& units) const {
        const std::string path = path_in(path_given, "path");
        std::optional<std::int64_t> block;
        if (!block_given.is_none()) {
            const std::optional<double> number = real_in(block_given);
            if (!number || *number != std::trunc(*number) || !(*number >= 1.0 && *number < 1e15))
                refuse("block", "None or a block number of an LXCat file (from 1)", block_given);
            block = static_cast<std::int64_t>(*number);
        }
        const curves::SigmaUnit unit = units_in(units);
        store::Result<curves::OutsideCurve> read = store::usage_error("");
        {
            py::gil_scoped_release release;
            read = db_->measured(path, block, unit);
        }
        curves::OutsideCurve outside = take(std::move(read));
        curves::Curve curve;
        curve.energy = std::move(outside.energy);
        curve.sigma = std::move(outside.sigma);
        curve.provenance.source_files.push_back(outside.path);
        return take(make_curve(db_, std::move(curve), unit, std::move(outside.label), std::nullopt,
                               false, std::nullopt));
    }

    py::str path() const { return text_out(db_->folder()); }

  private:
    std::shared_ptr<const curves::Database> db_;
};

// ---- rates ------------------------------------------------------------------------------------

// The distribution, its abscissa and the region below the table, as the arguments give them
// (those of sigmat-cli rate: --t, --mean-energy, --eedf, --below). `many` tells whether the
// abscissa was a sequence.
curves::RateRequest rate_request_in(const py::object& t_given, const py::object& mean_given,
                                    const py::object& eedf, const py::object& below, bool& many) {
    curves::RateRequest request;
    constexpr std::string_view eedf_taken =
        "\"maxwell\", \"druyvesteyn\", a shape X from 0.5 to 5, or a pair of arrays (energy in "
        "eV, f in eV^-3/2)";
    if (const std::optional<double> shape = real_in(eedf)) {
        if (!(*shape >= 0.5 && *shape <= 5.0))
            raise_value_error("eedf: a shape X from 0.5 to 5");
        request.shape = *shape;
        request.distribution = "shape=" + number_text(*shape);
    } else if (is_text(eedf)) {
        const std::string text = text_in(eedf, "eedf");
        const curves::EedfChoice choice = take(curves::parse_eedf(text, "eedf"));
        if (choice.file)
            raise_value_error("eedf: a distribution of a file is given as its arrays (energy, f)");
        request.shape = choice.shape;
        request.distribution = choice.name;
    } else if (PySequence_Check(eedf.ptr()) && !py::isinstance<py::dict>(eedf) &&
               PySequence_Size(eedf.ptr()) == 2) {
        curves::TabulatedEedf table;
        table.energy_ev =
            sequence_in(py::reinterpret_steal<py::object>(PySequence_GetItem(eedf.ptr(), 0)),
                        "eedf[0]", "a 1-D sequence of energies (eV)");
        table.values =
            sequence_in(py::reinterpret_steal<py::object>(PySequence_GetItem(eedf.ptr(), 1)),
                        "eedf[1]", "a 1-D sequence of f (eV^-3/2)");
        same_length(table.energy_ev, "eedf[0]", table.values, "eedf[1]");
        all_finite(table.energy_ev, "eedf[0]");
        all_finite(table.values, "eedf[1]");
        not_falling(table.energy_ev, "eedf[0]");
        for (std::size_t i = 0; i < table.values.size(); ++i)
            if (table.values[i] < 0.0)
                raise_value_error(element("eedf[1]", i) + ": " + number_text(table.values[i]) +
                                  " is below 0");
        if (!t_given.is_none() || !mean_given.is_none())
            raise_value_error("eedf: the arrays are the distribution; leave out T and mean_energy");
        request.tables.push_back(std::move(table));
        request.distribution = "tabulated";
    } else {
        if (PyErr_Occurred())
            PyErr_Clear();
        refuse("eedf", eedf_taken, eedf);
    }
    const std::string below_text = text_in(below, "below");
    if (below_text != "zero" && below_text != "wigner")
        raise_value_error("below: \"zero\" or \"wigner\"");
    request.below = below_text == "wigner" ? curves::BelowTable::wigner : curves::BelowTable::zero;
    many = false;
    if (!request.tables.empty())
        return request;
    if (t_given.is_none() == mean_given.is_none())
        raise_value_error("T, mean_energy: give one of T (K) and mean_energy (eV)");
    if (!mean_given.is_none()) {
        const Numbers mean = numbers_in(mean_given, "mean_energy",
                                        "a number or a 1-D sequence of numbers (eV from 0.001 "
                                        "to 1000)");
        take_status(curves::mean_energies(mean.values, "mean_energy"));
        request.abscissa = curves::RateAbscissa::mean_energy;
        request.values = mean.values;
        many = mean.many;
    } else {
        const Numbers t = numbers_in(t_given, "T", rate_temperatures_taken);
        take_status(curves::rate_temperatures(t.values, "T"));
        request.values = t.values;
        many = t.many;
    }
    return request;
}

// A warning of the core as Python says it: a distribution given as arrays is "eedf", where
// sigmat-cli names a file's column.
std::string rate_warning(std::string text) {
    // At the start, or after the pair of a thermal gas ("Tv=300 K, TJ=300 K: column 0: ...").
    constexpr std::string_view column0 = "column 0: ";
    std::size_t at = text.starts_with(column0) ? 0 : text.find(std::string(": ") + column0.data());
    if (at == std::string::npos)
        return text;
    if (at != 0)
        at += 2;
    return text.replace(at, column0.size(), "eedf: ");
}

std::string pair_text(const curves::TemperaturePair& t) {
    return "Tv=" + std::to_string(t.tv_k) + " K, TJ=" + std::to_string(t.tj_k) + " K";
}

std::string_view abscissa_name(curves::RateAbscissa abscissa) {
    switch (abscissa) {
    case curves::RateAbscissa::temperature:
        return "T_K";
    case curves::RateAbscissa::mean_energy:
        return "mean_energy_eV";
    case curves::RateAbscissa::column:
        break;
    }
    return "eedf";
}

// ---- free functions ---------------------------------------------------------------------------

py::array_t<double> fold(const py::object& energy_in, const py::object& sigma_in,
                         const py::object& fwhm_in_mev) {
    const std::vector<double> energy = sequence_in(energy_in, "energy", numbers_taken);
    std::vector<double> sigma = sequence_in(sigma_in, "sigma", numbers_taken);
    if (fwhm_in_mev.is_none())
        refuse("fwhm_meV", "a number of meV from 1 to 999", fwhm_in_mev);
    const double fwhm_mev = *fwhm_in(fwhm_in_mev, "fwhm_meV");
    same_length(energy, "energy", sigma, "sigma");
    all_finite(energy, "energy");
    all_finite(sigma, "sigma");
    fold_grid(energy, "energy");
    numerics::FoldStatus status{};
    bool finite = true;
    {
        py::gil_scoped_release release;
        status = numerics::convolve_with_resolution(fwhm_mev * 0.001, energy, sigma);
        for (const double s : sigma)
            finite = finite && std::isfinite(s);
    }
    if (status != numerics::FoldStatus::folded && status != numerics::FoldStatus::too_short)
        raise_value_error("energy, sigma: the table cannot be folded");
    if (!finite)
        raise_value_error("sigma: values so large that the fold exceeds the range of a double");
    warn_narrow_fold(fwhm_mev, energy);
    return py::array_t<double>(static_cast<py::ssize_t>(sigma.size()), sigma.data());
}

py::object rate(const py::object& first, const py::object& sigma_in, const py::object& t_in,
                const py::object& mean_in, const py::object& eedf, const py::object& below,
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
        same_length(own.energy, "energy", own.sigma, "sigma");
        all_finite(own.energy, "energy");
        all_finite(own.sigma, "sigma");
        not_falling(own.energy, "energy");
    }
    const curves::Curve& table = held ? held->curve : own;
    const std::optional<curves::CurveSelector> selector =
        held ? held->parsed : std::optional<curves::CurveSelector>();
    bool many = false;
    curves::RateRequest request = rate_request_in(t_in, mean_in, eedf, below, many);
    request.mass_u = mass_in(mass_given);

    const std::size_t columns = table.columns;
    const std::size_t rows = request.tables.empty() ? request.values.size() : 1;
    std::vector<double> k;
    std::vector<std::string> warnings;
    store::Status failed;
    bool finite = true;
    {
        py::gil_scoped_release release;
        k.resize(rows * columns);
        curves::Curve one;
        one.energy = table.energy;
        for (std::size_t col = 0; col < columns && failed; ++col) {
            one.sigma.assign(table.column(col), table.column(col) + table.points());
            store::Result<curves::Rates> rates = curves::curve_rates(one, selector, request);
            if (!rates) {
                failed = std::move(rates).error();
                break;
            }
            for (std::size_t i = 0; i < rows; ++i) {
                k[i * columns + col] = rates->rows[i].k_cm3_s;
                finite = finite && std::isfinite(rates->rows[i].k_cm3_s);
            }
            // A scan's columns are pairs of a thermal gas, named as sigmat-cli rates names them;
            // what concerns the distribution alone is said once.
            const auto& pairs = table.provenance.temperatures;
            for (std::string& warning : rates->warnings) {
                warning = rate_warning(std::move(warning));
                if (columns > 1 && col < pairs.size() &&
                    warning.find("the integral of f sqrt(E) dE") == std::string::npos)
                    warning = pair_text(pairs[col]) + ": " + warning;
                if (std::find(warnings.begin(), warnings.end(), warning) == warnings.end())
                    warnings.push_back(std::move(warning));
            }
        }
    }
    if (!failed)
        raise_error(failed.error());
    if (!finite)
        raise_value_error("sigma: values so large that the rate exceeds the range of a double");
    for (const std::string& warning : warnings)
        warn(PyExc_RuntimeWarning, warning);
    if (!many && columns == 1)
        return py::float_(k[0]);
    if (columns == 1)
        return py::array_t<double>(static_cast<py::ssize_t>(k.size()), k.data());
    return py::array_t<double>({static_cast<py::ssize_t>(rows), static_cast<py::ssize_t>(columns)},
                               k.data());
}

py::dict fit_arrhenius(const py::object& t_given, const py::object& k_given) {
    const std::vector<double> t = sequence_in(t_given, "T", numbers_taken);
    const std::vector<double> k = sequence_in(k_given, "k", numbers_taken);
    same_length(t, "T", k, "k");
    all_finite(t, "T");
    all_finite(k, "k");
    for (std::size_t i = 0; i < t.size(); ++i)
        if (!(t[i] > 0.0))
            raise_value_error(element("T", i) + ": " + number_text(t[i]) + " is not above 0 K");
    std::vector<curves::RateRow> rows;
    for (std::size_t i = 0; i < t.size(); ++i)
        rows.push_back({t[i], 0.0, k[i]});
    const curves::RateFit fit = curves::fit_rates(rows);
    if (!fit.fit)
        raise_value_error("k: " + fit.missing + ": no fit");
    py::dict d;
    d["A"] = fit.fit->a;
    d["b"] = fit.fit->b;
    d["Ea_K"] = fit.fit->ea_k;
    py::list range;
    range.append(fit.fit->t_lo_k);
    range.append(fit.fit->t_hi_k);
    d["T_K"] = range;
    d["max_deviation"] = fit.fit->max_deviation;
    return d;
}

// A block folded here at a fraction of a meV says so where a whole FWHM would stand.
void mark_fraction_fold(curves::LxcatBlock& block, double fwhm_mev) {
    block.param += ", FWHM = " + mev_text(fwhm_mev) + " meV";
    for (std::string& line : block.comments) {
        if (line == "FWHM: none")
            line = "FWHM: " + mev_text(fwhm_mev) + " meV";
        else if (line.starts_with("selector: "))
            line += ",fwhm=" + mev_text(fwhm_mev);
    }
}

py::str to_lxcat(const py::object& given, const py::object& as_tabulated_given) {
    if (!py::isinstance<PyCurve>(given))
        refuse("curve", "a sigmat.Curve", given);
    const bool as_tabulated = PyObject_IsTrue(as_tabulated_given.ptr()) == 1;
    const auto c = given.cast<std::shared_ptr<PyCurve>>();
    if (!c->parsed)
        raise_value_error(c->scan ? "a scan has no LXCat form: take one pair of temperatures"
                                  : "a measured curve has no LXCat form of the database's");
    store::Result<curves::LxcatBlock> block = store::usage_error("");
    store::Status written;
    std::ostringstream out;
    {
        py::gil_scoped_release release;
        block = c->db->lxcat(c->curve, *c->parsed, as_tabulated);
        if (block && c->fraction_fwhm)
            mark_fraction_fold(*block, *c->fraction_fwhm);
        if (block)
            written = curves::write_lxcat_block(out, *block);
    }
    if (!block)
        raise_error(block.error());
    if (!written)
        raise_value_error(written.error().message);
    return text_out(out.str());
}

py::object Database::rates(const py::object& molecule, const py::object& tv_given,
                           const py::object& tj_given, const py::object& t_given,
                           const py::object& mean_given, const py::object& eedf_given,
                           const py::object& below_given) const {
    const std::string code = db_->molecule_code(text_in(molecule, "molecule"));
    bool many_pairs = false, many = false;
    const std::vector<curves::TemperaturePair> pairs = pairs_in(tv_given, tj_given, many_pairs);
    const std::size_t ntv = count_of(tv_given), ntj = count_of(tj_given);
    const curves::RateRequest request =
        rate_request_in(t_given, mean_given, eedf_given, below_given, many);
    store::Result<curves::ThermalRates> result = store::usage_error("");
    {
        py::gil_scoped_release release;
        result = db_->rates(code, pairs, request);
    }
    const curves::ThermalRates rates = take(std::move(result));

    // The warnings sigmat-cli rates writes: the pairs whose states hold less than 99 % of the
    // population, then the distributions' and each pair's worst tail and below-table share.
    std::vector<std::string> warnings;
    for (const curves::PairCoverage& pair : curves::thermal_report(rates.average).pairs)
        if (pair.warning)
            warnings.push_back(pair.text + "; the average leaves the rest out");
    for (const std::string& warning : rates.rates.warnings)
        warnings.push_back(rate_warning(warning));

    std::vector<double> k(rates.rates.rows.size());
    for (std::size_t i = 0; i < k.size(); ++i)
        k[i] = rates.rates.rows[i].k_cm3_s;
    py::array values(py::dtype::of<double>(),
                     std::vector<py::ssize_t>{static_cast<py::ssize_t>(ntv),
                                              static_cast<py::ssize_t>(ntj),
                                              static_cast<py::ssize_t>(rates.per_pair)},
                     k.data());

    // The provenance of the average (states, weights, coverage per pair) and of the rates.
    const PyCurve average{
        db_, rates.average, curves::SigmaUnit::a2, code + ":thermal rates", std::nullopt, true,
        {},  std::nullopt};
    py::dict provenance = provenance_of(average);
    py::list tv, tj, abscissa, mean_energy;
    for (std::size_t p = 0; p < pairs.size(); p += ntj)
        tv.append(pairs[p].tv_k);
    for (std::size_t p = 0; p < ntj; ++p)
        tj.append(pairs[p].tj_k);
    for (std::size_t i = 0; i < rates.per_pair; ++i) {
        abscissa.append(rates.rates.rows[i].abscissa);
        mean_energy.append(rates.rates.rows[i].mean_energy_ev);
    }
    provenance["tv_K"] = tv;
    provenance["tj_K"] = tj;
    provenance["abscissa"] = std::string(abscissa_name(rates.rates.abscissa));
    provenance["abscissa_values"] = abscissa;
    provenance["mean_energy_eV"] = mean_energy;
    provenance["distribution"] = rates.rates.distribution;
    provenance["below"] = rates.rates.below == curves::BelowTable::wigner ? "wigner" : "zero";
    provenance["mass_u"] = rates.rates.mass_u;
    provenance["units"] = "cm3/s";
    provenance["warnings"] = texts_out(warnings);

    for (const std::string& warning : warnings)
        warn(PyExc_RuntimeWarning, warning);
    py::object out = values.attr("view")(py::module_::import("sigmat").attr("RateArray"));
    out.attr("provenance") = provenance;
    out.attr("setflags")(py::arg("write") = false);
    return out;
}

py::str Database::export_lxcat(const py::object& molecule, const py::object& fwhm_given,
                               const py::object& as_tabulated_given) const {
    const std::string code = db_->molecule_code(text_in(molecule, "molecule"));
    const std::optional<double> fwhm = fwhm_in(fwhm_given, "fwhm");
    const std::optional<std::int32_t> whole = whole_mev(fwhm);
    const bool as_tabulated = PyObject_IsTrue(as_tabulated_given.ptr()) == 1;
    store::Result<curves::Database::LxcatSet> read = store::usage_error("");
    store::Status written;
    std::ostringstream out;
    {
        py::gil_scoped_release release;
        // A fraction of a meV is folded here, on the tables as they stand, which then end as
        // every block ends.
        const bool fraction = fwhm && !whole;
        read = db_->lxcat_set(code, whole, as_tabulated || fraction);
        if (read && fraction)
            for (curves::LxcatBlock& block : read->blocks) {
                if (numerics::convolve_with_resolution(*fwhm * 0.001, block.energy_ev,
                                                       block.sigma_m2) ==
                    numerics::FoldStatus::folded)
                    mark_fraction_fold(block, *fwhm);
                const std::size_t n = block.energy_ev.size();
                if (!as_tabulated && n >= 2) {
                    block.energy_ev.push_back(block.energy_ev[n - 1] +
                                              (block.energy_ev[n - 1] - block.energy_ev[n - 2]));
                    block.sigma_m2.push_back(0.0);
                    block.comments.emplace_back(curves::zero_row_comment);
                }
            }
        if (read)
            for (const curves::LxcatBlock& block : read->blocks)
                if (written)
                    written = curves::write_lxcat_block(out, block);
    }
    const curves::Database::LxcatSet set = take(std::move(read));
    if (!written)
        raise_value_error(written.error().message);
    for (const std::string& path : set.missing)
        warn(PyExc_RuntimeWarning, path + ": no such file; the state is left out");
    if (set.blocks.empty())
        raise_data_error(store::DataError{store::ErrorKind::data, db_->folder(), 0,
                                          "no state of " + code + " has a file to export"});
    warn_narrow_fold(fwhm, set.blocks.front().energy_ev);
    return text_out(out.str());
}

} // namespace

PYBIND11_MODULE(_sigmat, m) {
    // The names are the package's: sigmat.Curve, not sigmat._sigmat.Curve, in help() and reprs.
    const py::object own_name = m.attr("__name__");
    m.attr("__name__") = "sigmat";
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
        .def("curve", &Database::curve, py::arg("selector"), py::arg("fwhm") = py::none(),
             py::arg("units") = "A2", doc::database_curve)
        .def("thermal", &Database::thermal, py::arg("molecule"), py::arg("tv"), py::arg("tj"),
             py::arg("fwhm") = py::none(), py::arg("units") = "A2", doc::database_thermal)
        .def("rates", &Database::rates, py::arg("molecule"), py::arg("tv"), py::arg("tj"),
             py::arg("T") = py::none(), py::arg("mean_energy") = py::none(),
             py::arg("eedf") = "maxwell", py::arg("below") = "zero", doc::database_rates)
        .def("export_lxcat", &Database::export_lxcat, py::arg("molecule"),
             py::arg("fwhm") = py::none(), py::arg("as_tabulated") = false,
             doc::database_export_lxcat)
        .def("measured", &Database::measured, py::arg("path"), py::arg("block") = py::none(),
             py::arg("units") = "A2", doc::database_measured)
        .def_property_readonly("path", &Database::path, doc::database_path);

    m.def("fold", &fold, py::arg("energy"), py::arg("sigma"), py::arg("fwhm_meV"), doc::fold);
    m.def("rate", &rate, py::arg("curve_or_energy"), py::arg("sigma") = py::none(), py::kw_only(),
          py::arg("T") = py::none(), py::arg("mean_energy") = py::none(),
          py::arg("eedf") = "maxwell", py::arg("below") = "zero", py::arg("mass") = py::none(),
          doc::rate);
    m.def("fit_arrhenius", &fit_arrhenius, py::arg("T"), py::arg("k"), doc::fit_arrhenius);
    m.def("to_lxcat", &to_lxcat, py::arg("curve"), py::arg("as_tabulated") = false, doc::to_lxcat);
    m.attr("__name__") = own_name;
}
