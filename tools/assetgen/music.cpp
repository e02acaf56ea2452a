// The two background loops: composed from a chord progression by a small rule set
// (voice-led chords, a bass line, drums, and a melody built from rhythm motifs fitted to
// the chords), played by simple synth voices and encoded with LAME.
//
// Every note is rendered into a circular buffer exactly one loop long, so the release of
// the last bar and the echo tails fold into the start and the loop has no seam.
#include <lame/lame.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "art.h"
#include "audio.h"

namespace assetgen {

namespace {

// ---------------------------------------------------------------- composition

struct Chord {
  int root;                // pitch class
  std::vector<int> tones;  // intervals above the root
};

struct Note {
  double beat;    // start, beats from the loop start
  double length;  // beats
  int midi;
  double velocity;
};

enum class Voice {
  Lead,
  SoftLead,
  Keys,
  Pad,
  Bass,
  SoftBass,
  Arp,
  Stab,
  Kick,
  Snare,
  Hat,
  OpenHat,
  Shaker,
  Rim,
  Crash
};

struct Part {
  Voice voice;
  double gain;
  double pan;       // -1 left to 1 right
  double echoSend;  // share sent into the echo
  std::vector<Note> notes;
};

struct Song {
  std::string name;
  double bpm;
  int bars;
  double echoBeats;
  double echoFeedback;
  std::vector<Part> parts;
};

const Chord kMaj{0, {0, 4, 7}};
const Chord kMin{0, {0, 3, 7}};

Chord Make(int root, std::vector<int> tones) { return {root, std::move(tones)}; }

bool InScale(int midi, int key) {
  static const bool major[12] = {1, 0, 1, 0, 1, 1, 0, 1, 0, 1, 0, 1};
  return major[((midi - key) % 12 + 12) % 12];
}

bool InChord(int midi, const Chord& c) {
  int pc = ((midi - c.root) % 12 + 12) % 12;
  return std::find(c.tones.begin(), c.tones.end(), pc) != c.tones.end();
}

// The chord's tones placed in [low, high], closest as a whole to the previous voicing.
std::vector<int> VoiceLead(const Chord& c, const std::vector<int>& previous, int low, int high) {
  std::vector<int> best;
  double bestCost = 1e9;
  const int n = static_cast<int>(c.tones.size());
  for (int rotation = 0; rotation < n; ++rotation) {
    for (int base = low; base < low + 12; ++base) {
      if (((base - c.root - c.tones[rotation]) % 12 + 12) % 12 != 0) continue;
      std::vector<int> v;
      int last = base - 1;
      for (int k = 0; k < n; ++k) {
        int pc = (c.root + c.tones[(rotation + k) % n]) % 12;
        int note = last + 1;
        while (((note - pc) % 12 + 12) % 12 != 0) ++note;
        v.push_back(note);
        last = note;
      }
      if (v.back() > high) continue;
      double cost = 0;
      if (!previous.empty()) {
        for (size_t k = 0; k < v.size(); ++k) {
          cost += std::abs(v[k] - previous[std::min(k, previous.size() - 1)]);
        }
      } else {
        cost = std::abs(v.front() - (low + 4));
      }
      if (cost < bestCost) {
        bestCost = cost;
        best = v;
      }
    }
  }
  return best;
}

// A bar's rhythm on the eighth-note grid: (start slot, length in slots).
using Rhythm = std::vector<std::pair<int, int>>;

// Builds a melody bar by bar along a contour: each bar glides from one scale degree to
// another; notes on strong slots take the chord tone nearest the line, the others the
// nearest scale tone, so the tune moves in steps and leaps land on the harmony.
class MelodyWriter {
 public:
  MelodyWriter(int tonic, int low, int high, std::uint32_t seed)
      : tonic_(tonic), low_(low), high_(high), rnd_(seed), last_(tonic) {}

  // The MIDI note of scale degree d (0 = the tonic given at construction).
  int Degree(int d) const {
    static const int steps[7] = {0, 2, 4, 5, 7, 9, 11};
    int octave = d >= 0 ? d / 7 : -((-d + 6) / 7);
    return tonic_ + 12 * octave + steps[d - 7 * octave];
  }

  void Bar(std::vector<Note>& out, double barBeat, const Rhythm& rhythm, const Chord& chord,
           const Chord& next, int fromDegree, int toDegree, bool cadence, double velocity) {
    const double from = Degree(fromDegree), to = Degree(toDegree);
    const size_t n = rhythm.size();
    for (size_t i = 0; i < n; ++i) {
      const int slot = rhythm[i].first, len = rhythm[i].second;
      const double u = n > 1 ? static_cast<double>(i) / (n - 1) : 0.0;
      const double line = from + (to - from) * u;
      const bool last = i + 1 == n;
      const bool strong = slot == 0 || slot == 4 || len >= 3;
      // A short note just before the bar line already belongs to the next chord.
      const Chord& harmony = last && slot >= 6 && len <= 2 ? next : chord;
      int pitch;
      if (last && cadence) {
        const Chord rest = Make(harmony.root, {0, harmony.tones[1]});
        pitch = Nearest(line, [&](int m) { return InChord(m, rest); });
      } else if (strong) {
        pitch = Nearest(line, [&](int m) { return InChord(m, harmony); });
      } else {
        pitch = Nearest(line, [&](int m) { return InScale(m, tonic_) && m != last_; });
      }
      const double accent = (slot % 2 == 0 ? 1.0 : 0.85) * (0.93 + 0.07 * rnd_.Uniform());
      out.push_back({barBeat + slot * 0.5, len * 0.5 * 0.92, pitch, velocity * accent});
      last_ = pitch;
    }
  }

 private:
  template <typename Allowed>
  int Nearest(double line, Allowed allowed) {
    int best = static_cast<int>(line), bestCost = 1 << 20;
    for (int m = low_; m <= high_; ++m) {
      if (!allowed(m)) continue;
      int cost = static_cast<int>(std::fabs(m - line) * 8) + (m == last_ ? 6 : 0) + rnd_.Int(4);
      if (cost < bestCost) {
        bestCost = cost;
        best = m;
      }
    }
    return best;
  }

  int tonic_, low_, high_;
  Random rnd_;
  int last_;
};

double Humanise(Random& rnd, double v) { return v * (0.92 + 0.08 * rnd.Uniform()); }

// The calm title loop: F major, 90 BPM, 16 bars.
Song TitleSong() {
  Song song{"tw014b.mp3", 90, 16, 0.75, 0.38, {}};
  // One chord per half bar.
  const Chord F = Make(5, {0, 4, 7, 11}), Dm = Make(2, {0, 3, 7, 10}), Bb = Make(10, {0, 4, 7, 11}),
              Csus = Make(0, {0, 5, 7, 10}), C7 = Make(0, {0, 4, 7, 10}),
              Am = Make(9, {0, 3, 7, 10}), Gm = Make(7, {0, 3, 7, 10}), Fa = Make(5, {0, 4, 7, 11});
  const std::vector<Chord> bars = {F,  Dm, Bb, Csus, F,  Am, Bb, Csus,
                                   Dm, Am, Bb, Fa,   Gm, Am, Bb, C7};
  auto half = [&](int bar, int h) -> const Chord& {
    if (bars[bar].root == 0 && bars[bar].tones[1] == 5 && h == 1) return C7;
    return bars[bar];
  };
  Random rnd(2024);

  Part keys{Voice::Keys, 0.21, 0, 0.25, {}};
  Part pad{Voice::Pad, 0.12, 0, 0.0, {}};
  Part bass{Voice::SoftBass, 0.46, 0, 0.0, {}};
  Part lead{Voice::SoftLead, 0.42, 0.1, 0.45, {}};
  Part kick{Voice::Kick, 0.45, 0, 0, {}};
  Part rim{Voice::Rim, 0.3, -0.25, 0.15, {}};
  Part shaker{Voice::Shaker, 0.2, 0.35, 0, {}};
  Part arp{Voice::Arp, 0.075, -0.4, 0.4, {}};
  Part hat{Voice::Hat, 0.09, 0.3, 0, {}};

  std::vector<int> voicing;
  for (int b = 0; b < 16; ++b) {
    const double at = b * 4.0;
    for (int h = 0; h < 2; ++h) {
      const Chord& c = half(b, h);
      voicing = VoiceLead(c, voicing, 57, 76);
      // A plucked arpeggio in eighths an octave over the keys keeps the loop moving:
      // up the chord and back, softer in the first eight bars.
      const int order[4] = {0, 1, 2, 1};
      for (int e = 0; e < 4; ++e) {
        const int pitch = voicing[order[e] % voicing.size()] + 12;
        const double v = (b < 8 ? 0.6 : 0.85) * (e == 0 ? 1.0 : 0.75);
        arp.notes.push_back({at + h * 2 + e * 0.5, 0.4, pitch, Humanise(rnd, v)});
      }
      // Keys: struck on the beat, re-struck softly on the "and" of the half bar.
      for (int n : voicing) {
        keys.notes.push_back({at + h * 2, 1.5, n, Humanise(rnd, 0.75)});
        keys.notes.push_back({at + h * 2 + 1.5, 0.5, n, Humanise(rnd, 0.45)});
      }
      for (int n : voicing) {
        if (n == voicing.front()) continue;
        pad.notes.push_back({at + h * 2, 2.0, n + 12, 0.6});
      }
    }
    // Bass: root, a soft repeat, the fifth, and a step toward the next root.
    const Chord& c = bars[b];
    const Chord& next = bars[(b + 1) % 16];
    // Roots between E2 and D#3.
    const int root = 36 + c.root + (c.root < 4 ? 12 : 0);
    const int nextRoot = 36 + next.root + (next.root < 4 ? 12 : 0);
    bass.notes.push_back({at, 1.4, root, 0.95});
    bass.notes.push_back({at + 1.5, 0.45, root, 0.6});
    bass.notes.push_back({at + 2, 1.4, root + 7, 0.8});
    bass.notes.push_back(
        {at + 3.5, 0.45, nextRoot + (nextRoot > root ? -1 : 1) * (b % 2 ? 2 : 1), 0.6});
    // Drums, gentle: kick on one and the "and" of three, rim on two and four, shaker eighths.
    kick.notes.push_back({at, 0.5, 0, 0.9});
    kick.notes.push_back({at + 2.5, 0.5, 0, 0.6});
    rim.notes.push_back({at + 1, 0.25, 0, 0.8});
    rim.notes.push_back({at + 3, 0.25, 0, 0.9});
    for (int e = 0; e < 8; ++e) {
      shaker.notes.push_back({at + e * 0.5, 0.25, 0, (e % 2 ? 0.9 : 0.5) * Humanise(rnd, 1.0)});
    }
    if (b % 8 == 7) {
      for (int e = 0; e < 4; ++e)
        shaker.notes.push_back({at + 3 + e * 0.25, 0.2, 0, 0.4 + 0.15 * e});
    }
    // Off-beat hats, and in the second eight bars a kick on three as well.
    for (int e = 1; e < 8; e += 2) hat.notes.push_back({at + e * 0.5, 0.25, 0, Humanise(rnd, 0.8)});
    if (b >= 8) kick.notes.push_back({at + 2, 0.5, 0, 0.55});
  }

  // Melody: two eight-bar periods; the second opens by restating bars 1 to 4 and climbs
  // to its peak in bar 14 before settling on E, which leads back into F at the loop.
  const std::vector<Rhythm> motifs = {{{0, 3}, {3, 1}, {4, 4}},
                                      {{0, 2}, {2, 2}, {4, 2}, {6, 2}},
                                      {{0, 6}, {6, 2}},
                                      {{0, 8}},
                                      {{1, 1}, {2, 2}, {4, 3}, {7, 1}},
                                      {{0, 2}, {2, 1}, {3, 1}, {4, 4}}};
  const int form[16] = {0, 1, 5, 2, 0, 4, 1, 3, 0, 1, 5, 2, 5, 1, 4, 3};
  // Scale degrees above F4 at the start and end of each bar.
  const int line[16][2] = {{4, 7}, {8, 6}, {9, 7}, {5, 4}, {7, 9},  {9, 8},  {8, 5},  {4, 4},
                           {4, 7}, {8, 6}, {9, 7}, {5, 4}, {8, 10}, {9, 11}, {10, 7}, {6, 6}};
  MelodyWriter melody(65, 62, 86, 77);
  for (int b = 0; b < 16; ++b) {
    melody.Bar(lead.notes, b * 4.0, motifs[form[b]], bars[b], bars[(b + 1) % 16], line[b][0],
               line[b][1], b % 4 == 3, 0.9);
  }

  song.parts = {keys, pad, bass, lead, kick, rim, shaker, arp, hat};
  return song;
}

// The lively play loop: C major, 140 BPM, 32 bars in four sections A B A C.
Song PlaySong() {
  Song song{"tw065.mp3", 140, 32, 0.75, 0.3, {}};
  const Chord C = Make(0, kMaj.tones), G = Make(7, kMaj.tones), Am = Make(9, kMin.tones),
              F = Make(5, kMaj.tones), Dm = Make(2, kMin.tones), Em = Make(4, kMin.tones),
              G7 = Make(7, {0, 4, 7, 10}), Dm7 = Make(2, {0, 3, 7, 10});
  const std::vector<Chord> A = {C, G, Am, F, C, G, F, C};
  const std::vector<Chord> B = {Am, F, C, G, Am, F, Dm, G};
  const std::vector<Chord> Cc = {F, G, Em, Am, F, G, Dm7, G7};
  std::vector<Chord> bars;
  for (const auto* section : {&A, &B, &A, &Cc})
    bars.insert(bars.end(), section->begin(), section->end());
  Random rnd(4242);

  Part lead{Voice::Lead, 0.38, 0.05, 0.30, {}};
  Part stab{Voice::Stab, 0.16, -0.45, 0.1, {}};
  Part arp{Voice::Arp, 0.10, 0.5, 0.25, {}};
  Part bass{Voice::Bass, 0.34, 0, 0, {}};
  Part kick{Voice::Kick, 0.5, 0, 0, {}};
  Part snare{Voice::Snare, 0.6, 0.05, 0.08, {}};
  Part hat{Voice::Hat, 0.16, 0.3, 0, {}};
  Part openHat{Voice::OpenHat, 0.10, 0.3, 0, {}};
  Part crash{Voice::Crash, 0.12, -0.2, 0, {}};

  std::vector<int> voicing;
  for (int b = 0; b < 32; ++b) {
    const double at = b * 4.0;
    const Chord& c = bars[b];
    const Chord& next = bars[(b + 1) % 32];
    const int section = b / 8;
    // In bar 7 of A the chord changes mid-bar (F then G).
    const bool split = (section == 0 || section == 2) && b % 8 == 6;
    for (int beat = 0; beat < 4; ++beat) {
      const Chord& now = split && beat >= 2 ? G : c;
      voicing = VoiceLead(now, voicing, 60, 76);
      for (int n : voicing) stab.notes.push_back({at + beat + 0.5, 0.3, n, Humanise(rnd, 0.8)});
    }
    // Bass: bouncing octaves in eighths; before a change of chord the last one slides up
    // a semitone into the next root.
    const int root = 33 + (c.root + 3) % 12;
    const int nextRoot = 33 + (next.root + 3) % 12;
    for (int e = 0; e < 8; ++e) {
      int pitch = e % 2 == 0 ? root : root + 12;
      if (split && e >= 4) pitch = (e % 2 == 0 ? 43 : 55);
      if (e == 7 && next.root != c.root) pitch = nextRoot - 1;
      bass.notes.push_back({at + e * 0.5, 0.42, pitch, (e % 2 == 0 ? 1.0 : 0.75)});
    }
    // Arpeggio in sixteenths from section B on.
    if (section >= 1) {
      std::vector<int> tones;
      for (int t : c.tones) tones.push_back(72 + c.root + t - (c.root > 6 ? 12 : 0));
      tones.push_back(tones.front() + 12);
      const int order[8] = {0, 1, 2, 3, 2, 1, 2, 3};
      for (int s = 0; s < 16; ++s) {
        int pitch = tones[order[s % 8] % tones.size()];
        arp.notes.push_back({at + s * 0.25, 0.2, pitch, (s % 4 == 0 ? 0.9 : 0.65)});
      }
    }
    // Drums.
    kick.notes.push_back({at, 0.5, 0, 1.0});
    kick.notes.push_back({at + 2, 0.5, 0, 0.95});
    if (b % 2 == 1) kick.notes.push_back({at + 2.75, 0.25, 0, 0.7});
    if (section >= 1) kick.notes.push_back({at + 1.5, 0.25, 0, 0.6});
    snare.notes.push_back({at + 1, 0.5, 0, 0.95});
    snare.notes.push_back({at + 3, 0.5, 0, 1.0});
    for (int e = 0; e < 8; ++e) {
      if (b % 2 == 1 && e == 7) continue;
      hat.notes.push_back({at + e * 0.5, 0.25, 0, Humanise(rnd, e % 2 ? 0.95 : 0.6)});
    }
    if (b % 2 == 1) openHat.notes.push_back({at + 3.5, 0.5, 0, 0.8});
    if (b % 8 == 0) crash.notes.push_back({at, 2, 0, b == 0 ? 0.8 : 1.0});
    if (b % 8 == 7) {
      for (int s = 0; s < 6; ++s)
        snare.notes.push_back({at + 2.5 + s * 0.25, 0.25, 0, 0.45 + 0.1 * s});
    }
  }

  // Melody: section A is written once and played twice; B and C are their own. Bar 32
  // ends on the leading tone, back into the first bar.
  const std::vector<Rhythm> motifs = {{{0, 1}, {1, 1}, {2, 2}, {4, 1}, {5, 1}, {6, 2}},
                                      {{0, 2}, {2, 1}, {3, 3}, {6, 2}},
                                      {{0, 1}, {1, 1}, {2, 1}, {3, 1}, {4, 2}, {6, 2}},
                                      {{0, 3}, {3, 3}, {6, 2}},
                                      {{0, 6}, {6, 1}, {7, 1}},
                                      {{0, 4}, {4, 4}},
                                      {{0, 8}}};
  const int formA[8] = {0, 3, 0, 4, 0, 3, 2, 6};
  const int formB[8] = {1, 3, 1, 5, 2, 3, 1, 4};
  const int formC[8] = {3, 0, 3, 4, 2, 0, 1, 6};
  // Scale degrees above C5 at the start and end of each bar, per section.
  const int lineA[8][2] = {{2, 4}, {4, 1}, {2, 5}, {3, 3}, {4, 7}, {6, 4}, {5, 3}, {2, 0}};
  const int lineB[8][2] = {{5, 3}, {3, 5}, {4, 2}, {1, 1}, {5, 7}, {8, 5}, {3, 1}, {-1, 1}};
  const int lineC[8][2] = {{5, 7}, {8, 6}, {6, 4}, {5, 5}, {7, 9}, {8, 6}, {5, 3}, {1, -1}};
  MelodyWriter melody(72, 67, 89, 99);
  for (int b = 0; b < 32; ++b) {
    const int section = b / 8, i = b % 8;
    const int* form = section == 1 ? formB : section == 3 ? formC : formA;
    const int(*line)[2] = section == 1 ? lineB : section == 3 ? lineC : lineA;
    if (section == 2) {
      // Section A again, note for note (its notes come first in the list).
      const size_t written = lead.notes.size();
      for (size_t k = 0; k < written; ++k) {
        const Note n = lead.notes[k];
        if (n.beat >= i * 4.0 && n.beat < (i + 1) * 4.0) {
          lead.notes.push_back({n.beat + 64, n.length, n.midi, n.velocity});
        }
      }
      continue;
    }
    melody.Bar(lead.notes, b * 4.0, motifs[form[i]], bars[b], bars[(b + 1) % 32], line[i][0],
               line[i][1], i == 3 || i == 7, 0.9);
  }

  song.parts = {lead, stab, arp, bass, kick, snare, hat, openHat, crash};
  return song;
}

// ---------------------------------------------------------------- voices

// How each voice's notes start and end, in the order of Voice: an envelope for the
// held voices; for the struck ones (tail > 0) how long they ring, however short the note.
struct VoiceShape {
  Adsr env;
  double tail;
};
constexpr VoiceShape kVoiceShapes[] = {
    {{0.006, 0.12, 0.65, 0.09}, 0},  // Lead
    {{0.03, 0.3, 0.75, 0.35}, 0},    // SoftLead
    {{0.004, 0.3, 0.55, 0.35}, 0},   // Keys
    {{0.45, 0.5, 0.85, 0.8}, 0},     // Pad
    {{0.003, 0.09, 0.6, 0.05}, 0},   // Bass
    {{0.012, 0.25, 0.7, 0.18}, 0},   // SoftBass
    {{}, 0.12},                      // Arp
    {{}, 0.1},                       // Stab
    {{}, 0.35},                      // Kick
    {{}, 0.22},                      // Snare
    {{}, 0.06},                      // Hat
    {{}, 0.3},                       // OpenHat
    {{}, 0.09},                      // Shaker
    {{}, 0.05},                      // Rim
    {{}, 1.4},                       // Crash
};
static_assert(sizeof kVoiceShapes / sizeof kVoiceShapes[0] == static_cast<int>(Voice::Crash) + 1);

// One note of a voice as a mono signal, release included.
Signal RenderVoice(Voice voice, double hz, double held, double velocity, std::uint32_t seed) {
  const Adsr env = kVoiceShapes[static_cast<int>(voice)].env;
  const double tail = kVoiceShapes[static_cast<int>(voice)].tail;
  const bool percussive = tail > 0;
  const double length = percussive ? std::max(held, tail) : env.Length(held);
  Signal s(static_cast<size_t>(length * kSampleRate) + 1, 0.0f);
  Phase a, b, c, vib;
  Noise noise(seed);
  Svf filter, filter2;
  for (size_t i = 0; i < s.size(); ++i) {
    const double t = static_cast<double>(i) / kSampleRate;
    double v = 0;
    switch (voice) {
      case Voice::Lead: {
        double vibrato =
            1 + 0.004 * std::min(1.0, std::max(0.0, (t - 0.15) / 0.2)) * SineWave(vib.Step(5.5));
        double f = hz * vibrato;
        v = 0.6 * PulseWave(a.Step(f), a.dt(), 0.5) +
            0.4 * PulseWave(b.Step(f * 1.0023), b.dt(), 0.3);
        filter.Set(1800 + 3200 * Pluck(t, 0.002, 0.12), 1.0);
        filter.Feed(v);
        v = filter.low() * env.At(t, held);
        break;
      }
      case Voice::SoftLead: {
        double vibrato =
            1 + 0.0035 * std::min(1.0, std::max(0.0, (t - 0.25) / 0.3)) * SineWave(vib.Step(5));
        double p = a.Step(hz * vibrato);
        v = (0.8 * SineWave(p) + 0.25 * TriangleWave(p) + 0.08 * SineWave(2 * p)) * env.At(t, held);
        break;
      }
      case Voice::Keys: {
        double index = 1.1 * std::exp(-t / 0.2) + 0.25;
        double mod = index * SineWave(b.Step(hz * 2.0));
        double p = a.Step(hz);
        v = std::sin(2 * M_PI * p + mod) * Pluck(t, 0.004, 1.2) * env.At(t, held);
        break;
      }
      case Voice::Pad: {
        v = (SawWave(a.Step(hz * 0.9954), a.dt()) + SawWave(b.Step(hz), b.dt()) +
             SawWave(c.Step(hz * 1.0046), c.dt())) /
            3;
        filter.Set(1300, 0.7);
        filter.Feed(v);
        v = filter.low() * env.At(t, held);
        break;
      }
      case Voice::Bass: {
        v = 0.7 * PulseWave(a.Step(hz), a.dt(), 0.5) + 0.5 * SineWave(b.Step(hz * 0.5));
        filter.Set(350 + 1300 * Pluck(t, 0.002, 0.07), 1.3);
        filter.Feed(v);
        v = filter.low() * env.At(t, held);
        break;
      }
      case Voice::SoftBass: {
        double p = a.Step(hz);
        v = (0.7 * TriangleWave(p) + 0.5 * SineWave(p)) * env.At(t, held);
        break;
      }
      case Voice::Arp: {
        v = PulseWave(a.Step(hz), a.dt(), 0.25);
        filter.Set(3500, 0.9);
        filter.Feed(v);
        v = filter.low() * Pluck(t, 0.002, 0.08);
        break;
      }
      case Voice::Stab: {
        v = 0.5 * SawWave(a.Step(hz), a.dt()) + 0.5 * SawWave(b.Step(hz * 1.004), b.dt());
        filter.Set(2400 * Pluck(t, 0.002, 0.15) + 600, 1.0);
        filter.Feed(v);
        v = filter.low() * Pluck(t, 0.003, 0.09);
        break;
      }
      case Voice::Kick: {
        double f = 48 + 110 * std::exp(-t / 0.035);
        v = SineWave(a.Step(f)) * Pluck(t, 0.001, 0.16);
        v += 0.3 * noise.Next() * Pluck(t, 0.0003, 0.003);
        break;
      }
      case Voice::Snare: {
        filter.Set(1900, 0.8);
        filter.Feed(noise.Next());
        v = 0.9 * filter.band() * Pluck(t, 0.001, 0.09) +
            0.35 * filter.high() * Pluck(t, 0.001, 0.05);
        v += 0.5 * SineWave(a.Step(190 * (1 + 0.3 * std::exp(-t / 0.01)))) * Pluck(t, 0.001, 0.05);
        break;
      }
      case Voice::Hat:
      case Voice::OpenHat:
      case Voice::Crash: {
        filter.Set(6200, 0.8);
        filter.Feed(noise.Next());
        double tau = voice == Voice::Hat ? 0.022 : voice == Voice::OpenHat ? 0.11 : 0.55;
        v = filter.high() * Pluck(t, 0.0006, tau);
        break;
      }
      case Voice::Shaker: {
        filter.Set(5200, 1.2);
        filter.Feed(noise.Next());
        double e = t < 0.012 ? t / 0.012 : std::exp(-(t - 0.012) / 0.035);
        v = filter.band() * e;
        break;
      }
      case Voice::Rim: {
        filter.Set(2600, 2.5);
        filter.Feed(noise.Next());
        v = (0.6 * SineWave(a.Step(1750)) + filter.band()) * Pluck(t, 0.0004, 0.014);
        break;
      }
    }
    s[i] = static_cast<float>(v * velocity);
  }
  return s;
}

// ---------------------------------------------------------------- mixing

// Stereo loop buffers; every write wraps around the loop length.
struct Loop {
  explicit Loop(size_t n) : left(n, 0.0f), right(n, 0.0f) {}
  void Add(size_t index, double l, double r) {
    index %= left.size();
    left[index] += static_cast<float>(l);
    right[index] += static_cast<float>(r);
  }
  Signal left, right;
};

// A look-ahead peak limiter for a loop: the gain dips smoothly under every sample that
// would pass `ceilingDb`, ramping down over the look-ahead before it and recovering
// over the release after it. The loop is treated as a circle, so the join stays seamless.
void LimitLoop(Signal& left, Signal& right, double ceilingDb) {
  const size_t n = left.size();
  const size_t ahead = static_cast<size_t>(0.004 * kSampleRate);
  const double release = 0.08 * kSampleRate;
  if (n < 2 * ahead) return;
  const double ceiling = std::pow(10.0, ceilingDb / 20);
  std::vector<double> need(n);
  for (size_t i = 0; i < n; ++i) {
    const double level = std::max(std::fabs(left[i]), std::fabs(right[i]));
    need[i] = level > ceiling ? ceiling / level : 1.0;
  }
  // The least gain needed within the look-ahead, then averaged over the look-ahead
  // behind: every average that covers a peak's sample is built only of values at or
  // under that peak's own need.
  std::vector<double> least(n, 1.0);
  for (size_t i = 0; i < n; ++i) {
    if (need[i] >= 1.0) continue;
    for (size_t k = 0; k < ahead; ++k) {
      double& g = least[(i + n - k) % n];
      g = std::min(g, need[i]);
    }
  }
  std::vector<double> gain(n);
  double sum = 0;
  for (size_t k = 0; k < ahead; ++k) sum += least[n - 1 - k];
  for (size_t i = 0; i < n; ++i) {
    sum += least[i] - least[(i + n - ahead) % n];
    gain[i] = sum / ahead;
  }
  // The release only slows the rise back to 1; two turns round the loop settle it.
  double g = 1.0;
  for (int turn = 0; turn < 2; ++turn) {
    for (size_t i = 0; i < n; ++i) {
      g = std::min(gain[i], g + (1.0 - g) / release);
      gain[i] = g;
    }
  }
  for (size_t i = 0; i < n; ++i) {
    left[i] = static_cast<float>(left[i] * gain[i]);
    right[i] = static_cast<float>(right[i] * gain[i]);
  }
}

void RenderSong(const Song& song, Signal& outLeft, Signal& outRight) {
  const double samplesPerBeat = kSampleRate * 60.0 / song.bpm;
  const size_t loopLength = static_cast<size_t>(std::llround(samplesPerBeat * 4 * song.bars));
  Loop dry(loopLength), send(loopLength);
  std::uint32_t seed = 1;
  for (const Part& part : song.parts) {
    const double panAngle = (part.pan + 1) * M_PI / 4;
    for (size_t k = 0; k < part.notes.size(); ++k) {
      const Note& note = part.notes[k];
      const double held = note.length * 60.0 / song.bpm;
      Signal voice = RenderVoice(part.voice, MidiToHz(note.midi), held, note.velocity, seed++);
      // Chord tones of keys and pads spread a little across the field.
      double angle = panAngle;
      if (part.voice == Voice::Keys || part.voice == Voice::Pad) {
        angle += ((note.midi % 3) - 1) * 0.18;
      }
      const double gl = std::cos(angle) * part.gain, gr = std::sin(angle) * part.gain;
      const size_t start = static_cast<size_t>(std::llround(note.beat * samplesPerBeat));
      for (size_t i = 0; i < voice.size(); ++i) {
        dry.Add(start + i, voice[i] * gl, voice[i] * gr);
        if (part.echoSend > 0) {
          send.Add(start + i, voice[i] * gl * part.echoSend, voice[i] * gr * part.echoSend);
        }
      }
    }
  }
  // Ping-pong echo on the loop itself: a few passes settle it so the wrap is seamless.
  const size_t delay = static_cast<size_t>(std::llround(song.echoBeats * samplesPerBeat));
  Signal echoL(loopLength, 0.0f), echoR(loopLength, 0.0f);
  for (int pass = 0; pass < 4; ++pass) {
    for (size_t n = 0; n < loopLength; ++n) {
      size_t from = (n + loopLength - delay % loopLength) % loopLength;
      double in = 0.5 * (send.left[from] + send.right[from]);
      echoL[n] = static_cast<float>(in + song.echoFeedback * echoR[from]);
      echoR[n] = static_cast<float>(song.echoFeedback * echoL[from]);
    }
  }
  outLeft.assign(loopLength, 0.0f);
  outRight.assign(loopLength, 0.0f);
  for (size_t n = 0; n < loopLength; ++n) {
    outLeft[n] = dry.left[n] + 0.6f * echoL[n];
    outRight[n] = dry.right[n] + 0.6f * echoR[n];
  }
  // The rare peaks where drums and bass coincide are held 3 dB down, so the music keeps
  // its body at its low level in the mix.
  NormalizePeak(outLeft, outRight, kMusicPeakDb + 3.0);
  LimitLoop(outLeft, outRight, kMusicPeakDb);
}

// ---------------------------------------------------------------- encoding

bool EncodeMp3(const Signal& left, const Signal& right, int kbps, std::vector<std::uint8_t>& out) {
  lame_global_flags* lame = lame_init();
  if (!lame) return false;
  lame_set_in_samplerate(lame, kSampleRate);
  lame_set_out_samplerate(lame, kSampleRate);
  lame_set_num_channels(lame, 2);
  lame_set_mode(lame, JOINT_STEREO);
  lame_set_brate(lame, kbps);
  lame_set_quality(lame, 5);
  lame_set_bWriteVbrTag(lame, 1);
  lame_set_write_id3tag_automatic(lame, 0);
  if (lame_init_params(lame) < 0) {
    lame_close(lame);
    return false;
  }
  const size_t frames = left.size();
  const size_t chunk = 8192;
  std::vector<short> pcm(chunk * 2);
  std::vector<unsigned char> buffer(chunk * 5 / 4 + 7200);
  out.clear();
  bool ok = true;
  for (size_t at = 0; at < frames && ok; at += chunk) {
    const size_t n = std::min(chunk, frames - at);
    for (size_t i = 0; i < n; ++i) {
      pcm[2 * i] = ToPcm16(left[at + i]);
      pcm[2 * i + 1] = ToPcm16(right[at + i]);
    }
    int written = lame_encode_buffer_interleaved(lame, pcm.data(), static_cast<int>(n),
                                                 buffer.data(), static_cast<int>(buffer.size()));
    if (written < 0)
      ok = false;
    else
      out.insert(out.end(), buffer.begin(), buffer.begin() + written);
  }
  if (ok) {
    int written = lame_encode_flush(lame, buffer.data(), static_cast<int>(buffer.size()));
    if (written < 0)
      ok = false;
    else
      out.insert(out.end(), buffer.begin(), buffer.begin() + written);
  }
  // The stream opens with a placeholder frame; the LAME tag (encoder delay and padding,
  // so players can trim them) replaces it.
  if (ok) {
    unsigned char tag[2880];
    size_t size = lame_get_lametag_frame(lame, tag, sizeof tag);
    if (size == 0 || size > sizeof tag || size > out.size())
      ok = false;
    else
      std::copy(tag, tag + size, out.begin());
  }
  lame_close(lame);
  return ok;
}

}  // namespace

bool MakeMusic(std::vector<MusicTrack>& out) {
  for (const Song& song : {TitleSong(), PlaySong()}) {
    Signal left, right;
    RenderSong(song, left, right);
    MusicTrack track;
    track.name = song.name;
    track.seconds = static_cast<double>(left.size()) / kSampleRate;
    // The browser page sends its music over the network: a lighter encode for it.
    if (!EncodeMp3(left, right, 160, track.mp3) || !EncodeMp3(left, right, 96, track.webMp3)) {
      std::fprintf(stderr, "tonkalo-assetgen: the MP3 encoder failed on %s\n", song.name.c_str());
      return false;
    }
    out.push_back(std::move(track));
  }
  return true;
}

}  // namespace assetgen
