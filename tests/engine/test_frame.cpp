// The order inside one engine frame, and the display failures that end the
// engine with status 20 through closeEngine.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <vector>

#include "commands/cmdglobals.h"
#include "core/modport.h"
#include "platform/events.h"
#include "platform/exec.h"
#include "render/display.h"
#include "support/gl_frame.h"
#include "test_camera_fixture.h"

namespace {

// What the held key's command saw each time it ran.
struct Seen {
    uint32_t frame;         // framecounter
    float camZ;             // camera position z
    float yaw;              // camera yaw
    float objSpeed;         // objmovespeed
};
std::vector<Seen> g_seen;

// Records, then asks for one frame of forward motion and overrides a
// frame default, as a held movement key and a speed key would.
void probe(cvar)
{
    g_seen.push_back({framecounter, Cam->position.z, Cam->yaw, objmovespeed});
    Cam->move.z = 1.0f;
    objmovespeed = 5.0f;
}

class Frame : public CameraTest {
protected:
    void SetUp() override
    {
        CameraTest::SetUp();
        ASSERT_TRUE(ensureGLContext());
        platformResetInput();
        set(collon, 0);
        set(g_fruntimer, 1.0f);            // frame defaults active
        set(g_frametime, 0.5f);
        for (float* f : {&objmovespeed, &fstart, &fend, &fdens}) {
            set(*f, *f);
        }
        set(g_view, t_view{});
        g_view.screenWidth = kTestGLWidth;
        g_view.screenHeight = kTestGLHeight;
        level_.mouseSensitivity = 1.0f;
        g_seen.clear();
        engine_ = CEngine{};
        set(Engine, &engine_);
        input_ = std::make_unique<CInput>();
        KeyInput = input_.get();
        cam_ = std::make_unique<t_cam>();
        Cam = cam_.get();
        KeyInput->getskeyaddr("K_SPACE")->handler = probe;
    }
    void TearDown() override
    {
        cam_.reset();
        input_.reset();
        platformResetInput();
    }
    CEngine engine_{};
    std::unique_ptr<CInput> input_;
    std::unique_ptr<t_cam> cam_;
};

// beforframeupdate takes the window's messages, so a key pressed and a mouse
// moved before the frame act in it: the mouse turns the camera in this
// frame's 3D pass.  The 2D pass ends with the frame counter step, and only
// then do the frame defaults and, after them, the held keys' commands run;
// their camera requests move the camera in the next frame's 3D pass.
TEST_F(Frame, InputThenThreeDThenTwoDThenDefaultsThenHeldKeys)
{
    const uint32_t start = framecounter;
    const float z0 = Cam->position.z;
    ASSERT_TRUE(platformPutInputMsg(InputMsg{IDCMP_RAWKEY, 64, 0, 0, 0}));   // space down
    ASSERT_TRUE(platformPutInputMsg(InputMsg{IDCMP_MOUSEMOVE, 0xFF, 0, 6, 0}));
    Engine->update();
    Engine->update();
    ASSERT_EQ(g_seen.size(), 2u);
    EXPECT_EQ(g_seen[0].frame, start + 1) << "the 2D pass runs before the held keys";
    EXPECT_EQ(g_seen[1].frame, start + 2);
    EXPECT_FLOAT_EQ(g_seen[0].yaw, 3.0f) << "6 pixels x 1 x 0.5 s, turned within the first frame";
    EXPECT_FLOAT_EQ(g_seen[1].yaw, 3.0f) << "the mouse delta is gone after the frame";
    EXPECT_FLOAT_EQ(g_seen[0].camZ, z0) << "no request before the first frame";
    EXPECT_LT(g_seen[1].camZ, z0) << "the first frame's request moves the second frame's camera";
    EXPECT_FLOAT_EQ(g_seen[1].objSpeed, 1.0f) << "the defaults ran between the two frames' keys";
    EXPECT_FLOAT_EQ(objmovespeed, 5.0f) << "and before the keys: a held key's value lasts until the next frame";
}

// Both display failures end with status 20 and their message, after the
// bound game module was told to quit.  Each runs in a child process.
TEST(DisplayExit, NoVideoOrNoContextEndsTwentyThroughCloseEngine)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    const struct {
        const char* name;
        bool noVideo;
        const char* output;
    } cases[] = {
        {"no video", true, "Engine: Gamemodul, kannst gehen...\nCan't initialize MiniGL\n"},
        {"no context at any depth", false,
         "test 24Bit\ntest 16Bit\nEngine: Gamemodul, kannst gehen...\nContext creation failed\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Lev lev{};
        EXPECT_EXIT(
            {
                dup2(STDERR_FILENO, STDOUT_FILENO);
                SetDelayTickMicroseconds(200);
                if (c.noVideo) {
                    setenv("SDL_VIDEODRIVER", "no-such-driver", 1);
                } else {
                    mglTestRefuseDepthBits(16);
                }
                Level = &lev;
                openScreen(kTestGLWidth, kTestGLHeight, 32, 3, true);
                std::_Exit(0);
            },
            testing::ExitedWithCode(KRT_DISPLAY), c.output);
    }
}

}  // namespace
