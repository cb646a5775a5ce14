// The page in headless Chromium: it loads; render mode's frame 60 at seed 1 is render's PNG,
// also with a turbulent effect in the scene; editing the effect text changes the picture; a
// broken text lists check's findings; a shared link and dropped files play what they hold; a
// curve point dragged in the editor's panel changes the text and the picture. Prints the
// measured budgets (first frame, the median of three first visits; main-thread time of a
// frame, in play and with 100k particles).
'use strict';
const assert = require('node:assert/strict');
const fs = require('node:fs');
const zlib = require('node:zlib');
const {chromium} = require(process.env.PP_PLAYWRIGHT);

const url = process.env.PP_WEB_URL;
const renderUrl = `${url}?seed=1&frames=60&frame-ms=16&bare=1`;
const kFirstFrameBudgetMs = 1000;

// Decodes an 8-bit RGB PNG (every filter type) into rows of R, G, B bytes.
function decodePng(bytes) {
  const buffer = Buffer.from(bytes);
  let at = 8, width = 0, height = 0;
  const idat = [];
  while (at < buffer.length) {
    const length = buffer.readUInt32BE(at);
    const type = buffer.toString('latin1', at + 4, at + 8);
    const data = buffer.subarray(at + 8, at + 8 + length);
    if (type === 'IHDR') {
      width = data.readUInt32BE(0);
      height = data.readUInt32BE(4);
      assert.equal(data[8], 8, 'bit depth');
      assert.equal(data[9], 2, 'colour type RGB');
    }
    if (type === 'IDAT') idat.push(data);
    at += 12 + length;
  }
  const raw = zlib.inflateSync(Buffer.concat(idat));
  const stride = width * 3;
  const out = Buffer.alloc(stride * height);
  for (let y = 0; y < height; ++y) {
    const filter = raw[y * (stride + 1)];
    for (let x = 0; x < stride; ++x) {
      const v = raw[y * (stride + 1) + 1 + x];
      const a = x >= 3 ? out[y * stride + x - 3] : 0;
      const b = y > 0 ? out[(y - 1) * stride + x] : 0;
      const c = x >= 3 && y > 0 ? out[(y - 1) * stride + x - 3] : 0;
      let p;
      if (filter === 0) p = 0;
      else if (filter === 1) p = a;
      else if (filter === 2) p = b;
      else if (filter === 3) p = (a + b) >> 1;
      else {
        const pa = Math.abs(b - c), pb = Math.abs(a - c), pc = Math.abs(a + b - 2 * c);
        p = pa <= pb && pa <= pc ? a : pb <= pc ? b : c;
      }
      out[y * stride + x] = (v + p) & 255;
    }
  }
  return {width, height, pixels: out};
}

// Pixels of the box around (cx, cy) that are not black.
function litPixels(image, cx, cy, half) {
  let lit = 0;
  for (let y = Math.max(0, cy - half); y < Math.min(image.height, cy + half); ++y) {
    for (let x = Math.max(0, cx - half); x < Math.min(image.width, cx + half); ++x) {
      const i = (y * image.width + x) * 3;
      if (image.pixels[i] + image.pixels[i + 1] + image.pixels[i + 2] > 30) ++lit;
    }
  }
  return lit;
}

// The page's last frame against render's PNG at referencePath; returns the page's PNG.
async function expectRenderPng(page, referencePath, name) {
  const web = Buffer.from(await page.evaluate(() => window.ppFramePng()));
  const reference = fs.readFileSync(referencePath);
  if (!web.equals(reference)) {
    fs.writeFileSync(referencePath.replace(/\.png$/, '-web.png'), web);
    // Where the rasterisers may differ: at most one unit on at most 0.1% of the pixels.
    const a = decodePng(web), b = decodePng(reference);
    assert.equal(a.width, b.width);
    let differing = 0, largest = 0;
    for (let i = 0; i < a.pixels.length; i += 3) {
      let d = 0;
      for (let k = 0; k < 3; ++k) d = Math.max(d, Math.abs(a.pixels[i + k] - b.pixels[i + k]));
      if (d > 0) ++differing;
      largest = Math.max(largest, d);
    }
    console.log(`web-test: ${name}: frame 60 differs from render's on ${differing} pixels, by at most ` +
                `${largest}`);
    assert.ok(largest <= 1 && differing <= a.width * a.height / 1000, 'frame 60 as render draws it');
  } else {
    console.log(`web-test: ${name}: frame 60 at seed 1 equals render's PNG byte for byte`);
  }
  return web;
}

async function renderMode(browser, at = url, name = 'the page') {
  const page = await browser.newPage();
  const errors = [];
  page.on('pageerror', (error) => errors.push(String(error)));
  await page.goto(`${at}?seed=1&frames=60&frame-ms=16&bare=1`);
  await page.waitForFunction(() => document.title === 'done', null, {timeout: 60000});
  assert.deepEqual(errors, []);
  const box = await page.locator('#canvas').boundingBox();
  assert.deepEqual(box, {x: 0, y: 0, width: 800, height: 600}, 'the canvas alone, top left');
  assert.equal(await page.locator('#panel').isVisible(), false);
  const web = await expectRenderPng(page, process.env.PP_WEB_REFERENCE, name);
  // Paused, scrubbed back to 59 (a replay from the seed, its frames only updated) and stepped
  // once: frame 60 again, byte for byte.
  const stepped = await page.evaluate(() => {
    Module.ccall('pp_web_render_control', null, ['number', 'number', 'number'], [1, -1, -1]);
    Module.ccall('pp_web_render_scrub', null, ['number'], [59]);
    Module.ccall('pp_web_render_step', null, [], []);
    return window.ppFramePng();
  });
  assert.ok(Buffer.from(stepped).equals(web), `${name}: scrubbed to 59 and stepped, frame 60`);
  await page.close();
}

// The scene with the gallery's smoke, whose turbulence field uses no library mathematics, in
// the bubble's place: its files written over the bubble's, render mode runs again and its
// frame 60 is render's of the same scene.
async function turbulentRenderMode(browser) {
  const page = await browser.newPage();
  const errors = [];
  page.on('pageerror', (error) => errors.push(String(error)));
  await page.goto(renderUrl);
  await page.waitForFunction(() => document.title === 'done', null, {timeout: 60000});
  const files = ['examples/effects/Smoke.txt', 'examples/effects/Smoke.png'].map(
      (name) => Array.from(fs.readFileSync(name)));
  await page.evaluate(([text, sprite]) => {
    Module.FS.writeFile('/Data/Luftblase.txt', new Uint8Array(text));
    Module.FS.writeFile('/Data/Luftblase.png', new Uint8Array(sprite));
    document.title = '';
    Module.ccall('pp_web_render', 'number', ['string'], ['--seed 1 --frames 60 --frame-ms 16']);
  }, files);
  await page.waitForFunction(() => document.title === 'done', null, {timeout: 60000});
  assert.deepEqual(errors, []);
  await expectRenderPng(page, process.env.PP_WEB_TURBULENT_REFERENCE, 'the turbulent smoke');
  await page.close();
}

// The first frame's time after navigation in render mode: the median of three loads, each a
// first visit (a browser context of its own, so no HTTP cache and no compiled WebAssembly kept
// from an earlier load). The pages before them are not counted: the browser's first page also
// starts its GPU process and WebGL, which a visitor's running browser has already.
async function firstFrameBudget(browser) {
  const loads = [];
  for (let i = 0; i < 3; ++i) {
    const context = await browser.newContext();
    const page = await context.newPage();
    await page.goto(renderUrl);
    await page.waitForFunction(() => document.title === 'done', null, {timeout: 60000});
    loads.push(await page.evaluate(
        () => [window.ppFirstFrameMs, window.ppRuntimeReadyMs, window.ppDataReadyMs]));
    await context.close();
  }
  const all = loads.map((l) => l[0].toFixed(0)).join(', ');
  const [first, runtime, data] = loads.sort((a, b) => a[0] - b[0])[1];
  console.log(`web-test: first frame ${first.toFixed(0)} ms after navigation, median of ${all} ` +
              `(WebAssembly ready at ${runtime.toFixed(0)}, scene files at ${data.toFixed(0)})`);
  // Reported, not asserted: a timing depends on the machine's load, and a test must not.
  console.log(`web-test: first-frame budget ${kFirstFrameBudgetMs} ms ` +
              (first <= kFirstFrameBudgetMs ? 'met' : 'NOT met at this load'));
}

// The main-thread time of a frame of render's scale scene (100k particles) on the page, and on
// the plain page built without WebAssembly SIMD when PP_WEB_SCALAR_URL names one. Reported,
// not asserted, as above. The plain page's frame 60 must also be render's PNG.
async function stressFrameTimes(browser) {
  const pages = [['the page', url]];
  if (process.env.PP_WEB_SCALAR_URL) pages.push(['the plain page', process.env.PP_WEB_SCALAR_URL]);
  for (const [name, at] of pages) {
    const page = await browser.newPage();
    await page.goto(`${at}?seed=1&frames=120&frame-ms=16&stress=100000&bare=1`);
    await page.waitForFunction(() => document.title === 'done', null, {timeout: 300000});
    const times = await page.evaluate(() => Module.ccall('pp_web_frame_times', 'string', [], []));
    console.log(`web-test: ${name}, 100k particles (stress=100000), main-thread time of a ` +
                `frame (ms): ${times}`);
    await page.close();
  }
}

async function openPlay(browser, at, errors) {
  const page = await browser.newPage();
  page.on('pageerror', (error) => errors.push(String(error)));
  await page.goto(at);
  await page.waitForFunction(() => document.querySelectorAll('#effect option').length > 0);
  return page;
}

// The page's frame after `ms` of play; the lit pixels of the box of half-width 50 around x, y.
async function litAfter(page, ms, x, y) {
  await page.waitForTimeout(ms);
  return litPixels(decodePng(await page.evaluate(() => window.ppFramePng())), x, y, 50);
}

async function playMode(browser) {
  const errors = [];
  const page = await openPlay(browser, url, errors);
  assert.equal(await page.locator('#effect option').count(), 4);
  // The fire (the second effect, at 600,500), first as it is, then stopped.
  await page.selectOption('#effect', '1');
  const original = await page.inputValue('#text');
  assert.match(original, /EmissionRate/);
  const before = await litAfter(page, 1500, 600, 470);
  assert.deepEqual(await page.locator('#findings li').allTextContents(), []);
  const stopped = original + ',\nDisable = 1';
  await page.fill('#text', stopped);
  const after = await litAfter(page, 3000, 600, 470);
  assert.ok(before > 500 && after < before / 4, `the edit stops the fire (${before} -> ${after})`);
  assert.match((await page.locator('#findings li').allTextContents()).join('\n'),
               /^Data\/Feuer\.txt:\d+:1: warning: 'Disable = 1' switches the emitter off/);

  // The share link holds the edit: opened, it shows that text and the fire stays out.
  await page.click('#share');
  const shared = await openPlay(browser, page.url(), errors);
  assert.equal(await shared.inputValue('#text'), stopped);
  const sharedFire = await litAfter(shared, 1500, 600, 470);
  assert.ok(sharedFire < before / 4, `the shared link stops the fire (${sharedFire})`);
  await shared.close();

  // A broken text lists what check finds, as `particleplayer check` prints it.
  await page.fill('#text', 'Sise = 12,\nLifeTime = {Value = 1');
  await page.waitForFunction(() => document.querySelectorAll('#findings li').length > 0);
  const findings = await page.locator('#findings li').allTextContents();
  assert.ok(findings.every((line) => /^Data\/Feuer\.txt:\d+:\d+: /.test(line)), findings.join('\n'));

  const times = await page.evaluate(() => Module.ccall('pp_web_frame_times', 'string', [], []));
  console.log(`web-test: main-thread time of a frame in play (ms): ${times}`);

  // A dropped effect text with its sprite plays alone, in the centre.
  await page.evaluate(async (text) => {
    const files = new DataTransfer();
    files.items.add(new File([text], 'Drop.txt'));
    files.items.add(new File([await (await fetch('Data/Feuer.png')).blob()], 'Drop.png'));
    document.dispatchEvent(new DragEvent('drop', {dataTransfer: files, cancelable: true}));
  }, original);
  await page.waitForFunction(() => document.querySelectorAll('#effect option').length === 1);
  assert.equal(await page.inputValue('#text'), original);
  const centre = await litAfter(page, 1500, 400, 270);
  assert.ok(centre > 500, `the dropped fire burns in the centre (${centre})`);
  assert.deepEqual(errors, []);
  await page.close();
}

// Resolves once the editor's panel has drawn `count` more frames (each takes the mouse's events
// since the one before, up to one press or release).
async function panelFrames(page, count = 2) {
  const frames = () => Module.ccall('pp_web_panel_frames', 'number', [], []);
  const now = await page.evaluate(frames);
  await page.waitForFunction(`(${frames})() >= ${now + count}`);
}

// The page's point of the middle of the panel's widget `label` of `key` (under `index`),
// scrolled into the panel's view by the mouse wheel first.
async function panelWidget(page, key, label, index = -1) {
  const box = await page.locator('#edit-panel').boundingBox();
  for (let turn = 0; turn < 200; ++turn) {
    const rect = await page.evaluate(([k, l, i]) => Module.ccall('pp_web_panel_rect', 'string',
        ['string', 'string', 'number'], [k, l, i]), [key, label, index]);
    assert.notEqual(rect, '', `the panel draws ${key} ${label}`);
    const [x, y, w, h] = rect.split(' ').map(Number);
    if (y >= 0 && y + h <= box.height) return {x: box.x + x + w / 2, y: box.y + y + h / 2};
    await page.mouse.move(box.x + box.width / 2, box.y + box.height / 2);
    await page.mouse.wheel(0, y < 0 ? -100 : 100);
    await panelFrames(page);
  }
  throw new Error(`${key} ${label} never scrolls into the panel's view`);
}

async function panelClick(page, at) {
  await page.mouse.move(at.x, at.y);
  await panelFrames(page);
  await page.mouse.down();
  await panelFrames(page);
  await page.mouse.up();
  await panelFrames(page);
}

// The lit pixels around the fire once `holds` is true of them, looked at every few frames.
async function litOnce(page, holds) {
  for (let turn = 0; turn < 100; ++turn) {
    await panelFrames(page, 5);
    const lit = litPixels(decodePng(await page.evaluate(() => window.ppFramePng())), 600, 470, 50);
    if (holds(lit)) return lit;
  }
  throw new Error('the fire never looks as it should');
}

// The fire's SizeOverLife gets a point from the panel's "+ point", whose value is then dragged
// down to 0 by the mouse: the text changes in that entry alone, the fire goes out, Ctrl+Z on
// the panel takes the whole drag back in one step and Ctrl+Y brings it again.
async function panelDrag(browser) {
  const errors = [];
  const page = await openPlay(browser, url, errors);
  await page.selectOption('#effect', '1');
  const original = await page.inputValue('#text');
  const burning = await litOnce(page, (lit) => lit > 500);
  await panelClick(page, await panelWidget(page, 'SizeOverLife', '+ point'));
  const pointed = await page.inputValue('#text');
  // One entry appended in the file's own line end, its point at time 0 with the value 1.
  assert.equal(pointed, original.replace(/\n$/, '') + ',\nSizeOverLife = {0 = 1}\n');
  const at = await panelWidget(page, 'SizeOverLife', '##v', 0);
  await page.mouse.move(at.x, at.y);
  await panelFrames(page);
  await page.mouse.down();
  await panelFrames(page);
  for (let step = 1; step <= 10; ++step) {
    await page.mouse.move(at.x - 40 * step, at.y);
    await panelFrames(page);
  }
  await page.mouse.up();
  await panelFrames(page);
  const dragged = await page.inputValue('#text');
  assert.equal(dragged, pointed.replace('{0 = 1}', '{0 = 0}'), 'the point dragged to 0 alone');
  const out = await litOnce(page, (lit) => lit < burning / 4);
  console.log(`web-test: the panel's drag of a SizeOverLife point to 0 puts the fire out ` +
              `(${burning} -> ${out} lit pixels)`);
  // Ctrl+Z's four key events in one task, all before the panel's next frame, as a quick hand
  // on a slow machine gives them, with more mouse moves between Ctrl and Z than the panel
  // queues (a page that draws no frames for a while): the undo still sees Z pressed with Ctrl
  // held.
  await page.evaluate(([x, y]) => {
    const panel = document.querySelector('#edit-panel');
    const key = (type, key, ctrlKey) =>
      panel.dispatchEvent(new KeyboardEvent(type, {key, ctrlKey, bubbles: true}));
    key('keydown', 'Control', true);
    for (let i = 0; i < 600; ++i) {
      document.dispatchEvent(new MouseEvent('mousemove', {clientX: x, clientY: y, ctrlKey: true}));
    }
    key('keydown', 'z', true);
    key('keyup', 'z', true);
    key('keyup', 'Control', false);
  }, [at.x - 400, at.y]);
  await panelFrames(page, 4);
  assert.equal(await page.inputValue('#text'), pointed, 'the drag is one undo step');
  await page.keyboard.press('Control+y');
  await panelFrames(page, 4);
  assert.equal(await page.inputValue('#text'), dragged, 'Ctrl+Y takes the drag again');
  assert.deepEqual(errors, []);
  await page.close();
}

(async () => {
  const browser = await chromium.launch({
    executablePath: '/usr/bin/chromium',
    args: ['--use-angle=gl-egl', '--ozone-platform=headless', '--ignore-gpu-blocklist', '--enable-gpu'],
  });
  try {
    await renderMode(browser);
    await turbulentRenderMode(browser);
    if (process.env.PP_WEB_SCALAR_URL) {
      await renderMode(browser, process.env.PP_WEB_SCALAR_URL, 'the plain page');
    }
    await playMode(browser);
    await panelDrag(browser);
    await firstFrameBudget(browser);
    await stressFrameTimes(browser);
  } finally {
    await browser.close();
  }
  console.log('web-test: passed');
})().catch((error) => {
  console.error(error);
  process.exit(1);
});
