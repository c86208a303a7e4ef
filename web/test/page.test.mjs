// The page as players use it, in Debian's Chromium, Firefox and WebKit,
// opened from a file and from a server: archives chosen, the console shown
// as a UTF-8 terminal shows the Linux program's, the images saved, byte for
// byte what the Linux program writes in the same folder.
//
// VELDOR_HTML is the page; VELDOR_LINUX the Linux program; VELDOR_MAKE_ARCHIVES
// the tests' make_archives.
import { test, after } from "node:test";
import assert from "node:assert/strict";
import { execFileSync, spawn, spawnSync } from "node:child_process";
import { createServer } from "node:http";
import { appendFileSync, cpSync, mkdirSync, mkdtempSync, readdirSync, readFileSync, rmSync, writeFileSync } from "node:fs";
import { tmpdir } from "node:os";
import { join } from "node:path";
import { unzipSync } from "fflate";
import { chromium } from "playwright-core";
import puppeteer from "puppeteer-core";
import axe from "axe-core";

const { VELDOR_HTML: html, VELDOR_LINUX: linux, VELDOR_MAKE_ARCHIVES: make_archives } = process.env;
const scratch = mkdtempSync(join(tmpdir(), "veldor-page-"));
const listening = (server) => new Promise((done) => server.listen(0, "127.0.0.1", () => done(server.address().port)));
const server = createServer((request, response) => response.end(readFileSync(html)));
const http_url = `http://127.0.0.1:${await listening(server)}/veldor.html`;
after(() => rmSync(scratch, { recursive: true, force: true }) ?? server.close());

// The first true value of |probe|, asked every 100 ms; a failure past a
// minute's worth of them ends the wait.
async function until(probe) {
  for (let tries = 0; ; tries++) {
    const value = await probe().catch((error) => (tries < 600 ? null : Promise.reject(error)));
    if (value) return value;
    await new Promise((done) => setTimeout(done, 100));
  }
}

// |argv| run in a copy of |dir| at |copy|: its status and standard output.
function run_in_copy(dir, copy, argv, env = process.env) {
  cpSync(dir, copy, { recursive: true });
  return spawnSync(argv[0], argv.slice(1), { cwd: copy, env, stdio: ["ignore", "pipe", "ignore"] });
}

// A folder of archives (|files|, by name, or the sample), and what the
// Linux program makes of it: each file of each folder it writes, by path;
// its status; and its console as a UTF-8 terminal shows it, each carriage
// return taking the writing back to the start of its line.
function folder(name, files) {
  const dir = join(scratch, name);
  mkdirSync(dir);
  for (const [file, bytes] of Object.entries(files)) writeFileSync(join(dir, file), bytes);
  if (!Object.keys(files).length) {
    // The sample, and images written in several pieces (500 x 500: more
    // than the program's buffer).
    execFileSync(make_archives, ["sample", dir]);
    execFileSync(make_archives, [join(dir, "BIG.IXF"), "2", "500", "500"]);
  }
  const run = join(scratch, `${name}.linux`);
  const { status } = run_in_copy(dir, run, [linux]);
  const { stdout: out } = run_in_copy(dir, `${run}.terminal`, ["script", "-qec", linux, "/dev/null"], { PATH: process.env.PATH, LANG: "C.UTF-8" });
  const terminal = out.toString().split("\n").map((line) => line.split("\r").reduce((shown, over) => over + shown.slice(over.length)));
  const written = {};
  for (const it of readdirSync(run, { withFileTypes: true, recursive: true }))
    if (it.isFile() && it.parentPath !== run) written[join(it.parentPath.slice(run.length + 1), it.name)] = readFileSync(join(it.parentPath, it.name));
  return { dir, files: readdirSync(dir).map((file) => join(dir, file)), written, status, terminal: terminal.join("\n") };
}

const sample = folder("sample", {});
const city = readFileSync(join(sample.dir, "TERRAIN_TEXTURES.IXF"));
// A name outside ASCII, then a plain file where the next archive's folder
// goes.
const failing = folder("failing", { "\u00c9t\u00e9.IXF": city, "\u00celes.IXF": city, "\u00celes": "a file" });
const outcomes = [
  [sample, /^Done: 18 images from 4 archives; 1 file was no IXF archive\. \(exit status 0\)$/],
  [failing, /^Stopped: a file stands where an archive's folder goes .* The image extracted before can still be saved\. \(exit status -1\)$/],
];

// Each engine as the tests drive it, with Debian's browsers and nothing
// they would fetch: a tab opened at a URL, in which files are chosen in an
// input, a function is run (its value returned) and an element clicked.
const driven = (browser, choose) => ({
  async open(url, options) {
    const page = await browser.newPage(options);
    await page.goto(url);
    return { page, choose: (input, files) => choose(page, input, files), run: (f, arg) => page.evaluate(f, arg), click: (css) => page.click(css) };
  },
  close: () => browser.close(),
});
const engines = {
  Chromium: async () => driven(await chromium.launch({
    executablePath: process.env.CHROMIUM || "/usr/bin/chromium",
    args: ["--no-sandbox", "--disable-gpu", "--disable-background-networking", "--disable-component-update", "--no-first-run"],
  }), (page, input, files) => page.setInputFiles(input, files)),
  Firefox: async () => driven(await puppeteer.launch({
    browser: "firefox", executablePath: process.env.FIREFOX || "/usr/bin/firefox-esr", userDataDir: mkdtempSync(join(scratch, "firefox-")),
  }), async (page, input, files) => (await page.$(input)).uploadFile(...files)),
  // WebKitWebDriver, in a screen of its own, through WebDriver's protocol.
  async WebKit() {
    const probe = createServer();
    const port = await listening(probe); // a free one, for the driver
    probe.close();
    const driver = spawn("xvfb-run", ["-a", "WebKitWebDriver", `--port=${port}`], { stdio: "ignore", detached: true, env: { ...process.env, LANG: "C.UTF-8" } });
    const call = async (method, path, body) => {
      const { value } = await (await fetch(`http://127.0.0.1:${port}${path}`, { method, body: body && JSON.stringify(body) })).json();
      if (value?.error) throw new Error(`${path}: ${value.error}: ${value.message}`);
      return value;
    };
    await until(() => call("GET", "/status"));
    const { sessionId } = await call("POST", "/session", { capabilities: { alwaysMatch: { "webkitgtk:browserOptions": { args: ["--automation"] } } } });
    const session = (path) => `/session/${sessionId}${path}`;
    const element = async (css) => Object.values(await call("POST", session("/element"), { using: "css selector", value: css }))[0];
    const tab = {
      // A multiple input adds what is sent to what it holds, unless cleared.
      async choose(input, files) {
        const id = await element(input);
        await call("POST", session(`/element/${id}/clear`), {});
        await call("POST", session(`/element/${id}/value`), { text: files.join("\n") });
      },
      run: (f, arg) => call("POST", session("/execute/async"), { script: `Promise.resolve((${f})(arguments[0])).then(arguments[1])`, args: [arg ?? null] }),
      click: async (css) => call("POST", session(`/element/${await element(css)}/click`), {}),
    };
    return {
      open: async (url) => (await call("POST", session("/url"), { url }), tab),
      close: async () => (await call("DELETE", session("")), process.kill(-driver.pid)),
    };
  },
};

// Chooses |files| in |tab|'s |input|; returns the console and the outcome.
async function extract(tab, input, files) {
  await tab.choose(input, files);
  await until(() => tab.run(() => document.getElementById("status").textContent));
  return tab.run(() => ({ log: document.getElementById("console").textContent, status: document.getElementById("status").textContent }));
}

// The .zip as |tab|'s page hands it to the browser to download.
async function zipped(tab) {
  await tab.run(() => {
    window.zipped = null;
    HTMLAnchorElement.prototype.click = async function () {
      window.zipped = [...new Uint8Array(await (await fetch(this.href)).arrayBuffer())];
    };
  });
  await tab.click("#zip");
  return Buffer.from(await until(() => tab.run(() => window.zipped)));
}

function same_as_linux(files, expected) {
  assert.deepEqual(Object.keys(files).sort(), Object.keys(expected).sort());
  for (const [path, bytes] of Object.entries(expected)) assert.ok(Buffer.from(files[path]).equals(bytes), path);
}
const unzipped = (bytes) => Object.fromEntries(Object.entries(unzipSync(new Uint8Array(bytes))).filter(([path]) => !path.endsWith("/")));

for (const engine of Object.keys(engines)) {
  test(`in ${engine}, from a file and from a server, the page shows the terminal's console and writes what the Linux program writes`, async () => {
    const browser = await engines[engine]();
    try {
      for (const url of [`file://${html}`, http_url]) {
        const tab = await browser.open(url);
        for (const [it, outcome] of outcomes) {
          const { log, status } = await extract(tab, "#archives", it.files);
          assert.equal(log, it.terminal);
          assert.match(status, outcome);
          same_as_linux(unzipped(await zipped(tab)), it.written);
        }
      }
    } finally {
      await browser.close();
    }
  });
}

test("in Chromium, a folder, a choice made again, saving, a file changed since, previews, and every screen", async () => {
  const browser = await engines.Chromium();
  try {
    const tab = await browser.open(http_url), { page } = tab;
    // The folder whole; its .zip's names as Debian's unzip makes them.
    assert.equal((await extract(tab, "#folder", failing.dir)).log, failing.terminal);
    writeFileSync(join(scratch, "failing.zip"), await zipped(tab));
    execFileSync("unzip", ["-q", join(scratch, "failing.zip"), "-d", join(scratch, "unzipped")]);
    same_as_linux(Object.fromEntries(Object.keys(failing.written).map((path) => [path, readFileSync(join(scratch, "unzipped", path))])), failing.written);

    // Chosen again while a run goes: the later choice's run is what shows.
    execFileSync(make_archives, [join(scratch, "LARGE.IXF"), "30", "1024", "1024"]);
    await page.setInputFiles("#archives", [join(scratch, "LARGE.IXF")]);
    const { log, status } = await extract(tab, "#archives", sample.files);
    assert.deepEqual([log, await page.locator("figure").count()], [sample.terminal, Object.keys(sample.written).length]);
    assert.match(status, outcomes[0][1]);

    // Into a folder: the picker needs a person, and the origin's private
    // file system gives the same kind of folder.
    await page.evaluate(() => (window.showDirectoryPicker = () => navigator.storage.getDirectory()));
    await page.click("#save");
    await page.waitForFunction(() => document.getElementById("save-status").textContent === "Saved: 18 files.");
    same_as_linux(await page.evaluate(read_private_folder), sample.written);
    assert.match(await page.textContent("#status"), outcomes[0][1]);

    // An archive changed on the disk since it was chosen cannot be read.
    const changed = join(scratch, "CHANGED.IXF");
    writeFileSync(changed, city);
    await extract(tab, "#archives", [changed]);
    appendFileSync(changed, "!");
    await page.evaluate(() => document.getElementById("archives").dispatchEvent(new Event("change")));
    await page.waitForFunction(() => document.getElementById("status").textContent.includes("could not be read"));
    assert.match(await page.textContent("#console"), /\nError \(VELDOR\.EXE\): I\/O error\n$/);

    // Previews: the bottom row first, blue-green-red, whatever the width;
    // small ones larger, each pixel a square; where there is no image, none.
    const odd = ["0x7", "1x1", "4x2", "5x3"].map((size) => join(scratch, `${size}.IXF`));
    for (const file of odd) execFileSync(make_archives, [file, "1", ...file.match(/(\d+)x(\d+)/).slice(1)]);
    await extract(tab, "#archives", odd);
    await page.evaluate(() => document.getElementById("gallery").scrollIntoView()); // decoded near the screen only
    await page.waitForFunction(() => document.querySelectorAll("canvas[width='5']").length === 1);
    const shown = await page.evaluate(() => [...document.querySelectorAll("figure")].map((figure) => {
      const canvas = figure.querySelector("canvas");
      const pixel = canvas && canvas.getContext("2d").getImageData(0, canvas.height - 1, 1, 1).data;
      return [pixel && [...pixel], canvas?.getBoundingClientRect().width, figure.querySelector("small")?.textContent ?? ""];
    }));
    const first = [62, 31, 0, 255]; // make_archives' first pixel
    assert.deepEqual(shown, [[null, undefined, ""], [first, 32, "rows unpadded"], [first, 32, ""], [first, 35, "rows unpadded"]]);

    // Accessible, and fit, light and dark, on a desktop and a phone, with
    // enough archives to fill the console's box.
    const many = folder("many", Object.fromEntries(Array.from({ length: 40 }, (_, i) => [`A${i}.IXF`, city])));
    const accessible = async (page) => {
      await page.addScriptTag({ content: axe.source });
      assert.deepEqual((await page.evaluate(() => axe.run())).violations.map((v) => v.id), []);
    };
    for (const viewport of [{ width: 1366, height: 768 }, { width: 390, height: 844 }]) {
      for (const colorScheme of ["light", "dark"]) {
        const { page } = await browser.open(`file://${html}`, { viewport, colorScheme });
        await accessible(page);
        await page.setInputFiles("#archives", many.files);
        await page.waitForFunction(() => document.getElementById("status").textContent);
        await accessible(page);
        // The console's last line in view, no line out of its box, and
        // controls a finger can take.
        const fit = await page.evaluate(() => {
          const box = document.getElementById("console");
          const tall = ["archives", "folder", "save", "zip"].every((id) => document.getElementById(id).getBoundingClientRect().height >= 44);
          return [box.scrollHeight - box.scrollTop - box.clientHeight, box.scrollWidth - box.clientWidth, document.documentElement.scrollWidth - innerWidth, tall];
        });
        assert.deepEqual(fit, [0, 0, 0, true], JSON.stringify({ viewport, colorScheme }));
        await page.close();
      }
    }
  } finally {
    await browser.close();
  }
});

// Every file under the origin's private folder, by path.
async function read_private_folder(dir = null, path = "", files = {}) {
  for await (const [name, it] of (dir ??= await navigator.storage.getDirectory()).entries())
    if (it.kind === "directory") await read_private_folder(it, `${path}${name}/`, files);
    else files[path + name] = [...new Uint8Array(await (await it.getFile()).arrayBuffer())];
  return files;
}
