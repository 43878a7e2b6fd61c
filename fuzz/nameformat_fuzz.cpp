#include "store/NameFormat.h"
#include "store/SchemaSetup.h"
#include "store/TopicStore.h"

#include <cstddef>
#include <cstdint>
#include <string>

// Any format text compiles, and composing names with it never fails, loops or overruns,
// even over a parent chain that loops back on itself.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace vexana::store;
    const std::string format(reinterpret_cast<const char*>(data), size);
    (void)compileNameFormat(format);
    static TopicStore* store = [] {
        auto* s = new TopicStore;
        buildMemoryProject(*s);
        RecordCursor c;
        s->NewRecord(TopicId::Codes, c);
        c.setText(CodeField::Name, "A");
        c.setInt(CodeField::Parent, 2);
        s->Save(c);
        s->NewRecord(TopicId::Codes, c);
        c.setText(CodeField::Name, "B");
        c.setInt(CodeField::Parent, 1);
        s->Save(c);
        return s;
    }();
    Topic* codes = store->GetTopic(TopicId::Codes);
    codes->setFormats(format, format, format);
    const std::string name = store->GetName(TopicId::Codes, 1, true);
    const std::string note = store->GetAnnotation(TopicId::Codes, 2);
    if (name.size() > 511 * 4 || note.size() > 511 * 4) __builtin_trap();
    return 0;
}
