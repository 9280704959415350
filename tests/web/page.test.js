// page.test.js -- the page in headless Chromium: frozen frames against the native still renderer
// at two device scales, the animation, the window's size, and the saver's full-screen rules.
"use strict";
const assert = require("node:assert");
const { after, before, test } = require("node:test");
const { NativeFrame, FirstDifference, ServeSite, LaunchChromium } = require("./support.js");

let site;
let browser;
before(async () => {
    site = await ServeSite();
    browser = await LaunchChromium();
});
after(async () => {
    await browser.close();
    site.close();
});

async function OpenPage(query, width, height, scale = 1) {
    const context = await browser.newContext({ viewport: { width, height },
                                               deviceScaleFactor: scale });
    const page = await context.newPage();
    await page.goto(site.url + query);
    await WaitForCanvas(page, width * scale, height * scale);
    return page;
}

// Until the canvas has that size and a frame of that size has been put into it.
async function WaitForCanvas(page, width, height) {
    await page.waitForFunction(([w, h]) => {
        const c = document.getElementById("picture");
        return c.width === w && c.height === h &&
               c.getContext("2d").getImageData(0, 0, 1, 1).data[3] === 255;
    }, [width, height]);
    await page.evaluate(() => new Promise((done) => requestAnimationFrame(() => done())));
}

function CanvasPixels(page) {
    return page.evaluate(() => {
        const c = document.getElementById("picture");
        return Array.from(c.getContext("2d").getImageData(0, 0, c.width, c.height).data);
    });
}

test("a frozen frame is the native one at 1x and 2x, after a resize; too large, the background",
     async () => {
    for (const scale of [1, 2]) {
        const page = await OpenPage("?freeze=2027,12000", 400, 250, scale);
        const frame = await CanvasPixels(page);
        assert.strictEqual(FirstDifference(frame, NativeFrame(400 * scale, 250 * scale, 2027,
                                                              [12000]), 400 * scale), null);
        await page.setViewportSize({ width: 333, height: 177 });
        await WaitForCanvas(page, 333 * scale, 177 * scale);
        const resized = await CanvasPixels(page);
        assert.strictEqual(FirstDifference(resized, NativeFrame(333 * scale, 177 * scale, 2027,
                                                                [12000]), 333 * scale), null);
        if (scale === 2) { // past 2^27 device pixels nothing is drawn
            await page.setViewportSize({ width: 5793, height: 5793 });
            await page.waitForFunction(() => document.getElementById("picture").width === 11586);
            assert.deepStrictEqual(await page.evaluate(() => Array.from(document.getElementById(
                "picture").getContext("2d").getImageData(5793, 5793, 1, 1).data)), [0, 0, 26, 255]);
        }
        await page.context().close();
    }
    assert.deepStrictEqual([...new Set(site.requests)].sort(),
                           ["/", "/ripplefield-fma.wasm", "/ripplefield.js"]);
});

test("the animation advances, and ?fps draws the readout", async () => {
    const page = await OpenPage("", 320, 200);
    const first = await CanvasPixels(page);
    await page.waitForTimeout(300);
    assert.notDeepStrictEqual(await CanvasPixels(page), first);
    const frozen = await OpenPage("?freeze=5,700", 320, 200);
    const withFps = await OpenPage("?freeze=5,700&fps", 320, 200);
    const plain = await CanvasPixels(frozen);
    const readout = await CanvasPixels(withFps);
    // White text in the lower-left corner, and nothing else changed.
    const changed = [];
    for (let i = 0; i < plain.length; i += 4) {
        if (plain[i] !== readout[i] || plain[i + 1] !== readout[i + 1]) {
            changed.push(i / 4);
        }
    }
    assert.ok(changed.length > 50);
    assert.ok(changed.every((at) => at % 320 < 160 && at >= 320 * 150), String(changed[0]));
    await Promise.all(browser.contexts().map((c) => c.close()));
});

test("full screen: click or key enters; key, press or motion past 4 pixels leaves", async () => {
    const page = await OpenPage("?freeze=5,700", 320, 200);
    // Full screen, the cursor, and the wake lock (Chromium grants one to a visible page).
    const full = () => page.evaluate(() => [document.fullscreenElement !== null,
        getComputedStyle(document.getElementById("picture")).cursor, rippleSaver.lock !== null]);
    const settle = () => page.waitForTimeout(150);
    // From rest at (100, 100): |dx| + |dy| of 4 stays, 5 leaves; else the button leaves, and the
    // next click (a right or middle press has none) comes back.
    for (const [dx, dy, leaves, button] of [[2, 2, false, "left"], [-4, 0, false, "right"],
        [3, 2, true], [1, 3, false, "middle"], [0, -5, true], [-1, 4, true]]) {
        await page.mouse.move(100, 100);
        await page.mouse.click(100, 100);
        await settle();
        assert.deepStrictEqual(await full(), [true, "none", true], "the click went full screen");
        await page.mouse.move(100 + dx, 100 + dy, { steps: 2 });
        await settle();
        const expected = leaves ? [false, "auto", false] : [true, "none", true];
        assert.deepStrictEqual(await full(), expected, `moved ${dx},${dy}`);
        if (!leaves) {
            await page.mouse.down({ button }); // a left button's click does not come back
            await page.mouse.up({ button });
            await settle();
            assert.deepStrictEqual(await full(), [false, "auto", false], "the press left");
        }
    }
    await page.keyboard.press("Space");
    await settle();
    assert.deepStrictEqual(await full(), [true, "none", true], "a key went full screen");
    await page.keyboard.press("Space");
    await settle();
    assert.deepStrictEqual(await full(), [false, "auto", false], "a key left");
    await page.context().close();
});

test("without JavaScript or WebAssembly the page says so in one line", async () => {
    const cases = [{ options: { javaScriptEnabled: false }, says: /needs JavaScript/ },
                   { init: () => delete window.WebAssembly, says: /needs WebAssembly/ }];
    for (const c of cases) {
        const context = await browser.newContext(c.options);
        const page = await context.newPage();
        if (c.init) {
            await page.addInitScript(c.init);
        }
        await page.goto(site.url);
        const text = await page.locator("body").innerText();
        assert.match(text, c.says);
        assert.strictEqual(text.trim().split("\n").length, 1, text);
        await context.close();
    }
});
