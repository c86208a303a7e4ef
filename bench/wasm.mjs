// veldor.wasm under Node against the Linux program; then the page in
// Chromium against veldor.wasm under Node on three folders, from the
// choice of the archives to the moment the results can be saved; then, on
// the archive of 300 MB, the browser's memory, the .zip's time against the
// run's, and the images saved compared with the Linux program's.  Each
// pair of runs in strict alternation from a clean folder in /dev/shm, the
// first pair untimed, medians reported.  --baseline times another page in
// the same alternation; --large adds an archive of 2.6 GB and the time the
// page takes to offer its .zip or say why not.  bench/run --wasm builds
// what it needs and runs this.
//
// usage: node bench/wasm.mjs LINUX WASM HTML MAKE_ARCHIVES [PAIRS] [--large] [--baseline HTML]
import { execFileSync, spawn, spawnSync } from "node:child_process";
import { createHash } from "node:crypto";
import { createServer } from "node:http";
import { copyFileSync, mkdirSync, readdirSync, readFileSync, rmSync, statSync, writeFileSync } from "node:fs";
import { join } from "node:path";
import { fileURLToPath } from "node:url";

const args = process.argv.slice(2);
const large = args.includes("--large");
const baseline = args.includes("--baseline") ? args.splice(args.indexOf("--baseline"), 2)[1] : null;
const [linux, wasm, html, make_archives, pairs_arg] = args.filter((arg) => arg !== "--large");
const pairs = Number(pairs_arg || 5);
const root = fileURLToPath(new URL("..", import.meta.url));
const { chromium } = await import(join(root, "web/node_modules/playwright-core/index.mjs"));
const { unzipSync } = await import(join(root, "web/node_modules/fflate/esm/index.mjs"));
const work = "/dev/shm/veldor-bench-wasm";
rmSync(work, { recursive: true, force: true });
const median = (values) => [...values].sort((a, b) => a - b)[Math.floor(values.length / 2)];
const seconds = (ms) => (ms / 1000).toFixed(3);
const megabytes = (bytes) => `${(bytes / 1e6).toFixed(1)} MB`;

// The images of one archive of |count| images of |width| x |height|, as
// make_archives makes them, without the archive's prefix.
const prefix = 0x5004;
function images(count, width, height) {
  const file = join(work, "images.tmp");
  execFileSync(make_archives, [file, String(count), String(width), String(height)]);
  const bytes = readFileSync(file).subarray(prefix);
  rmSync(file);
  return bytes;
}
const archive = (...parts) => Buffer.concat([Buffer.alloc(prefix), ...parts]);

// A folder of |small| archives of three 32 x 32 images and, with |count|,
// one of |count| images of 1024 x 1024.
function folder(name, small, count = 0) {
  const dir = join(work, name);
  mkdirSync(dir, { recursive: true });
  const three = archive(images(3, 32, 32));
  for (let i = 0; i < small; i++) writeFileSync(join(dir, `A${String(i).padStart(4, "0")}.IXF`), three);
  if (count) execFileSync(make_archives, [join(dir, "BIG.IXF"), String(count), "1024", "1024"]);
  return dir;
}

// A folder as a game's: 30 archives of about 100 MB in all, 1,620 images
// of 640 x 480, 64 x 64, 63 x 64 (rows of an odd length), 32 x 32 and
// 1 x 1, names in both cases and with accents, and a file that is no
// archive.
function game_folder() {
  const dir = join(work, "game");
  mkdirSync(dir, { recursive: true });
  const parts = [images(3, 640, 480), images(40, 64, 64), images(2, 63, 64), images(8, 32, 32), images(1, 1, 1)];
  const names = ["city", "Été", "terrain", "Îles", "buildings", "zones"];
  for (let i = 0; i < 30; i++) {
    const name = `${names[i % names.length]}${i}.${i % 2 ? "ixf" : "IXF"}`;
    writeFileSync(join(dir, name), archive(...parts));
  }
  writeFileSync(join(dir, "README.IXF"), "not an archive\n");
  return dir;
}

const clean = (dir) => {
  for (const entry of readdirSync(dir, { withFileTypes: true })) if (entry.isDirectory()) rmSync(join(dir, entry.name), { recursive: true });
};
const archives_of = (dir) => readdirSync(dir).filter((name) => /\.ixf$/i.test(name)).map((name) => join(dir, name));
const size_of = (dir) => archives_of(dir).reduce((sum, file) => sum + statSync(file).size, 0);
function timed(argv, dir, env = process.env) {
  clean(dir);
  const start = performance.now();
  const result = spawnSync(argv[0], argv.slice(1), { cwd: dir, env, stdio: ["ignore", "ignore", "inherit"] });
  if (result.status !== 0) throw new Error(`${argv.join(" ")}: status ${result.status}`);
  return performance.now() - start;
}
const times_file = join(work, "times.json");
function node_run(dir) {
  const whole = timed([join(root, "tests/wasi-run"), wasm], dir, { ...process.env, VELDOR_WASI_TIMES: times_file });
  return { whole, ...JSON.parse(readFileSync(times_file, "utf8")) };
}

const launch = () => chromium.launch({
  executablePath: process.env.CHROMIUM || "/usr/bin/chromium",
  args: ["--no-sandbox", "--disable-gpu", "--disable-background-networking", "--disable-component-update", "--no-first-run"],
});
let browser = await launch();
// The page's time from the choice of |dir|'s archives (the input's change
// event, past the test's own handing over of the files) to the moment the
// results can be saved: the outcome shown, the buttons enabled, and the
// page drawn and answering again.  The page is given the second a person
// takes to choose, to settle once loaded: its worker makes the program
// ready meanwhile.
async function page_run(dir, url = `file://${html}`, settled = () => {}) {
  const page = await browser.newPage();
  await page.goto(url);
  await page.waitForTimeout(1000);
  await settled();
  await page.evaluate(() => {
    const status = document.getElementById("status");
    document.addEventListener("change", () => (window.chosen_at = performance.now()), true);
    new MutationObserver(() => {
      if (!status.textContent || document.getElementById("zip").disabled || window.shown_at) return;
      window.shown_at = performance.now();
      requestAnimationFrame(() => setTimeout(() => (window.ready_at = performance.now())));
    }).observe(document.body, { childList: true, subtree: true, attributes: true });
  });
  await page.setInputFiles("#archives", archives_of(dir));
  await page.waitForFunction(() => window.ready_at, null, { timeout: 600_000, polling: 50 });
  const ms = await page.evaluate(() => window.ready_at - window.chosen_at);
  return { ms, page };
}

// veldor.wasm under Node against the Linux program.
const node_dir = folder("node", 2000, 64);
const runs = [];
for (let i = 0; i <= pairs; i++) {
  const linux_ms = timed([linux], node_dir);
  const node = node_run(node_dir);
  if (i > 0) runs.push({ linux_ms, ...node, ratio: node.run / linux_ms }); // the first pair warms up
}
console.log(`2,000 archives of three 32 x 32 images and one of 64 x 1024 x 1024 (201 MB), ${pairs} pairs; medians in seconds`);
console.log("| Linux program | Node, whole | Node start-up | compile | wasm run | wasm run / Linux |");
console.log("|---|---|---|---|---|---|");
const m = (key) => median(runs.map((run) => run[key]));
console.log(`| ${seconds(m("linux_ms"))} | ${seconds(m("whole"))} | ${seconds(m("startup"))} | ${seconds(m("compile"))} | ${seconds(m("run"))} | ${m("ratio").toFixed(2)} |`);
rmSync(node_dir, { recursive: true });

// The page in Chromium against veldor.wasm under Node, start-up included.
console.log(`\nThe page in Chromium, from the choice to the results ready to save, against veldor.wasm under Node, whole; ${pairs} pairs; medians in seconds`);
console.log(`| folder | Node, whole | the page | page / Node |${baseline ? " baseline page | baseline / Node |" : ""}`);
console.log(`|---|---|---|---|${baseline ? "---|---|" : ""}`);
const loads = [
  ["200 archives of three 32 x 32 images", () => folder("small", 200)],
  ["a game's folder: 30 archives, 1,620 images", game_folder],
  ["one archive of 100 x 1024 x 1024", () => folder("big", 0, 100)],
];
let big_dir;
for (const [label, make] of loads) {
  const dir = make();
  const page_runs = [];
  for (let i = 0; i <= pairs; i++) {
    const node = node_run(dir).whole;
    const { ms, page } = await page_run(dir);
    await page.close();
    const then = baseline ? await page_run(dir, `file://${baseline}`) : { ms: 0, page };
    await then.page.close();
    if (i > 0) page_runs.push({ node, ms, ratio: ms / node, base: then.ms, base_ratio: then.ms / node });
  }
  const pm = (key) => median(page_runs.map((run) => run[key]));
  const base = baseline ? ` ${seconds(pm("base"))} | ${pm("base_ratio").toFixed(2)} |` : "";
  console.log(`| ${label} (${megabytes(size_of(dir))}) | ${seconds(pm("node"))} | ${seconds(pm("ms"))} | ${pm("ratio").toFixed(2)} |${base}`);
  if (label.startsWith("one archive")) big_dir = dir;
  else rmSync(dir, { recursive: true });
}

// The memory of Chromium's processes (this machine's all), sampled every
// 50 ms until the returned function is called, which gives the peaks, in
// bytes, of the sum of their resident sizes (which counts each page they
// share once a process) and of their proportional sizes (once in all).
function sample_memory() {
  const sum = "for p in $(pgrep -x chromium); do cat /proc/$p/smaps_rollup 2>/dev/null; done | " +
    "awk '/^Rss:/ {r += $2} /^Pss:/ {p += $2} END {print r, p}'";
  const sampler = spawn("sh", ["-c", `while :; do ${sum}; sleep 0.05; done`]);
  const peak = [0, 0];
  sampler.stdout.on("data", (data) => {
    for (const line of String(data).split("\n").filter(Boolean))
      line.split(" ").forEach((kib, i) => (peak[i] = Math.max(peak[i], Number(kib) * 1024)));
  });
  return () => {
    sampler.kill();
    return peak;
  };
}

// On the archive of 300 MB: memory, the .zip and the bytes saved, over
// http so that the origin has a private folder to save into.
const server = createServer((request, response) => response.end(readFileSync(html)));
await new Promise((done) => server.listen(0, "127.0.0.1", done));
const url = `http://127.0.0.1:${server.address().port}/`;
timed([linux], big_dir);
const expected = Object.fromEntries(readdirSync(join(big_dir, "BIG")).map((name) =>
  [`BIG/${name}`, createHash("sha256").update(readFileSync(join(big_dir, "BIG", name))).digest("hex")]));
const output = readdirSync(join(big_dir, "BIG")).reduce((sum, name) => sum + statSync(join(big_dir, "BIG", name)).size, 0);
// In a browser of its own, the page loaded and settled before the run.
await browser.close();
browser = await launch();
let idle, peak_of;
const { ms, page } = await page_run(big_dir, url, async () => {
  const idle_of = sample_memory();
  await new Promise((done) => setTimeout(done, 500));
  idle = idle_of();
  peak_of = sample_memory();
});
const peak = peak_of();
console.log(`\nThe archive of ${megabytes(size_of(big_dir))}, its output ${megabytes(output)}: the run ${seconds(ms)} s; ` +
  `Chromium's processes, the sum of their resident sizes, ${megabytes(idle[0])} before it and at most ${megabytes(peak[0])} during it; ` +
  `of their proportional sizes, ${megabytes(idle[1])} and ${megabytes(peak[1])} (the aim: 2.5 x the output + 300 MB, ${megabytes(2.5 * output + 300e6)})`);
const zip_ms = await zip_time(page, "offered");
const zipped = unzipSync(new Uint8Array(await page.evaluate(() => window.zipped)));
const zip_same = Object.keys(expected).every((path) => createHash("sha256").update(zipped[path]).digest("hex") === expected[path]);
console.log(`its .zip offered in ${seconds(zip_ms)} s (${(zip_ms / ms).toFixed(2)} x the run): ${zip_same ? "each image the Linux program's bytes" : "NOT THE LINUX PROGRAM'S BYTES"}`);
await page.evaluate(() => (window.showDirectoryPicker = () => navigator.storage.getDirectory()));
await page.click("#save");
await page.waitForFunction(() => document.getElementById("save-status").textContent.startsWith("Saved"), null, { timeout: 600_000 });
const got = await page.evaluate(async () => {
  const dir = await (await navigator.storage.getDirectory()).getDirectoryHandle("BIG");
  const sums = {};
  for await (const [name, handle] of dir.entries()) {
    const digest = await crypto.subtle.digest("SHA-256", await (await handle.getFile()).arrayBuffer());
    sums[`BIG/${name}`] = [...new Uint8Array(digest)].map((b) => b.toString(16).padStart(2, "0")).join("");
  }
  return sums;
});
const sorted = Object.keys(expected).sort();
const saved_same = JSON.stringify(got, sorted) === JSON.stringify(expected, sorted);
console.log(`saved into a folder: ${Object.keys(got).length} images, ${saved_same ? "each the Linux program's bytes" : "NOT THE LINUX PROGRAM'S BYTES"}`);
await page.close();
rmSync(big_dir, { recursive: true });

// The time from a click on "Download .zip" to the page's word on it,
// which starts with |word| when the .zip is offered; the .zip's bytes in
// window.zipped.
async function zip_time(page, word) {
  await page.evaluate(() => {
    HTMLAnchorElement.prototype.click = async function () {
      window.zipped = [...new Uint8Array(await (await fetch(this.href)).arrayBuffer())];
    };
  });
  const start = Date.now();
  await page.click("#zip");
  await page.waitForFunction((word) => {
    const said = document.getElementById("save-status").textContent;
    return said && !said.includes("…") && (!said.includes(word) || window.zipped);
  }, "offered", { timeout: 600_000, polling: 20 });
  return Date.now() - start;
}

if (large) {
  const dir = folder("large", 0, 830);
  const { ms, page } = await page_run(dir);
  const zip_ms = await zip_time(page, "offered");
  const said = await page.$eval("#save-status", (e) => e.textContent);
  console.log(`\nAn archive of ${megabytes(size_of(dir))}: the run ${seconds(ms)} s; ${seconds(zip_ms)} s to the page's word on the .zip: "${said}"`);
  await page.close();
  rmSync(dir, { recursive: true });
}
server.close();
await browser.close();
rmSync(work, { recursive: true, force: true });
if (!zip_same || !saved_same) process.exit(1);
