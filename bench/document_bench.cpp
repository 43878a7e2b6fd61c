// The document readers against the work they cannot avoid: unpacking the part and parsing
// it with the same library, and the RTF reader on the same text written as RTF.
#include "BenchSupport.h"
#include "exchange/DocumentReaders.h"
#include "exchange/SafeXml.h"
#include "exchange/ZipArchive.h"
#include "platform/richtext/RichText.h"

#include <benchmark/benchmark.h>
#include <string>
#include <tuple>
#include <zip.h>

using namespace vexana;
using namespace vexana::bench;

namespace {

// An interview of `paragraphs` paragraphs of about 150 characters, every third word bold
// or italic, and a table of 200 rows: as Word writes it, and as RTF.
std::pair<std::string, std::string> interview(int paragraphs) {
    std::string body, rtf = "{\\rtf1\\ansi ";
    for (int p = 0; p < paragraphs; ++p) {
        body += "<w:p>";
        for (int w = 0; w < 24; ++w) {
            const std::string word = "word" + std::to_string((p * 24 + w) % 977) + " ";
            const char* prop = w % 3 == 0 ? "<w:b/>" : w % 3 == 1 ? "<w:i/>" : "";
            body += std::string("<w:r><w:rPr>") + prop + "</w:rPr><w:t xml:space=\"preserve\">" +
                    word + "</w:t></w:r>";
            rtf += std::string(w % 3 == 0 ? "{\\b " : w % 3 == 1 ? "{\\i " : "{") + word + "}";
        }
        body += "</w:p>";
        rtf += "\\par\n";
    }
    body += "<w:tbl>";
    for (int r = 0; r < 200; ++r) {
        body += "<w:tr><w:tc><w:p><w:r><w:t>row " + std::to_string(r) +
                "</w:t></w:r></w:p></w:tc><w:tc><w:p><w:r><w:t>answer</w:t></w:r></w:p></w:tc>"
                "</w:tr>";
        rtf += "\\trowd row " + std::to_string(r) + "\\cell answer\\cell\\row\n";
    }
    body += "</w:tbl>";
    rtf += "}";
    const std::string xml = "<?xml version=\"1.0\"?><w:document xmlns:w=\"http://schemas."
                            "openxmlformats.org/wordprocessingml/2006/main\"><w:body>" +
                            body + "</w:body></w:document>";
    // Packed with libzip as Word packs it: deflated.
    zip_source_t* src = zip_source_buffer_create(nullptr, 0, 0, nullptr);
    zip_source_keep(src);
    zip_t* z = zip_open_from_source(src, ZIP_TRUNCATE, nullptr);
    zip_file_add(z, "word/document.xml", zip_source_buffer(z, xml.data(), xml.size(), 0), 0);
    zip_close(z);
    std::string docx;
    zip_source_open(src);
    char buf[65536];
    for (zip_int64_t n; (n = zip_source_read(src, buf, sizeof buf)) > 0;)
        docx.append(buf, static_cast<std::size_t>(n));
    zip_source_close(src);
    zip_source_free(src);
    return {docx, rtf};
}

int paragraphs() {
    const char* scale = std::getenv("VEXANA_BENCH_SCALE");
    return static_cast<int>(5000 * (scale ? std::atof(scale) : 1.0));
}

void DocxAgainstUnzipAndParse(benchmark::State& state) {
    const auto made = interview(paragraphs());
    const std::string& docx = made.first;
    std::string error;
    if (!exchange::readDocx(docx, error)) state.SkipWithError(error.c_str());
    double base = 0, ours = 0;
    for (auto _ : state) {
        std::tie(base, ours) = compare(
            5,
            [&] {
                std::string e;
                const auto zip = exchange::ZipArchive::fromBytes(docx, e);
                const auto xml = zip->read("word/document.xml", 64u << 20, e);
                benchmark::DoNotOptimize(exchange::parseXml(*xml, e).get());
            },
            [&] {
                std::string e;
                benchmark::DoNotOptimize(exchange::readDocx(docx, e)->length());
            });
    }
    report(state, base, ours);
    state.counters["docx_kb"] = static_cast<double>(docx.size()) / 1024.0;
    state.counters["xml_kb"] = static_cast<double>(exchange::ZipArchive::fromBytes(docx, error)
                                                       ->read("word/document.xml", 64u << 20, error)
                                                       ->size()) /
                               1024.0;
}
BENCHMARK(DocxAgainstUnzipAndParse)->Iterations(1)->Unit(benchmark::kMillisecond);

void DocxAgainstTheSameTextAsRtf(benchmark::State& state) {
    const auto made = interview(paragraphs());
    const std::string &docx = made.first, &rtf = made.second;
    std::string error;
    if (exchange::readDocx(docx, error)->plainText() !=
        platform::RichText::fromRtf(rtf).plainText())
        state.SkipWithError("the two documents differ");
    double base = 0, ours = 0;
    for (auto _ : state) {
        std::tie(base, ours) = compare(
            5, [&] { benchmark::DoNotOptimize(platform::RichText::fromRtf(rtf).length()); },
            [&] {
                std::string e;
                benchmark::DoNotOptimize(exchange::readDocx(docx, e)->length());
            });
    }
    report(state, base, ours);
    state.counters["rtf_kb"] = static_cast<double>(rtf.size()) / 1024.0;
}
BENCHMARK(DocxAgainstTheSameTextAsRtf)->Iterations(1)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
