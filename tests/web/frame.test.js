// frame.test.js -- the WebAssembly frame against the native still renderer's, byte for byte, over
// views, seeds and counter readings.
"use strict";
const assert = require("node:assert");
const fs = require("node:fs");
const test = require("node:test");
const path = require("node:path");
const { LoadRippleField, RippleModuleName } = require("../../web/ripplefield.js");
const { wasmFiles, NativeFrame, FirstDifference } = require("./support.js");

// The readings go to both in order, so the model's steps between frames are compared too.
const cases = [
    { size: [800, 450], seed: 2027, ticks: [700] },
    { size: [1920, 1080], seed: 1, ticks: [16, 33, 50, 12000] },
    { size: [1280, 720], seed: 4000000000, ticks: [86400000] },
    { size: [1280, 721], seed: 31, ticks: [100, 200] }, // viewport a row short of the band: scaled
    { size: [1280, 1080], seed: 31, ticks: [100] },      // scaled too
    { size: [1024, 768], seed: 7, ticks: [2147483000, -2147483000] }, // across the counter's wrap
    { size: [1, 1], seed: 5, ticks: [100] },
    { size: [7, 5], seed: 6, ticks: [700] },
    { size: [5, 13], seed: 8, ticks: [1000, 2000] },
    { size: [333, 77], seed: 65535, ticks: [123456] },
    { size: [3840, 2160], seed: 99, ticks: [5000] },
];

test("every frame of both modules is the native one", async () => {
    assert.strictEqual(RippleModuleName(), path.basename(wasmFiles[0])); // this engine fuses
    for (const file of wasmFiles) {
        const ripple = await LoadRippleField(fs.readFileSync(file));
        for (const c of cases) {
            const [width, height] = c.size;
            const name = `${path.basename(file)} ${width}x${height} seed ${c.seed} ` +
                         `ticks ${c.ticks}`;
            assert.ok(ripple.start(c.seed, width, height), name);
            for (const tick of c.ticks) {
                ripple.freeze(tick); // as ripplefield-render steps its frames
                assert.ok(ripple.frame(), name);
            }
            const native = NativeFrame(width, height, c.seed, c.ticks);
            assert.strictEqual(FirstDifference(ripple.pixels(), native, width), null, name);
        }
    }
});

// A view the saver would not draw shows nothing, and the next one draws again.
test("an empty view or one too large draws nothing", async () => {
    const ripple = await LoadRippleField(fs.readFileSync(wasmFiles[0]));
    assert.ok(ripple.start(1, 0, 10));
    assert.ok(!ripple.frame());
    assert.ok(!ripple.resize(1 << 16, 1 << 12));
    assert.ok(ripple.resize(64, 36));
    assert.ok(ripple.frame());
});
