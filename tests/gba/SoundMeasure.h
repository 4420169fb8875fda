// Measures of a stretch of mono sound, for comparing the GBA's sound with the host's reference
// mixer: the fundamental of a periodic wave, loudness, how periodic it is at a lag, how often it
// crosses its mean; and a WAV writer for listening to what a test captured.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace rix::test {

using Samples = std::vector<std::int16_t>;

// The frequency of a periodic wave from its first and last rising crossing of the mean (each
// interpolated between samples) and the cycles between them; 0 with fewer than two crossings.
double Fundamental(const Samples& samples, double rate);
// Where the wave rises through its mean, in samples (interpolated).
std::vector<double> RisingCrossings(const Samples& samples);
// Root mean square about the mean.
double Rms(const Samples& samples);
// Root mean square of the change from one sample to the next: what is heard of a stretch, which
// a mean level slowly dying away (the output's high-pass filter at work) hardly has.
double Movement(const Samples& samples);
// Normalised autocorrelation about the mean at a lag of `lag` samples: near 1 for a wave that
// repeats with that period, near 0 for noise.
double Periodicity(const Samples& samples, int lag);
// Crossings of the mean per second.
double CrossingRate(const Samples& samples, double rate);

double Decibels(double ratio);

// 16-bit mono PCM; returns false when the file cannot be written.
bool WriteWav(const std::string& path, const Samples& samples, int rate);

} // namespace rix::test
