// gui.cpp — pointer, windows and buttons of the editor's GUI.
#include "gui/gui.h"

#include <GL/gl.h>

#include <vector>

#include "core/common.h"
#include "input/input.h"
#include "render/display.h"

uint8_t winmove = 0;
CKRT_Node* selectedwindow = nullptr;
CKRT_Window* infowindow = nullptr;

STexture* Arrow = nullptr;
STexture* TexWindow = nullptr;
STexture* TexButton = nullptr;
STexture* Border = nullptr;
STexture* Borderl = nullptr;
STexture* Borderr = nullptr;
STexture* Bordersel = nullptr;
STexture* Borderlsel = nullptr;
STexture* Borderrsel = nullptr;

const char* const kGuiImageFiles[9] = {
    "gfx/gui/arrow.ppm",     "gfx/gui/window.ppm",    "gfx/gui/button.ppm",
    "gfx/gui/border.ppm",    "gfx/gui/borderl.ppm",   "gfx/gui/borderr.ppm",
    "gfx/gui/bordersel.ppm", "gfx/gui/borderlsel.ppm", "gfx/gui/borderrsel.ppm",
};

namespace {

STexture** const kTextureSlots[9] = {&Arrow,  &TexWindow, &TexButton,  &Border,     &Borderl,
                                     &Borderr, &Bordersel, &Borderlsel, &Borderrsel};

// Width of a title bar's end pieces, GUI units.
constexpr float kTitleEnd = 0.04f;
// The pointer image, GUI units (its tip is the pointer position).
constexpr float kArrowWidth = 0.04f;
constexpr float kArrowHeight = -0.06f;
// Mouse pixels to GUI units: delta * (s * dt) / divisor, per axis (the
// screen is wider than high, so x moves a little slower in pixels).
constexpr float kPointerDivX = 20.0f;
constexpr float kPointerDivY = 17.0f;

// Opacities of a window: the one being dragged, the selected one at rest,
// every other.
constexpr float kAlphaDragged = 0.6f;
constexpr float kAlphaSelected = 0.3f;
constexpr float kAlphaOther = 0.8f;

CKRT_Window* windowOf(CKRT_Node* node)
{
    return node != nullptr ? static_cast<CKRT_Window*>(node->item) : nullptr;
}

// Clamps v into -1..1; true when it had to.
bool clampUnit(float& v)
{
    if (v > 1.0f) {
        v = 1.0f;
        return true;
    }
    if (v < -1.0f) {
        v = -1.0f;
        return true;
    }
    return false;
}

} // namespace

void CKRT_Node::appendTo(CKRT_Node** listHead)
{
    head = listHead;
    next = nullptr;
    prev = nullptr;
    if (*listHead == nullptr) {
        *listHead = this;
        return;
    }
    CKRT_Node* last = *listHead;
    while (last->next != nullptr) {
        last = last->next;
    }
    last->next = this;
    prev = last;
}

void CKRT_Node::removefromList()
{
    if (prev != nullptr) {
        prev->next = next;
    } else if (head != nullptr && *head == this) {
        *head = next;
    }
    if (next != nullptr) {
        next->prev = prev;
    }
    next = nullptr;
    prev = nullptr;
}

void CKRT_Node::settoBackList()
{
    if (next == nullptr || head == nullptr) {
        return;
    }
    CKRT_Node** listHead = head;
    removefromList();
    appendTo(listHead);
}

void CKRT_Node::settoFrontList()
{
    if (prev == nullptr || head == nullptr) {
        return;
    }
    CKRT_Node** listHead = head;
    removefromList();
    head = listHead;
    next = *listHead;
    if (next != nullptr) {
        next->prev = this;
    }
    *listHead = this;
}

void CKRT_Button::Draw()
{
    if (window == nullptr) {
        return;
    }
    drawImage(TexButton, window->x + x, window->y + y, width, height, 1.0f, false);
}

bool CKRT_Button::MouseOver(const CKRT_Pointer& p) const
{
    if (window == nullptr) {
        return false;
    }
    const float cx = window->x + x;
    const float cy = window->y + y;
    return cx < p.pos.x && p.pos.x < cx + width && cy + height < p.pos.y && p.pos.y < cy;
}

CKRT_Window::~CKRT_Window()
{
    while (buttons != nullptr) {
        CKRT_Node* n = buttons;
        n->removefromList();
        delete static_cast<CKRT_Button*>(n->item);
        delete n;
    }
}

CKRT_Button* CKRT_Window::setButton(const t_guiTemplate& t)
{
    CKRT_Button* b = new CKRT_Button();
    b->x = 2.0f * t.x;
    b->y = -2.0f * t.y;
    b->width = 2.0f * t.width;
    b->window = this;
    b->label = t.label;
    CKRT_Node* n = new CKRT_Node();
    n->item = b;
    n->appendTo(&buttons);
    return b;
}

bool CKRT_Window::contains(const CKRT_Pointer& p) const
{
    const float bottom = y + titleHeight + height;
    return x < p.pos.x && p.pos.x < x + width && bottom < p.pos.y && p.pos.y < y;
}

void CKRT_Window::Draw()
{
    if (hidden != 0) {
        return;
    }
    const bool selected = selectedwindow == node;
    const float alpha = selected ? (winmove != 0 ? kAlphaDragged : kAlphaSelected) : kAlphaOther;
    STexture* leftEnd = selected ? Borderrsel : Borderr;
    STexture* middle = selected ? Bordersel : Border;
    STexture* rightEnd = selected ? Borderlsel : Borderl;
    drawImage(leftEnd, x, y, kTitleEnd, titleHeight, alpha, false);
    drawImage(middle, x + kTitleEnd, y, width - 2.0f * kTitleEnd, titleHeight, alpha, false);
    drawImage(rightEnd, x + width - kTitleEnd, y, kTitleEnd, titleHeight, alpha, false);
    drawImage(TexWindow, x, y + titleHeight, width, height, alpha, false);
    for (CKRT_Node* n = buttons; n != nullptr; n = n->next) {
        static_cast<CKRT_Button*>(n->item)->Draw();
    }
    if (g_view.screenWidth <= 0 || g_view.screenHeight <= 0) {
        return;
    }
    // GUI units to window pixels: the title centred on its bar, the text
    // 4 pixels inside the body's corner.
    const float w = static_cast<float>(g_view.screenWidth);
    const float h = static_cast<float>(g_view.screenHeight);
    const int left = static_cast<int>((x / 2.0f + 0.5f) * w);
    const int top = static_cast<int>((y / -2.0f + 0.5f) * h);
    const int body = static_cast<int>(((y + titleHeight) / -2.0f + 0.5f) * h);
    const int right = static_cast<int>(((x + width) / 2.0f + 0.5f) * w);
    if (title != nullptr) {
        Draw_String(title, left + 8, (top + body - kGlyphSize) / 2, right - 8);
    }
    if (text != nullptr) {
        Draw_String(text, left + 4, body + 4, right - 4);
    }
}

CGui::CGui()
{
    static uint32_t made = 0;
    serial = ++made;
    winmove = 0;
    selectedwindow = nullptr;
    for (int i = 0; i < 9; ++i) {
        *kTextureSlots[i] = new STexture(kGuiImageFiles[i], GL_NEAREST, GL_NEAREST, true, 0, 0, 0);
    }
    t_guiTemplate info;
    info.width = 1.0f;
    info.height = 0.1f;
    infowindow = setWindow(info);
    console = {infowindow->x, infowindow->y, infowindow->width, infowindow->titleHeight};
    g_consoleWindow = &console;
}

CGui::~CGui()
{
    while (windows != nullptr) {
        CKRT_Node* n = windows;
        n->removefromList();
        delete windowOf(n);
        delete n;
    }
    for (STexture** slot : kTextureSlots) {
        if (*slot != nullptr) {
            (*slot)->freeTexture();
            delete *slot;
            *slot = nullptr;
        }
    }
    if (g_consoleWindow == &console) {
        g_consoleWindow = nullptr;
    }
    infowindow = nullptr;
    selectedwindow = nullptr;
    winmove = 0;
}

CKRT_Window* CGui::setWindow(const t_guiTemplate& t)
{
    CKRT_Window* w = new CKRT_Window();
    w->x = 2.0f * t.x - 1.0f;
    w->y = -(2.0f * t.y - 1.0f);
    w->width = 2.0f * t.width;
    w->height = -2.0f * t.height;
    CKRT_Node* n = new CKRT_Node();
    n->item = w;
    w->node = n;
    n->appendTo(&windows);
    return w;
}

void CGui::update()
{
    if (KeyInput == nullptr) {
        return;
    }
    const t_keyslot* button = KeyInput->getskeyaddr("K_MOUSE1");
    const bool held = button != nullptr && button->state != nullptr && *button->state != 0;
    const float s = Level != nullptr ? Level->mouseSensitivity : 0.0f;
    step(KeyInput->mousedx, KeyInput->mousedy, held, s, g_frametime);
}

void CGui::step(int32_t mousedx, int32_t mousedy, bool leftButton, float s, float dt)
{
    CKRT_Pointer& p = pointer;
    // While the rotate-lock key is held the mouse turns the camera; the
    // pointer and its step stay as they were.
    if (rotlock == 1) {
        p.step.x = static_cast<float>(mousedx) * (s * dt) / kPointerDivX;
        p.pos.x += p.step.x;
        if (clampUnit(p.pos.x)) {
            p.step.x = 0.0f;
        }
        p.frac.x = (p.pos.x + 1.0f) / 2.0f;
        p.step.y = static_cast<float>(mousedy) * (s * dt) / kPointerDivY;
        p.pos.y -= p.step.y;
        if (clampUnit(p.pos.y)) {
            p.step.y = 0.0f;
        }
        p.frac.y = (p.pos.y - 1.0f) / -2.0f;
    }
    if (windows == nullptr) {
        return;
    }
    if (!leftButton) {
        winmove = 0;
        return;
    }
    if (winmove == 0) {
        CKRT_Node* hit = nullptr;
        for (CKRT_Node* n = windows; n != nullptr; n = n->next) {
            const CKRT_Window* w = windowOf(n);
            if (w->hidden == 0 && w->contains(p)) {
                hit = n;
            }
        }
        if (hit == nullptr) {
            return;
        }
        winmove = 1;
        CKRT_Window* w = windowOf(hit);
        w->x += p.step.x;
        w->y -= p.step.y;
        selectedwindow = hit;
        hit->settoBackList();
        // The handlers run once the GUI is done with itself: a command may
        // load a level, and with it make a new GUI in place of this one.
        std::vector<t_handler> clicked;
        for (CKRT_Node* b = w->buttons; b != nullptr; b = b->next) {
            CKRT_Button* button = static_cast<CKRT_Button*>(b->item);
            if (button->handler != nullptr && button->MouseOver(p)) {
                clicked.push_back(button->handler);
            }
        }
        for (t_handler handler : clicked) {
            handler(cvar{});
        }
    } else if (CKRT_Window* w = windowOf(selectedwindow)) {
        w->x += p.step.x;
        w->y -= p.step.y;
    }
}

void CGui::draw()
{
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    glEnable(GL_ALPHA_TEST);
    glEnable(GL_TEXTURE_2D);
    // The console follows its window wherever it was dragged.
    if (infowindow != nullptr) {
        console = {infowindow->x, infowindow->y, infowindow->width, infowindow->titleHeight};
    }
    for (CKRT_Node* n = windows; n != nullptr; n = n->next) {
        if (selectedwindow == nullptr) {
            selectedwindow = windows;
        }
        windowOf(n)->Draw();
    }
    glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
    drawImage(Arrow, pointer.pos.x, pointer.pos.y, kArrowWidth, kArrowHeight, 1.0f, false);
    glEnable(GL_DEPTH_TEST);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
    glPopMatrix();
}
