#!/usr/bin/env python3
"""Writes the input script of one whole busy game, title to results and back.

The simple player of screenshots.py whacks every token a while after it rose, so
several stand on the board at once; then the results settle and a click returns to
the title, where the START pulse runs for a while. The timedemo, the benchmarks and the
frame identity test play this script.

Usage: tools/busy_game.py BUILD_DIR SCRIPT_FILE
"""
import os
import sys

import screenshots

# Passes after the results appear: the panel settles, then one click goes back to the
# title, which is shown for a few seconds.
BACK_AFTER_RESULTS = 700
TITLE_PASSES = 300


def main():
    build, out = sys.argv[1], sys.argv[2]
    binary = os.path.abspath(os.path.join(build, "tonkalo"))
    data = os.path.abspath(os.path.join(build, "data"))
    clicks, trace = screenshots.play_a_game(binary, data, screenshots.PLAY_START + 64 * 120)
    results = next(e["pass"] for e in trace if e["event"] == "state" and e["state"] == "result")
    back = results + BACK_AFTER_RESULTS
    end = back + TITLE_PASSES
    with open(out, "w") as f:
        f.write(f"# A whole busy game: {len(clicks) - 1} whacks, play from pass "
                f"{screenshots.PLAY_START}, results at pass {results},\n"
                f"# back to the title at pass {back + 1}; run it with --frames {end}.\n"
                f"# Made by tools/busy_game.py.\n")
        f.write("".join(screenshots.click(*c) for c in clicks))
        f.write(screenshots.click(back, 560, 330))
    print(f"{out}: {len(clicks) - 1} whacks; results at {results}; --frames {end}")


if __name__ == "__main__":
    main()
