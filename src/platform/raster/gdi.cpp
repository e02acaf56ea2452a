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

// Pixels of one bitmap, a 32-bit word each: 0x00RRGGBB for colour, 0 or all ones for
// monochrome, so that masks combine with colour pixels in the same plain loops.
//
// A copy that fills a whole bitmap from rows of another as wide is made lazily: the
// copy `shows` the original from row `showsRow` on, and the original's `shownBy`
// points back, until either is drawn into or freed. Then the copy gets its own pixels
// (all but those a plain copy is about to replace: the board over the wall), and when
// an original of the same size is about to be overwritten whole the two just trade
// buffers, so that the back buffer's frame reaches the window surface without being
// copied at all. Pixels that ColourBits handed out (`exposed`) never move and are
// always current.
//
// A buffer also remembers which original it last took in whole (its `backdrop`) and
// where it has been drawn into since. When it becomes a copy of that same, unchanged
// original again (the back buffer gets the wall every frame, and its buffer held last
// frames' wall under the board, boxes and sprites), only those places are copied anew.
// Likewise for a picture copied into part of it (its `inlays`: the board's canvas):
// the same copy again copies only what was drawn over it since.
struct Surface;

struct Rect {
  i64 x = 0;
  i64 y = 0;
  i64 w = 0;
  i64 h = 0;

  bool Contains(const Rect& r) const {
    return r.x >= x && r.y >= y && r.x + r.w <= x + w && r.y + r.h <= y + h;
  }
};

// Places drawn into since some picture was copied in: a few rectangles, folded into the
// one around them all when there are too many.
struct DrawnPlaces {
  static constexpr std::size_t kMost = 64;
  std::vector<Rect> rects;

  void Add(const Rect& r) {
    if (r.w <= 0 || r.h <= 0) return;
    for (const Rect& d : rects) {
      if (d.Contains(r)) return;
    }
    if (rects.size() < kMost) {
      rects.push_back(r);
      return;
    }
    Rect all = r;
    for (const Rect& d : rects) {
      const i64 right = std::max(all.x + all.w, d.x + d.w);
      const i64 bottom = std::max(all.y + all.h, d.y + d.h);
      all.x = std::min(all.x, d.x);
      all.y = std::min(all.y, d.y);
      all.w = right - all.x;
      all.h = bottom - all.y;
    }
    rects.assign(1, all);
  }
};

// A picture copied into part of a buffer: `area` holds the pixels of `source` (as it was
// at `version`) from (sx, sy) on, except where drawn over since (the board's canvas
// under this frame's items).
struct Inlay {
  const Surface* source = nullptr;
  std::uint64_t version = 0;
  i64 sx = 0;
  i64 sy = 0;
  Rect area;
  DrawnPlaces drawn;
};

// What a buffer holds: the rows of `source` from `row` on, as the source was at
// `version`, except inside the places `drawn`, where `inlays` may say more. A null
// source: nothing is known outside the inlays. Sources are only ever compared with,
// never followed: one may be gone (then no surface has its version any more).
struct Backdrop {
  static constexpr std::size_t kMostInlays = 4;
  const Surface* source = nullptr;
  std::uint64_t version = 0;
  int row = 0;
  DrawnPlaces drawn;
  std::vector<Inlay> inlays;

  void Forget() {
    source = nullptr;
    drawn.rects.clear();
    inlays.clear();
  }
  void Drawn(const Rect& r) {
    if (source != nullptr) drawn.Add(r);
    for (Inlay& inlay : inlays) {
      const Rect& a = inlay.area;
      const i64 left = std::max(a.x, r.x);
      const i64 top = std::max(a.y, r.y);
      const i64 right = std::min(a.x + a.w, r.x + r.w);
      const i64 bottom = std::min(a.y + a.h, r.y + r.h);
      if (left < right && top < bottom) inlay.drawn.Add({left, top, right - left, bottom - top});
    }
  }
  // Only the inlays that lie wholly inside `keep` still hold.
  void KeepInlaysInside(const Rect& keep) {
    inlays.erase(std::remove_if(inlays.begin(), inlays.end(),
                                [&](const Inlay& inlay) { return !keep.Contains(inlay.area); }),
                 inlays.end());
  }
};

// Every change of a surface's pixels gets a number never used before, so that what is
// worked out from them can tell whether it still holds.
std::uint64_t NextVersion() {
  static std::uint64_t last = 0;
  return ++last;
}

// Every block of kBlockWidth x kBlockHeight pixels of a surface (cut short at its right
// and bottom edges) has a tag, and two blocks with the same tag hold the same pixels,
// wherever they are. A draw gives the blocks it touches new tags: worked out from what
// the pixels were made of where the draw allows it, so that the same copy of the same
// unchanged blocks to the same place gives the same tag again; a number never used
// before otherwise. The present then compares a frame with the one before only where
// their tags differ: the wall and the board that stay the same from pass to pass are
// not read at all. Tags describe the pixels a surface has now, lazy or not. A worked-out
// tag is a 64-bit hash, so two different blocks could only share one by a collision
// of such hashes.
constexpr i64 kBlockWidth = 32;
constexpr i64 kBlockHeight = 16;
constexpr std::uint64_t kWorkedOut = std::uint64_t{1} << 63;  // never set in a new tag

std::uint64_t NewTag() {
  static std::uint64_t last = 0;
  return ++last;
}

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

// Places of a real surface whose pixels are still to be copied from the picture it last
// showed lazily (`from`, rows from `row` on, unchanged since). Making a lazy copy real
// leaves what was drawn over it since waiting there instead of copying it back at once:
// a place is copied when somebody reads it or draws over it, but not where a plain copy
// or the opaque part of a sprite replaces it. The back buffer's boxes are drawn over the
// wall every pass in the same places, so the wall under them is never put back only to
// be covered.
struct Waiting {
  Surface* from = nullptr;
  int row = 0;
  std::vector<Rect> rects;
  std::vector<Rect> spare;  // scratch for the next rects
};

struct Surface {
  int width = 0;
  int height = 0;
  bool mono = false;
  bool exposed = false;
  std::uint64_t version = NextVersion();
  std::vector<std::uint32_t> pixels;
  Backdrop backdrop;  // of `pixels`, which trade places with it
  Surface* shows = nullptr;
  int showsRow = 0;
  Surface* shownBy = nullptr;
  std::unique_ptr<OpaqueRuns> runs;  // when it is drawn through a mask
  // Places whose pixels are still to come from `waiting.from` (see Waiting), and the
  // surface whose places wait on this one.
  Waiting waiting;
  Surface* waitedOnBy = nullptr;
  std::vector<std::uint64_t> tags;       // block by block, row by row; empty until asked for
  std::vector<std::uint64_t> shownTags;  // as ShownBits last reported the frame
  std::uint64_t shownFrame = 0;          // that frame's number
};

i64 BlocksAcross(const Surface& s) { return (s.width + kBlockWidth - 1) / kBlockWidth; }
i64 BlocksDown(const Surface& s) { return (s.height + kBlockHeight - 1) / kBlockHeight; }

std::vector<std::uint64_t>& TagsOf(Surface& s) {
  if (s.tags.empty()) {
    s.tags.resize(static_cast<std::size_t>(BlocksAcross(s) * BlocksDown(s)));
    for (std::uint64_t& tag : s.tags) tag = NewTag();
  }
  return s.tags;
}

// The blocks [x0, x1) x [y0, y1) that the part of `area` inside s touches; none when
// x0 == x1.
struct Blocks {
  i64 x0 = 0;
  i64 x1 = 0;
  i64 y0 = 0;
  i64 y1 = 0;
};
Blocks BlocksOf(const Surface& s, const Rect& area) {
  const i64 left = std::max<i64>(area.x, 0);
  const i64 top = std::max<i64>(area.y, 0);
  const i64 right = std::min<i64>(area.x + area.w, s.width);
  const i64 bottom = std::min<i64>(area.y + area.h, s.height);
  if (left >= right || top >= bottom) return {};
  return {left / kBlockWidth, (right - 1) / kBlockWidth + 1, top / kBlockHeight,
          (bottom - 1) / kBlockHeight + 1};
}

// The blocks `area` touches get new tags (nothing to do before anybody asked for them).
void NewTags(Surface& s, const Rect& area) {
  if (s.tags.empty()) return;
  const Blocks b = BlocksOf(s, area);
  const i64 across = BlocksAcross(s);
  for (i64 by = b.y0; by < b.y1; ++by) {
    for (i64 bx = b.x0; bx < b.x1; ++bx) {
      s.tags[static_cast<std::size_t>(by * across + bx)] = NewTag();
    }
  }
}

std::uint64_t Mix(std::uint64_t h, std::uint64_t v) {
  h = (h ^ v) * 0xff51afd7ed558ccdu;
  return h ^ (h >> 32);
}

// The tags of the blocks of `to` that a draw into `area` (clipped to both sides)
// touches, worked out from what it draws with: `from` (and, for a mask, its picture
// `also`) read from (sx, sy) on; `salt` stands for the operation and anything else the
// pixels depend on. `overOld`: they depend on those there before (every operation but
// a copy). `plain`: a copy without conversion, which hands over whole blocks unchanged.
void DrawnTags(Surface& to, const Rect& area, i64 sx, i64 sy, const Surface& from,
               const Surface* also, std::uint64_t salt, bool overOld, bool plain) {
  std::uint64_t* toTags = TagsOf(to).data();
  const std::uint64_t* fromTags = TagsOf(const_cast<Surface&>(from)).data();
  const std::uint64_t* alsoTags = also ? TagsOf(const_cast<Surface&>(*also)).data() : nullptr;
  const i64 toAcross = BlocksAcross(to);
  const i64 fromAcross = BlocksAcross(from);
  const i64 shiftX = sx - area.x;  // a destination pixel reads the source this far off
  const i64 shiftY = sy - area.y;
  // A whole bitmap from whole rows of blocks of one as wide (the wall under the back
  // buffer, the back buffer into the window's surface).
  if (plain && area.x == 0 && area.y == 0 && area.w == to.width && area.h == to.height &&
      from.width == to.width && shiftX == 0 && shiftY % kBlockHeight == 0 &&
      to.height % kBlockHeight == 0 && from.height - shiftY >= to.height) {
    std::copy_n(fromTags + shiftY / kBlockHeight * fromAcross, to.tags.size(), toTags);
    return;
  }
  const Blocks b = BlocksOf(to, area);
  for (i64 by = b.y0; by < b.y1; ++by) {
    const i64 y = by * kBlockHeight;
    const i64 h = std::min(kBlockHeight, to.height - y);
    const i64 top = std::max(y, area.y);
    const i64 coverH = std::min(y + h, area.y + area.h) - top;
    for (i64 bx = b.x0; bx < b.x1; ++bx) {
      const std::size_t index = static_cast<std::size_t>(by * toAcross + bx);
      const i64 x = bx * kBlockWidth;
      const i64 w = std::min(kBlockWidth, to.width - x);
      const i64 left = std::max(x, area.x);
      const i64 coverW = std::min(x + w, area.x + area.w) - left;
      const bool whole = coverW == w && coverH == h;
      const i64 readX = left + shiftX;
      const i64 readY = top + shiftY;
      if (plain && whole && readX % kBlockWidth == 0 && readY % kBlockHeight == 0 &&
          std::min(kBlockWidth, from.width - readX) == w &&
          std::min(kBlockHeight, from.height - readY) == h) {
        toTags[index] = fromTags[readY / kBlockHeight * fromAcross + readX / kBlockWidth];
        continue;
      }
      // Everything the block's pixels are made of: its size, the part drawn, the pixels
      // there before where they stay or count, and the source blocks read, from where.
      const auto shape = static_cast<std::uint64_t>(w | h << 8 | (left - x) << 16 |
                                                    (top - y) << 24 | coverW << 32 | coverH << 40);
      std::uint64_t tag = Mix(salt, shape);
      if (overOld || !whole) tag = Mix(tag, toTags[index]);
      tag = Mix(tag, static_cast<std::uint64_t>(readX) << 32 ^ static_cast<std::uint64_t>(readY));
      for (i64 fy = readY / kBlockHeight; fy <= (readY + coverH - 1) / kBlockHeight; ++fy) {
        for (i64 fx = readX / kBlockWidth; fx <= (readX + coverW - 1) / kBlockWidth; ++fx) {
          const i64 at = fy * fromAcross + fx;
          tag = Mix(tag, fromTags[at]);
          if (alsoTags) tag = Mix(tag, alsoTags[at]);
        }
      }
      toTags[index] = tag | kWorkedOut;
    }
  }
}

struct Cover;
void SettleWaiting(Surface& s, const Rect& area, bool copy, const Cover* cover = nullptr);

// The pixels the surface has now, every place that waited copied in.
const std::uint32_t* Pixels(const Surface& s) {
  Surface& real = const_cast<Surface&>(s.shows != nullptr ? *s.shows : s);
  if (real.waiting.from != nullptr) SettleWaiting(real, {0, 0, real.width, real.height}, true);
  if (s.shows == nullptr) return s.pixels.data();
  return s.shows->pixels.data() + static_cast<std::size_t>(s.showsRow) * s.width;
}

void Unlink(Surface& copy) {
  copy.shows->shownBy = nullptr;
  copy.shows = nullptr;
}

// Copies the rectangle r of `from` into `to` (both bitmaps `width` wide), all but the
// part inside `keep`.
void CopyOutside(std::uint32_t* to, const std::uint32_t* from, i64 width, const Rect& r,
                 const Rect& keep) {
  const auto copy = [&](i64 at, i64 count) {
    if (count > 0) {
      std::memcpy(to + at, from + at, static_cast<std::size_t>(count) * sizeof(std::uint32_t));
    }
  };
  const i64 keepLeft = std::clamp(keep.x, r.x, r.x + r.w);
  const i64 keepRight = std::clamp(keep.x + keep.w, keepLeft, r.x + r.w);
  for (i64 row = r.y; row < r.y + r.h; ++row) {
    if (row < keep.y || row >= keep.y + keep.h || keepLeft == keepRight) {
      copy(row * width + r.x, r.w);
    } else {
      copy(row * width + r.x, keepLeft - r.x);
      copy(row * width + keepRight, r.x + r.w - keepRight);
    }
  }
}

// r without `cut`: up to four rectangles, appended to out.
void AppendOutside(const Rect& r, const Rect& cut, std::vector<Rect>& out) {
  const i64 top = std::max(r.y, cut.y);
  const i64 bottom = std::min(r.y + r.h, cut.y + cut.h);
  const i64 left = std::max(r.x, cut.x);
  const i64 right = std::min(r.x + r.w, cut.x + cut.w);
  if (top >= bottom || left >= right) {
    out.push_back(r);
    return;
  }
  if (r.y < top) out.push_back({r.x, r.y, r.w, top - r.y});
  if (bottom < r.y + r.h) out.push_back({r.x, bottom, r.w, r.y + r.h - bottom});
  if (r.x < left) out.push_back({r.x, top, left - r.x, bottom - top});
  if (right < r.x + r.w) out.push_back({right, top, r.x + r.w - right, bottom - top});
}

void StopWaiting(Surface& s) {
  s.waiting.from->waitedOnBy = nullptr;
  s.waiting.from = nullptr;
  s.waiting.rects.clear();
}

// The opaque spans of a sprite drawn with its top-left at `area`'s, read from (sx, sy)
// of its picture: what the draw replaces whatever was there.
struct Cover {
  const OpaqueRuns* runs;
  i64 sx;
  i64 sy;
};

// The places of s waiting inside `area` get their pixels now (`copy`), but for those
// under a `cover`, or are given up because the caller is about to replace every pixel
// there.
void SettleWaiting(Surface& s, const Rect& area, bool copy, const Cover* cover) {
  Waiting& w = s.waiting;
  if (w.from == nullptr) return;
  const std::uint32_t* from = Pixels(*w.from) + static_cast<std::size_t>(w.row) * s.width;
  const auto copyRow = [&](i64 y, i64 x0, i64 x1) {
    if (x0 < x1) {
      std::memcpy(s.pixels.data() + y * s.width + x0, from + y * s.width + x0,
                  static_cast<std::size_t>(x1 - x0) * sizeof(std::uint32_t));
    }
  };
  w.spare.clear();
  for (const Rect& r : w.rects) {
    const i64 left = std::max(r.x, area.x);
    const i64 top = std::max(r.y, area.y);
    const i64 right = std::min(r.x + r.w, area.x + area.w);
    const i64 bottom = std::min(r.y + r.h, area.y + area.h);
    if (left >= right || top >= bottom) {
      w.spare.push_back(r);
      continue;
    }
    for (i64 y = top; copy && y < bottom; ++y) {
      if (cover == nullptr) {
        copyRow(y, left, right);
        continue;
      }
      // The gaps between the opaque spans of the sprite's row, in s's columns.
      const OpaqueRuns& runs = *cover->runs;
      const std::size_t row = static_cast<std::size_t>(y - area.y + cover->sy);
      const i64 shift = area.x - cover->sx;
      i64 x = left;
      const std::uint32_t end = runs.rowStart[row + 1];
      for (std::uint32_t k = runs.rowStart[row]; k < end && x < right; k += 2) {
        const i64 b = runs.spans[k] + shift;
        const i64 e = runs.spans[k + 1] + shift;
        if (e <= x) continue;
        copyRow(y, x, std::min(b, right));
        x = e;
      }
      copyRow(y, x, right);
    }
    AppendOutside(r, area, w.spare);
  }
  std::swap(w.rects, w.spare);
  // Draws that cut the places into ever smaller pieces cost more than the copies saved.
  constexpr std::size_t kMostPieces = 256;
  if (w.rects.size() > kMostPieces) {
    for (const Rect& r : w.rects) CopyOutside(s.pixels.data(), from, s.width, r, {});
    w.rects.clear();
  }
  if (w.rects.empty()) StopWaiting(s);
}

// Before a surface that others wait on changes or goes: they take their pixels first.
void ReleaseWaiters(Surface& s) {
  if (s.waitedOnBy != nullptr) {
    Surface& waiter = *s.waitedOnBy;
    SettleWaiting(waiter, {0, 0, waiter.width, waiter.height}, true);
  }
}

// A lazy copy gets pixels of its own (it has a buffer of its size: no allocation), all
// but those inside `keep`, which the caller is about to replace. Where its buffer still
// holds the same original, only what was drawn over since is copied again; with `wait`
// that is left waiting (see Waiting) instead.
void MakeReal(Surface& copy, const Rect& keep = {}, bool wait = false) {
  Surface& source = *copy.shows;
  const std::uint32_t* from = Pixels(copy);
  std::uint32_t* to = copy.pixels.data();
  Backdrop& b = copy.backdrop;
  if (b.source == &source && b.version == source.version && b.row == copy.showsRow) {
    if (wait) {
      ReleaseWaiters(source);
      for (const Rect& r : b.drawn.rects) AppendOutside(r, keep, copy.waiting.rects);
      if (!copy.waiting.rects.empty()) {
        copy.waiting.from = &source;
        copy.waiting.row = copy.showsRow;
        source.waitedOnBy = &copy;
      }
    } else {
      for (const Rect& r : b.drawn.rects) CopyOutside(to, from, copy.width, r, keep);
    }
  } else {
    CopyOutside(to, from, copy.width, {0, 0, copy.width, copy.height}, keep);
    b.source = &source;
    b.version = source.version;
    b.row = copy.showsRow;
  }
  b.drawn.rects.clear();
  b.drawn.Add(keep);
  b.KeepInlaysInside(keep);
  Unlink(copy);
}

// Before the pixels of s inside `area` change. Its lazy copy takes its pixels as they
// are before the change. These three leave the tags to the caller (NewTags or
// DrawnTags), which may need the old ones.
std::uint32_t* ForWrite(Surface& s, const Rect& area, const Cover* cover = nullptr) {
  ReleaseWaiters(s);
  if (s.shownBy != nullptr) MakeReal(*s.shownBy);
  s.version = NextVersion();
  if (s.shows != nullptr) MakeReal(s, {}, true);
  SettleWaiting(s, area, true, cover);
  s.backdrop.Drawn(area);
  return s.pixels.data();
}

// Before every pixel of s is replaced: its own lazy copy need not be made, and the copy
// of it takes over its buffer unless somebody holds that. The caller either writes the
// whole buffer (and forgets its backdrop) or makes s a lazy copy.
std::uint32_t* ForOverwrite(Surface& s) {
  ReleaseWaiters(s);
  if (s.waiting.from != nullptr) {
    if (s.shownBy != nullptr) {
      Pixels(s);  // the copy of s takes what s shows now, every place of it
    } else {
      // Never copied in: the buffer still differs from the picture there.
      for (const Rect& r : s.waiting.rects) s.backdrop.Drawn(r);
      StopWaiting(s);
    }
  }
  if (s.shows != nullptr) Unlink(s);
  if (Surface* copy = s.shownBy) {
    if (s.exposed || copy->showsRow != 0 || copy->height != s.height) {
      MakeReal(*copy);
    } else {
      std::swap(s.pixels, copy->pixels);
      std::swap(s.backdrop, copy->backdrop);
      Unlink(*copy);
    }
  }
  s.version = NextVersion();
  return s.pixels.data();
}

// Before the pixels of s inside `area` are replaced by a plain copy: as ForWrite, but a
// lazy copy that s is gets its own pixels everywhere else only, and the caller tells
// the backdrop what the area then holds.
std::uint32_t* ForOverwriteArea(Surface& s, const Rect& area) {
  ReleaseWaiters(s);
  if (s.shownBy != nullptr) MakeReal(*s.shownBy);
  s.version = NextVersion();
  if (s.shows != nullptr) MakeReal(s, area, true);
  SettleWaiting(s, area, false);
  return s.pixels.data();
}

// A plain copy of `from` (as wide as `to`'s rows need: widths given) into `area` of a
// buffer, in the same format. Where the area already holds the same unchanged picture
// from the same place, only what was drawn over it since is copied again.
void CopyInlay(Backdrop& b, std::uint32_t* to, i64 toWidth, const Surface& from, i64 sx, i64 sy,
               const Rect& area) {
  const std::uint32_t* sp = Pixels(from);
  const auto copy = [&](const Rect& r) {
    for (i64 row = r.y; row < r.y + r.h; ++row) {
      std::memcpy(to + row * toWidth + r.x, sp + (row - area.y + sy) * from.width + (r.x - area.x + sx),
                  static_cast<std::size_t>(r.w) * sizeof(std::uint32_t));
    }
  };
  for (Inlay& inlay : b.inlays) {
    const Rect& a = inlay.area;
    if (inlay.source == &from && inlay.version == from.version && inlay.sx == sx &&
        inlay.sy == sy && a.x == area.x && a.y == area.y && a.w == area.w && a.h == area.h) {
      for (const Rect& r : inlay.drawn.rects) copy(r);
      inlay.drawn.rects.clear();
      return;
    }
  }
  copy(area);
  b.Drawn(area);
  // A copy inside an inlay (a cell of the board painted again) is one more place drawn
  // over; one over whole inlays takes their place.
  for (const Inlay& inlay : b.inlays) {
    if (inlay.area.Contains(area)) return;
  }
  b.inlays.erase(std::remove_if(b.inlays.begin(), b.inlays.end(),
                                [&](const Inlay& inlay) { return area.Contains(inlay.area); }),
                 b.inlays.end());
  // Only the largest few are worth keeping (digits and labels come and go beside the board).
  if (b.inlays.size() == Backdrop::kMostInlays) {
    const auto size = [](const Rect& r) { return r.w * r.h; };
    const auto smallest = std::min_element(
        b.inlays.begin(), b.inlays.end(),
        [&](const Inlay& x, const Inlay& y) { return size(x.area) < size(y.area); });
    if (size(smallest->area) >= size(area)) return;
    b.inlays.erase(smallest);
  }
  b.inlays.push_back({&from, from.version, sx, sy, area, {}});
}

constexpr std::size_t kShortestRunsWorthIt = 24;  // average span length, in pixels

const OpaqueRuns* RunsOf(Surface& picture, const Surface& mask) {
  if (picture.shows != nullptr) return nullptr;
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
    const std::uint32_t* m = Pixels(mask);
    const std::uint32_t* p = Pixels(picture);
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

// Before the surface goes away.
void Detach(Surface& s) {
  ReleaseWaiters(s);
  if (s.waiting.from != nullptr) StopWaiting(s);
  if (s.shows != nullptr) Unlink(s);
  if (s.shownBy != nullptr) MakeReal(*s.shownBy);
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
    bmp.surface.pixels.assign(1, 0);
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
    if (it->second.kind == Kind::Bitmap) Detach(it->second.surface);
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
  out.pixels.reserve(static_cast<std::size_t>(w * h));
  const std::uint32_t* from = Pixels(s);
  for (i64 row = 0; row < h; ++row) {
    const std::uint32_t* first = from + (y + row) * s.width + x;
    out.pixels.insert(out.pixels.end(), first, first + w);
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

  Rect Area() const { return {dx, dy, w, h}; }  // in the destination
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

// A transparent draw in one pass: the mask's AND and the picture's OR together.
TONKALO_ROW_LOOP void MaskedRow(std::uint32_t* __restrict d,
                                const std::uint32_t* __restrict mask,
                                const std::uint32_t* __restrict s, std::size_t n,
                                Colours colours) {
  const std::uint32_t text = colours.dstText;
  const std::uint32_t flip = colours.dstText ^ colours.dstBk;
  for (std::size_t i = 0; i < n; ++i) d[i] = (d[i] & (text ^ (flip & mask[i]))) | s[i];
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

// What the pixels of a copy with the operation `op` depend on besides its sources.
std::uint64_t CopySalt(Op op, const Surface& dst, const Surface& src, Colours colours) {
  std::uint64_t h = Mix(Mix(Mix(1, static_cast<std::uint64_t>(op)), dst.mono), src.mono);
  if (dst.mono == src.mono) return h;
  return Mix(Mix(Mix(h, colours.srcBk), colours.dstBk), colours.dstText);
}

void CopyTags(Op op, Surface& dst, const Clipped& c, Colours colours) {
  const Surface& src = *c.from;
  DrawnTags(dst, c.Area(), c.sx, c.sy, src, nullptr, CopySalt(op, dst, src, colours),
            op != Op::Copy, op == Op::Copy && dst.mono == src.mono);
}

// The plain copy, the format conversion inlined. A SRCCOPY replaces what it covers, so
// nothing lazy needs to be made real there.
template <Op op>
void CopyRect(Surface& dst, const Clipped& c, Colours colours) {
  const Surface& src = *c.from;
  const Rect area = c.Area();
  CopyTags(op, dst, c, colours);
  if (op == Op::Copy && !c.Whole(dst) && dst.mono == src.mono && !dst.exposed) {
    std::uint32_t* dp = ForOverwriteArea(dst, area);
    CopyInlay(dst.backdrop, dp, dst.width, src, c.sx, c.sy, area);
    return;
  }
  std::uint32_t* dp = op != Op::Copy ? ForWrite(dst, area)
                     : c.Whole(dst)  ? ForOverwrite(dst)
                                     : ForOverwriteArea(dst, area);
  if (op == Op::Copy && c.Whole(dst)) {
    dst.backdrop.Forget();
  } else if (op == Op::Copy) {
    dst.backdrop.Drawn(area);
  }
  const std::uint32_t* sp = Pixels(src);
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
  const std::uint32_t* pixels = Pixels(src);
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
  const Rect area{dx + st.cols.first, dy + st.rows.first, static_cast<i64>(n),
                  static_cast<i64>(st.rows.lo.size())};
  NewTags(dst, area);
  std::uint32_t* dp = ForWrite(dst, area);
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
        GatherMasked(st.acc.data(), st.accPicture.data(), Pixels(src) + at,
                     Pixels(*picture) + at, st.cols.lo.data(), n, colours);
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
// in one pass. Any other call first carries the waiting AND out (Settle), so nothing
// can tell the difference. A destination whose pixels ColourBits handed out is drawn
// into at once.
struct PendingMask {
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

// Never destroyed, as the table of objects: releases at exit still settle.
PendingMask& Pending() {
  static PendingMask* const pending = new PendingMask;
  return *pending;
}

void Settle() {
  PendingMask& pending = Pending();
  if (pending.dst == nullptr) return;
  Surface& dst = *pending.dst;
  pending.dst = nullptr;
  if (pending.stretched) {
    StretchRect<Op::And>(dst, pending.x, pending.y, *pending.mask, pending.colours);
  } else {
    CopyRect<Op::And>(dst, pending.area, pending.colours);
  }
}

void DrawMasked(Surface& picture) {
  PendingMask& pending = Pending();
  Surface& dst = *pending.dst;
  pending.dst = nullptr;
  if (pending.stretched) {
    StretchRect<Op::And>(dst, pending.x, pending.y, *pending.mask, pending.colours, &picture);
    return;
  }
  const Clipped& c = pending.area;
  DrawnTags(dst, c.Area(), c.sx, c.sy, *pending.mask, &picture,
            Mix(Mix(2, pending.colours.dstText), pending.colours.dstBk), true, false);
  const OpaqueRuns* runs = pending.colours.dstBk == 0xFFFFFFu && pending.colours.dstText == 0
                               ? RunsOf(picture, *pending.mask)
                               : nullptr;
  const Cover cover{runs, c.sx, c.sy};
  std::uint32_t* dp = ForWrite(dst, c.Area(), runs != nullptr ? &cover : nullptr);
  const std::uint32_t* mp = Pixels(*pending.mask);
  const std::uint32_t* sp = Pixels(picture);
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
  const std::size_t n = static_cast<std::size_t>(c.w);
  for (i64 row = 0; row < c.h; ++row) {
    const i64 at = (c.sy + row) * picture.width + c.sx;
    MaskedRow(dp + (c.dy + row) * dst.width + c.dx, mp + at, sp + at, n, pending.colours);
  }
}

// Where s differs from the frame it was last shown with: the blocks whose tags differ,
// runs of them along each row of blocks, a run stacked onto the same run just above.
void ReportChanges(Surface& s, platform::FrameChanges& out) {
  const std::vector<std::uint64_t>& tags = TagsOf(s);
  out.areas.clear();
  out.since = s.shownTags.size() == tags.size() ? s.shownFrame : 0;
  out.frame = s.shownFrame = NextVersion();
  if (out.since == 0) {
    out.areas.push_back({0, 0, s.width, s.height});
    s.shownTags = tags;
    return;
  }
  const i64 across = BlocksAcross(s);
  for (i64 by = 0; by < BlocksDown(s); ++by) {
    const auto differs = [&](i64 bx) {
      const std::size_t i = static_cast<std::size_t>(by * across + bx);
      return tags[i] != s.shownTags[i];
    };
    for (i64 bx = 0; bx < across; ++bx) {
      if (!differs(bx)) continue;
      i64 end = bx + 1;
      while (end < across && differs(end)) ++end;
      const platform::FrameRect run{
          static_cast<int>(bx * kBlockWidth), static_cast<int>(by * kBlockHeight),
          static_cast<int>(std::min<i64>(end * kBlockWidth, s.width) - bx * kBlockWidth),
          static_cast<int>(std::min<i64>(kBlockHeight, s.height - by * kBlockHeight))};
      const auto above =
          std::find_if(out.areas.begin(), out.areas.end(), [&](const platform::FrameRect& a) {
            return a.x == run.x && a.w == run.w && a.y + a.h == run.y;
          });
      if (above != out.areas.end()) {
        above->h += run.h;
      } else {
        out.areas.push_back(run);
      }
      bx = end;
    }
  }
  s.shownTags = tags;
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
    s.pixels.assign(n, 0);
  } catch (const std::bad_alloc&) {
    return 0;
  }
  return AddBitmap(std::move(s));
}

COLORREF SetColour(HDC dc, COLORREF Object::*which, COLORREF colour) {
  Settle();
  Object* d = Objects().Find(dc, Kind::Context);
  if (d == nullptr) return 0xFFFFFFFFu;
  return std::exchange(d->*which, colour & 0x00FFFFFFu);
}

}  // namespace

HDC CreateCompatibleDC(HDC) {
  Settle();
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
  Settle();
  Table& t = Objects();
  Object* d = t.Find(dc, Kind::Context);
  if (d == nullptr) return false;
  const HGDIOBJ held[3] = {d->bitmap, d->pen, d->brush};
  t.Free(dc);
  for (HGDIOBJ h : held) t.LetGo(h);
  return true;
}

HGDIOBJ SelectObject(HDC dc, HGDIOBJ obj) {
  Settle();
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
  Settle();
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
  Settle();
  if (planes != 1 || bitsPerPixel != 1 || bits != nullptr) return 0;
  return NewBitmap(width, height, true);
}

HBITMAP LoadBitmapFromBytes(const std::uint8_t* bytes, std::size_t size) {
  Settle();
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
  s.pixels = std::move(image.pixels);
  return AddBitmap(std::move(s));
}

// Pens are solid and one pixel wide (a width of 0 or 1), the only kind the game draws
// outlines with; any other style or width is refused.
HPEN CreatePen(int style, int width, COLORREF colour) {
  Settle();
  if (style != PS_SOLID || width < 0 || width > 1) return 0;
  Object obj;
  obj.kind = Kind::Pen;
  obj.penPixel = PixelOf(colour);
  return Objects().Add(std::move(obj));
}

HGDIOBJ GetStockObject(int which) {
  Settle();
  Table& t = Objects();
  switch (which) {
    case NULL_BRUSH: return t.nullBrush;
    case BLACK_PEN: return t.blackPen;
    default: return 0;
  }
}

bool DeleteObject(HGDIOBJ obj) {
  Settle();
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
  Settle();
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
    Settle();
    return false;
  }
  PendingMask& pending = Pending();
  if (op == Op::Paint && pending.dst != nullptr &&
      pending.Pairs(sides, false, x, y, w, h, sx, sy, 0, 0)) {
    DrawMasked(*sides.src);
    return true;
  }
  Settle();
  Clipped c;
  if (!Clip(sides, x, y, w, h, sx, sy, c)) return true;
  Surface& d = *sides.dst;
  Surface& s = *sides.src;
  if (op == Op::And && s.mono && !d.mono && !d.exposed) {
    pending = {&d, &s, false, x, y, w, h, sx, sy, 0, 0, std::move(c), sides.colours()};
    return true;
  }
  // A copy onto the whole of a colour bitmap from rows of one as wide: made lazily.
  if (op == Op::Copy && !d.mono && !s.mono && c.Whole(d) && d.width == s.width &&
      c.from == &s && !d.exposed && s.shows == nullptr) {
    const int row = static_cast<int>(c.sy);
    if (d.shows == &s && d.showsRow == row) return true;
    CopyTags(Op::Copy, d, c, sides.colours());
    ForOverwrite(d);
    if (s.shownBy != nullptr) MakeReal(*s.shownBy);
    d.shows = &s;
    d.showsRow = row;
    s.shownBy = &d;
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
    Settle();
    return false;
  }
  PendingMask& pending = Pending();
  if (op == Op::Paint && pending.dst != nullptr &&
      pending.Pairs(sides, true, x, y, w, h, sx, sy, sw, sh)) {
    DrawMasked(*sides.src);
    return true;
  }
  Settle();
  if (w <= 0 || h <= 0 || sw <= 0 || sh <= 0) return true;
  Surface& d = *sides.dst;
  Surface& s = *sides.src;
  Stretch& st = Stretching();
  MapAxis(x, w, d.width, sx, sw, s.width, st.cols);
  MapAxis(y, h, d.height, sy, sh, s.height, st.rows);
  if (st.cols.lo.empty() || st.rows.lo.empty()) return true;
  if (op == Op::And && s.mono && !d.mono && !d.exposed) {
    pending = {&d, &s, true, x, y, w, h, sx, sy, sw, sh, Clipped(), sides.colours()};
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
  Settle();
  Sides sides;
  if (!SidesOf(dst, src, sides) || sides.dst->mono || sides.src->mono) return false;
  if (blend.BlendOp != 0 || blend.AlphaFormat != 0 || w != sw || h != sh) return false;
  Clipped c;
  if (!Clip(sides, x, y, w, h, sx, sy, c)) return true;
  Surface& d = *sides.dst;
  NewTags(d, c.Area());
  std::uint32_t* dp = ForWrite(d, c.Area());
  const std::uint32_t* sp = Pixels(*c.from);
  for (i64 row = 0; row < c.h; ++row) {
    BlendRow(dp + (c.dy + row) * d.width + c.dx, sp + (c.sy + row) * c.from->width + c.sx,
             static_cast<std::size_t>(c.w), blend.SourceConstantAlpha);
  }
  return true;
}

bool Rectangle(HDC dc, int left, int top, int right, int bottom) {
  Settle();
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
  const Rect area{x0, y0, x1 - x0 + 1, y1 - y0 + 1};
  NewTags(*s, area);
  std::uint32_t* const pixels = ForWrite(*s, area);
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
  Settle();
  Object* d = Objects().Find(dc, Kind::Context);
  return d != nullptr ? d->bitmap : 0;
}

const std::uint32_t* ColourBits(HBITMAP bmp, int* width, int* height) {
  Settle();
  Object* o = Objects().Find(bmp, Kind::Bitmap);
  if (o == nullptr || o->surface.mono) return nullptr;
  Surface& s = o->surface;
  if (s.shows != nullptr) MakeReal(s);
  Pixels(s);  // what waits is copied in: the pixels handed out are always current
  s.exposed = true;
  if (width != nullptr) *width = s.width;
  if (height != nullptr) *height = s.height;
  return s.pixels.data();
}

const std::uint32_t* ShownBits(HBITMAP bmp, int* width, int* height,
                               platform::FrameChanges* changes) {
  Settle();
  Object* o = Objects().Find(bmp, Kind::Bitmap);
  if (o == nullptr || o->surface.mono) return nullptr;
  if (width != nullptr) *width = o->surface.width;
  if (height != nullptr) *height = o->surface.height;
  if (changes != nullptr) ReportChanges(o->surface, *changes);
  return Pixels(o->surface);
}

std::int64_t PixelAt(HBITMAP bmp, int x, int y) {
  Settle();
  Object* o = Objects().Find(bmp, Kind::Bitmap);
  if (o == nullptr) return -1;
  const Surface& s = o->surface;
  if (x < 0 || y < 0 || x >= s.width || y >= s.height) return -1;
  const std::uint32_t p = Pixels(s)[static_cast<std::size_t>(y) * s.width + x];
  return s.mono ? (p != 0 ? 0xFFFFFF : 0) : p;
}

int LiveObjectCount() { return Objects().live; }

}  // namespace gdi
