#pragma once

#include <functional>
#include <string>
#include <vector>

class QString;

namespace vexana::store {
class CVexDoc;
}

namespace vexana::shell {

// The user commands under way in the main window, outermost first.
class CommandStack {
public:
    explicit CommandStack(store::CVexDoc& doc) : doc_(doc) {}
    CommandStack(const CommandStack&) = delete;
    CommandStack& operator=(const CommandStack&) = delete;

    // A menu item's visible text as the name of its undo step: no '&' marks, no trailing dots.
    static std::string nameOf(const QString& text);
    std::size_t depth() const { return open_.size(); }
    // Called when the outermost command has ended: only then can its step be undone.
    std::function<void()> whenIdle;

private:
    friend class CommandScope;
    struct Open {
        std::string name;
        bool begun = true;
    };
    store::CVexDoc& doc_;
    std::vector<Open> open_;
};

// What changes while the scope lives is one step of the project's undo history under name
// (the outermost scope's, when scopes nest). An Apart scope is a step of its own even inside
// another command: an edited text saved on the way to another command is undone by itself.
class CommandScope {
public:
    enum class Kind { Within, Apart };
    CommandScope(CommandStack& stack, std::string name, Kind kind = Kind::Within);
    ~CommandScope();
    CommandScope(const CommandScope&) = delete;
    CommandScope& operator=(const CommandScope&) = delete;

private:
    CommandStack& stack_;
    std::vector<std::size_t> paused_; // the commands closed around an Apart scope
};

} // namespace vexana::shell
