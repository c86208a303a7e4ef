// veldor.wasm under Node against the Linux program, and the page in
// Chromium against veldor.wasm under Node, each pair of runs in strict
// alternation from a clean folder in /dev/shm, medians reported; then an
// archive of 256 MiB extracted in Chromium and checked byte for byte.
// bench/run --wasm builds what it needs and runs this.
//
// usage: node bench/wasm.mjs LINUX WASM HTML MAKE_ARCHIVES [PAIRS]
import { execFileSync, spawnSync } from "node:child_process";
import { createHash } from "node:crypto";
import { createServer } from "node:http";
import { copyFileSync, mkdirSync, readdirSync, readFileSync, rmSync } from "node:fs";
import { join } from "node:path";
import { fileURLToPath } from "node:url";

const [linux, wasm, html, make_archives, pairs_arg] = process.argv.slice(2);
const pairs = Number(pairs_arg || 5);
const root = fileURLToPath(new URL("..", import.meta.url));
const { chromium } = await import(join(root, "web/node_modules/playwright-core/index.mjs"));
const work = "/dev/shm/veldor-bench-wasm";
rmSync(work, { recursive: true, force: true });
const median = (values) => [...values].sort((a, b) => a - b)[Math.floor(values.length / 2)];
const seconds = (ms) => (ms / 1000).toFixed(3);

// A folder of |small| archives of three 32 x 32 images, and one of |count|
// images of 1024 x 1024; and it without the program's output.
function folder(name, small, count) {
  const dir = join(work, name);
  mkdirSync(dir, { recursive: true });
  execFileSync(make_archives, [join(dir, "SMALL.bin"), "3", "32", "32"]);
  for (let i = 0; i < small; i++) copyFileSync(join(dir, "SMALL.bin"), join(dir, `A${String(i).padStart(4, "0")}.IXF`));
  rmSync(join(dir, "SMALL.bin"));
  execFileSync(make_archives, [join(dir, "BIG.IXF"), String(count), "1024", "1024"]);
  return dir;
}
const clean = (dir) => {
  for (const entry of readdirSync(dir, { withFileTypes: true })) if (entry.isDirectory()) rmSync(join(dir, entry.name), { recursive: true });
};
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

const browser = await chromium.launch({
  executablePath: process.env.CHROMIUM || "/usr/bin/chromium",
  args: ["--no-sandbox", "--disable-gpu", "--disable-background-networking", "--disable-component-update", "--no-first-run"],
});
// The page's time from the choice of |dir|'s archives (the input's change
// event, past the test's own handing over of the files) to its status line,
// which the message that ends the run writes with the log's last line.
// The page is given the second a person takes to choose, to settle once
// loaded: its worker decodes and compiles the program meanwhile.
async function page_run(dir, url = `file://${html}`) {
  const page = await browser.newPage();
  await page.goto(url);
  await page.waitForTimeout(1000);
  await page.evaluate(() => {
    const status = document.getElementById("status");
    document.addEventListener("change", () => (window.chosen_at = performance.now()), true);
    new MutationObserver(() => (window.ended_at ??= performance.now())).observe(status, { childList: true });
  });
  const files = readdirSync(dir).filter((name) => name.endsWith(".IXF")).map((name) => join(dir, name));
  await page.setInputFiles("#archives", files);
  await page.waitForFunction(() => window.ended_at, null, { timeout: 600_000, polling: 50 });
  const ms = await page.evaluate(() => window.ended_at - window.chosen_at);
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
const page_dir = folder("page", 200, 16);
const page_runs = [];
for (let i = 0; i <= pairs; i++) {
  const node = node_run(page_dir).whole;
  const { ms, page } = await page_run(page_dir);
  await page.close();
  if (i > 0) page_runs.push({ node, ms, ratio: ms / node });
}
const pm = (key) => median(page_runs.map((run) => run[key]));
console.log(`\n200 archives of three 32 x 32 images and one of 16 x 1024 x 1024 (50 MB), ${pairs} pairs; medians in seconds`);
console.log("| Node, whole | page in Chromium, choice to status | page / Node |");
console.log("|---|---|---|");
console.log(`| ${seconds(pm("node"))} | ${seconds(pm("ms"))} | ${pm("ratio").toFixed(2)} |`);
rmSync(page_dir, { recursive: true });

// 256 MiB in Chromium, saved into the origin's private folder and compared
// with what the Linux program writes.
const big_dir = join(work, "big");
mkdirSync(big_dir);
execFileSync(make_archives, [join(big_dir, "HUGE.IXF"), "86", "1024", "1024"]);
const size = readdirSync(big_dir).map((name) => readFileSync(join(big_dir, name)).length)[0];
timed([linux], big_dir);
const expected = Object.fromEntries(readdirSync(join(big_dir, "HUGE")).map((name) =>
  [`HUGE/${name}`, createHash("sha256").update(readFileSync(join(big_dir, "HUGE", name))).digest("hex")]));
const server = createServer((request, response) => response.end(readFileSync(html)));
await new Promise((done) => server.listen(0, "127.0.0.1", done));
const { ms, page } = await page_run(big_dir, `http://127.0.0.1:${server.address().port}/`);
const status = await page.$eval("#status", (e) => e.textContent);
await page.evaluate(() => (window.showDirectoryPicker = () => navigator.storage.getDirectory()));
await page.click("#save");
await page.waitForFunction(() => document.getElementById("status").textContent.startsWith("Saved"), null, { timeout: 600_000 });
const got = await page.evaluate(async () => {
  const dir = await (await navigator.storage.getDirectory()).getDirectoryHandle("HUGE");
  const sums = {};
  for await (const [name, handle] of dir.entries()) {
    const digest = await crypto.subtle.digest("SHA-256", await (await handle.getFile()).arrayBuffer());
    sums[`HUGE/${name}`] = [...new Uint8Array(digest)].map((b) => b.toString(16).padStart(2, "0")).join("");
  }
  return sums;
});
const same = JSON.stringify(got, Object.keys(expected).sort()) === JSON.stringify(expected, Object.keys(expected).sort());
console.log(`\nan archive of ${size} bytes (${(size / 2 ** 20).toFixed(1)} MiB) in Chromium: ${status}, ${seconds(ms)} s; ` +
  `${Object.keys(got).length} images, ${same ? "each the Linux program's bytes" : "NOT THE LINUX PROGRAM'S BYTES"}`);
server.close();
await browser.close();
rmSync(work, { recursive: true, force: true });
if (!same) process.exit(1);
