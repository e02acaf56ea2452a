#include "board/board.h"

#include <algorithm>
#include <cmath>

#include "audio/sound.h"
#include "platform/core/platform.h"
#include "services/crand.h"
#include "services/mouse.h"

std::int32_t deckPos = 0;
std::optional<CTimer> stepTimer;

void ResetBoardModuleState() {
  deckPos = 0;
  stepTimer.reset();
}

namespace {

// What hitting each kind of item does, by kind; the sound plays last.
struct HitEffect {
  int points;
  int stars;
  int seconds;
  int gauge;  // the colour gauge it feeds, -1 for none
  int sound;
};
constexpr HitEffect kHitEffects[CBoard::kItemKinds] = {
    {1, 1, 0, 3, 0},     // ITEM_1POINT: yellow
    {2, 0, 0, 1, 0},     // ITEM_2POINT: blue
    {5, 0, 0, 2, 0},     // ITEM_5POINT: green
    {10, 0, 0, 0, 0},    // ITEM_10POINT: red
    {0, 0, -30, -1, 4},  // ITEM_MINUS_TIMER
    {0, 0, 30, -1, 7},   // ITEM_PLUS_TIMER
};

constexpr gdi::COLORREF kWhite = gdi::RGB(255, 255, 255);
constexpr gdi::COLORREF kBlack = gdi::RGB(0, 0, 0);

const char* const kHammerFiles[] = {
    "BMP/Hammer1.bmp",  "BMP/Hammer5.bmp",  "BMP/Hammer9.bmp",
    "BMP/Hammer13.bmp", "BMP/Hammer17.bmp", "BMP/Hammer21.bmp",
};
const char* const kExplosionFiles[] = {
    "BMP/baku1.bmp", "BMP/baku2.bmp", "BMP/baku3.bmp", "BMP/baku4.bmp"};
const char* const kPointFiles[CBoard::kItemKinds] = {
    "BMP/1Point.bmp",  "BMP/2Point.bmp",       "BMP/5Point.bmp",
    "BMP/10Point.bmp", "BMP/minus_timer.bmp", "BMP/plus_timer.bmp",
};

// The deck's make-up, in the order the shuffle places it. The rare items are kept out
// of the early slots so that a game never opens on a timer or 10-point item.
struct DeckRow {
  std::int8_t kind;
  int copies;
  int firstSlot;
};
const DeckRow kDeckRows[] = {
    {ITEM_PLUS_TIMER, 1, 45}, {ITEM_MINUS_TIMER, 2, 39}, {ITEM_10POINT, 1, 45},
    {ITEM_5POINT, 3, 0},      {ITEM_2POINT, 40, 0},      {ITEM_1POINT, 10, 0},
};

constexpr std::uint32_t kSpawnIntervalStart = 1200;
constexpr std::int32_t kWaitTimeStart = 1000;
constexpr float kSpeedStart = 0.8f;
constexpr float kSpeedStep = 0.1f;
constexpr float kWaitFactor = 0.95f;
constexpr std::int32_t kWaitFloor = 600;
constexpr float kSpawnFactor = 0.9f;
constexpr std::uint32_t kSpawnFloor = 400;
constexpr std::uint32_t kStepIntervalMs = 10;
constexpr int kSpawnAttempts = 30001;

constexpr int kHammerFrames = 13;
constexpr int kHammerFrameMs = 25;
constexpr int kExplosionFrames = 5;
constexpr int kExplosionFrameMs = 80;

// Whether a strike at window point (x, y) meets the item of hole (r, c) risen to h.
// Item box: 32 wide around the cell's centre, its top at the item's top, at most 32
// deep. Hammer box: 30 x 30 hanging from the strike point. Edges count.
bool StrikeMeets(int r, int c, float h, int x, int y) {
  const int left = CBoard::kCellSize * c + 39;
  const int right = CBoard::kCellSize * c + 71;
  const int top = CBoard::kCellSize * r + 90 - static_cast<int>(h);
  const int depth = static_cast<int>(h > 32.0f ? 32.0f : h);
  return left <= x + 15 && x - 15 <= right && top <= y + 30 && y <= top + depth;
}

}  // namespace

CBoard::CBoard()
    : hWnd(nullptr),
      deck(),
      speed(kSpeedStart),
      spawnInterval(kSpawnIntervalStart),
      waitTime(kWaitTimeStart),
      hitCount(0),
      rampedAt(0),
      clicked(0),
      swinging(0),
      clickPoint(0, 0),
      explosionCount(0) {
  for (int k = 0; k < kMaxExplosions; ++k) explosionOrder[k] = k;
}

void CBoard::Init(gdi::HDC dc, HWND window) {
  hWnd = window;
  Reset();
  canvas.Create(dc, kCanvasSize, kCanvasSize);
  {
    CWallBMP wall("BMP/wall1.bmp");
    wall.Tile(canvas.GetMemDC(), CRect(0, 0, kCanvasSize, kCanvasSize));
    wall.Release();
  }
  DrawGrid(canvas.GetMemDC());
  LoadSprites();
}

void CBoard::DrawGrid(gdi::HDC dc) {
  CPenSelect pen(dc);
  gdi::SelectObject(dc, gdi::GetStockObject(gdi::NULL_BRUSH));
  for (int i = 0; i < kCols; ++i) {
    for (int j = 0; j < kRows; ++j) {
      gdi::Rectangle(dc, kCellSize * i, kCellSize * j, kCellSize * i + kCellSize,
                     kCellSize * j + kCellSize);
    }
  }
}

void CBoard::LoadSprites() {
  hammer.Init(kHammerFrames, kHammerFrameMs);
  for (int f = 0; f < 6; ++f) hammer.LoadTexture(f, kHammerFiles[f], kWhite);
  for (CPata& explosion : explosions) {
    explosion.Init(kExplosionFrames, kExplosionFrameMs);
    for (int f = 0; f < 4; ++f) explosion.LoadTexture(f, kExplosionFiles[f], kBlack);
  }
  for (int k = 0; k < kItemKinds; ++k) pointSprites[k].Load(kPointFiles[k], kBlack);
}

void CBoard::Reset() {
  spawnTimer.SetInterval(kSpawnIntervalStart);
  spawnTimer.Restart();
  rampedAt = 0;
  hitCount = 0;
  speed = kSpeedStart;
  spawnInterval = kSpawnIntervalStart;
  waitTime = kWaitTimeStart;
  clicked = 0;
  swinging = 0;
  clickPoint = CPoint(-1, -1);
  explosionCount = 0;
  for (auto& row : holes) {
    for (CHole& hole : row) {
      hole.height = 0.0f;
      hole.state = HOLE_EMPTY;
      hole.kind = ITEM_NONE;
    }
  }
  ShuffleDeck();
}

void CBoard::Release() {
  canvas.Release();
  for (CDrawMaskBMP& sprite : pointSprites) sprite.Release();
  hammer.Release();
  for (CPata& explosion : explosions) explosion.Release();
}

void CBoard::ShuffleDeck() {
  std::fill(std::begin(deck), std::end(deck), -1);
  for (const DeckRow& row : kDeckRows) {
    for (int copy = 0; copy < row.copies; ++copy) {
      for (;;) {
        const int slot = crt::rand() % kDeckSize;
        if (slot < row.firstSlot || deck[slot] != -1) continue;
        deck[slot] = row.kind;
        break;
      }
    }
  }
  platform::TraceEvent("shuffle").Ints("deck", deck, kDeckSize);
}

void CBoard::Spawn() {
  for (int attempt = 0; attempt < kSpawnAttempts; ++attempt) {
    const int col = crt::rand() % kCols;
    const int row = crt::rand() % kRows;
    CHole& hole = holes[row][col];
    if (hole.state == HOLE_EMPTY && hole.kind == ITEM_NONE) {
      hole.state = HOLE_RISING;
      hole.kind = static_cast<std::int8_t>(deck[deckPos]);
      platform::TraceEvent("spawn")
          .Int("row", row)
          .Int("col", col)
          .Int("kind", hole.kind)
          .Int("slot", deckPos);
      ++deckPos;
      break;
    }
  }
  if (deckPos >= kDeckSize) {
    deckPos = 0;
    ShuffleDeck();
  }
}

void CBoard::Update() {
  if (spawnTimer.Expired()) Spawn();

  if (hitCount != rampedAt) {
    // Products are formed in double from the single-precision constants; the ramp's
    // values (949, 971, ...) depend on exactly this rounding.
    if (hitCount % 10 == 0) {
      speed = static_cast<float>(static_cast<double>(speed) +
                                 static_cast<double>(kSpeedStep));
      const double wait = static_cast<double>(waitTime) * static_cast<double>(kWaitFactor);
      waitTime = wait < kWaitFloor ? kWaitFloor : static_cast<std::int32_t>(wait);
    }
    if (hitCount % 5 == 0) {
      const double interval =
          static_cast<double>(spawnInterval) * static_cast<double>(kSpawnFactor);
      spawnInterval =
          interval < kSpawnFloor ? kSpawnFloor : static_cast<std::uint32_t>(interval);
      spawnTimer.SetInterval(spawnInterval);
      spawnTimer.Restart();
      rampedAt = hitCount;
      platform::TraceEvent("ramp")
          .Int("hits", hitCount)
          .Num("speed", speed)
          .Int("waitTime", waitTime)
          .Int("spawnInterval", spawnInterval);
    }
  }

  if (!stepTimer) {
    stepTimer.emplace();
    stepTimer->Start(kStepIntervalMs);
  }
  if (!stepTimer->Expired()) return;
  for (auto& row : holes) {
    for (CHole& hole : row) {
      switch (hole.state) {
        case HOLE_RISING:
          hole.height += speed;
          if (hole.height >= kFullHeight) {
            hole.state = HOLE_WAITING;
            hole.waitTimer.SetInterval(static_cast<std::uint32_t>(waitTime));
            hole.waitTimer.Restart();
          }
          break;
        case HOLE_WAITING:
          if (hole.waitTimer.Expired()) hole.state = HOLE_SINKING;
          break;
        case HOLE_SINKING:
          hole.height -= speed;
          if (hole.height <= 0.0f) hole.state = HOLE_GONE;
          break;
        default:
          break;
      }
    }
  }
}

void CBoard::DrawCanvas(gdi::HDC dc, int x, int y) {
  gdi::BitBlt(dc, x, y, kCanvasSize, kCanvasSize, canvas.GetMemDC(), 0, 0, gdi::SRCCOPY);
}

void CBoard::RepaintCell(gdi::HDC dc, int row, int col) {
  gdi::BitBlt(dc, kCellSize * col + kOriginX, kCellSize * row + kOriginY, kCellSize,
              kCellSize, canvas.GetMemDC(), kCellSize * col, kCellSize * row,
              gdi::SRCCOPY);
}

// The item comes up through the bottom edge of its cell, top first: only the rows that
// have risen are copied, straight from the sprite's mask and picture.
void CBoard::DrawItem(gdi::HDC dc, int row, int col, float height, int kind) {
  if (kind < 0 || kind >= kItemKinds) return;
  const CDrawMaskBMP& sprite = pointSprites[kind];
  if (!sprite.IsLoaded()) return;
  const int hInt = static_cast<int>(height);
  const int w = sprite.GetWidth();
  const int rows = std::min(hInt, sprite.GetHeight());
  if (rows <= 0 || w <= 0) return;
  const int x = kCellSize * col + 55 - w / 2;
  const int y = kCellSize * row + kOriginY + (kCellSize - hInt);
  gdi::BitBlt(dc, x, y, w, rows, sprite.GetMaskDC(), 0, 0, gdi::SRCAND);
  gdi::BitBlt(dc, x, y, w, rows, sprite.GetForeDC(), 0, 0, gdi::SRCPAINT);
}

void CBoard::DrawAndHit(gdi::HDC dc, int playing, int& scoreAdd, int& timeAdd,
                        int& stars, int& misses, int gaugeFlags[4]) {
  if (MousePressed() && playing == 1) {
    int x = 0;
    int y = 0;
    GetClientCursorPos(hWnd, x, y);
    clickPoint = CPoint(x, y);
    clicked = 1;
    swinging = 1;
    PlaySoundEffect(3);
  }

  int hit = 0;
  for (int r = 0; r < kRows; ++r) {
    for (int c = 0; c < kCols; ++c) {
      CHole& hole = holes[r][c];
      const float h = hole.height;

      if (IsLive(hole.state)) {
        DrawItem(dc, r, c, h, hole.kind);
      } else if (hole.state == HOLE_GONE) {
        RepaintCell(dc, r, c);
        hole.state = HOLE_EMPTY;
        hole.height = 0.0f;
        hole.kind = ITEM_NONE;
      }

      if (clicked != 1) continue;
      if (!StrikeMeets(r, c, h, clickPoint.x, clickPoint.y) || !IsLive(hole.state)) continue;

      hit = 1;
      ++hitCount;
      platform::TraceEvent("hit").Int("row", r).Int("col", c).Int("kind", hole.kind);
      ApplyHit(hole.kind, scoreAdd, timeAdd, stars, gaugeFlags);
      hole.state = HOLE_GONE;
      hole.height = 0.0f;
      hole.kind = ITEM_NONE;
      // With every slot busy the hit keeps its effect but gets no explosion.
      if (explosionCount < kMaxExplosions) {
        explosions[explosionOrder[explosionCount]].Reset();
        explosionCells[explosionCount] = CPoint(c, r);
        ++explosionCount;
      }
    }
  }

  if (playing == 1 && clicked == 1 && !hit) {
    ++misses;
    platform::TraceEvent("miss").Int("misses", misses);
    PlaySoundEffect(misses >= 10 ? 9 : 4);
  }
  clicked = 0;

  int k = 0;
  while (k < explosionCount) {
    const CPoint cell = explosionCells[k];
    CPata& explosion = explosions[explosionOrder[k]];
    if (!explosion.DrawAt(dc, kCellSize * cell.x + 25, kCellSize * cell.y + 25, 0, 0)) {
      ++k;
      continue;
    }
    RepaintCell(dc, cell.y, cell.x);
    const int finished = explosionOrder[k];
    for (int j = k; j < kMaxExplosions - 1; ++j) {
      explosionOrder[j] = explosionOrder[j + 1];
      explosionCells[j] = explosionCells[j + 1];
    }
    explosionOrder[kMaxExplosions - 1] = finished;
    --explosionCount;
  }
}

bool CBoard::IsLive(std::int32_t state) {
  return state == HOLE_RISING || state == HOLE_WAITING || state == HOLE_SINKING;
}

// The middle of StrikeMeets' band: the hammer box reaches 15 either side of the item box
// (39 to 71 in the cell) and hangs 30 below the strike point.
void CBoard::StrikeAim(int row, int col, float height, float& x, float& y) {
  const float top = kCellSize * row + 90 - std::floor(height);
  const float depth = std::floor(height > 32.0f ? 32.0f : height);
  x = kCellSize * col + 55.0f;
  y = top + (depth - 30.0f) / 2.0f;
}

bool CBoard::StrikeWouldHit(int row, int col, int x, int y) const {
  if (row < 0 || row >= kRows || col < 0 || col >= kCols) return false;
  const CHole& hole = holes[row][col];
  return IsLive(hole.state) && StrikeMeets(row, col, hole.height, x, y);
}

void CBoard::ApplyHit(int kind, int& scoreAdd, int& timeAdd, int& stars,
                      int gaugeFlags[4]) {
  if (kind < 0 || kind >= kItemKinds) return;
  const HitEffect& effect = kHitEffects[kind];
  scoreAdd += effect.points;
  stars += effect.stars;
  timeAdd += effect.seconds;
  if (effect.gauge >= 0) gaugeFlags[effect.gauge] = 1;
  PlaySoundEffect(effect.sound);
}

void CBoard::DrawHammer(gdi::HDC dc) {
  int x = 0;
  int y = 0;
  GetClientCursorPos(hWnd, x, y);
  if (!swinging) {
    hammer.DrawFrame(dc, 0, x - 25, y - 15, 0, 0);
  } else if (hammer.DrawAt(dc, x - 25, y - 15, 0, 0)) {
    swinging = 0;
  }
}
