#include "hud/gauges.h"

namespace {

constexpr gdi::COLORREF kWhite = gdi::RGB(255, 255, 255);
constexpr gdi::COLORREF kBlack = gdi::RGB(0, 0, 0);
constexpr gdi::COLORREF kGreen = gdi::RGB(0, 255, 0);

constexpr const char* kFramePath = "BMP/GaugeWaku.bmp";
constexpr const char* kMaxPath = "BMP/MAX2.bmp";
constexpr const char* kLetterPaths[kGaugeCount] = {
    "BMP/letter_red.bmp", "BMP/letter_blue.bmp", "BMP/letter_green.bmp",
    "BMP/letter_yellow.bmp"};
constexpr const char* kFillPaths[kGaugeCount] = {
    "BMP/GaugeNakami_R.bmp", "BMP/GaugeNakami_B.bmp", "BMP/GaugeNakami_G.bmp",
    "BMP/GaugeNakami_Y.bmp"};

struct Place {
  int x;
  int y;
};
constexpr Place kLetterAt[kGaugeCount] = {{10, 395}, {205, 395}, {405, 395}, {385, 355}};
constexpr Place kFrameAt[kGaugeCount] = {{65, 392}, {275, 392}, {495, 392}, {495, 352}};

// Where in the wall picture each frame canvas takes its background from.
constexpr int kWallSampleX = 470;
constexpr int kWallSampleY = 396;
constexpr int kWallSampleStep = 35;

// The fill lies inside the frame at (2, 3) and is 117 pixels at its widest.
constexpr int kFillDx = 2;
constexpr int kFillDy = 3;
constexpr int kFillFullWidth = 117;
constexpr int kMaxDx = 25;

// One blink cycle is kBlinkPeriod inner counts, the mark showing in its second half; a
// MAX period is kBlinkPeriod cycles.
constexpr int kBlinkPeriod = 30;
constexpr int kBlinkShowFrom = 15;

// Shared by all four gauges and kept across games: two gauges at MAX together count
// them down twice per frame.
int blinkInner = kBlinkPeriod;
int blinkOuter = kBlinkPeriod;

}  // namespace

void SetGaugeBlinkCounters(int inner, int outer) {
  blinkInner = inner;
  blinkOuter = outer;
}

CColorGauge::CColorGauge() : maxFlag(0) {}

void CColorGauge::BuildFrame(int index, gdi::HDC wallDC, CDrawMaskBMP& framePicture) {
  letter.Load(kLetterPaths[index], kWhite);
  frame.Load(kFramePath);
  // The canvas starts as the frame picture itself. The wall copy replaces it wherever
  // the sample rectangle lies inside the wall picture; where it reaches past the wall's
  // edge (a wall narrower than 591 or shorter than 396 + 35 x index + the frame height)
  // those pixels keep the frame picture's own colours, so its white key area shows white
  // there instead of the wall.
  frame.CopyFrom(0, 0, wallDC, kWallSampleX, kWallSampleY + kWallSampleStep * index,
                 frame.GetWidth(), frame.GetHeight());
  framePicture.Draw(frame.GetMemDC(), 0, 0);
}

void CColorGauge::LoadFill(int index) {
  fill.Load(kFillPaths[index], kBlack);
  maxPicture.Load(kMaxPath, kGreen);
}

void CColorGauge::DrawLetter(gdi::HDC dc, int index) {
  letter.Draw(dc, kLetterAt[index].x, kLetterAt[index].y);
}

void CColorGauge::DrawFrame(gdi::HDC dc, int index) {
  frame.Draw(dc, kFrameAt[index].x, kFrameAt[index].y);
}

void CColorGauge::DrawFill(gdi::HDC dc, int index, int level) {
  const int x = kFrameAt[index].x;
  const int y = kFrameAt[index].y;
  const float fraction =
      (maxFlag == 1) ? 1.0f : static_cast<float>(level) / static_cast<float>(kGaugeFullLevel);
  if (fraction != 0.0f) {
    fill.DrawPart(dc, x + kFillDx, y + kFillDy,
                  static_cast<int>(fraction * static_cast<float>(kFillFullWidth)),
                  fill.GetHeight(), 0, 0);
  }
  if (maxFlag == 1) {
    blinkInner -= 1;
    if (blinkInner <= 0) {
      blinkInner = kBlinkPeriod;
      blinkOuter -= 1;
      if (blinkOuter <= 0) {
        blinkOuter = kBlinkPeriod;
        maxFlag = 0;
      }
    }
    if (blinkInner <= kBlinkShowFrom) maxPicture.Draw(dc, x + kMaxDx, y);
  }
}

void CColorGauge::Release() {
  maxPicture.Release();
  fill.Release();
  frame.Release();
  letter.Release();
}

CGaugeSet::CGaugeSet() : levels{0, 0, 0, 0} {}

void CGaugeSet::Init(gdi::HDC /*windowDC: the frame canvases are sized by their file*/,
                     gdi::HDC wallDC) {
  CDrawMaskBMP framePicture(kFramePath, kWhite);
  for (int i = 0; i < kGaugeCount; ++i) {
    levels[i] = 0;
    gauges[i].maxFlag = 0;
    gauges[i].BuildFrame(i, wallDC, framePicture);
  }
  for (int i = 0; i < kGaugeCount; ++i) gauges[i].LoadFill(i);
}

void CGaugeSet::Reset() {
  for (int i = 0; i < kGaugeCount; ++i) {
    levels[i] = 0;
    gauges[i].maxFlag = 0;
  }
}

void CGaugeSet::AddPoint(int index) {
  levels[index] += 1;
  if (levels[index] > kGaugeFullLevel) levels[index] = kGaugeFullLevel;
  if (levels[index] >= kGaugeFullLevel) gauges[index].maxFlag = 1;
}

int CGaugeSet::CollectFull() {
  int collected = 0;
  for (int i = 0; i < kGaugeCount; ++i) {
    if (levels[i] >= kGaugeFullLevel) {
      levels[i] = 0;
      collected += 1;
    }
  }
  return collected;
}

void CGaugeSet::DrawFrames(gdi::HDC dc) {
  for (int i = 0; i < kGaugeCount; ++i) gauges[i].DrawLetter(dc, i);
  for (int i = 0; i < kGaugeCount; ++i) gauges[i].DrawFrame(dc, i);
}

void CGaugeSet::DrawFills(gdi::HDC dc) {
  for (int i = 0; i < kGaugeCount; ++i) gauges[i].DrawFill(dc, i, levels[i]);
}

void CGaugeSet::Release() {
  for (CColorGauge& gauge : gauges) gauge.Release();
}
