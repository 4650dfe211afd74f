// Writes the web root that kivolsrv serves: index.html at the top and every
// other file below assets/, each versioned file named with a hash of its
// content ("app.3f9a1c2b.js") so that it can be cached for ever. The compiled
// modules import each other by those names, and the module asset_names.js
// holds the names of the pictures, sounds and icons the page loads.
//
//   node build_web_root.mjs COMPILED STATIC CARDS_AND_SOUNDS ICONS OUT
import { createHash } from "node:crypto";
import { mkdirSync, readFileSync, readdirSync, rmSync, writeFileSync } from "node:fs";
import { join } from "node:path";

const [compiled, staticDir, cardsAndSounds, icons, out] = process.argv.slice(2);
if (!out) {
    console.error("usage: node build_web_root.mjs COMPILED STATIC CARDS_AND_SOUNDS ICONS OUT");
    process.exit(2);
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
const style = emit("style.css", readFileSync(join(staticDir, "style.css")));

// The modules, each after the modules it imports, with their imports renamed.
const importPattern = /(\bfrom\s*|\bimport\s*)"\.\/([\w.]+\.js)"/g;
const modules = new Map(readdirSync(compiled).filter(f => f.endsWith(".js"))
    .map(f => [f, readFileSync(join(compiled, f), "utf8")]));
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
