#pragma once
// Where a test writes a picture shown in the docs: refreshed under docs/ only on request
// (QV_UPDATE_DOCS=1); otherwise a temporary file, removed again, so a test run leaves the
// tree clean.

#include <string>

namespace qv::testing {

class DocsPicture {
public:
    // `name` is the picture's file name under docs/ ("components.png").
    explicit DocsPicture(const std::string& name);
    ~DocsPicture(); // removes the temporary picture
    DocsPicture(const DocsPicture&) = delete;
    DocsPicture& operator=(const DocsPicture&) = delete;

    // The file to write the picture to.
    const std::string& path() const { return path_; }

private:
    bool refreshDocs_;
    std::string path_;
};

} // namespace qv::testing
