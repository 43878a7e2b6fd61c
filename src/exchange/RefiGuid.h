#pragma once

#include <string>
#include <string_view>

namespace vexana::store {
class CVexDoc;
}

namespace vexana::exchange {

// The project's own GUID (setup key "ProjectGUID"), made and kept the first time it is asked
// for; a project that cannot be written gets one for this time only.
std::string projectGuid(store::CVexDoc& doc);

// A random GUID (version 4), upper case with hyphens.
std::string randomGuid();

// The GUID of one object of the project: the same project, kind and key give the same GUID on
// every export, so another tool recognises what it has seen before.
std::string derivedGuid(std::string_view project, std::string_view kind, std::string_view key);
std::string derivedGuid(std::string_view project, std::string_view kind, long long id);

// Whether text has the form of a GUID in the exchange files (with or without braces), and the
// form without braces in upper case by which two spellings of one GUID compare equal.
bool isGuid(std::string_view text);
std::string guidKey(std::string_view text);

} // namespace vexana::exchange
