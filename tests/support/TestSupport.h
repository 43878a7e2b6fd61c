#pragma once

#include "store/UserInterface.h"

#include <deque>
#include <string>
#include <utility>
#include <vector>

namespace vexana::test {

// A fresh folder, removed with everything in it when the test ends.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& path() const { return path_; }
    std::string file(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

std::string readAll(const std::string& path);
void writeAll(const std::string& path, const std::string& bytes);

// Answers from a script and records everything the core says.
class ScriptedUserInterface : public store::UserInterface {
public:
    struct Message {
        std::string text;
        store::MessageIcon icon;
    };

    std::vector<Message> messages;
    std::vector<std::string> progress; // texts, in order
    std::vector<store::FileDialog> dialogs;
    std::vector<std::string> questions;

    std::deque<std::string> files; // answers to chooseFile, in order; empty: cancelled
    std::deque<bool> answers;      // answers to question; none left: the second button
    std::deque<double> numbers;    // answers to askNumber; none left: cancelled
    store::StartChoice start;
    int startDialogs = 0;

    void message(const std::string& text, store::MessageIcon icon) override {
        messages.push_back({text, icon});
    }
    bool question(const std::string& text, const std::string&, const std::string&) override;
    std::string chooseFile(store::FileDialog dialog) override;
    std::vector<std::string> chooseFiles(store::FileDialog dialog) override {
        dialogs.push_back(dialog);
        return std::exchange(fileLists, {});
    }
    std::vector<std::string> fileLists; // the answer to the next chooseFiles
    store::StartChoice startDialog(const std::vector<std::string>&) override {
        ++startDialogs;
        return start;
    }
    bool askNumber(const std::string& title, const std::string&, double& value) override {
        questions.push_back(title);
        if (numbers.empty()) return false;
        value = numbers.front();
        numbers.pop_front();
        return true;
    }
    void progressOpen() override {}
    void progressText(const std::string& text) override { progress.push_back(text); }
    void progressCount(long) override {}
    void progressClose() override {}
    void waitCursor(bool) override {}

    bool said(const std::string& text) const;
};

} // namespace vexana::test
