// one_file.test.js -- the page as one file (ripplefield.html) opened from a disk in headless
// Chromium and Firefox: frozen frames against the native still renderer, the readout, and no
// request for anything but the page.
"use strict";
const assert = require("node:assert");
const path = require("node:path");
const { pathToFileURL } = require("node:url");
const { test } = require("node:test");
const { webBuild, NativeFrame, FirstDifference, LaunchChromium } = require("./support.js");

const kPage = pathToFileURL(path.join(webBuild, "ripplefield.html")).href;
const [kWidth, kHeight] = [400, 250];

// Until the canvas has the view's size and a frame in it; then its RGBA bytes.
const kDrawn = ([w, h]) => {
    const c = document.getElementById("picture");
    return c.width === w && c.height === h &&
           c.getContext("2d").getImageData(0, 0, 1, 1).data[3] === 255;
};
const kPixels = () => {
    const c = document.getElementById("picture");
    return Array.from(c.getContext("2d").getImageData(0, 0, c.width, c.height).data);
};

test("Chromium: from a disk, with ?freeze and ?fps", async () => {
    const browser = await LaunchChromium();
    const page = await browser.newPage({ viewport: { width: kWidth, height: kHeight } });
    const asked = [];
    page.on("request", (request) => asked.push(request.url()));
    const frames = [];
    for (const query of ["?freeze=2027,12000", "?freeze=2027,12000&fps"]) {
        await page.goto(kPage + query);
        await page.waitForFunction(kDrawn, [kWidth, kHeight]);
        frames.push(await page.evaluate(kPixels));
    }
    await browser.close();
    const native = NativeFrame(kWidth, kHeight, 2027, [12000]);
    assert.strictEqual(FirstDifference(frames[0], native, kWidth), null);
    // The readout changes the lower left corner and nothing else.
    const changed = [];
    for (let i = 0; i < native.length; i += 4) {
        if (frames[1][i] !== native[i] || frames[1][i + 1] !== native[i + 1]) {
            changed.push(i / 4);
        }
    }
    assert.ok(changed.length > 50 && changed.every((at) => at % kWidth < kWidth / 2 &&
                                                           at >= kWidth * kHeight * 0.6));
    assert.deepStrictEqual(asked.filter((u) => !u.startsWith("data:")),
                           [kPage + "?freeze=2027,12000", kPage + "?freeze=2027,12000&fps"]);
});

// puppeteer-core drives Debian's Firefox ESR as it is, through WebDriver BiDi.
test("Firefox: from a disk, with ?freeze", async () => {
    const browser = await require("puppeteer-core").launch({
        browser: "firefox",
        executablePath: process.env.RIPPLEFIELD_FIREFOX || "/usr/bin/firefox-esr",
        headless: true,
    });
    try {
        const page = await browser.newPage();
        await page.setViewport({ width: kWidth, height: kHeight });
        const asked = [];
        page.on("request", (request) => asked.push(request.url()));
        await page.goto(kPage + "?freeze=2027,12000");
        await page.waitForFunction(kDrawn, {}, [kWidth, kHeight]);
        const pixels = await page.evaluate(kPixels);
        assert.strictEqual(FirstDifference(pixels, NativeFrame(kWidth, kHeight, 2027, [12000]),
                                           kWidth), null);
        // Firefox reports no request for a file: anything it reports is one too many.
        assert.deepStrictEqual(asked.filter((u) => !u.startsWith("data:") && !u.startsWith(kPage)),
                               []);
    } finally {
        await browser.close();
    }
});
