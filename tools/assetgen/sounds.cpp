// The ten sound effects, each synthesised from oscillators, noise, envelopes and filters.
#include <algorithm>
#include <cmath>

#include "audio.h"

namespace assetgen {

namespace {

constexpr double kEffectPeakDb = -1.5;

Signal Blank(double seconds) { return Signal(static_cast<size_t>(seconds * kSampleRate), 0.0f); }

double Time(size_t i) { return static_cast<double>(i) / kSampleRate; }

// Exponential glide from f0 to f1 over `seconds`, then holding f1.
double Glide(double t, double f0, double f1, double seconds) {
  if (t >= seconds) return f1;
  return f0 * std::pow(f1 / f0, t / seconds);
}

void Finish(Signal& s, double fadeOut) {
  NormalizePeak(s, kEffectPeakDb);
  FadeEdges(s, 0.002, fadeOut);
}

// 0: a token is hit: a round pop that falls in pitch, topped by a bright two-note chime.
Signal HitPop() {
  Signal s = Blank(0.26);
  Phase body, chime1, chime2;
  Noise noise(101);
  Svf click;
  click.Set(3200, 1.5);
  for (size_t i = 0; i < s.size(); ++i) {
    double t = Time(i);
    double v = SineWave(body.Step(Glide(t, 1150, 360, 0.055))) * Pluck(t, 0.001, 0.045);
    click.Feed(noise.Next());
    v += 0.5 * click.band() * Pluck(t, 0.0005, 0.004);
    double c1 = TriangleWave(chime1.Step(MidiToHz(91))) * Pluck(t - 0.03, 0.002, 0.05);
    double c2 = TriangleWave(chime2.Step(MidiToHz(96))) * Pluck(t - 0.075, 0.002, 0.07);
    v += 0.32 * (c1 + c2);
    s[i] = static_cast<float>(v);
  }
  Finish(s, 0.03);
  return s;
}

// 1: a countdown tick: a short clean pip.
Signal CountdownTick() {
  Signal s = Blank(0.16);
  Phase a, b;
  for (size_t i = 0; i < s.size(); ++i) {
    double t = Time(i);
    double env = Pluck(t, 0.002, 0.04);
    double v = PulseWave(a.Step(880), a.dt(), 0.5) * 0.35 + SineWave(b.Step(1760)) * 0.5;
    s[i] = static_cast<float>(v * env);
  }
  Finish(s, 0.03);
  return s;
}

// 2: the start bell: inharmonic partials ringing out, each with its own decay.
Signal Bell() {
  Signal s = Blank(1.35);
  const double f = MidiToHz(79);
  const double ratios[6] = {1.0, 2.0, 2.42, 3.0, 4.16, 5.43};
  const double amps[6] = {1.0, 0.55, 0.38, 0.28, 0.18, 0.1};
  const double taus[6] = {0.75, 0.5, 0.38, 0.3, 0.2, 0.14};
  Phase partials[6], beat;
  Noise noise(202);
  Svf strike;
  strike.Set(5000, 1.0);
  for (size_t i = 0; i < s.size(); ++i) {
    double t = Time(i);
    double v = 0;
    for (int k = 0; k < 6; ++k) {
      v += amps[k] * SineWave(partials[k].Step(f * ratios[k])) * Pluck(t, 0.002, taus[k]);
    }
    v += 0.35 * SineWave(beat.Step(f * 1.004)) * Pluck(t, 0.002, 0.7);
    strike.Feed(noise.Next());
    v += 0.4 * strike.band() * Pluck(t, 0.0005, 0.006);
    s[i] = static_cast<float>(v);
  }
  Finish(s, 0.08);
  return s;
}

// 3: the hammer comes down: a dry wooden knock.
Signal HammerKnock() {
  Signal s = Blank(0.14);
  Phase body, tok;
  Noise noise(303);
  Svf wood;
  wood.Set(1300, 2.5);
  for (size_t i = 0; i < s.size(); ++i) {
    double t = Time(i);
    double v = SineWave(body.Step(Glide(t, 210, 120, 0.04))) * Pluck(t, 0.001, 0.03);
    v += 0.55 * SineWave(tok.Step(640)) * Pluck(t, 0.0008, 0.016);
    wood.Feed(noise.Next());
    v += 0.9 * wood.band() * Pluck(t, 0.0005, 0.012);
    s[i] = static_cast<float>(v);
  }
  Finish(s, 0.02);
  return s;
}

// 4: a miss or a lost half-minute: a low zap sliding down.
Signal LowZap() {
  Signal s = Blank(0.36);
  Phase osc, wobble;
  Svf lp;
  Noise noise(404);
  for (size_t i = 0; i < s.size(); ++i) {
    double t = Time(i);
    double f = Glide(t, 540, 70, 0.3) * (1 + 0.04 * SineWave(wobble.Step(28)));
    double v = PulseWave(osc.Step(f), osc.dt(), 0.35);
    v += 0.15 * noise.Next();
    lp.Set(Glide(t, 3800, 500, 0.3), 2.0);
    lp.Feed(v);
    s[i] = static_cast<float>(lp.low() * Pluck(t, 0.003, 0.14));
  }
  Finish(s, 0.05);
  return s;
}

// 5: a gauge pays out: a laser sweeping up with a little vibrato.
Signal RisingLaser() {
  Signal s = Blank(0.7);
  Phase a, b, sub, vib;
  Svf lp;
  lp.Set(6000, 0.8);
  for (size_t i = 0; i < s.size(); ++i) {
    double t = Time(i);
    double f = Glide(t, 220, 1760, 0.55) * (1 + 0.025 * SineWave(vib.Step(13)));
    double v = SawWave(a.Step(f), a.dt()) * 0.5 + SawWave(b.Step(f * 1.006), b.dt()) * 0.5;
    v += 0.3 * PulseWave(sub.Step(f / 2), sub.dt(), 0.5);
    lp.Feed(v);
    double env = std::min(1.0, t / 0.01) * (t > 0.5 ? std::exp(-(t - 0.5) / 0.06) : 1.0);
    s[i] = static_cast<float>(lp.low() * env);
  }
  Finish(s, 0.05);
  return s;
}

// 6: the results box lands: a soft low thud.
Signal SoftThud() {
  Signal s = Blank(0.24);
  Phase body;
  Noise noise(606);
  Svf lp;
  lp.Set(420, 0.9);
  for (size_t i = 0; i < s.size(); ++i) {
    double t = Time(i);
    double v = SineWave(body.Step(Glide(t, 120, 52, 0.08))) * Pluck(t, 0.002, 0.06);
    lp.Feed(noise.Next());
    v += 1.6 * lp.low() * Pluck(t, 0.001, 0.025);
    s[i] = static_cast<float>(v);
  }
  Finish(s, 0.05);
  return s;
}

// 7: more time or the star bonus: a quick rising arpeggio that rings on its top note.
Signal PowerUp() {
  Signal s = Blank(0.78);
  const int notes[7] = {72, 76, 79, 84, 88, 91, 96};
  const double step = 0.055;
  Phase lead, shimmer, vib;
  for (size_t i = 0; i < s.size(); ++i) {
    double t = Time(i);
    int k = std::min(6, static_cast<int>(t / step));
    double local = t - k * step;
    double f = MidiToHz(notes[k]) * (1 + 0.006 * SineWave(vib.Step(7)));
    double env = k < 6 ? Pluck(local, 0.002, 0.06) * 0.8 + 0.2 : Pluck(local, 0.002, 0.22);
    double v = PulseWave(lead.Step(f), lead.dt(), 0.25) * 0.55;
    v += TriangleWave(shimmer.Step(f * 2)) * 0.3;
    s[i] = static_cast<float>(v * env);
  }
  Finish(s, 0.06);
  return s;
}

// 8: the results score counts: a tiny blip.
Signal CountBlip() {
  Signal s = Blank(0.07);
  Phase a, b;
  for (size_t i = 0; i < s.size(); ++i) {
    double t = Time(i);
    double v = SineWave(a.Step(1320)) + 0.3 * SineWave(b.Step(2640));
    s[i] = static_cast<float>(v * Pluck(t, 0.001, 0.018));
  }
  Finish(s, 0.015);
  return s;
}

// 9: the tenth miss ends the game: a harsh buzzer that sags at the end.
Signal Buzzer() {
  Signal s = Blank(0.85);
  Phase a, b, c, trem;
  Svf lp;
  lp.Set(1700, 1.2);
  for (size_t i = 0; i < s.size(); ++i) {
    double t = Time(i);
    double sag = t > 0.6 ? Glide(t - 0.6, 1.0, 0.85, 0.2) : 1.0;
    double v = SawWave(a.Step(98 * sag), a.dt()) * 0.5 + SawWave(b.Step(103.5 * sag), b.dt()) * 0.5;
    v += 0.5 * PulseWave(c.Step(49 * sag), c.dt(), 0.5);
    v *= 0.85 + 0.15 * SineWave(trem.Step(9));
    lp.Feed(v);
    double env = std::min(1.0, t / 0.008) * (t > 0.7 ? std::exp(-(t - 0.7) / 0.05) : 1.0);
    s[i] = static_cast<float>(lp.low() * env);
  }
  Finish(s, 0.05);
  return s;
}

}  // namespace

std::vector<SoundEffect> MakeSoundEffects() {
  return {
      {"tm2_bom003.wav", HitPop()},   {"cursor09.wav", CountdownTick()},
      {"bell07.wav", Bell()},         {"push04.wav", HammerKnock()},
      {"shoot16_b.wav", LowZap()},    {"tm2_laser002.wav", RisingLaser()},
      {"tm2_put001.wav", SoftThud()}, {"tm2_power000.wav", PowerUp()},
      {"pi02.wav", CountBlip()},      {"beep15.wav", Buzzer()},
  };
}

}  // namespace assetgen
