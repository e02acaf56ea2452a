// Review sheets: the contact sheet of every picture and mock screens built from them the
// way the game places them, so the art can be judged as a whole.
#include <cairo.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <string>

#include "output.h"
#include "pictures.h"

namespace assetgen {

namespace {

// Copies an Image into a cairo surface (opaque), optionally scaled by a whole factor and
// with key pixels replaced by a checkerboard.
cairo_surface_t* ToSurface(const Picture& pic, int zoom, bool checker) {
  const Image& img = pic.image;
  cairo_surface_t* s =
      cairo_image_surface_create(CAIRO_FORMAT_RGB24, img.width * zoom, img.height * zoom);
  cairo_surface_flush(s);
  unsigned char* data = cairo_image_surface_get_data(s);
  const int stride = cairo_image_surface_get_stride(s);
  for (int y = 0; y < img.height * zoom; ++y) {
    auto* row = reinterpret_cast<std::uint32_t*>(data + static_cast<size_t>(y) * stride);
    for (int x = 0; x < img.width * zoom; ++x) {
      std::uint32_t c = img.At(x / zoom, y / zoom);
      if (checker && pic.keyed && c == pic.key) {
        c = (((x / 8) + (y / 8)) % 2) ? 0xC8CCD4 : 0xF4F5F8;
      }
      row[x] = c;
    }
  }
  cairo_surface_mark_dirty(s);
  return s;
}

// A 640 x 480 screen with the game's transparent copies.
struct Screen {
  Image img{640, 480};

  // Hands put(dx, dy, colour) every pixel of src's w x h from (sx, sy) that lands on the
  // screen from (x, y), as a blit clipped on both sides.
  template <typename Put>
  void Copy(const Image& src, int x, int y, int w, int h, int sx, int sy, Put put) {
    for (int j = 0; j < h; ++j) {
      for (int i = 0; i < w; ++i) {
        int dx = x + i, dy = y + j, px = sx + i, py = sy + j;
        if (dx < 0 || dy < 0 || dx >= 640 || dy >= 480) continue;
        if (px < 0 || py < 0 || px >= src.width || py >= src.height) continue;
        put(dx, dy, src.At(px, py));
      }
    }
  }
  void Opaque(const Image& src, int x, int y, int w, int h, int sx, int sy) {
    Copy(src, x, y, w, h, sx, sy, [this](int dx, int dy, std::uint32_t c) { img.Set(dx, dy, c); });
  }
  void Keyed(const Picture& p, int x, int y, int w = 0, int h = 0, int sx = 0, int sy = 0,
             int alpha = 255) {
    Copy(p.image, x, y, w ? w : p.image.width, h ? h : p.image.height, sx, sy,
         [&](int dx, int dy, std::uint32_t c) {
           if (!p.keyed || c != p.key) img.Set(dx, dy, Blend(c, img.At(dx, dy), alpha));
         });
  }
  void Stretched(const Picture& p, int x, int y, int w, int h, int sx, int sy, int sw, int sh) {
    for (int j = 0; j < h; ++j) {
      for (int i = 0; i < w; ++i) {
        int px = sx + static_cast<int>((2LL * i + 1) * sw / (2LL * w));
        int py = sy + static_cast<int>((2LL * j + 1) * sh / (2LL * h));
        int dx = x + i, dy = y + j;
        if (dx < 0 || dy < 0 || dx >= 640 || dy >= 480) continue;
        std::uint32_t c = p.image.At(px, py);
        if (p.keyed && c == p.key) continue;
        img.Set(dx, dy, c);
      }
    }
  }
  static std::uint32_t Blend(std::uint32_t s, std::uint32_t d, int a) {
    if (a >= 255) return s;
    std::uint32_t out = 0;
    for (int shift = 0; shift <= 16; shift += 8) {
      std::uint32_t sc = (s >> shift) & 0xFF, dc = (d >> shift) & 0xFF;
      out |= ((sc * a + dc * (255 - a) + 127) / 255) << shift;
    }
    return out;
  }
};

class Previews {
 public:
  explicit Previews(const std::vector<Picture>& pictures) {
    for (const Picture& p : pictures) byName_[p.name] = &p;
  }
  bool Complete() const {
    static const char* const needed[] = {"wall.bmp",       "wall1.bmp",      "TITLE.bmp",
                                         "HIGHSCORE.bmp",  "START.bmp",      "HIGHSCORE_NUM.bmp",
                                         "BoxTimer.bmp",   "BoxScore.bmp",   "BoxStars.bmp",
                                         "BoxMiss.bmp",    "moji_aka.bmp",   "moji_shiro.bmp",
                                         "hosi0.bmp",      "miss.bmp",       "GaugeWaku.bmp",
                                         "MAX2.bmp",       "MSG.bmp",        "321start.bmp",
                                         "result_box.bmp", "result_num.bmp", "HIGHSCORE_UPDATE.bmp",
                                         "Hammer1.bmp",    "Hammer13.bmp",   "baku2.bmp",
                                         "1Point.bmp"};
    for (const char* n : needed) {
      if (!byName_.count(n)) return false;
    }
    return true;
  }
  const Picture& P(const std::string& n) const { return *byName_.at(n); }

  void Wall(Screen& s) const { s.Opaque(P("wall.bmp").image, 0, 0, 640, 480, 0, 0); }

  void Title(Screen& s, int startAlpha) const {
    Wall(s);
    s.Keyed(P("TITLE.bmp"), 0, 0);
    s.Keyed(P("HIGHSCORE.bmp"), 400, 350);
    Number(s, P("HIGHSCORE_NUM.bmp"), 477, 390, 12345, 30, 40);
    s.Keyed(P("START.bmp"), 150, 200, 0, 0, 0, 0, startAlpha);
    s.Keyed(P("Hammer1.bmp"), 560 - 25, 250 - 15);
  }

  void Play(Screen& s) const {
    Wall(s);
    // Board canvas: the tile over 5 x 5 cells, each outlined in black.
    const Picture& tile = P("wall1.bmp");
    for (int r = 0; r < 5; ++r) {
      for (int c = 0; c < 5; ++c) {
        s.Opaque(tile.image, 20 + 70 * c, 20 + 70 * r, 70, 70, 0, 0);
        for (int i = 0; i < 70; ++i) {
          s.img.Set(20 + 70 * c + i, 20 + 70 * r, 0);
          s.img.Set(20 + 70 * c + i, 20 + 70 * r + 69, 0);
          s.img.Set(20 + 70 * c, 20 + 70 * r + i, 0);
          s.img.Set(20 + 70 * c + 69, 20 + 70 * r + i, 0);
        }
      }
    }
    static const char* const tokens[6] = {"1Point.bmp",  "2Point.bmp",      "5Point.bmp",
                                          "10Point.bmp", "minus_timer.bmp", "plus_timer.bmp"};
    const int items[][4] = {{0, 1, 0, 50}, {1, 2, 1, 50}, {1, 0, 1, 30}, {1, 4, 2, 50},
                            {2, 3, 3, 50}, {3, 1, 4, 50}, {3, 4, 5, 42}, {4, 2, 0, 18},
                            {0, 3, 1, 50}, {4, 0, 2, 50}};
    for (const auto& it : items) {
      const Picture& p = P(tokens[it[2]]);
      int h = std::min(it[3], p.image.height);
      s.Keyed(p, 70 * it[1] + 55 - p.image.width / 2, 70 * it[0] + 20 + (70 - it[3]), 0, h);
    }
    s.Keyed(P("baku2.bmp"), 70 * 2 + 25, 70 * 2 + 25);
    s.Keyed(P("baku3.bmp"), 70 * 0 + 25, 70 * 3 + 25);

    s.Keyed(P("BoxTimer.bmp"), 400, 160);
    Time(s, 83, 408, 183);
    s.Keyed(P("BoxScore.bmp"), 400, 240);
    Score(s, 1250, 408, 270);
    s.Keyed(P("BoxStars.bmp"), 400, 10);
    Icons(s, P("hosi0.bmp"), 408, 33, 7);
    s.Keyed(P("BoxMiss.bmp"), 400, 90);
    Icons(s, P("miss.bmp"), 407, 112, 3);
    Gauges(s);
    s.Keyed(P("Hammer13.bmp"), 230 - 25, 185 - 15);
  }

  void Gauges(Screen& s) const {
    static const char* const letters[4] = {"letter_red.bmp", "letter_blue.bmp", "letter_green.bmp",
                                           "letter_yellow.bmp"};
    static const char* const fills[4] = {"GaugeNakami_R.bmp", "GaugeNakami_B.bmp",
                                         "GaugeNakami_G.bmp", "GaugeNakami_Y.bmp"};
    const int lx[4] = {10, 205, 405, 385}, ly[4] = {395, 395, 395, 355};
    const int fx[4] = {65, 275, 495, 495}, fy[4] = {392, 392, 392, 352};
    const int level[4] = {5, 11, 3, 15};
    const Picture& frame = P("GaugeWaku.bmp");
    const Image& wall = P("wall.bmp").image;
    for (int i = 0; i < 4; ++i) {
      s.Keyed(P(letters[i]), lx[i], ly[i]);
      Screen canvas;
      canvas.Opaque(wall, 0, 0, frame.image.width, frame.image.height, 470, 396 + 35 * i);
      canvas.Keyed(frame, 0, 0);
      s.Opaque(canvas.img, fx[i], fy[i], frame.image.width, frame.image.height, 0, 0);
    }
    for (int i = 0; i < 4; ++i) {
      const Picture& fill = P(fills[i]);
      int w = static_cast<int>(static_cast<float>(level[i]) / 15.0f * 117);
      s.Keyed(fill, fx[i] + 2, fy[i] + 3, w, fill.image.height);
      if (level[i] == 15) s.Keyed(P("MAX2.bmp"), fx[i] + 25, fy[i]);
    }
  }

  void Number(Screen& s, const Picture& strip, int x, int y, int value, int advance,
              int glyph) const {
    std::string digits = std::to_string(value);
    x -= advance * static_cast<int>(digits.size()) / 2;
    for (char d : digits) {
      s.Keyed(strip, x, y, glyph, strip.image.height, glyph * (d - '0'), 0);
      x += advance;
    }
  }
  void Time(Screen& s, int seconds, int x, int y) const {
    const Picture& strip = P("moji_aka.bmp");
    int g[5] = {seconds / 600, seconds / 60 % 10, 10, seconds % 60 / 10, seconds % 10};
    for (int i = 0; i < 5; ++i) s.Opaque(strip.image, x + 24 * i, y, 24, 36, 24 * g[i], 0);
  }
  void Score(Screen& s, int value, int x, int y) const {
    const Picture& strip = P("moji_shiro.bmp");
    bool lead = false;
    int div = 100000;
    for (int i = 0; i < 6; ++i, div /= 10) {
      int d = value / div % 10;
      if (d) lead = true;
      if (lead || i == 5) s.Keyed(strip, x + 20 * i, y, 20, 36, 20 * d, 0);
    }
  }
  void Icons(Screen& s, const Picture& icon, int x, int y, int count) const {
    for (int i = 0; i < 2; ++i) {
      for (int j = 0; j < 5 && count > 0; ++j, --count) {
        s.Keyed(icon, x + icon.image.width * j, y + icon.image.height * i);
      }
    }
  }

  void Effects(Screen& s) const {
    Play(s);
    const Picture& msg = P("MSG.bmp");
    int w = static_cast<int>(128 * 1.0 * 1.5), h = static_cast<int>(48 * 1.0 * 1.5);
    s.Stretched(msg, 320 - w / 2, 240 - h / 2, w, h, 256, 0, 128, 48);
    s.Stretched(msg, 320 - w / 2, 240 - h / 2 + 72, w, h, 0, 0, 128, 48);
    s.Keyed(P("321start.bmp"), 288, 60, 64, 64, 0, 0);
    s.Keyed(P("321start.bmp"), 160, 60, 64, 64, 64, 0);
    s.Keyed(P("321start.bmp"), 416, 60, 64, 64, 128, 0);
    s.Keyed(P("321start.bmp"), 224, 130, 192, 64, 0, 64);
  }

  void Result(Screen& s) const {
    Play(s);
    s.Keyed(P("result_box.bmp"), 120, 160);
    const Picture& num = P("result_num.bmp");
    int value = 1234, n = 4;
    int x = static_cast<int>(325 - (32 * n + 64) / 2.0);
    std::string digits = std::to_string(value);
    for (char d : digits) {
      s.Keyed(num, x, 224, 32, 64, 32 * (d - '0'), 0);
      x += 32;
    }
    s.Keyed(num, x, 224, 64, 64, 0, 64);
    s.Keyed(P("HIGHSCORE_UPDATE.bmp"), 400, 230);
  }

 private:
  std::map<std::string, const Picture*> byName_;
};

bool SaveScreen(const Screen& s, const std::string& path) {
  Picture pic;
  pic.image = s.img;
  cairo_surface_t* surface = ToSurface(pic, 1, false);
  bool ok = SavePng(surface, path);
  cairo_surface_destroy(surface);
  return ok;
}

}  // namespace

bool WriteContactSheet(const std::string& path, const std::vector<Picture>& pictures) {
  const int sheetWidth = 1400, gap = 18, labelHeight = 22, zoom = 2;
  struct Placed {
    const Picture* pic;
    int x, y;
  };
  std::vector<Placed> placed;
  int x = gap, y = gap, rowHeight = 0;
  for (const Picture& p : pictures) {
    int w = p.image.width * zoom, h = p.image.height * zoom + labelHeight;
    int needed = std::max(w, 150);
    if (x + needed > sheetWidth - gap && x > gap) {
      x = gap;
      y += rowHeight + gap;
      rowHeight = 0;
    }
    placed.push_back({&p, x, y});
    x += needed + gap;
    rowHeight = std::max(rowHeight, h);
  }
  const int sheetHeight = y + rowHeight + gap;

  cairo_surface_t* sheet = cairo_image_surface_create(CAIRO_FORMAT_RGB24, sheetWidth, sheetHeight);
  cairo_t* cr = cairo_create(sheet);
  SetColour(cr, Hex(0x5A6275));
  cairo_paint(cr);
  for (const Placed& pl : placed) {
    cairo_surface_t* s = ToSurface(*pl.pic, zoom, true);
    cairo_set_source_surface(cr, s, pl.x, pl.y);
    cairo_paint(cr);
    cairo_surface_destroy(s);
    std::string label = pl.pic->name + "  " + std::to_string(pl.pic->image.width) + "x" +
                        std::to_string(pl.pic->image.height);
    SetFont(cr, Face::Book, 13);
    SetColour(cr, Hex(0xF4F5F8));
    cairo_move_to(cr, pl.x, pl.y + pl.pic->image.height * zoom + 16);
    cairo_show_text(cr, label.c_str());
  }
  cairo_destroy(cr);
  bool ok = SavePng(sheet, path);
  cairo_surface_destroy(sheet);
  return ok;
}

bool WritePreviews(const std::string& folder, const std::vector<Picture>& pictures) {
  Previews previews(pictures);
  if (!previews.Complete()) {
    std::fprintf(stderr, "tonkalo-assetgen: previews need every picture\n");
    return false;
  }
  bool ok = true;
  Screen title, titleFaded, play, effects, result;
  previews.Title(title, 255);
  previews.Title(titleFaded, 0);
  previews.Play(play);
  previews.Effects(effects);
  previews.Result(result);
  ok = SaveScreen(title, folder + "/preview-title.png") && ok;
  ok = SaveScreen(titleFaded, folder + "/preview-title-faded.png") && ok;
  ok = SaveScreen(play, folder + "/preview-play.png") && ok;
  ok = SaveScreen(effects, folder + "/preview-effects.png") && ok;
  ok = SaveScreen(result, folder + "/preview-result.png") && ok;
  return ok;
}

}  // namespace assetgen
