#include "platform/raster/gdi.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>
#include <type_traits>
#include <unordered_map>
#include <utility>
#include <vector>

#include "platform/raster/bmp.h"

namespace gdi {
namespace {

using i64 = std::int64_t;

enum class Kind { Bitmap, Pen, Brush, Context };

// A number never handed out before: a surface takes a new one whenever its pixels
// change, so that what is worked out from them (the opaque spans below) can tell
// whether it still holds.
std::uint64_t NextVersion() {
  static std::uint64_t last = 0;
  return ++last;
}

struct Surface;

// Where a transparent draw of a picture through a mask only copies: the spans of each
// row where the mask is 0. Worked out at the first draw of the pair and kept while
// neither changes. Usable when the picture is black wherever the mask is 1, as the
// sprite loader leaves it, so that the draw leaves the destination alone there (with a
// destination context's default colours), and when the spans are long enough for
// copying them to beat the one-pass loop.
struct OpaqueRuns {
  const Surface* mask = nullptr;
  std::uint64_t maskVersion = 0;
  std::uint64_t pictureVersion = 0;
  bool usable = false;
  std::vector<std::uint32_t> rowStart;  // row y's spans: [rowStart[y], rowStart[y + 1])
  std::vector<std::uint32_t> spans;     // first and past-last column of each span
};

// Pixels of one bitmap, a 32-bit word each, rows top to bottom: 0x00RRGGBB for colour,
// 0 or all ones for monochrome, so that masks combine with colour pixels in the same
// plain loops.
//
// A copy of a whole bitmap onto another of the same size and format does not copy: the
// two share one buffer (copy on write). A bitmap whose buffer is shared takes one of its
// own before a draw changes it: a copy of the shared pixels, or, for a draw that
// replaces every pixel, a new buffer. So the back buffer's frame reaches the window's
// surface without a copy, and the next frame's wall goes into a buffer of its own.
struct Surface {
  int width = 0;
  int height = 0;
  bool mono = false;
  std::uint64_t version = NextVersion();
  std::shared_ptr<std::uint32_t[]> pixels;
  std::unique_ptr<OpaqueRuns> runs;  // when it is drawn through a mask

  std::size_t Count() const {
    return static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
  }
};

// width x height pixels, not set; null when they cannot be had.
std::shared_ptr<std::uint32_t[]> NewPixels(std::size_t count) {
  return std::shared_ptr<std::uint32_t[]>(new (std::nothrow) std::uint32_t[count]);
}

// The pixels of s for a draw that is about to change some of them: its own.
std::uint32_t* PixelsToChange(Surface& s) {
  if (s.pixels.use_count() > 1) {
    std::shared_ptr<std::uint32_t[]> own = NewPixels(s.Count());
    if (own == nullptr) throw std::bad_alloc();
    std::memcpy(own.get(), s.pixels.get(), s.Count() * sizeof(std::uint32_t));
    s.pixels = std::move(own);
  }
  s.version = NextVersion();
  return s.pixels.get();
}

// The same for a draw that replaces every pixel: what they were does not matter.
std::uint32_t* PixelsToReplace(Surface& s) {
  if (s.pixels.use_count() > 1) {
    std::shared_ptr<std::uint32_t[]> own = NewPixels(s.Count());
    if (own == nullptr) throw std::bad_alloc();
    s.pixels = std::move(own);
  }
  s.version = NextVersion();
  return s.pixels.get();
}

constexpr std::size_t kShortestRunsWorthIt = 24;  // average span length, in pixels

const OpaqueRuns* RunsOf(Surface& picture, const Surface& mask) {
  if (!picture.runs) picture.runs = std::make_unique<OpaqueRuns>();
  OpaqueRuns& r = *picture.runs;
  if (r.mask != &mask || r.maskVersion != mask.version ||
      r.pictureVersion != picture.version) {
    r.mask = &mask;
    r.maskVersion = mask.version;
    r.pictureVersion = picture.version;
    r.rowStart.reserve(static_cast<std::size_t>(picture.height) + 1);
    r.rowStart.assign(1, 0);
    r.spans.clear();
    r.usable = true;
    std::size_t opaque = 0;
    const std::uint32_t* m = mask.pixels.get();
    const std::uint32_t* p = picture.pixels.get();
    for (int y = 0; y < picture.height && r.usable; ++y) {
      bool inside = false;
      for (int x = 0; x < picture.width; ++x, ++m, ++p) {
        if (*m == 0) {
          ++opaque;
          if (!inside) r.spans.push_back(static_cast<std::uint32_t>(x));
          inside = true;
        } else {
          if (*p != 0) r.usable = false;
          if (inside) r.spans.push_back(static_cast<std::uint32_t>(x));
          inside = false;
        }
      }
      if (inside) r.spans.push_back(static_cast<std::uint32_t>(picture.width));
      r.rowStart.push_back(static_cast<std::uint32_t>(r.spans.size()));
    }
    const std::size_t count = r.spans.size() / 2;
    if (count > 0 && opaque / count < kShortestRunsWorthIt) r.usable = false;
  }
  return r.usable ? &r : nullptr;
}

struct Object {
  Kind kind = Kind::Bitmap;
  bool stock = false;
  // DeleteObject was called while a context still used it: freed when the last
  // context lets go.
  bool deletePending = false;
  // How many contexts hold it selected (at most one for a non-stock bitmap).
  int users = 0;
  Surface surface;             // Kind::Bitmap
  std::uint32_t penPixel = 0;  // Kind::Pen, as 0x00RRGGBB
  // Kind::Context
  HBITMAP bitmap = 0;
  HPEN pen = 0;
  HBRUSH brush = 0;
  COLORREF bkColour = RGB(255, 255, 255);
  COLORREF textColour = RGB(0, 0, 0);
};

// Handles are never reused until the 32-bit counter wraps, so a stale handle held by
// a careless caller finds nothing instead of somebody else's object.
struct Table {
  std::unordered_map<std::uint32_t, Object> objects;
  std::uint32_t next = 1;
  int live = 0;
  HBITMAP defaultBitmap = 0;
  HPEN blackPen = 0;
  HBRUSH nullBrush = 0;

  Table() {
    Object bmp;
    bmp.kind = Kind::Bitmap;
    bmp.stock = true;
    bmp.surface.width = 1;
    bmp.surface.height = 1;
    bmp.surface.mono = true;
    bmp.surface.pixels = NewPixels(1);
    bmp.surface.pixels[0] = 0;
    defaultBitmap = Add(std::move(bmp));
    Object pen;
    pen.kind = Kind::Pen;
    pen.stock = true;
    blackPen = Add(std::move(pen));
    Object brush;
    brush.kind = Kind::Brush;
    brush.stock = true;
    nullBrush = Add(std::move(brush));
  }

  std::uint32_t Add(Object&& obj) {
    while (next == 0 || objects.count(next) != 0) ++next;
    const std::uint32_t handle = next++;
    if (!obj.stock) ++live;
    objects.emplace(handle, std::move(obj));
    return handle;
  }

  // The objects found last, by the low bits of their handles: a frame makes a few
  // hundred calls on a few dozen handles.
  struct Recent {
    std::uint32_t handle = 0;
    Object* object = nullptr;
  };
  Recent recent[64];

  Object* Find(std::uint32_t handle) {
    if (handle == 0) return nullptr;
    Recent& r = recent[handle % 64];
    if (r.handle == handle) return r.object;
    auto it = objects.find(handle);
    if (it == objects.end()) return nullptr;
    r = {handle, &it->second};
    return r.object;
  }

  Object* Find(std::uint32_t handle, Kind kind) {
    Object* obj = Find(handle);
    return obj != nullptr && obj->kind == kind ? obj : nullptr;
  }

  void Free(std::uint32_t handle) {
    auto it = objects.find(handle);
    if (it == objects.end() || it->second.stock) return;
    if (recent[handle % 64].handle == handle) recent[handle % 64] = {};
    objects.erase(it);
    --live;
  }

  // A context stops using an object; one the game already deleted goes now.
  void LetGo(std::uint32_t handle) {
    Object* obj = Find(handle);
    if (obj == nullptr) return;
    if (obj->users > 0) --obj->users;
    if (obj->users == 0 && obj->deletePending) Free(handle);
  }
};

// Never destroyed: the game's program-lifetime objects release their handles from
// their destructors at exit, which may run after any static here would be gone.
Table& Objects() {
  static Table* const table = new Table;
  return *table;
}

constexpr std::uint32_t PixelOf(COLORREF c) {
  return ((c & 0xFFu) << 16) | (c & 0xFF00u) | ((c >> 16) & 0xFFu);
}

// The monochrome pixel a solid colour draws as: the nearer of black and white.
constexpr std::uint32_t MonoOf(std::uint32_t pixel) {
  const unsigned sum = ((pixel >> 16) & 0xFF) + ((pixel >> 8) & 0xFF) + (pixel & 0xFF);
  return sum >= 383 ? ~0u : 0u;
}

Surface* SurfaceOf(HDC dc, Object** context = nullptr) {
  Table& t = Objects();
  Object* d = t.Find(dc, Kind::Context);
  if (d == nullptr) return nullptr;
  Object* b = t.Find(d->bitmap, Kind::Bitmap);
  if (b == nullptr) return nullptr;
  if (context != nullptr) *context = d;
  return &b->surface;
}

enum class Op { Copy, And, Paint, AndNot };

bool OpOf(DWORD rop, Op& op) {
  switch (rop) {
    case SRCCOPY: op = Op::Copy; return true;
    case SRCAND: op = Op::And; return true;
    case SRCPAINT: op = Op::Paint; return true;
    case SRCERASE_NOT: op = Op::AndNot; return true;
    default: return false;
  }
}

template <Op op, typename T>
inline T Combine(T d, T s) {
  if constexpr (op == Op::Copy) {
    return s;
  } else if constexpr (op == Op::And) {
    return static_cast<T>(d & s);
  } else if constexpr (op == Op::Paint) {
    return static_cast<T>(d | s);
  } else {
    return static_cast<T>(d & ~s);
  }
}

// One axis of a copy, clipped: destination offsets [first, first + count) of the
// requested extent land inside the destination and read inside the source.
struct Run {
  i64 first = 0;
  i64 count = 0;
};

Run ClipAxis(i64 d, i64 s, i64 n, i64 dstSize, i64 srcSize) {
  const i64 lo = std::max({i64{0}, -d, -s});
  const i64 hi = std::min({n, dstSize - d, srcSize - s});
  Run r;
  if (hi > lo) {
    r.first = lo;
    r.count = hi - lo;
  }
  return r;
}

// How a copy converts between the formats: a colour pixel equal to the source
// context's background becomes 1 in monochrome; a monochrome 1 becomes the destination
// context's background colour, 0 its text colour. Passed by value, so that the inner
// loops keep it in registers.
struct Colours {
  std::uint32_t srcBk;
  std::uint32_t dstBk;
  std::uint32_t dstText;

  std::uint32_t ToMono(std::uint32_t pixel) const { return pixel == srcBk ? ~0u : 0u; }
  std::uint32_t ToColour(std::uint32_t mono) const {
    return dstText ^ ((dstText ^ dstBk) & mono);
  }
};

// The two contexts of a copy and the bitmaps they hold.
struct Sides {
  Object* dctx = nullptr;
  Object* sctx = nullptr;
  Surface* dst = nullptr;
  Surface* src = nullptr;

  Colours colours() const {
    return {PixelOf(sctx->bkColour), PixelOf(dctx->bkColour), PixelOf(dctx->textColour)};
  }
};

bool SidesOf(HDC dst, HDC src, Sides& sides) {
  sides.dst = SurfaceOf(dst, &sides.dctx);
  sides.src = SurfaceOf(src, &sides.sctx);
  return sides.dst != nullptr && sides.src != nullptr;
}

// An area of a surface taken aside, for a copy whose source and destination are one
// bitmap: it reads the pixels as they were before the call.
Surface Aside(const Surface& s, i64 x, i64 y, i64 w, i64 h) {
  Surface out;
  out.width = static_cast<int>(w);
  out.height = static_cast<int>(h);
  out.mono = s.mono;
  out.pixels = NewPixels(out.Count());
  if (out.pixels == nullptr) throw std::bad_alloc();
  const std::uint32_t* from = s.pixels.get();
  for (i64 row = 0; row < h; ++row) {
    std::memcpy(out.pixels.get() + row * w, from + (y + row) * s.width + x,
                static_cast<std::size_t>(w) * sizeof(std::uint32_t));
  }
  return out;
}

// An unstretched copy clipped to both bitmaps: w x h pixels from (sx, sy) of `from` to
// (dx, dy).
struct Clipped {
  i64 dx = 0;
  i64 dy = 0;
  i64 sx = 0;
  i64 sy = 0;
  i64 w = 0;
  i64 h = 0;
  const Surface* from = nullptr;
  std::unique_ptr<Surface> aside;  // only for a copy within one bitmap

  bool Whole(const Surface& d) const {
    return dx == 0 && dy == 0 && w == d.width && h == d.height;
  }
};

// False when no pixel of the copy lies inside both bitmaps. Inline because every copy
// runs it; the rare taking aside stays out of line.
inline bool Clip(const Sides& sides, int x, int y, int w, int h, int sx, int sy, Clipped& c) {
  if (w <= 0 || h <= 0) return false;
  const Surface& d = *sides.dst;
  const Surface& s = *sides.src;
  const Run cx = ClipAxis(x, sx, w, d.width, s.width);
  const Run cy = ClipAxis(y, sy, h, d.height, s.height);
  if (cx.count == 0 || cy.count == 0) return false;
  c.dx = i64{x} + cx.first;
  c.dy = i64{y} + cy.first;
  c.sx = i64{sx} + cx.first;
  c.sy = i64{sy} + cy.first;
  c.w = cx.count;
  c.h = cy.count;
  c.from = &s;
  if (&s == &d) {
    c.aside = std::make_unique<Surface>(Aside(s, c.sx, c.sy, c.w, c.h));
    c.from = c.aside.get();
    c.sx = 0;
    c.sy = 0;
  }
  return true;
}

// Runs f with the raster operation as a compile-time constant, so that each operation
// gets its own inner loops.
template <typename F>
void WithOp(Op op, F&& f) {
  switch (op) {
    case Op::Copy: f(std::integral_constant<Op, Op::Copy>{}); break;
    case Op::And: f(std::integral_constant<Op, Op::And>{}); break;
    case Op::Paint: f(std::integral_constant<Op, Op::Paint>{}); break;
    case Op::AndNot: f(std::integral_constant<Op, Op::AndNot>{}); break;
  }
}

// The row loops, written so that the compiler turns them into vector code: one word a
// pixel, no branches, no aliasing. The hottest are built twice where the machine may
// have AVX2, and the loader picks the build the processor can run.
#if defined(__GNUC__) && !defined(__clang__) && defined(__x86_64__) && defined(__ELF__)
#define TONKALO_ROW_LOOP __attribute__((target_clones("avx2", "default")))
#else
#define TONKALO_ROW_LOOP
#endif

template <Op op>
void CombineRow(std::uint32_t* __restrict d, const std::uint32_t* __restrict s,
                std::size_t n) {
  if constexpr (op == Op::Copy) {
    std::memcpy(d, s, n * sizeof(std::uint32_t));
  } else {
    for (std::size_t i = 0; i < n; ++i) d[i] = Combine<op>(d[i], s[i]);
  }
}

// A transparent draw in one pass: the mask's AND and the picture's OR together, h rows
// of w pixels (the row loop in here too: a sprite's rows are short, and the call per
// row through the clone's dispatch cost as much as the pixels).
TONKALO_ROW_LOOP void MaskedRows(std::uint32_t* __restrict d, std::size_t dPitch,
                                 const std::uint32_t* __restrict mask,
                                 const std::uint32_t* __restrict s, std::size_t sPitch,
                                 std::size_t w, std::size_t h, Colours colours) {
  const std::uint32_t text = colours.dstText;
  const std::uint32_t flip = colours.dstText ^ colours.dstBk;
  for (std::size_t y = 0; y < h; ++y, d += dPitch, mask += sPitch, s += sPitch) {
    for (std::size_t i = 0; i < w; ++i) d[i] = (d[i] & (text ^ (flip & mask[i]))) | s[i];
  }
}

// The same with the mask already turned into the colour it ANDs with.
TONKALO_ROW_LOOP void AndOrRow(std::uint32_t* __restrict d, const std::uint32_t* __restrict m,
                               const std::uint32_t* __restrict s, std::size_t n) {
  for (std::size_t i = 0; i < n; ++i) d[i] = (d[i] & m[i]) | s[i];
}

// One row of a transparent stretch that widens or keeps the width: the mask, as the
// colour it ANDs with, and the picture, each source column where the map puts it.
TONKALO_ROW_LOOP void GatherMasked(std::uint32_t* __restrict m, std::uint32_t* __restrict s,
                                   const std::uint32_t* __restrict maskRow,
                                   const std::uint32_t* __restrict pictureRow,
                                   const int* __restrict columns, std::size_t n,
                                   Colours colours) {
  const std::uint32_t text = colours.dstText;
  const std::uint32_t flip = colours.dstText ^ colours.dstBk;
  for (std::size_t i = 0; i < n; ++i) {
    m[i] = text ^ (flip & maskRow[columns[i]]);
    s[i] = pictureRow[columns[i]];
  }
}

// Per channel (S * a + D * (255 - a) + 127) / 255, two channels at a time in 16-bit
// lanes; x / 255 is (x + 1 + (x >> 8)) >> 8 for every x up to 255 * 255 + 127.
TONKALO_ROW_LOOP void BlendRow(std::uint32_t* __restrict d, const std::uint32_t* __restrict s,
                               std::size_t n, std::uint32_t a) {
  const std::uint32_t na = 255 - a;
  for (std::size_t i = 0; i < n; ++i) {
    const std::uint32_t sv = s[i];
    const std::uint32_t dv = d[i];
    std::uint32_t rb = (sv & 0xFF00FFu) * a + (dv & 0xFF00FFu) * na + 0x7F007Fu;
    std::uint32_t g = ((sv >> 8) & 0xFFu) * a + ((dv >> 8) & 0xFFu) * na + 0x7Fu;
    rb = ((rb + 0x10001u + ((rb >> 8) & 0xFF00FFu)) >> 8) & 0xFF00FFu;
    g = (g + 1 + (g >> 8)) >> 8;
    d[i] = rb | (g << 8);
  }
}

// The unstretched copy, the format conversion inlined.
template <Op op>
void CopyRect(Surface& dst, const Clipped& c, Colours colours) {
  const Surface& src = *c.from;
  std::uint32_t* dp = op == Op::Copy && c.Whole(dst) ? PixelsToReplace(dst) : PixelsToChange(dst);
  const std::uint32_t* sp = src.pixels.get();
  const std::size_t n = static_cast<std::size_t>(c.w);
  if (op == Op::Copy && dst.mono == src.mono && c.w == dst.width && c.w == src.width) {
    std::memcpy(dp + c.dy * dst.width, sp + c.sy * src.width, n * c.h * sizeof(std::uint32_t));
    return;
  }
  for (i64 row = 0; row < c.h; ++row) {
    std::uint32_t* d = dp + (c.dy + row) * dst.width + c.dx;
    const std::uint32_t* s = sp + (c.sy + row) * src.width + c.sx;
    if (dst.mono == src.mono) {
      CombineRow<op>(d, s, n);
    } else if (dst.mono) {
      for (std::size_t i = 0; i < n; ++i) d[i] = Combine<op>(d[i], colours.ToMono(s[i]));
    } else {
      for (std::size_t i = 0; i < n; ++i) d[i] = Combine<op>(d[i], colours.ToColour(s[i]));
    }
  }
}

// Which source pixels feed each destination pixel of one stretched axis. Destination
// offsets [first, first + lo.size()) are inside the destination; for each, the source
// pixels lo..hi (absolute, already clipped to the source bitmap) are ANDed together;
// lo > hi means none lies inside the source, and the pixel is left as it is. `single`:
// at most one source pixel feeds each destination pixel (the axis is not shrunk);
// `inside`: at least one feeds each.
struct AxisMap {
  i64 first = 0;
  bool single = false;
  bool inside = true;
  std::vector<int> lo;
  std::vector<int> hi;
};

i64 FloorDiv(__int128 a, __int128 b) {
  __int128 q = a / b;
  if ((a % b != 0) && ((a < 0) != (b < 0))) --q;
  return static_cast<i64>(q);
}

i64 CeilDiv(__int128 a, __int128 b) { return -FloorDiv(-a, b); }

void MapAxis(i64 d, i64 dn, i64 dstSize, i64 s, i64 sn, i64 srcSize, AxisMap& map) {
  map.lo.clear();
  map.hi.clear();
  const i64 first = std::max(i64{0}, -d);
  const i64 last = std::min(dn, dstSize - d);  // exclusive
  map.first = first;
  map.single = dn >= sn;
  map.inside = true;
  for (i64 i = first; i < last; ++i) {
    i64 a;
    i64 b;
    if (dn == sn) {
      a = b = i;
    } else if (dn > sn) {
      // Enlarging: destination pixel i takes the source pixel under its centre.
      a = b = FloorDiv((__int128{2} * i + 1) * sn - 1, __int128{2} * dn);
    } else {
      // Shrinking: source pixel k lands on floor(((2k + 1) * dn - 1) / (2 * sn)); these
      // are the k that land on i.
      a = CeilDiv(__int128{2} * sn * i + 1 - dn, __int128{2} * dn);
      b = CeilDiv(__int128{2} * sn * (i + 1) + 1 - dn, __int128{2} * dn) - 1;
    }
    a = std::max(a + s, i64{0});
    b = std::min(b + s, srcSize - 1);
    if (a > b) {
      map.inside = false;
      map.lo.push_back(1);
      map.hi.push_back(0);
    } else {
      map.lo.push_back(static_cast<int>(a));
      map.hi.push_back(static_cast<int>(b));
    }
  }
}

// The maps of the last StretchBlt, and the rows it works through; kept between calls so
// that a stretch makes no allocation once they have grown.
struct Stretch {
  AxisMap cols;
  AxisMap rows;
  std::vector<std::uint32_t> acc;
  std::vector<std::uint32_t> accPicture;
  std::vector<std::uint8_t> hit;
};
Stretch& Stretching() {
  static Stretch* const stretch = new Stretch;
  return *stretch;
}

// Row r of the stretch through a source's pixels: acc[c] is the AND of the source
// pixels that fall on destination column c, hit[c] whether any does.
void StretchedRow(const Surface& src, const AxisMap& cols, int rlo, int rhi,
                  std::uint32_t* acc, std::uint8_t* hit) {
  const std::uint32_t* pixels = src.pixels.get();
  const std::size_t n = cols.lo.size();
  std::fill(acc, acc + n, ~0u);
  std::fill(hit, hit + n, 0);
  for (int sr = rlo; sr <= rhi; ++sr) {
    const std::uint32_t* line = pixels + static_cast<std::size_t>(sr) * src.width;
    for (std::size_t c = 0; c < n; ++c) {
      for (int sc = cols.lo[c]; sc <= cols.hi[c]; ++sc) {
        acc[c] &= line[sc];
        hit[c] = 1;
      }
    }
  }
}

// The stretched copy of the maps in Stretching(). Each destination pixel ANDs its
// source pixels in the source's own format, then converts the result as a plain copy
// would and applies the raster operation. With a picture, `src` is a mask and the
// pixels are drawn transparently in one go: the mask ANDed in, the picture ORed over
// it. Destination rows fed by the same source rows reuse what was gathered for them.
template <Op op>
void StretchRect(Surface& dst, i64 dx, i64 dy, const Surface& src, Colours colours,
                 const Surface* picture = nullptr) {
  Stretch& st = Stretching();
  const std::size_t n = st.cols.lo.size();
  std::uint32_t* dp = PixelsToChange(dst);
  st.acc.resize(n);
  st.accPicture.resize(n);
  st.hit.resize(n);
  int gatheredLo = 1;
  int gatheredHi = 0;
  for (std::size_t r = 0; r < st.rows.lo.size(); ++r) {
    const int rlo = st.rows.lo[r];
    const int rhi = st.rows.hi[r];
    if (rlo > rhi) continue;
    if (rlo != gatheredLo || rhi != gatheredHi) {
      gatheredLo = rlo;
      gatheredHi = rhi;
      if (picture != nullptr && st.cols.single && st.cols.inside && rlo == rhi) {
        const std::size_t at = static_cast<std::size_t>(rlo) * src.width;
        GatherMasked(st.acc.data(), st.accPicture.data(), src.pixels.get() + at,
                     picture->pixels.get() + at, st.cols.lo.data(), n, colours);
      } else if (picture != nullptr) {
        StretchedRow(src, st.cols, rlo, rhi, st.acc.data(), st.hit.data());
        StretchedRow(*picture, st.cols, rlo, rhi, st.accPicture.data(), st.hit.data());
        // Ready for one vector pass: the mask as the colour it ANDs with, and columns
        // that no source pixel feeds made to leave the destination as it is.
        for (std::size_t c = 0; c < n; ++c) {
          st.acc[c] = st.hit[c] ? colours.ToColour(st.acc[c]) : ~0u;
          if (!st.hit[c]) st.accPicture[c] = 0;
        }
      } else {
        StretchedRow(src, st.cols, rlo, rhi, st.acc.data(), st.hit.data());
      }
    }
    std::uint32_t* d = dp + (dy + st.rows.first + static_cast<i64>(r)) * dst.width + dx +
                       st.cols.first;
    if (picture != nullptr) {
      AndOrRow(d, st.acc.data(), st.accPicture.data(), n);
      continue;
    }
    for (std::size_t c = 0; c < n; ++c) {
      if (!st.hit[c]) continue;
      std::uint32_t s = st.acc[c];
      if (dst.mono != src.mono) s = dst.mono ? colours.ToMono(s) : colours.ToColour(s);
      d[c] = Combine<op>(d[c], s);
    }
  }
}

// A mask ANDed into a colour bitmap is nearly always followed by the picture ORed into
// the same place, with the same arguments: the AND waits for it, and the two are drawn
// in one pass. Every other call first draws the deferred AND (DrawDeferredAnd), so
// nothing can tell the difference.
struct DeferredAnd {
  Surface* dst = nullptr;  // null: nothing waits
  const Surface* mask = nullptr;
  bool stretched = false;  // a StretchBlt, whose maps are still in Stretching()
  int x, y, w, h, sx, sy, sw, sh;  // the call as made
  Clipped area;  // unstretched
  Colours colours;

  bool Pairs(const Sides& sides, bool stretch, int px, int py, int pw, int ph, int psx,
             int psy, int psw, int psh) const {
    const Surface& s = *sides.src;
    return dst == sides.dst && stretch == stretched && !s.mono && &s != dst &&
           s.width == mask->width && s.height == mask->height && px == x && py == y &&
           pw == w && ph == h && psx == sx && psy == sy && psw == sw && psh == sh;
  }
};

// Never destroyed, as the table of objects: releases at exit still draw what waits.
DeferredAnd& Deferred() {
  static DeferredAnd* const deferred = new DeferredAnd;
  return *deferred;
}

void DrawDeferredAnd() {
  DeferredAnd& deferred = Deferred();
  if (deferred.dst == nullptr) return;
  Surface& dst = *deferred.dst;
  deferred.dst = nullptr;
  if (deferred.stretched) {
    StretchRect<Op::And>(dst, deferred.x, deferred.y, *deferred.mask, deferred.colours);
  } else {
    CopyRect<Op::And>(dst, deferred.area, deferred.colours);
  }
}

void DrawMasked(Surface& picture) {
  DeferredAnd& deferred = Deferred();
  Surface& dst = *deferred.dst;
  deferred.dst = nullptr;
  if (deferred.stretched) {
    StretchRect<Op::And>(dst, deferred.x, deferred.y, *deferred.mask, deferred.colours,
                         &picture);
    return;
  }
  const Clipped& c = deferred.area;
  const Colours& colours = deferred.colours;
  const OpaqueRuns* runs = colours.dstBk == 0xFFFFFFu && colours.dstText == 0
                               ? RunsOf(picture, *deferred.mask)
                               : nullptr;
  std::uint32_t* dp = PixelsToChange(dst);
  const std::uint32_t* mp = deferred.mask->pixels.get();
  const std::uint32_t* sp = picture.pixels.get();
  if (runs != nullptr) {
    const std::uint32_t first = static_cast<std::uint32_t>(c.sx);
    const std::uint32_t last = static_cast<std::uint32_t>(c.sx + c.w);
    for (i64 row = 0; row < c.h; ++row) {
      const std::size_t y = static_cast<std::size_t>(c.sy + row);
      std::uint32_t* d = dp + (c.dy + row) * dst.width + c.dx;
      const std::uint32_t* s = sp + y * picture.width;
      for (std::uint32_t k = runs->rowStart[y]; k < runs->rowStart[y + 1]; k += 2) {
        const std::uint32_t b = std::max(runs->spans[k], first);
        const std::uint32_t e = std::min(runs->spans[k + 1], last);
        if (b < e) std::memcpy(d + (b - first), s + b, (e - b) * sizeof(std::uint32_t));
      }
    }
    return;
  }
  const i64 at = c.sy * picture.width + c.sx;
  MaskedRows(dp + c.dy * dst.width + c.dx, static_cast<std::size_t>(dst.width), mp + at, sp + at,
             static_cast<std::size_t>(picture.width), static_cast<std::size_t>(c.w),
             static_cast<std::size_t>(c.h), colours);
}

HBITMAP AddBitmap(Surface&& surface) {
  Object obj;
  obj.kind = Kind::Bitmap;
  obj.surface = std::move(surface);
  return Objects().Add(std::move(obj));
}

HBITMAP NewBitmap(int width, int height, bool mono) {
  if (width < 1 || height < 1 || width > kMaxBitmapSide || height > kMaxBitmapSide) {
    return 0;
  }
  Surface s;
  s.width = width;
  s.height = height;
  s.mono = mono;
  s.pixels = NewPixels(s.Count());
  if (s.pixels == nullptr) return 0;
  std::fill_n(s.pixels.get(), s.Count(), 0u);
  return AddBitmap(std::move(s));
}

COLORREF SetColour(HDC dc, COLORREF Object::*which, COLORREF colour) {
  DrawDeferredAnd();
  Object* d = Objects().Find(dc, Kind::Context);
  if (d == nullptr) return 0xFFFFFFFFu;
  return std::exchange(d->*which, colour & 0x00FFFFFFu);
}

}  // namespace

HDC CreateCompatibleDC(HDC) {
  DrawDeferredAnd();
  Table& t = Objects();
  Object dc;
  dc.kind = Kind::Context;
  dc.bitmap = t.defaultBitmap;
  dc.pen = t.blackPen;
  dc.brush = t.nullBrush;
  for (HGDIOBJ h : {t.defaultBitmap, t.blackPen, t.nullBrush}) ++t.Find(h)->users;
  return t.Add(std::move(dc));
}

bool DeleteDC(HDC dc) {
  DrawDeferredAnd();
  Table& t = Objects();
  Object* d = t.Find(dc, Kind::Context);
  if (d == nullptr) return false;
  const HGDIOBJ held[3] = {d->bitmap, d->pen, d->brush};
  t.Free(dc);
  for (HGDIOBJ h : held) t.LetGo(h);
  return true;
}

HGDIOBJ SelectObject(HDC dc, HGDIOBJ obj) {
  DrawDeferredAnd();
  Table& t = Objects();
  Object* d = t.Find(dc, Kind::Context);
  Object* o = t.Find(obj);
  if (d == nullptr || o == nullptr) return 0;
  HGDIOBJ* slot = nullptr;
  switch (o->kind) {
    case Kind::Bitmap: slot = &d->bitmap; break;
    case Kind::Pen: slot = &d->pen; break;
    case Kind::Brush: slot = &d->brush; break;
    case Kind::Context: return 0;
  }
  const HGDIOBJ previous = *slot;
  if (previous == obj) return previous;
  // A deleted object that a context still holds can be drawn with there, but it
  // cannot be handed to anything else.
  if (o->deletePending) return 0;
  if (o->kind == Kind::Bitmap && !o->stock && o->users > 0) return 0;
  ++o->users;
  *slot = obj;
  t.LetGo(previous);
  return previous;
}

COLORREF SetBkColor(HDC dc, COLORREF colour) {
  return SetColour(dc, &Object::bkColour, colour);
}

COLORREF SetTextColor(HDC dc, COLORREF colour) {
  return SetColour(dc, &Object::textColour, colour);
}

HBITMAP CreateCompatibleBitmap(HDC ref, int width, int height) {
  DrawDeferredAnd();
  bool mono = false;
  if (ref != 0) {
    Surface* s = SurfaceOf(ref);
    if (s == nullptr) return 0;
    mono = s->mono;
  }
  return NewBitmap(width, height, mono);
}

HBITMAP CreateBitmap(int width, int height, unsigned planes, unsigned bitsPerPixel,
                     const void* bits) {
  DrawDeferredAnd();
  if (planes != 1 || bitsPerPixel != 1 || bits != nullptr) return 0;
  return NewBitmap(width, height, true);
}

HBITMAP LoadBitmapFromBytes(const std::uint8_t* bytes, std::size_t size) {
  DrawDeferredAnd();
  if (bytes == nullptr) return 0;
  DecodedBmp image;
  try {
    if (!DecodeBmp(bytes, size, image)) return 0;
  } catch (const std::bad_alloc&) {
    return 0;
  }
  Surface s;
  s.width = image.width;
  s.height = image.height;
  s.pixels = NewPixels(s.Count());
  if (s.pixels == nullptr) return 0;
  std::copy(image.pixels.begin(), image.pixels.end(), s.pixels.get());
  return AddBitmap(std::move(s));
}

// Pens are solid and one pixel wide (a width of 0 or 1), the only kind the game draws
// outlines with; any other style or width is refused.
HPEN CreatePen(int style, int width, COLORREF colour) {
  DrawDeferredAnd();
  if (style != PS_SOLID || width < 0 || width > 1) return 0;
  Object obj;
  obj.kind = Kind::Pen;
  obj.penPixel = PixelOf(colour);
  return Objects().Add(std::move(obj));
}

HGDIOBJ GetStockObject(int which) {
  DrawDeferredAnd();
  Table& t = Objects();
  switch (which) {
    case NULL_BRUSH: return t.nullBrush;
    case BLACK_PEN: return t.blackPen;
    default: return 0;
  }
}

bool DeleteObject(HGDIOBJ obj) {
  DrawDeferredAnd();
  Table& t = Objects();
  Object* o = t.Find(obj);
  if (o == nullptr || o->kind == Kind::Context || o->deletePending) return false;
  if (o->stock) return true;
  if (o->users > 0) {
    o->deletePending = true;
  } else {
    t.Free(obj);
  }
  return true;
}

int GetObject(HGDIOBJ obj, int size, void* out) {
  DrawDeferredAnd();
  Object* o = Objects().Find(obj, Kind::Bitmap);
  if (o == nullptr) return 0;
  if (out == nullptr) return static_cast<int>(sizeof(BITMAP));
  if (size <= 0) return 0;
  const Surface& s = o->surface;
  BITMAP bm{};
  bm.bmType = 0;
  bm.bmWidth = s.width;
  bm.bmHeight = s.height;
  bm.bmWidthBytes = s.mono ? (s.width + 15) / 16 * 2 : s.width * 4;
  bm.bmPlanes = 1;
  bm.bmBitsPixel = s.mono ? 1 : 32;
  bm.bmBits = nullptr;
  const std::size_t n = std::min(static_cast<std::size_t>(size), sizeof bm);
  std::memcpy(out, &bm, n);
  return static_cast<int>(n);
}

bool BitBlt(HDC dst, int x, int y, int w, int h, HDC src, int sx, int sy, DWORD rop) {
  Sides sides;
  Op op;
  if (!SidesOf(dst, src, sides) || !OpOf(rop, op)) {
    DrawDeferredAnd();
    return false;
  }
  DeferredAnd& deferred = Deferred();
  if (op == Op::Paint && deferred.dst != nullptr &&
      deferred.Pairs(sides, false, x, y, w, h, sx, sy, 0, 0)) {
    DrawMasked(*sides.src);
    return true;
  }
  DrawDeferredAnd();
  Clipped c;
  if (!Clip(sides, x, y, w, h, sx, sy, c)) return true;
  Surface& d = *sides.dst;
  Surface& s = *sides.src;
  if (op == Op::And && s.mono && !d.mono) {
    deferred = {&d, &s, false, x, y, w, h, sx, sy, 0, 0, std::move(c), sides.colours()};
    return true;
  }
  if (op == Op::Copy && &d != &s && d.mono == s.mono && d.width == s.width &&
      d.height == s.height && c.Whole(d)) {
    d.pixels = s.pixels;  // shared until either is drawn into (see Surface)
    d.version = NextVersion();
    return true;
  }
  WithOp(op, [&](auto o) { CopyRect<decltype(o)::value>(d, c, sides.colours()); });
  return true;
}

bool StretchBlt(HDC dst, int x, int y, int w, int h, HDC src, int sx, int sy, int sw,
                int sh, DWORD rop) {
  Sides sides;
  Op op;
  if (!SidesOf(dst, src, sides) || !OpOf(rop, op)) {
    DrawDeferredAnd();
    return false;
  }
  DeferredAnd& deferred = Deferred();
  if (op == Op::Paint && deferred.dst != nullptr &&
      deferred.Pairs(sides, true, x, y, w, h, sx, sy, sw, sh)) {
    DrawMasked(*sides.src);
    return true;
  }
  DrawDeferredAnd();
  if (w <= 0 || h <= 0 || sw <= 0 || sh <= 0) return true;
  Surface& d = *sides.dst;
  Surface& s = *sides.src;
  Stretch& st = Stretching();
  MapAxis(x, w, d.width, sx, sw, s.width, st.cols);
  MapAxis(y, h, d.height, sy, sh, s.height, st.rows);
  if (st.cols.lo.empty() || st.rows.lo.empty()) return true;
  if (op == Op::And && s.mono && !d.mono) {
    deferred = {&d, &s, true, x, y, w, h, sx, sy, sw, sh, Clipped(), sides.colours()};
    return true;
  }
  std::unique_ptr<Surface> aside;
  if (&s == &d) aside = std::make_unique<Surface>(Aside(d, 0, 0, d.width, d.height));
  const Surface* from = aside ? aside.get() : &s;
  WithOp(op, [&](auto o) {
    StretchRect<decltype(o)::value>(d, x, y, *from, sides.colours());
  });
  return true;
}

bool AlphaBlend(HDC dst, int x, int y, int w, int h, HDC src, int sx, int sy, int sw,
                int sh, BLENDFUNCTION blend) {
  DrawDeferredAnd();
  Sides sides;
  if (!SidesOf(dst, src, sides) || sides.dst->mono || sides.src->mono) return false;
  if (blend.BlendOp != 0 || blend.AlphaFormat != 0 || w != sw || h != sh) return false;
  Clipped c;
  if (!Clip(sides, x, y, w, h, sx, sy, c)) return true;
  Surface& d = *sides.dst;
  std::uint32_t* dp = PixelsToChange(d);
  const std::uint32_t* sp = c.from->pixels.get();
  for (i64 row = 0; row < c.h; ++row) {
    BlendRow(dp + (c.dy + row) * d.width + c.dx, sp + (c.sy + row) * c.from->width + c.sx,
             static_cast<std::size_t>(c.w), blend.SourceConstantAlpha);
  }
  return true;
}

bool Rectangle(HDC dc, int left, int top, int right, int bottom) {
  DrawDeferredAnd();
  Table& t = Objects();
  Object* ctx = nullptr;
  Surface* s = SurfaceOf(dc, &ctx);
  if (s == nullptr) return false;
  const Object* pen = t.Find(ctx->pen, Kind::Pen);
  const std::uint32_t pixel = pen != nullptr ? pen->penPixel : 0;
  i64 l = left;
  i64 r = right;
  i64 tp = top;
  i64 b = bottom;
  if (l > r) std::swap(l, r);
  if (tp > b) std::swap(tp, b);
  if (r - l < 1 || b - tp < 1) return true;
  --r;
  --b;
  const i64 x0 = std::max(l, i64{0});
  const i64 x1 = std::min(r, i64{s->width} - 1);
  const i64 y0 = std::max(tp, i64{0});
  const i64 y1 = std::min(b, i64{s->height} - 1);
  std::uint32_t* const pixels = PixelsToChange(*s);
  const std::uint32_t ink = s->mono ? MonoOf(pixel) : pixel;
  const auto plot = [s, pixels, ink](i64 px, i64 py) { pixels[py * s->width + px] = ink; };
  for (const i64 row : {tp, b}) {
    if (row < 0 || row >= s->height) continue;
    for (i64 px = x0; px <= x1; ++px) plot(px, row);
  }
  for (const i64 col : {l, r}) {
    if (col < 0 || col >= s->width) continue;
    for (i64 py = y0; py <= y1; ++py) plot(col, py);
  }
  return true;
}

HBITMAP CurrentBitmap(HDC dc) {
  DrawDeferredAnd();
  Object* d = Objects().Find(dc, Kind::Context);
  return d != nullptr ? d->bitmap : 0;
}

const std::uint32_t* ColourBits(HBITMAP bmp, int* width, int* height) {
  DrawDeferredAnd();
  Object* o = Objects().Find(bmp, Kind::Bitmap);
  if (o == nullptr || o->surface.mono) return nullptr;
  Surface& s = o->surface;
  if (width != nullptr) *width = s.width;
  if (height != nullptr) *height = s.height;
  return s.pixels.get();
}

std::int64_t PixelAt(HBITMAP bmp, int x, int y) {
  DrawDeferredAnd();
  Object* o = Objects().Find(bmp, Kind::Bitmap);
  if (o == nullptr) return -1;
  const Surface& s = o->surface;
  if (x < 0 || y < 0 || x >= s.width || y >= s.height) return -1;
  const std::uint32_t p = s.pixels[static_cast<std::size_t>(y) * s.width + x];
  return s.mono ? (p != 0 ? 0xFFFFFF : 0) : p;
}

int LiveObjectCount() { return Objects().live; }

}  // namespace gdi
