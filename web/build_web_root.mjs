// Writes the web root that kivolsrv serves: index.html at the top and every
// other file below assets/, each versioned file named with a hash of its
// content ("app.3f9a1c2b.js") so that it can be cached for ever. The compiled
// modules import each other by those names, and the module asset_names.js
// holds the names of the pictures, sounds and icons the page loads. The
// scripts are minified by terser (from NODE_MODULES), the style by
// dropping its comments and the spaces it does not need.
//
//   node build_web_root.mjs COMPILED STATIC CARDS_AND_SOUNDS ICONS OUT NODE_MODULES
import { createHash } from "node:crypto";
import { mkdirSync, readFileSync, readdirSync, rmSync, writeFileSync } from "node:fs";
import { createRequire } from "node:module";
import { join } from "node:path";

const [compiled, staticDir, cardsAndSounds, icons, out, nodeModules] = process.argv.slice(2);
if (!nodeModules) {
    console.error("usage: node build_web_root.mjs COMPILED STATIC CARDS_AND_SOUNDS ICONS OUT NODE_MODULES");
    process.exit(2);
}
const { minify } = createRequire(join(nodeModules, "package.json"))("terser");

// Comments and the whitespace around braces, semicolons and commas go; a
// value's own spaces ("0 2px 0 #8a1d0e") stay, as one space.
function minifiedStyle(css) {
    return css.replace(/\/\*[\s\S]*?\*\//g, "").replace(/\s+/g, " ")
        .replace(/\s*([{};,])\s*/g, "$1").replace(/;}/g, "}").trim();
}
const assets = join(out, "assets");
rmSync(assets, { recursive: true, force: true });
rmSync(join(out, "index.html"), { force: true });
mkdirSync(assets, { recursive: true });

function hashed(name, content) {
    const hash = createHash("sha256").update(content).digest("hex").slice(0, 10);
    const dot = name.lastIndexOf(".");
    return `${name.slice(0, dot)}.${hash}${name.slice(dot)}`;
}

// Writes the content under its hashed name; gives that name.
function emit(name, content) {
    const versioned = hashed(name, content);
    writeFileSync(join(assets, versioned), content);
    return versioned;
}

const assetNames = {};
for (let card = 1; card <= 54; ++card) {
    const name = `${String(card).padStart(2, "0")}.png`;
    assetNames[name] = emit(name, readFileSync(join(cardsAndSounds, name)));
}
for (const sound of ["draw", "join", "hit", "message", "hele"])
    assetNames[`${sound}.wav`] = emit(`${sound}.wav`, readFileSync(join(cardsAndSounds, `${sound}.wav`)));
const icon = emit("icon.png", readFileSync(join(icons, "64x64", "apps", readdirSync(join(icons, "64x64", "apps"))[0])));
const style = emit("style.css", minifiedStyle(readFileSync(join(staticDir, "style.css"), "utf8")));

// The modules, each after the modules it imports, with their imports renamed.
const importPattern = /(\bfrom\s*|\bimport\s*)"\.\/([\w.]+\.js)"/g;
const modules = new Map();
for (const file of readdirSync(compiled).filter(f => f.endsWith(".js"))) {
    const minified = await minify(readFileSync(join(compiled, file), "utf8"), {
        module: true, ecma: 2020, compress: { passes: 2 }, format: { quote_style: 2 },
    });
    modules.set(file, minified.code);
}
modules.set("asset_names.js", `export const assetNames = ${JSON.stringify(assetNames)};\n`);
const moduleNames = new Map();
function emitModule(file, visiting = new Set()) {
    if (moduleNames.has(file))
        return moduleNames.get(file);
    if (visiting.has(file))
        throw new Error(`modules import each other in a cycle through ${file}`);
    visiting.add(file);
    const source = modules.get(file);
    if (source === undefined)
        throw new Error(`no module ${file}`);
    const renamed = source.replace(importPattern, (_, opening, imported) =>
        `${opening}"./${emitModule(imported, visiting)}"`);
    const name = emit(file, renamed);
    moduleNames.set(file, name);
    return name;
}
const app = emitModule("app.js");

const page = readFileSync(join(staticDir, "index.html"), "utf8")
    .replaceAll("{{app.js}}", `/assets/${app}`)
    .replaceAll("{{style.css}}", `/assets/${style}`)
    .replaceAll("{{icon.png}}", `/assets/${icon}`);
if (page.includes("{{"))
    throw new Error("index.html names a file the build does not write");
writeFileSync(join(out, "index.html"), page);
