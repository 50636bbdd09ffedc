#pragma once
// Checking imports of damaged files: each runs in a fresh headless host and must end either in
// success without an "Error" box, or in failure with exactly one "Error" box and nothing created.
#include "support.h"

#include <fstream>
#include <random>
#include <string>

namespace zeq::test {

// Damages 1 to 4 places of the buffer: a flipped bit, a random byte, or a short run of 00 or FF.
inline void corrupt(ByteBuffer& bytes, std::mt19937& random) {
    if (bytes.length() == 0) return;
    const int changes = 1 + static_cast<int>(random() % 4);
    for (int c = 0; c < changes; ++c) {
        const auto at = static_cast<int32_t>(random() % static_cast<uint32_t>(bytes.length()));
        switch (random() % 4) {
        case 0: bytes.data()[at] ^= static_cast<uint8_t>(1u << (random() % 8)); break;
        case 1: bytes.data()[at] = static_cast<uint8_t>(random()); break;
        default: {
            const uint8_t fill = (random() % 2) ? 0xFF : 0x00;
            const int32_t run = 1 + static_cast<int32_t>(random() % 4);
            for (int32_t i = at; i < at + run && i < bytes.length(); ++i) bytes.data()[i] = fill;
        }
        }
    }
}

class DamagedFileChecker {
public:
    explicit DamagedFileChecker(std::string path) : path_(std::move(path)) {}

    void check(const ByteBuffer& bytes, const std::string& label) {
        {
            std::ofstream out(path_, std::ios::binary | std::ios::trunc);
            out.write(reinterpret_cast<const char*>(bytes.data()), bytes.length());
            ASSERT_TRUE(out.good()) << path_;
        }
        headless::Host host;
        host.ui().setProgressStream(nullptr);
        const int result = host.importFile(GetZeqImportClassDesc(), path_);
        int errors = 0;
        for (const auto& box : host.ui().messageBoxes()) errors += box.caption == "Error";
        if (result == IMPEXP_SUCCESS) {
            ++successes_;
            ASSERT_EQ(errors, 0) << label;
        } else {
            ASSERT_EQ(result, IMPEXP_FAIL) << label;
            ASSERT_EQ(host.ui().messageBoxes().size(), 1u) << label;
            ASSERT_EQ(errors, 1) << label;
            ASSERT_TRUE(host.scene().nodes().empty()) << label;
        }
        ASSERT_FALSE(host.ui().progressActive()) << label;
    }

    int successes() const { return successes_; }

private:
    std::string path_;
    int successes_ = 0;
};

}  // namespace zeq::test
