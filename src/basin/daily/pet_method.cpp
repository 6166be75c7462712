// A sub-basin's potential evapotranspiration from temperature; see the header.
#include "basin/daily/pet_method.hpp"

#include <string>
#include <utility>

#include "basin/daily/lumped_flow.hpp"
#include "evapotranspiration/potential.hpp"
#include "evapotranspiration/radiation.hpp"

namespace vesparil {

namespace {

double latitude_of(const EvapotranspirationMethod& method) {
    return std::visit([](const auto& pet) { return pet.latitude; }, method);
}

Result<std::vector<double>> series_of(const EvapotranspirationMethod& method,
                                      const BasinForcing& forcing, std::size_t at,
                                      InterruptCheck interrupt) {
    const double latitude = latitude_of(method);
    if (std::holds_alternative<HargreavesPet>(method)) {
        return hargreaves_evapotranspiration(forcing.temperature_min[at],
                                             forcing.temperature_max[at], latitude,
                                             forcing.day_of_year[at], interrupt);
    }
    const PetMethod formula =
        std::holds_alternative<OudinPet>(method) ? PetMethod::Oudin : PetMethod::Hamon;
    return potential_evapotranspiration(formula, forcing.temperature[at], latitude,
                                        forcing.day_of_year[at], interrupt);
}

}  // namespace

Result<void> check_pet_latitude(const EvapotranspirationMethod& method) {
    return check_latitude(latitude_of(method));
}

Result<void> check_pet(const EvapotranspirationMethod& method, std::int32_t time_step) {
    auto daily = check_daily_step(time_step);
    if (!daily) return daily;
    return check_pet_latitude(method);
}

Result<void> make_evapotranspiration(const BasinModel& model, BasinForcing& forcing,
                                     InterruptCheck interrupt) {
    for (std::size_t i = 0; i < model.elements.size(); ++i) {
        const Element& element = model.elements[i];
        const auto* subbasin = std::get_if<Subbasin>(&element.method);
        if (subbasin == nullptr || !subbasin->evapotranspiration) continue;
        const auto named = [&](const Error& error) {
            if (error.kind != ErrorKind::Value) return error;
            return Error::value(std::string(kind_word(element)) + " '" + element.name +
                                "': " + error.message);
        };
        // The step is checked first, so that an hourly basin meets the message of every daily
        // method whatever its days.
        auto checked = check_pet(*subbasin->evapotranspiration, model.time_step);
        if (!checked) return named(checked.error());
        auto made = series_of(*subbasin->evapotranspiration, forcing, i, interrupt);
        if (!made) return named(made.error());
        forcing.evapotranspiration[i] = std::move(made).value();
    }
    return {};
}

const char* pet_method_name(const EvapotranspirationMethod& method) {
    static constexpr const char* kNames[] = {"Oudin", "Hargreaves", "Hamon"};
    return kNames[method.index()];
}

}  // namespace vesparil
