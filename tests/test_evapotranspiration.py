"""Extraterrestrial radiation and the three potential evapotranspiration methods: FAO-56's worked
example, a day by hand each, a year against a transcription of the formulas, polar days and the
argument checks."""

import math

import pytest

from vesparil import evapotranspiration as et


def solar(lat, j):
    """FAO-56 eq. 21 to 25 and 34: Ra (MJ m-2 day-1) and N (h)."""
    phi = (math.pi / 180.0) * lat
    dr = 1.0 + 0.033 * math.cos(2.0 * math.pi * j / 365.0)
    delta = 0.409 * math.sin(2.0 * math.pi * j / 365.0 - 1.39)
    omega = math.acos(min(max(-math.tan(phi) * math.tan(delta), -1.0), 1.0))
    ra = (24.0 * 60.0 / math.pi) * 0.0820 * dr * (
        omega * math.sin(phi) * math.sin(delta) + math.cos(phi) * math.cos(delta) * math.sin(omega))
    return ra, (24.0 / math.pi) * omega


def oudin(t, lat, j):
    return 0.0 if t + 5.0 <= 0.0 else (solar(lat, j)[0] / 2.45) * ((t + 5.0) / 100.0)


def hargreaves(tmin, tmax, lat, j):
    tmean = (tmax + tmin) / 2.0
    value = 0.0023 * (tmean + 17.8) * math.sqrt(tmax - tmin) * (0.408 * solar(lat, j)[0])
    return 0.0 if value < 0.0 else value


def hamon(t, lat, j):
    es = 0.6108 * math.exp(17.27 * t / (t + 237.3))
    pt = 2166.8 * es / (t + 273.15)
    d = solar(lat, j)[1] / 12.0
    return 25.4 * (0.0055 * d * d * pt)


def test_fao56_example_8():
    # 20 deg S on 3 September (J = 246): dr = 0.985, delta = 0.120 rad, omega_s = 1.527 rad,
    # Ra = 37.6 x 0.985 x (1.527 sin(-0.349) sin(0.120) + cos(-0.349) cos(0.120) sin(1.527))
    #    = 32.2 MJ m-2 day-1.
    [ra] = et.calculate_extraterrestrial_radiation(-20.0, [246])
    assert ra == pytest.approx(32.2, abs=0.05)


def test_one_day_by_hand():
    # 45 deg N, J = 180: dr = 1 + 0.033 cos(3.0986) = 0.96703, delta = 0.409 sin(1.7086) =
    # 0.40513 rad, omega_s = acos(-tan(0.78540) tan(0.40513)) = 2.01401 rad;
    # Ra = 37.586 x 0.96703 x (2.01401 x 0.70711 x 0.39414 + 0.70711 x 0.91905 x 0.90351)
    #    = 41.740 MJ m-2 day-1; N = 24 / pi x 2.01401 = 15.386 h.
    ra, n = solar(45.0, 180)
    assert (ra, n) == pytest.approx((41.740, 15.386), abs=1e-3)
    # Oudin at 15 deg C: 41.740 / 2.45 x 20 / 100 = 3.4073 mm/day.
    assert et.calculate_pet_oudin([15.0], 45.0, [180]) == pytest.approx([3.4073], abs=1e-4)
    # Hargreaves, 10 to 20 deg C: 0.0023 x 32.8 x sqrt(10) x 0.408 x 41.740 = 4.0627 mm/day.
    assert et.calculate_pet_hargreaves([10.0], [20.0], 45.0, [180]) == pytest.approx(
        [4.0627], abs=1e-4)
    # Hamon at 15 deg C: es = 0.6108 exp(259.05 / 252.3) = 1.70535 kPa, Pt = 2166.8 x 1.70535 /
    # 288.15 = 12.8237 g/m3, D = 15.386 / 12 = 1.28216: 25.4 x 0.0055 x 1.28216^2 x 12.8237
    # = 2.9451 mm/day.
    assert et.calculate_pet_hamon([15.0], 45.0, [180]) == pytest.approx([2.9451], abs=1e-4)


@pytest.mark.parametrize("lat", [-66.0, -33.9, 0.0, 12.5, 48.1, 71.0])
def test_a_year_matches_the_formulas(lat):
    days = list(range(1, 366)) + [366]
    tmean = [8.0 + 14.0 * math.sin(2.0 * math.pi * (j - 110) / 365.0) for j in days]
    tmin = [t - 3.0 - (j % 5) for t, j in zip(tmean, days)]
    tmax = [t + 4.0 + (j % 3) for t, j in zip(tmean, days)]
    assert et.calculate_extraterrestrial_radiation(lat, days) == [solar(lat, j)[0] for j in days]
    assert et.calculate_pet_oudin(tmean, lat, days) == [oudin(t, lat, j)
                                                        for t, j in zip(tmean, days)]
    assert et.calculate_pet_hamon(tmean, lat, days) == [hamon(t, lat, j)
                                                        for t, j in zip(tmean, days)]
    assert et.calculate_pet_hargreaves(tmin, tmax, lat, days) == [
        hargreaves(a, b, lat, j) for a, b, j in zip(tmin, tmax, days)]


def test_polar_days_and_floors():
    # Polar night at 80 deg N in late December: no sun, no Oudin or Hamon demand.
    assert et.calculate_extraterrestrial_radiation(80.0, [355]) == [0.0]
    assert et.calculate_pet_hamon([5.0], 80.0, [355]) == [0.0]
    # Midnight sun: omega_s = pi, N = 24 h, D = 2.
    assert et.calculate_pet_hamon([5.0], 80.0, [172]) == [hamon(5.0, 80.0, 172)]
    assert solar(80.0, 172)[1] == 24.0
    assert et.calculate_pet_oudin([-5.0, -30.0], 45.0, [10, 10]) == [0.0, 0.0]
    assert et.calculate_pet_hargreaves([-40.0], [-30.0], 45.0, [10]) == [0.0]


@pytest.mark.parametrize("call, message", [
    (lambda: et.calculate_extraterrestrial_radiation(91.0, [1]),
     "latitude must be between -90 and 90"),
    (lambda: et.calculate_extraterrestrial_radiation(math.nan, [1]),
     "latitude must be between -90 and 90"),
    (lambda: et.calculate_pet_oudin([1.0, 2.0], 45.0, [1, 367]),
     "day_of_year must be between 1 and 366"),
    (lambda: et.calculate_pet_hamon([1.0], 45.0, [1, 2]),
     "temperature and day_of_year must have the same length"),
    (lambda: et.calculate_pet_hargreaves([1.0], [2.0, 3.0], 45.0, [1]),
     "temperature_max and day_of_year must have the same length"),
    (lambda: et.calculate_pet_hargreaves([1.0, 5.0], [2.0, 3.0], 45.0, [1, 2]),
     "temperature_max is below temperature_min at index 1"),
])
def test_refuses(call, message):
    with pytest.raises(ValueError) as error:
        call()
    assert str(error.value) == message
