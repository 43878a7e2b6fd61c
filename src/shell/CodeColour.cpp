#include "CodeColour.h"

#include "analysis/CodeSystem.h"
#include "store/Schema.h"
#include "store/TopicStore.h"

namespace vexana::shell {

QColor codeColour(const store::TopicStore& s, std::int32_t code) {
    const analysis::Rgb rgb = analysis::CodeSystem::DisplayColour(
        s.GetInt(store::TopicId::Codes, code, store::CodeField::Type));
    return QColor(rgb.red, rgb.green, rgb.blue);
}

} // namespace vexana::shell
