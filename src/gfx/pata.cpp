#include "gfx/pata.h"

#include "services/debug.h"

CPataPata::CPataPata() : frameCount(0), current(0), restartFlag(1) {}

CPataPata::~CPataPata() = default;

// The frames stay until the animation is destroyed: the board and the icon boxes call
// Release at shutdown while their owner may still draw during the last frame.
void CPataPata::Release() {}

void CPataPata::Init(int n, int intervalMs) {
  Release();
  frameCount = n;
  current = 0;
  // A second Init replaces the frames; the game initialises each animation once.
  frames = n > 0 ? std::make_unique<CDrawMaskBMP[]>(static_cast<size_t>(n)) : nullptr;
  timer.SetInterval(static_cast<std::uint32_t>(intervalMs));
  restartFlag = 1;
}

void CPataPata::Reset() {
  current = 0;
  restartFlag = 1;
}

int CPataPata::Draw(gdi::HDC dc, int x, int y, int alpha) {
  BeginFrameStep();
  if (CDrawMaskBMP* frame = Frame(current)) frame->DrawAlpha(dc, x, y, 0, 0, alpha);
  return EndFrameStep();
}

void CPataPata::LoadTexture(int index, const char* path, gdi::COLORREF key) {
  if (index >= 0 && index < frameCount) {
    frames[index].Load(path, key);
  } else {
    DebugMessageBox("LoadTextureインデックスエラー");
  }
}

void CPataPata::BeginFrameStep() {
  if (restartFlag == 1) {
    timer.Restart();
    restartFlag = 0;
  }
}

int CPataPata::EndFrameStep() {
  if (timer.Expired()) {
    ++current;
    timer.Restart();
  }
  if (current < frameCount) return 0;
  current = 0;
  return 1;
}

CDrawMaskBMP* CPataPata::Frame(int index) {
  if (!frames || index < 0 || index >= frameCount) return nullptr;
  return &frames[index];
}

int CPata::DrawAt(gdi::HDC dc, int x, int y, int dx, int dy) {
  BeginFrameStep();
  if (CDrawMaskBMP* frame = Frame(current)) frame->Draw(dc, x + dx, y + dy);
  return EndFrameStep();
}

void CPata::DrawFrame(gdi::HDC dc, int index, int x, int y, int dx, int dy) {
  if (CDrawMaskBMP* frame = Frame(index)) frame->Draw(dc, x + dx, y + dy);
}

void CGaugePata::Setup(int frameCount, int intervalMs, int cols, int rows) {
  Init(frameCount, intervalMs);
  this->cols = cols;
  this->rows = rows;
}

int CGaugePata::DrawTiled(gdi::HDC dc, int x, int y) {
  // Cells are spaced by frame 0 whatever frame shows, so a smaller or unloaded later
  // frame never moves the grid.
  const CDrawMaskBMP* first = Frame(0);
  const int w = first ? first->GetWidth() : 0;
  const int h = first ? first->GetHeight() : 0;
  BeginFrameStep();
  if (CDrawMaskBMP* frame = Frame(current)) {
    for (int i = 0; i < rows; ++i) {
      for (int j = 0; j < cols; ++j) frame->Draw(dc, x + w * j, y + h * i);
    }
  }
  return EndFrameStep();
}
