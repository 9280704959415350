// one_file.test.js -- the page as one file (ripplefield.html), opened from a disk in headless
// Chromium and Firefox and from a host: frozen frames against the native still renderer, the
// readout, and no request for anything but the page.
"use strict";
const assert = require("node:assert");
const path = require("node:path");
const { pathToFileURL } = require("node:url");
const { test } = require("node:test");
const { webBuild, NativeFrame, FirstDifference, ServeSite, LaunchChromium } =
    require("./support.js");

const kPage = pathToFileURL(path.join(webBuild, "ripplefield.html")).href;
const [kWidth, kHeight] = [400, 250];
const kNative = () => NativeFrame(kWidth, kHeight, 2027, [12000]);

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

// The pixels that differ between two frames lie in the readout's corner, the lower left.
function ReadoutOnly(plain, readout) {
    let changed = 0;
    for (let i = 0; i < plain.length; i += 4) {
        if (plain[i] !== readout[i] || plain[i + 1] !== readout[i + 1]) {
            const at = i / 4;
            assert.ok(at % kWidth < kWidth / 2 && at >= kWidth * kHeight * 0.6, `pixel ${at}`);
            ++changed;
        }
    }
    assert.ok(changed > 50, `${changed} pixels of readout`);
}

test("Chromium: from a disk and from a host, with ?freeze and ?fps", async () => {
    const site = await ServeSite();
    const browser = await LaunchChromium();
    try {
        const open = async (url) => {
            const context = await browser.newContext({ viewport: { width: kWidth,
                                                                   height: kHeight } });
            const page = await context.newPage();
            const asked = [];
            page.on("request", (request) => asked.push(request.url()));
            await page.goto(url);
            await page.waitForFunction(kDrawn, [kWidth, kHeight]);
            const pixels = await page.evaluate(kPixels);
            await context.close();
            return { pixels, asked: asked.filter((u) => !u.startsWith("data:")) };
        };
        const native = kNative();
        for (const base of [kPage, site.url + "ripplefield.html"]) {
            const frozen = await open(base + "?freeze=2027,12000");
            assert.strictEqual(FirstDifference(frozen.pixels, native, kWidth), null, base);
            assert.deepStrictEqual(frozen.asked, [base + "?freeze=2027,12000"]);
        }
        assert.deepStrictEqual(site.requests, ["/ripplefield.html"]);
        const withFps = await open(kPage + "?freeze=2027,12000&fps");
        ReadoutOnly(native, withFps.pixels);
    } finally {
        await browser.close();
        site.close();
    }
});

// Firefox through WebDriver BiDi: puppeteer-core drives Debian's Firefox ESR as it is.
test("Firefox: from a disk, with ?freeze", async () => {
    const puppeteer = require("puppeteer-core");
    const browser = await puppeteer.launch({
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
        assert.strictEqual(FirstDifference(pixels, kNative(), kWidth), null);
        // Firefox reports no request for the file itself: anything reported is one too many.
        assert.deepStrictEqual(asked.filter((u) => !u.startsWith("data:") && !u.startsWith(kPage)),
                               []);
    } finally {
        await browser.close();
    }
});
