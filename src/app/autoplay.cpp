#include "app/autoplay.h"

#include <cmath>
#include <optional>

#include "board/board.h"
#include "game/game.h"
#include "platform/core/startup.h"

namespace {

// A person's pace: the hand moves at most this fast and eases in on its aim, and an
// item is only noticed once it has been up a moment.
constexpr float kHandSpeed = 0.8f;      // pixels a millisecond
constexpr float kEase = 0.35f;          // of the remaining way, each pass
constexpr float kReactionMs = 300.0f;
constexpr float kArrived = 4.0f;        // pixels from the aim that count as there
constexpr int kHeldPasses = 2;          // a press lasts two passes, as a quick click
constexpr std::uint32_t kTitleWaitMs = 1500;
constexpr std::uint32_t kResultsWaitMs = 2000;
constexpr std::uint32_t kClickAgainMs = 700;
constexpr std::uint32_t kStrikeRestMs = 120;
constexpr float kStartX = 320.0f;    // the middle of START on the title
constexpr float kStartY = 240.0f;
constexpr float kBoardMiddle = CBoard::kOriginX + CBoard::kCanvasSize / 2;

// What a strike on each kind of item is worth to the player: its points. The clocks
// are worth none; the -30 one is to be kept away from. (A player who took every +30
// clock would play for ever, and a demo should end now and then.)
int Worth(int kind) {
  switch (kind) {
    case ITEM_1POINT: return 1;
    case ITEM_2POINT: return 2;
    case ITEM_5POINT: return 5;
    case ITEM_10POINT: return 10;
    case ITEM_MINUS_TIMER: return -100;
    default: return 0;
  }
}

// Everything a strike at (x, y) would hit now, summed; how many items in `hits`.
int StrikeWorth(const CBoard& board, float x, float y, int* hits = nullptr) {
  int worth = 0;
  const int ix = static_cast<int>(std::lround(x));
  const int iy = static_cast<int>(std::lround(y));
  for (int r = 0; r < CBoard::kRows; ++r) {
    for (int c = 0; c < CBoard::kCols; ++c) {
      if (!board.StrikeWouldHit(r, c, ix, iy)) continue;
      worth += Worth(board.GetHole(r, c).kind);
      if (hits) ++*hits;
    }
  }
  return worth;
}

// The board moves its items one step at a time, at most one a pass and at most one
// every 11 ms.
float StepMs(float passMs) { return passMs > 11.0f ? passMs : 11.0f; }

// How long the item stays up, in ms, from what the board shows.
float Lifetime(const CBoard& board, const CHole& hole, std::uint32_t now, float passMs) {
  const float stepMs = StepMs(passMs);
  const float speed = board.GetSpeed() > 0.0f ? board.GetSpeed() : 1.0f;
  const float sinking = CBoard::kFullHeight / speed * stepMs;
  switch (hole.state) {
    case HOLE_RISING:
      return (CBoard::kFullHeight - hole.height) / speed * stepMs +
             static_cast<float>(board.GetWaitTime()) + sinking;
    case HOLE_WAITING: {
      const std::uint32_t waited = now - hole.waitTimer.GetStart();
      const std::uint32_t interval = hole.waitTimer.GetInterval();
      return static_cast<float>(waited < interval ? interval - waited : 0) + sinking;
    }
    case HOLE_SINKING: return hole.height / speed * stepMs;
    default: return 0.0f;
  }
}

// How long a rising item has been up, in ms; items past rising count as long seen.
float Age(const CBoard& board, const CHole& hole, float passMs) {
  if (hole.state != HOLE_RISING) return kReactionMs;
  const float speed = board.GetSpeed() > 0.0f ? board.GetSpeed() : 1.0f;
  return hole.height / speed * StepMs(passMs);
}

std::optional<Autoplayer> player;

}  // namespace

bool Autoplayer::OneIn(std::uint32_t n) {
  random_ ^= random_ << 13;
  random_ ^= random_ >> 17;
  random_ ^= random_ << 5;
  return random_ % n == 0;
}

void Autoplayer::MoveToward(float x, float y) {
  const float dx = x - x_;
  const float dy = y - y_;
  const float distance = std::sqrt(dx * dx + dy * dy);
  float step = distance * kEase;
  if (step < kArrived / 2) step = kArrived / 2;
  if (step > kHandSpeed * passMs_) step = kHandSpeed * passMs_;
  if (distance <= step) {
    x_ = x;
    y_ = y;
  } else {
    x_ += dx / distance * step;
    y_ += dy / distance * step;
  }
}

bool Autoplayer::At(float x, float y) const {
  return std::fabs(x - x_) <= kArrived && std::fabs(y - y_) <= kArrived;
}

void Autoplayer::Press(std::uint32_t now) {
  down_ = true;
  heldPasses_ = 0;
  lastPress_ = now;
}

void Autoplayer::Step(const CGame& game) {
  const std::uint32_t now = platform::GetTickCount();
  if (started_ && now != lastTick_) passMs_ = static_cast<float>(now - lastTick_);
  started_ = true;
  lastTick_ = now;

  const int state = game.GetState();
  if (state != state_) {
    state_ = state;
    stateSince_ = now;
    targetRow_ = -1;
    if (state == STATE_COUNTDOWN) sloppy_ = ++games_ % 3 == 0;
  }

  // A press holds still until it is let go, so the strike lands where it was aimed.
  if (down_) {
    if (++heldPasses_ >= kHeldPasses) down_ = false;
  } else {
    switch (state) {
      case STATE_TITLE:
        MoveToward(kStartX, kStartY);
        if (now - stateSince_ >= kTitleWaitMs && At(kStartX, kStartY)) Press(now);
        break;
      case STATE_PLAY:
        Play(game.Board(), now);
        break;
      case STATE_RESULT:
        MoveToward(kStartX, kStartY);
        if (now - stateSince_ >= kResultsWaitMs && now - lastPress_ >= kClickAgainMs) {
          Press(now);
        }
        break;
      default:  // the countdown and the finish pause: wait over the board
        MoveToward(kBoardMiddle, kBoardMiddle);
        break;
    }
  }
  platform::SetVirtualInput(static_cast<int>(std::lround(x_)),
                            static_cast<int>(std::lround(y_)), down_);
}

void Autoplayer::Play(const CBoard& board, std::uint32_t now) {
  if (now - lastPress_ < kStrikeRestMs) return;
  // The target stands while it is worth striking and can still be reached; otherwise
  // the most valuable item that can be reached in time is chosen.
  const auto reachable = [&](int r, int c, float& x, float& y) {
    const CHole& hole = board.GetHole(r, c);
    if (!CBoard::IsLive(hole.state) || Age(board, hole, passMs_) < kReactionMs) return 0;
    CBoard::StrikeAim(r, c, hole.height, x, y);
    const float distance = std::hypot(x - x_, y - y_);
    const float reachMs = distance / kHandSpeed + 3.0f * passMs_;
    if (reachMs > Lifetime(board, hole, now, passMs_)) return 0;
    return StrikeWorth(board, x, y);
  };
  float aimX = 0.0f;
  float aimY = 0.0f;
  if (targetRow_ < 0 || reachable(targetRow_, targetCol_, aimX, aimY) <= 0) {
    targetRow_ = -1;
    int best = 0;
    float bestDistance = 0.0f;
    for (int r = 0; r < CBoard::kRows; ++r) {
      for (int c = 0; c < CBoard::kCols; ++c) {
        float x = 0.0f;
        float y = 0.0f;
        const int worth = reachable(r, c, x, y);
        const float distance = std::hypot(x - x_, y - y_);
        if (worth > best || (worth == best && worth > 0 && distance < bestDistance)) {
          best = worth;
          bestDistance = distance;
          targetRow_ = r;
          targetCol_ = c;
          aimX = x;
          aimY = y;
        }
      }
    }
    if (targetRow_ < 0) return;
    fumble_ = OneIn(sloppy_ ? 4 : 30);
  }
  MoveToward(aimX, aimY);
  int hits = 0;
  const int worth = StrikeWorth(board, x_, y_, &hits);
  // A fumble is a swing on the way, where it hits nothing; one that never found such
  // a spot is forgotten on arrival.
  if (fumble_ && (hits == 0 || At(aimX, aimY))) {
    fumble_ = false;
    if (hits == 0) Press(now);
  } else if (At(aimX, aimY) && worth > 0) {
    Press(now);
  }
}

void EnableAutoplay() { player.emplace(); }

void AutoplayPass(const CGame& game) {
  if (player) player->Step(game);
}
