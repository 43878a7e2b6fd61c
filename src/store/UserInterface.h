#pragma once

#include <string>
#include <vector>

namespace vexana::store {

enum class MessageIcon { Information, Warning, Stop, Question };

// The project file dialogs and their fixed titles.
enum class FileDialog {
    NewProject,
    OpenProject,
    BackupProject,
    MergeProjects,
    ImportTexts,
    PreprocessTexts,
    SaveActivation,
    LoadActivation,
    ExportRtf,
    ExportVariables, // "Import Variables" (sic), *.txt
    ImportVariables, // "Import Variables", *.txt
    SaveCondition,   // "Save Logical Condition", *.loa
    OpenCondition,   // "Open Logical Condition", *.loa
    SaveSearch,      // "Save Search Settings", *.sea
    OpenSearch,      // "Open Search Settings", *.sea
    ExportMatrix,    // "Export", *.txt: the matrix of code frequencies
    OpenStopList,     // "Open Stop-Liste", *.txt
    AddStopList,      // "Add Stop-Liste", *.txt
    SaveStopList,     // "Save Stop-List", *.txt
    OpenDictionary,   // "Open Dictionary", *.vxl
    AddDictionary,    // "Add Dictionary", *.vxl
    SaveDictionary,   // "Save Dictionary", *.vxl
    SaveDocumentation,// "Coding Documentation File", *.rtf; the start folder is the whole path
    ImportArchive,   // "Import Archive", *.vxa
    // "Export Project Fragment " (save) and "Import Coded Segments/Memos " (open), *.vxe
    ExportFragment,
    ImportFragment,
    // The same titles, *.vxt
    ExportCodeSystem,
    ImportCodeSystem,
    ExportRefiProject, // "Export REFI-QDA Project", *.qdpx
    ImportRefiProject, // "Import REFI-QDA Project", *.qdpx
    ExportCodebook,    // "Export Codebook", *.qdc
    ImportCodebook     // "Import Codebook", *.qdc
};

struct StartChoice {
    // OpenDemo: the bundled demo study, built first when missing.
    enum class Kind { CreateNew, OpenExisting, OpenDemo } kind = Kind::OpenExisting;
    std::string recentPath; // a recent project chosen in the list; empty for "Other Projects..."
    // A person answered (not a script): cancelling what follows brings the dialog back.
    bool answered = false;
    // The dialog itself was cancelled: the program ends.
    bool cancelled = false;
};

// Everything the core needs from the person at the screen. The desktop shell answers with
// windows; the command line and tests answer from a script, recording what was said.
class UserInterface {
public:
    virtual ~UserInterface() = default;
    virtual void message(const std::string& text, MessageIcon icon) = 0;
    // A two-button question; true for the first button.
    virtual bool question(const std::string& text, const std::string& yes,
                          const std::string& no) = 0;
    // The same in a window with its own caption; without windows it is the question above.
    virtual bool captionedQuestion(const std::string& caption, const std::string& text,
                                   const std::string& yes, const std::string& no) {
        (void)caption;
        return question(text, yes, no);
    }
    // A file path, or empty when cancelled. Save dialogs have asked about overwriting already.
    virtual std::string chooseFile(FileDialog dialog) = 0;
    // The file name the next save dialog proposes (a text's name for its exchange file, an
    // imported archive's project title).
    virtual void proposeFileName(const std::string& name) { (void)name; }
    // Several existing files at once (the import dialogs); empty when cancelled.
    virtual std::vector<std::string> chooseFiles(FileDialog dialog) = 0;
    virtual StartChoice startDialog(const std::vector<std::string>& recentProjects) = 0;
    // A one-number dialog (a weight, say); false when cancelled. value holds the start value.
    virtual bool askNumber(const std::string& title, const std::string& prompt, double& value) = 0;
    virtual void progressOpen() = 0;
    virtual void progressText(const std::string& text) = 0;
    virtual void progressCount(long count) = 0;
    virtual void progressClose() = 0;
    virtual void waitCursor(bool on) = 0;
};

// Answers nothing and shows nothing: for code paths that run without anyone to ask.
class SilentUserInterface : public UserInterface {
public:
    void message(const std::string&, MessageIcon) override {}
    bool question(const std::string&, const std::string&, const std::string&) override {
        return false;
    }
    std::string chooseFile(FileDialog) override { return {}; }
    std::vector<std::string> chooseFiles(FileDialog) override { return {}; }
    StartChoice startDialog(const std::vector<std::string>&) override { return {}; }
    bool askNumber(const std::string&, const std::string&, double&) override { return false; }
    void progressOpen() override {}
    void progressText(const std::string&) override {}
    void progressCount(long) override {}
    void progressClose() override {}
    void waitCursor(bool) override {}
};

} // namespace vexana::store
