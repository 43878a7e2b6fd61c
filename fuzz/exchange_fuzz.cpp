#include "FuzzProject.h"
#include "analysis/DocumentSystem.h"
#include "analysis/Workspace.h"
#include "exchange/Teamwork.h"
#include "platform/Files.h"
#include "store/CVexDoc.h"
#include "store/ProjectDatabase.h"
#include "store/Schema.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <unistd.h>

// An exchange file as another program or a damaged disk may leave it: the bytes are the
// SQLite file itself. Importing it, as a text's fragment or as a code system, never crashes,
// never changes the file, and leaves the project whole: every coding's text and code exist
// and every counter says how many codings there are. Each import is undone again, so the
// project stays small.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace vexana;
    using namespace vexana::store;
    static CVexDoc* doc = &fuzz::fuzzProject("exchange");
    static analysis::Workspace ws(*doc);
    static const std::int32_t text = [] {
        const std::int32_t group = ws.documents().NewTextGroup();
        return ws.documents().CreateTextWith(
            group, "Anna", "{\\rtf1 Anna works at a bakery.\\par She has two children.\\par}");
    }();
    static const std::string path =
        "/tmp/vexana-exchange-fuzz-" + std::to_string(::getpid()) + ".vxe";
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    if (!platform::writeFileAtomic(path, bytes).empty()) return 0;

    exchange::Teamwork team(ws);
    TopicStore& s = doc->store();
    for (const bool asCodeSystem : {false, true}) {
        const auto n =
            asCodeSystem ? team.ImportCodeSystem(path) : team.ImportText(text, path, false);
        if (platform::readFile(path) != bytes) __builtin_trap();
        for (std::int32_t c : s.ListIds(TopicId::Codings)) {
            if (!s.GetTopic(TopicId::Texts)
                     ->contains(s.GetInt(TopicId::Codings, c, CodingField::Text)))
                __builtin_trap();
            if (!s.GetTopic(TopicId::Codes)
                     ->contains(s.GetInt(TopicId::Codings, c, CodingField::Code)))
                __builtin_trap();
        }
        for (std::int32_t c : s.ListIds(TopicId::Codes))
            if (s.GetInt(TopicId::Codes, c, CodeField::Codes) !=
                static_cast<std::int32_t>(s.FindIds(TopicId::Codings, TopicId::Codes, c).size()))
                __builtin_trap();
        if (s.GetInt(TopicId::Texts, text, TextField::Codes) !=
            static_cast<std::int32_t>(s.FindIds(TopicId::Codings, TopicId::Texts, text).size()))
            __builtin_trap();
        if (n && doc->canUndo() && !doc->Undo()) __builtin_trap();
    }
    platform::removeFile(path);
    ProjectDatabase::removeSideFiles(path);
    return 0;
}
