// The GUI: list operations of its nodes, window hit testing, dragging order,
// the pointer pinned at the screen edge, and buttons.
#include <gtest/gtest.h>

#include <vector>

#include "core/common.h"
#include "gui/gui.h"
#include "support/gl_frame.h"
#include "support/guards.h"

namespace {

// Items of a list from the head, checking every back link on the way.
std::vector<int> order(CKRT_Node* head)
{
    std::vector<int> items;
    for (CKRT_Node* n = head; n != nullptr; n = n->next) {
        EXPECT_EQ(n->next == nullptr || n->next->prev == n, true);
        items.push_back(*static_cast<int*>(n->item));
    }
    return items;
}

class GuiTest : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(ensureGLContext());
        rotlock = 1;
        gui_ = new CGui();   // the textures become placeholders here
    }
    void TearDown() override { delete gui_; }
    // Adds a window; x, y, w, h in screen fractions from the top left.
    CKRT_Window* window(float x, float y, float w, float h)
    {
        t_guiTemplate t;
        t.x = x, t.y = y, t.width = w, t.height = h;
        return gui_->setWindow(t);
    }
    void pointTo(float x, float y) { gui_->pointer.pos = t_vector(x, y, 0); }
    // One frame of mouse motion in pixels; sensitivity 10 and 0.1 s make a
    // pixel 1/20 unit across and 1/17 unit down.
    void frame(int dx, int dy, bool button) { gui_->step(dx, dy, button, 10.0f, 0.1f); }

    CGui* gui_ = nullptr;
    GlobalsGuard saved_{rotlock, g_consoleWindow};
};

} // namespace

TEST(GuiNodes, ListOperationsKeepHeadAndLinks)
{
    struct Case { const char* what; int node; int op; std::vector<int> expect; };
    const Case cases[] = {
        {"remove the first moves the head", 0, 0, {1, 2}},  {"remove the middle", 1, 0, {0, 2}},
        {"remove the last", 2, 0, {0, 1}},                   {"first to the back", 0, 1, {1, 2, 0}},
        {"the last to the back stays", 2, 1, {0, 1, 2}},     {"last to the front", 2, 2, {2, 0, 1}},
        {"the first to the front stays", 0, 2, {0, 1, 2}},   {"middle to the front", 1, 2, {1, 0, 2}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        int items[3] = {0, 1, 2};
        CKRT_Node nodes[3];
        CKRT_Node* head = nullptr;
        for (int i = 0; i < 3; ++i) {
            nodes[i].item = &items[i];
            nodes[i].appendTo(&head);
        }
        CKRT_Node& n = nodes[c.node];
        c.op == 0 ? n.removefromList() : c.op == 1 ? n.settoBackList() : n.settoFrontList();
        EXPECT_EQ(order(head), c.expect);
        EXPECT_EQ(head->prev, nullptr);
        if (c.op == 0) {
            EXPECT_EQ(n.next, nullptr);
            EXPECT_EQ(n.prev, nullptr);
        }
    }
}

TEST_F(GuiTest, InfoWindowAndTemplatesInGuiUnits)
{
    ASSERT_NE(infowindow, nullptr);
    EXPECT_EQ(gui_->windows->item, infowindow);
    EXPECT_FLOAT_EQ(infowindow->x, -1.0f);
    EXPECT_FLOAT_EQ(infowindow->y, 1.0f);
    EXPECT_FLOAT_EQ(infowindow->width, 2.0f);
    EXPECT_FLOAT_EQ(infowindow->height, -0.2f);
    EXPECT_EQ(g_consoleWindow, &gui_->console);
    CKRT_Button* b = window(0.5f, 0.5f, 0.2f, 0.2f)->setButton({0.1f, 0.05f, 0.05f, 0.0f, "ok"});
    EXPECT_FLOAT_EQ(b->x, 0.2f);
    EXPECT_FLOAT_EQ(b->y, -0.1f);
    EXPECT_FLOAT_EQ(b->width, 0.1f);
    EXPECT_FLOAT_EQ(b->height, -0.05f);
}

TEST_F(GuiTest, LastWindowHitWinsAndGoesToTheBack)
{
    // A spans x 0..0.4, B x 0.2..0.6; both from y 0.6 down to 0.12 (title bar included).
    CKRT_Window* a = window(0.5f, 0.2f, 0.2f, 0.2f);
    CKRT_Window* b = window(0.6f, 0.2f, 0.2f, 0.2f);
    pointTo(0.3f, 0.5f);
    frame(0, 0, true);
    EXPECT_EQ(selectedwindow, b->node);
    frame(0, 0, false);
    EXPECT_EQ(winmove, 0);
    pointTo(0.1f, 0.15f);   // only A, in the strip of its body below y + height
    frame(0, 0, true);
    EXPECT_EQ(selectedwindow, a->node);
    EXPECT_EQ(gui_->windows->next->next->item, a) << "grabbed window is drawn last";
    frame(0, 0, false);
    pointTo(0.3f, 0.5f);
    frame(0, 0, true);
    EXPECT_EQ(selectedwindow, a->node) << "A now lies on top";
}

TEST_F(GuiTest, DragFollowsThePointerAndStopsAtTheEdge)
{
    CKRT_Window* w = window(0.5f, 0.2f, 0.2f, 0.2f);
    pointTo(0.2f, 0.5f);
    frame(0, 0, false);
    frame(2, 0, true);   // grabbed in this frame and moved by its step
    EXPECT_NEAR(w->x, 0.1f, 1e-6f);
    frame(2, 17, true);  // one unit down, 0.1 right
    EXPECT_NEAR(w->x, 0.2f, 1e-6f);
    EXPECT_NEAR(w->y, -0.4f, 1e-6f);
    frame(20, 0, true);  // the pointer would reach x 1.4: pinned at 1
    EXPECT_FLOAT_EQ(gui_->pointer.pos.x, 1.0f);
    EXPECT_FLOAT_EQ(gui_->pointer.step.x, 0.0f);
    EXPECT_NEAR(w->x, 0.2f, 1e-6f);
    EXPECT_FLOAT_EQ(gui_->pointer.frac.x, 1.0f);
    // The rotate lock hands the mouse to the camera: the pointer stays, the
    // window goes on by the last step.
    frame(0, -17, true);
    rotlock = 0;
    frame(40, 40, true);
    EXPECT_NEAR(w->y, -0.4f + 2.0f, 1e-5f);
    EXPECT_FLOAT_EQ(gui_->pointer.pos.x, 1.0f);
}

TEST_F(GuiTest, PressOutsideGrabsOnceThePointerArrivesAndClicksButtons)
{
    static int clicks = 0;
    clicks = 0;
    CKRT_Window* w = window(0.5f, 0.5f, 0.2f, 0.2f);
    CKRT_Button* b = w->setButton({0.0f, 0.05f, 0.1f, 0.0f, "go"});
    b->handler = [](cvar) { ++clicks; };
    w->setButton({0.15f, 0.05f, 0.05f, 0.0f, "other"})->handler = [](cvar) { clicks += 100; };
    pointTo(-0.5f, -0.5f);
    frame(0, 0, true);
    EXPECT_EQ(winmove, 0);
    pointTo(0.05f, -0.12f);   // over the first button
    frame(0, 0, true);
    EXPECT_EQ(winmove, 1);
    frame(0, 0, true);         // a drag in progress clicks nothing more
    EXPECT_EQ(clicks, 1);
    w->hidden = 1;
    frame(0, 0, false);
    frame(0, 0, true);
    EXPECT_EQ(winmove, 0) << "a hidden window is not grabbed";
}
