#!/usr/bin/env python3
"""Makes the README's screenshots with the headless program.

A simple player is played against the deterministic game: it runs the game, reads the
trace, and adds a click on the next token that rose and has not been whacked yet, until
the game is over. Then the whole game is run once more with shots at chosen moments.

Usage: tools/screenshots.py BUILD_DIR OUT_DIR
"""
import json
import os
import shutil
import subprocess
import sys
import tempfile

TITLE_CLICK = 10
PLAY_START = TITLE_CLICK + 1080 - 1
# A token has risen fully and waits this many passes after it was dealt, so several
# stand on the board at once.
RISE_PASSES = 90


def run(binary, data, script, frames, shots=()):
    work = tempfile.mkdtemp(prefix="tonkalo-shots-")
    try:
        for folder in ("BMP", "WAV", "MP3"):
            shutil.copytree(os.path.join(data, folder), os.path.join(work, folder))
        with open(os.path.join(work, "script.txt"), "w") as f:
            f.write(script)
        args = [binary, "--headless", "--script", "script.txt", "--trace", "trace.jsonl",
                "--frames", str(frames)]
        for shot in shots:
            args += ["--shot", shot]
        subprocess.run(args, cwd=work, check=True, stderr=subprocess.DEVNULL)
        with open(os.path.join(work, "trace.jsonl")) as f:
            return [json.loads(line) for line in f]
    finally:
        shutil.rmtree(work)


def click(p, x, y):
    return f"{p} move {x} {y}\n{p} down\n{p + 2} up\n"


def play_a_game(binary, data, frames):
    clicks = [(TITLE_CLICK, 320, 240)]
    handled = set()
    while True:
        script = "".join(click(*c) for c in clicks)
        trace = run(binary, data, script, frames)
        last = clicks[-1][0]
        spawns = [e for e in trace if e["event"] == "spawn"
                  and e["pass"] + RISE_PASSES > last + 3 and e["pass"] not in handled]
        ended = [e for e in trace if e["event"] == "state" and e["state"] == "result"]
        if not spawns or (ended and spawns[0]["pass"] > ended[0]["pass"]):
            return clicks, trace
        s = spawns[0]
        handled.add(s["pass"])
        x = 20 + 70 * s["col"] + 35
        y = 70 * s["row"] + 58
        clicks.append((s["pass"] + RISE_PASSES, x, y))


def main():
    build, out = sys.argv[1], os.path.abspath(sys.argv[2])
    binary = os.path.abspath(os.path.join(build, "tonkalo"))
    data = os.path.abspath(os.path.join(build, "data"))
    os.makedirs(out, exist_ok=True)
    frames = PLAY_START + 64 * 120
    clicks, trace = play_a_game(binary, data, frames)
    results = next(e["pass"] for e in trace if e["event"] == "state" and e["state"] == "result")
    bonus = [e["pass"] for e in trace if e["event"] == "bonus" and e["popup"] == 2]
    play_shot = bonus[0] + 20 if bonus else PLAY_START + 64 * 20
    # Back to the title well after the panel has settled; the START pulse, which kept
    # its phase from the first ten title frames, is at full strength 54 frames later.
    back = results + 700
    title = back + 1 + 53
    script = "".join(click(*c) for c in clicks) + click(back, 560, 330)
    run(binary, data, script, title + 2, shots=[
        f"{TITLE_CLICK + 300}:{out}/countdown.png",
        f"{play_shot}:{out}/play.png",
        f"{results + 390}:{out}/results.png",
        f"{title}:{out}/title.png",
    ])
    print(f"{len(clicks) - 1} clicks; results at pass {results}; play shot at {play_shot}")


if __name__ == "__main__":
    main()
