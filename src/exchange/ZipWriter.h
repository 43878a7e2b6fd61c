#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace vexana::exchange {

// A ZIP archive built in memory (deflated members), so a file is only ever written whole.
class ZipWriter {
public:
    struct Member {
        std::string name;
        std::string data;
        bool deflate = true;
    };

    // deflate false: stored as it is (a copy that matters less than the time to pack it).
    void add(std::string name, std::string data, bool deflate = true) {
        members_.push_back({std::move(name), std::move(data), deflate});
    }
    const std::vector<Member>& members() const { return members_; }

    // The archive's bytes; false with why in error when the library refuses.
    bool build(std::string& out, std::string& error) const;

private:
    std::vector<Member> members_;
};

} // namespace vexana::exchange
