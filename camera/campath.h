// campath.h — the camera path file and grabbed frames.
//
// A path file ("recfile.movie", or the file --timedemo plays) is a bare
// sequence of 28-byte records, seven big-endian IEEE floats each: position x,
// y, z (world units), yaw, pitch (degrees), move speed (units per second),
// turn speed (degrees per second).  One record stands for 0.04 s of frame
// time, 25 a second.  The camera (camera.h) records into and plays from its
// open file through camPlaySample and camRecordSample, sharing one file
// position; --timedemo reads a whole file with parseCamPath.  A file whose
// length is not a multiple of 28 ends in a record cut short: the whole
// floats of it are used, the rest of the camera state stays as it was, and
// nothing past the end is ever read.
//
// Grabbing writes the finished frames as "SCRSHT/Screenshot%04i.ppm" (see
// grabFileName for numbers past 9999) into the data directory.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

constexpr size_t kCamRecordBytes = 28;
constexpr int kCamRecordFields = 7;
constexpr float kCamSampleTime = 0.04f; // seconds of frame time per record and per grabbed frame
// Two hours of path; the camera neither opens nor grows a file past it.
constexpr uint64_t kCamPathMaxBytes = kCamRecordBytes * 25 * 60 * 60 * 2;
// Values farther from zero than this are no camera state (the world spans
// 64 units); such fields, and NaN or infinity, are skipped.
constexpr float kCamPathLimit = 1.0e6f;

// One record, fields in file order.
struct t_camRecord {
    float x = 0.0f, y = 0.0f, z = 0.0f; // world units
    float yaw = 0.0f, pitch = 0.0f;     // degrees
    float movespeed = 0.0f;             // units per second
    float turnspeed = 0.0f;             // degrees per second
};

void encodeCamRecord(const t_camRecord& record, uint8_t out[kCamRecordBytes]);

// Decodes the whole floats among the first `size` bytes (at most seven; fewer
// when the record is cut short) into the fields of `record` in file order,
// leaving the fields not present untouched.  Returns the number of floats
// present; *skipped (when given) counts those left untouched because they
// were NaN, infinite or beyond kCamPathLimit.
int decodeCamRecord(const uint8_t* bytes, size_t size, t_camRecord& record, int* skipped = nullptr);

// A whole path read from memory.
struct t_camPath {
    std::vector<t_camRecord> records;
    size_t trailingBytes = 0; // bytes of the record cut short at the end (0..27)
    size_t skippedFields = 0; // floats that were no camera state
};

// Reads a path file's bytes.  Each record starts from the previous one (the
// first from `start`), so a record cut short keeps the fields it lacks.
// False with *problem set (German, without the file name) when there is no
// record at all or the data are larger than kCamPathMaxBytes.
bool parseCamPath(const uint8_t* data, size_t size, const t_camRecord& start, t_camPath& out, std::string* problem);

// One playback sample at the file's current position: reads one record (or
// what is left of it) into `state` and rewinds to the start once the end is
// reached, so the file loops.  Returns the floats applied; 0 for an empty
// file or a read error.  *wrapped (when given) tells whether it rewound.
int camPlaySample(FILE* file, t_camRecord& state, bool* wrapped = nullptr);

// One recording sample: writes `state` at the file's current position (over
// what is there; the file is never truncated) and flushes it.  False when
// the file would grow past kCamPathMaxBytes or the write failed.
bool camRecordSample(FILE* file, const t_camRecord& state);

// The name of grabbed frame `number`: "SCRSHT/Screenshot%04i.ppm".  Four
// digits at least, so frame 10000 is "Screenshot10000.ppm": the numbers stay
// in order for ffmpeg's "%04d" pattern and for `ls -v`, but a plain
// character sort puts it between 1000 and 1001.
void grabFileName(int32_t number, char* out, size_t outSize);

// Makes sure "SCRSHT" (any case) is a real directory in the current (data)
// directory, creating it when missing.  A link, a file or a directory that
// cannot be made: false with *why set.
bool grabDirReady(std::string* why);

// Whether grabbed frame `file` can be written: absent, or an existing regular
// file (never a link that would lead the write elsewhere).
bool grabFileWritable(const char* file);
