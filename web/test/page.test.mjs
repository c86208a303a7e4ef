// The page as a player uses it, in Debian's Chromium and Firefox: archives
// chosen, the console shown, the images saved, byte for byte what the Linux
// program writes in the same folder.
//
// VELDOR_HTML is the page; VELDOR_LINUX the Linux program; VELDOR_MAKE_ARCHIVES
// the tests' make_archives.
import { test, before, after } from "node:test";
import assert from "node:assert/strict";
import { execFileSync } from "node:child_process";
import { createServer } from "node:http";
import { cpSync, mkdtempSync, mkdirSync, readdirSync, readFileSync, rmSync, writeFileSync } from "node:fs";
import { tmpdir } from "node:os";
import { join } from "node:path";
import { unzipSync } from "fflate";
import { chromium } from "playwright-core";
import puppeteer from "puppeteer-core";
import axe from "axe-core";

const html = process.env.VELDOR_HTML;
const scratch = mkdtempSync(join(tmpdir(), "veldor-page-"));
let server, http_url;

// A folder of archives, and what the Linux program writes there: each file
// of each folder it made, by path.
function folder(name, files) {
  const dir = join(scratch, name);
  mkdirSync(dir);
  for (const [file, bytes] of Object.entries(files)) writeFileSync(join(dir, file), bytes);
  if (!Object.keys(files).length) {
    // The sample, and images written in several pieces (500 x 500: more
    // than the program's buffer).
    execFileSync(process.env.VELDOR_MAKE_ARCHIVES, ["sample", dir]);
    execFileSync(process.env.VELDOR_MAKE_ARCHIVES, [join(dir, "BIG.IXF"), "2", "500", "500"]);
  }
  const run = join(scratch, `${name}.linux`);
  cpSync(dir, run, { recursive: true });
  let status = 0;
  try {
    execFileSync(process.env.VELDOR_LINUX, { cwd: run, stdio: "ignore" });
  } catch (error) {
    status = error.status;
  }
  const written = {};
  for (const entry of readdirSync(run, { withFileTypes: true, recursive: true }))
    if (entry.isFile() && entry.parentPath !== run)
      written[join(entry.parentPath.slice(run.length + 1), entry.name)] = readFileSync(join(entry.parentPath, entry.name));
  return { dir, files: readdirSync(dir).map((file) => join(dir, file)), written, status };
}

const sample = folder("sample", {});
const archive = readFileSync(join(sample.dir, "TERRAIN_TEXTURES.IXF"));
// A name outside ASCII, then a plain file where the next archive's folder
// goes.
const failing = folder("failing", { "\u00c9t\u00e9.IXF": archive, "\u00celes.IXF": archive, "\u00celes": "a file" });

before(async () => {
  server = createServer((request, response) => response.end(readFileSync(html)));
  await new Promise((done) => server.listen(0, "127.0.0.1", done));
  http_url = `http://127.0.0.1:${server.address().port}/veldor.html`;
});
after(() => {
  server.close();
  rmSync(scratch, { recursive: true, force: true });
});

// Waits until |page|'s status begins with |start| (Playwright's and
// Puppeteer's own waits take their arguments in different orders).
async function status_of(page, start = "") {
  for (;;) {
    const status = await page.evaluate(() => document.getElementById("status").textContent);
    if (status && status.startsWith(start)) return status;
    await new Promise((done) => setTimeout(done, 100));
  }
}

// Runs the page in |page| on |choose|'s choice; returns its console and status.
async function run(page, choose) {
  await choose();
  const status = await status_of(page);
  return { log: await page.evaluate(() => document.getElementById("console").textContent), status };
}

function same_as_linux(files, expected) {
  assert.deepEqual(Object.keys(files).sort(), Object.keys(expected).sort());
  for (const [path, bytes] of Object.entries(expected)) assert.ok(Buffer.from(files[path]).equals(bytes), path);
}

const unzipped = (bytes) =>
  Object.fromEntries(Object.entries(unzipSync(new Uint8Array(bytes))).filter(([path]) => !path.endsWith("/")));

// Chromium, as the machine has it; nothing it would fetch by itself.
const chromium_options = {
  executablePath: process.env.CHROMIUM || "/usr/bin/chromium",
  args: ["--no-sandbox", "--disable-gpu", "--disable-background-networking", "--disable-component-update", "--no-first-run"],
};

test("in Chromium, from a file and from a server, the page writes what the Linux program writes", async () => {
  const browser = await chromium.launch(chromium_options);
  try {
    for (const url of [`file://${html}`, http_url]) {
      const page = await browser.newPage({ acceptDownloads: true });
      const requests = [];
      // Blobs are the page's own memory; anything else would be fetched.
      page.on("request", (request) => /^(blob|data):/.test(request.url()) || requests.push(request.url()));
      await page.goto(url);
      const accessible = async () => {
        await page.addScriptTag({ content: axe.source });
        const { violations } = await page.evaluate(() => axe.run());
        assert.deepEqual(violations.filter((v) => ["serious", "critical"].includes(v.impact)).map((v) => v.id), []);
      };
      await accessible();
      const { log, status } = await run(page, () => page.setInputFiles("#archives", sample.files));
      assert.match(log, /^Traitement de CITY.IXF     \.\.\.  3 fichiers extraits\.$/m);
      assert.match(log, /^Traitement de NOTES.IXF    \.\.\.Format de fichier incorrect\.$/m);
      assert.match(log, /\nEx\u00e9cution achev\u00e9e\.$/);
      assert.equal(status, "Exit status: 0");
      assert.equal(await page.locator("figure").count(), Object.keys(sample.written).length);
      await accessible();
      const [download] = await Promise.all([page.waitForEvent("download"), page.click("#zip")]);
      assert.equal(download.suggestedFilename(), "veldor.zip");
      same_as_linux(unzipped(readFileSync(await download.path())), sample.written);
      if (url === http_url) {
        // The folder picker needs a person: the origin's private file
        // system gives the same kind of folder.
        await page.evaluate(() => (window.showDirectoryPicker = () => navigator.storage.getDirectory()));
        await page.click("#save");
        await status_of(page, "Saved");
        same_as_linux(await page.evaluate(read_private_folder), sample.written);
      }
      assert.deepEqual(requests, [url]);
      await page.close();
    }
  } finally {
    await browser.close();
  }
});

// Every file under the origin's private folder, by path.
async function read_private_folder() {
  const files = {};
  const walk = async (dir, path) => {
    for await (const [name, handle] of dir.entries())
      if (handle.kind === "directory") await walk(handle, `${path}${name}/`);
      else files[path + name] = [...new Uint8Array(await (await handle.getFile()).arrayBuffer())];
  };
  await walk(await navigator.storage.getDirectory(), "");
  return files;
}

test("in Chromium, a folder that stops the run keeps its first images, to be saved", async () => {
  const browser = await chromium.launch(chromium_options);
  try {
    const page = await browser.newPage({ acceptDownloads: true });
    await page.goto(`file://${html}`);
    const { log, status } = await run(page, () => page.setInputFiles("#folder", failing.dir));
    assert.equal(failing.status, 255);
    assert.match(log, /^Traitement de \u00c9t\u00e9.IXF    \.\.\.  1 fichier extrait\.\nTraitement de \u00celes.IXF    \.\.\.\nError \(VELDOR.EXE\): Not a directory$/m);
    assert.equal(status, "Exit status: -1");
    const [download] = await Promise.all([page.waitForEvent("download"), page.click("#zip")]);
    same_as_linux(unzipped(readFileSync(await download.path())), failing.written);
  } finally {
    await browser.close();
  }
});

test("in Firefox, the page downloads what the Linux program writes", async () => {
  const browser = await puppeteer.launch({
    browser: "firefox",
    executablePath: process.env.FIREFOX || "/usr/bin/firefox-esr",
    userDataDir: mkdtempSync(join(scratch, "firefox-")),
  });
  try {
    const page = await browser.newPage();
    await page.goto(`file://${html}`);
    // The .zip as the page hands it to the browser to download.
    await page.evaluate(() => {
      HTMLAnchorElement.prototype.click = async function () {
        window.zipped = [...new Uint8Array(await (await fetch(this.href)).arrayBuffer())];
      };
    });
    const input = await page.$("#archives");
    const { status } = await run(page, () => input.uploadFile(...sample.files));
    assert.equal(status, "Exit status: 0");
    await page.click("#zip");
    while (!(await page.evaluate(() => Boolean(window.zipped)))) await new Promise((done) => setTimeout(done, 100));
    same_as_linux(unzipped(await page.evaluate(() => window.zipped)), sample.written);
  } finally {
    await browser.close();
  }
});
