#include "store/AppSettings.h"

#include <cstddef>
#include <cstdint>
#include <string>

// The settings reader must take any bytes and answer every key with a value or its default.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    vexana::store::AppSettings s("");
    s.profile().parse(std::string(reinterpret_cast<const char*>(data), size));
    (void)s.viewState();
    (void)s.toolbarWidth(2);
    (void)s.windowPos("MainWindow", vexana::store::AppSettings::mainWindowDefault());
    (void)s.recentProjects();
    (void)s.textCoderWindow();
    (void)s.segmentsCtrl();
    // What is written must read back the same.
    s.profile().writeString(
        "Project", "Options",
        std::string(reinterpret_cast<const char*>(data), size > 64 ? 64 : size));
    vexana::store::AppSettings t("");
    t.profile().parse(s.profile().serialize());
    (void)t.recentProjects();
    return 0;
}
