// The board as the player sees it: canvas with its grid, items cut off at their height,
// an explosion and the hammer, rendered into a 640 x 480 buffer with the generated
// pictures. The frame is also written out as board_render.png beside the data folder
// for a person to look at.
#include <zlib.h>

#include <cstdio>
#include <string>
#include <vector>

#include "test_board_support.h"

using boardtest::BoardTest;
using boardtest::NoPress;
using boardtest::PressAt;

namespace {

::testing::Environment* const kEnv =
    ::testing::AddGlobalTestEnvironment(new boardtest::HeadlessEnvironment);

void PutBE32(std::string& out, std::uint32_t v) {
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<char>(v >> shift));
}

void PutChunk(std::string& out, const char* type, const std::string& data) {
  PutBE32(out, static_cast<std::uint32_t>(data.size()));
  const std::string body = std::string(type, 4) + data;
  out += body;
  PutBE32(out, static_cast<std::uint32_t>(
                   crc32(0, reinterpret_cast<const Bytef*>(body.data()), body.size())));
}

// An 8-bit RGB PNG of a 0x00RRGGBB bitmap.
bool SavePng(const std::string& path, gdi::HBITMAP bmp) {
  int w = 0;
  int h = 0;
  const std::uint32_t* px = gdi::ColourBits(bmp, &w, &h);
  if (!px) return false;
  std::string raw;
  for (int y = 0; y < h; ++y) {
    raw.push_back('\0');
    for (int x = 0; x < w; ++x) {
      const std::uint32_t p = px[y * w + x];
      raw.push_back(static_cast<char>(p >> 16));
      raw.push_back(static_cast<char>(p >> 8));
      raw.push_back(static_cast<char>(p));
    }
  }
  uLongf packedSize = compressBound(raw.size());
  std::string packed(packedSize, '\0');
  if (compress(reinterpret_cast<Bytef*>(&packed[0]), &packedSize,
               reinterpret_cast<const Bytef*>(raw.data()), raw.size()) != Z_OK)
    return false;
  packed.resize(packedSize);
  std::string png("\x89PNG\r\n\x1a\n", 8);
  std::string header;
  PutBE32(header, static_cast<std::uint32_t>(w));
  PutBE32(header, static_cast<std::uint32_t>(h));
  header += std::string("\x08\x02\x00\x00\x00", 5);
  PutChunk(png, "IHDR", header);
  PutChunk(png, "IDAT", packed);
  PutChunk(png, "IEND", "");
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return false;
  const bool ok = std::fwrite(png.data(), 1, png.size(), f) == png.size();
  return std::fclose(f) == 0 && ok;
}

std::uint32_t Pixel(gdi::HDC dc, int x, int y) {
  return static_cast<std::uint32_t>(gdi::PixelAt(gdi::CurrentBitmap(dc), x, y));
}

}  // namespace

class BoardRenderTest : public BoardTest {
 protected:
  void SetUp() override {
    if (!boardtest::DataDirExists()) GTEST_SKIP() << "no generated pictures";
    BoardTest::SetUp();
  }

  std::uint32_t CanvasAt(int x, int y) { return Pixel(board->GetCanvas().GetMemDC(), x, y); }

  // Checks the window pixels of the item in hole (row, col) at height h against the
  // canvas with the top min(h, H) rows of the sprite laid over it through its mask,
  // and the rows below that against the bare canvas.
  void ExpectCutOffItem(int row, int col, int kind, int hInt) {
    const CDrawMaskBMP& sprite = board->GetPointSprite(kind);
    ASSERT_TRUE(sprite.IsLoaded());
    const int w = sprite.GetWidth();
    const int hgt = sprite.GetHeight();
    const int left = 70 * col + 55 - w / 2;
    const int top = 70 * row + 20 + 70 - hInt;
    const int shown = std::min(hInt, hgt);
    int mismatches = 0;
    for (int j = 0; j < hInt + 5; ++j) {
      for (int i = 0; i < w; ++i) {
        const int x = left + i;
        const int y = top + j;
        std::uint32_t expected = CanvasAt(x - 20, y - 20);
        if (j < shown && Pixel(sprite.GetMaskDC(), i, j) == 0)
          expected = Pixel(sprite.GetForeDC(), i, j);
        if (back.At(x, y) != expected) ++mismatches;
      }
    }
    EXPECT_EQ(mismatches, 0) << "hole (" << row << ", " << col << ") height " << hInt;
    // Above the item the cell is bare canvas.
    for (int i = 0; i < w; ++i)
      EXPECT_EQ(back.At(left + i, top - 1), CanvasAt(left + i - 20, top - 21));
  }
};

TEST_F(BoardRenderTest, CanvasHasTheWallAndTwoLinesBetweenCells) {
  for (int y : {0, 35, 69, 70, 200, 349}) {
    for (int x : {69, 70, 139, 140, 279, 280}) EXPECT_EQ(CanvasAt(x, y), 0u) << x << "," << y;
    EXPECT_EQ(CanvasAt(0, y), 0u);
    EXPECT_EQ(CanvasAt(349, y), 0u);
    EXPECT_EQ(CanvasAt(y, 0), 0u);
    EXPECT_EQ(CanvasAt(y, 349), 0u);
  }
  // Inside a cell the wall tile shows (the grass is never pure black).
  EXPECT_NE(CanvasAt(35, 5), 0u);
  EXPECT_NE(CanvasAt(71, 71), 0u);
  EXPECT_NE(CanvasAt(68, 68), 0u);
  EXPECT_EQ(board->GetCanvas().GetWidth(), 350);
  EXPECT_EQ(board->GetCanvas().GetHeight(), 350);
}

TEST_F(BoardRenderTest, ItemsExplosionAndHammerOnTheBoard) {
  BoardTestAccess::Place(*board, 0, 0, HOLE_RISING, ITEM_1POINT, 10.4f);
  BoardTestAccess::Place(*board, 0, 2, HOLE_RISING, ITEM_2POINT, 30.0f);
  BoardTestAccess::Place(*board, 1, 1, HOLE_WAITING, ITEM_5POINT, 50.39997f);
  BoardTestAccess::Place(*board, 1, 3, HOLE_WAITING, ITEM_10POINT, 50.39997f);
  BoardTestAccess::Place(*board, 3, 0, HOLE_SINKING, ITEM_MINUS_TIMER, 25.6f);
  BoardTestAccess::Place(*board, 4, 4, HOLE_RISING, ITEM_PLUS_TIMER, 45.0f);
  BoardTestAccess::Place(*board, 2, 2, HOLE_WAITING, ITEM_2POINT, 50.39997f);
  headless::SetCursor(175, 185);

  // Tick 1000: the click hits hole (2, 2) and the hammer starts swinging.
  PressAt(175, 185);
  Pass();
  NoPress();
  ASSERT_EQ(board->GetExplosionCount(), 1);
  board->DrawHammer(back.dc);
  // The burst moves to its second frame and the hammer to its third.
  for (std::uint32_t t : {1030u, 1060u, 1090u}) {
    headless::SetTick(t);
    back.Clear();
    Pass();
    board->DrawHammer(back.dc);
  }
  headless::SetTick(1100);
  back.Clear();
  Pass();
  const int hammerFrame = board->GetHammer().GetCurrent();
  board->DrawHammer(back.dc);
  EXPECT_EQ(hammerFrame, 3);
  EXPECT_EQ(board->GetExplosion(0).GetCurrent(), 1);

  const std::string shot = std::string(TONKALO_DATA_DIR) + "/../board_render.png";
  EXPECT_TRUE(SavePng(shot, back.bmp)) << shot;

  ExpectCutOffItem(0, 0, ITEM_1POINT, 10);
  ExpectCutOffItem(0, 2, ITEM_2POINT, 30);
  ExpectCutOffItem(1, 1, ITEM_5POINT, 50);
  ExpectCutOffItem(1, 3, ITEM_10POINT, 50);
  ExpectCutOffItem(3, 0, ITEM_MINUS_TIMER, 25);
  // The empty bottom-left cells show the bare canvas; outside the board stays black.
  for (int y = 0; y < 70; ++y)
    for (int x = 0; x < 70; ++x)
      ASSERT_EQ(back.At(20 + 70 * 1 + x, 20 + 70 * 4 + y), CanvasAt(70 + x, 280 + y));
  EXPECT_EQ(back.Painted(380, 0, 640, 480), 0);
  EXPECT_EQ(back.Painted(0, 0, 640, 20), 0);
  // The burst over hole (2, 2) and the hammer around the cursor differ from the canvas.
  int burst = 0;
  for (int y = 165; y < 225; ++y)
    for (int x = 165; x < 225; ++x)
      if (back.At(x, y) != CanvasAt(x - 20, y - 20)) ++burst;
  EXPECT_GT(burst, 200);
}
