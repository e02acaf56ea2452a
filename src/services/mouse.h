// Once-per-pass sampling of the left button: a press is reported in exactly one frame.
#pragma once

// Samples the button; called once per frame-loop pass, after the game frame. While
// `inside` is 0 the button reads as up.
void UpdateMouse(int inside);
// 1 when the last sample found the button down and the one before found it up, else 0.
int MousePressed();
// Back to the start-up state (all three values 0); for tests.
void ResetMouseState();
