// help.cpp — the editor's help window: the editor commands with the keys
// the level binds them to, read from the key table each time it is shown.
#include <cstdio>
#include <cstring>

#include "core/common.h"
#include "editor/editor.h"
#include "gui/gui.h"

KeysForCommandFn g_keysForCommand = nullptr;

namespace {

struct t_helpLine {
    const char* commands[2]; // one command, or a pair shown as "key/key"
    const char* what;
};

// The order a user meets them in: select, move, turn, copy, undo, save.
const t_helpLine kHelpLines[] = {
    {{"obj_select", nullptr}, "Objekt bei Kamera wählen"},
    {{"obj_select2", nullptr}, "Baum am Zeiger wählen"},
    {{"obj_movex", nullptr}, "+Maus: schieben x / Höhe"},
    {{"obj_movez", nullptr}, "+Maus: schieben z / Höhe"},
    {{"+obj_movex", "-obj_movex"}, "schieben x +/-"},
    {{"+obj_movey", "-obj_movey"}, "schieben y +/-"},
    {{"+obj_movez", "-obj_movez"}, "schieben z +/-"},
    {{"obj_rotx", nullptr}, "+Maus: drehen um x"},
    {{"obj_roty", nullptr}, "+Maus: drehen um y"},
    {{"obj_rotz", nullptr}, "+Maus: drehen um z"},
    {{"obj_scalex", nullptr}, "+Maus: Schneebox x / Höhe"},
    {{"obj_scalez", nullptr}, "+Maus: Schneebox z / Höhe"},
    {{"+scrollparticles", "-scrollparticles"}, "Schneesystem wählen"},
    {{"obj_load", nullptr}, "Objekt laden"},
    {{"obj_copy", nullptr}, "kopieren"},
    {{"obj_paste", nullptr}, "einfügen"},
    {{"obj_delete", nullptr}, "löschen"},
    {{"obj_undo", nullptr}, "rückgängig"},
    {{"obj_redo", nullptr}, "wiederholen"},
    {{"saveinitfile", nullptr}, "Level speichern"},
    {{"swrotlock", nullptr}, "halten: Maus dreht Kamera"},
    {{"swgui", nullptr}, "GUI an/aus"},
    {{"swhelp", nullptr}, "diese Hilfe an/aus"},
    {{"swleveled", nullptr}, "Editor an/aus"},
};

// Key name as shown: without the "K_" every key name starts with.
void appendKeys(const char* command, char* out, size_t size)
{
    if (command == nullptr || g_keysForCommand == nullptr) {
        return;
    }
    char keys[128] = {};
    g_keysForCommand(command, keys, sizeof keys);
    const size_t used = std::strlen(out);
    if (keys[0] == '\0' || used + 1 >= size) {
        return;
    }
    char shown[128] = {};
    size_t n = 0;
    for (const char* k = keys; *k != '\0' && n + 1 < sizeof shown; ++k) {
        const bool startOfName = k == keys || k[-1] == '/';
        if (startOfName && (k[0] == 'K' || k[0] == 'k') && k[1] == '_') {
            ++k;
            continue;
        }
        shown[n++] = *k;
    }
    std::snprintf(out + used, size - used, "%s%s", used > 0 ? "/" : "", shown);
}

// Help window: right half of the screen below the info window.
// Wide enough for a line of kHelpColumns glyphs at 640 pixels.
constexpr float kHelpX = 0.49f;
constexpr float kHelpY = 0.16f;
constexpr float kHelpWidth = 0.5f;
constexpr float kHelpHeight = 0.41f;

char g_helpText[2048];
CKRT_Window* g_helpWindow = nullptr;
uint32_t g_helpGui = 0; // serial of the GUI the window belongs to (rebuilt per level)
bool g_helpShown = true;

} // namespace

void buildHelpText(char* out, unsigned long size)
{
    if (size == 0) {
        return;
    }
    out[0] = '\0';
    int n = 0;
    for (const t_helpLine& line : kHelpLines) {
        char keys[64] = {};
        appendKeys(line.commands[0], keys, sizeof keys);
        appendKeys(line.commands[1], keys, sizeof keys);
        if (keys[0] == '\0' || n < 0 || static_cast<unsigned long>(n) >= size) {
            continue;
        }
        n += std::snprintf(out + n, size - static_cast<unsigned long>(n), "%-9s %s\n", keys, line.what);
    }
}

void edToggleHelp()
{
    if (leveled != 0) {
        g_helpShown = !g_helpShown;
    }
}

void edSyncHelpWindow()
{
    if (Gui == nullptr) {
        g_helpWindow = nullptr;
        g_helpGui = 0;
        return;
    }
    if (g_helpGui != Gui->serial) {
        t_guiTemplate t;
        t.x = kHelpX;
        t.y = kHelpY;
        t.width = kHelpWidth;
        t.height = kHelpHeight;
        g_helpWindow = Gui->setWindow(t);
        g_helpWindow->title = "Tasten des Editors";
        g_helpWindow->text = g_helpText;
        g_helpGui = Gui->serial;
    }
    const bool show = leveled != 0 && g_helpShown;
    g_helpWindow->hidden = show ? 0 : 1;
    if (show) {
        buildHelpText(g_helpText, sizeof g_helpText);
    }
}
