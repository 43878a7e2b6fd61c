#include "Command.h"
#include "platform/Files.h"
#include "platform/richtext/RichText.h"

#include <ostream>

namespace vexana::cli {

namespace {

using platform::RichText;

class RtfToTextCommand : public Command {
public:
    const char* name() const override { return "rtf2txt"; }
    const char* summary() const override { return "print the plain text of an RTF file"; }
    std::string usage() const override {
        return "Usage: vexana-cli rtf2txt [--offsets] FILE\n"
               "Prints the plain form of FILE (RTF, or plain text) as VEXANA counts it, one line\n"
               "per paragraph. With --offsets each line is \"START END\", a tab and the\n"
               "paragraph's text, where START and END are the character offsets of the\n"
               "paragraph's first character and of its closing paragraph end.\n";
    }
    int run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) override {
        std::vector<std::string> files;
        bool offsets = false;
        for (const auto& a : args) {
            if (a == "--offsets")
                offsets = true;
            else
                files.push_back(a);
        }
        if (const int status = checkArguments(*this, args, offsets ? 2 : 1, out, err); status >= 0)
            return status;
        const auto bytes = platform::readFile(files[0]);
        if (!bytes) {
            err << "The file " << files[0] << " cannot be read.\n";
            return 1;
        }
        const RichText text = RichText::fromRtf(*bytes);
        for (int p = 0; p < text.paragraphCount(); ++p) {
            const auto [start, end] = text.paragraphRange(p);
            // The last paragraph is only a line when it holds something.
            if (p + 1 == text.paragraphCount() && start == end) break;
            if (offsets) out << start << ' ' << end << '\t';
            out << text.text(start, end) << '\n';
        }
        return 0;
    }
};

} // namespace

std::unique_ptr<Command> makeRtfToTextCommand() {
    return std::make_unique<RtfToTextCommand>();
}

} // namespace vexana::cli
