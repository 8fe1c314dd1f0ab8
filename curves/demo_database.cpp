// Every file it writes says on its first line that it holds MODEL DATA FOR DEMONSTRATION.
// The numbers come from the small physical model below, not from any data set.
//
// Molecules: HF, DF, HCl, DCl, HBr, DBr, HI, DI (the most abundant halogen isotope).
//
// Level energies. The hydride's constants omega_e, omega_e x_e, B_e (cm^-1) and D0 (eV) are
// the usual spectroscopic values; the deuteride's follow from the isotope relations with
// rho = sqrt(mu_H / mu_D): omega_e rho, omega_e x_e rho^2, B_e rho^2, and D0 shifted by the
// difference of the zero-point energies (the potential well is the same). Then
//   E(v,J) = omega_e (v+1/2) - omega_e x_e (v+1/2)^2 + B_e J(J+1) - zero point,
// measured from the ground state (v=0, J=0).
//
// DEA, e + HX(v,J) -> H + X-: threshold E_th = D0 - EA(X) - E(v,J) (negative: exothermic).
//   sigma(E) = g pi/k^2 sqrt(E/(E+E_w)) exp(-(E - max(E_th,0))/W_v) P(v,J),  E >= E_th
//   pi/k^2 = pi hbar^2/(2 m_e E) (capture limit of an s-wave electron), the square root
//   gives the Wigner E^-1/2 law of exothermic attachment below E_w, the exponential is the
//   Franck-Condon window of the reflected vibrational wave function, of width
//   W_v = W_0 sqrt(2v+1) (1 u / mu)^(1/4), and P the survival of the resonance against
//   autodetachment on its way out, P = exp(-a sqrt(mu / 1 u) max(0, E_th + b)): the less
//   energy is missing, the shorter the way to the stabilisation point; heavier nuclei move
//   more slowly, so the deuteride survives less often. The onset is vertical at E_th.
//
// VE, e + HX(v,J) -> e + HX(v',J): thresholds E(v',J) - E(v,J), a threshold peak
//   sigma(E) = A sqrt(1 u / mu) C(v',v) q^(v'-v-1) f(E - threshold),
//   f(x) = sqrt(x/(x+w_r)) ((1-c) exp(-x/w_p) + c exp(-x/w_t)),
//   with the binomial C(v',v) (harmonic matrix elements grow with v) and a factor q per
//   further quantum. De-excitation (v' < v) follows by detailed balance,
//   sigma_v->v'(E) = (E+dE)/E sigma_v'->v(E+dE).
//   The elastic column (v' = v, summed over the final J) is the largest: the long-range
//   dipole scattering of a polar molecule plus a short-range hard core,
//   sigma_el(E) = s(v,J) [pi R^2 + (8 pi/3) (D/(e a0))^2 a0^2 Ry/(E + E_d)],
//   the Born dipole cross section without its logarithm, whose 1/E rise is cut off below
//   E_d, with D the molecule's dipole moment and R a model core radius. The bond stretches
//   as the molecule holds more quanta n = E(v,J)/omega_e, and with it the dipole and the
//   core: s = 1 + a_s n sqrt(1 u / mu) (the stretch per quantum goes as hbar/(mu omega),
//   that is as mu^(-1/2)).
//   So HF (1.83 D) falls from about 70 A^2 to 12 A^2 over the grid, HI (0.45 D) stays
//   near 20 A^2; the deuteride has the same D and R and stretches less per quantum.
//
// AED, X- + H -> HX(v,J) + e: the Langevin capture cross section of the ion by the
// polarisable hydrogen atom, sigma_L = pi sqrt(2 alpha_H e^2/(4 pi eps0) / E), times the
// fraction f that ends in detachment, gives the total (falling with energy). It is shared
// among the bound final states (v,J) open at the collision energy E in proportion to
// (2J+1) exp(-(E + D0 - EA - E(v,J))/e_b): the near-resonant channels are favoured.
//
// Files: the catalogue index.dat lists the states v = 0..4, J = 0..20 of every molecule,
// and each of them has its DEA and its VE file, so every state the dialog offers has data.
// DEA {mol}/DA/nuVV/DAVVJjj.dat on 10 meV steps up to 5 eV, all on one grid (the
// temperature average needs that); VE {mol}/VE/nuVV/VEVVJjj.dat on 10 meV steps up to
// 4 eV, columns v' = 0..5 (every final state the dialog offers, v' <= 4, and one more);
// AED {mol}/AD/adJjj.dat for J = 0..20 on 10 meV steps up to 3 eV, column 2 the sum over
// v and columns 3.. the final v = 0..7 (the dialog plots column v + 3), and
// {mol}/AD/adTot.dat. 1,857 files, about 41 MB, written in well under a second.
//
// Exit code 0; 1 when a file cannot be written; 2 for a wrong command line.
#include "curves/demo_database.h"

#include "store/catalogue_file.h"
#include "store/data_files.h"
#include "store/number_fields.h"
#include "store/paths.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <numbers>
#include <string>
#include <string_view>
#include <vector>

namespace sigmat::curves {
namespace {

using store::format_i;

constexpr double cm_to_ev = 1.239841984e-4;  // 1 cm^-1 in eV
constexpr double hbar2_over_2me = 3.80998;   // hbar^2 / (2 m_e) in eV A^2
constexpr double coulomb = 14.399645;        // e^2 / (4 pi eps0) in eV A
constexpr double mass_h = 1.00782503;        // u
constexpr double mass_d = 2.01410178;        // u
constexpr double polarisability_h = 0.66679; // A^3, the hydrogen atom (D the same)
constexpr double bohr = 0.529177;            // a0, A
constexpr double rydberg = 13.605693;        // eV
constexpr double debye_per_ea0 = 2.541746;   // e a0 in debye

// The hydride of each halogen: spectroscopic constants, dissociation energy and the
// electron affinity of the halogen atom. The last field is a model amplitude.
struct Hydride {
    const char* h_code;
    const char* d_code;
    const char* halogen;
    double halogen_mass; // u
    double we, wexe, be; // cm^-1
    double d0;           // eV
    double ea;           // eV, of the halogen atom
    double ve_peak;      // A^2, VE threshold-peak scale (model parameter)
    double dipole;       // debye, of the molecule in its ground state
    double core_radius;  // A, short-range core of the elastic scattering (model parameter)
};

// In the order of the molecule list.
constexpr Hydride hydrides[] = {
    {"HBr", "DBr", "Br", 78.918338, 2648.975, 45.2175, 8.46488, 3.758, 3.3636, 2.5, 0.827, 2.2},
    {"HCl", "DCl", "Cl", 34.968853, 2990.946, 52.8186, 10.5934, 4.4336, 3.6127, 2.0, 1.109, 2.0},
    {"HI", "DI", "I", 126.904473, 2309.014, 39.6435, 6.4263, 3.054, 3.0591, 3.0, 0.448, 2.5},
    {"HF", "DF", "F", 18.998403, 4138.32, 89.88, 20.9557, 5.869, 3.4012, 1.0, 1.826, 1.6},
};

// Model parameters.
constexpr double dea_g = 0.5;          // capture probability at the onset
constexpr double dea_wigner = 0.1;     // eV, E_w
constexpr double dea_window = 0.25;    // eV, W_0
constexpr double dea_survival_a = 4.2; // 1/eV
constexpr double dea_survival_b = 0.5; // eV
constexpr double ve_rise = 0.005;      // eV, w_r
constexpr double ve_peak_decay = 0.15; // eV, w_p
constexpr double ve_tail = 1.5;        // eV, w_t
constexpr double ve_tail_share = 0.2;  // c
constexpr double ve_overtone = 0.15;   // q
constexpr double el_dipole_cut = 0.25; // eV, E_d
constexpr double el_stretch = 0.05;    // a_s
constexpr double aed_fraction = 0.4;   // f
constexpr double aed_branching = 0.25; // eV, e_b

// The states written: the catalogue offers v = 0..state_v_max and J = 0..state_j_max, and
// the dialog's final-state spin v' = 0..state_v_max; each has its DEA and VE file, and
// each J its AED file with a column for every such final v.
constexpr int state_v_max = 4, state_j_max = 20;
constexpr int ve_final_max = 5, aed_final_max = 7;
static_assert(ve_final_max >= state_v_max && aed_final_max >= state_v_max,
              "every final state the dialog offers needs its column");
static_assert(ve_final_max + 1 <= 19 && aed_final_max + 2 <= 19,
              "a reader's row holds at most 19 cross sections");

// Grids: every row at a whole multiple of the step, up to the top.
struct Grid {
    int resolution_mev;
    int steps; // the top is steps x resolution
    double energy(int k) const { return k * resolution_mev / 1000.0; }
    double top() const { return energy(steps); }
};
constexpr Grid dea_grid{10, 500}, ve_grid{10, 400}, aed_grid{10, 300};

struct Molecule {
    std::string code;
    std::string halogen;
    double mu; // reduced mass, u
    double we, wexe, be, d0, ea, ve_peak, dipole, core_radius;
};

double reduced_mass(double a, double b) {
    return a * b / (a + b);
}

double zero_point_cm(double we, double wexe) {
    return 0.5 * we - 0.25 * wexe;
}

std::vector<Molecule> molecules() {
    std::vector<Molecule> out;
    for (const Hydride& h : hydrides) {
        const double mu_h = reduced_mass(mass_h, h.halogen_mass);
        const double mu_d = reduced_mass(mass_d, h.halogen_mass);
        const double rho = std::sqrt(mu_h / mu_d);
        Molecule hx{h.h_code, h.halogen, mu_h,      h.we,     h.wexe,       h.be,
                    h.d0,     h.ea,      h.ve_peak, h.dipole, h.core_radius};
        Molecule dx{h.d_code,           h.halogen,        mu_d,         h.we * rho,
                    h.wexe * rho * rho, h.be * rho * rho, 0.0,          h.ea,
                    h.ve_peak,          h.dipole,         h.core_radius};
        dx.d0 = h.d0 + (zero_point_cm(hx.we, hx.wexe) - zero_point_cm(dx.we, dx.wexe)) * cm_to_ev;
        out.push_back(hx);
        out.push_back(dx);
    }
    return out;
}

// E(v,J) above the ground state, eV.
double level(const Molecule& m, int v, int j) {
    const double x = v + 0.5;
    return (m.we * x - m.wexe * x * x + m.be * j * (j + 1) - zero_point_cm(m.we, m.wexe)) *
           cm_to_ev;
}

// ---- DEA ----------------------------------------------------------------------------------

double dea_threshold(const Molecule& m, int v, int j) {
    return m.d0 - m.ea - level(m, v, j);
}

double dea_cross_section(const Molecule& m, int v, int j, double e) {
    const double threshold = dea_threshold(m, v, j);
    if (e <= 0.0 || e < threshold)
        return 0.0;
    const double capture = std::numbers::pi * hbar2_over_2me / e;
    const double wigner = std::sqrt(e / (e + dea_wigner));
    const double width = dea_window * std::sqrt(2.0 * v + 1.0) / std::pow(m.mu, 0.25);
    const double window = std::exp(-(e - std::max(threshold, 0.0)) / width);
    const double survival =
        std::exp(-dea_survival_a * std::sqrt(m.mu) * std::max(0.0, threshold + dea_survival_b));
    return dea_g * capture * wigner * window * survival;
}

// ---- VE -----------------------------------------------------------------------------------

double binomial(int n, int k) {
    double b = 1.0;
    for (int i = 1; i <= k; ++i)
        b = b * (n - k + i) / i;
    return b;
}

double ve_excitation(const Molecule& m, int v, int vf, int j, double e) {
    const double x = e - (level(m, vf, j) - level(m, v, j));
    if (x <= 0.0)
        return 0.0;
    const double amplitude =
        m.ve_peak / std::sqrt(m.mu) * binomial(vf, v) * std::pow(ve_overtone, vf - v - 1);
    const double shape =
        std::sqrt(x / (x + ve_rise)) * ((1.0 - ve_tail_share) * std::exp(-x / ve_peak_decay) +
                                        ve_tail_share * std::exp(-x / ve_tail));
    return amplitude * shape;
}

// Vibrationally elastic, summed over the final rotational states.
double ve_elastic(const Molecule& m, int v, int j, double e) {
    if (e <= 0.0)
        return 0.0;
    const double quanta = level(m, v, j) / (m.we * cm_to_ev);
    const double stretch = 1.0 + el_stretch * quanta / std::sqrt(m.mu);
    const double d = m.dipole / debye_per_ea0;
    const double dipole =
        8.0 * std::numbers::pi / 3.0 * d * d * bohr * bohr * rydberg / (e + el_dipole_cut);
    return stretch * (std::numbers::pi * m.core_radius * m.core_radius + dipole);
}

double ve_cross_section(const Molecule& m, int v, int vf, int j, double e) {
    if (vf > v)
        return ve_excitation(m, v, vf, j, e);
    if (vf == v)
        return ve_elastic(m, v, j, e);
    if (e <= 0.0)
        return 0.0;
    const double released = level(m, v, j) - level(m, vf, j);
    return (e + released) / e * ve_excitation(m, vf, v, j, e + released);
}

// ---- AED ----------------------------------------------------------------------------------

double aed_total(double e) {
    return aed_fraction * std::numbers::pi * std::sqrt(2.0 * polarisability_h * coulomb / e);
}

// The bound final states (v, J): E(v,J) below D0 on the rising part of the level ladder.
struct Channel {
    int v, j;
    double energy;
};

// Number of levels v = 0, 1, ... below the top of the level ladder (where E(v) stops rising).
int ladder_levels(const Molecule& m) {
    int n = 0;
    while (n < 60 && n + 0.5 < m.we / (2.0 * m.wexe))
        ++n;
    return n;
}

std::vector<Channel> bound_channels(const Molecule& m) {
    std::vector<Channel> out;
    for (int v = 0; v < ladder_levels(m); ++v)
        for (int j = 0; j <= 200 && level(m, v, j) < m.d0; ++j)
            out.push_back({v, j, level(m, v, j)});
    return out;
}

double aed_weight(const Molecule& m, int j, double state_energy, double e) {
    const double available = e + m.d0 - m.ea - state_energy;
    return available < 0.0 ? 0.0 : (2.0 * j + 1.0) * std::exp(-available / aed_branching);
}

double aed_threshold(const Molecule& m, int v, int j) {
    return std::max(0.0, level(m, v, j) - (m.d0 - m.ea));
}

// ---- Files --------------------------------------------------------------------------------

constexpr std::string_view banner = "MODEL DATA FOR DEMONSTRATION, not measured:";
constexpr std::string_view written_by =
    " written by sigmat-demo-db (see sigmat-demo-db --help for the model)";

// A cross section as written: values below 1e-30 A^2 are 0, they mean nothing in a plot and
// an exponent of three digits would not fit the field.
double shown(double x) {
    return x < 1e-30 ? 0.0 : x;
}

std::string fixed(double x, int decimals) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.*f", decimals, x);
    return buf;
}

std::string two_digits(int n) {
    return format_i(n, 2, 2);
}

store::DataFileContent on_grid(store::ProcessKind kind, const Grid& g) {
    store::DataFileContent c;
    c.kind = kind;
    c.max_energy_ev = g.top();
    c.resolution_mev = g.resolution_mev;
    return c;
}

std::string dea_file(const Molecule& m, int v, int j) {
    const double threshold = dea_threshold(m, v, j);
    store::DataFileContent c = on_grid(store::ProcessKind::dea, dea_grid);
    c.state_energy_ev = level(m, v, j);
    c.comments = {" " + std::string(banner) + " DEA cross section of " + m.code +
                      "(v=" + std::to_string(v) + ", J=" + std::to_string(j) + ")",
                  std::string(written_by),
                  " (eV, above v=0 J=0)   DEA threshold = " + fixed(threshold, 4) + " eV",
                  "",
                  " Energy    DEA c.s.",
                  " (eV)      (A^2)"};
    // Rows from the first grid point at or above the threshold (the first one at all when
    // the attachment is exothermic) up to the top.
    const int first = std::max(
        1, static_cast<int>(std::ceil(threshold * 1000.0 / dea_grid.resolution_mev - 1e-9)));
    for (int k = first; k <= dea_grid.steps; ++k) {
        const double e = dea_grid.energy(k);
        c.energies.push_back(e);
        c.values.push_back(shown(dea_cross_section(m, v, j, e)));
    }
    return store::write_data_file(c);
}

std::string ve_file(const Molecule& m, int v, int j) {
    store::DataFileContent c = on_grid(store::ProcessKind::ve, ve_grid);
    c.comments = {" " + std::string(banner) + " VE cross sections of " + m.code +
                      "(v=" + std::to_string(v) + ", J=" + std::to_string(j) + ")",
                  std::string(written_by),
                  " columns: energy (eV), then v' = 0.." + std::to_string(ve_final_max) +
                      " (A^2); v' = v the vibrationally elastic",
                  "",
                  "",
                  " thresholds (eV) of the final states:",
                  " Energy    v'=0 ..."};
    for (int vf = 0; vf <= ve_final_max; ++vf)
        c.thresholds.push_back(std::max(0.0, level(m, vf, j) - level(m, v, j)));
    for (int k = 1; k <= ve_grid.steps; ++k) {
        const double e = ve_grid.energy(k);
        c.energies.push_back(e);
        for (int vf = 0; vf <= ve_final_max; ++vf)
            c.values.push_back(shown(ve_cross_section(m, v, vf, j, e)));
    }
    return store::write_data_file(c);
}

// The state-resolved AED files of all J and the total: the channel weights are normalised
// over all bound final states at each energy.
store::Status write_aed(const DemoWriter& write, const Molecule& m) {
    const auto channels = bound_channels(m);
    const int bound_levels = ladder_levels(m);
    std::vector<double> norm(static_cast<std::size_t>(aed_grid.steps + 1), 0.0);
    for (int k = 1; k <= aed_grid.steps; ++k)
        for (const Channel& c : channels)
            norm[static_cast<std::size_t>(k)] += aed_weight(m, c.j, c.energy, aed_grid.energy(k));
    auto share = [&](int v, int j, double e, int k) {
        const double z = norm[static_cast<std::size_t>(k)];
        return z > 0.0 ? aed_total(e) * aed_weight(m, j, level(m, v, j), e) / z : 0.0;
    };
    const std::string reaction = m.halogen + "- + " + m.code.substr(0, 1) + " -> " + m.code;

    for (int j = 0; j <= state_j_max; ++j) {
        store::DataFileContent c = on_grid(store::ProcessKind::aed, aed_grid);
        c.comments = {" " + std::string(banner) + " AED " + reaction +
                          "(v, J=" + std::to_string(j) + ") + e",
                      std::string(written_by),
                      " columns: collision energy (eV), sum over v, then v = 0.." +
                          std::to_string(aed_final_max) + " (A^2)",
                      "",
                      "",
                      " thresholds (eV):",
                      " Energy    sum       v=0 ..."};
        c.thresholds.push_back(aed_threshold(m, 0, j));
        for (int v = 0; v <= aed_final_max; ++v)
            c.thresholds.push_back(aed_threshold(m, v, j));
        for (int k = 1; k <= aed_grid.steps; ++k) {
            const double e = aed_grid.energy(k);
            const auto bound = [&](int v) { return v < bound_levels && level(m, v, j) < m.d0; };
            double sum = 0.0;
            for (int v = 0; bound(v); ++v)
                sum += share(v, j, e, k);
            c.energies.push_back(e);
            c.values.push_back(shown(sum));
            for (int v = 0; v <= aed_final_max; ++v)
                c.values.push_back(shown(bound(v) ? share(v, j, e, k) : 0.0));
        }
        if (store::Status done =
                write({m.code, "AD", "adJ" + two_digits(j) + ".dat"}, store::write_data_file(c));
            !done)
            return done;
    }

    store::DataFileContent c = on_grid(store::ProcessKind::aed_total, aed_grid);
    c.comments = {" " + std::string(banner) + " total AED " + reaction + " + e", "",
                  std::string(written_by), "", " Energy    AED c.s. (A^2)"};
    for (int k = 1; k <= aed_grid.steps; ++k) {
        c.energies.push_back(aed_grid.energy(k));
        c.values.push_back(shown(aed_total(aed_grid.energy(k))));
    }
    return write({m.code, "AD", "adTot.dat"}, store::write_data_file(c));
}

// index.dat: every molecule with the states v = 0..state_v_max, J up to state_j_max.
std::string catalogue(const std::vector<Molecule>& ms) {
    store::StateCatalogue c;
    for (const Molecule& m : ms) {
        std::string code = m.code;
        code.resize(3, ' ');
        c.codes.push_back(code);
        c.vibMax.push_back(state_v_max);
        std::array<std::int32_t, store::highest_vib_level + 1> rot{};
        for (int v = 0; v <= state_v_max; ++v)
            rot[static_cast<std::size_t>(v)] = state_j_max;
        c.rotMax.push_back(rot);
    }
    c.moleculeCount = static_cast<std::int32_t>(c.codes.size());
    return store::write_catalogue(c, "molecules, " + std::string(banner) +
                                         " written by sigmat-demo-db");
}

store::Status write_molecule(const DemoWriter& write, const Molecule& m) {
    // The DEA files of every state, then the VE files.
    for (const std::string process : {"DA", "VE"})
        for (int v = 0; v <= state_v_max; ++v)
            for (int j = 0; j <= state_j_max; ++j) {
                const std::string text = process == "DA" ? dea_file(m, v, j) : ve_file(m, v, j);
                const std::string name = process + two_digits(v) + "J" + two_digits(j) + ".dat";
                if (store::Status done = write({m.code, process, "nu" + two_digits(v), name}, text);
                    !done)
                    return done;
            }
    return write_aed(write, m);
}

std::string description(const std::vector<Molecule>& ms) {
    std::string out;
    out += R"(usage: sigmat-demo-db [--help] DIR

Writes a model database of electron collision cross sections into DIR, in the
layout Sigmat reads: DEA, VE, state-resolved and total AED for HF, DF, HCl, DCl,
HBr, DBr, HI and DI, and the catalogue index.dat. Every file says on its first
line that it holds MODEL DATA FOR DEMONSTRATION: the curves come from the simple
model below, not from measurements or scattering calculations.

Level energies (from the ground state v=0, J=0):
  E(v,J) = we (v+1/2) - wexe (v+1/2)^2 + Be J(J+1) - zero point
The hydrides use the spectroscopic constants below; the deuterides follow from the
isotope relations (rho = sqrt(mu_H/mu_D): we*rho, wexe*rho^2, Be*rho^2, D0 shifted
by the difference of the zero-point energies).

DEA  e + HX(v,J) -> H + X-, threshold E_th = D0 - EA(X) - E(v,J):
  sigma(E) = g pi/k^2 sqrt(E/(E+E_w)) exp(-(E - max(E_th,0))/W_v) P(v,J)
  pi/k^2 = pi hbar^2/(2 m_e E); W_v = W_0 sqrt(2v+1) (1 u/mu)^(1/4);
  survival P = exp(-a sqrt(mu/u) max(0, E_th + b)): vertical onset at E_th, strong
  growth with v and J, smaller for the heavier deuteride; exothermic attachment
  (HI) rises as E^-1/2 towards the lowest energies.
  g = 0.5, E_w = 0.1 eV, W_0 = 0.25 eV, a = 4.2 /eV, b = 0.5 eV.
VE   e + HX(v,J) -> e + HX(v',J), threshold dE = E(v',J) - E(v,J):
  sigma(E) = A (1 u/mu)^(1/2) C(v',v) q^(v'-v-1) f(E - dE),
  f(x) = sqrt(x/(x+w_r)) ((1-c) exp(-x/w_p) + c exp(-x/w_t)): a cusp-like peak at
  each threshold; de-excitation from detailed balance.
  w_r = 5 meV, w_p = 0.15 eV, w_t = 1.5 eV, c = 0.2, q = 0.15, A per molecule below.
  Elastic (v' = v, summed over the final J): dipole scattering plus a hard core,
  sigma_el(E) = s(v,J) [pi R^2 + (8 pi/3) (D/(e a0))^2 a0^2 Ry/(E + E_d)],
  s(v,J) = 1 + a_s n sqrt(1 u/mu), n = E(v,J)/we the quanta held (the bond
  stretches); E_d = 0.25 eV, a_s = 0.05, the dipole moment D and R per molecule below.
AED  X- + H -> HX(v,J) + e:
  total = f pi sqrt(2 alpha_H e^2/(4 pi eps0) / E) (Langevin capture, alpha_H =
  0.6668 A^3, f = 0.4), shared among the open bound (v,J) in proportion to
  (2J+1) exp(-(E + D0 - EA - E(v,J))/e_b), e_b = 0.25 eV.
  adJjj.dat: column 2 the sum over v, columns 3.. v = 0..7.

Files: index.dat lists v = 0..4, J = 0..20, and every such state has its DEA file
(up to 5 eV) and its VE file (into v' = 0..5, up to 4 eV); AED J = 0..20 into
v = 0..7 up to 3 eV; all on 10 meV steps. About 41 MB.

Constants (cm^-1, eV; hydrides from spectroscopic tables, deuterides derived):
  mol  halogen     we        wexe      Be       D0      EA(X)   E_th(0,0)  A (A^2)  D (debye)  R (A)
)";
    for (const Molecule& m : ms) {
        char line[160];
        std::snprintf(line, sizeof line,
                      "  %-4s %-4s  %10.3f %9.4f %9.5f %7.4f %7.4f %9.4f %6.1f %9.3f %8.1f\n",
                      m.code.c_str(), m.halogen.c_str(), m.we, m.wexe, m.be, m.d0, m.ea,
                      dea_threshold(m, 0, 0), m.ve_peak, m.dipole, m.core_radius);
        out += line;
    }
    return out;
}

} // namespace

std::string demo_database_description() {
    return description(molecules());
}

store::Result<DemoSummary> write_demo_database(const DemoWriter& write) {
    DemoSummary summary;
    const DemoWriter counted = [&](std::vector<std::string> path, std::string_view text) {
        store::Status done = write(std::move(path), text);
        if (done) {
            ++summary.files;
            summary.bytes += text.size();
        }
        return done;
    };
    const auto ms = molecules();
    if (store::Status done = counted({"index.dat"}, catalogue(ms)); !done)
        return std::move(done).error();
    for (const Molecule& m : ms)
        if (store::Status done = write_molecule(counted, m); !done)
            return std::move(done).error();
    return summary;
}

store::Result<DemoSummary> write_demo_database(store::FileSystem& files,
                                               const std::string& folder) {
    return write_demo_database([&](const std::vector<std::string>& path, std::string_view text) {
        std::string at = folder;
        for (std::size_t i = 0; i + 1 < path.size(); ++i) {
            at = store::join_path(at, path[i]);
            if (!files.make_folder(at))
                return store::Status(store::io_error(at, "cannot make the folder " + at, 0));
        }
        return files.write(store::join_path(at, path.back()), text);
    });
}

} // namespace sigmat::curves
