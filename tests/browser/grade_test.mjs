// Drives Debian's chromium against a running `tonalith grade`: the dialog's controls by mouse and
// keyboard, the preview's pixels against `tonalith apply` on the page's own chain, the saved block
// against `tonalith chain convert`, and the server's refusals. Prints the preview latency it
// measured and leaves a screenshot of the page.
//
// node grade_test.mjs TONALITH WORKDIR SCREENSHOT
import { spawn, execFileSync } from "node:child_process";
import { readFileSync, writeFileSync, mkdirSync } from "node:fs";
import http from "node:http";
import os from "node:os";
import { createHash } from "node:crypto";
import path from "node:path";
import { chromium } from "playwright-core";

const [tonalith, workdir, screenshot] = process.argv.slice(2);
if (!tonalith || !workdir || !screenshot) {
  console.error("usage: node grade_test.mjs TONALITH WORKDIR SCREENSHOT");
  process.exit(2);
}
mkdirSync(workdir, { recursive: true });
const chromiumPath = process.env.CHROMIUM || "/usr/bin/chromium";
let failures = 0;
function check(ok, what, detail = "") {
  console.log(`${ok ? "ok  " : "FAIL"} ${what}${detail ? ": " + detail : ""}`);
  if (!ok) failures++;
}
const run = (...args) => execFileSync(tonalith, args, { stdio: ["ignore", "pipe", "inherit"] });

// A 1920x1080 picture with gradients, colour bars and noise, and a starting chain.
const picture = path.join(workdir, "picture.png");
execFileSync("ffmpeg", ["-v", "error", "-y", "-f", "lavfi", "-i", "testsrc2=size=1920x1080:rate=1", "-frames:v", "1", picture]);
const startChain = path.join(workdir, "start.json");
writeFileSync(startChain, JSON.stringify({ format: "tonalith-chain", version: 1, stages: [
  { model: "RGB", tracks: { "R(off)": 10, "G(gamm)": 8, "B(off)": -8 } },
  { model: "HSV", tracks: { "H(offs)": 30, "S(con2)": 64, "9": 120, "H(width)": 40 } }] }));

// The server, and the address it prints.
const server = spawn(tonalith, ["grade", picture, startChain], { stdio: ["ignore", "pipe", "inherit"] });
const address = await new Promise((resolve, reject) => {
  let text = "";
  server.stdout.on("data", (chunk) => {
    text += chunk;
    const found = text.match(/http:\/\/127\.0\.0\.1:(\d+)\/\?token=([0-9a-f]{64})/);
    if (found) resolve({ url: found[0], port: Number(found[1]), token: found[2] });
  });
  server.on("exit", (code) => reject(new Error(`tonalith grade exited with ${code} before it listened`)));
});

// Raw requests, with the headers a foreign page or a rebinding name would send.
function request(method, pathname, headers = {}, body = undefined) {
  return new Promise((resolve, reject) => {
    const req = http.request({ host: "127.0.0.1", port: address.port, method, path: pathname,
      headers: Object.assign({ Host: `127.0.0.1:${address.port}` }, headers) }, (res) => {
      const chunks = [];
      res.on("data", (c) => chunks.push(c));
      res.on("end", () => resolve({ status: res.statusCode, headers: res.headers, body: Buffer.concat(chunks) }));
    });
    req.on("error", reject);
    if (body !== undefined) req.write(body);
    req.end();
  });
}
const withToken = { "X-Tonalith-Token": address.token };

let browser;
try {
  const refusals = [
    ["no token", "GET", "/api/state", {}, undefined, 401],
    ["wrong token", "GET", "/api/state", { "X-Tonalith-Token": "0".repeat(64) }, undefined, 401],
    ["page without token", "GET", "/", {}, undefined, 401],
    ["foreign Origin", "POST", "/api/button", { ...withToken, Origin: "http://evil.example" }, '{"name":"add"}', 403],
    ["foreign Origin on the same port", "GET", "/api/state", { ...withToken, Origin: `http://evil.example:${address.port}` }, undefined, 403],
    ["rebinding Host name", "GET", "/api/state", { ...withToken, Host: `evil.example:${address.port}` }, undefined, 403],
    ["malformed body", "POST", "/api/track", withToken, "{", 400],
    ["track out of range", "POST", "/api/track", withToken, '{"track":3,"value":9999}', 400],
    ["track number out of range", "POST", "/api/track", withToken, '{"track":16,"value":0}', 400],
    ["value not an integer", "POST", "/api/track", withToken, '{"track":3,"value":"7"}', 400],
    ["no such stage", "POST", "/api/select", withToken, '{"stage":5}', 400],
    ["no such model", "POST", "/api/model", withToken, '{"model":4}', 400],
    ["no such button", "POST", "/api/button", withToken, '{"name":"format"}', 400],
    ["preview step 0", "GET", "/api/preview?step=0", withToken, undefined, 400],
    ["preview step too large", "GET", "/api/preview?step=17", withToken, undefined, 400],
    ["preview step not a number", "GET", "/api/preview?step=2x", withToken, undefined, 400],
    ["original step negative", "GET", "/api/original?step=-1", withToken, undefined, 400],
    ["preview rectangle beside the picture", "GET", "/api/preview?step=1&x=1920&w=10", withToken, undefined, 400],
    ["preview rectangle not a number", "GET", "/api/preview?step=1&y=-3", withToken, undefined, 400],
    ["a slider move asking for a step out of range", "POST", "/api/track?step=0", withToken, '{"track":3,"value":7}', 400],
    ["a slider move asking for a rectangle beside the picture", "POST", "/api/track?step=2&y=540", withToken,
      '{"track":3,"value":7}', 400],
  ];
  const before = (await request("GET", "/api/state", withToken)).body.toString();
  for (const [what, method, p, headers, body, status] of refusals) {
    const res = await request(method, p, headers, body);
    check(res.status === status, `refused: ${what}`, `status ${res.status}, expected ${status}`);
  }
  const after = (await request("GET", "/api/state", withToken)).body.toString();
  check(before === after, "refused requests change nothing");
  check(JSON.parse(before).stages.length === 2, "the chain on the command line is loaded", before.slice(0, 120));

  browser = await chromium.launch({ executablePath: chromiumPath, args: ["--no-sandbox"] });
  const page = await browser.newPage({ viewport: { width: 1500, height: 900 }, acceptDownloads: true });
  page.on("pageerror", (e) => check(false, "no error in the page", e.message));
  await page.goto(address.url);
  await page.waitForFunction(() => document.body.dataset.ready === "1" && window.grade.idle());
  check(!(await page.evaluate(() => location.search)), "the token leaves the address bar");

  const state = () => page.evaluate(() => window.grade.state);
  // Waits until the dialog moved past `version` and the preview shows it.
  async function settle(version) {
    await page.waitForFunction((v) => window.grade.state.version > v && window.grade.idle(), version);
    return state();
  }
  async function download(button, name) {
    const [file] = await Promise.all([page.waitForEvent("download", { timeout: 60000 }), page.click(button)])
      .catch(async (e) => { throw new Error(`${button}: ${e.message}; the page says: ${await page.textContent("#error")}`); });
    const target = path.join(workdir, name);
    await file.saveAs(target);
    return target;
  }
  // The preview's pixels against `tonalith apply` on the chain the page saves. At 1:1 the page
  // holds the rectangle of the picture its window shows (and a margin): that rectangle of apply's.
  async function previewMatchesApply(what) {
    const chain = await download("#save-json", "page.json");
    const reference = path.join(workdir, "reference.png");
    run("apply", chain, picture, reference);
    // The reference as raw RGBA rows, unpacked by ffmpeg; the page's ImageData bytes are hashed
    // where they are.
    const raw = execFileSync("ffmpeg", ["-v", "error", "-i", reference, "-f", "rawvideo", "-pix_fmt", "rgba", "-"],
      { maxBuffer: 64 << 20 });
    const result = await page.evaluate(async () => {
      const hex = async (data) => Array.from(new Uint8Array(await crypto.subtle.digest("SHA-256", data)),
        (b) => b.toString(16).padStart(2, "0")).join("");
      const a = window.grade.after, o = window.grade.before, v = window.grade.afterView;
      // The original's pixels under the same rectangle.
      const under = new Uint8Array(v.w * v.h * 4);
      for (let row = 0; row < v.h; row++)
        under.set(o.data.subarray(((v.y + row) * o.width + v.x) * 4, ((v.y + row) * o.width + v.x + v.w) * 4), row * v.w * 4);
      return { after: await hex(a.data), before: await hex(under), size: a.data.length, view: v };
    });
    const v = result.view;
    const rows = [];
    for (let y = v.y; y < v.y + v.h; y++) rows.push(raw.subarray((y * 1920 + v.x) * 4, (y * 1920 + v.x + v.w) * 4));
    const expected = createHash("sha256").update(Buffer.concat(rows)).digest("hex");
    check(v.step === 1 && result.size === v.w * v.h * 4 && result.after === expected, `${what}: preview equals tonalith apply`,
      `${v.w}x${v.h} at ${v.x},${v.y}, ${result.size} bytes in the page`);
    check(result.after !== result.before, `${what}: the preview is graded, not the original`);
    return raw;
  }
  const scrollStage = (x, y) => page.evaluate(([x, y]) => document.getElementById("stage").scrollTo(x, y), [x, y]);
  // Every step-th pixel of every step-th row of 1920x1080 RGBA rows.
  const sampled = (raw, step) => {
    const rows = [];
    for (let y = 0; y < 1080; y += step)
      for (let x = 0; x < 1920; x += step) rows.push(raw.subarray((y * 1920 + x) * 4, (y * 1920 + x) * 4 + 4));
    return Buffer.concat(rows);
  };
  const shownPixels = () => page.evaluate(async () => {
    const hex = async (data) => Array.from(new Uint8Array(await crypto.subtle.digest("SHA-256", data)),
      (b) => b.toString(16).padStart(2, "0")).join("");
    const a = window.grade.after;
    return { step: window.grade.afterStep, width: a.width, height: a.height, after: await hex(a.data),
      beforeStep: window.grade.beforeStep, beforeWidth: window.grade.before.width };
  });

  // The fit view (as the page opens) shows the picture scaled down, from every K-th pixel; the
  // exact comparisons with `tonalith apply` run at 1:1, K = 1.
  const fitted = await shownPixels();
  check(fitted.step >= 2 && fitted.width === Math.ceil(1920 / fitted.step) && fitted.height === Math.ceil(1080 / fitted.step) &&
    fitted.beforeStep === fitted.step && fitted.beforeWidth === fitted.width,
    "the fit view asks for every K-th pixel, K >= 2", JSON.stringify(fitted));
  await page.click("#actual");
  await page.waitForFunction(() => window.grade.idle());
  check((await shownPixels()).step === 1, "1:1 asks for every pixel");
  const loaded = await previewMatchesApply("as loaded");
  {
    // 1:1 sends the part the window shows; scrolled to the far corner, the page asks for that part.
    const shownPart = await page.evaluate(() => window.grade.afterView);
    check(shownPart.x === 0 && shownPart.y === 0 && shownPart.w < 1920 && shownPart.h < 1080,
      "1:1 asks for the part of the picture the window shows", JSON.stringify(shownPart));
    await scrollStage(1e6, 1e6);
    await page.waitForFunction(() => window.grade.idle());
    const corner = await page.evaluate(() => window.grade.afterView);
    check(corner.x > 0 && corner.y > 0 && corner.x + corner.w === 1920 && corner.y + corner.h === 1080,
      "scrolled to the far corner, the page asks for the corner", JSON.stringify(corner));
    await previewMatchesApply("scrolled to the far corner");
    await scrollStage(0, 0);
    await page.waitForFunction(() => window.grade.idle());
  }
  check(createHash("sha256").update(sampled(loaded, fitted.step)).digest("hex") === fitted.after,
    `the fit view's preview equals tonalith apply at every K-th pixel, K = ${fitted.step}`);

  // ---- Stage views: curves, hue-window mask, scopes ----
  const viewIds = ["curves", "scope-histogram-after", "scope-waveform-after", "scope-vectorscope-after"];
  const beforeIds = ["scope-histogram-before", "scope-waveform-before", "scope-vectorscope-before"];
  // Waits for the views to show the state the preview shows; returns each image's size, version and pixels' digest.
  async function views(ids) {
    await page.waitForFunction(() => window.grade.viewsIdle(), null, { timeout: 60000 });
    return page.evaluate((list) => {
      const out = {};
      for (const id of list) {
        const img = document.getElementById(id);
        if (!img.src.startsWith("blob:") || !img.naturalWidth) { out[id] = null; continue; }
        // The drawn pixels, as a digest (FNV-1a over RGBA).
        const rgba = window.grade.imagePixels(img);
        let hash = 0x811c9dc5;
        for (let i = 0; i < rgba.length; i++) hash = Math.imul(hash ^ rgba[i], 16777619) >>> 0;
        out[id] = { size: `${img.naturalWidth}x${img.naturalHeight}`, version: Number(img.dataset.version), data: hash };
      }
      return out;
    }, ids);
  }
  const initialViews = await views([...viewIds, ...beforeIds]);
  const shownVersion = await page.evaluate(() => window.grade.previewVersion);
  for (const id of [...viewIds, ...beforeIds])
    check(initialViews[id] !== null, `the page shows ${id}`, initialViews[id] ? initialViews[id].size : "missing");
  for (const [id, size] of [["scope-histogram-after", "256x636"], ["scope-waveform-after", "1920x256"],
    ["scope-vectorscope-after", "256x256"]])
    check(initialViews[id] && initialViews[id].size === size, `${id} is laid out as FFmpeg's`, initialViews[id] && initialViews[id].size);
  check(viewIds.every((id) => initialViews[id] && initialViews[id].version === shownVersion),
    "the views show the state the preview shows");
  check(await page.evaluate(() => document.getElementById("views-mask").hidden), "no mask for an RGB stage");
  {
    // The vectorscope of the picture as loaded against FFmpeg's of the same file: every point lit
    // in one is lit in the other within one position (their RGB to Y'CbCr may round differently).
    const raw = execFileSync("ffmpeg", ["-v", "error", "-i", picture, "-vf", "format=yuv444p,vectorscope",
      "-pix_fmt", "yuv444p", "-f", "rawvideo", "-"], { maxBuffer: 1 << 24 });
    const theirs = raw.subarray(0, 65536);
    const ours = await page.evaluate(async () => {
      const img = document.getElementById("scope-vectorscope-before");
      const rgba = window.grade.imagePixels(img);
      return Array.from({ length: 65536 }, (_, i) => rgba[4 * i + 1]);
    });
    const near = (lit, i) => {
      const x = i % 256, y = Math.floor(i / 256);
      for (let dy = -1; dy <= 1; dy++) for (let dx = -1; dx <= 1; dx++) {
        const u = x + dx, v = y + dy;
        if (u >= 0 && u < 256 && v >= 0 && v < 256 && lit(v * 256 + u)) return true;
      }
      return false;
    };
    let strays = 0, missing = 0, lit = 0;
    for (let i = 0; i < 65536; i++) {
      if (ours[i] > 0) { lit++; if (!near((j) => theirs[j] > 0, i)) strays++; }
      if (theirs[i] > 0 && !near((j) => ours[j] > 0, i)) missing++;
    }
    check(lit > 100 && strays === 0 && missing === 0, "the vectorscope's dots land where FFmpeg's vectorscope puts them",
      `${lit} points lit, ${strays} not in FFmpeg's, ${missing} of FFmpeg's not here`);
  }
  // ---- end of stage views ----

  // Mouse: a click on R(off)'s slider, three quarters along.
  let s = await state();
  const box = await page.locator("#track-0").boundingBox();
  await page.mouse.click(box.x + box.width * 0.75, box.y + box.height / 2);
  s = await settle(s.version);
  check(s.tracks[0] > 100 && s.tracks[0] <= 256, "a mouse click moves R(off)", `R(off) = ${s.tracks[0]}`);
  // ---- Stage views after a slider move ----
  {
    const moved = await views([...viewIds, ...beforeIds]);
    for (const id of viewIds)
      check(moved[id] && moved[id].data !== initialViews[id].data && moved[id].version === s.version,
        `${id} follows the slider move`);
    for (const id of beforeIds)
      check(moved[id] && moved[id].data === initialViews[id].data, `${id} stays as loaded`);
  }
  // ---- end of stage views ----
  await previewMatchesApply("after a mouse move");

  // Keyboard: G(gamm) up five steps, one at a time, each waited for; the page times each move.
  await page.focus("#track-8");
  const g0 = s.tracks[8];
  for (let i = 0; i < 5; i++) {
    await page.keyboard.press("ArrowRight");
    s = await settle(s.version);
  }
  check(s.tracks[8] === g0 + 5, "arrow keys step G(gamm)", `${g0} -> ${s.tracks[8]}`);
  await previewMatchesApply("after keyboard moves");

  // The number field.
  await page.fill("#value-10", "-40");
  await page.press("#value-10", "Enter");
  s = await settle(s.version);
  check(s.tracks[10] === -40, "the number field sets B(off)", `B(off) = ${s.tracks[10]}`);

  // The link box (on by default): moving R(upper) carries R(lower) along.
  check(s.link === true, "the link box starts on");
  await page.fill("#value-2", "40");
  await page.press("#value-2", "Enter");
  s = await settle(s.version);
  check(s.tracks[1] === 40 && s.tracks[2] === 40, "linked: R(upper) 40 sets R(lower)", `${s.tracks[1]}, ${s.tracks[2]}`);
  await page.click("#link");
  s = await settle(s.version);
  await page.fill("#value-2", "60");
  await page.press("#value-2", "Enter");
  s = await settle(s.version);
  check(s.tracks[1] === 40 && s.tracks[2] === 60, "unlinked: R(upper) moves alone", `${s.tracks[1]}, ${s.tracks[2]}`);

  // The plug-in clamps when the model changes: B(off) 200 becomes H(width) 180 under HSV.
  await page.fill("#value-10", "200");
  await page.press("#value-10", "Enter");
  s = await settle(s.version);
  await page.selectOption("#model", "3");
  s = await settle(s.version);
  check(s.stages[0].name === "HSV" && s.labels[10] === "H(width)" && s.tracks[10] === 180,
    "model change to HSV: list entry, labels and the plug-in's clamp", `${s.stages[0].name} ${s.labels[10]} ${s.tracks[10]}`);
  check(s.ranges[10][0] === 0 && s.ranges[10][1] === 180, "H(width)'s slider runs 0..180", JSON.stringify(s.ranges[10]));

  // Stages: select the second, add, delete, reset.
  await page.selectOption("#stages", "1");
  s = await settle(s.version);
  check(s.current === 1 && s.model === 3 && s.tracks[0] === 30 && s.tracks[8] === 64,
    "selecting stage 2 loads its tracks", `current ${s.current}, H(offs) ${s.tracks[0]}, S(con2) ${s.tracks[8]}`);
  // ---- Stage views: an HSV stage shows its hue window ----
  {
    const maskOf = async () => {
      const shown = await views(["mask", "curves"]);
      const lit = await page.evaluate(async () => {
        const img = document.getElementById("mask");
        const rgba = window.grade.imagePixels(img);
        let white = 0, black = 0;
        for (let i = 0; i < rgba.length; i += 4) { white += rgba[i] === 255; black += rgba[i] === 0; }
        return { white, black, hidden: document.getElementById("views-mask").hidden };
      });
      return { ...shown, ...lit };
    };
    const first = await maskOf();
    check(!first.hidden && first.mask && first.mask.size === "1920x1080" && first.mask.version === s.version,
      "an HSV stage shows its hue-window mask", first.mask && first.mask.size);
    check(first.white > 0 && first.black > 0, "the mask shows where the window acts and where not",
      `${first.white} white, ${first.black} black pixels`);
    await page.fill("#value-10", "90");
    await page.press("#value-10", "Enter");
    s = await settle(s.version);
    const wider = await maskOf();
    check(wider.white > first.white && wider.mask.data !== first.mask.data && wider.curves.data !== first.curves.data,
      "a wider H(width) widens the mask and changes the curves", `${first.white} -> ${wider.white} white pixels`);
  }
  // ---- end of stage views ----
  await page.click("#add");
  s = await settle(s.version);
  check(s.stages.length === 3 && s.current === 2 && s.model === 0 && s.tracks.every((v) => v === 0) &&
    s.labels[0] === "R(off)" && s.labels[15] === "", "add: a new RGB stage, selected, zero", JSON.stringify(s.tracks));
  await page.click("#delete");
  s = await settle(s.version);
  check(s.stages.length === 2 && s.current === 1 && s.model === 3 && s.tracks[0] === 30,
    "delete the last stage: the one before is selected", `count ${s.stages.length}, current ${s.current}`);
  await page.click("#reset");
  s = await settle(s.version);
  check(s.stages.length === 2 && s.model === 3 && s.tracks.every((v) => v === 0) && s.labels[0] === "H(offs)",
    "reset: tracks zero, model and labels kept");
  await page.fill("#value-4", "-30");
  await page.press("#value-4", "Enter");
  s = await settle(s.version);
  await previewMatchesApply("after stage edits");

  // Saving: the block equals `chain convert` of the page's JSON.
  const savedJson = await download("#save-json", "saved.json");
  const savedBlock = await download("#save-block", "saved.bin");
  const converted = path.join(workdir, "converted.bin");
  run("chain", "convert", "--to", "block", savedJson, converted);
  const block = readFileSync(savedBlock), expected = readFileSync(converted);
  check(block.length === 680 && block.equals(expected), "the saved block equals chain convert of the saved JSON",
    `${block.length} bytes`);

  // Exports: each download equals what the command line makes of the saved chain.
  const exportsDir = path.join(workdir, "exports");
  mkdirSync(exportsDir, { recursive: true });
  const chainFile = path.join(exportsDir, "chain.json");
  writeFileSync(chainFile, readFileSync(savedJson));
  const same = (a, b) => { const x = readFileSync(a), y = readFileSync(b); return x.length > 0 && x.equals(y); };
  const cube = await download("#save-cube", "exports/page.cube");
  run("lut", chainFile, "-o", path.join(exportsDir, "ref.cube"));
  check(same(cube, path.join(exportsDir, "ref.cube")), "the .cube equals tonalith lut of the saved chain");
  const hald = await download("#save-hald", "exports/page-hald.png");
  run("lut", chainFile, "-o", path.join(exportsDir, "ref-hald.png"));
  check(same(hald, path.join(exportsDir, "ref-hald.png")), "the Hald CLUT equals tonalith lut of the saved chain");
  const ocio = await download("#save-ocio", "exports/page.ocio");
  run("lut", chainFile, "--ocio", path.join(exportsDir, "ocio"));
  check(same(ocio, path.join(exportsDir, "ocio", "config.ocio")) && same(cube, path.join(exportsDir, "ocio", "chain.cube")),
    "the OCIO config and its .cube equal tonalith lut --ocio of the saved chain");
  for (const [button, extension] of [["#save-png", "png"], ["#save-tiff", "tif"], ["#save-jpeg", "jpg"]]) {
    const graded = await download(button, `exports/page.${extension}`);
    const reference = path.join(exportsDir, `ref.${extension}`);
    run("apply", chainFile, picture, reference);
    check(same(graded, reference), `the ${extension} picture equals tonalith apply of the saved chain`);
  }

  // Opening a chain file: it shows in the stage list; a malformed one changes nothing.
  const opened = path.join(workdir, "opened.json");
  writeFileSync(opened, JSON.stringify({ format: "tonalith-chain", version: 1, stages: [
    { model: "CMYK", tracks: { "C(off)": 12 } }, { model: "YCbCr", tracks: { "Y(offs)": 7 } },
    { model: "HSV", tracks: { "H(offs)": -20 } }] }));
  let version = s.version;
  await page.setInputFiles("#open-chain", opened);
  s = await settle(version).catch(async (e) => { throw new Error(`${e.message}; the page says: ${await page.textContent("#error")}`); });
  check(s.stages.map((x) => x.name).join(",") === "CMYK,YCbCr,HSV" && s.current === 0 && s.model === 2 && s.tracks[0] === 12,
    "an opened chain file shows in the stage list", JSON.stringify(s.stages));
  check((await page.locator("#stages option").allTextContents()).join("|") === "1. CMYK|2. YCbCr|3. HSV",
    "the page's list shows the opened chain");
  await previewMatchesApply("after opening a chain file");
  const broken = path.join(workdir, "broken.json");
  writeFileSync(broken, '{"format":"tonalith-chain","version":1,"stages":[{"model":"LAB"}]}');
  version = s.version;
  await page.setInputFiles("#open-chain", broken);
  await page.waitForFunction(() => document.getElementById("error").textContent !== "");
  const unchanged = await state();
  check(unchanged.version === version && (await page.textContent("#error")).includes("broken.json"),
    "a malformed chain file is refused and changes nothing", await page.textContent("#error"));
  check((await request("POST", "/api/chain", withToken, "x".repeat(679))).status === 400, "refused: an upload neither JSON nor a 680-byte block");
  s = unchanged;
  await page.selectOption("#stages", "2");  // the next action clears the message
  s = await settle(s.version);
  check(s.current === 2 && (await page.textContent("#error")) === "", "the next action clears the refusal's message");

  // The split and the zoom.
  await page.click("#actual");
  check(await page.evaluate(() => !document.getElementById("stage").classList.contains("fit")), "1:1 zoom");
  await page.click("#fit");
  const canvas = await page.locator("#preview").boundingBox();
  await page.mouse.move(canvas.x + canvas.width * 0.3, canvas.y + 10);
  await page.mouse.down();
  await page.mouse.move(canvas.x + canvas.width * 0.4, canvas.y + 10);
  await page.mouse.up();
  const split = await page.evaluate(() => Number(document.getElementById("split").value));
  check(Math.abs(split - 400) <= 2, "dragging on the picture moves the split", String(split));

  // Latency, the way a user grades (the fit view) and at 1:1: the HSV stage's S(con2) moved by the
  // keyboard, each move waited for.
  await page.waitForFunction(() => window.grade.idle());
  s = await state();
  const timedFrom = await page.evaluate(() => window.grade.phases.length);
  for (const fit of [true, false]) {
    await page.click(fit ? "#fit" : "#actual");
    await page.waitForFunction(() => window.grade.idle());
    await page.focus("#track-8");
    for (let i = 0; i < 8; i++) {
      await page.keyboard.press(i % 2 ? "ArrowLeft" : "ArrowRight");
      s = await settle(s.version);
    }
  }
  await page.click("#fit");
  await page.waitForFunction(() => window.grade.idle());
  await page.focus("#track-8");
  await page.keyboard.press("ArrowRight");  // the status line then shows a fit-view move
  s = await settle(s.version);
  const fitAgain = await shownPixels();
  check(fitAgain.step === fitted.step && fitAgain.width === fitted.width, "back to the fit view, back to every K-th pixel");

  // Latency: from the slider move to the preview drawn, as the page measured it.
  // Beside it, the CPU time the server spent on each preview, on all its threads, which a busy
  // machine does not stretch.
  const figures = (list) => {
    const sorted = [...list].sort((a, b) => a - b);
    return `median ${sorted[Math.floor(sorted.length / 2)].toFixed(0)} ms, min ${sorted[0].toFixed(0)} ms, ` +
      `max ${sorted[sorted.length - 1].toFixed(0)} ms (${sorted.length})`;
  };
  const phases = (await page.evaluate(() => window.grade.phases)).slice(timedFrom);
  for (const [view, those] of [[`fit view (K = ${fitted.step})`, phases.filter((p) => p.step > 1)],
    ["1:1", phases.filter((p) => p.step === 1)]]) {
    console.log(`preview latency, 1920x1080, ${view}, slider move to picture drawn: ${figures(those.map((p) => p.drawn))}`);
    console.log(`  of which: the answer's headers (the dialog's callbacks and the correction) ${figures(those.map((p) => p.answer))}; ` +
      `the picture's bytes ${figures(those.map((p) => p.bytes - p.answer))}; the paint ${figures(those.map((p) => p.drawn - p.bytes))}; ` +
      `server CPU ${figures(those.map((p) => p.cpu))}; ${(those[0].size / 1e6).toFixed(2)} MB a picture`);
  }
  console.log(`load average: ${os.loadavg().map((l) => l.toFixed(2)).join(" ")}, ${os.cpus().length} CPUs`);

  // The screenshot shows a hue window at work on the HSV stage: the blues more saturated, its
  // mask beside the curves. Typed into the number fields, each waited for.
  for (const [track, value] of [[8, 128], [9, 225], [10, 30], [11, 20]]) {
    await page.fill(`#value-${track}`, String(value));
    await page.press(`#value-${track}`, "Enter");
    s = await settle(s.version);
  }
  check(s.model === 3 && s.tracks[8] === 128 && s.tracks[9] === 225 && s.tracks[10] === 30 && s.tracks[11] === 20,
    "the hue window's tracks typed in", JSON.stringify(s.tracks));
  await page.click("#actual");
  await page.waitForFunction(() => window.grade.idle());
  await previewMatchesApply("a hue window on the HSV stage");
  await page.click("#fit");
  await page.waitForFunction(() => window.grade.idle());
  // The views follow the picture a moment later: the screenshot shows them up to date.
  await page.waitForFunction(() => window.grade.viewsIdle(), null, { timeout: 60000 });
  await page.screenshot({ path: screenshot });
  console.log(`screenshot: ${screenshot}`);

  // A video: a short 4:2:0 clip, a frame picked with the frame slider by keyboard; the graded
  // frame the page saves equals `tonalith apply` of that frame, cut out by ffmpeg on its own.
  const clip = path.join(workdir, "clip.y4m");
  execFileSync("ffmpeg", ["-v", "error", "-y", "-f", "lavfi", "-i", "testsrc2=size=320x180:rate=10", "-frames:v", "8",
    "-pix_fmt", "yuv420p", clip]);
  const videoServer = spawn(tonalith, ["grade", clip, startChain], { stdio: ["ignore", "pipe", "inherit"] });
  try {
    const videoUrl = await new Promise((resolve, reject) => {
      let text = "";
      videoServer.stdout.on("data", (chunk) => {
        text += chunk;
        const found = text.match(/http:\/\/127\.0\.0\.1:\d+\/\?token=[0-9a-f]{64}/);
        if (found) resolve(found[0]);
      });
      videoServer.on("exit", (code) => reject(new Error(`tonalith grade on a clip exited with ${code}`)));
    });
    await page.goto(videoUrl);
    await page.waitForFunction(() => document.body.dataset.ready === "1" && window.grade.idle());
    let v = await state();
    check(v.video && v.video.frames === 8 && v.video.frame === 0 && v.width === 320, "a clip opens on its first frame",
      JSON.stringify(v.video));
    const first = await page.evaluate(() => Array.from(window.grade.after.data.slice(0, 4096)).join());
    await page.focus("#frame");
    for (let i = 0; i < 3; i++) await page.keyboard.press("ArrowRight");
    await page.waitForFunction(() => window.grade.state.video.frame === 3 && window.grade.idle());
    v = await state();
    const third = await page.evaluate(() => Array.from(window.grade.after.data.slice(0, 4096)).join());
    check(v.video.frame === 3 && first !== third, "the frame slider moves to frame 4 and the preview follows");
    const savedFrame = await download("#save-y4m", "page-frame.y4m");
    const cut = path.join(workdir, "cut.y4m"), reference = path.join(workdir, "cut-graded.y4m");
    execFileSync("ffmpeg", ["-v", "error", "-y", "-i", clip, "-vf", "select=eq(n\\,3)", "-frames:v", "1", "-f", "yuv4mpegpipe",
      "-strict", "-1", cut]);
    run("apply", startChain, cut, reference);
    const strip = (file) => { const b = readFileSync(file); return b.subarray(b.indexOf("FRAME") ); };
    check(strip(savedFrame).equals(strip(reference)), "the saved frame equals tonalith apply of frame 4 of the clip");
    // The stage views of a clip's frame: the curves stand on its histogram, an HSV stage shows its mask.
    await page.selectOption("#stages", "1");
    await page.waitForFunction(() => window.grade.state.current === 1 && window.grade.idle());
    const clipViews = await views(["mask", "curves"]);
    check(clipViews.mask && clipViews.mask.size === "320x180" && clipViews.mask.version === (await state()).version &&
      !(await page.evaluate(() => document.getElementById("views-mask").hidden)), "a clip's HSV stage shows its hue-window mask",
      JSON.stringify(clipViews.mask));
    const clipAddress = new URL(videoUrl);
    const svg = await (await fetch(`${clipAddress.origin}/api/curves.svg`,
      { headers: { "X-Tonalith-Token": clipAddress.searchParams.get("token") } })).text();
    check(svg.includes('<path fill="#ddd" d="M'), "a clip's curves stand on the histogram of its frame");
  } finally {
    videoServer.kill("SIGINT");
  }
} catch (e) {
  check(false, "the test ran to the end", e.stack || String(e));
} finally {
  if (browser) await browser.close();
  const exited = new Promise((resolve) => server.on("exit", (code, signal) => resolve({ code, signal })));
  server.kill("SIGINT");
  const { code, signal } = await exited;
  check(code === 130, "Ctrl-C stops the server with the status of SIGINT", `exit ${code}, signal ${signal}`);
  const refused = await request("GET", "/api/state", withToken).then(() => "answered", (e) => e.code);
  check(refused === "ECONNREFUSED", "the port is free after Ctrl-C", refused);
}
console.log(failures ? `${failures} check(s) failed` : "all checks passed");
process.exit(failures ? 1 : 0);
