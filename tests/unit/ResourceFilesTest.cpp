// The generated pictures must have the sizes the windows are laid out for and
// the colour depths their loading expects.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <string>

#include "platform/LittleEndian.h"

namespace {

struct BmpInfo {
    bool ok = false;
    int32_t width = 0;
    int32_t height = 0;
    uint16_t bits = 0;
    uint32_t colours = 0;
};

std::string ResDir() {
    std::string here = __FILE__;
    return here.substr(0, here.rfind("tests/unit/")) + "res/";
}

BmpInfo ReadBmp(const std::string& name) {
    BmpInfo info;
    FILE* f = std::fopen((ResDir() + name).c_str(), "rb");
    if (!f) return info;
    unsigned char h[54];
    size_t got = std::fread(h, 1, sizeof h, f);
    std::fclose(f);
    if (got != sizeof h || h[0] != 'B' || h[1] != 'M' || ReadLe32(h + 14) != 40) return info;
    info.width = static_cast<int32_t>(ReadLe32(h + 18));
    info.height = static_cast<int32_t>(ReadLe32(h + 22));
    info.bits = static_cast<uint16_t>(ReadLe16(h + 28));
    info.colours = ReadLe32(h + 46);
    info.ok = ReadLe32(h + 30) == 0;  // uncompressed
    return info;
}

void ExpectFace(const std::string& name, int w, int h) {
    BmpInfo b = ReadBmp(name);
    ASSERT_TRUE(b.ok) << name;
    EXPECT_EQ(w, b.width) << name;
    EXPECT_EQ(h, b.height) << name;
    EXPECT_EQ(24, b.bits) << name;
}

}  // namespace

TEST(ResourceFiles, BackgroundIs527By338With256Colours) {
    BmpInfo b = ReadBmp("background.bmp");
    ASSERT_TRUE(b.ok);
    EXPECT_EQ(527, b.width);
    EXPECT_EQ(338, b.height);
    EXPECT_EQ(8, b.bits);
    EXPECT_TRUE(b.colours == 0 || b.colours == 256);
}

TEST(ResourceFiles, FacesHaveTheirTableSizes) {
    for (const char* stem : {"scan", "download"}) {
        for (const char* state : {"_focus", "_notfocus", "_disable"})
            ExpectFace(std::string(stem) + state + ".bmp", 180, 33);
    }
    struct Face { const char* stem; int w, h; };
    const Face faces[] = {{"x", 21, 21},  {"dlink", 313, 43}, {"ulink", 244, 28},
                          {"quorvexlogo", 38, 36}, {"ok", 92, 24}, {"cancel", 92, 24},
                          {"yes", 92, 24}, {"no", 92, 24}};
    for (const Face& f : faces) {
        ExpectFace(std::string(f.stem) + "_focus.bmp", f.w, f.h);
        ExpectFace(std::string(f.stem) + "_notfocus.bmp", f.w, f.h);
    }
}

TEST(ResourceFiles, PromptPicturesAre42By40TrueColour) {
    for (const char* name : {"prompt_information.bmp", "prompt_question.bmp",
                             "prompt_warning.bmp", "prompt_error.bmp"})
        ExpectFace(name, 42, 40);
}

TEST(ResourceFiles, MissingFileIsNotReadAsPicture) {
    EXPECT_FALSE(ReadBmp("no_such_face.bmp").ok);
}
