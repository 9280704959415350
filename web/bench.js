// bench.js -- the page's benchmark (scripts/bench-web): processor time per frame of the
// WebAssembly picture in Node, and the frames a second the page shows in headless Chromium.
//   node web/bench.js wasm FILE REPETITIONS WxH...   one line per size: "WxH MS" (the cheapest)
//   node web/bench.js chromium URL WxH SECONDS        "FPS BUSY_MS": frames a second, and the
//                                                     page's own time per frame (wasm and put)
"use strict";
const fs = require("node:fs");
// Node before 22 has the relaxed multiply-add (ripplefield-fma.wasm) only behind a flag.
require("node:v8").setFlagsFromString("--experimental-wasm-relaxed-simd");
const { LoadRippleField } = require("./ripplefield.js");

// As ripplefield-bench draws its picture frames: seed 12345, a reading 16 ms after the last, five
// frames of warm-up, then as many frames as fill about a second, in processor time.
async function BenchWasm(file, repetitions, sizes) {
    const ripple = await LoadRippleField(fs.readFileSync(file));
    for (const size of sizes) {
        const [width, height] = size.split("x").map(Number);
        let best = Infinity;
        for (let r = 0; r < repetitions; ++r) {
            let counter = 0;
            if (!ripple.start(12345, width, height)) {
                throw new Error("cannot draw " + size);
            }
            for (let i = 0; i < 5; ++i) {
                ripple.freeze((counter += 16));
                ripple.frame();
            }
            let frames = 0;
            const start = process.cpuUsage();
            let used = 0;
            while (used < 1e6) {
                ripple.freeze((counter += 16));
                ripple.frame();
                ++frames;
                const u = process.cpuUsage(start);
                used = u.user + u.system;
            }
            best = Math.min(best, used / 1000 / frames);
        }
        console.log(`${size} ${best.toFixed(3)}`);
    }
}

async function BenchChromium(url, size, seconds) {
    const { LaunchChromium } = require("../tests/web/support.js");
    const [width, height] = size.split("x").map(Number);
    const browser = await LaunchChromium();
    try {
        const page = await browser.newPage({ viewport: { width, height } });
        await page.goto(url);
        await page.waitForFunction(() => window.rippleShown && window.rippleShown.frames > 30);
        const count = () => page.evaluate(() => [performance.now(), window.rippleShown.frames,
                                                 window.rippleShown.busy]);
        const [t0, f0, b0] = await count();
        await page.waitForTimeout(seconds * 1000);
        const [t1, f1, b1] = await count();
        const fps = ((f1 - f0) * 1000) / (t1 - t0);
        console.log(`${fps.toFixed(1)} ${((b1 - b0) / (f1 - f0)).toFixed(3)}`);
    } finally {
        await browser.close();
    }
}

const [mode, ...args] = process.argv.slice(2);
(mode === "wasm" ? BenchWasm(args[0], Number(args[1]), args.slice(2))
                 : BenchChromium(args[0], args[1], Number(args[2]))).catch((error) => {
    console.error(error.message);
    process.exit(1);
});
