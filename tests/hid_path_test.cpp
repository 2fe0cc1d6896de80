#include <gtest/gtest.h>

#include <string>

#include "device/hid/hid_path.h"

namespace {

struct PathCase {
    const char* path;
    std::uint16_t vid, pid, mi, col;
};

class PathParsers : public ::testing::TestWithParam<PathCase> {};

TEST_P(PathParsers, ReadTheFourNumbers) {
    const PathCase& c = GetParam();
    EXPECT_EQ(qm::ParseVid(c.path), c.vid);
    EXPECT_EQ(qm::ParsePid(c.path), c.pid);
    EXPECT_EQ(qm::ParseMi(c.path), c.mi);
    EXPECT_EQ(qm::ParseCol(c.path), c.col);
}

INSTANTIATE_TEST_SUITE_P(
    Paths, PathParsers,
    ::testing::Values(PathCase{"/dev/hidraw3#vid_320f&pid_5055&mi_01&col04", 0x320F, 0x5055, 1, 4},
                      PathCase{"/dev/hidraw0#vid_0c76&pid_0000&mi_03", 0x0C76, 0, 3, 0},
                      // Windows-style, upper case, with trailing instance data.
                      PathCase{R"(\\?\HID#VID_320F&PID_5088&MI_01&Col03#7&2b&0&0002#{4d1e55b2})",
                               0x320F, 0x5088, 1, 3},
                      PathCase{"virtual:keyboard", 0, 0, 0, 0},
                      // Only the low 16 bits of an over-long number count.
                      PathCase{"x#vid_1320f&pid_5055", 0x320F, 0x5055, 0, 0}));

TEST(InterfacePath, RoundTripsThroughTheParsersAndKeepsLongNodes) {
    const std::string node = "/run/some/very/long/folder/" + std::string(400, 'n') + "/hidraw12";
    const std::string path = qm::makeInterfacePath(node, 0x320F, 0x5055, 1, 4);
    EXPECT_EQ(path, node + "#vid_320f&pid_5055&mi_01&col04");
    EXPECT_EQ(qm::pathNode(path), node);
    EXPECT_EQ(qm::ParseCol(path), 4);
    EXPECT_EQ(qm::makeInterfacePath("/dev/hidraw0", 0x0C76, 0x6533, 3, 0),
              "/dev/hidraw0#vid_0c76&pid_6533&mi_03");
}

}  // namespace
