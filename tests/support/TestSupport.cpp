#include "TestSupport.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace vexana::test {

TempDir::TempDir() {
    std::string tmpl = (std::filesystem::temp_directory_path() / "vexana-test-XXXXXX").string();
    if (!mkdtemp(tmpl.data())) throw std::runtime_error("mkdtemp failed");
    path_ = tmpl;
}

TempDir::~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
}

std::string readAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

void writeAll(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
}

bool ScriptedUserInterface::question(const std::string& text, const std::string&,
                                     const std::string&) {
    questions.push_back(text);
    if (answers.empty()) return false;
    const bool a = answers.front();
    answers.pop_front();
    return a;
}

std::string ScriptedUserInterface::chooseFile(store::FileDialog dialog) {
    dialogs.push_back(dialog);
    if (files.empty()) return {};
    std::string f = files.front();
    files.pop_front();
    return f;
}

bool ScriptedUserInterface::said(const std::string& text) const {
    for (const auto& m : messages)
        if (m.text == text) return true;
    return false;
}

} // namespace vexana::test

// fontconfig keeps its configuration for the life of the process; poppler loads it when a
// PDF names a font it does not embed.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libfontconfig.so\n";
}
