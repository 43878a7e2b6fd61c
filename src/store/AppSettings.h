#pragma once

#include "platform/ProfileFile.h"

#include <optional>
#include <string>
#include <vector>

namespace vexana::store {

// A stored window position: placement flags, show command, minimised and maximised
// positions and the normal rectangle.
struct WindowPlacement {
    unsigned flags = 0;
    unsigned showCmd = 3;
    int minX = 0, minY = 0, maxX = 0, maxY = 0;
    int left = 50, top = 50, right = 540, bottom = 540;

    // All ten numbers must be there, or the stored value is not used.
    static std::optional<WindowPlacement> parse(const std::string& text);
    std::string format() const;
};

// The recently opened projects, most recent first; entry 0 is the open project.
class RecentProjects {
public:
    static constexpr std::size_t maxEntries = 10;
    static constexpr int menuItems = 5;

    const std::vector<std::string>& entries() const { return entries_; }
    void add(const std::string& path);
    void assign(const std::vector<std::string>& paths);
    // Menu item n (1 to 5) shows entry n: "&n " and the path, or the prefix alone.
    std::string menuText(int item) const;
    std::string pathForItem(int item) const;

private:
    std::vector<std::string> entries_;
};

// The program's settings file: its sections, keys and defaults.
class AppSettings {
public:
    explicit AppSettings(std::string path = defaultPath());

    // VEXANA_SETTINGS when set, else vexana/vexapp.ini in the user's configuration folder.
    static std::string defaultPath();
    // The working directory at start-up, ending in a separator.
    static std::string startupDirectory();

    void load();
    // Returns the message for a failed save, naming the file and the cause; empty on success.
    std::string save() const;
    platform::ProfileFile& profile() { return file_; }
    const platform::ProfileFile& profile() const { return file_; }

    WindowPlacement windowPos(const std::string& section, const WindowPlacement& fallback) const;
    void setWindowPos(const std::string& section, const WindowPlacement& pos);
    static WindowPlacement mainWindowDefault();
    static WindowPlacement memoDialogDefault();

    int buttonState() const;
    int viewState() const;
    int oldViewState() const;
    int splitter(int n) const;     // 1 to 3
    int toolbarWidth(int n) const; // 1 to 3
    void setMainWindow(int buttonState, int viewState, int oldViewState, const int splitters[3],
                       const int toolbars[3]);

    std::vector<std::string> recentProjects() const;
    void setRecentProjects(const std::vector<std::string>& paths);

    std::string programOptions() const;
    void setProgramOptions(const std::string& options);

    std::string dictionaryPath() const;
    std::string validateDir() const;
    std::string delimiters() const;
    int qntFlag(const std::string& key)
        const; // GoList, CaseWordCount, OneWordCount, NoEmptyItems, Validate
    static std::string stopListPath();

    // "side first, width" of the Retrieved Segments window.
    std::pair<int, int> segmentsCtrl() const;
    // "stripes first, width, labels shown" of the Text Browser.
    struct TextCoder {
        int stripesFirst = 1, width = 23, labels = 1;
        // Coded passages tinted in their code's colour (a key of our own beside "Settings").
        bool tint = true;
    };
    TextCoder textCoderWindow() const;
    void setSegmentsCtrl(int first, int width);
    // Activation by variables, section "LogActivation": "Data", the last condition in its
    // text form, and "DefaultPath", the folder of the last saved condition file (ending in
    // a separator). The dialog's "WindowPos" goes through windowPos().
    static constexpr const char* logActivationSection = "LogActivation";
    std::string conditionData() const;
    std::string conditionFolder() const;
    void setCondition(const std::string& data, const std::string& folder);
    void setTextCoderWindow(const TextCoder& t);

private:
    platform::ProfileFile file_;
};

// Up to `count` comma-separated integers; false when fewer parse.
bool parseIntList(const std::string& text, int* out, int count);

} // namespace vexana::store
