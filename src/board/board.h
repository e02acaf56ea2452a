// The whack board: 5 x 5 holes of 70 x 70 pixels whose canvas sits at (20, 20) in the
// window. Items are dealt from a 57-slot deck into random empty holes, rise, wait and
// sink; clicks in play hit them, and the hammer and explosions are drawn on top.
// CGame owns the one board: Init at asset loading, Reset at each game start, Update in
// play, DrawCanvas + DrawAndHit on the play layout, DrawHammer on every screen.
#pragma once

#include <cstdint>
#include <optional>

#include "gfx/dc_bmp.h"
#include "gfx/mask_bmp.h"
#include "gfx/pata.h"
#include "platform/raster/gdi.h"
#include "services/geometry.h"
#include "services/timer.h"
#include "services/window.h"

// What a hole holds; also the index of the item's sprite.
enum ItemKind : std::int8_t {
  ITEM_NONE = -1,
  ITEM_1POINT = 0,
  ITEM_2POINT = 1,
  ITEM_5POINT = 2,
  ITEM_10POINT = 3,
  ITEM_MINUS_TIMER = 4,
  ITEM_PLUS_TIMER = 5,
};

enum HoleState : std::int32_t {
  HOLE_GONE = -1,     // hit or sunk; the next draw pass empties it
  HOLE_EMPTY = 0,     // can receive an item
  HOLE_RISING = 1,
  HOLE_SINKING = 2,
  HOLE_WAITING = 3,
};

struct CHole {
  float height = 0.0f;           // pixels risen; a rising item stops a little above 50
  std::int32_t state = HOLE_EMPTY;
  std::int8_t kind = ITEM_NONE;
  CTimer waitTimer;              // times the waiting phase
};

// Program-wide, outliving every game: no Reset touches them. deckPos is the next deck
// slot to deal (a new game deals on from where the last one stopped); stepTimer paces
// the 10 ms movement steps. stepTimer stays empty until the first Update of the run
// starts it, which also keeps the tick counter from being read during static set-up.
extern std::int32_t deckPos;
extern std::optional<CTimer> stepTimer;
// Puts deckPos and stepTimer back to their start-of-program state; for tests that need
// a fresh run inside one process.
void ResetBoardModuleState();

class CBoard {
 public:
  static constexpr int kRows = 5;
  static constexpr int kCols = 5;
  static constexpr int kCellSize = 70;
  static constexpr int kCanvasSize = 350;
  static constexpr int kOriginX = 20;  // canvas top-left in the window
  static constexpr int kOriginY = 20;
  static constexpr int kDeckSize = 57;
  static constexpr int kMaxExplosions = 25;
  static constexpr int kItemKinds = 6;
  static constexpr float kFullHeight = 50.0f;  // a rising item waits once this high

  CBoard();
  CBoard(const CBoard&) = delete;
  CBoard& operator=(const CBoard&) = delete;

  // Once, at asset loading: keeps the window, resets, builds the canvas (wall tiles
  // and grid) and loads the sprites and animations.
  void Init(gdi::HDC dc, HWND hWnd);
  // At each game start (the caller has just seeded crt::srand(100)).
  void Reset();
  // At shutdown; frees the canvas and the item sprites.
  void Release();
  void ShuffleDeck();
  void Spawn();
  void LoadSprites();
  // One-pixel black outline on every cell of a 5 x 5 grid of 70-pixel cells.
  static void DrawGrid(gdi::HDC dc);

  // One frame of play: spawn, difficulty ramp, at most one movement step.
  void Update();
  // Copies the whole canvas into dc at (x, y).
  void DrawCanvas(gdi::HDC dc, int x, int y);
  // The per-frame pass: takes a click in play (playing = 1), draws the items, tests
  // the click, applies hits to the counters handed in, counts a miss, draws and retires
  // explosions. gaugeFlags must be zeroed by the caller; the board only raises them.
  void DrawAndHit(gdi::HDC dc, int playing, int& scoreAdd, int& timeAdd, int& stars,
                  int& misses, int gaugeFlags[4]);
  // The effect of hitting one item of `kind`, its sound last.
  void ApplyHit(int kind, int& scoreAdd, int& timeAdd, int& stars, int gaugeFlags[4]);
  // The hammer cursor at the mouse; ends the swing when its animation wraps.
  void DrawHammer(gdi::HDC dc);

  const CHole& GetHole(int row, int col) const { return holes[row][col]; }
  // Whether a strike at window point (x, y) would hit the item of hole (row, col) as
  // it stands now: the test DrawAndHit makes.
  bool StrikeWouldHit(int row, int col, int x, int y) const;
  // The strike point surest to hit the item of (row, col) risen to `height`.
  static void StrikeAim(int row, int col, float height, float& x, float& y);
  static bool IsLive(std::int32_t state);  // rising, waiting or sinking
  const std::int32_t* GetDeck() const { return deck; }
  float GetSpeed() const { return speed; }
  std::uint32_t GetSpawnInterval() const { return spawnInterval; }
  std::int32_t GetWaitTime() const { return waitTime; }
  std::int32_t GetHitCount() const { return hitCount; }
  std::int32_t GetRampedAt() const { return rampedAt; }
  int IsClicked() const { return clicked; }
  int IsSwinging() const { return swinging; }
  std::int32_t GetExplosionCount() const { return explosionCount; }
  // x = column, y = row of the explosion in queue slot k.
  CPoint GetExplosionCell(int k) const { return explosionCells[k]; }
  const CPata& GetExplosion(int k) const { return explosions[explosionOrder[k]]; }
  const CPata& GetHammer() const { return hammer; }
  const CDrawDCBMP& GetCanvas() const { return canvas; }
  const CDrawMaskBMP& GetPointSprite(int kind) const { return pointSprites[kind]; }

 private:
  // Tests place items at chosen heights and states through this.
  friend struct BoardTestAccess;

  void DrawItem(gdi::HDC dc, int row, int col, float height, int kind);
  void RepaintCell(gdi::HDC dc, int row, int col);

  HWND hWnd;
  CHole holes[kRows][kCols];
  std::int32_t deck[kDeckSize];
  float speed;
  CTimer spawnTimer;
  std::uint32_t spawnInterval;
  std::int32_t waitTime;
  std::int32_t hitCount;
  std::int32_t rampedAt;
  CDrawDCBMP canvas;
  CDrawMaskBMP pointSprites[kItemKinds];
  std::int32_t clicked;
  std::int32_t swinging;
  CPata hammer;
  CPoint clickPoint;
  std::int32_t explosionCount;
  // Animations cannot be copied, so the queue moves indices: queue slot k is played by
  // explosions[explosionOrder[k]] and a removal rotates the later indices down, each
  // animation keeping its frame position and timer.
  CPata explosions[kMaxExplosions];
  int explosionOrder[kMaxExplosions];
  CPoint explosionCells[kMaxExplosions];
};
