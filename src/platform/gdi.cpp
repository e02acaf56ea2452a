#include "platform/gdi.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <type_traits>
#include <unordered_map>
#include <utility>
#include <vector>

#include "platform/bmp.h"
#include "platform/platform.h"

namespace gdi {
namespace {

using i64 = std::int64_t;

enum class Kind { Bitmap, Pen, Brush, Context };

// Pixels of one bitmap. Monochrome pixels take a byte each (0 or 1) so that the
// copies are the same plain row loops as for colour.
struct Surface {
  int width = 0;
  int height = 0;
  bool mono = false;
  std::vector<std::uint32_t> colour;
  std::vector<std::uint8_t> bits;
};

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
    bmp.surface.bits.assign(1, 0);
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

  Object* Find(std::uint32_t handle) {
    if (handle == 0) return nullptr;
    auto it = objects.find(handle);
    return it == objects.end() ? nullptr : &it->second;
  }

  Object* Find(std::uint32_t handle, Kind kind) {
    Object* obj = Find(handle);
    return obj != nullptr && obj->kind == kind ? obj : nullptr;
  }

  void Free(std::uint32_t handle) {
    auto it = objects.find(handle);
    if (it == objects.end() || it->second.stock) return;
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

// The monochrome bit a solid colour draws as: the nearer of black and white.
constexpr std::uint8_t MonoOf(std::uint32_t pixel) {
  const unsigned sum = ((pixel >> 16) & 0xFF) + ((pixel >> 8) & 0xFF) + (pixel & 0xFF);
  return sum >= 383 ? 1 : 0;
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

template <typename T>
std::vector<T> RowsOf(const std::vector<T>& pixels, i64 stride, i64 x, i64 y, i64 w, i64 h) {
  std::vector<T> out;
  out.reserve(static_cast<std::size_t>(w * h));
  for (i64 row = 0; row < h; ++row) {
    const auto first = pixels.begin() + (y + row) * stride + x;
    out.insert(out.end(), first, first + w);
  }
  return out;
}

// How a copy converts between the formats: a colour pixel equal to the source
// context's background becomes 1 in monochrome; a monochrome 1 becomes the destination
// context's background colour, 0 its text colour. Passed by value, so that the inner
// loops keep it in registers.
struct Colours {
  std::uint32_t srcBk;
  std::uint32_t dstBk;
  std::uint32_t dstText;

  std::uint8_t ToMono(std::uint32_t pixel) const { return pixel == srcBk ? 1 : 0; }
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

// An unstretched copy clipped to both bitmaps: w x h pixels from (sx, sy) of `from` to
// (dx, dy). When source and destination are one bitmap, `from` is the area taken aside
// first, so that overlapping copies read the pixels as they were before the call.
struct Clipped {
  i64 dx = 0;
  i64 dy = 0;
  i64 sx = 0;
  i64 sy = 0;
  i64 w = 0;
  i64 h = 0;
  const Surface* from = nullptr;
  Surface aside;
};

void TakeAside(const Surface& s, Clipped& c) {
  c.aside.width = static_cast<int>(c.w);
  c.aside.height = static_cast<int>(c.h);
  c.aside.mono = s.mono;
  if (s.mono) {
    c.aside.bits = RowsOf(s.bits, s.width, c.sx, c.sy, c.w, c.h);
  } else {
    c.aside.colour = RowsOf(s.colour, s.width, c.sx, c.sy, c.w, c.h);
  }
  c.from = &c.aside;
  c.sx = 0;
  c.sy = 0;
}

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
  if (&s == &d) TakeAside(s, c);
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

// The plain copy: row loops over contiguous memory, the format conversion inlined.
template <Op op>
void CopyRect(Surface& dst, i64 dx, i64 dy, const Surface& src, i64 sx, i64 sy, i64 w,
              i64 h, Colours colours) {
  for (i64 row = 0; row < h; ++row) {
    const std::size_t dOff = static_cast<std::size_t>((dy + row) * dst.width + dx);
    const std::size_t sOff = static_cast<std::size_t>((sy + row) * src.width + sx);
    const std::size_t n = static_cast<std::size_t>(w);
    if (!dst.mono && !src.mono) {
      std::uint32_t* d = dst.colour.data() + dOff;
      const std::uint32_t* s = src.colour.data() + sOff;
      if constexpr (op == Op::Copy) {
        std::memcpy(d, s, n * sizeof(std::uint32_t));
      } else {
        for (std::size_t i = 0; i < n; ++i) d[i] = Combine<op>(d[i], s[i]);
      }
    } else if (dst.mono && src.mono) {
      std::uint8_t* d = dst.bits.data() + dOff;
      const std::uint8_t* s = src.bits.data() + sOff;
      for (std::size_t i = 0; i < n; ++i) d[i] = Combine<op>(d[i], s[i]);
    } else if (dst.mono) {
      std::uint8_t* d = dst.bits.data() + dOff;
      const std::uint32_t* s = src.colour.data() + sOff;
      for (std::size_t i = 0; i < n; ++i) d[i] = Combine<op>(d[i], colours.ToMono(s[i]));
    } else {
      std::uint32_t* d = dst.colour.data() + dOff;
      const std::uint8_t* s = src.bits.data() + sOff;
      const std::uint32_t expand[2] = {colours.dstText, colours.dstBk};
      for (std::size_t i = 0; i < n; ++i) d[i] = Combine<op>(d[i], expand[s[i]]);
    }
  }
}

// Which source pixels feed each destination pixel of one stretched axis. Destination
// offsets [first, first + lo.size()) are inside the destination; for each, the source
// pixels lo..hi (absolute, already clipped to the source bitmap) are ANDed together;
// lo > hi means none lies inside the source, and the pixel is left as it is.
struct AxisMap {
  i64 first = 0;
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
      map.lo.push_back(1);
      map.hi.push_back(0);
    } else {
      map.lo.push_back(static_cast<int>(a));
      map.hi.push_back(static_cast<int>(b));
    }
  }
}

// The stretched copy. Each destination pixel ANDs its source pixels in the source's
// own format, then converts the result as a plain copy would and applies the raster
// operation.
template <Op op>
void StretchRect(Surface& dst, i64 dx, i64 dy, const Surface& src, const AxisMap& cols,
                 const AxisMap& rows, Colours colours) {
  const std::size_t n = cols.lo.size();
  static thread_local std::vector<std::uint32_t> acc;
  static thread_local std::vector<std::uint8_t> hit;
  acc.resize(n);
  hit.resize(n);
  for (std::size_t r = 0; r < rows.lo.size(); ++r) {
    if (rows.lo[r] > rows.hi[r]) continue;
    std::fill(acc.begin(), acc.end(), ~std::uint32_t{0});
    std::fill(hit.begin(), hit.end(), 0);
    for (int sr = rows.lo[r]; sr <= rows.hi[r]; ++sr) {
      const std::size_t rowOff = static_cast<std::size_t>(sr) * src.width;
      for (std::size_t c = 0; c < n; ++c) {
        for (int sc = cols.lo[c]; sc <= cols.hi[c]; ++sc) {
          const std::size_t at = rowOff + static_cast<std::size_t>(sc);
          acc[c] &= src.mono ? std::uint32_t{src.bits[at]} : src.colour[at];
          hit[c] = 1;
        }
      }
    }
    const std::size_t dOff =
        static_cast<std::size_t>((dy + rows.first + static_cast<i64>(r)) * dst.width +
                                 dx + cols.first);
    for (std::size_t c = 0; c < n; ++c) {
      if (!hit[c]) continue;
      const std::uint32_t s = acc[c];
      if (dst.mono) {
        const std::uint8_t bit = src.mono ? static_cast<std::uint8_t>(s) : colours.ToMono(s);
        dst.bits[dOff + c] = Combine<op>(dst.bits[dOff + c], bit);
      } else {
        const std::uint32_t pixel = src.mono ? (s ? colours.dstBk : colours.dstText) : s;
        dst.colour[dOff + c] = Combine<op>(dst.colour[dOff + c], pixel);
      }
    }
  }
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
  const std::size_t n = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
  try {
    if (mono) {
      s.bits.assign(n, 0);
    } else {
      s.colour.assign(n, 0);
    }
  } catch (const std::bad_alloc&) {
    return 0;
  }
  return AddBitmap(std::move(s));
}

COLORREF SetColour(HDC dc, COLORREF Object::*which, COLORREF colour) {
  Object* d = Objects().Find(dc, Kind::Context);
  if (d == nullptr) return 0xFFFFFFFFu;
  return std::exchange(d->*which, colour & 0x00FFFFFFu);
}

}  // namespace

HDC CreateCompatibleDC(HDC) {
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
  if (planes != 1 || bitsPerPixel != 1 || bits != nullptr) return 0;
  return NewBitmap(width, height, true);
}

HBITMAP LoadBitmapFromFile(const char* path) {
  std::vector<std::uint8_t> bytes;
  if (!platform::ReadWholeFile(path, static_cast<std::size_t>(kMaxPictureFileBytes), bytes)) {
    return 0;
  }
  DecodedBmp image;
  try {
    if (!DecodeBmp(bytes.data(), bytes.size(), image)) return 0;
  } catch (const std::bad_alloc&) {
    return 0;
  }
  Surface s;
  s.width = image.width;
  s.height = image.height;
  s.colour = std::move(image.pixels);
  return AddBitmap(std::move(s));
}

// Pens are solid and one pixel wide (a width of 0 or 1), the only kind the game draws
// outlines with; any other style or width is refused.
HPEN CreatePen(int style, int width, COLORREF colour) {
  if (style != PS_SOLID || width < 0 || width > 1) return 0;
  Object obj;
  obj.kind = Kind::Pen;
  obj.penPixel = PixelOf(colour);
  return Objects().Add(std::move(obj));
}

HGDIOBJ GetStockObject(int which) {
  Table& t = Objects();
  switch (which) {
    case NULL_BRUSH: return t.nullBrush;
    case BLACK_PEN: return t.blackPen;
    default: return 0;
  }
}

bool DeleteObject(HGDIOBJ obj) {
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
  if (!SidesOf(dst, src, sides) || !OpOf(rop, op)) return false;
  Clipped c;
  if (!Clip(sides, x, y, w, h, sx, sy, c)) return true;
  WithOp(op, [&](auto o) {
    CopyRect<decltype(o)::value>(*sides.dst, c.dx, c.dy, *c.from, c.sx, c.sy, c.w, c.h,
                                 sides.colours());
  });
  return true;
}

bool StretchBlt(HDC dst, int x, int y, int w, int h, HDC src, int sx, int sy, int sw,
                int sh, DWORD rop) {
  Sides sides;
  Op op;
  if (!SidesOf(dst, src, sides) || !OpOf(rop, op)) return false;
  if (w <= 0 || h <= 0 || sw <= 0 || sh <= 0) return true;
  Surface& d = *sides.dst;
  static thread_local AxisMap cols;
  static thread_local AxisMap rows;
  MapAxis(x, w, d.width, sx, sw, sides.src->width, cols);
  MapAxis(y, h, d.height, sy, sh, sides.src->height, rows);
  if (cols.lo.empty() || rows.lo.empty()) return true;
  Surface aside;
  const Surface* from = sides.src;
  if (sides.src == sides.dst) {
    aside = d;
    from = &aside;
  }
  WithOp(op, [&](auto o) {
    StretchRect<decltype(o)::value>(d, x, y, *from, cols, rows, sides.colours());
  });
  return true;
}

bool AlphaBlend(HDC dst, int x, int y, int w, int h, HDC src, int sx, int sy, int sw,
                int sh, BLENDFUNCTION blend) {
  Sides sides;
  if (!SidesOf(dst, src, sides) || sides.dst->mono || sides.src->mono) return false;
  if (blend.BlendOp != 0 || blend.AlphaFormat != 0 || w != sw || h != sh) return false;
  Clipped c;
  if (!Clip(sides, x, y, w, h, sx, sy, c)) return true;
  Surface& d = *sides.dst;
  const std::uint32_t a = blend.SourceConstantAlpha;
  const std::uint32_t na = 255 - a;
  for (i64 row = 0; row < c.h; ++row) {
    std::uint32_t* dp = d.colour.data() + (c.dy + row) * d.width + c.dx;
    const std::uint32_t* sp = c.from->colour.data() + (c.sy + row) * c.from->width + c.sx;
    for (i64 i = 0; i < c.w; ++i) {
      const std::uint32_t sv = sp[i];
      const std::uint32_t dv = dp[i];
      std::uint32_t out = 0;
      for (int shift = 0; shift <= 16; shift += 8) {
        const std::uint32_t channel =
            (((sv >> shift) & 0xFF) * a + ((dv >> shift) & 0xFF) * na + 127) / 255;
        out |= channel << shift;
      }
      dp[i] = out;
    }
  }
  return true;
}

bool Rectangle(HDC dc, int left, int top, int right, int bottom) {
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
  const auto plot = [s, pixel](i64 px, i64 py) {
    const std::size_t at = static_cast<std::size_t>(py * s->width + px);
    if (s->mono) {
      s->bits[at] = MonoOf(pixel);
    } else {
      s->colour[at] = pixel;
    }
  };
  const i64 x0 = std::max(l, i64{0});
  const i64 x1 = std::min(r, i64{s->width} - 1);
  const i64 y0 = std::max(tp, i64{0});
  const i64 y1 = std::min(b, i64{s->height} - 1);
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
  Object* d = Objects().Find(dc, Kind::Context);
  return d != nullptr ? d->bitmap : 0;
}

const std::uint32_t* ColourBits(HBITMAP bmp, int* width, int* height) {
  Object* o = Objects().Find(bmp, Kind::Bitmap);
  if (o == nullptr || o->surface.mono) return nullptr;
  if (width != nullptr) *width = o->surface.width;
  if (height != nullptr) *height = o->surface.height;
  return o->surface.colour.data();
}

std::int64_t PixelAt(HBITMAP bmp, int x, int y) {
  Object* o = Objects().Find(bmp, Kind::Bitmap);
  if (o == nullptr) return -1;
  const Surface& s = o->surface;
  if (x < 0 || y < 0 || x >= s.width || y >= s.height) return -1;
  const std::size_t at = static_cast<std::size_t>(y) * s.width + x;
  if (s.mono) return s.bits[at] ? 0xFFFFFF : 0;
  return s.colour[at];
}

int LiveObjectCount() { return Objects().live; }

}  // namespace gdi
