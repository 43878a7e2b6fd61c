#include "AppSettings.h"

#include "platform/Files.h"
#include "platform/Utf8.h"

#include <algorithm>
#include <cctype>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <unistd.h>

namespace vexana::store {

namespace {
constexpr const char* MainWindow = "MainWindow";
constexpr const char* Project = "Project";
constexpr const char* Qnt = "QNT";

std::string withSeparator(std::string dir) {
    if (dir.empty() || dir.back() != '/') dir += '/';
    return dir;
}
} // namespace

bool parseIntList(const std::string& text, int* out, int count) {
    std::size_t i = 0;
    for (int k = 0; k < count; ++k) {
        while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i])))
            ++i;
        bool negative = false;
        if (i < text.size() && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
        if (i >= text.size() || !std::isdigit(static_cast<unsigned char>(text[i]))) return false;
        long long n = 0;
        while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i]))) {
            n = n * 10 + (text[i++] - '0');
            if (n > INT_MAX) return false;
        }
        out[k] = static_cast<int>(negative ? -n : n);
        while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i])))
            ++i;
        if (k + 1 < count) {
            if (i >= text.size() || text[i] != ',') return false;
            ++i;
        }
    }
    return true;
}

std::optional<WindowPlacement> WindowPlacement::parse(const std::string& text) {
    int v[10];
    if (!parseIntList(text, v, 10) || v[0] < 0 || v[1] < 0) return std::nullopt;
    WindowPlacement p;
    p.flags = static_cast<unsigned>(v[0]);
    p.showCmd = static_cast<unsigned>(v[1]);
    p.minX = v[2];
    p.minY = v[3];
    p.maxX = v[4];
    p.maxY = v[5];
    p.left = v[6];
    p.top = v[7];
    p.right = v[8];
    p.bottom = v[9];
    return p;
}

std::string WindowPlacement::format() const {
    char buf[160];
    std::snprintf(buf, sizeof buf, "%u,%u,%d,%d,%d,%d,%d,%d,%d,%d", flags, showCmd, minX, minY,
                  maxX, maxY, left, top, right, bottom);
    return buf;
}

void RecentProjects::add(const std::string& path) {
    std::erase(entries_, path);
    entries_.insert(entries_.begin(), path);
    if (entries_.size() > maxEntries) entries_.resize(maxEntries);
}

void RecentProjects::assign(const std::vector<std::string>& paths) {
    entries_.clear();
    for (const auto& p : paths) {
        if (p.empty() || std::find(entries_.begin(), entries_.end(), p) != entries_.end()) continue;
        if (entries_.size() == maxEntries) break;
        entries_.push_back(p);
    }
}

std::string RecentProjects::menuText(int item) const {
    std::string text = "&";
    text += std::to_string(item);
    text += ' ';
    text += pathForItem(item);
    return text;
}

std::string RecentProjects::pathForItem(int item) const {
    if (item < 1 || item > menuItems || static_cast<std::size_t>(item) >= entries_.size())
        return {};
    return entries_[static_cast<std::size_t>(item)];
}

AppSettings::AppSettings(std::string path) : file_(std::move(path)) {}

std::string AppSettings::defaultPath() {
    if (const char* v = std::getenv("VEXANA_SETTINGS"); v && *v) return v;
    return platform::userConfigDir() + "/vexana/vexapp.ini";
}

std::string AppSettings::startupDirectory() {
    char buf[4096];
    if (!::getcwd(buf, sizeof buf)) return "./";
    return withSeparator(buf);
}

void AppSettings::load() {
    file_.load();
}
std::string AppSettings::save() const {
    if (file_.path().empty()) return "The settings cannot be saved: no settings file is named.";
    const std::string why = file_.save();
    return why.empty() ? why : "The settings cannot be saved to " + file_.path() + ": " + why + ".";
}

WindowPlacement AppSettings::windowPos(const std::string& section,
                                       const WindowPlacement& fallback) const {
    return WindowPlacement::parse(file_.readString(section, "WindowPos")).value_or(fallback);
}

void AppSettings::setWindowPos(const std::string& section, const WindowPlacement& pos) {
    file_.writeString(section, "WindowPos", pos.format());
}

WindowPlacement AppSettings::mainWindowDefault() {
    return WindowPlacement{};
}

WindowPlacement AppSettings::memoDialogDefault() {
    WindowPlacement p;
    p.showCmd = 1;
    return p;
}

int AppSettings::buttonState() const {
    return file_.readInt(MainWindow, "ButtonState", 1);
}
int AppSettings::viewState() const {
    return file_.readInt(MainWindow, "ViewState", 30);
}
int AppSettings::oldViewState() const {
    return file_.readInt(MainWindow, "OldViewState", 30);
}

int AppSettings::splitter(int n) const {
    return file_.readInt(MainWindow, "Splitter " + std::to_string(n), 350);
}

int AppSettings::toolbarWidth(int n) const {
    const int fallback = n == 1 ? 350 : 430;
    const int v = file_.readInt(MainWindow, "ToolBar" + std::to_string(n), fallback);
    return n == 2 && v > 500 ? 430 : v;
}

void AppSettings::setMainWindow(int buttonState, int viewState, int oldViewState,
                                const int splitters[3], const int toolbars[3]) {
    file_.writeInt(MainWindow, "ButtonState", buttonState);
    file_.writeInt(MainWindow, "ViewState", viewState);
    file_.writeInt(MainWindow, "OldViewState", oldViewState);
    for (int i = 0; i < 3; ++i) {
        file_.writeInt(MainWindow, "Splitter " + std::to_string(i + 1), splitters[i]);
        file_.writeInt(MainWindow, "Toolbar" + std::to_string(i + 1), toolbars[i]);
    }
}

std::vector<std::string> AppSettings::recentProjects() const {
    std::vector<std::string> paths;
    for (int n = 1; n <= 10; ++n) {
        std::string path = file_.readString(Project, "Path" + std::to_string(n));
        // Earlier versions wrote paths that fit Windows-1252 in it: such a path names no file
        // as it stands, but does once read as Windows-1252.
        if (!path.empty() && !platform::isValidUtf8(path) && !platform::fileExists(path))
            if (std::string converted = platform::cp1252ToUtf8(path);
                platform::fileExists(converted))
                path = std::move(converted);
        paths.push_back(std::move(path));
    }
    RecentProjects list;
    list.assign(paths);
    return list.entries();
}

void AppSettings::setRecentProjects(const std::vector<std::string>& paths) {
    // Keys are rewritten where they stand, so an unchanged list leaves the file as it was.
    for (std::size_t n = 1; n <= 10; ++n) {
        const std::string key = "Path" + std::to_string(n);
        if (n <= paths.size())
            file_.writeString(Project, key, paths[n - 1]);
        else
            file_.removeKey(Project, key);
    }
}

std::string AppSettings::programOptions() const {
    return file_.readString(Project, "Options");
}
void AppSettings::setProgramOptions(const std::string& options) {
    file_.writeString(Project, "Options", options);
}

std::string AppSettings::dictionaryPath() const {
    const std::string v = file_.readString(Qnt, "Dictionar");
    return v.empty() ? startupDirectory() + "Default.vxl" : v;
}

std::string AppSettings::validateDir() const {
    const std::string v = file_.readString(Qnt, "ValidateDir");
    return v.empty() ? "C:\\Validate.rtf" : v;
}

std::string AppSettings::delimiters() const {
    // Characters, not a file name: an 8-bit value from an older file is Windows-1252.
    return platform::decodeTextFile(file_.readString(Qnt, "Delimiters"));
}

int AppSettings::qntFlag(const std::string& key) const {
    return file_.readInt(Qnt, key, 0) != 0 ? 1 : 0;
}

std::string AppSettings::stopListPath() {
    return startupDirectory() + "StopList.txt";
}

std::pair<int, int> AppSettings::segmentsCtrl() const {
    int v[2] = {1, 50};
    int parsed[2];
    if (parseIntList(file_.readString("SegmentsCtrl", "Settings"), parsed, 2)) {
        v[0] = parsed[0];
        v[1] = parsed[1];
    }
    return {v[0], v[1]};
}

AppSettings::TextCoder AppSettings::textCoderWindow() const {
    TextCoder t;
    int parsed[3];
    if (parseIntList(file_.readString("TextCoderWindow", "Settings"), parsed, 3)) {
        t.stripesFirst = parsed[0];
        t.width = parsed[1];
        t.labels = parsed[2];
    }
    t.tint = file_.readString("TextCoderWindow", "Tint") != "0";
    return t;
}

void AppSettings::setSegmentsCtrl(int first, int width) {
    file_.writeString("SegmentsCtrl", "Settings",
                      std::to_string(first) + ", " + std::to_string(width));
}

void AppSettings::setTextCoderWindow(const TextCoder& t) {
    file_.writeString("TextCoderWindow", "Settings",
                      std::to_string(t.stripesFirst) + ", " + std::to_string(t.width) + ", " +
                          std::to_string(t.labels));
    file_.writeString("TextCoderWindow", "Tint", t.tint ? "1" : "0");
}

std::string AppSettings::conditionData() const {
    return file_.readString(logActivationSection, "Data");
}

std::string AppSettings::conditionFolder() const {
    return file_.readString(logActivationSection, "DefaultPath");
}

void AppSettings::setCondition(const std::string& data, const std::string& folder) {
    file_.writeString(logActivationSection, "Data", data);
    file_.writeString(logActivationSection, "DefaultPath", folder);
}

} // namespace vexana::store
