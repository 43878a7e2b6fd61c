#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace vexana::bench {

struct ProjectShape {
    int texts = 2000;
    int bodyBytes = 20000;
    int codes = 1000;
    int codings = 200000;
    int memos = 5000;

    // VEXANA_BENCH_SCALE (0 < s <= 1) shrinks every count, for a quick look.
    static ProjectShape fromEnvironment();
};

// Writes a synthetic project of the given shape at path (which must not exist) through the
// store, in one transaction. Returns an empty string or the reason it failed.
std::string generateProject(const std::string& path, const ProjectShape& shape,
                            std::uint32_t seed = 1);

// A small deterministic generator, so every run measures the same project.
class Random {
public:
    explicit Random(std::uint32_t seed) : state_(seed * 2654435761u + 1) {}
    std::uint32_t next() {
        state_ ^= state_ << 13;
        state_ ^= state_ >> 17;
        state_ ^= state_ << 5;
        return state_;
    }
    int below(int n) {
        return n <= 0 ? 0 : static_cast<int>(next() % static_cast<std::uint32_t>(n));
    }

private:
    std::uint32_t state_;
};

// Words of running text with paragraph ends, about `bytes` long.
std::string syntheticText(Random& r, int bytes);

std::string benchDirectory();

// Plain text as RTF with a bold word every few lines.
std::string rtfOf(const std::string& plain);

// `count` RTF files of about `bytes` of running text each, made afresh in dir.
std::vector<std::string> writeInterviewFiles(const std::string& dir, int count, int bytes);

} // namespace vexana::bench
