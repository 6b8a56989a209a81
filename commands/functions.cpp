// functions.cpp — the command registry: command texts of the level's key
// table matched to handlers and stored in the key slots.
#include "commands/functions.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <strings.h>

#include "commands/commands.h"
#include "core/common.h"
#include "editor/editor.h"
#include "input/input.h"
#include "render/draw2d.h"

CFunctions* Functions = nullptr;

namespace {

// How a registered name is compared with a command text.
enum MatchRule {
    kExactNoCase, // whole text, any case
    kExactCase,   // whole text, same case
    kPrefixFloat, // first 11 characters, any case; float argument from index 12
    kPrefixText,  // first 3 characters, same case; text argument from index 4
};

struct CommandDef {
    const char* name;
    MatchRule rule;
    t_handler handler;
};

// Matching order; the first name that matches a text is bound.  obj_select2
// stands before obj_select, but as both compare whole texts neither shadows
// the other.
constexpr CommandDef kCommands[kCommandCount] = {
    {"ScreenshotPPM", kExactNoCase, cmd_screenshotPPM},
    {"SaveGameFiles", kExactNoCase, cmd_saveGameFiles},
    {"showfps", kExactNoCase, cmd_showfps},
    {"cam_setspeed", kPrefixFloat, cmd_camSetspeed},
    {"obj_setspeed", kPrefixFloat, cmd_objSetspeed},

    {"cam_yawright", kExactNoCase, cmd_camYawright},
    {"cam_yawleft", kExactNoCase, cmd_camYawleft},
    {"cam_pitchdown", kExactNoCase, cmd_camPitchdown},
    {"cam_pitchup", kExactNoCase, cmd_camPitchup},
    {"cam_forward", kExactNoCase, cmd_camForward},
    {"cam_backward", kExactNoCase, cmd_camBackward},
    {"cam_slideleft", kExactNoCase, cmd_camSlideleft},
    {"cam_slideright", kExactNoCase, cmd_camSlideright},

    {"+fog_color_r", kExactNoCase, cmd_plusFogColorR},
    {"-fog_color_r", kExactNoCase, cmd_minusFogColorR},
    {"+fog_color_g", kExactNoCase, cmd_plusFogColorG},
    {"-fog_color_g", kExactNoCase, cmd_minusFogColorG},
    {"+fog_color_b", kExactNoCase, cmd_plusFogColorB},
    {"-fog_color_b", kExactNoCase, cmd_minusFogColorB},
    {"saveinitfile", kExactNoCase, cmd_saveinitfile},
    {"fog_switch", kExactNoCase, cmd_fogSwitch},
    {"-fog_start", kExactNoCase, cmd_minusFogStart},
    {"+fog_start", kExactNoCase, cmd_plusFogStart},
    {"+fog_end", kExactNoCase, cmd_plusFogEnd},
    {"-fog_end", kExactNoCase, cmd_minusFogEnd},
    {"+fog_density", kExactNoCase, cmd_plusFogDensity},
    {"-fog_density", kExactNoCase, cmd_minusFogDensity},
    {"fog_type", kExactNoCase, cmd_fogType},
    {"fog_hint", kExactNoCase, cmd_fogHint},
    {"fog_info", kExactNoCase, cmd_fogInfo},

    {"+cam_end", kExactNoCase, cmd_plusCamEnd},
    {"-cam_end", kExactNoCase, cmd_minusCamEnd},
    {"cam_setpos", kExactNoCase, cmd_camSetpos},
    {"noclip", kExactNoCase, cmd_noclip},
    {"cam_grab", kExactNoCase, cmd_camGrab},
    {"cam_grabgz", kExactNoCase, cmd_camGrab},
    {"cam_record", kExactNoCase, cmd_camRecord},
    {"cam_play", kExactNoCase, cmd_camPlay},

    {"sound_pause", kExactNoCase, cmd_soundNothing},
    {"sound_play", kExactNoCase, cmd_soundNothing},
    {"+sound_freq", kExactNoCase, cmd_soundNothing},
    {"-sound_freq", kExactNoCase, cmd_soundNothing},
    {"quit", kExactNoCase, cmd_quit},

    {"map", kPrefixText, cmd_map},

    {"swwindowmode", kExactCase, cmd_swwindowmode},
    {"obj_load", kExactCase, cmd_objLoad},
    {"obj_select2", kExactCase, cmd_objSelect2},
    {"obj_copy", kExactCase, cmd_objCopy},
    {"obj_paste", kExactCase, cmd_objPaste},
    {"obj_delete", kExactCase, cmd_objDelete},
    {"+obj_movex", kExactCase, cmd_plusObjMovex},
    {"-obj_movex", kExactCase, cmd_minusObjMovex},
    {"+obj_movey", kExactCase, cmd_plusObjMovey},
    {"-obj_movey", kExactCase, cmd_minusObjMovey},
    {"+obj_movez", kExactCase, cmd_plusObjMovez},
    {"-obj_movez", kExactCase, cmd_minusObjMovez},
    {"obj_select", kExactCase, cmd_objSelect},
    {"obj_rotx", kExactCase, cmd_objRotx},
    {"obj_roty", kExactCase, cmd_objRoty},
    {"obj_rotz", kExactCase, cmd_objRotz},
    {"obj_movex", kExactCase, cmd_objMovex},
    {"obj_movez", kExactCase, cmd_objMovez},
    {"obj_scalex", kExactCase, cmd_objScalex},
    {"obj_scalez", kExactCase, cmd_objScalez},
    {"obj_undo", kExactCase, cmd_objUndo},
    {"obj_redo", kExactCase, cmd_objRedo},

    {"swgui", kExactNoCase, cmd_swgui},
    {"swleveled", kExactNoCase, cmd_swleveled},
    {"swrotlock", kExactNoCase, cmd_swrotlock},
    {"swhelp", kExactNoCase, cmd_swhelp},
    {"swdynlight", kExactNoCase, cmd_swdynlight},
    {"+scrollparticles", kExactNoCase, cmd_plusScrollparticles},
    {"-scrollparticles", kExactNoCase, cmd_minusScrollparticles},
};

// Characters of a prefix command compared with its name, and where its
// argument starts (after the name and one separator).
constexpr size_t kFloatPrefixLength = 11;
constexpr size_t kFloatArgumentStart = 12;
constexpr size_t kTextPrefixLength = 3;
constexpr size_t kTextArgumentStart = 4;

// The argument that starts at `start`, or "" when the text is shorter: a
// bare "map" or "cam_setspee" has no argument, and nothing past its
// terminating zero is read.
const char* argumentAt(const char* command, size_t start)
{
    return std::strlen(command) > start ? command + start : "";
}

bool matches(const CommandDef& def, const char* command)
{
    switch (def.rule) {
    case kExactNoCase: return strcasecmp(command, def.name) == 0;
    case kExactCase: return std::strcmp(command, def.name) == 0;
    case kPrefixFloat: return strncasecmp(command, def.name, kFloatPrefixLength) == 0;
    case kPrefixText: return std::strncmp(command, def.name, kTextPrefixLength) == 0;
    }
    return false;
}

// The slot of `key`, or null after telling the console that it has none.
t_keyslot* slotFor(const char* key)
{
    t_keyslot* slot = KeyInput != nullptr ? KeyInput->getskeyaddr(key) : nullptr;
    if (slot == nullptr) {
        Con.printf("Taste %s nicht gefunden\n", key != nullptr ? key : "");
    }
    return slot;
}

// The editor's help: the names of the keys whose slot carries the handler
// of `command` (and, for a text command, its text), joined by "/".
void keysForCommand(const char* command, char* out, unsigned long size)
{
    if (size == 0) {
        return;
    }
    out[0] = '\0';
    const t_cmdmatch m = matchCommand(command);
    if (m.handler == nullptr || KeyInput == nullptr || KeyInput->keys == nullptr) {
        return;
    }
    size_t used = 0;
    for (int32_t code = 0; code < KeyInput->keycount; ++code) {
        const t_keyslot& slot = KeyInput->keys[code];
        if (slot.name == nullptr || slot.handler != m.handler) {
            continue;
        }
        if (m.kind == kCmdText && std::strcmp(slot.arg.text, m.text) != 0) {
            continue;
        }
        const int n = std::snprintf(out + used, size - used, "%s%s", used > 0 ? "/" : "", slot.name);
        if (n < 0 || used + static_cast<size_t>(n) >= size) {
            break;
        }
        used += static_cast<size_t>(n);
    }
}

} // namespace

t_cmdmatch matchCommand(const char* command)
{
    t_cmdmatch m{};
    if (command == nullptr) {
        return m;
    }
    for (const CommandDef& def : kCommands) {
        if (!matches(def, command)) {
            continue;
        }
        m.handler = def.handler;
        m.name = def.name;
        if (def.rule == kPrefixFloat) {
            m.kind = kCmdFloat;
            m.fval = std::strtof(argumentAt(command, kFloatArgumentStart), nullptr);
        } else if (def.rule == kPrefixText) {
            m.kind = kCmdText;
            copyBounded(m.text, argumentAt(command, kTextArgumentStart), sizeof m.text);
        } else {
            m.kind = kCmdPlain;
        }
        return m;
    }
    return m;
}

const char* commandName(int index)
{
    return index >= 0 && index < kCommandCount ? kCommands[index].name : nullptr;
}

CFunctions::CFunctions()
{
    g_keysForCommand = keysForCommand;
    Init();
}

void CFunctions::Init()
{
    if (Level == nullptr || Level->keyBindings == nullptr) {
        return;
    }
    for (uint32_t i = 0; i < Level->keyBindingCount; ++i) {
        const LevKeyBinding& b = Level->keyBindings[i];
        const t_cmdmatch m = matchCommand(b.command);
        if (m.handler == nullptr) {
            continue;
        }
        switch (m.kind) {
        case kCmdFloat: setFunctions(m.handler, m.fval, b.key); break;
        case kCmdText: setFunctions(m.handler, m.text, b.key); break;
        default: setFunctions(m.handler, b.key); break;
        }
    }
}

void CFunctions::setFunctions(t_handler handler, const char* key)
{
    if (t_keyslot* slot = slotFor(key)) {
        slot->handler = handler;
    }
}

void CFunctions::setFunctions(t_handler handler, const char* text, const char* key)
{
    if (t_keyslot* slot = slotFor(key)) {
        slot->handler = handler;
        copyBounded(slot->arg.text, text, sizeof slot->arg.text);
    }
}

void CFunctions::setFunctions(t_handler handler, int value, const char* key)
{
    if (t_keyslot* slot = slotFor(key)) {
        slot->handler = handler;
        slot->arg.ival = value;
    }
}

void CFunctions::setFunctions(t_handler handler, float value, const char* key)
{
    if (t_keyslot* slot = slotFor(key)) {
        slot->handler = handler;
        slot->arg.fval = value;
    }
}
