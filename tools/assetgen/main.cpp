// tonkalo-assetgen OUT: writes every picture (OUT/BMP), sound effect (OUT/WAV) and music
// loop (OUT/MP3) of the game, its icons (OUT/icons), the browser page's lighter music
// (OUT/web/MP3), plus review sheets (OUT/contact-sheet.png, OUT/preview-*.png).
// The output depends on nothing but this program: two runs give identical bytes.
#include <chrono>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "audio.h"
#include "icon.h"
#include "output.h"
#include "pictures.h"

using namespace assetgen;

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: tonkalo-assetgen OUT\n");
    return 2;
  }
  const auto started = std::chrono::steady_clock::now();
  const std::string out = argv[1];
  for (const char* sub : {"/BMP", "/WAV", "/MP3", "/icons", "/web", "/web/MP3"}) {
    if (!MakeFolder(out + sub)) return 1;
  }

  // The music takes longest; it is composed and encoded beside the pictures.
  std::vector<MusicTrack> tracks;
  bool musicOk = false;
  std::thread music([&] { musicOk = MakeMusic(tracks); });

  std::vector<Picture> pictures;
  for (auto* make : {&MakeScreenPictures, &MakeBoardPictures, &MakeHudPictures}) {
    for (Picture& p : make()) pictures.push_back(std::move(p));
  }
  bool ok = true;
  for (const Picture& p : pictures)
    ok = WriteBytes(out + "/BMP/" + p.name, EncodeBmp(p.image)) && ok;
  const std::vector<SoundEffect> effects = MakeSoundEffects();
  for (const SoundEffect& e : effects) {
    ok = WriteBytes(out + "/WAV/" + e.name, EncodeWav({&e.samples})) && ok;
  }
  ok = WriteContactSheet(out + "/contact-sheet.png", pictures) && ok;
  ok = WritePreviews(out, pictures) && ok;
  ok = WriteIcons(out + "/icons") && ok;

  music.join();
  ok = ok && musicOk;
  for (const MusicTrack& t : tracks) {
    ok = WriteBytes(out + "/MP3/" + t.name, t.mp3) && ok;
    ok = WriteBytes(out + "/web/MP3/" + t.name, t.webMp3) && ok;
  }
  if (!ok) return 1;

  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
  std::printf("tonkalo-assetgen: %zu pictures, %zu sound effects, %zu music loops in %s (%.1f s)\n",
              pictures.size(), effects.size(), tracks.size(), out.c_str(), seconds);
  return 0;
}
