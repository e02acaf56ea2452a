#include "hud/counter_box.h"

namespace {

constexpr gdi::COLORREF kBoxKey = gdi::RGB(255, 255, 255);
constexpr int kCanvasWidth = 120;
constexpr int kCanvasHeight = 36;
// drawnValue after a reset: a value no draw has produced yet.
constexpr int kNothingDrawn = 999;

}  // namespace

CNumberBox::CNumberBox() = default;

CNumberBox::~CNumberBox() { Release(); }

int CNumberBox::LoadBox(const char* path) { return box.Load(path, kBoxKey); }

int CNumberBox::LoadDigits(const char* path, gdi::COLORREF key, int glyphWidth) {
  return digits.Load(path, key, glyphWidth);
}

void CNumberBox::CreateCanvas(gdi::HDC windowDC) {
  canvas = std::make_unique<CDrawDCBMP>();
  canvas->Create(windowDC, kCanvasWidth, kCanvasHeight);
}

void CNumberBox::ReleaseCanvas() {
  if (canvas) {
    canvas->Release();
    canvas.reset();
  }
}

void CNumberBox::Reset(int v) {
  counter.value = v;
  counter.pending = 0;
  counter.drawnValue = (v == kNothingDrawn) ? 0 : kNothingDrawn;
}

void CNumberBox::Step() {
  if (counter.pending > 0) {
    counter.pending -= 1;
    counter.value += 1;
  } else if (counter.pending < 0) {
    counter.pending += 1;
    counter.value -= 1;
  }
}

void CNumberBox::DrawBox(gdi::HDC dc, int x, int y) { box.Draw(dc, x, y); }

bool CNumberBox::BeginNumberDraw(int force) {
  // A time run below zero by a minus-30 s item is shown, and kept, as 0.
  if (counter.value < 0) counter.value = 0;
  if (counter.drawnValue == counter.value && force == 0) return false;
  counter.drawnValue = counter.value;
  return true;
}

void CNumberBox::DrawTime(gdi::HDC dc, int x, int y, int force) {
  if (!BeginNumberDraw(force)) return;
  digits.RenderTime(dc, x, y, static_cast<std::uint32_t>(counter.value));
}

void CNumberBox::DrawScore(gdi::HDC dc, int x, int y, int force) {
  if (!BeginNumberDraw(force)) return;
  digits.RenderScore(dc, x, y, static_cast<std::uint32_t>(counter.value));
}

void CNumberBox::Release() {
  box.Release();
  digits.Release();
  ReleaseCanvas();
}

CIconBox::CIconBox()
    : iconCount(0),
      drawnCount(kNothingDrawn),
      threshold(0),
      animating(0),
      repeats(0),
      cyclesPlayed(0) {}

CIconBox::~CIconBox() { Release(); }

int CIconBox::LoadBox(const char* path) { return box.Load(path, kBoxKey); }

void CIconBox::LoadIcons(const char* iconPath, gdi::COLORREF iconKey, const char* secondPath,
                         gdi::COLORREF secondKey, int cols, int rows) {
  icons.Load(iconPath, iconKey, secondPath, secondKey, cols, rows);
}

void CIconBox::LoadAnimation(int frameCount, int frameMs, int cols, int rows) {
  animation.Setup(frameCount, frameMs, cols, rows);
}

void CIconBox::LoadFrame(int index, const char* path, gdi::COLORREF key) {
  animation.LoadTexture(index, path, key);
}

void CIconBox::Reset(int newRepeats, int newThreshold) {
  iconCount = 0;
  drawnCount = kNothingDrawn;
  threshold = newThreshold;
  animating = 0;
  cyclesPlayed = 0;
  repeats = newRepeats;
}

int CIconBox::TakeTrigger() {
  if (iconCount < threshold) return 0;
  iconCount -= threshold;
  animating = 1;
  return 1;
}

void CIconBox::DrawBox(gdi::HDC dc, int x, int y) { box.Draw(dc, x, y); }

void CIconBox::Draw(gdi::HDC dc, int x, int y, int force) {
  if (animating == 1) {
    // The run is repeats + 1 whole cycles; the icons earned meanwhile wait for its end.
    if (animation.DrawTiled(dc, x, y)) {
      cyclesPlayed += 1;
      if (cyclesPlayed > repeats) {
        cyclesPlayed = 0;
        animating = 0;
      }
    }
    return;
  }
  if (drawnCount != iconCount || force == 1) {
    icons.DrawIcons(dc, x, y, iconCount);
    drawnCount = iconCount;
  }
}

void CIconBox::Release() {
  box.Release();
  icons.Release();
  animation.Release();
}
