#include "input/resample.h"

#include <algorithm>
#include <cmath>

namespace brenvik::input {

namespace {

constexpr double kPi = 3.14159265358979323846;

double kernel_radius(Filter filter) {
    return filter == Filter::lanczos3 ? 3.0 : 2.0;
}

// Nearest integer, halves away from zero.
std::int32_t round_half_away(double value) {
    return value >= 0 ? static_cast<std::int32_t>(value + 0.5)
                      : -static_cast<std::int32_t>(-value + 0.5);
}

}  // namespace

double sin_pi(double x) {
    // std::floor is exact on every platform; x - n is exact for |x| < 2^52.
    const double n = std::floor(x + 0.5);
    const double z = kPi * (x - n);  // |z| <= pi / 2
    const double z2 = z * z;
    // Taylor series up to z^19 (error below 1e-13 on the range).
    double term = z;
    double sum = z;
    for (int k = 1; k <= 9; ++k) {
        term = -term * z2 / ((2.0 * k) * (2.0 * k + 1.0));
        sum += term;
    }
    // sin(pi (n + r)) = (-1)^n sin(pi r); n is an integer held in a double.
    const double half = n / 2.0;
    return std::floor(half) == half ? sum : -sum;
}

double filter_kernel(Filter filter, double x) {
    const double a = x < 0 ? -x : x;
    switch (filter) {
        case Filter::lanczos3: {
            if (a >= 3.0) return 0.0;
            if (a == 0.0) return 1.0;
            return 3.0 * sin_pi(a) * sin_pi(a / 3.0) / (kPi * kPi * a * a);
        }
        case Filter::catmull_rom: {
            if (a >= 2.0) return 0.0;
            if (a < 1.0) return (1.5 * a - 2.5) * a * a + 1.0;
            return ((-0.5 * a + 2.5) * a - 4.0) * a + 2.0;
        }
    }
    return 0.0;
}

FilterTaps filter_taps(Filter filter, int source, int scaled, int first, int count) {
    FilterTaps taps;
    taps.start.resize(static_cast<std::size_t>(count));
    taps.length.resize(static_cast<std::size_t>(count));
    taps.offset.resize(static_cast<std::size_t>(count));
    const bool shrinking = source > scaled;
    // Distances are kept as exact integer numerators over this denominator:
    // (i + 0.5) - (o + 0.5) * source / scaled, divided by the stretch.
    const double denominator = 2.0 * (shrinking ? source : scaled);
    const double stretch = shrinking ? static_cast<double>(source) / scaled : 1.0;
    const double reach = kernel_radius(filter) * stretch;
    std::vector<double> raw;
    for (int k = 0; k < count; ++k) {
        const std::int64_t o = first + k;
        const double centre = static_cast<double>(2 * o + 1) * source / (2.0 * scaled);
        const int low = std::max(0, static_cast<int>(std::floor(centre - reach)));
        const int high = std::min(source - 1, static_cast<int>(std::ceil(centre + reach)));
        raw.clear();
        double total = 0.0;
        for (int i = low; i <= high; ++i) {
            const std::int64_t numerator =
                (2 * static_cast<std::int64_t>(i) + 1) * scaled - (2 * o + 1) * source;
            const double w = filter_kernel(filter, static_cast<double>(numerator) / denominator);
            raw.push_back(w);
            total += w;
        }
        std::vector<std::int32_t> q(raw.size());
        std::int32_t sum = 0;
        std::size_t largest = 0;
        for (std::size_t j = 0; j < raw.size(); ++j) {
            q[j] = total > 0 ? round_half_away(raw[j] / total * kWeightOne) : 0;
            sum += q[j];
            if (q[j] > q[largest]) largest = j;
        }
        if (total <= 0 || raw.empty()) {
            // Cannot happen with these kernels (the nearest pixel always
            // weighs most); the nearest pixel alone then.
            const int nearest = std::clamp(static_cast<int>(centre), 0, source - 1);
            taps.start[static_cast<std::size_t>(k)] = nearest;
            taps.length[static_cast<std::size_t>(k)] = 1;
            taps.offset[static_cast<std::size_t>(k)] = taps.weights.size();
            taps.weights.push_back(kWeightOne);
            continue;
        }
        q[largest] += kWeightOne - sum;
        std::size_t begin = 0;
        std::size_t end = q.size();
        while (begin < end && q[begin] == 0) ++begin;
        while (end > begin && q[end - 1] == 0) --end;
        taps.start[static_cast<std::size_t>(k)] = low + static_cast<int>(begin);
        taps.length[static_cast<std::size_t>(k)] = static_cast<int>(end - begin);
        taps.offset[static_cast<std::size_t>(k)] = taps.weights.size();
        taps.weights.insert(taps.weights.end(), q.begin() + static_cast<std::ptrdiff_t>(begin),
                            q.begin() + static_cast<std::ptrdiff_t>(end));
    }
    return taps;
}

}  // namespace brenvik::input
