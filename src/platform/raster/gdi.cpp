#include "platform/raster/gdi.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>
#include <unordered_map>
#include <utility>

#include "platform/raster/bmp.h"

namespace gdi {
namespace {

using i64 = std::int64_t;
using Px = std::uint32_t;
using Bit = std::uint8_t;

enum class Kind { Bitmap, Pen, Brush, Context };

// users: the contexts holding the object selected (one at most, for a bitmap);
// deletePending: DeleteObject came while it had users, so the last one frees it.
struct Object {
  Kind kind = Kind::Bitmap;
  bool stock = false, deletePending = false;
  int users = 0;
  // Kind::Bitmap, rows top to bottom: colour pixels 0x00RRGGBB, or monochrome ones a
  // byte each, 0 or 0xFF.
  int width = 0, height = 0;
  bool mono = false;
  std::unique_ptr<Px[]> pixels;
  std::unique_ptr<Bit[]> bits;
  Px penPixel = 0;  // Kind::Pen
  HGDIOBJ bitmap = 0, pen = 0, brush = 0;  // Kind::Context, down to textColour
  COLORREF bkColour = RGB(255, 255, 255), textColour = RGB(0, 0, 0);
};

// Handles are never reused until the 32-bit counter wraps, so a stale handle held by
// a careless caller finds nothing instead of somebody else's object.
struct Table {
  std::unordered_map<std::uint32_t, Object> objects;
  std::uint32_t next = 1;
  int live = 0;
  HGDIOBJ defaultBitmap = 0, blackPen = 0, nullBrush = 0;

  Table() {
    Object stock[3];
    for (int k = 0; k < 3; ++k) stock[k].kind = static_cast<Kind>(k), stock[k].stock = true;
    stock[0].width = stock[0].height = 1, stock[0].mono = true;
    stock[0].bits.reset(new Bit[1]{0});
    defaultBitmap = Add(std::move(stock[0])), blackPen = Add(std::move(stock[1]));
    nullBrush = Add(std::move(stock[2]));
  }

  std::uint32_t Add(Object&& obj) {
    while (next == 0 || objects.count(next) != 0) ++next;
    if (!obj.stock) ++live;
    objects.emplace(next, std::move(obj));
    return next++;
  }

  Object* Find(std::uint32_t handle) {
    auto it = objects.find(handle);
    return it != objects.end() ? &it->second : nullptr;
  }
  Object* Find(std::uint32_t handle, Kind kind) {
    Object* obj = Find(handle);
    return obj != nullptr && obj->kind == kind ? obj : nullptr;
  }
  void Free(std::uint32_t handle) {
    if (Object* obj = Find(handle); obj != nullptr && !obj->stock) objects.erase(handle), --live;
  }
  // A context stops using an object; one the game already deleted goes now.
  void LetGo(std::uint32_t handle) {
    Object* obj = Find(handle);
    if (obj != nullptr && obj->users > 0) --obj->users;
    if (obj != nullptr && obj->users == 0 && obj->deletePending) Free(handle);
  }
};

// Never destroyed: the game's program-lifetime objects release their handles from
// their destructors at exit, which may run after any static here would be gone.
Table& Objects() {
  static Table* const table = new Table;
  return *table;
}

constexpr Px PixelOf(COLORREF c) { return (c & 0xFFu) << 16 | (c & 0xFF00u) | (c >> 16 & 0xFFu); }

// The bitmap selected into a context, and the context.
Object* BitmapOf(HDC dc, Object** context = nullptr) {
  Table& t = Objects();
  Object* d = t.Find(dc, Kind::Context);
  if (d == nullptr) return nullptr;
  if (context != nullptr) *context = d;
  return t.Find(d->bitmap, Kind::Bitmap);
}

enum class Op { Copy, And, Paint, AndNot, Blend };

bool OpOf(DWORD rop, Op& op) {
  const DWORD rops[4] = {SRCCOPY, SRCAND, SRCPAINT, SRCERASE_NOT};
  const auto at = std::find(rops, rops + 4, rop);
  op = static_cast<Op>(at - rops);
  return at != rops + 4;
}

// A draw's scratch, never allocated: a row gathered by a stretch or taken aside from a
// bitmap that is also the destination, and a row converted to the destination's format.
Px gatheredColour[kMaxBitmapSide];
Bit gatheredMono[kMaxBitmapSide];
Px convertedColour[kMaxBitmapSide];
Bit convertedMono[kMaxBitmapSide];

// The two contexts of a copy and the bitmaps they hold.
struct Sides {
  Object *dctx = nullptr, *sctx = nullptr;
  Object *dst = nullptr, *src = nullptr;
  Sides(HDC d, HDC s) : dst(BitmapOf(d, &dctx)), src(BitmapOf(s, &sctx)) {}
  explicit operator bool() const { return dst != nullptr && src != nullptr; }
};

// d = op(d, s) over n pixels of one format, in plain loops for the vectoriser.
template <typename T>
void Combine(Op op, T* __restrict d, const T* __restrict s, i64 n) {
  switch (op) {
    case Op::Copy: std::memcpy(d, s, static_cast<std::size_t>(n) * sizeof(T)); break;
    case Op::And: for (i64 i = 0; i < n; ++i) d[i] &= s[i]; break;
    case Op::Paint: for (i64 i = 0; i < n; ++i) d[i] |= s[i]; break;
    default: for (i64 i = 0; i < n; ++i) d[i] &= static_cast<T>(~s[i]); break;
  }
}

// Per channel (S * a + D * (255 - a) + 127) / 255, channel by channel in 16 bits (the
// unused top byte stays 0); x / 255 is (x + 1) * 257 >> 16 for every x below 65535.
void Blend(Px* d, const Px* s, i64 n, Px a) {
  std::uint8_t* __restrict db = reinterpret_cast<std::uint8_t*>(d);
  const std::uint8_t* __restrict sb = reinterpret_cast<const std::uint8_t*>(s);
  const auto sa = static_cast<std::uint16_t>(a);
  const auto da = static_cast<std::uint16_t>(255 - a);
  for (i64 i = 0; i < 4 * n; ++i) {
    const auto x = static_cast<std::uint16_t>(sb[i] * sa + db[i] * da + 128);
    db[i] = static_cast<std::uint8_t>((std::uint32_t{x} * 257u) >> 16);
  }
}

// A monochrome pixel widened: 0xFF to all ones, 0 to 0.
constexpr Px Wide(Bit m) { return static_cast<Px>(static_cast<std::int8_t>(m)); }

// A monochrome row ANDed onto colour, half of every masked draw.
void AndMask(Px* __restrict d, const Bit* __restrict m, i64 n, Px text, Px flip) {
  for (i64 i = 0; i < n; ++i) d[i] &= text ^ (flip & Wide(m[i]));
}

// n source pixels (in the source's format, outside the destination bitmap) drawn at
// (x, y) of the destination. A colour pixel equal to the source context's background
// becomes 1 in monochrome; a monochrome 1 becomes the destination context's background
// colour, 0 its text colour.
void PutRow(Op op, const Sides& sides, i64 x, i64 y, const void* from, i64 n, Px alpha) {
  const Object& d = *sides.dst;
  const i64 at = y * d.width + x;
  if (d.mono) {
    const Bit* s = static_cast<const Bit*>(from);
    if (!sides.src->mono) {
      const Px* colour = static_cast<const Px*>(from);
      const Px bk = PixelOf(sides.sctx->bkColour);
      for (i64 i = 0; i < n; ++i) convertedMono[i] = colour[i] == bk ? 0xFF : 0;
      s = convertedMono;
    }
    Combine(op, d.bits.get() + at, s, n);
    return;
  }
  const Px* s = static_cast<const Px*>(from);
  Px* to = d.pixels.get() + at;
  if (sides.src->mono) {
    const Bit* m = static_cast<const Bit*>(from);
    const Px text = PixelOf(sides.dctx->textColour);
    const Px flip = text ^ PixelOf(sides.dctx->bkColour);
    if (op == Op::And) return AndMask(to, m, n, text, flip);
    for (i64 i = 0; i < n; ++i) convertedColour[i] = text ^ (flip & Wide(m[i]));
    s = convertedColour;
  }
  return op == Op::Blend ? Blend(to, s, n, alpha) : Combine(op, to, s, n);
}

// The destination offsets [lo, hi) of one axis of a copy that land inside the
// destination and read inside the source.
bool ClipAxis(i64 d, i64 s, i64 n, i64 dstSize, i64 srcSize, i64& lo, i64& hi) {
  lo = std::max({i64{0}, -d, -s});
  hi = std::min({n, dstSize - d, srcSize - s});
  return hi > lo;
}

// An unstretched copy of w x h pixels from (sx, sy) to (x, y), clipped to both bitmaps.
// Within one bitmap each row is taken aside first, and rows go away from where they land.
void Copy(Op op, const Sides& sides, int x, int y, int w, int h, int sx, int sy, Px alpha) {
  i64 x0, x1, y0, y1;
  const Object &d = *sides.dst, &s = *sides.src;
  if (!ClipAxis(x, sx, w, d.width, s.width, x0, x1)) return;
  if (!ClipAxis(y, sy, h, d.height, s.height, y0, y1)) return;
  const bool up = &d == &s && y > sy;
  const i64 n = x1 - x0;
  for (i64 k = y0; k < y1; ++k) {
    const i64 r = up ? y1 - 1 - (k - y0) : k;
    const i64 at = (sy + r) * s.width + sx + x0;
    const void* from = s.mono ? static_cast<const void*>(s.bits.get() + at) : s.pixels.get() + at;
    if (&d == &s) {
      const std::size_t bytes = static_cast<std::size_t>(n) * (s.mono ? sizeof(Bit) : sizeof(Px));
      from = std::memcpy(s.mono ? static_cast<void*>(gatheredMono) : gatheredColour, from, bytes);
    }
    PutRow(op, sides, x + x0, y + r, from, n, alpha);
  }
}

i64 FloorDiv(__int128 a, __int128 b) { return static_cast<i64>(a / b - (a % b < 0 ? 1 : 0)); }
i64 CeilDiv(__int128 a, __int128 b) { return -FloorDiv(-a, b); }

// The source pixels [lo, hi] that land on offset i of a destination extent dn (> 0)
// stretched from a source extent sn at s, clipped to a source bitmap of size pixels;
// false when none is inside. Enlarging, each destination pixel takes the source pixel
// under its centre; shrinking, source pixel k lands on floor(((2k + 1) dn - 1) / 2sn).
bool SourceSpan(i64 i, i64 dn, i64 s, i64 sn, i64 size, i64& lo, i64& hi) {
  if (dn == sn) {
    lo = hi = i;
  } else if (dn > sn) {
    lo = hi = FloorDiv((__int128{2} * i + 1) * sn - 1, __int128{2} * dn);
  } else {
    lo = CeilDiv(__int128{2} * sn * i + 1 - dn, __int128{2} * dn);
    hi = CeilDiv(__int128{2} * sn * (i + 1) + 1 - dn, __int128{2} * dn) - 1;
  }
  lo = std::max(lo + s, i64{0});
  hi = std::min(hi + s, size - 1);
  return lo <= hi;
}

// The source columns of each destination column of a stretch, worked out once a call.
struct Span {
  int lo, hi;
} stretchColumns[kMaxBitmapSide];

// Destination columns 0..n of a stretch from source rows lo..hi: each the AND of the
// source pixels that land on it, or, with one source pixel each, that pixel.
template <typename T>
void Gather(const T* pixels, i64 width, i64 lo, i64 hi, bool single, i64 n, T* out) {
  const T* line = pixels + lo * width;
  for (i64 c = 0; c < n && single; ++c) out[c] = line[stretchColumns[c].lo];
  for (i64 c = 0; c < n && !single; ++c) {
    auto acc = static_cast<T>(~T{0});
    for (const T* row = pixels + lo * width; row <= pixels + hi * width; row += width) {
      for (int k = stretchColumns[c].lo; k <= stretchColumns[c].hi; ++k) acc &= row[k];
    }
    out[c] = acc;
  }
}

HBITMAP NewBitmap(int width, int height, bool mono) {
  if (width < 1 || height < 1 || width > kMaxBitmapSide || height > kMaxBitmapSide) return 0;
  Object obj;
  obj.width = width, obj.height = height, obj.mono = mono;
  const auto count = static_cast<std::size_t>(width) * height;
  if (mono) obj.bits.reset(new (std::nothrow) Bit[count]());
  if (!mono) obj.pixels.reset(new (std::nothrow) Px[count]());
  if (obj.bits == nullptr && obj.pixels == nullptr) return 0;
  return Objects().Add(std::move(obj));
}

COLORREF SetColour(HDC dc, COLORREF Object::*which, COLORREF colour) {
  Object* d = Objects().Find(dc, Kind::Context);
  return d != nullptr ? std::exchange(d->*which, colour & 0x00FFFFFFu) : 0xFFFFFFFFu;
}

}  // namespace

HDC CreateCompatibleDC(HDC) {
  Table& t = Objects();
  Object dc;
  dc.kind = Kind::Context, dc.bitmap = t.defaultBitmap, dc.pen = t.blackPen, dc.brush = t.nullBrush;
  for (HGDIOBJ h : {t.defaultBitmap, t.blackPen, t.nullBrush}) ++t.Find(h)->users;
  return t.Add(std::move(dc));
}

bool DeleteDC(HDC dc) {
  Table& t = Objects();
  Object* d = t.Find(dc, Kind::Context);
  if (d == nullptr) return false;
  const HGDIOBJ held[3] = {d->bitmap, d->pen, d->brush};
  t.Free(dc);
  for (HGDIOBJ h : held) t.LetGo(h);
  return true;
}

HGDIOBJ SelectObject(HDC dc, HGDIOBJ obj) {
  Table& t = Objects();
  Object* d = t.Find(dc, Kind::Context);
  Object* o = t.Find(obj);
  if (d == nullptr || o == nullptr || o->kind == Kind::Context) return 0;
  HGDIOBJ* slot = o->kind == Kind::Bitmap ? &d->bitmap : o->kind == Kind::Pen ? &d->pen : &d->brush;
  const HGDIOBJ previous = *slot;
  if (previous == obj) return previous;
  // A deleted object that a context still holds can be drawn with there, but it
  // cannot be handed to anything else.
  if (o->deletePending || (o->kind == Kind::Bitmap && !o->stock && o->users > 0)) return 0;
  ++o->users;
  *slot = obj;
  t.LetGo(previous);
  return previous;
}

COLORREF SetBkColor(HDC dc, COLORREF colour) { return SetColour(dc, &Object::bkColour, colour); }
COLORREF SetTextColor(HDC dc, COLORREF c) { return SetColour(dc, &Object::textColour, c); }

HBITMAP CreateCompatibleBitmap(HDC ref, int width, int height) {
  const Object* b = BitmapOf(ref);
  if (ref != 0 && b == nullptr) return 0;
  return NewBitmap(width, height, b != nullptr && b->mono);
}

HBITMAP CreateBitmap(int width, int height, unsigned planes, unsigned bitsPerPixel,
                     const void* bits) {
  if (planes != 1 || bitsPerPixel != 1 || bits != nullptr) return 0;
  return NewBitmap(width, height, true);
}

HBITMAP LoadBitmapFromBytes(const std::uint8_t* bytes, std::size_t size) {
  DecodedBmp image;
  if (!DecodeBmp(bytes, size, image)) return 0;
  const HBITMAP bmp = NewBitmap(image.width, image.height, false);
  if (Object* o = Objects().Find(bmp)) {
    std::copy(image.pixels.begin(), image.pixels.end(), o->pixels.get());
  }
  return bmp;
}

// Pens are solid and one pixel wide (a width of 0 or 1), the only kind the game draws
// outlines with; any other style or width is refused.
HPEN CreatePen(int style, int width, COLORREF colour) {
  if (style != PS_SOLID || width < 0 || width > 1) return 0;
  Object obj;
  obj.kind = Kind::Pen, obj.penPixel = PixelOf(colour);
  return Objects().Add(std::move(obj));
}

HGDIOBJ GetStockObject(int which) {
  return which == NULL_BRUSH ? Objects().nullBrush : which == BLACK_PEN ? Objects().blackPen : 0;
}

bool DeleteObject(HGDIOBJ obj) {
  Table& t = Objects();
  Object* o = t.Find(obj);
  if (o == nullptr || o->kind == Kind::Context || o->deletePending) return false;
  if (o->stock) return true;
  o->deletePending = true;
  if (o->users == 0) t.Free(obj);
  return true;
}

int GetObject(HGDIOBJ obj, int size, void* out) {
  const Object* o = Objects().Find(obj, Kind::Bitmap);
  if (o == nullptr || out == nullptr) return o == nullptr ? 0 : static_cast<int>(sizeof(BITMAP));
  if (size <= 0) return 0;
  const BITMAP bm = {0, o->width, o->height, o->mono ? (o->width + 15) / 16 * 2 : o->width * 4,
                     1, static_cast<std::uint16_t>(o->mono ? 1 : 32), nullptr};
  const std::size_t n = std::min(static_cast<std::size_t>(size), sizeof bm);
  std::memcpy(out, &bm, n);
  return static_cast<int>(n);
}

bool BitBlt(HDC dst, int x, int y, int w, int h, HDC src, int sx, int sy, DWORD rop) {
  const Sides sides(dst, src);
  Op op;
  if (!sides || !OpOf(rop, op)) return false;
  Copy(op, sides, x, y, w, h, sx, sy, 0);
  return true;
}

bool StretchBlt(HDC dst, int x, int y, int w, int h, HDC src, int sx, int sy, int sw,
                int sh, DWORD rop) {
  const Sides sides(dst, src);
  Op op;
  if (!sides || !OpOf(rop, op) || sides.dst == sides.src) return false;
  if (w <= 0 || h <= 0 || sw <= 0 || sh <= 0) return true;
  const Object &d = *sides.dst, &s = *sides.src;
  // The destination columns fed by some source pixel: one run, c0..c1, as maps are monotonic.
  i64 c0 = std::max(i64{0}, -i64{x});
  i64 c1 = std::min(i64{w}, i64{d.width} - x);
  i64 lo, hi;
  while (c0 < c1 && !SourceSpan(c0, w, sx, sw, s.width, lo, hi)) ++c0;
  while (c1 > c0 && !SourceSpan(c1 - 1, w, sx, sw, s.width, lo, hi)) --c1;
  for (i64 c = c0; c < c1; ++c) {
    SourceSpan(c, w, sx, sw, s.width, lo, hi);
    stretchColumns[c - c0] = {static_cast<int>(lo), static_cast<int>(hi)};
  }
  i64 gatheredLo = -1, gatheredHi = -1;
  for (i64 r = std::max(i64{0}, -i64{y}); r < std::min(i64{h}, i64{d.height} - y); ++r) {
    if (c0 >= c1 || !SourceSpan(r, h, sy, sh, s.height, lo, hi)) continue;
    // An enlarged row repeats the source row of the one before.
    if (lo != gatheredLo || hi != gatheredHi) {
      const bool single = lo == hi && w >= sw;
      if (s.mono) Gather(s.bits.get(), s.width, lo, hi, single, c1 - c0, gatheredMono);
      if (!s.mono) Gather(s.pixels.get(), s.width, lo, hi, single, c1 - c0, gatheredColour);
      gatheredLo = lo, gatheredHi = hi;
    }
    PutRow(op, sides, x + c0, y + r,
           s.mono ? static_cast<const void*>(gatheredMono) : gatheredColour, c1 - c0, 0);
  }
  return true;
}

bool AlphaBlend(HDC dst, int x, int y, int w, int h, HDC src, int sx, int sy, int sw,
                int sh, BLENDFUNCTION blend) {
  const Sides sides(dst, src);
  if (!sides || sides.dst->mono || sides.src->mono) return false;
  if (blend.BlendOp != 0 || blend.AlphaFormat != 0 || w != sw || h != sh) return false;
  Copy(Op::Blend, sides, x, y, w, h, sx, sy, blend.SourceConstantAlpha);
  return true;
}

bool Rectangle(HDC dc, int left, int top, int right, int bottom) {
  Object* ctx = nullptr;
  Object* s = BitmapOf(dc, &ctx);
  if (s == nullptr) return false;
  const Object* pen = Objects().Find(ctx->pen, Kind::Pen);
  const Px ink = pen != nullptr ? pen->penPixel : 0;
  // A monochrome bitmap takes the nearer of black and white.
  const unsigned sum = ((ink >> 16) & 0xFF) + ((ink >> 8) & 0xFF) + (ink & 0xFF);
  const i64 l = std::min(left, right), r = std::max(left, right) - i64{1};
  const i64 t = std::min(top, bottom), b = std::max(top, bottom) - i64{1};
  if (r < l || b < t) return true;
  const auto plot = [s, ink, sum](i64 px, i64 py) {
    if (px < 0 || py < 0 || px >= s->width || py >= s->height) return;
    if (s->mono) s->bits[py * s->width + px] = sum >= 383 ? 0xFF : 0;
    if (!s->mono) s->pixels[py * s->width + px] = ink;
  };
  const i64 x1 = std::min(r, i64{s->width} - 1), y1 = std::min(b, i64{s->height} - 1);
  for (i64 x = std::max(l, i64{0}); x <= x1; ++x) plot(x, t), plot(x, b);
  for (i64 y = std::max(t, i64{0}); y <= y1; ++y) plot(l, y), plot(r, y);
  return true;
}

HBITMAP CurrentBitmap(HDC dc) {
  const Object* d = Objects().Find(dc, Kind::Context);
  return d != nullptr ? d->bitmap : 0;
}

const std::uint32_t* ColourBits(HBITMAP bmp, int* width, int* height) {
  const Object* o = Objects().Find(bmp, Kind::Bitmap);
  if (o == nullptr || o->mono) return nullptr;
  if (width != nullptr) *width = o->width;
  if (height != nullptr) *height = o->height;
  return o->pixels.get();
}

std::int64_t PixelAt(HBITMAP bmp, int x, int y) {
  const Object* o = Objects().Find(bmp, Kind::Bitmap);
  if (o == nullptr || x < 0 || y < 0 || x >= o->width || y >= o->height) return -1;
  const std::size_t at = static_cast<std::size_t>(y) * o->width + x;
  return o->mono ? (o->bits[at] != 0 ? 0xFFFFFF : 0) : o->pixels[at];
}

int LiveObjectCount() { return Objects().live; }

}  // namespace gdi
