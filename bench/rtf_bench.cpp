// The RTF reader against unrtf on the same generated document, and its own output read
// back at two sizes to show the cost grows linearly.
#include "BenchSupport.h"
#include "ProjectGenerator.h"
#include "platform/Files.h"
#include "platform/richtext/RichText.h"

#include <benchmark/benchmark.h>
#include <cstdlib>
#include <tuple>

using namespace vexana;
using namespace vexana::bench;
using platform::RichText;

namespace {

// About `bytes` of RTF as word processors write it: a font table with Greek and Cyrillic
// fonts, a format change every few words, characters as \'hh in the font's code page and
// as \uN with fallbacks.
std::string generatedRtf(std::size_t bytes) {
    Random r(7);
    std::string out =
        "{\\rtf1\\ansi\\ansicpg1252\\deff0{\\fonttbl{\\f0\\fswiss\\fcharset0 Arial;}"
        "{\\f1\\froman\\fcharset161 Times New Roman Greek;}{\\f2\\fswiss\\fcharset204 Arial Cyr;}}"
        "{\\colortbl ;\\red255\\green0\\blue0;\\red0\\green0\\blue255;}\n"
        "{\\*\\generator bench;}\\viewkind4\\uc1\\pard\\f0\\fs20 ";
    static const char* words[] = {"interview", "family",    "work",     "school",
                                  "children",  "moved",     "remember", "money",
                                  "friends",   "difficult", "because",  "really"};
    int word = 0;
    while (out.size() < bytes) {
        switch (r.below(8)) {
        case 0:
            out += "{\\b ";
            out += words[r.below(12)];
            out += "} ";
            break;
        case 1:
            out += "\\i ";
            out += words[r.below(12)];
            out += "\\i0  ";
            break;
        case 2:
            out += "{\\f1 \\'e1\\'e2\\'e3\\'e4 }";
            break; // Greek bytes
        case 3:
            out += "{\\f2 \\'cf\\'f0\\'e8\\'e2\\'e5\\'f2 }";
            break; // Cyrillic bytes
        case 4:
            out += "\\u1488?\\u1489?\\u12354?\\u-10179?\\u-8704? ";
            break; // Hebrew, Japanese, emoji
        case 5:
            out += "{\\cf1\\fs28 ";
            out += words[r.below(12)];
            out += "} ";
            break;
        default:
            out += words[r.below(12)];
            out += ' ';
            break;
        }
        if (++word % 40 == 0) out += "\\par\n";
    }
    return out + "\\par}";
}

double readSeconds(const std::string& path) {
    return bestOf(3, [&] {
        const auto bytes = platform::readFile(path);
        const RichText t = RichText::fromRtf(*bytes);
        benchmark::DoNotOptimize(t.plainText().size());
    });
}

void ReadAgainstUnrtf(benchmark::State& state) {
    const std::string path = benchDirectory() + "/generated.rtf";
    platform::writeFileAtomic(path, generatedRtf(10u << 20));
    const bool haveUnrtf = std::system("command -v unrtf >/dev/null 2>&1") == 0;
    double theirs = 0, ours = 0;
    for (auto _ : state) {
        std::tie(theirs, ours) = compare(
            3,
            [&] {
                if (haveUnrtf)
                    benchmark::DoNotOptimize(
                        std::system(("unrtf --text '" + path + "' >/dev/null 2>&1").c_str()));
            },
            [&] {
                const auto bytes = platform::readFile(path);
                benchmark::DoNotOptimize(RichText::fromRtf(*bytes).plainText().size());
            });
    }
    report(state, haveUnrtf ? theirs : 0.0, ours);
    state.counters["speedup"] = haveUnrtf && ours > 0 ? theirs / ours : 0.0;
    state.counters["MB_per_s"] = 10.0 * 1.048576 / ours;
}

void ReadOwnOutputLinearly(benchmark::State& state) {
    const RichText doc = RichText::fromRtf(generatedRtf(5u << 20));
    RichText twice = doc;
    twice.replace(twice.length(), twice.length(), doc);
    const std::string one = benchDirectory() + "/own-1x.rtf",
                      two = benchDirectory() + "/own-2x.rtf";
    const std::string oneRtf = doc.toRtf(), twoRtf = twice.toRtf();
    platform::writeFileAtomic(one, oneRtf);
    platform::writeFileAtomic(two, twoRtf);
    double small = 0, large = 0;
    for (auto _ : state) {
        small = readSeconds(one);
        large = readSeconds(two);
    }
    report(state, small, large);
    state.counters["size_ratio"] =
        static_cast<double>(twoRtf.size()) / static_cast<double>(oneRtf.size());
}

} // namespace

BENCHMARK(ReadAgainstUnrtf)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(ReadOwnOutputLinearly)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
