// The camera path file (28-byte big-endian records, 25 a second of frame
// time, one looping file position) and the names and folder of grabbed
// frames.  The reader's cut records and values that are no camera state are
// checked by the fuzz corpus (tests/fuzz/campath.cpp), which also compares
// the reader with playback.
#include <gtest/gtest.h>

#include <filesystem>

#include "render/display.h"
#include "support/temp_dir.h"
#include "test_camera_fixture.h"

namespace {

std::string encoded(const std::vector<t_camRecord>& records)
{
    std::string bytes;
    for (const t_camRecord& r : records) {
        uint8_t b[kCamRecordBytes];
        encodeCamRecord(r, b);
        bytes.append(reinterpret_cast<const char*>(b), sizeof b);
    }
    return bytes;
}

t_camRecord at(float x, float y = 0.0f, float z = 0.0f)
{
    return t_camRecord{x, y, z, 1.0f, 2.0f, 0.3f, 8.5f};
}

using CamPath = CameraTest;

} // namespace

// A record per 0.04 s of frame time, the timer starting again at 0: at 40
// frames a second every second frame records, at 10 (and at the grabbing
// clock of 0.04) every frame, at 0.03 s every second frame.
TEST_F(CamPath, BigEndianRecordsOneEachTimeTheTimerReaches40Milliseconds)
{
    EXPECT_EQ(encoded({{1.0f, -4.0f, 0.5f, 90.0f, -2.0f, 0.3f, 8.5f}}),
              std::string("\x3f\x80\x00\x00\xc0\x80\x00\x00\x3f\x00\x00\x00\x42\xb4\x00\x00"
                          "\xc0\x00\x00\x00\x3e\x99\x99\x9a\x41\x08\x00\x00", 28));
    const struct { float dt; int frames; std::vector<float> written; } rows[] = {
        {0.025f, 8, {1, 3, 5, 7}}, {0.1f, 3, {0, 1, 2}}, {0.04f, 3, {0, 1, 2}}, {0.03f, 6, {1, 3, 5}},
    };
    for (const auto& row : rows) {
        WorkDir dir;
        writeBytes("recfile.movie", "");
        std::string want;
        {
            t_cam cam;
            cam.record = 1;
            for (int frame = 0; frame < row.frames; ++frame) {
                cam.position.x = static_cast<float>(frame);
                cam.pathStep(row.dt);
            }
            for (float x : row.written) {
                cam.position.x = x;
                want += encoded({camRecordOf(cam)});
            }
        }
        EXPECT_EQ(readBytes("recfile.movie"), want) << "dt " << row.dt;
    }
}

// Playback loops through the file; a record cut short at the end is applied
// with the floats it has and the file starts again; recording continues at
// the position playback left.
TEST_F(CamPath, PlaybackLoopsAndSharesTheFilePositionWithRecording)
{
    const std::string three = encoded({at(10, 1, 1), at(20, 2, 2), at(30, 3, 3)});
    const struct { std::string file; std::vector<float> xs; float yz[2]; } rows[] = {
        {three, {10, 20, 30, 10, 20, 30, 10}, {3, 3}},
        {three.substr(0, 66), {10, 20, 30, 10, 20, 30, 10}, {3, 2}}, // the third cut after two floats
        {three.substr(0, 58), {10, 20, 10, 20, 10, 20, 10}, {1, 1}}, // two bytes are no float
    };
    for (const auto& row : rows) {
        WorkDir dir;
        writeBytes("recfile.movie", row.file);
        t_cam cam;
        cam.play = 1;
        std::vector<float> xs;
        for (int i = 0; i < 7; ++i) {
            cam.pathStep(0.04f);
            xs.push_back(cam.position.x);
            if (i == 2) {
                EXPECT_EQ(cam.position.y, row.yz[0]);
                EXPECT_EQ(cam.position.z, row.yz[1]);
            }
        }
        EXPECT_EQ(xs, row.xs) << row.file.size() << " bytes";
    }

    WorkDir dir;
    writeBytes("recfile.movie", encoded({at(10), at(20), at(30)}));
    {
        t_cam cam;
        cam.play = 1;
        for (int i = 0; i < 3; ++i) {
            cam.pathStep(0.04f);
        }
        cam.play = 0;
        cam.record = 1;
        cam.position.x = 99.0f;
        cam.pathStep(0.04f);
    }
    // The last record played put the position back to the start.
    EXPECT_EQ(readBytes("recfile.movie"), encoded({at(99), at(20), at(30)}));
}

TEST_F(CamPath, GrabbedFrameNamesFolderAndFramesNeverWritten)
{
    const std::pair<int32_t, const char*> names[] = {
        {0, "SCRSHT/Screenshot0000.ppm"}, {9999, "SCRSHT/Screenshot9999.ppm"}, {10000, "SCRSHT/Screenshot10000.ppm"},
    };
    for (const auto& [number, want] : names) {
        char name[100];
        grabFileName(number, name, sizeof name);
        EXPECT_STREQ(name, want);
    }
    WorkDir dir;
    t_cam cam;
    // A link named SCRSHT would take the frames out of the data folder.
    std::filesystem::create_directory_symlink("/tmp", "SCRSHT");
    cam.toggleGrab();
    EXPECT_EQ(cam.grab, 0);
    std::filesystem::remove("SCRSHT");
    cam.toggleGrab();
    ASSERT_EQ(cam.grab, 1);
    EXPECT_TRUE(std::filesystem::is_directory("SCRSHT"));
    cam.grabStep(0.04f);
    EXPECT_STREQ(scrshoot, "SCRSHT/Screenshot0000.ppm");
    // No frame was drawn, so nothing reached the disk: grabbing ends.
    cam.grabStep(0.04f);
    EXPECT_EQ(cam.grab, 0);
    EXPECT_EQ(cam.grabcount, 1);
    requestScreenshot(nullptr); // no later frame of another test writes it
}
