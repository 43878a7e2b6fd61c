#include "CommandScope.h"

#include "store/CVexDoc.h"

#include <QString>

namespace vexana::shell {

std::string CommandStack::nameOf(const QString& text) {
    QString name;
    name.reserve(text.size());
    // "&&" is a shown ampersand; a single '&' only marks the mnemonic.
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == '&') {
            if (i + 1 < text.size() && text[i + 1] == '&') name += '&', ++i;
            continue;
        }
        name += text[i];
    }
    name = name.trimmed();
    while (name.endsWith('.') || name.endsWith(QChar(0x2026)))
        name.chop(1);
    return name.trimmed().toStdString();
}

CommandScope::CommandScope(CommandStack& stack, std::string name, Kind kind) : stack_(stack) {
    if (kind == Kind::Apart)
        for (std::size_t i = 0; i < stack_.open_.size(); ++i) {
            CommandStack::Open& open = stack_.open_[i];
            if (!open.begun) continue;
            // The history counts depth only; the last end closes the command's step.
            stack_.doc_.endCommand();
            open.begun = false;
            paused_.push_back(i);
        }
    stack_.doc_.beginCommand(name);
    stack_.open_.push_back({std::move(name), true});
}

CommandScope::~CommandScope() {
    stack_.open_.pop_back();
    stack_.doc_.endCommand();
    // Outermost first: the first to begin again names the rest of its command.
    for (std::size_t i : paused_) {
        CommandStack::Open& open = stack_.open_[i];
        stack_.doc_.beginCommand(open.name);
        open.begun = true;
    }
    if (stack_.open_.empty() && stack_.whenIdle) stack_.whenIdle();
}

} // namespace vexana::shell
