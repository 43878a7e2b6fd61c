#include "PrintDocuments.h"

#include "store/Schema.h"
#include "store/TopicStore.h"

#include <algorithm>

namespace vexana::browser {

using namespace store;

std::vector<ProjectInfoRow> projectInformation(const TopicStore& s) {
    return {{"\tText Groups\t", s.RecordCount(TopicId::TextGroups)},
            {"\tTexts\t\t", s.RecordCount(TopicId::Texts)},
            {"\tVariables\t\t", s.CountVariables(TopicId::Texts)},
            {"\tSets\t\t\t", s.RecordCount(TopicId::TextSets)},
            {"\tLinks\t\t\t", s.RecordCount(TopicId::TextLinks)},
            {"\tCodes\t\t", s.RecordCount(TopicId::Codes)},
            {"\tCoded Segments\t\t", s.RecordCount(TopicId::Codings)},
            {"\tMemos\t\t", s.RecordCount(TopicId::Memos)}};
}

platform::RichText projectInformationSheet(const TopicStore& s) {
    std::string text = "\n\nProject Information\n\n\n";
    for (const ProjectInfoRow& row : projectInformation(s))
        text += row.label + std::to_string(row.count) + "\n";
    platform::CharFormat f;
    f.font = "Arial";
    f.size = 30;
    return platform::RichText::fromPlain(text, f);
}

} // namespace vexana::browser
