// assetgen_campath.cpp — the demo's camera path "flight.movie": a smooth
// flight through the level "select" for `--timedemo` and `cam_play`.
//
// The path is a Catmull-Rom curve through hand-placed points above the
// walkway (from the rock in the south past the fire, the walker, the hut and
// the ranger, under the bird to the crystal in the east), resampled to
// equal steps along its length so the speed stays even, 25 records a second
// of 0.04 s each.  The camera looks a little ahead along the curve.  The
// record layout (seven big-endian floats: x, y, z, yaw, pitch, move speed,
// turn speed) is the engine's path file format (camera/campath.h).
#include "tools/assetgen.h"

#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

namespace assetgen {
namespace {

struct P3 {
    double x, y, z;
};

// World units; the decks' tops lie near y = -5.2, the camera's eye 0.6 to
// 1.5 above them.
const P3 kWaypoints[] = {
    {0.0, -3.6, 25.0},  {0.5, -4.0, 18.0},   {2.5, -4.2, 14.0}, {2.4, -4.3, 10.5}, // rock, decks, fire
    {2.0, -4.3, 6.5},   {-2.5, -4.2, 3.0},   {-7.0, -3.9, 1.5},                    // walker, west branch
    {-9.0, -3.6, 7.5},  {-6.0, -3.5, 13.0},  {-1.5, -3.3, 6.0},                    // hut, ranger
    {0.5, -3.0, -1.0},  {4.0, -3.6, -6.0},   {9.0, -4.0, -5.0}, {13.5, -3.8, -11.0}, // bird, crystal
    {17.0, -3.2, -6.0},
};
constexpr int kWaypointCount = sizeof kWaypoints / sizeof kWaypoints[0];
constexpr double kSeconds = 24.0;       // length of the flight
constexpr double kRecordTime = 0.04;    // seconds per record
constexpr double kLookAhead = 1.5;      // units along the curve the camera looks towards
constexpr double kMoveSpeed = 0.3;      // the engine's default walking speed
constexpr double kTurnSpeed = 8.5;      // the engine's default turning speed
constexpr double kPi = 3.14159265358979323846;

P3 CatmullRom(const P3& a, const P3& b, const P3& c, const P3& d, double t)
{
    auto one = [t](double p0, double p1, double p2, double p3) {
        return 0.5 * (2.0 * p1 + (-p0 + p2) * t + (2.0 * p0 - 5.0 * p1 + 4.0 * p2 - p3) * t * t +
                      (-p0 + 3.0 * p1 - 3.0 * p2 + p3) * t * t * t);
    };
    return {one(a.x, b.x, c.x, d.x), one(a.y, b.y, c.y, d.y), one(a.z, b.z, c.z, d.z)};
}

// The curve densely sampled, end points repeated so it passes through all.
std::vector<P3> DenseCurve()
{
    constexpr int kSteps = 200; // per segment
    std::vector<P3> dense;
    for (int s = 0; s + 1 < kWaypointCount; ++s) {
        const P3& a = kWaypoints[s > 0 ? s - 1 : 0];
        const P3& d = kWaypoints[s + 2 < kWaypointCount ? s + 2 : kWaypointCount - 1];
        for (int i = 0; i < kSteps; ++i) {
            dense.push_back(CatmullRom(a, kWaypoints[s], kWaypoints[s + 1], d, static_cast<double>(i) / kSteps));
        }
    }
    dense.push_back(kWaypoints[kWaypointCount - 1]);
    return dense;
}

double Dist(const P3& a, const P3& b)
{
    return std::sqrt((a.x - b.x) * (a.x - b.x) + (a.y - b.y) * (a.y - b.y) + (a.z - b.z) * (a.z - b.z));
}

// The point at arc length s (clamped to the curve).
P3 AtLength(const std::vector<P3>& dense, const std::vector<double>& length, double s)
{
    if (s <= 0.0) {
        return dense.front();
    }
    for (size_t i = 1; i < dense.size(); ++i) {
        if (length[i] >= s) {
            const double span = length[i] - length[i - 1];
            const double f = span > 0.0 ? (s - length[i - 1]) / span : 0.0;
            const P3& a = dense[i - 1];
            const P3& b = dense[i];
            return {a.x + (b.x - a.x) * f, a.y + (b.y - a.y) * f, a.z + (b.z - a.z) * f};
        }
    }
    return dense.back();
}

void PutFloatBe(std::vector<uint8_t>& out, double value)
{
    const float f = static_cast<float>(value);
    uint32_t bits = 0;
    std::memcpy(&bits, &f, 4);
    for (int shift = 24; shift >= 0; shift -= 8) {
        out.push_back(static_cast<uint8_t>(bits >> shift));
    }
}

} // namespace

std::vector<uint8_t> DemoFlight()
{
    const std::vector<P3> dense = DenseCurve();
    std::vector<double> length(dense.size(), 0.0);
    for (size_t i = 1; i < dense.size(); ++i) {
        length[i] = length[i - 1] + Dist(dense[i - 1], dense[i]);
    }
    const int records = static_cast<int>(std::lround(kSeconds / kRecordTime));
    const double step = length.back() / (records - 1);
    std::vector<uint8_t> out;
    double lastYaw = 0.0;
    for (int r = 0; r < records; ++r) {
        const P3 at = AtLength(dense, length, r * step);
        P3 ahead = AtLength(dense, length, r * step + kLookAhead);
        if (Dist(at, ahead) < 1e-6) { // the end: keep looking the same way
            ahead = {at.x + std::sin(lastYaw * kPi / 180.0), at.y, at.z - std::cos(lastYaw * kPi / 180.0)};
        }
        // Yaw 0 looks along -z, positive turns towards +x; kept continuous
        // (no jump from 359 to 0) so nothing spins when it is interpolated.
        double yaw = std::atan2(ahead.x - at.x, -(ahead.z - at.z)) * 180.0 / kPi;
        while (yaw - lastYaw > 180.0) {
            yaw -= 360.0;
        }
        while (yaw - lastYaw < -180.0) {
            yaw += 360.0;
        }
        lastYaw = yaw;
        // Positive pitch looks down: a little down at the decks, plus the
        // curve's own slope.
        const double horizontal = std::hypot(ahead.x - at.x, ahead.z - at.z);
        const double pitch = 12.0 + std::atan2(at.y - ahead.y, horizontal) * 180.0 / kPi;
        for (double v : {at.x, at.y, at.z, yaw, pitch, kMoveSpeed, kTurnSpeed}) {
            PutFloatBe(out, v);
        }
    }
    return out;
}

void GenerateCamPaths(AssetWriter& out)
{
    out.Write("flight.movie", DemoFlight());
}

} // namespace assetgen
