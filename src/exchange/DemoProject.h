#pragma once

#include <string>

namespace vexana::store {
class UserInterface;
}

namespace vexana::exchange {

// Where the demo project lives for this user.
std::string DemoProjectPath();

// The bundled demo study (interviews and field notes with their codes, and one set) as a new
// project at path. It is built beside path and moved into place only when whole, so no half-made
// demo is ever left, and an existing file is never replaced. False, after a message, otherwise.
bool BuildDemoProject(const std::string& path, store::UserInterface& ui);

// The demo project's path, built first when it is missing; empty after a message when it
// cannot be made.
std::string EnsureDemoProject(store::UserInterface& ui);

} // namespace vexana::exchange
