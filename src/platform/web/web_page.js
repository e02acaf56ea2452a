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
    // Port conveniences: the pause stops the passes and the clock (web_backend.cpp waits
    // while it holds); music and effects are switched at their own gain.
    paused: false,
    // The time the page has stood still (hidden or paused), which the game's clock leaves
    // out; counted here from the browser's events, since a pass asleep in a hidden page
    // may wake only after it is shown again.
    stoppedMs: 0,
    stoppedSince: null,
    settings: { music: true, effects: true },
    settingsKey: 'tonkalo.settings',
    musicGain: null,
    effectGain: null,
    noteTimer: 0,
    // The controls' strip across, in CSS pixels (index.html's #controls).
    strip: 64,
    turnSaid: false,
    // [kind, x, y] for the game's next Pump, kinds as PageEvent in web_backend.cpp:
    // 1 press on the canvas, 2 a double-click's second press, 3 track ended (x: the
    // music turn it belongs to), 4 the page was resized.
    events: [],
    lastPress: null,
    audio: null,
    effects: {},
    effectNode: null,
    effectTurn: 0,
    tracks: {},
    music: { path: null, want: false, node: null, turn: 0 },
    recordKey: 'tonkalo.highscore',
    // The largest record another tab has stored while this one ran (the storage event).
    recordHeard: 0,

    gamePoint: function(event) {
      var canvas = TonkaloPage.canvas;
      var r = canvas.getBoundingClientRect();
      if (!r.width || !r.height) return [-10000, -10000];
      return [Math.floor((event.clientX - r.left) * canvas.width / r.width),
              Math.floor((event.clientY - r.top) * canvas.height / r.height)];
    },

    movePointer: function(event) {
      var p = TonkaloPage.gamePoint(event);
      TonkaloPage.x = p[0];
      TonkaloPage.y = p[1];
    },

    // The largest 4:3 box the page holds beside the controls, which go to the side
    // where they cost the picture less. A whole number of device pixels per game pixel
    // when that loses less than 15 % of the box's area; otherwise fractional
    // (nearest-neighbour either way), which cannot be seen at two or more device pixels
    // to a CSS pixel.
    fit: function() {
      var canvas = TonkaloPage.canvas;
      var stage = document.getElementById('stage') || canvas.parentElement;
      var strip = document.getElementById('controls') ? TonkaloPage.strip : 0;
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
      var portrait = h > w && window.matchMedia && window.matchMedia('(pointer: coarse)').matches;
      if (portrait && !TonkaloPage.turnSaid) {
        TonkaloPage.turnSaid = true;
        TonkaloPage.note('Turn the phone sideways for a bigger picture.', false);
      }
      TonkaloPage.events.push([4, 0, 0]);
    },

    // One line beside the picture, gone after a few seconds; problems go to the console
    // as well, as the native program writes them on standard error.
    note: function(text, problem) {
      if (problem) console.warn('tonkalo: ' + text);
      var line = document.getElementById('note');
      if (!line) return;
      line.textContent = text;
      clearTimeout(TonkaloPage.noteTimer);
      TonkaloPage.noteTimer = setTimeout(function() {
        if (line.textContent === text) line.textContent = '';
      }, 6000);
    },

    // Browsers start audio only from a user's gesture: the first press, tap or key.
    unlockAudio: function() {
      if (TonkaloPage.audio) {
        if (TonkaloPage.audio.state === 'suspended' && !document.hidden) {
          TonkaloPage.audio.resume().catch(function() {});
        }
        return;
      }
      if (!TonkaloPage.realInput) return;
      var AudioContextClass = window.AudioContext || window.webkitAudioContext;
      if (!AudioContextClass) return;
      var audio;
      try {
        audio = new AudioContextClass();
      } catch (e) {
        return;
      }
      TonkaloPage.audio = audio;
      TonkaloPage.musicGain = audio.createGain();
      TonkaloPage.effectGain = audio.createGain();
      TonkaloPage.musicGain.connect(audio.destination);
      TonkaloPage.effectGain.connect(audio.destination);
      TonkaloPage.applySettings();
      if (TonkaloPage.paused) audio.suspend().catch(function() {});
      TonkaloPage.startMusic();
    },

    // Presses on the page's own controls (the buttons, the dialog) are not the game's; a
    // press while paused only resumes.
    onPointerDown: function(event) {
      if (event.button !== 0) return;
      if (event.target.closest && event.target.closest('button, dialog')) return;
      TonkaloPage.movePointer(event);
      if (event.pointerType === 'mouse') TonkaloPage.unlockAudio();
      if (TonkaloPage.paused) {
        if (event.target === TonkaloPage.canvas) TonkaloPage.setPaused(false);
        return;
      }
      TonkaloPage.down = true;
      TonkaloPage.pending = [TonkaloPage.x, TonkaloPage.y];
      if (event.target !== TonkaloPage.canvas) return;
      event.preventDefault();
      TonkaloPage.canvas.setPointerCapture(event.pointerId);
      // A second press within 500 ms and 4 px of the first is a double-click's second
      // click; the one after it starts a new pair.
      var now = performance.now();
      var last = TonkaloPage.lastPress;
      var count = 1;
      if (last && now - last.time <= 500 && Math.abs(event.clientX - last.clientX) <= 4 &&
          Math.abs(event.clientY - last.clientY) <= 4) {
        count = last.count + 1;
      }
      TonkaloPage.lastPress = { time: now, clientX: event.clientX, clientY: event.clientY,
                                count: count };
      TonkaloPage.events.push([count % 2 === 0 ? 2 : 1, TonkaloPage.x, TonkaloPage.y]);
    },

    // Also for a cancelled pointer and a page that loses the focus.
    onPointerUp: function(event) {
      if (event.type === 'pointerup') {
        if (event.button !== 0) return;
        if (event.pointerType !== 'mouse') TonkaloPage.unlockAudio();
      }
      TonkaloPage.down = false;
    },

    // A mouse that leaves the page is outside the game; a finger that lifts stays where
    // it tapped, so that the tap is sampled there.
    onPointerLeave: function(event) {
      if (event.pointerType !== 'mouse' || TonkaloPage.down) return;
      TonkaloPage.x = -10000;
      TonkaloPage.y = -10000;
    },

    loadSettings: function() {
      try {
        var kept = JSON.parse(window.localStorage.getItem(TonkaloPage.settingsKey));
        if (kept && typeof kept === 'object') {
          TonkaloPage.settings.music = kept.music !== false;
          TonkaloPage.settings.effects = kept.effects !== false;
        }
      } catch (e) {
        // No storage or a damaged value: the switches start on.
      }
    },

    applySettings: function() {
      var page = TonkaloPage;
      if (page.musicGain) page.musicGain.gain.value = page.settings.music ? 1 : 0;
      if (page.effectGain) page.effectGain.gain.value = page.settings.effects ? 1 : 0;
      page.mark('music', page.settings.music);
      page.mark('effects', page.settings.effects);
      page.mark('pause', page.paused);
    },

    mark: function(id, on) {
      var button = document.getElementById(id);
      if (button) button.setAttribute('aria-pressed', on ? 'true' : 'false');
    },

    toggle: function(which) {
      var page = TonkaloPage;
      page.settings[which] = !page.settings[which];
      page.applySettings();
      page.note((which === 'music' ? 'Music ' : 'Sound effects ') +
                (page.settings[which] ? 'on' : 'off'), false);
      try {
        window.localStorage.setItem(page.settingsKey, JSON.stringify(page.settings));
      } catch (e) {
        // Switches that cannot be kept still hold for this visit.
      }
    },

    countStopped: function() {
      var page = TonkaloPage;
      var stopped = document.hidden || page.paused;
      var now = performance.now();
      if (stopped && page.stoppedSince === null) page.stoppedSince = now;
      if (!stopped && page.stoppedSince !== null) {
        page.stoppedMs += now - page.stoppedSince;
        page.stoppedSince = null;
      }
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
      page.note(paused ? 'Paused: press P or Space, or tap the picture' : '', false);
    },

    toggleFullscreen: function() {
      var stage = document.getElementById('stage');
      if (document.fullscreenElement) {
        document.exitFullscreen().catch(function() {});
      } else if (stage && stage.requestFullscreen) {
        stage.requestFullscreen().catch(function() {});
      }
    },

    // The native window's keys: P and Space pause, M music, S effects, F11 fullscreen.
    // Taken before any button sees them, so a button never keeps a key the game needs.
    onKeyDown: function(event) {
      var page = TonkaloPage;
      page.unlockAudio();
      if (event.ctrlKey || event.altKey || event.metaKey) return;
      var box = document.getElementById('box');
      if (box && box.open) return;
      var key = event.key.length === 1 ? event.key.toLowerCase() : event.key;
      if (['F11', 'p', ' ', 'm', 's'].indexOf(key) < 0) return;
      event.preventDefault();
      event.stopPropagation();
      if (event.repeat) return;
      if (key === 'F11') {
        page.toggleFullscreen();
      } else if (key === 'p' || key === ' ') {
        page.setPaused(!page.paused);
      } else if (key === 'm') {
        page.toggle('music');
      } else if (key === 's') {
        page.toggle('effects');
      }
    },

    // The buttons beside the picture do what the keys do and never take the focus.
    wireControls: function() {
      var page = TonkaloPage;
      var actions = {
        pause: function() { page.setPaused(!page.paused); },
        music: function() { page.toggle('music'); },
        effects: function() { page.toggle('effects'); },
        fullscreen: page.toggleFullscreen,
      };
      Object.keys(actions).forEach(function(id) {
        var button = document.getElementById(id);
        if (!button) return;
        button.addEventListener('mousedown', function(e) { e.preventDefault(); });
        button.addEventListener('click', function() {
          page.unlockAudio();
          actions[id]();
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
      var text;
      try {
        text = window.localStorage.getItem(TonkaloPage.recordKey);
      } catch (e) {
        return { state: 2, value: 0,
                 problem: 'cannot read the high score in the browser\'s storage (it is ' +
                          'switched off): this visit keeps no new record' };
      }
      var stored = TonkaloPage.parseRecord(text);
      if (stored.state === 2) {
        stored.problem = 'cannot read the high score in the browser\'s storage (it is not ' +
                         'a record this game wrote): this visit leaves it as it is and keeps ' +
                         'no new record';
      }
      return stored;
    },

    // Another tab stored a record: remember it so that this one never writes less.
    onStorage: function(event) {
      if (event.key !== TonkaloPage.recordKey) return;
      var heard = TonkaloPage.parseRecord(event.newValue);
      if (heard.state === 1) TonkaloPage.recordHeard = Math.max(TonkaloPage.recordHeard, heard.value);
    },

    showBox: function(caption, text) {
      var box = document.getElementById('box');
      if (!box) {
        window.alert(caption + '\n\n' + text);
        return;
      }
      document.getElementById('box-caption').textContent = caption;
      document.getElementById('box-text').textContent = text;
      if (!box.open) box.showModal();
    },

    stopEffect: function() {
      var node = TonkaloPage.effectNode;
      TonkaloPage.effectNode = null;
      if (node) node.stop();
    },

    startBuffer: function(buffer, gain, onEnded) {
      var node = TonkaloPage.audio.createBufferSource();
      node.buffer = buffer;
      node.connect(gain);
      if (onEnded) node.onended = onEnded;
      node.start();
      return node;
    },

    // Decoded once per path; a missing or undecodable track is null and plays nothing.
    track: function(path) {
      if (!(path in TonkaloPage.tracks)) {
        var bytes = null;
        try {
          bytes = FS.readFile(path);
        } catch (e) {
          bytes = null;
        }
        TonkaloPage.tracks[path] = bytes
            ? TonkaloPage.audio.decodeAudioData(bytes.slice().buffer).catch(function() {
                return null;
              })
            : Promise.resolve(null);
      }
      return TonkaloPage.tracks[path];
    },

    stopMusic: function() {
      var m = TonkaloPage.music;
      m.turn++;
      var node = m.node;
      m.node = null;
      if (node) {
        node.onended = null;
        node.stop();
      }
    },

    // Only a track that plays to its end reports it; a stop asked for does not.
    startMusic: function() {
      var m = TonkaloPage.music;
      if (!TonkaloPage.audio || !m.want || !m.path) return;
      var turn = m.turn;
      TonkaloPage.track(m.path).then(function(buffer) {
        if (!buffer || turn !== m.turn || m.node) return;
        var node = TonkaloPage.startBuffer(buffer, TonkaloPage.musicGain, function() {
          if (m.node !== node) return;
          m.node = null;
          TonkaloPage.events.push([3, m.turn, 0]);
        });
        m.node = node;
      });
    },
  },

  $TonkaloPage__deps: ['$FS'],
  tonkalo_page_open__deps: ['$TonkaloPage'],
  tonkalo_page_open: function(realInput) {
    var page = TonkaloPage;
    page.realInput = realInput !== 0;
    page.events = [];
    if (page.opened) return;
    page.opened = true;
    page.canvas = Module['canvas'] || document.getElementById('screen');
    page.context = page.canvas.getContext('2d');
    window.addEventListener('pointermove', page.movePointer);
    window.addEventListener('pointerdown', page.onPointerDown);
    window.addEventListener('pointerup', page.onPointerUp);
    window.addEventListener('pointercancel', page.onPointerUp);
    window.addEventListener('blur', page.onPointerUp);
    document.documentElement.addEventListener('pointerleave', page.onPointerLeave);
    window.addEventListener('keydown', page.onKeyDown, true);
    window.addEventListener('storage', page.onStorage);
    document.addEventListener('visibilitychange', page.countStopped);
    page.countStopped();
    if (page.realInput) page.loadSettings();
    page.wireControls();
    page.applySettings();
    page.canvas.addEventListener('contextmenu', function(e) { e.preventDefault(); });
    window.addEventListener('resize', page.fit);
    document.addEventListener('fullscreenchange', page.fit);
    page.fit();
  },

  tonkalo_page_close__deps: ['$TonkaloPage'],
  tonkalo_page_close: function() {
    TonkaloPage.stopEffect();
    TonkaloPage.realInput = false;
  },

  tonkalo_page_next_event__deps: ['$TonkaloPage'],
  tonkalo_page_next_event: function(out) {
    var page = TonkaloPage;
    while (page.events.length) {
      var e = page.events.shift();
      // A track-end notice raised before a later music command is stale.
      if (e[0] === 3 && e[1] !== page.music.turn) continue;
      HEAP32[out >> 2] = e[0];
      HEAP32[(out >> 2) + 1] = e[1];
      HEAP32[(out >> 2) + 2] = e[2];
      return 1;
    }
    return 0;
  },

  tonkalo_page_pointer__deps: ['$TonkaloPage'],
  tonkalo_page_pointer: function(x, y) {
    var page = TonkaloPage;
    var at = page.pending || page.sampled || [page.x, page.y];
    HEAP32[x >> 2] = at[0];
    HEAP32[y >> 2] = at[1];
  },

  tonkalo_page_button__deps: ['$TonkaloPage'],
  tonkalo_page_button: function() {
    var page = TonkaloPage;
    var down = page.down || page.pending !== null;
    page.sampled = page.pending;
    page.pending = null;
    return down ? 1 : 0;
  },

  tonkalo_page_cursor__deps: ['$TonkaloPage'],
  tonkalo_page_cursor: function(visible) {
    TonkaloPage.canvas.style.cursor = visible ? '' : 'none';
  },

  // Rows top to bottom of the frame (R, G, B, 255 bytes) changed since the last present:
  // only that band is uploaded.
  tonkalo_page_present__deps: ['$TonkaloPage'],
  tonkalo_page_present: function(rgba, width, height, top, bottom) {
    var page = TonkaloPage;
    if (page.canvas.width !== width || page.canvas.height !== height) {
      page.canvas.width = width;
      page.canvas.height = height;
      page.image = null;
      page.fit();
    }
    // A view of the frame where it lies in the heap, made again when the heap grows or
    // the frame moves, so the only copy is putImageData's own.
    if (!page.image || page.image.data.buffer !== HEAPU8.buffer ||
        page.image.data.byteOffset !== rgba) {
      page.image = new ImageData(
          new Uint8ClampedArray(HEAPU8.buffer, rgba, width * height * 4), width, height);
    }
    page.context.putImageData(page.image, 0, 0, 0, top, width, bottom - top);
    if (Module['onFirstFrame']) {
      var first = Module['onFirstFrame'];
      Module['onFirstFrame'] = null;
      first();
    }
  },

  tonkalo_page_show_box__deps: ['$TonkaloPage'],
  tonkalo_page_show_box: function(caption, text) {
    TonkaloPage.showBox(UTF8ToString(caption), UTF8ToString(text));
  },

  tonkalo_page_box_open: function() {
    var box = document.getElementById('box');
    return box && box.open ? 1 : 0;
  },

  tonkalo_page_effect__deps: ['$TonkaloPage'],
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
    var play = function() {
      if (turn === page.effectTurn && effect.buffer) {
        page.effectNode = page.startBuffer(effect.buffer, page.effectGain, null);
      }
    };
    if (effect.buffer) play(); else effect.ready.then(play);
  },

  // The commands in the order of platform::MusicCommand: stop, open, play, replay, close.
  tonkalo_page_music__deps: ['$TonkaloPage'],
  tonkalo_page_music: function(command, path) {
    var m = TonkaloPage.music;
    var name = UTF8ToString(path);
    TonkaloPage.stopMusic();
    switch (command) {
      case 0: m.want = false; break;
      case 1: m.path = name; m.want = false; break;
      case 2: m.want = true; break;
      case 3: if (name) m.path = name; m.want = true; break;
      case 4: m.path = null; m.want = false; break;
    }
    TonkaloPage.startMusic();
  },

  // The passes and the clock stand still while the page is hidden or paused.
  tonkalo_page_stopped__deps: ['$TonkaloPage'],
  tonkalo_page_stopped: function() {
    return document.hidden || TonkaloPage.paused ? 1 : 0;
  },

  tonkalo_page_stopped_ms__deps: ['$TonkaloPage'],
  tonkalo_page_stopped_ms: function() {
    var page = TonkaloPage;
    return page.stoppedMs + (page.stoppedSince === null ? 0 : performance.now() - page.stoppedSince);
  },

  tonkalo_page_pause_audio__deps: ['$TonkaloPage'],
  tonkalo_page_pause_audio: function(paused) {
    var audio = TonkaloPage.audio;
    if (!audio) return;
    (paused ? audio.suspend() : audio.resume()).catch(function() {});
  },

  // What the player must hear of (a record not kept), on the note line.
  tonkalo_page_note__deps: ['$TonkaloPage'],
  tonkalo_page_note: function(text) { TonkaloPage.note(UTF8ToString(text), true); },

  // The record as the state of platform::RecordState (0 none, 1 read, 2 unreadable);
  // the value through `out`. Said once beside the picture when it cannot be read.
  tonkalo_page_record_read__deps: ['$TonkaloPage'],
  tonkalo_page_record_read: function(out) {
    var stored = TonkaloPage.readStored();
    HEAP32[out >> 2] = stored.value;
    if (stored.state === 2) TonkaloPage.note(stored.problem, true);
    return stored.state;
  },

  // Writes the larger of `value`, the stored record and any another tab announced, so
  // that no tab ever writes an older record; 0 (said beside the picture) when it cannot.
  tonkalo_page_record_write__deps: ['$TonkaloPage'],
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
