#pragma once

#include "DocumentSystem.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace vexana::analysis {

class Workspace;

struct Rgb {
    int red, green, blue;
    bool operator==(const Rgb&) const = default;
};

// The hierarchy of codes: creation, lookup by path, activation, colours, overviews.
class CodeSystem {
public:
    explicit CodeSystem(Workspace& ws) : ws_(ws) {}

    // A new code below parent (0: top level); an empty name gives "Code <id>", another is
    // shortened to 31 characters. Returns the id, 0 on failure.
    std::int32_t NewCode(std::int32_t parent, std::string_view name, bool rename);
    // Finds a code by a "\"-separated path below parent; creates missing levels when asked.
    std::int32_t FindCodeByPath(std::int32_t parent, std::string_view path, bool create);
    // The same with names compared without case (the preprocessor's rule).
    std::int32_t ResolvePathIgnoringCase(std::int32_t parent, std::string_view path);

    bool ActivateCode(std::int32_t code, bool on);
    // One code's active bit, without its subtree and without a rebuild; true when it changed.
    bool SetActiveBit(std::int32_t code, bool on);
    void DeactivateEveryCode();
    bool ActivateAllCodes(bool on);
    bool ToggleCode(std::int32_t code);
    bool SetCodeColour(std::int32_t code, int colour);

    std::vector<std::int32_t> Children(std::int32_t parent) const;
    // The code and every code below it, depth first.
    std::vector<std::int32_t> Subtree(std::int32_t code) const;
    std::string FullName(std::int32_t code) const;

    Overview CodingsOverview(std::int32_t code) const; // 0: all codes
    Overview MemosOverview(std::int32_t code) const;   // 0: all codes

    static int Colour(int type) { return type % 1000000; }
    static Rgb DisplayColour(int type);
    static int IconIndex(int type, bool active);

private:
    bool setActive(std::int32_t code, bool on, int depth);
    std::int32_t createChild(std::int32_t parent, std::string_view name);
    std::int32_t childNamed(std::int32_t parent, const std::string& level, bool ignoreCase) const;

    Workspace& ws_;
};

// Trims, cuts at the last blank before position n (at n without one), cuts at the first
// line feed together with the character before it, and turns tabs into blanks.
std::string shortenName(std::string_view name, std::size_t n);

} // namespace vexana::analysis
