// The mathematical functions the programs call, on the same inputs on every system:
//   math_values N             prints, per input, every function's result as its bits in hex;
//   math_values N --compare   reads those lines from another system on standard input and
//                             prints, per function, how many results differ and by how many
//                             units in the last place (compare_math.sh runs both).
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

namespace {

struct Function {
    const char* name;
    const char* inputs;
};

// In the order of the columns. The inputs: those our code and OpenCV's give, and beyond.
const std::vector<Function> FUNCTIONS{
    {"acos", "cosines, uniform in [-1, 1]"},
    {"atan", "slopes, +-[1, 2) 2^[-30, 30]"},
    {"atan2", "pixel offsets, integers in [-2000, 2000]"},
    {"hypot", "pixel offsets, integers in [-2000, 2000]"},
    {"log10", "[1, 2) 2^[-20, 40]"},
    {"log", "[1, 2) 2^[-20, 40]"},
    {"exp", "[-700, 700]"},
    {"pow", "integer x in [0, 5000], power 0 to 3"},
    {"pow", "x in [1, 2) 2^[-20, 40], power 0.37"},
    {"sin", "[-10, 10], as sincos"},
    {"cos", "[-10, 10], as sincos"},
    {"sin", "[-10, 10] alone"},
    {"cos", "[-10, 10] alone"},
    {"acosf", "cosines, uniform in [-1, 1]"},
    {"atanf", "slopes, +-[1, 2) 2^[-30, 30]"},
    {"expf", "[-85, 85]"},
    {"logf", "[1, 2) 2^[-20, 40]"},
    {"sinf", "[-10, 10], as sincosf"},
    {"cosf", "[-10, 10], as sincosf"},
};

template <typename T>
std::uint64_t bitsOf(T value) {
    std::conditional_t<sizeof(T) == 8, std::uint64_t, std::uint32_t> bits;
    std::memcpy(&bits, &value, sizeof bits);
    return bits;
}

// One line of results, from the next inputs of the generator. The inputs are made with exact
// operations only, so that both systems compute on the same numbers.
std::vector<std::uint64_t> nextResults(std::mt19937_64& generator) {
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    // A random mantissa times 2^e, e a random integer in [low, high).
    const auto powerOfTwo = [&](int low, int high) {
        const int exponent = low + static_cast<int>(std::floor((high - low) * unit(generator)));
        return std::ldexp(1.0 + unit(generator), exponent);
    };
    const double cosine = 2 * unit(generator) - 1;
    const double slope = (unit(generator) < 0.5 ? -1 : 1) * powerOfTwo(-30, 30);
    const double dx = std::floor(4001 * unit(generator)) - 2000;
    const double dy = std::floor(4001 * unit(generator)) - 2000;
    const double positive = powerOfTwo(-20, 40);
    const double exponent = 1400 * unit(generator) - 700;
    const double base = std::floor(5001 * unit(generator));
    const double power = std::floor(4 * unit(generator));
    const double angle = 20 * unit(generator) - 10;
    // Apart, so that the compiler cannot make one sincos call of them.
    volatile double alone = 20 * unit(generator) - 10;
    const float cosineF = static_cast<float>(cosine);
    const float slopeF = static_cast<float>(slope);
    const float exponentF = static_cast<float>(170 * unit(generator) - 85);
    const float positiveF = static_cast<float>(positive);
    const float angleF = static_cast<float>(angle);
    const double sinAlone = std::sin(alone);
    const double cosAlone = std::cos(alone);
    return {bitsOf(std::acos(cosine)),
            bitsOf(std::atan(slope)),
            bitsOf(std::atan2(dy, dx)),
            bitsOf(std::hypot(dx, dy)),
            bitsOf(std::log10(positive)),
            bitsOf(std::log(positive)),
            bitsOf(std::exp(exponent)),
            bitsOf(std::pow(base, power)),
            bitsOf(std::pow(positive, 0.37)),
            bitsOf(std::sin(angle)),
            bitsOf(std::cos(angle)),
            bitsOf(sinAlone),
            bitsOf(cosAlone),
            bitsOf(std::acos(cosineF)),
            bitsOf(std::atan(slopeF)),
            bitsOf(std::exp(exponentF)),
            bitsOf(std::log(positiveF)),
            bitsOf(std::sin(angleF)),
            bitsOf(std::cos(angleF))};
}

}  // namespace

int main(int argc, char** argv) {
    const long count = argc > 1 ? std::atol(argv[1]) : 1000000;
    const bool compare = argc > 2 && std::string(argv[2]) == "--compare";
    std::mt19937_64 generator(20261208);
    std::vector<long> differing(FUNCTIONS.size(), 0);
    std::vector<std::uint64_t> largest(FUNCTIONS.size(), 0);
    std::string line;
    for (long i = 0; i < count; ++i) {
        const std::vector<std::uint64_t> results = nextResults(generator);
        if (!compare) {
            for (std::size_t f = 0; f < results.size(); ++f)
                std::printf("%s%llx", f ? " " : "", static_cast<unsigned long long>(results[f]));
            std::printf("\n");
            continue;
        }
        if (!std::getline(std::cin, line)) {
            std::fprintf(stderr, "math_values: only %ld lines to compare\n", i);
            return 1;
        }
        std::istringstream theirs(line);
        for (std::size_t f = 0; f < results.size(); ++f) {
            std::uint64_t other = 0;
            theirs >> std::hex >> other;
            // Results of one sign: their bits are as many units in the last place apart.
            const std::uint64_t ulps = results[f] > other ? results[f] - other : other - results[f];
            if (ulps != 0) ++differing[f];
            if (ulps > largest[f]) largest[f] = ulps;
        }
    }
    if (!compare) return 0;
    std::printf("%-6s %-42s %10s %9s %8s\n", "", "inputs", "differ", "%", "max ulp");
    for (std::size_t f = 0; f < FUNCTIONS.size(); ++f) {
        std::printf("%-6s %-42s %10ld %9.4f %8llu\n", FUNCTIONS[f].name, FUNCTIONS[f].inputs,
                    differing[f], 100.0 * static_cast<double>(differing[f]) / count,
                    static_cast<unsigned long long>(largest[f]));
    }
    return 0;
}
