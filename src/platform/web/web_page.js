// The page side of the browser backend (web_backend.cpp): the canvas and its scale, the
// pointer (mouse, pen or finger), the page's own keys and buttons (pause, music, effects,
// fullscreen), Web Audio, the message dialog, the note line and local storage. The
// browser's own events only record what happened; the game takes it on its next pass.
mergeInto(LibraryManager.library, {
  $TonkaloPage: {
    canvas: null,
    context: null,
    image: null,
    realInput: false,
    opened: false,
    // The pointer in game pixels and the button.
    x: -10000,
    y: -10000,
    down: false,
    // A press not yet sampled ([x, y] where it was pressed), and the one the last sample
    // took: a tap whose press and release both fall between two passes still reads as
    // down once, and the pass after a press reads the cursor where it was pressed, so a
    // quick flick strikes where it began.
    pending: null,
    sampled: null,
    // The pause stops the passes and the clock with a hidden page: the time the page has
    // stood still is counted here from the browser's events and left out of the game's.
    paused: false,
    stoppedMs: 0,
    stoppedSince: null,
    settings: { music: true, effects: true },
    noteTimer: 0,
    // The controls' least room across, in CSS pixels (index.html's #controls).
    strip: 64,
    turnSaid: false,
    // [kind, x, y] for the game's next Pump, kinds as PageEvent in web_backend.cpp:
    // 1 press on the canvas, 2 a double-click's second press, 3 track ended (x: the
    // music turn it belongs to), 4 the page was resized.
    events: [],
    lastPress: null,
    audio: null,
    gains: {},
    effects: {},
    effectNode: null,
    effectTurn: 0,
    tracks: {},
    music: { path: null, want: false, node: null, turn: 0 },
    recordKey: 'tonkalo.highscore',
    // The largest record another tab has stored while this one ran (the storage event).
    recordHeard: 0,

    movePointer: function(event) {
      var c = TonkaloPage.canvas;
      var r = c.getBoundingClientRect();
      var inside = r.width && r.height;
      TonkaloPage.x = inside ? Math.floor((event.clientX - r.left) * c.width / r.width) : -10000;
      TonkaloPage.y = inside ? Math.floor((event.clientY - r.top) * c.height / r.height) : -10000;
    },

    // The largest 4:3 box the page holds beside the controls, on the side where they cost
    // the picture less: a whole number of device pixels per game pixel when that loses
    // less than 15 % of the area, else fractional (unseen at two device pixels or more to
    // a CSS pixel).
    fit: function() {
      var page = TonkaloPage;
      var canvas = page.canvas;
      var stage = document.getElementById('stage') || canvas.parentElement;
      var strip = document.getElementById('controls') ? page.strip : 0;
      var ratio = window.devicePixelRatio || 1;
      var w = stage.clientWidth;
      var h = stage.clientHeight;
      var scale = function(cw, ch) {
        return Math.max(0, Math.min(cw * ratio / canvas.width, ch * ratio / canvas.height));
      };
      var side = scale(w - strip, h);
      var below = scale(w, h - strip);
      var k = Math.max(side, below);
      var whole = Math.floor(k);
      if (whole >= 1 && (whole * whole) / (k * k) >= 0.85) k = whole;
      stage.classList.toggle('beside', side >= below);
      canvas.style.width = (Math.round(canvas.width * k) / ratio) + 'px';
      canvas.style.height = (Math.round(canvas.height * k) / ratio) + 'px';
      if (h > w && page.touch() && !page.turnSaid) {
        page.turnSaid = true;
        page.note('Turn the phone sideways for a bigger picture.', false);
      }
      page.fitNote();
      page.events.push([4, 0, 0]);
    },

    // The line beside the picture, gone after a few seconds unless `keep`; problems go to
    // the console as well, as the native program writes them on standard error.
    note: function(text, problem, keep) {
      if (problem) console.warn('tonkalo: ' + text);
      var line = document.getElementById('note');
      if (!line) return;
      line.textContent = text;
      line.classList.remove('offer');
      TonkaloPage.fitNote();
      clearTimeout(TonkaloPage.noteTimer);
      if (!keep) {
        TonkaloPage.noteTimer = setTimeout(function() {
          if (line.textContent === text) line.textContent = '';
        }, 6000);
      }
    },

    // A text too long for the room the note has is set smaller until it fits.
    fitNote: function() {
      var line = document.getElementById('note');
      for (var size = 13; line; line.style.fontSize = --size + 'px') {
        if (size === 13) line.style.fontSize = '';
        if (size <= 8 || line.scrollHeight <= line.clientHeight + 1) return;
      }
    },

    // Browsers start audio only from a user's gesture: the first press, tap or key.
    unlockAudio: function() {
      var page = TonkaloPage;
      var Context = window.AudioContext || window.webkitAudioContext;
      if (page.audio) {
        if (page.audio.state === 'suspended' && !page.stopped()) page.audio.resume().catch(function() {});
        return;
      }
      if (!page.realInput || !Context) return;
      try {
        page.audio = new Context();
      } catch (e) {
        return;
      }
      ['music', 'effects'].forEach(function(which) {
        page.gains[which] = page.audio.createGain();
        page.gains[which].connect(page.audio.destination);
      });
      page.applySettings();
      if (page.stopped()) page.audio.suspend().catch(function() {});
      page.startMusic();
    },

    // Presses on the page's own controls (the buttons, the dialog) are not the game's; a
    // press while paused only resumes. A second press within 500 ms and 4 px of the
    // first is a double-click's second click; the one after it starts a new pair.
    onPointerDown: function(event) {
      var page = TonkaloPage;
      if (event.button !== 0 || (event.target.closest && event.target.closest('button, dialog'))) return;
      page.movePointer(event);
      if (event.pointerType === 'mouse') page.unlockAudio();
      if (page.paused) {
        if (event.target === page.canvas) page.setPaused(false);
        return;
      }
      page.down = true;
      page.pending = [page.x, page.y];
      if (event.target !== page.canvas) return;
      event.preventDefault();
      page.canvas.setPointerCapture(event.pointerId);
      var now = performance.now();
      var last = page.lastPress;
      var count = last && now - last.time <= 500 && Math.abs(event.clientX - last.clientX) <= 4 &&
          Math.abs(event.clientY - last.clientY) <= 4 ? last.count + 1 : 1;
      page.lastPress = { time: now, clientX: event.clientX, clientY: event.clientY, count: count };
      page.events.push([count % 2 === 0 ? 2 : 1, page.x, page.y]);
    },

    // Also for a cancelled pointer and a page that loses the focus.
    onPointerUp: function(event) {
      if (event.type === 'pointerup' && event.button !== 0) return;
      if (event.type === 'pointerup' && event.pointerType !== 'mouse') TonkaloPage.unlockAudio();
      TonkaloPage.down = false;
    },

    // A mouse that leaves the page is outside the game; a finger that lifts stays where
    // it tapped, so that the tap is sampled there.
    onPointerLeave: function(event) {
      if (event.pointerType !== 'mouse' || TonkaloPage.down) return;
      TonkaloPage.x = TonkaloPage.y = -10000;
    },

    // Music and effects are switched at their own gain and kept for the next visit (no
    // storage or a damaged value: they start on, and hold for this visit).
    applySettings: function() {
      var page = TonkaloPage;
      ['music', 'effects'].forEach(function(which) {
        if (page.gains[which]) page.gains[which].gain.value = page.settings[which] ? 1 : 0;
        page.mark(which, page.settings[which]);
      });
      page.mark('pause', page.paused);
    },

    mark: function(id, on) {
      var button = document.getElementById(id);
      if (button) button.setAttribute('aria-pressed', String(on));
    },

    toggle: function(which) {
      var page = TonkaloPage;
      page.settings[which] = !page.settings[which];
      page.applySettings();
      page.note((which === 'music' ? 'Music ' : 'Sound effects ') +
                (page.settings[which] ? 'on' : 'off'), false);
      try {
        window.localStorage.setItem('tonkalo.settings', JSON.stringify(page.settings));
      } catch (e) {}
    },

    // A finger is the pointer in hand (a phone, a tablet): the hints say tap, not keys.
    touch: function() {
      return Boolean(window.matchMedia && window.matchMedia('(pointer: coarse)').matches);
    },

    stopped: function() { return document.hidden || TonkaloPage.paused; },

    stoppedFor: function() {
      var page = TonkaloPage;
      return page.stoppedMs + (page.stoppedSince === null ? 0 : performance.now() - page.stoppedSince);
    },

    // The sound waits with the passes and the clock.
    countStopped: function() {
      var page = TonkaloPage;
      var stopped = page.stopped();
      if (stopped && page.stoppedSince === null) page.stoppedSince = performance.now();
      if (!stopped && page.stoppedSince !== null) {
        page.stoppedMs = page.stoppedFor();
        page.stoppedSince = null;
      }
      if (page.audio) (stopped ? page.audio.suspend() : page.audio.resume()).catch(function() {});
    },

    setPaused: function(paused) {
      var page = TonkaloPage;
      if (page.paused === paused || !page.realInput) return;
      page.paused = paused;
      page.countStopped();
      page.pending = null;
      page.down = false;
      document.body.classList.toggle('paused', paused);
      page.applySettings();
      page.note(!paused ? '' : page.touch() ? 'Paused: tap the picture to go on'
                : 'Paused: press P or Space, or click the picture', false);
    },

    toggleFullscreen: function() {
      var stage = document.getElementById('stage');
      var asked = document.fullscreenElement ? document.exitFullscreen()
          : stage && stage.requestFullscreen && stage.requestFullscreen();
      if (asked) asked.catch(function() {});
    },

    // The native window's keys: P and Space pause, M music, S effects, F11 fullscreen,
    // taken before any button sees them, so a button never keeps a key the game needs;
    // the buttons beside the picture do what the keys do and never take the focus.
    actions: {
      pause: function() { TonkaloPage.setPaused(!TonkaloPage.paused); },
      music: function() { TonkaloPage.toggle('music'); },
      effects: function() { TonkaloPage.toggle('effects'); },
      fullscreen: function() { TonkaloPage.toggleFullscreen(); },
    },
    keys: { p: 'pause', ' ': 'pause', m: 'music', s: 'effects', F11: 'fullscreen' },

    onKeyDown: function(event) {
      var page = TonkaloPage;
      page.unlockAudio();
      var box = document.getElementById('box');
      if (event.ctrlKey || event.altKey || event.metaKey || (box && box.open)) return;
      var action = page.keys[event.key.length === 1 ? event.key.toLowerCase() : event.key];
      if (!action) return;
      event.preventDefault();
      event.stopPropagation();
      if (!event.repeat) page.actions[action]();
    },

    wireControls: function() {
      Object.keys(TonkaloPage.actions).forEach(function(id) {
        var button = document.getElementById(id);
        if (!button) return;
        button.addEventListener('mousedown', function(e) { e.preventDefault(); });
        button.addEventListener('click', function() {
          TonkaloPage.unlockAudio();
          TonkaloPage.actions[id]();
          button.blur();
        });
      });
    },

    // The record is eight hex digits, the four bytes in little-endian order ("39300000"
    // is 12345), so that it means what highscore.dat means. Fewer digits are no record;
    // anything else is not ours and is never written over.
    parseRecord: function(text) {
      if (text === null || /^[0-9a-fA-F]{0,7}$/.test(text)) return { state: 0, value: 0 };
      if (!/^[0-9a-fA-F]{8}$/.test(text)) return { state: 2, value: 0 };
      var value = 0;
      for (var i = 3; i >= 0; --i) value = value * 256 + parseInt(text.substr(2 * i, 2), 16);
      return { state: 1, value: value | 0 };
    },

    formatRecord: function(value) {
      var text = '';
      for (var i = 0; i < 4; ++i) text += ((value >>> (8 * i)) & 255).toString(16).padStart(2, '0');
      return text;
    },

    readStored: function() {
      var why = 'cannot read the high score in the browser\'s storage (it is ';
      try {
        var stored = TonkaloPage.parseRecord(window.localStorage.getItem(TonkaloPage.recordKey));
      } catch (e) {
        return { state: 2, value: 0, problem: why + 'switched off): this visit keeps no new record' };
      }
      if (stored.state === 2) {
        stored.problem = why + 'not a record this game wrote): this visit leaves it as it is ' +
                         'and keeps no new record';
      }
      return stored;
    },

    // Another tab stored a record: remember it so that this one never writes less.
    onStorage: function(event) {
      var heard = TonkaloPage.parseRecord(event.newValue);
      if (event.key !== TonkaloPage.recordKey || heard.state !== 1) return;
      TonkaloPage.recordHeard = Math.max(TonkaloPage.recordHeard, heard.value);
    },

    stopEffect: function() {
      if (TonkaloPage.effectNode) TonkaloPage.effectNode.stop();
      TonkaloPage.effectNode = null;
    },

    startBuffer: function(buffer, gain, onEnded) {
      var node = TonkaloPage.audio.createBufferSource();
      node.buffer = buffer;
      node.connect(gain);
      node.onended = onEnded;
      node.start();
      return node;
    },

    // Decoded once per path; a missing or undecodable track is null and plays nothing.
    track: function(path) {
      var tracks = TonkaloPage.tracks;
      if (!(path in tracks)) {
        try {
          tracks[path] = TonkaloPage.audio.decodeAudioData(FS.readFile(path).slice().buffer)
              .catch(function() { return null; });
        } catch (e) {
          tracks[path] = Promise.resolve(null);
        }
      }
      return tracks[path];
    },

    stopMusic: function() {
      var m = TonkaloPage.music;
      var node = m.node;
      m.turn++;
      m.node = null;
      if (node) {
        node.onended = null;
        node.stop();
      }
    },

    // Only a track that plays to its end reports it; a stop asked for does not.
    startMusic: function() {
      var m = TonkaloPage.music;
      var turn = m.turn;
      if (!TonkaloPage.audio || !m.want || !m.path) return;
      TonkaloPage.track(m.path).then(function(buffer) {
        if (!buffer || turn !== m.turn || m.node) return;
        var node = TonkaloPage.startBuffer(buffer, TonkaloPage.gains.music, function() {
          if (m.node !== node) return;
          m.node = null;
          TonkaloPage.events.push([3, m.turn, 0]);
        });
        m.node = node;
      });
    },
  },

  // Every function below is called from the first pass on, so one of them bringing in
  // TonkaloPage brings it in for all.
  $TonkaloPage__deps: ['$FS'],
  tonkalo_page_open__deps: ['$TonkaloPage', '$callUserCallback'],
  tonkalo_page_open: function(realInput) {
    var page = TonkaloPage;
    page.realInput = realInput !== 0;
    page.events = [];
    if (page.opened) return;
    page.opened = true;
    page.canvas = Module['canvas'] || document.getElementById('screen');
    page.context = page.canvas.getContext('2d');
    // For the page's own messages (index.html): the same line beside the picture.
    Module['note'] = page.note;
    [[window, 'pointermove', page.movePointer], [window, 'pointerdown', page.onPointerDown],
     [window, 'pointerup', page.onPointerUp], [window, 'pointercancel', page.onPointerUp],
     [window, 'blur', page.onPointerUp], [window, 'storage', page.onStorage],
     [window, 'resize', page.fit], [document, 'fullscreenchange', page.fit],
     [document, 'visibilitychange', page.countStopped],
     [document.documentElement, 'pointerleave', page.onPointerLeave],
     [page.canvas, 'contextmenu', function(e) { e.preventDefault(); }]].forEach(function(on) {
      on[0].addEventListener(on[1], on[2]);
    });
    window.addEventListener('keydown', page.onKeyDown, true);
    page.countStopped();
    try {
      var kept = page.realInput && JSON.parse(window.localStorage.getItem('tonkalo.settings'));
      if (kept) page.settings = { music: kept.music !== false, effects: kept.effects !== false };
    } catch (e) {}
    page.wireControls();
    page.applySettings();
    page.fit();
  },

  tonkalo_page_close: function() {
    TonkaloPage.stopEffect();
    TonkaloPage.realInput = false;
  },

  tonkalo_page_next_event: function(out) {
    var page = TonkaloPage;
    while (page.events.length) {
      var e = page.events.shift();
      // A track-end notice raised before a later music command is stale.
      if (e[0] === 3 && e[1] !== page.music.turn) continue;
      HEAP32.set(e, out >> 2);
      return 1;
    }
    return 0;
  },

  // Read once a pass in real time: with ?trace the page keeps the time of each
  // (window.tonkaloPassMs), to hold the passes' pace against the page's clock.
  tonkalo_page_pointer: function(x, y) {
    var page = TonkaloPage;
    if (window.tonkaloPassMs) window.tonkaloPassMs.push(performance.now());
    var at = page.pending || page.sampled;
    HEAP32[x >> 2] = at ? at[0] : page.x;
    HEAP32[y >> 2] = at ? at[1] : page.y;
  },

  tonkalo_page_button: function() {
    var page = TonkaloPage;
    var down = page.down || page.pending !== null;
    page.sampled = page.pending;
    page.pending = null;
    return down ? 1 : 0;
  },

  tonkalo_page_cursor: function(visible) {
    TonkaloPage.canvas.style.cursor = visible ? '' : 'none';
  },

  // The frame (R, G, B, 255 bytes) of which only the rectangle (x, y, w, h) changed since
  // the last present: only that is uploaded, from a view of the frame where it lies in
  // the heap (made again when the heap grows or the frame moves), so the only copy is
  // putImageData's own.
  tonkalo_page_present: function(rgba, width, height, x, y, w, h) {
    var page = TonkaloPage;
    if (page.canvas.width !== width || page.canvas.height !== height) {
      page.canvas.width = width;
      page.canvas.height = height;
      page.image = null;
      page.fit();
    }
    if (!page.image || page.image.data.buffer !== HEAPU8.buffer ||
        page.image.data.byteOffset !== rgba) {
      page.image = new ImageData(
          new Uint8ClampedArray(HEAPU8.buffer, rgba, width * height * 4), width, height);
    }
    page.context.putImageData(page.image, 0, 0, x, y, w, h);
    var first = Module['onFirstFrame'];
    Module['onFirstFrame'] = null;
    if (first) first();
  },

  tonkalo_page_show_box: function(caption, text) {
    var box = document.getElementById('box');
    document.getElementById('box-caption').textContent = UTF8ToString(caption);
    document.getElementById('box-text').textContent = UTF8ToString(text);
    if (!box.open) box.showModal();
  },

  tonkalo_page_box_open: function() {
    return document.getElementById('box').open ? 1 : 0;
  },

  tonkalo_page_effect: function(index, image, size) {
    var page = TonkaloPage;
    var turn = ++page.effectTurn;
    page.stopEffect();
    if (!page.audio || index < 0 || !image || !size) return;
    var effect = page.effects[index];
    if (!effect || effect.image !== image || effect.size !== size) {
      effect = { image: image, size: size, buffer: null };
      effect.ready = page.audio.decodeAudioData(HEAPU8.slice(image, image + size).buffer)
          .then(function(buffer) { effect.buffer = buffer; }, function() {});
      page.effects[index] = effect;
    }
    effect.ready.then(function() {
      if (turn === page.effectTurn && effect.buffer) {
        page.effectNode = page.startBuffer(effect.buffer, page.gains.effects, null);
      }
    });
  },

  // The commands in the order of platform::MusicCommand: stop, open, play, replay, close.
  tonkalo_page_music: function(command, path) {
    var m = TonkaloPage.music;
    var name = UTF8ToString(path);
    TonkaloPage.stopMusic();
    m.want = command === 2 || command === 3;
    if (command === 1 || (command === 3 && name)) m.path = name;
    if (command === 4) m.path = null;
    TonkaloPage.startMusic();
  },

  // The passes and the clock stand still while the page is hidden or paused.
  tonkalo_page_stopped_ms: function() { return TonkaloPage.stoppedFor(); },

  // Returns at the first displayed frame (requestAnimationFrame, which a finger on the
  // screen does not hold back as it holds back timers) at or after `due`, on the page's
  // clock less the time it stood still: a hidden page shows no frames, and the clock of
  // a paused one stands still. The wake-up goes through callUserCallback, as
  // emscripten_sleep's does, so that the runtime exits when the game has.
  tonkalo_page_frame: function(due) {
    return Asyncify.handleSleep(function(wakeUp) {
      var look = function() {
        if (performance.now() - TonkaloPage.stoppedFor() < due) {
          requestAnimationFrame(look);
        } else {
          callUserCallback(wakeUp);
        }
      };
      requestAnimationFrame(look);
    });
  },

  // What the player must hear of (a record not kept), on the note line.
  tonkalo_page_note__deps: ['$TonkaloPage'],
  tonkalo_page_note: function(text) { TonkaloPage.note(UTF8ToString(text), true); },

  // The record as the state of platform::RecordState (0 none, 1 read, 2 unreadable);
  // the value through `out`. Said once beside the picture when it cannot be read.
  tonkalo_page_record_read: function(out) {
    var stored = TonkaloPage.readStored();
    HEAP32[out >> 2] = stored.value;
    if (stored.state === 2) TonkaloPage.note(stored.problem, true);
    return stored.state;
  },

  // Writes the larger of `value`, the stored record and any another tab announced, so
  // that no tab ever writes an older record; 0 (said beside the picture) when it cannot.
  tonkalo_page_record_write: function(value) {
    var page = TonkaloPage;
    var stored = page.readStored();
    if (stored.state === 2) {
      page.note(stored.problem, true);
      return 0;
    }
    var best = Math.max(value, stored.value, page.recordHeard);
    if (stored.state === 1 && best === stored.value) return 1;
    try {
      window.localStorage.setItem(page.recordKey, page.formatRecord(best));
      return 1;
    } catch (e) {
      page.note('cannot save the high score in the browser\'s storage (' +
                (e && e.name === 'QuotaExceededError' ? 'the storage is full' : 'the storage is switched off') +
                ')', true);
      return 0;
    }
  },
});
