// ui_gallery <out.png> [scale]: renders the gallery page at 390 x 844 points.

#include "Gallery.hpp"
#include "platform/ui/scene/ViewTree.hpp"

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
    using namespace qv::platform::ui;
    if (argc < 2) {
        std::fprintf(stderr, "usage: ui_gallery <out.png> [scale]\n");
        return 2;
    }
    SceneOptions options;
    options.safeAreaInsets = {47, 0, 34, 0};
    options.scale = argc > 2 ? std::atof(argv[2]) : 2.0;
    ViewTree tree(gallery::page(), options);
    std::string error;
    if (!tree.writePng(argv[1], &error)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return 1;
    }
    return 0;
}
