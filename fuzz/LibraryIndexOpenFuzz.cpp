// The photo library's opening over any library.sqlite. An index it refuses is set aside
// unchanged (its journal files with it) and a new one made; an index it accepts keeps its
// assets, each with an identifier and a file inside the library. Either way the library
// then takes a new asset, and fetches give it; only an index the app says it opened for
// reading (one of a newer version of the app, or one SQLite itself will only read, such as a
// header whose write version it does not know) takes none, and a newer version's index is
// never set aside.

#include "platform/console/Console.hpp"
#include "platform/dispatch/VirtualDispatch.hpp"
#include "platform/imaging/Jpeg.hpp"
#include "platform/permissions/Permissions.hpp"
#include "platform/photos/PhotoLibrary.hpp"
#include "support/FuzzCheck.hpp"
#include "support/ScratchFolder.hpp"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <string>

using namespace qv::platform;
using qv::fuzz::ScratchFolder;

namespace {

const ScratchFolder& scratch() {
    static const ScratchFolder folder("library_index_open");
    return folder;
}

// A picture to add: a small grey JPEG.
const std::string& picture() {
    static const std::string jpeg = [] {
        imaging::FileData data;
        RgbaImage image(8, 8, 8);
        for (std::size_t y = 0; y < 8; ++y) {
            std::fill(image.row8(y).begin(), image.row8(y).end(), std::uint8_t(128));
        }
        if (auto encoded = imaging::encodeJpeg(image, 90, {})) {
            data = *encoded;
        }
        return std::string(data.begin(), data.end());
    }();
    return jpeg;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    ::unsetenv("QV_PERMISSIONS");
    const ScratchFolder& folder = scratch();
    folder.clear();
    const auto library = folder.path() / "Photos";
    std::filesystem::create_directories(library);
    const std::string input(reinterpret_cast<const char*>(data), size);
    std::ofstream(library / "library.sqlite", std::ios::binary) << input;
    const auto source = folder.write("new.JPG", picture());
    const ConsoleCapture quiet;

    VirtualDispatch dispatch; // the library's queue runs here, in order
    Permissions permissions(folder.path() / "permissions.json", {"photos=authorized"});
    PhotoLibrary photos(library, permissions);
    dispatch.runUntilIdle(); // the opening
    const FetchResult before = photos.fetchAssets();
    bool refused = false;
    for (const auto& entry : std::filesystem::directory_iterator(library)) {
        const std::string name = entry.path().filename().string();
        if (name.starts_with("library.sqlite.corrupt_") && !name.ends_with("-wal") &&
            !name.ends_with("-shm")) {
            refused = true;
            std::ifstream in(entry.path(), std::ios::binary);
            QV_FUZZ_CHECK(std::string(std::istreambuf_iterator<char>(in), {}) == input);
        }
    }
    QV_FUZZ_CHECK(!refused || before.count() == 0);
    for (const Asset& asset : before.assets()) {
        QV_FUZZ_CHECK(!asset.localIdentifier.empty());
        QV_FUZZ_CHECK(asset.file.lexically_relative(library).native().rfind("..", 0) != 0);
    }

    const std::string said = quiet.text();
    const bool readOnly = said.find(" is read-only (") != std::string::npos;
    const bool newer =
        said.find(" is read-only (it was made by a newer version of this app") != std::string::npos;
    QV_FUZZ_CHECK(!newer || !refused);
    bool added = false;
    photos.createAsset(source, [&](bool success, auto) { added = success; });
    dispatch.runUntilIdle();
    QV_FUZZ_CHECK(added != readOnly);
    QV_FUZZ_CHECK(photos.fetchAssets().count() == before.count() + (added ? 1 : 0));
    return 0;
}
