// GR4J, the four-parameter daily rainfall-runoff model of Perrin, Michel and Andreassian (2003),
// "Improvement of a parsimonious model for streamflow simulation", Journal of Hydrology 279.
//
// Units: precipitation P and potential evapotranspiration E in mm/day; stores, flows,
// evaporation and exchange in mm (per day); X1 and X3 in mm, X2 in mm/day, X4 in days.
//
// One day, in the order the code computes it (S production store, R routing store):
//
//   P >= E: Pn = P - E, En = 0;   P < E: Pn = 0, En = E - P            neutralisation
//   Ps = X1 (1 - (S/X1)^2) tanh(Pn/X1) / (1 + (S/X1) tanh(Pn/X1))       rain into the store
//   Es = S (2 - S/X1) tanh(En/X1) / (1 + (1 - S/X1) tanh(En/X1))        evaporation from it
//   S = S - Es + Ps
//   Perc = S (1 - (1 + ((4/9) (S/X1))^4)^(-1/4)),  S = S - Perc
//   Pr = Perc + (Pn - Ps)
//   UH1 gets 0.9 Pr, UH2 gets 0.1 Pr; each holds the day's share of its ordinates ahead and
//   releases Q9 (UH1) and Q1 (UH2) today. The ordinates are differences of the S-curves
//     SH1(t) = (t/X4)^(5/2) for 0 < t < X4, 1 from X4 on;
//     SH2(t) = (1/2) (t/X4)^(5/2) for 0 < t <= X4, 1 - (1/2) (2 - t/X4)^(5/2) for X4 < t < 2 X4,
//              1 from 2 X4 on;  UHk(j) = SHk(j) - SHk(j - 1).
//   F = X2 (R/X3)^(7/2)                                                  groundwater exchange
//   R = max(0, R + Q9 + F)
//   Qr = R (1 - (1 + (R/X3)^4)^(-1/4)),  R = R - Qr
//   Qd = max(0, Q1 + F)
//   Q = Qr + Qd
//
// The exchange reported is what was applied: F on each branch, or the smaller amount that the
// max(0, .) let through. The actual evapotranspiration is Es plus the part of E met by P
// (min(P, E)). With W the water held in the unit hydrographs, every day closes
//   (S + R + W) change + Q + actual evapotranspiration - exchange = P.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "core/interrupt.hpp"
#include "core/result.hpp"

namespace vesparil {

struct Gr4jParameters {
    double x1;  // production store capacity, mm, > 0
    double x2;  // groundwater exchange coefficient, mm/day (negative: water lost)
    double x3;  // routing store capacity one day ahead, mm, > 0
    double x4;  // time base of UH1, days, in (0, kGr4jMaxX4]
};

inline constexpr double kGr4jMaxX4 = 10000.0;

// The two unit hydrographs' ordinates, from X4 alone.
struct Gr4jOrdinates {
    std::vector<double> uh1;  // ceil(X4) values
    std::vector<double> uh2;  // ceil(2 X4) values
};

// The model's state between two days: both stores and the water still to leave each unit
// hydrograph (pending1[k] leaves UH1 k days from now).
struct Gr4jState {
    double production;
    double routing;
    std::vector<double> pending1;
    std::vector<double> pending2;
};

// Day by day outputs, all in mm.
struct Gr4jSeries {
    std::vector<double> flow;
    std::vector<double> production_store;
    std::vector<double> routing_store;
    std::vector<double> unit_hydrograph_store;
    std::vector<double> actual_evapotranspiration;
    std::vector<double> exchange;
};

// Checks X1, X3 and X4 ("x1 must be > 0", ...); X2 may have either sign.
Result<Gr4jParameters> make_gr4j_parameters(double x1, double x2, double x3, double x4);

Gr4jOrdinates gr4j_ordinates(double x4);

// A day's work in the interrupt counter's units (some 9 ns each): the day's own arithmetic and
// the ordinates of the two unit hydrographs (ceil(X4) + ceil(2 X4)), eight to a unit, which every
// day convolves. gr4j_advance asks for interruption after that much; a caller that runs many days
// (a binding deciding whether to let go of the interpreter lock, a basin) counts the same.
std::uint64_t gr4j_day_work(const Gr4jParameters& parameters);

// Stores filled to the given fractions of X1 and X3; the unit hydrographs empty.
Gr4jState gr4j_initial_state(const Gr4jParameters& parameters, const Gr4jOrdinates& ordinates,
                             double production_fraction, double routing_fraction);

// Advances `state` over the days of `precipitation` and `evaporation` (same length), appending
// each day's outputs to `out` from day `first_kept` on. False when the caller asked to stop.
bool gr4j_advance(const Gr4jParameters& parameters, const Gr4jOrdinates& ordinates,
                  Gr4jState& state, std::span<const double> precipitation,
                  std::span<const double> evaporation, std::size_t first_kept, Gr4jSeries& out,
                  InterruptCounter& counter);

// A whole run: checks the arguments, then runs `warmup` days whose outputs are dropped.
Result<Gr4jSeries> run_gr4j(std::span<const double> precipitation,
                            std::span<const double> evaporation, const Gr4jParameters& parameters,
                            double production_fraction, double routing_fraction,
                            std::size_t warmup, InterruptCheck interrupt = {});

}  // namespace vesparil
