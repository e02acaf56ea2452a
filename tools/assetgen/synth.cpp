#include "synth.h"

#include <algorithm>
#include <cmath>
#include <initializer_list>

namespace assetgen {

double MidiToHz(double midi) { return 440.0 * std::pow(2.0, (midi - 69) / 12.0); }

namespace {

// Polynomial correction of a step at phase 0 (band-limited step, two samples wide).
double PolyBlep(double t, double dt) {
  if (dt <= 0) return 0;
  if (t < dt) {
    t /= dt;
    return t + t - t * t - 1;
  }
  if (t > 1 - dt) {
    t = (t - 1) / dt;
    return t * t + t + t + 1;
  }
  return 0;
}

}  // namespace

double SineWave(double phase) { return std::sin(2 * M_PI * phase); }

double TriangleWave(double phase) { return phase < 0.5 ? 4 * phase - 1 : 3 - 4 * phase; }

double SawWave(double phase, double dt) { return 2 * phase - 1 - PolyBlep(phase, dt); }

double PulseWave(double phase, double dt, double width) {
  double v = phase < width ? 1.0 : -1.0;
  double shifted = phase + 1 - width;
  shifted -= static_cast<long>(shifted);
  return v + PolyBlep(phase, dt) - PolyBlep(shifted, dt);
}

double Adsr::At(double t, double held) const {
  auto level = [this](double u) {
    if (u < attack) return u / attack;
    u -= attack;
    if (u < decay) return 1 - (1 - sustain) * (u / decay);
    return sustain;
  };
  if (t < 0) return 0;
  if (t < held) return level(t);
  double r = t - held;
  if (r >= release) return 0;
  return level(held) * (1 - r / release);
}

double Pluck(double t, double attack, double tau) {
  if (t < 0) return 0;
  if (t < attack) return t / attack;
  return std::exp(-(t - attack) / tau);
}

void Svf::Set(double cutoffHz, double q) {
  cutoffHz = std::min(cutoffHz, kSampleRate / 6.5);
  f_ = 2 * std::sin(M_PI * cutoffHz / kSampleRate);
  damp_ = 1.0 / std::max(q, 0.5);
}

void Svf::Feed(double x) {
  low_ += f_ * band_;
  high_ = x - low_ - damp_ * band_;
  band_ += f_ * high_;
}

double Noise::Next() {
  state_ ^= state_ << 13;
  state_ ^= state_ >> 17;
  state_ ^= state_ << 5;
  return (state_ >> 8) / 8388608.0 - 1.0;
}

namespace {

// One gain for all the signals, so that a stereo pair keeps its balance.
void NormalizeTogether(std::initializer_list<Signal*> signals, double peakDb) {
  double peak = 0;
  for (const Signal* s : signals) {
    for (float v : *s) peak = std::max(peak, static_cast<double>(std::fabs(v)));
  }
  if (peak <= 0) return;
  const double gain = std::pow(10.0, peakDb / 20) / peak;
  for (Signal* s : signals) {
    for (float& v : *s) v = static_cast<float>(v * gain);
  }
}

}  // namespace

void NormalizePeak(Signal& s, double peakDb) { NormalizeTogether({&s}, peakDb); }

void NormalizePeak(Signal& left, Signal& right, double peakDb) {
  NormalizeTogether({&left, &right}, peakDb);
}

void FadeEdges(Signal& s, double inSeconds, double outSeconds) {
  const size_t n = s.size();
  const size_t in = std::min(n, static_cast<size_t>(inSeconds * kSampleRate));
  const size_t out = std::min(n, static_cast<size_t>(outSeconds * kSampleRate));
  for (size_t i = 0; i < in; ++i) s[i] *= static_cast<float>(0.5 - 0.5 * std::cos(M_PI * i / in));
  for (size_t i = 0; i < out; ++i) {
    s[n - 1 - i] *= static_cast<float>(0.5 - 0.5 * std::cos(M_PI * i / out));
  }
}

std::int16_t ToPcm16(double x) {
  double v = std::round(x * 32767.0);
  v = std::max(-32768.0, std::min(32767.0, v));
  return static_cast<std::int16_t>(v);
}

std::vector<std::uint8_t> EncodeWav(const std::vector<const Signal*>& channels) {
  const std::uint32_t count = static_cast<std::uint32_t>(channels.size());
  const std::uint32_t frames = count ? static_cast<std::uint32_t>(channels[0]->size()) : 0;
  const std::uint32_t dataBytes = frames * count * 2;
  std::vector<std::uint8_t> out;
  auto put = [&out](std::uint32_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) out.push_back((v >> (8 * i)) & 0xFF);
  };
  auto tag = [&out](const char* t) { out.insert(out.end(), t, t + 4); };
  tag("RIFF");
  put(36 + dataBytes, 4);
  tag("WAVE");
  tag("fmt ");
  put(16, 4);
  put(1, 2);  // PCM
  put(count, 2);
  put(kSampleRate, 4);
  put(kSampleRate * count * 2, 4);
  put(count * 2, 2);
  put(16, 2);
  tag("data");
  put(dataBytes, 4);
  for (std::uint32_t i = 0; i < frames; ++i) {
    for (const Signal* ch : channels) {
      put(static_cast<std::uint16_t>(ToPcm16((*ch)[i])), 2);
    }
  }
  return out;
}

}  // namespace assetgen
