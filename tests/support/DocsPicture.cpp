#include "DocsPicture.hpp"

#include <cstdlib>
#include <filesystem>
#include <unistd.h>

namespace qv::testing {

DocsPicture::DocsPicture(const std::string& name) {
    const char* update = std::getenv("QV_UPDATE_DOCS");
    refreshDocs_ = update != nullptr && std::string(update) == "1";
    path_ = refreshDocs_ ? std::string(QV_SOURCE_DIR) + "/docs/" + name
                         : (std::filesystem::temp_directory_path() /
                            ("qv-" + std::to_string(::getpid()) + "-" + name))
                               .string();
}

DocsPicture::~DocsPicture() {
    if (!refreshDocs_) {
        std::error_code ignored;
        std::filesystem::remove(path_, ignored);
    }
}

} // namespace qv::testing
