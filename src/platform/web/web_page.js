// The page side of the browser backend (web_backend.cpp): the canvas and its scale, the
// pointer (mouse, pen or finger), Web Audio, the message dialog and local storage. The
// browser's own events only record what happened; the game takes it on its next pass.
mergeInto(LibraryManager.library, {
  $TonkaloPage: {
    canvas: null,
    context: null,
    image: null,
    realInput: false,
    opened: false,
    // The pointer in game pixels, the button, and a press not yet sampled: a tap whose
    // press and release both fall between two passes still reads as down once.
    x: -10000,
    y: -10000,
    down: false,
    latched: false,
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

    // Largest whole number of device pixels per game pixel that fits; a screen too small
    // for even one shrinks the picture to fit instead.
    fit: function() {
      var canvas = TonkaloPage.canvas;
      var stage = canvas.parentElement;
      var ratio = window.devicePixelRatio || 1;
      var k = Math.min(stage.clientWidth * ratio / canvas.width,
                       stage.clientHeight * ratio / canvas.height);
      var f = k >= 1 ? Math.floor(k) : k;
      canvas.style.width = (canvas.width * f / ratio) + 'px';
      canvas.style.height = (canvas.height * f / ratio) + 'px';
      TonkaloPage.events.push([4, 0, 0]);
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
      try {
        TonkaloPage.audio = new AudioContextClass();
      } catch (e) {
        return;
      }
      TonkaloPage.startMusic();
    },

    // Presses on the page's own controls (the fullscreen button, the dialog) are not the
    // game's.
    onPointerDown: function(event) {
      if (event.button !== 0) return;
      if (event.target.closest && event.target.closest('button, dialog')) return;
      TonkaloPage.movePointer(event);
      if (event.pointerType === 'mouse') TonkaloPage.unlockAudio();
      TonkaloPage.down = true;
      TonkaloPage.latched = true;
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

    startBuffer: function(buffer, onEnded) {
      var node = TonkaloPage.audio.createBufferSource();
      node.buffer = buffer;
      node.connect(TonkaloPage.audio.destination);
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
        var node = TonkaloPage.startBuffer(buffer, function() {
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
    window.addEventListener('keydown', page.unlockAudio);
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
    HEAP32[x >> 2] = TonkaloPage.x;
    HEAP32[y >> 2] = TonkaloPage.y;
  },

  tonkalo_page_button__deps: ['$TonkaloPage'],
  tonkalo_page_button: function() {
    var down = TonkaloPage.down || TonkaloPage.latched;
    TonkaloPage.latched = false;
    return down ? 1 : 0;
  },

  tonkalo_page_cursor__deps: ['$TonkaloPage'],
  tonkalo_page_cursor: function(visible) {
    TonkaloPage.canvas.style.cursor = visible ? '' : 'none';
  },

  tonkalo_page_present__deps: ['$TonkaloPage'],
  tonkalo_page_present: function(rgba, width, height) {
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
    page.context.putImageData(page.image, 0, 0);
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
        page.effectNode = page.startBuffer(effect.buffer, null);
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

  tonkalo_page_hidden: function() {
    return document.hidden ? 1 : 0;
  },

  tonkalo_page_pause_audio__deps: ['$TonkaloPage'],
  tonkalo_page_pause_audio: function(paused) {
    var audio = TonkaloPage.audio;
    if (!audio) return;
    (paused ? audio.suspend() : audio.resume()).catch(function() {});
  },

  // -1 when the storage cannot be read; otherwise the stored text ('' when none).
  tonkalo_page_record_read__deps: ['$TonkaloPage'],
  tonkalo_page_record_read: function(out, size) {
    var text;
    try {
      text = window.localStorage.getItem(TonkaloPage.recordKey);
    } catch (e) {
      return -1;
    }
    stringToUTF8(text === null ? '' : String(text), out, size);
    return 0;
  },

  tonkalo_page_record_write__deps: ['$TonkaloPage'],
  tonkalo_page_record_write: function(text) {
    try {
      window.localStorage.setItem(TonkaloPage.recordKey, UTF8ToString(text));
      return 1;
    } catch (e) {
      return 0;
    }
  },
});
