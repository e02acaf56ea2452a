// Writes game.script, two games for the browser tests: the first strikes every token as
// it rises (each spawn found by running the headless program up to it), misses now and
// then and runs the clock out; the second ends with ten misses. From the top folder:
//   node tests/web/make_game_script.mjs > tests/web/game.script
import fs from 'node:fs';
import path from 'node:path';

import { events, nativeDir, removeTempDirs, runNative } from './support.mjs';

const TITLE_CLICK = 10;
const MISS_EVERY = 9;  // every ninth strike goes to the side panel instead
const MISS_AT = [600, 470];

const dir = nativeDir('make-script');
// Every trial starts with no record, as the tests do: a new record takes longer to show.
function run(script, args = []) {
  fs.rmSync(path.join(dir, 'highscore.dat'), { force: true });
  return runNative(dir, script, args);
}
const clicks = [];  // {pass, x, y}

function scriptText(extra = '') {
  return clicks.map((c) => `${c.pass} move ${c.x} ${c.y}\n${c.pass} down\n${c.pass + 2} up\n`)
    .join('') + extra;
}

clicks.push({ pass: TITLE_CLICK, x: 320, y: 240 });
let resultsPass = -1;
let strikes = 0;
let window = 600;
while (resultsPass < 0) {
  const last = clicks[clicks.length - 1].pass;
  const trace = run(scriptText(), ['--frames', String(last + window)]);
  const result = events(trace, 'state').find((e) => e.state === 'result');
  const spawn = events(trace, 'spawn').find((e) => e.pass > last);
  if (result && (!spawn || result.pass <= spawn.pass)) {
    resultsPass = result.pass;
  } else if (!spawn) {
    window *= 2;  // play has not begun within the window: look further
  } else {
    window = 600;
    // A click needs the button sampled up after the last one: down again 4 passes on.
    const pass = Math.max(spawn.pass + 3, last + 4);
    const miss = ++strikes % MISS_EVERY === 0;
    clicks.push(miss ? { pass, x: MISS_AT[0], y: MISS_AT[1] }
                     : { pass, x: 70 * spawn.col + 55, y: 70 * spawn.row + 60 });
  }
}

// A click on the results returns to the title once the score has counted up and the
// panel has settled: the first pass from `after` on, in steps of 20, where it does.
function clickBackToTitle(after) {
  for (let pass = after + 160; ; pass += 20) {
    clicks.push({ pass, x: 320, y: 240 });
    const trace = run(scriptText(), ['--frames', String(pass + 4)]);
    const title = events(trace, 'state').find((e) => e.state === 'title' && e.pass > after);
    if (title) return title.pass;
    clicks.pop();
  }
}

// Then a second game, which ten misses end: the finish screen, and results that are no
// new record.
const secondTitle = clickBackToTitle(resultsPass);
clicks.push({ pass: secondTitle + 20, x: 320, y: 240 });
let trace = run(scriptText(), ['--frames', String(secondTitle + 1200)]);
const play = events(trace, 'state').find((e) => e.state === 'play' && e.pass > secondTitle).pass;
for (let i = 0; i < 10; ++i) clicks.push({ pass: play + 100 + 10 * i, x: MISS_AT[0], y: MISS_AT[1] });
trace = run(scriptText(), ['--frames', String(play + 1400)]);
const secondResults =
    events(trace, 'state').find((e) => e.state === 'result' && e.pass > play).pass;
const close = clickBackToTitle(secondResults) + 40;
const text = scriptText(`${close} close\n`);
trace = run(text);
const hits = events(trace, 'hit');
const kinds = [...new Set(hits.map((e) => e.kind))].sort();
process.stdout.write(
  '# Two games for the browser tests, written by make_game_script.mjs. The first: the\n' +
  `# title click, ${hits.length} hits (kinds ${kinds.join(', ')}), misses, the results at pass ` +
  `${resultsPass}.\n# The second: ten misses, the finish screen, the results at pass ` +
  `${secondResults}.\n# The close at pass ${close}.\n` + text);
removeTempDirs();
