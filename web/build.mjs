// Makes veldor.html, one file that needs no other: the page's code and
// styles, the worker's code, and veldor.wasm, compressed, in base64; and,
// at its end, the licences of the packages bundled with it.  The same
// inputs give the same bytes.
//
// usage: node build.mjs VELDOR.WASM OUT.HTML
import { build } from "esbuild";
import { zlibSync } from "fflate";
import { readFileSync, writeFileSync } from "node:fs";
import { dirname, join } from "node:path";
import { fileURLToPath } from "node:url";

const here = dirname(fileURLToPath(import.meta.url));
const [wasm_path, out_path] = process.argv.slice(2);
if (!out_path) {
  console.error("usage: node build.mjs VELDOR.WASM OUT.HTML");
  process.exit(2);
}

const bundle = async (entry, define) => {
  const result = await build({
    entryPoints: [join(here, "src", entry)],
    bundle: true,
    minify: true,
    format: "iife",
    target: ["es2020", "safari15"],
    write: false,
    define,
    logLevel: "warning",
  });
  return result.outputFiles[0].text;
};

const wasm = Buffer.from(zlibSync(readFileSync(wasm_path), { level: 9 })).toString("base64");
const worker = await bundle("worker.ts", { VELDOR_WASM: JSON.stringify(wasm) });
const main = await bundle("main.ts", { WORKER_SOURCE: JSON.stringify(worker) });
// "</script" would end the script element: in a string it means the same
// escaped.
const script = main.replace(/<\/(script)/gi, "<\\/$1");
const licences = ["@bjorn3/browser_wasi_shim/LICENSE-MIT", "fflate/LICENSE"]
  .map((file) => `${file.split("/").slice(0, -1).join("/")}:\n${readFileSync(join(here, "node_modules", file), "utf8")}`)
  .join("\n")
  .replaceAll("--", "- -");
const page = readFileSync(join(here, "page.html"), "utf8")
  .replace("/*STYLE*/", () => readFileSync(join(here, "page.css"), "utf8").trim())
  .replace("/*SCRIPT*/", () => script.trim())
  .replace("</html>", () => `</html>\n<!-- The packages bundled in this page, and their licences.\n\n${licences}-->\n`);
writeFileSync(out_path, page);
