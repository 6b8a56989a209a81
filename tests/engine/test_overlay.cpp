// The noise overlay: the numbered series, its timer and the full-screen
// drawing, read back from a real GL context.
#include <gtest/gtest.h>

#include <vector>

#include "render/display.h"
#include "render/overlay.h"
#include "support/guards.h"
#include "support/image_files.h"

namespace {

class Overlay : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(ensureGLContext());
        guard_.save(g_view);
        g_view.imageRefWidth = g_view.imageRefHeight = 1;
        // 1, 2 and 4: the series ends at the missing 3.
        writeSolidPPM("fx/noise1.ppm", 3, 2, Rgb{255, 255, 255});
        writeSolidPPM("fx/noise2.ppm", 5, 4, Rgb{255, 255, 255});
        writeSolidPPM("fx/noise4.ppm", 3, 2, Rgb{255, 255, 255});
    }
    SNoise params(const char* pattern, float start, float frameTime)
    {
        return SNoise{const_cast<char*>(pattern), start, frameTime, {1.0f, 0.0f, 0.0f, 1.0f}};
    }

    WorkDir dir_;
    GlobalsGuard guard_;
};

// Wrapping after the second image shows the series ends at the first gap.
TEST_F(Overlay, StepsThroughTheSeriesByTheTimer)
{
    struct Case {
        float start, frameTime;
        std::vector<uint32_t> currentAfterEach; // steps of 0.04 s
    };
    const Case cases[] = {
        {0.0f, 0.1f, {0, 0, 1, 1, 1, 0}}, // every third step (0.12 > 0.1), wrapping
        {0.5f, 0.1f, {1, 1, 1}},          // a start beyond the frame time changes at once
    };
    for (const Case& c : cases) {
        CNoise noise;
        const SNoise s = params("fx/noise.ppm", c.start, c.frameTime);
        EXPECT_EQ(stdoutOf([&] { noise.init(&s); }), "1.000000 0.000000 0.000000 1.000000\n");
        for (size_t i = 0; i < c.currentAfterEach.size(); ++i) {
            noise.update(kNoiseStep);
            EXPECT_EQ(noise.current, c.currentAfterEach[i]) << "start " << c.start << " step " << i;
        }
        // The reference size is the image's own, so it spans the screen.
        EXPECT_EQ(g_view.imageRefWidth, noise.current == 1 ? 5 : 3);
    }
}

TEST_F(Overlay, CoversTheScreenWithTheTintAndAnEmptySeriesDrawsNothing)
{
    for (const char* pattern : {"fx/noise.ppm", "fx/none.ppm", ".ppm"}) {
        CleanGLState gl;
        g_view.imageRefWidth = 1;
        CNoise noise;
        const SNoise s = params(pattern, 0.0f, 0.1f);
        stdoutOf([&] { noise.init(&s); });
        noise.update(kNoiseStep);
        noise.render();
        const FramePixels f;
        const bool series = noise.count > 0;
        EXPECT_EQ(f.litIn(0, 0, kTestGLWidth, kTestGLHeight), series ? kTestGLWidth * kTestGLHeight : 0) << pattern;
        if (series) {
            expectRgb(f.at(0, 0), Rgb{255, 0, 0}, "top left");
            expectRgb(f.at(kTestGLWidth - 1, kTestGLHeight - 1), Rgb{255, 0, 0}, "bottom right");
        } else {
            EXPECT_EQ(g_view.imageRefWidth, 1) << pattern;
        }
    }
}

} // namespace
