// Sound building blocks shared by the sound effects and the music: band-limited
// oscillators, envelopes, filters, noise, level and fade handling, WAV encoding.
#pragma once

#include <cstdint>
#include <vector>

namespace assetgen {

constexpr int kSampleRate = 44100;
using Signal = std::vector<float>;

double MidiToHz(double midi);

// Oscillators over a phase in cycles [0, 1); dt is the phase step per sample (f / rate),
// used to round off the discontinuities so high notes do not alias.
double SineWave(double phase);
double TriangleWave(double phase);
double SawWave(double phase, double dt);
double PulseWave(double phase, double dt, double width);

// Keeps a phase in [0, 1) while the frequency changes from sample to sample.
class Phase {
 public:
  double Step(double hz) {
    dt_ = hz / kSampleRate;
    double p = phase_;
    phase_ += dt_;
    phase_ -= static_cast<long>(phase_);
    return p;
  }
  double dt() const { return dt_; }

 private:
  double phase_ = 0;
  double dt_ = 0;
};

// Attack, decay to sustain, and release after `held` seconds; the level at t seconds.
struct Adsr {
  double attack = 0.005, decay = 0.1, sustain = 0.7, release = 0.1;
  double At(double t, double held) const;
  double Length(double held) const { return held + release; }
};

// Exponential decay with time constant tau, after a short linear attack.
double Pluck(double t, double attack, double tau);

// Two-pole state-variable filter (Chamberlin), stable for cutoffs below rate/6.
class Svf {
 public:
  void Set(double cutoffHz, double q);
  // Feeds one sample; the low-, band- and high-pass outputs are then available.
  void Feed(double x);
  double low() const { return low_; }
  double band() const { return band_; }
  double high() const { return high_; }

 private:
  double f_ = 0.1, damp_ = 1.0;
  double low_ = 0, band_ = 0, high_ = 0;
};

// White noise in [-1, 1), the same sequence on every run for a given seed.
class Noise {
 public:
  explicit Noise(std::uint32_t seed) : state_(seed ? seed : 1) {}
  double Next();

 private:
  std::uint32_t state_;
};

// Scales so the largest magnitude is `peakDb` dBFS (e.g. -1.5).
void NormalizePeak(Signal& s, double peakDb);
void NormalizePeak(Signal& left, Signal& right, double peakDb);
// Raised-cosine fade in over the first `inSeconds` and out over the last `outSeconds`.
void FadeEdges(Signal& s, double inSeconds, double outSeconds);

// 16-bit PCM WAV, `channels` interleaved signals of equal length.
std::vector<std::uint8_t> EncodeWav(const std::vector<const Signal*>& channels);
// Rounds and clamps to 16-bit.
std::int16_t ToPcm16(double x);

}  // namespace assetgen
