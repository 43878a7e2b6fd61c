#pragma once

#include "platform/richtext/RichText.h"

#include <string>
#include <vector>

namespace vexana::store {
class TopicStore;
}

namespace vexana::browser {

// One line of the project information sheet: the label as the sheet prints it (tabs and all)
// and its count.
struct ProjectInfoRow {
    std::string label;
    int count = 0;
};
std::vector<ProjectInfoRow> projectInformation(const store::TopicStore& store);
// The sheet: Arial 15 pt, two empty lines, "Project Information", three empty lines, a row per
// count.
platform::RichText projectInformationSheet(const store::TopicStore& store);

} // namespace vexana::browser
