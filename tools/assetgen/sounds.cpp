// The ten sound effects, each synthesised from oscillators, noise, envelopes and filters.
#include <algorithm>
#include <cmath>

#include "audio.h"

namespace assetgen {

namespace {

// An effect `seconds` long: `sample` gives the level at each sample's time; the whole is
// then brought to the effects' peak and faded in and out.
template <typename Sample>
Signal Render(double seconds, double fadeOut, Sample sample) {
  Signal s(static_cast<size_t>(seconds * kSampleRate), 0.0f);
  for (size_t i = 0; i < s.size(); ++i) {
    s[i] = static_cast<float>(sample(static_cast<double>(i) / kSampleRate));
  }
  NormalizePeak(s, kEffectPeakDb);
  FadeEdges(s, 0.002, fadeOut);
  return s;
}

// Exponential glide from f0 to f1 over `seconds`, then holding f1.
double Glide(double t, double f0, double f1, double seconds) {
  if (t >= seconds) return f1;
  return f0 * std::pow(f1 / f0, t / seconds);
}

// Rises linearly over `attack`, holds, and from `release` on decays with time constant tau.
double Gate(double t, double attack, double release, double tau) {
  return std::min(1.0, t / attack) * (t > release ? std::exp(-(t - release) / tau) : 1.0);
}

// White noise through a band-pass filter: the strike, click or knock of an effect.
class NoiseBand {
 public:
  NoiseBand(std::uint32_t seed, double hz, double q) : noise_(seed) { filter_.Set(hz, q); }
  double Next() {
    filter_.Feed(noise_.Next());
    return filter_.band();
  }

 private:
  Noise noise_;
  Svf filter_;
};

// 0: a token is hit: a round pop that falls in pitch, topped by a bright two-note chime.
Signal HitPop() {
  Phase body, chime1, chime2;
  NoiseBand click(101, 3200, 1.5);
  return Render(0.26, 0.03, [&](double t) {
    double v = SineWave(body.Step(Glide(t, 1150, 360, 0.055))) * Pluck(t, 0.001, 0.045);
    v += 0.5 * click.Next() * Pluck(t, 0.0005, 0.004);
    double c1 = TriangleWave(chime1.Step(MidiToHz(91))) * Pluck(t - 0.03, 0.002, 0.05);
    double c2 = TriangleWave(chime2.Step(MidiToHz(96))) * Pluck(t - 0.075, 0.002, 0.07);
    return v + 0.32 * (c1 + c2);
  });
}

// 1: a countdown tick: a clean pip, its darker echoes and a ringing fifth, so that each
// digit's tick carries on into the wait for the next.
Signal CountdownTick() {
  const double dt = 880.0 / kSampleRate;
  auto pip = [dt](double t) {
    if (t < 0) return 0.0;
    const double p = std::fmod(880 * t, 1.0);
    return (PulseWave(p, dt, 0.5) * 0.35 + SineWave(2 * p) * 0.5) * Pluck(t, 0.002, 0.04);
  };
  Svf dark;
  dark.Set(2400, 0.7);
  return Render(1.4, 0.2, [&](double t) {
    dark.Feed(0.45 * pip(t - 0.19) + 0.22 * pip(t - 0.38) + 0.1 * pip(t - 0.57));
    const double ring = (0.22 * SineWave(880 * t) + 0.13 * SineWave(1318.5 * t)) *
                        Pluck(t, 0.004, 0.38);
    return pip(t) + dark.low() + ring;
  });
}

// 2: the start bell: inharmonic partials ringing out, each with its own decay.
Signal Bell() {
  const double f = MidiToHz(79);
  const double ratios[6] = {1.0, 2.0, 2.42, 3.0, 4.16, 5.43};
  const double amps[6] = {1.0, 0.55, 0.38, 0.28, 0.18, 0.1};
  const double taus[6] = {0.75, 0.5, 0.38, 0.3, 0.2, 0.14};
  Phase partials[6], beat;
  NoiseBand strike(202, 5000, 1.0);
  return Render(1.35, 0.08, [&](double t) {
    double v = 0;
    for (int k = 0; k < 6; ++k) {
      v += amps[k] * SineWave(partials[k].Step(f * ratios[k])) * Pluck(t, 0.002, taus[k]);
    }
    v += 0.35 * SineWave(beat.Step(f * 1.004)) * Pluck(t, 0.002, 0.7);
    return v + 0.4 * strike.Next() * Pluck(t, 0.0005, 0.006);
  });
}

// 3: the hammer comes down: a dry wooden knock.
Signal HammerKnock() {
  Phase body, tok;
  NoiseBand wood(303, 1300, 2.5);
  return Render(0.14, 0.02, [&](double t) {
    double v = SineWave(body.Step(Glide(t, 210, 120, 0.04))) * Pluck(t, 0.001, 0.03);
    v += 0.55 * SineWave(tok.Step(640)) * Pluck(t, 0.0008, 0.016);
    return v + 0.9 * wood.Next() * Pluck(t, 0.0005, 0.012);
  });
}

// 4: a miss or a lost half-minute: a low zap sliding down.
Signal LowZap() {
  Phase osc, wobble;
  Svf lp;
  Noise noise(404);
  return Render(0.36, 0.05, [&](double t) {
    double f = Glide(t, 540, 70, 0.3) * (1 + 0.04 * SineWave(wobble.Step(28)));
    double v = PulseWave(osc.Step(f), osc.dt(), 0.35);
    v += 0.15 * noise.Next();
    lp.Set(Glide(t, 3800, 500, 0.3), 2.0);
    lp.Feed(v);
    return lp.low() * Pluck(t, 0.003, 0.14);
  });
}

// 5: a gauge pays out: a laser sweeping up with a little vibrato.
Signal RisingLaser() {
  Phase a, b, sub, vib;
  Svf lp;
  lp.Set(6000, 0.8);
  return Render(0.7, 0.05, [&](double t) {
    double f = Glide(t, 220, 1760, 0.55) * (1 + 0.025 * SineWave(vib.Step(13)));
    double v = SawWave(a.Step(f), a.dt()) * 0.5 + SawWave(b.Step(f * 1.006), b.dt()) * 0.5;
    v += 0.3 * PulseWave(sub.Step(f / 2), sub.dt(), 0.5);
    lp.Feed(v);
    return lp.low() * Gate(t, 0.01, 0.5, 0.06);
  });
}

// 6: the results box lands: a soft low thud.
Signal SoftThud() {
  Phase body;
  Noise noise(606);
  Svf lp;
  lp.Set(420, 0.9);
  return Render(0.24, 0.05, [&](double t) {
    double v = SineWave(body.Step(Glide(t, 120, 52, 0.08))) * Pluck(t, 0.002, 0.06);
    lp.Feed(noise.Next());
    return v + 1.6 * lp.low() * Pluck(t, 0.001, 0.025);
  });
}

// 7: more time or the star bonus: a quick rising arpeggio that rings on its top note.
Signal PowerUp() {
  const int notes[7] = {72, 76, 79, 84, 88, 91, 96};
  const double step = 0.055;
  Phase lead, shimmer, vib;
  return Render(0.78, 0.06, [&](double t) {
    int k = std::min(6, static_cast<int>(t / step));
    double local = t - k * step;
    double f = MidiToHz(notes[k]) * (1 + 0.006 * SineWave(vib.Step(7)));
    double env = k < 6 ? Pluck(local, 0.002, 0.06) * 0.8 + 0.2 : Pluck(local, 0.002, 0.22);
    double v = PulseWave(lead.Step(f), lead.dt(), 0.25) * 0.55;
    v += TriangleWave(shimmer.Step(f * 2)) * 0.3;
    return v * env;
  });
}

// 8: the results score counts: a tiny blip over a soft major chime. Each count cuts
// the chime of the one before; the last one rings out over the finished score.
Signal CountBlip() {
  const double chord[3] = {MidiToHz(88), MidiToHz(92), MidiToHz(95)};
  return Render(1.3, 0.25, [&](double t) {
    double v = (SineWave(1320 * t) + 0.3 * SineWave(2640 * t)) * Pluck(t, 0.001, 0.018);
    for (int k = 0; k < 3; ++k) {
      v += (0.16 - 0.04 * k) * SineWave(chord[k] * t) * Pluck(t - 0.02 * k, 0.003, 0.45 - 0.06 * k);
    }
    return v;
  });
}

// 9: the tenth miss ends the game: a harsh buzzer that sags at the end.
Signal Buzzer() {
  Phase a, b, c, trem;
  Svf lp;
  lp.Set(1700, 1.2);
  return Render(0.85, 0.05, [&](double t) {
    double sag = t > 0.6 ? Glide(t - 0.6, 1.0, 0.85, 0.2) : 1.0;
    double v = SawWave(a.Step(98 * sag), a.dt()) * 0.5 + SawWave(b.Step(103.5 * sag), b.dt()) * 0.5;
    v += 0.5 * PulseWave(c.Step(49 * sag), c.dt(), 0.5);
    v *= 0.85 + 0.15 * SineWave(trem.Step(9));
    lp.Feed(v);
    return lp.low() * Gate(t, 0.008, 0.7, 0.05);
  });
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
