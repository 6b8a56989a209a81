// overlay.h — the noise overlay: a numbered series of images (film grain,
// rain streaks, a tinted screen) shown one after another over the finished
// 3D frame, across the whole screen, tinted with the level's colour.
//
// The engine creates one CNoise when the level record carries overlay
// parameters (Lev::noiseParams), advances it once per frame before drawing
// (update, with the fixed step kNoiseStep rather than the measured frame
// time) and draws it first in the 2D pass (render).  It owns the series'
// textures.  Needs the GL context for init, render and destruction;
// single-threaded.
#pragma once

#include <cstdint>

#include "core/lev.h"
#include "core/mathlib.h"
#include "image/texture.h"

// Seconds the engine advances the overlay by per frame, whatever the frame took.
constexpr float kNoiseStep = 0.04f;
// Most images a series may have; numbers beyond are not looked for.
constexpr uint32_t kNoiseMaxImages = 1000;

class CNoise {
public:
    uint32_t count = 0;         // images found
    uint32_t current = 0;       // index of the image on screen, < count when count > 0
    float elapsed = 0.0f;       // seconds since the last image change
    float frameTime = 0.0f;     // seconds each image stays
    t_rgba colour{0, 0, 0, 0};  // tint R, G, B, A 0..1
    STexture* images = nullptr; // count textures (owned), null when count is 0

    CNoise() = default;
    ~CNoise(); // deletes the textures
    CNoise(const CNoise&) = delete;
    CNoise& operator=(const CNoise&) = delete;

    // Takes timer, frame time and tint from s; counts the series base + 1 +
    // extension, base + 2 + extension, ... (the pattern's last 4 characters
    // are the extension) up to the first number whose file is missing, loads
    // them (linear filters, no colour key) and prints the tint.  A pattern
    // whose first image is missing gives an empty series, which never draws.
    // Replaces a series loaded before.
    void init(const SNoise* s);
    // Advances the timer; past frameTime the next image (after the last the
    // first) comes up and the timer restarts at 0.  Sets the 2D image
    // reference size (g_view) to the current image's own size, so that it
    // spans the screen.
    void update(float dt);
    // Draws the current image over the whole screen with the tint, under its
    // own projection (the unit square, y down); leaves the model-view matrix
    // identity and the projection as it was.
    void render();
};

// The file of image `number` (from 1) of a pattern: the pattern without its
// last 4 characters, the decimal number, those 4 characters ("%s%i%s").
// False, with nothing written, for a pattern of 4 characters or fewer or a
// name that does not fit `size` bytes.
bool noiseImageName(const char* pattern, uint32_t number, char* out, size_t size);
