// renderer_test.h -- fixtures of the renderer's tests: the submission mode and limits put back
// after each test, and a headless context of the test's own.
#pragma once

#include <gtest/gtest.h>

#include "render/frame.h"
#include "render/gl_context.h"

class RendererTest : public ::testing::Test {
  protected:
    void SetUp() override { savedMode_ = ActiveSubmitMode(); }
    void TearDown() override {
        SetFrameLimits(FrameLimits{});
        SelectSubmitMode(savedMode_);
    }
    SubmitMode savedMode_ = SubmitMode::kTexture;
    ModelState model_{};
    GlView glView_{};
};

// The native build's headless context (EGL).
class HeadlessGLTest : public RendererTest {
  protected:
    // A current context on a surface of that size, in place of the one before.
    void OpenContext(int width, int height) {
        CloseContext();
        view_ = HeadlessView{width, height};
        context_ = CreateGLContext(&view_);
        ASSERT_NE(context_.render, nullptr) << "no headless OpenGL context";
    }
    void CloseContext() {
        if (context_.render != nullptr) {
            DestroyGLContext(&view_, context_.device, context_.render);
            context_ = GLContext{};
        }
    }
    void TearDown() override {
        RendererTest::TearDown();
        CloseContext();
    }
    HeadlessView view_{};
    GLContext context_{};
};
