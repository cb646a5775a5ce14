// The page around the player: writes the scene's files into the in-memory file system,
// starts render mode (?seed=S&frames=N&frame-ms=MS[&stress=N][&bare=1]) or play mode, and
// wires the effect text, its findings, the editor's panel, the buttons, dropped files and the
// share link to the player.
'use strict';

const query = new URLSearchParams(location.search);
const $ = (id) => document.getElementById(id);
let effects = [];  // the played effects: {effect, sprite, at}
let selected = 0;
let edited = '';  // the file the text box and the panel edit: the selected effect's or a parent

var Module = {
  canvas: $('canvas'),
  print: (text) => console.log(text),
  printErr: (text) => console.warn(text),
  // The module index.html has been compiling since the page's head.
  instantiateWasm: (imports, receive) => {
    window.ppWasmModule.then((module) => WebAssembly.instantiate(module, imports))
        .then(receive, (error) => say('cannot start: ' + error));
    return {};
  },
  onRuntimeInitialized: () => {
    window.ppRuntimeReadyMs = performance.now();
    start().catch((error) => say('cannot start: ' + error));
  },
};

function say(text) {
  if (!text) return;
  $('messages').textContent += text.endsWith('\n') ? text : text + '\n';
}

function takeMessages() {
  say(Module.ccall('pp_web_take_messages', 'string', [], []));
}

// Calls an exported function with numbers and strings; call() shows what it said.
function callAs(returns, name, args) {
  const types = args.map((a) => (typeof a === 'number' ? 'number' : 'string'));
  return Module.ccall(name, returns, types, args);
}

function call(name, args) {
  const result = callAs('number', name, args);
  takeMessages();
  return result;
}

function callText(name, args) {
  return callAs('string', name, args);
}

// The scene's files, whose fetches index.html started, into the in-memory file system.
async function writeScene() {
  for (const {name, bytes} of window.ppSceneFiles) {
    const data = await bytes;
    if (data === null) continue;
    Module.FS.mkdirTree('/' + name.substring(0, name.lastIndexOf('/')));
    Module.FS.writeFile('/' + name, data);
  }
  Module.FS.chdir('/');
}

// The screen's last frame as the PNG render writes.
window.ppFramePng = () => {
  const size = Module.ccall('pp_web_frame_png', 'number', [], []);
  const at = Module.ccall('pp_web_png_bytes', 'number', [], []);
  return Array.from(Module.HEAPU8.subarray(at, at + size));
};

window.ppScreenshot = () => {
  const bytes = new Uint8Array(window.ppFramePng());
  if (bytes.length === 0) return;
  const link = document.createElement('a');
  const now = new Date();
  const two = (n) => String(n).padStart(2, '0');
  link.download = `particleplayer-${now.getFullYear()}${two(now.getMonth() + 1)}` +
      `${two(now.getDate())}-${two(now.getHours())}${two(now.getMinutes())}` +
      `${two(now.getSeconds())}.png`;
  link.href = URL.createObjectURL(new Blob([bytes], {type: 'image/png'}));
  link.click();
  setTimeout(() => URL.revokeObjectURL(link.href), 1000);
};

async function start() {
  await writeScene();
  window.ppDataReadyMs = performance.now();
  const renderKeys = ['seed', 'frames', 'frame-ms', 'stress'];
  if (renderKeys.some((key) => query.has(key))) {
    const args = renderKeys.filter((key) => query.has(key))
                     .map((key) => `--${key} ${query.get(key)}`).join(' ');
    // Bare shows the canvas alone, unless there is something to say about the arguments.
    if (call('pp_web_render', [args]) !== 1 || query.get('bare') !== '1') {
      $('panel').classList.remove('hidden');
    }
    wirePreview();
    return;
  }
  $('panel').classList.remove('hidden');
  if (call('pp_web_play', ['']) !== 1) return;
  $('edit-panel').classList.remove('hidden');
  readEffects();
  openShared();
  showSelected();
  wireControls();
}

// Render mode's preview controls. A new seed starts the run again from frame 0 with it;
// scrubbing back replays from the seed, as the player does for a frame behind the current one.
function wirePreview() {
  $('preview').classList.remove('hidden');
  $('play-controls').classList.add('hidden');
  const state = () => callText('pp_web_render_state', []).split(' ').map(Number);
  const control = (paused, speed, loop) =>
      callAs('null', 'pp_web_render_control', [paused, speed, loop]);
  let paused = false;
  $('preview-pause').addEventListener('click', () => {
    paused = !paused;
    control(paused ? 1 : 0, -1, -1);
    $('preview-pause').textContent = paused ? 'Play' : 'Pause';
  });
  $('preview-step').addEventListener('click', () => callAs('null', 'pp_web_render_step', []));
  $('preview-speed').addEventListener('change', () =>
      control(-1, Number($('preview-speed').value), -1));
  $('preview-loop').addEventListener('change', () =>
      control(-1, -1, $('preview-loop').checked ? 1 : 0));
  $('preview-seed').value = query.get('seed') || '';
  $('preview-seed').addEventListener('change', () => {
    const args = ['frames', 'frame-ms', 'stress'].filter((key) => query.has(key))
                     .map((key) => `--${key} ${query.get(key)}`);
    if ($('preview-seed').value !== '') args.push(`--seed ${$('preview-seed').value}`);
    if (call('pp_web_render', [args.join(' ')]) !== 1) return;
    control(paused ? 1 : 0, Number($('preview-speed').value), $('preview-loop').checked ? 1 : 0);
  });
  $('preview-scrub').addEventListener('input', () => {
    if (!paused) $('preview-pause').click();
    callAs('null', 'pp_web_render_scrub', [Number($('preview-scrub').value)]);
  });
  const show = () => {
    const [frame, frames, particles, frameMs] = state();
    if (frames === undefined || Number.isNaN(frames)) return;
    $('preview-scrub').max = String(frames);
    if (document.activeElement !== $('preview-scrub')) $('preview-scrub').value = String(frame);
    $('preview-state').textContent = `frame ${frame} of ${frames}, ${particles} particles, ` +
        `engine ${frameMs.toFixed(2)} ms a frame`;
    requestAnimationFrame(show);
  };
  requestAnimationFrame(show);
}

function readEffects() {
  effects = callText('pp_web_effects', []).split('\n').filter((l) => l.length > 0).map((line) => {
    const at = line.lastIndexOf('@');
    const colon = line.indexOf(':');
    return {effect: line.substring(0, colon), sprite: line.substring(colon + 1, at),
            at: line.substring(at + 1)};
  });
  const select = $('effect');
  select.innerHTML = '';
  effects.forEach((e, i) => select.add(new Option(`${e.effect} @ ${e.at}`, String(i))));
  if (selected >= effects.length) selected = 0;
  select.value = String(selected);
}

function readText(path) {
  try {
    return new TextDecoder().decode(Module.FS.readFile(path));
  } catch (error) {
    return '';
  }
}

function showFindings() {
  const list = $('findings');
  list.innerHTML = '';
  const lines = callText('pp_web_findings', [selected]).split('\n').filter((l) => l.length > 0);
  for (const line of lines) {
    const item = document.createElement('li');
    item.textContent = line;
    list.appendChild(item);
  }
}

function showSelected() {
  if (effects.length === 0) return;
  edited = effects[selected].effect;
  $('text').value = readText(edited);
  showFindings();
  call('pp_web_panel_open', [selected]);
}

// The editor's panel saved an edit: the file's text and the findings as they are now.
window.ppPanelEdited = () => {
  $('text').value = readText(edited);
  showFindings();
};

// The panel opened the file an inherited value comes from: the text box edits that one now.
window.ppPanelOpened = () => {
  takeMessages();
  edited = callText('pp_web_panel_file', []);
  window.ppPanelEdited();
};

// Saves the text as an editor does (a new file renamed over the old one), then lets the
// player notice it as play notices a save.
function applyText(text) {
  const path = edited || effects[selected].effect;
  Module.FS.writeFile(path + '.saving', text);
  Module.FS.rename(path + '.saving', path);
  call('pp_web_poll', []);
  callAs('number', 'pp_web_panel_text', [text]);
  showFindings();
}

function utf8ToBase64(text) {
  const bytes = new TextEncoder().encode(text);
  let binary = '';
  bytes.forEach((b) => { binary += String.fromCharCode(b); });
  return btoa(binary).replace(/\+/g, '-').replace(/\//g, '_').replace(/=+$/, '');
}

function base64ToUtf8(text) {
  const binary = atob(text.replace(/-/g, '+').replace(/_/g, '/'));
  return new TextDecoder().decode(Uint8Array.from(binary, (c) => c.charCodeAt(0)));
}

// A shared link carries "#effect=INDEX&text=BASE64URL" in its fragment.
function openShared() {
  const fragment = new URLSearchParams(location.hash.substring(1));
  if (!fragment.has('text')) return;
  const index = Number(fragment.get('effect') || '0');
  if (Number.isInteger(index) && index >= 0 && index < effects.length) selected = index;
  try {
    applyText(base64ToUtf8(fragment.get('text')));
  } catch (error) {
    say('the shared link holds no readable effect text');
  }
  $('effect').value = String(selected);
}

function safeName(name) {
  return name.replace(/[^A-Za-z0-9._-]/g, '_');
}

async function dropFiles(files) {
  const dropped = {txt: [], png: []};
  Module.FS.mkdirTree('/dropped');
  for (const file of files) {
    const kind = file.name.toLowerCase().endsWith('.txt') ? 'txt'
        : file.name.toLowerCase().endsWith('.png') ? 'png' : null;
    if (kind === null) {
      say(`${file.name}: only .txt effects and .png sprites can be played`);
      continue;
    }
    const path = '/dropped/' + safeName(file.name);
    Module.FS.writeFile(path, new Uint8Array(await file.arrayBuffer()));
    dropped[kind].push(path);
  }
  let args;
  if (dropped.txt.length > 0) {
    args = dropped.txt.join(' ');
    selected = 0;
  } else if (dropped.png.length > 0 && effects.length > 0) {
    args = effects.map((e, i) => `${e.effect}:${i === selected ? dropped.png[0] : e.sprite}` +
                                 `@${e.at}`).join(' ');
  } else {
    return;
  }
  if (call('pp_web_play', [args]) === 1) {
    readEffects();
    showSelected();
  }
}

function wireControls() {
  $('effect').addEventListener('change', () => {
    selected = Number($('effect').value);
    showSelected();
  });
  $('text').addEventListener('input', () => applyText($('text').value));
  const showPaused = () => {
    $('pause').textContent = callAs('number', 'pp_web_paused', []) ? 'Resume' : 'Pause';
  };
  $('pause').addEventListener('click', () => {
    call('pp_web_pause', [callAs('number', 'pp_web_paused', []) ? 0 : 1]);
    showPaused();
  });
  // Space on the canvas pauses in the next frame.
  $('canvas').addEventListener('keyup', () => setTimeout(showPaused, 100));
  $('restart').addEventListener('click', () => call('pp_web_restart', []));
  $('screenshot').addEventListener('click', () => window.ppScreenshot());
  $('share').addEventListener('click', (event) => {
    event.preventDefault();
    const url = new URL(location.href);
    url.hash = `effect=${selected}&text=${utf8ToBase64($('text').value)}`;
    history.replaceState(null, '', url);
    if (navigator.clipboard) navigator.clipboard.writeText(url.href).catch(() => {});
    say('share link: ' + url.href);
  });
  document.addEventListener('dragover', (event) => event.preventDefault());
  document.addEventListener('drop', (event) => {
    event.preventDefault();
    dropFiles(Array.from(event.dataTransfer.files)).catch((error) => say(String(error)));
  });
  window.addEventListener('hashchange', () => {
    openShared();
    showSelected();
  });
}
