#include "platform/sdl/panels.h"

#include <algorithm>
#include <vector>

namespace platform {

namespace {

constexpr int kRadius = 10;

void Centred(Canvas& canvas, Typeface& face, int centreX, int baseline, const std::string& text,
             std::uint32_t colour, int outline) {
  face.Draw(canvas, centreX - face.Width(text) / 2, baseline, text, colour, outline);
}

}  // namespace

Lettering::Lettering() : bold({"sans-serif:bold"}), text({"sans-serif:lang=ja", "sans-serif"}) {}

void DrawPausedPicture(Canvas& canvas, Typeface& bold) {
  canvas.Dim();
  const int w = std::min(340, canvas.width);
  const int h = std::min(140, canvas.height);
  const int left = (canvas.width - w) / 2;
  const int top = (canvas.height - h) / 2;
  const int middle = canvas.width / 2;
  DrawPanel(canvas, left, top, w, h, kRadius);
  bold.SetSize(40);
  Centred(canvas, bold, middle, top + 58, "PAUSED", kLetter, 2);
  bold.SetSize(15);
  Centred(canvas, bold, middle, top + 88, "click, P or Space to play on", kGold, 1);
  canvas.Fill(left + 24, top + 100, w - 48, 2, kPanelRim);
  bold.SetSize(12);
  Centred(canvas, bold, middle, top + 122, "M music    S sound    - + volume", kLetter, 1);
}

void DrawKeyLabel(Canvas& canvas, Typeface& bold, const std::string& text) {
  bold.SetSize(18);
  const int w = bold.Width(text) + 36;
  const int h = 38;
  const int left = (canvas.width - w) / 2;
  DrawPanel(canvas, left, 12, w, h, kRadius);
  Centred(canvas, bold, canvas.width / 2, 12 + 26, text, kLetter, 1);
}

Button DrawMessageBox(Canvas& canvas, Lettering& lettering, const std::string& caption,
                      const std::string& text) {
  canvas.Dim();
  Typeface& face = lettering.text;
  face.SetSize(17);
  const int maxText = canvas.width - 160;
  const std::vector<std::string> lines = face.Wrap(text, maxText);
  int textW = 0;
  for (const std::string& line : lines) textW = std::max(textW, face.Width(line));
  const int lineH = face.LineHeight() + 4;
  const int w = std::max(300, textW + 64);
  const int h = 52 + static_cast<int>(lines.size()) * lineH + 70;
  const int left = (canvas.width - w) / 2;
  const int top = (canvas.height - h) / 2;
  DrawPanel(canvas, left, top, w, h, kRadius);

  lettering.bold.SetSize(16);
  lettering.bold.Draw(canvas, left + 22, top + 30, caption, kGold, 1);
  canvas.Fill(left + 16, top + 42, w - 32, 2, kPanelRim);
  int baseline = top + 52 + face.Ascent() + 6;
  for (const std::string& line : lines) {
    face.Draw(canvas, left + 32, baseline, line, kLetter, 1);
    baseline += lineH;
  }

  Button ok{canvas.width / 2 - 48, top + h - 56, 96, 36};
  FillRounded(canvas, ok.left, ok.top, ok.w, ok.h, 18, kInkDark, kInkDark);
  FillRounded(canvas, ok.left + 2, ok.top + 2, ok.w - 4, ok.h - 4, 16, 0xFFE27A, 0xF2B532);
  lettering.bold.SetSize(17);
  Centred(canvas, lettering.bold, canvas.width / 2, ok.top + 24, "OK", kInkDark, 0);
  return ok;
}

}  // namespace platform
