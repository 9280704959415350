// ripplefield.js -- the page's script: loads its module, steps a frame into the canvas at
// every animation frame, and goes full screen as a screen saver does. Node loads it too (the
// tests, the benchmark), and uses only the loader.
"use strict";

// The module's imports: the page's clocks (performance.now(), and the time its frames have taken,
// which the readout shows as the load), no files and no environment; what the module writes to
// stderr goes to the console.
function RippleImports(memory, busy) {
    const words = () => new DataView(memory().buffer);
    return {
        env: {
            PageMilliseconds: () => performance.now(),
            PageBusyMilliseconds: busy,
            emscripten_notify_memory_growth: () => {},
        },
        wasi_snapshot_preview1: {
            proc_exit: (code) => {
                throw new Error("RippleField's module ended with " + code);
            },
            environ_sizes_get: (countAt, sizeAt) => {
                words().setUint32(countAt, 0, true);
                words().setUint32(sizeAt, 0, true);
                return 0;
            },
            environ_get: () => 0,
            fd_close: () => 0,
            fd_seek: () => 70, // not seekable
            fd_write: (fd, iovs, count, writtenAt) => {
                const view = words();
                let text = "";
                let written = 0;
                for (let i = 0; i < count; ++i) {
                    const at = view.getUint32(iovs + 8 * i, true);
                    const length = view.getUint32(iovs + 8 * i + 4, true);
                    text += new TextDecoder().decode(new Uint8Array(memory().buffer, at, length));
                    written += length;
                }
                view.setUint32(writtenAt, written, true);
                console.error(text.replace(/\n$/, ""));
                return 0;
            },
        },
    };
}

// The model, the picture and the frame step from the module's bytes. start(seed, width, height,
// showFps) and resize give whether the view can be drawn; freeze(ms) makes every later frame read
// the counter as ms, else frames read the page's counter (performance.now()'s whole milliseconds,
// wrapped to 32 bits as the native counter is); frame() steps one frame and gives whether it was
// drawn; pixels() is that frame, RGBA bytes from the top, valid until the next call. busy() is how
// long the page's frames have taken, in milliseconds. clearColour(): the background, as CSS.
async function LoadRippleField(bytes, busy = () => 0) {
    let instance = null;
    const imports = RippleImports(() => instance.exports.memory, busy);
    instance = (await WebAssembly.instantiate(bytes, imports)).instance;
    const e = instance.exports;
    e._initialize();
    const ripple = { width: 0, height: 0 };
    ripple.start = (seed, width, height, showFps = false) => {
        ripple.width = width;
        ripple.height = height;
        return e.RippleStart(seed >>> 0, width, height, showFps) !== 0;
    };
    ripple.resize = (width, height) => {
        ripple.width = width;
        ripple.height = height;
        e.RippleResize(width, height);
        return e.RipplePixels() !== 0;
    };
    ripple.freeze = (milliseconds) => e.RippleFreeze(milliseconds | 0);
    ripple.frame = () => e.RippleFrame() !== 0;
    ripple.pixels = () => new Uint8ClampedArray(e.memory.buffer, e.RipplePixels(),
                                                4 * ripple.width * ripple.height);
    ripple.clearColour = () => {
        const pixel = e.RippleClearPixel(); // RGBA in memory order
        return `rgb(${pixel & 255}, ${(pixel >> 8) & 255}, ${(pixel >> 16) & 255})`;
    };
    return ripple;
}

// A module of one f64x2.relaxed_madd. An engine that takes it gets ripplefield-fma.wasm, whose
// field kernel fuses its multiply-adds as the native program's does on a CPU with FMA; every other
// one gets ripplefield.wasm, which keeps them apart as the two-double native kernel does.
const kRelaxedMaddModule = new Uint8Array([
    0x00, 0x61, 0x73, 0x6d, 0x01, 0x00, 0x00, 0x00, // magic, version
    0x01, 0x08, 0x01, 0x60, 0x03, 0x7b, 0x7b, 0x7b, 0x01, 0x7b, // (v128 v128 v128) -> v128
    0x03, 0x02, 0x01, 0x00, // one function of that type
    0x0a, 0x0d, 0x01, 0x0b, 0x00, 0x20, 0x00, 0x20, 0x01, 0x20, 0x02, 0xfd, 0x87, 0x02, 0x0b,
]);

function RippleModuleName() {
    return WebAssembly.validate(kRelaxedMaddModule) ? "ripplefield-fma.wasm" : "ripplefield.wasm";
}

// The module's bytes: in the one-file page, from the element named after it (base64); else
// fetched from beside the page.
async function RippleModuleBytes(name) {
    const inside = document.getElementById(name);
    if (inside !== null) {
        const text = atob(inside.textContent.replace(/\s/g, ""));
        const bytes = new Uint8Array(text.length);
        for (let i = 0; i < text.length; ++i) {
            bytes[i] = text.charCodeAt(i);
        }
        return bytes;
    }
    const response = await fetch(name);
    if (!response.ok) {
        throw new Error(response.status + " " + response.statusText);
    }
    return response.arrayBuffer();
}

// ?freeze=SEED,MS: the seed and the one counter reading of every frame; null when absent,
// undefined when malformed.
function ParseFreeze(value) {
    if (value === null) {
        return null;
    }
    const parts = /^(\d{1,10}),(-?\d{1,10})$/.exec(value);
    // The seed is 32 bits unsigned, the reading 32 bits signed, as ripplefield-render takes them.
    const [seed, counter] = parts === null ? [-1, 0] : [Number(parts[1]), Number(parts[2])];
    if (seed < 0 || seed > 0xffffffff || counter < -0x80000000 || counter > 0x7fffffff) {
        return undefined;
    }
    return { seed, counter };
}

// The screen saver's rules in a tab: a click or a key goes full screen; there, the cursor hides, a
// wake lock holds the screen, and a key, a button or the pointer moving more than 4 pixels
// (|dx| + |dy|, from where it rested when full screen began) leaves.
const kMotionThreshold = 4;

function MakeSaver(page) {
    const saver = { full: false, pointer: null, origin: null, lock: null, pressedToLeave: false };
    saver.enter = () => {
        if (!saver.full && page.requestFullScreen) {
            page.requestFullScreen();
        }
    };
    saver.leave = () => {
        if (saver.full) {
            page.exitFullScreen();
        }
    };
    saver.fullScreenChanged = (full) => {
        saver.full = full;
        saver.origin = full ? saver.pointer : null;
        page.hideCursor(full);
        if (full) {
            saver.holdScreen();
        } else if (saver.lock !== null) {
            saver.lock.release().catch(() => {});
            saver.lock = null;
        }
    };
    // The browser drops the lock when the tab is hidden: it is taken again on coming back.
    saver.holdScreen = () => {
        if (!saver.full || saver.lock !== null || !page.requestWakeLock) {
            return;
        }
        page.requestWakeLock().then(
            (lock) => {
                if (saver.full && saver.lock === null) {
                    saver.lock = lock;
                    lock.addEventListener("release", () => {
                        if (saver.lock === lock) {
                            saver.lock = null;
                        }
                    });
                } else {
                    lock.release().catch(() => {});
                }
            },
            () => {}
        );
    };
    saver.pointerMoved = (x, y) => {
        saver.pointer = { x, y };
        if (!saver.full) {
            return;
        }
        if (saver.origin === null) {
            saver.origin = { x, y }; // no position was known when full screen began
        } else if (Math.abs(x - saver.origin.x) + Math.abs(y - saver.origin.y) > kMotionThreshold) {
            saver.leave();
        }
    };
    saver.keyPressed = (repeat) => {
        if (saver.full && !repeat) {
            saver.leave();
        } else if (!saver.full) {
            saver.enter();
        }
    };
    // A press that leaves full screen must not have its click take it back there. Every press comes
    // here, full screen or not: a right or middle press has no click to clear the flag.
    saver.buttonPressed = () => {
        saver.pressedToLeave = saver.full;
        saver.leave();
    };
    saver.clicked = () => {
        if (saver.pressedToLeave) {
            saver.pressedToLeave = false;
        } else {
            saver.enter();
        }
    };
    return saver;
}

// The canvas's size in device pixels, so that a cell stays 6 device pixels at any zoom: the
// browser's own count where it has one that agrees with the ratio (an emulated ratio leaves it at
// the CSS size), else the CSS size times the ratio.
function DevicePixelSize(entry) {
    const ratio = window.devicePixelRatio || 1;
    const scaled = {
        width: Math.round(entry.contentRect.width * ratio),
        height: Math.round(entry.contentRect.height * ratio),
    };
    if (entry.devicePixelContentBoxSize) {
        const box = entry.devicePixelContentBoxSize[0];
        if (Math.abs(box.inlineSize - scaled.width) <= 1 &&
            Math.abs(box.blockSize - scaled.height) <= 1) {
            return { width: box.inlineSize, height: box.blockSize };
        }
    }
    return scaled;
}

async function RunPage() {
    const message = document.getElementById("message");
    const say = (text) => {
        message.textContent = text;
        message.hidden = false;
    };
    if (typeof WebAssembly !== "object") {
        say("RippleField needs WebAssembly, which this browser does not offer.");
        return;
    }
    const query = new URLSearchParams(location.search);
    const freeze = ParseFreeze(query.get("freeze"));
    if (freeze === undefined) {
        say("?freeze=SEED,MS takes a seed (0 to 4294967295) and a count of milliseconds.");
        return;
    }
    const showFps = query.has("fps");
    const canvas = document.getElementById("picture");
    const context = canvas.getContext("2d", { alpha: false });
    let busy = 0; // the frames' milliseconds: stepping, and putting the image into the canvas
    let ripple;
    try {
        ripple = await LoadRippleField(await RippleModuleBytes(RippleModuleName()), () => busy);
    } catch (error) {
        say("RippleField could not load its WebAssembly: " + error.message);
        return;
    }

    const saver = MakeSaver({
        requestFullScreen: document.documentElement.requestFullscreen
            ? () => document.documentElement.requestFullscreen().catch(() => {})
            : null,
        exitFullScreen: () => document.exitFullscreen().catch(() => {}),
        hideCursor: (hidden) => document.body.classList.toggle("saver", hidden),
        requestWakeLock: navigator.wakeLock ? () => navigator.wakeLock.request("screen") : null,
    });
    window.rippleSaver = saver;
    document.addEventListener("fullscreenchange", () =>
        saver.fullScreenChanged(document.fullscreenElement !== null));
    document.addEventListener("visibilitychange", () => saver.holdScreen());
    addEventListener("pointermove", (event) => saver.pointerMoved(event.screenX, event.screenY));
    addEventListener("pointerdown", () => saver.buttonPressed());
    addEventListener("click", () => saver.clicked());
    addEventListener("keydown", (event) => saver.keyPressed(event.repeat));

    let wanted = null; // the device-pixel size the canvas should have
    let started = false;
    const observer = new ResizeObserver((entries) => {
        wanted = DevicePixelSize(entries[entries.length - 1]);
    });
    try {
        observer.observe(canvas, { box: "device-pixel-content-box" });
    } catch (error) {
        observer.observe(canvas);
    }

    const seed = freeze ? freeze.seed : crypto.getRandomValues(new Uint32Array(1))[0];
    const shown = { frames: 0, busy: 0 }; // for the benchmark
    window.rippleShown = shown;
    let image = null;
    const step = () => {
        requestAnimationFrame(step);
        const began = performance.now();
        if (wanted !== null && (!started || wanted.width !== canvas.width ||
                                wanted.height !== canvas.height)) {
            canvas.width = wanted.width;
            canvas.height = wanted.height;
            let drawable;
            if (started) {
                drawable = ripple.resize(wanted.width, wanted.height);
            } else {
                drawable = ripple.start(seed, wanted.width, wanted.height, showFps);
                if (freeze) {
                    ripple.freeze(freeze.counter);
                }
                started = true;
            }
            image = null;
            if (!drawable) { // too large: the background, not the canvas's black
                context.fillStyle = ripple.clearColour();
                context.fillRect(0, 0, canvas.width, canvas.height);
            }
        }
        if (!started) {
            return;
        }
        if (ripple.frame()) {
            const pixels = ripple.pixels();
            if (image === null || image.data.buffer !== pixels.buffer ||
                image.data.byteOffset !== pixels.byteOffset) {
                image = new ImageData(pixels, ripple.width, ripple.height);
            }
            context.putImageData(image, 0, 0);
            shown.frames += 1;
        }
        const took = performance.now() - began;
        busy += took;
        shown.busy += took;
    };
    requestAnimationFrame(step);
}

if (typeof module === "object") {
    module.exports = { LoadRippleField, RippleModuleName, ParseFreeze, MakeSaver,
                       kMotionThreshold };
} else {
    RunPage();
}
