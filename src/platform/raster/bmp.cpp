#include "platform/raster/bmp.h"

#include <algorithm>
#include <new>
#include <utility>

namespace gdi {
namespace {

using u64 = std::uint64_t;

constexpr std::uint32_t kRgb = 0, kRle8 = 1, kRle4 = 2, kBitFields = 3;  // compressions
constexpr u64 kFileHeaderSize = 14, kCoreHeaderSize = 12, kInfoHeaderSize = 40;

// Little-endian reads; every caller has checked that the bytes are there.
std::uint32_t U16(const std::uint8_t* p) { return p[0] | (std::uint32_t{p[1]} << 8); }
std::uint32_t U32(const std::uint8_t* p) { return U16(p) | (U16(p + 2) << 16); }

// One colour channel of a 16- or 32-bit pixel, widened or narrowed to 8 bits. Narrow
// channels repeat their bits downwards (5 bits abcde become abcdeabc), so that full
// scale stays full scale.
struct Channel {
  std::uint32_t mask;
  int shift = 0, bits = 0;

  explicit Channel(std::uint32_t m) : mask(m) {
    while (m != 0 && ((m >> shift) & 1u) == 0) ++shift;
    for (std::uint32_t rest = m >> shift; rest != 0; rest >>= 1) ++bits;
  }

  std::uint32_t Extract(std::uint32_t pixel) const {
    if (bits == 0) return 0;
    const std::uint32_t v = (pixel & mask) >> shift;
    std::uint32_t r = v;
    int n = bits;
    for (; n < 8; n += bits) r = (r << bits) | v;
    return (r >> (n - 8)) & 0xFF;
  }
};

struct Layout {
  int width = 0, height = 0;
  bool topDown = false;
  unsigned bpp = 0;
  std::uint32_t compression = kRgb;
  std::uint32_t masks[3] = {0, 0, 0};
  std::uint32_t palette[256] = {};
  std::size_t entries = 0;
  u64 dataOffset = 0;
};

bool ReadLayout(const std::uint8_t* data, std::size_t size, Layout& lay) {
  if (size < kFileHeaderSize + 4 || data[0] != 'B' || data[1] != 'M') return false;
  const u64 offBits = U32(data + 10);
  const u64 headerSize = U32(data + kFileHeaderSize);
  const bool core = headerSize == kCoreHeaderSize;
  if (size - kFileHeaderSize < headerSize) return false;
  if (!core && headerSize != 40 && headerSize != 52 && headerSize != 56 && headerSize != 108 &&
      headerSize != 124) {
    return false;
  }
  const std::uint8_t* h = data + kFileHeaderSize;

  // The core header's fields are 16 bits and unsigned, the others' sides signed 32.
  const std::int64_t width = core ? std::int64_t{U16(h + 4)} : std::int32_t(U32(h + 4));
  std::int64_t height = core ? std::int64_t{U16(h + 6)} : std::int32_t(U32(h + 8));
  const std::uint32_t planes = U16(h + (core ? 8 : 12));
  lay.bpp = U16(h + (core ? 10 : 14));
  lay.compression = core ? kRgb : U32(h + 16);
  const std::uint32_t clrUsed = core ? 0 : U32(h + 32);
  if (planes != 1) return false;
  lay.topDown = height < 0;
  if (height < 0) height = -height;
  if (width < 1 || width > kMaxPictureSide || height < 1 || height > kMaxPictureSide ||
      width * height > kMaxPicturePixels) {
    return false;
  }
  lay.width = static_cast<int>(width);
  lay.height = static_cast<int>(height);

  const unsigned bpp = lay.bpp;
  const bool depthOk =
      lay.compression == kRgb
          ? bpp == 1 || bpp == 4 || bpp == 8 || bpp == 24 || (!core && (bpp == 16 || bpp == 32))
      : lay.compression == kRle8 ? bpp == 8 && !lay.topDown
      : lay.compression == kRle4 ? bpp == 4 && !lay.topDown
      : lay.compression == kBitFields && (bpp == 16 || bpp == 32);
  if (!depthOk) return false;

  u64 pos = kFileHeaderSize + headerSize;
  if (lay.compression == kBitFields) {
    const std::uint8_t* m = h + kInfoHeaderSize;
    if (headerSize == kInfoHeaderSize) {
      if (size - pos < 12) return false;
      m = data + pos;
      pos += 12;
    }
    for (int i = 0; i < 3; ++i) lay.masks[i] = U32(m + 4 * i);
  } else {
    const std::uint32_t rgb555[3] = {0x7C00, 0x03E0, 0x001F};
    const std::uint32_t rgb888[3] = {0xFF0000, 0x00FF00, 0x0000FF};
    std::copy_n(bpp == 16 ? rgb555 : rgb888, 3, lay.masks);
  }

  if (bpp <= 8) {
    const u64 most = u64{1} << bpp;
    const u64 entries = (clrUsed == 0 || clrUsed > most) ? most : clrUsed;
    const u64 entrySize = core ? 3 : 4;
    if (size - pos < entries * entrySize) return false;
    lay.entries = static_cast<std::size_t>(entries);
    for (u64 i = 0; i < entries; ++i) {
      const std::uint8_t* e = data + pos + i * entrySize;
      lay.palette[i] = (std::uint32_t{e[2]} << 16) | (std::uint32_t{e[1]} << 8) | e[0];
    }
    pos += entries * entrySize;
  }

  // Pixels start where the file header says; a zero there means right after the
  // colour table. An offset into the headers themselves is nonsense.
  lay.dataOffset = offBits != 0 ? offBits : pos;
  if (lay.dataOffset < kFileHeaderSize + headerSize || lay.dataOffset > size) return false;
  return true;
}

u64 Stride(const Layout& lay) { return (static_cast<u64>(lay.width) * lay.bpp + 31) / 32 * 4; }

bool DecodeRows(const std::uint8_t* data, const Layout& lay,
                std::vector<std::uint32_t>& px) {
  const u64 stride = Stride(lay);
  const Channel red(lay.masks[0]), green(lay.masks[1]), blue(lay.masks[2]);
  const std::size_t entries = lay.entries;
  const std::size_t w = static_cast<std::size_t>(lay.width);
  for (int r = 0; r < lay.height; ++r) {
    const std::uint8_t* row = data + lay.dataOffset + static_cast<u64>(r) * stride;
    const int y = lay.topDown ? r : lay.height - 1 - r;
    std::uint32_t* out = px.data() + static_cast<std::size_t>(y) * w;
    for (std::size_t x = 0; x < w; ++x) {
      if (lay.bpp <= 8) {
        const std::uint32_t index = lay.bpp == 1   ? (row[x >> 3] >> (7 - (x & 7))) & 1u
                                    : lay.bpp == 4 ? (row[x >> 1] >> ((x & 1) ? 0 : 4)) & 0xFu
                                                   : row[x];
        if (index >= entries) return false;
        out[x] = lay.palette[index];
      } else if (lay.bpp == 24) {
        const std::uint8_t* p = row + 3 * x;
        out[x] = (std::uint32_t{p[2]} << 16) | (std::uint32_t{p[1]} << 8) | p[0];
      } else {  // 16 and 32 bits, through the channel masks
        const std::uint32_t v = lay.bpp == 16 ? U16(row + 2 * x) : U32(row + 4 * x);
        out[x] = (red.Extract(v) << 16) | (green.Extract(v) << 8) | blue.Extract(v);
      }
    }
  }
  return true;
}

// RLE pictures are bottom-up; y counts rows from the bottom. Every index must be in
// the colour table, and runs and skips must stay inside the picture and inside the row
// as stored, padded to 32 bits: some encoders (ImageMagick among them) encode that
// padding as pixels, and the Windows loader shows such files, so pixels past the width
// but within the padding are dropped.
bool DecodeRle(const std::uint8_t* data, std::size_t size, const Layout& lay,
               std::vector<std::uint32_t>& px) {
  const bool four = lay.compression == kRle4;
  const u64 w = static_cast<u64>(lay.width);
  const u64 h = static_cast<u64>(lay.height);
  const u64 rowLimit = Stride(lay) * 8 / lay.bpp;
  const std::size_t entries = lay.entries;
  const std::uint8_t* p = data + lay.dataOffset;
  const std::uint8_t* const end = data + size;
  u64 x = 0;
  u64 y = 0;
  const auto put = [&](u64 at, std::uint32_t index) {
    if (index >= entries) return false;
    if (at < w) px[static_cast<std::size_t>((h - 1 - y) * w + at)] = lay.palette[index];
    return true;
  };
  while (true) {
    if (end - p < 2) return y >= h;  // the end-of-picture mark may be missing at the end
    const unsigned n = p[0];
    const unsigned c = p[1];
    p += 2;
    if (n > 0) {
      if (y >= h || x + n > rowLimit) return false;
      for (unsigned k = 0; k < n; ++k) {
        if (!put(x + k, four ? ((k & 1) ? (c & 0xF) : (c >> 4)) : c)) return false;
      }
      x += n;
      continue;
    }
    if (c == 0) {  // end of line
      x = 0;
      if (++y > h) return false;
    } else if (c == 1) {  // end of picture
      return true;
    } else if (c == 2) {  // skip right and up
      if (end - p < 2) return false;
      x += p[0], y += p[1], p += 2;
      if (x > rowLimit || y >= h) return false;
    } else {  // c literal indices, the run padded to a whole 16-bit word
      const u64 padded = ((four ? (c + 1) / 2 : c) + 1) & ~u64{1};
      if (static_cast<u64>(end - p) < padded || y >= h || x + c > rowLimit) return false;
      for (unsigned k = 0; k < c; ++k) {
        if (!put(x + k, four ? ((k & 1) ? (p[k / 2] & 0xF) : (p[k / 2] >> 4)) : p[k])) return false;
      }
      x += c, p += padded;
    }
  }
}

}  // namespace

bool DecodeBmp(const std::uint8_t* data, std::size_t size, DecodedBmp& out) {
  out = DecodedBmp();
  if (data == nullptr) return false;
  Layout lay;
  if (!ReadLayout(data, size, lay)) return false;
  std::vector<std::uint32_t> px;
  const bool rle = lay.compression == kRle8 || lay.compression == kRle4;
  // An uncompressed picture must be all there before its pixels are allocated.
  if (!rle && (size - lay.dataOffset) / Stride(lay) < static_cast<u64>(lay.height)) return false;
  try {
    px.assign(static_cast<std::size_t>(lay.width) * static_cast<std::size_t>(lay.height),
              rle ? lay.palette[0] : 0u);
  } catch (const std::bad_alloc&) {
    return false;
  }
  if (!(rle ? DecodeRle(data, size, lay, px) : DecodeRows(data, lay, px))) return false;
  out.width = lay.width, out.height = lay.height, out.pixels = std::move(px);
  return true;
}

}  // namespace gdi
