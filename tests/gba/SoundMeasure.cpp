#include "SoundMeasure.h"

#include <cmath>
#include <cstdio>
#include <memory>

namespace rix::test {

namespace {

double Mean(const Samples& samples) {
    double sum = 0;
    for (std::int16_t s : samples) {
        sum += s;
    }
    return samples.empty() ? 0 : sum / double(samples.size());
}

} // namespace

std::vector<double> RisingCrossings(const Samples& samples) {
    const double mean = Mean(samples);
    std::vector<double> at;
    for (std::size_t i = 1; i < samples.size(); ++i) {
        const double a = samples[i - 1] - mean;
        const double b = samples[i] - mean;
        if (a < 0 && b >= 0) {
            at.push_back(double(i - 1) + a / (a - b));
        }
    }
    return at;
}

double Fundamental(const Samples& samples, double rate) {
    const std::vector<double> at = RisingCrossings(samples);
    if (at.size() < 2 || at.back() <= at.front()) {
        return 0;
    }
    return double(at.size() - 1) * rate / (at.back() - at.front());
}

double Rms(const Samples& samples) {
    const double mean = Mean(samples);
    double sum = 0;
    for (std::int16_t s : samples) {
        sum += (s - mean) * (s - mean);
    }
    return samples.empty() ? 0 : std::sqrt(sum / double(samples.size()));
}

double Movement(const Samples& samples) {
    double sum = 0;
    for (std::size_t i = 1; i < samples.size(); ++i) {
        const double d = double(samples[i]) - samples[i - 1];
        sum += d * d;
    }
    return samples.size() > 1 ? std::sqrt(sum / double(samples.size() - 1)) : 0;
}

double Periodicity(const Samples& samples, int lag) {
    const double mean = Mean(samples);
    double product = 0;
    double energyA = 0;
    double energyB = 0;
    for (std::size_t i = std::size_t(lag); i < samples.size(); ++i) {
        const double a = samples[i - std::size_t(lag)] - mean;
        const double b = samples[i] - mean;
        product += a * b;
        energyA += a * a;
        energyB += b * b;
    }
    return energyA > 0 && energyB > 0 ? product / std::sqrt(energyA * energyB) : 0;
}

double CrossingRate(const Samples& samples, double rate) {
    const double mean = Mean(samples);
    int crossings = 0;
    for (std::size_t i = 1; i < samples.size(); ++i) {
        if ((samples[i - 1] < mean) != (samples[i] < mean)) {
            ++crossings;
        }
    }
    return samples.size() > 1 ? crossings * rate / double(samples.size() - 1) : 0;
}

double Decibels(double ratio) {
    return 20 * std::log10(ratio);
}

bool WriteWav(const std::string& path, const Samples& samples, int rate) {
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(path.c_str(), "wb"),
                                                         std::fclose);
    if (!file) {
        return false;
    }
    auto u32 = [&](std::uint32_t v) {
        const unsigned char b[4] = {std::uint8_t(v), std::uint8_t(v >> 8), std::uint8_t(v >> 16),
                                    std::uint8_t(v >> 24)};
        std::fwrite(b, 1, 4, file.get());
    };
    auto u16 = [&](std::uint16_t v) {
        const unsigned char b[2] = {std::uint8_t(v), std::uint8_t(v >> 8)};
        std::fwrite(b, 1, 2, file.get());
    };
    const std::uint32_t bytes = std::uint32_t(samples.size() * 2);
    std::fwrite("RIFF", 1, 4, file.get());
    u32(36 + bytes);
    std::fwrite("WAVEfmt ", 1, 8, file.get());
    u32(16);
    u16(1); // PCM
    u16(1); // mono
    u32(std::uint32_t(rate));
    u32(std::uint32_t(rate) * 2);
    u16(2);
    u16(16);
    std::fwrite("data", 1, 4, file.get());
    u32(bytes);
    for (std::int16_t s : samples) {
        u16(std::uint16_t(s));
    }
    return std::ferror(file.get()) == 0;
}

} // namespace rix::test
