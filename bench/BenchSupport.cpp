#include "BenchSupport.h"

#include "ProjectGenerator.h"

#include <filesystem>
#include <iostream>

namespace vexana::bench {

std::string workingCopy(const std::string& source, const std::string& name) {
    const std::string target = benchDirectory() + "/" + name;
    std::filesystem::remove(target);
    std::filesystem::copy_file(source, target);
    return target;
}

const std::string& standardProject() {
    static const std::string path = [] {
        const ProjectShape shape = ProjectShape::fromEnvironment();
        const std::string p = benchDirectory() + "/standard-v1-" + std::to_string(shape.texts) +
                              "-" + std::to_string(shape.codings) + ".vxp";
        if (!std::filesystem::exists(p)) {
            const std::string tmp = p + ".part";
            std::filesystem::remove(tmp);
            std::cerr << "generating " << p << " ...\n";
            const std::string err = generateProject(tmp, shape);
            if (!err.empty()) {
                std::cerr << err << "\n";
                std::exit(1);
            }
            std::filesystem::rename(tmp, p);
        }
        return p;
    }();
    return path;
}

} // namespace vexana::bench
