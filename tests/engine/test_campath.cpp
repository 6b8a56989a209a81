// The camera path file (28-byte big-endian records, 25 a second of frame
// time, one looping file position) and the names and folder of grabbed
// frames.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "camera/campath.h"
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

TEST(CamPathFormat, SevenBigEndianFloatsAndRecordsCutShort)
{
    const std::string bytes = encoded({{1.0f, -4.0f, 0.5f, 90.0f, -2.0f, 0.3f, 8.5f}});
    const std::string want("\x3f\x80\x00\x00\xc0\x80\x00\x00\x3f\x00\x00\x00\x42\xb4\x00\x00"
                           "\xc0\x00\x00\x00\x3e\x99\x99\x9a\x41\x08\x00\x00",
                           28);
    EXPECT_EQ(bytes, want);

    // A cut record gives its whole floats only; values that are no camera
    // state leave the field alone.
    const std::string nan("\x7f\xc0\x00\x00", 4);
    const std::string huge("\x7f\x00\x00\x00", 4);
    struct Row {
        std::string data;
        int fields;
        t_camRecord want;
    } rows[] = {
        {want, 7, {1.0f, -4.0f, 0.5f, 90.0f, -2.0f, 0.3f, 8.5f}},
        {want.substr(0, 10), 2, {1.0f, -4.0f, 9, 9, 9, 9, 9}},
        {want.substr(0, 3), 0, {9, 9, 9, 9, 9, 9, 9}},
        {nan + want.substr(4, 4) + huge, 3, {9, -4.0f, 9, 9, 9, 9, 9}},
    };
    for (const Row& row : rows) {
        t_camRecord r{9, 9, 9, 9, 9, 9, 9};
        EXPECT_EQ(decodeCamRecord(reinterpret_cast<const uint8_t*>(row.data.data()), row.data.size(), r), row.fields);
        EXPECT_TRUE(r.x == row.want.x && r.y == row.want.y && r.z == row.want.z && r.yaw == row.want.yaw &&
                    r.turnspeed == row.want.turnspeed)
            << row.data.size() << " bytes";
    }

    // From memory: the cut record at the end continues the one before it.
    t_camPath path;
    const std::string file = encoded({at(10, 11, 12), at(20, 21, 22)}) + encoded({at(30, 31, 32)}).substr(0, 10);
    ASSERT_TRUE(parseCamPath(reinterpret_cast<const uint8_t*>(file.data()), file.size(), t_camRecord{}, path, nullptr));
    ASSERT_EQ(path.records.size(), 3u);
    EXPECT_EQ(path.trailingBytes, 10u);
    EXPECT_TRUE(path.records[2].x == 30 && path.records[2].y == 31 && path.records[2].z == 22);
    std::string problem;
    EXPECT_FALSE(parseCamPath(reinterpret_cast<const uint8_t*>(file.data()), 3, t_camRecord{}, path, &problem));
    EXPECT_FALSE(problem.empty());
}

// A record per 0.04 s of frame time, the timer starting again at 0: at 40
// frames a second every second frame records, at 10 (and at the grabbing
// clock of 0.04) every frame, at 0.03 s every second frame.
TEST_F(CamPath, RecordsOneSampleEachTimeTheTimerReaches40Milliseconds)
{
    struct Row {
        float dt;
        int frames;
        std::vector<float> written; // the frame numbers that were recorded
    } rows[] = {
        {0.025f, 8, {1, 3, 5, 7}},
        {0.1f, 3, {0, 1, 2}},
        {0.04f, 3, {0, 1, 2}},
        {0.03f, 6, {1, 3, 5}},
    };
    for (const Row& row : rows) {
        WorkDir dir;
        writeBytes("recfile.movie", "");
        {
            t_cam cam;
            ASSERT_NE(cam.recfile, nullptr);
            cam.record = 1;
            for (int frame = 0; frame < row.frames; ++frame) {
                cam.position.x = static_cast<float>(frame);
                cam.pathStep(row.dt);
            }
        }
        const std::string bytes = readBytes("recfile.movie");
        t_camPath path;
        ASSERT_TRUE(parseCamPath(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), {}, path, nullptr));
        std::vector<float> xs;
        for (const t_camRecord& r : path.records) {
            xs.push_back(r.x);
        }
        EXPECT_EQ(xs, row.written) << "dt " << row.dt;
        EXPECT_EQ(path.trailingBytes, 0u);
    }
}

// Playback loops through the file; a record cut short at the end is applied
// with the floats it has and the file starts again; recording continues at
// the position playback left.
TEST_F(CamPath, PlaybackLoopsAndSharesTheFilePositionWithRecording)
{
    struct Row {
        std::string file;
        std::vector<float> xs; // x after each of 7 samples
        float yAfterThird;
        float zAfterThird;
    } rows[] = {
        {encoded({at(10, 1, 1), at(20, 2, 2), at(30, 3, 3)}), {10, 20, 30, 10, 20, 30, 10}, 3, 3},
        {encoded({at(10, 1, 1), at(20, 2, 2)}) + encoded({at(30, 3, 3)}).substr(0, 10),
         {10, 20, 30, 10, 20, 30, 10},
         3,
         2},
        {encoded({at(10, 1, 1), at(20, 2, 2)}) + "\x01\x02", {10, 20, 10, 20, 10, 20, 10}, 1, 1},
    };
    for (const Row& row : rows) {
        WorkDir dir;
        writeBytes("recfile.movie", row.file);
        t_cam cam;
        cam.play = 1;
        std::vector<float> xs;
        for (int i = 0; i < 7; ++i) {
            cam.pathStep(0.04f);
            xs.push_back(cam.position.x);
            if (i == 2) {
                EXPECT_EQ(cam.position.y, row.yAfterThird);
                EXPECT_EQ(cam.position.z, row.zAfterThird);
            }
        }
        EXPECT_EQ(xs, row.xs) << row.file.size() << " bytes";
    }

    WorkDir dir;
    const std::string file = encoded({at(10), at(20), at(30)});
    writeBytes("recfile.movie", file);
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
    EXPECT_EQ(readBytes("recfile.movie"), encoded({at(99, 0, 0)}) + encoded({at(20)}) + encoded({at(30)}));
}

TEST_F(CamPath, GrabbedFrameNamesFolderAndFramesNeverWritten)
{
    const std::pair<int32_t, const char*> names[] = {
        {0, "SCRSHT/Screenshot0000.ppm"},
        {9999, "SCRSHT/Screenshot9999.ppm"},
        {10000, "SCRSHT/Screenshot10000.ppm"},
        {123456, "SCRSHT/Screenshot123456.ppm"},
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
    EXPECT_EQ(cam.grabcount, 1);
    // No frame was drawn, so nothing reached the disk: grabbing ends.
    cam.grabStep(0.04f);
    EXPECT_EQ(cam.grab, 0);
    EXPECT_EQ(cam.grabcount, 1);
    requestScreenshot(nullptr); // no later frame of another test writes it
}
