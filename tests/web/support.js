// support.js -- what the web tests share: the builds' paths, the native still renderer's frames
// and the comparison of RGBA images.
"use strict";
const { execFileSync } = require("node:child_process");
const fs = require("node:fs");
const os = require("node:os");
const path = require("node:path");
const { PNG } = require("pngjs");

const root = path.resolve(__dirname, "../..");
const nativeBuild = process.env.RIPPLEFIELD_NATIVE_BUILD || path.join(root, "build/native");
const webBuild = process.env.RIPPLEFIELD_WEB_BUILD || path.join(root, "build/web");
const renderer = path.join(nativeBuild, "ripplefield-render");
// Both modules, the one the page picks first; Node before 22 has the relaxed multiply-add only
// behind a flag.
const wasmFiles = ["ripplefield-fma.wasm", "ripplefield.wasm"].map((name) =>
    path.join(webBuild, name));
require("node:v8").setFlagsFromString("--experimental-wasm-relaxed-simd");

// ripplefield-render's frame after the readings, as RGBA bytes from the top.
function NativeFrame(width, height, seed, ticks) {
    const dir = fs.mkdtempSync(path.join(os.tmpdir(), "ripplefield-web-"));
    const file = path.join(dir, "frame.png");
    try {
        execFileSync(renderer, ["--size", `${width}x${height}`, "--seed", String(seed), "--ticks",
                                ticks.join(","), "--png", file]);
        return PNG.sync.read(fs.readFileSync(file)).data;
    } finally {
        fs.rmSync(dir, { recursive: true, force: true });
    }
}

// Null when the colours are the same and every pixel of the image is opaque; else the first pixel
// that differs.
function FirstDifference(image, expected, width) {
    if (image.length !== expected.length) {
        return `${image.length} bytes against ${expected.length}`;
    }
    for (let i = 0; i < image.length; i += 4) {
        if (image[i] !== expected[i] || image[i + 1] !== expected[i + 1] ||
            image[i + 2] !== expected[i + 2] || image[i + 3] !== 255) {
            const at = i / 4;
            const [x, y] = [at % width, Math.floor(at / width)];
            return `pixel ${x},${y} is ${Array.from(image.slice(i, i + 4))}, ` +
                   `ripplefield-render drew ${Array.from(expected.slice(i, i + 3))}`;
        }
    }
    return null;
}

// The site (the web build's folder) on a local port, as any static host serves it; every path
// asked for is recorded.
function ServeSite() {
    const http = require("node:http");
    const types = { ".html": "text/html", ".js": "text/javascript", ".wasm": "application/wasm" };
    const requests = [];
    const server = http.createServer((request, response) => {
        const name = new URL(request.url, "http://localhost").pathname;
        requests.push(name);
        const file = path.join(webBuild, name === "/" ? "index.html" : path.basename(name));
        if (!/^\/[\w.-]*$/.test(name) || !(path.extname(file) in types) || !fs.existsSync(file)) {
            response.writeHead(404).end();
            return;
        }
        response.writeHead(200, { "Content-Type": types[path.extname(file)] });
        response.end(fs.readFileSync(file));
    });
    return new Promise((resolve) => server.listen(0, "127.0.0.1", () =>
        resolve({ url: `http://127.0.0.1:${server.address().port}/`, requests,
                  close: () => server.close() })));
}

// Debian's Chromium, headless, with nothing of its own on the network and colours left as sRGB.
const kChromiumArguments = ["--no-sandbox", "--headless", "--disable-gpu", "--disable-quic",
    "--no-first-run", "--disable-background-networking", "--disable-component-update",
    "--disable-sync", "--force-color-profile=srgb"];

function LaunchChromium() {
    const { chromium } = require("playwright-core");
    const executablePath = process.env.RIPPLEFIELD_CHROMIUM || "/usr/bin/chromium";
    return chromium.launch({ executablePath, args: kChromiumArguments });
}

module.exports = { root, webBuild, wasmFiles, NativeFrame, FirstDifference, ServeSite,
                   LaunchChromium, kChromiumArguments };
