// Year and month folders the library cannot look into now: one it may not read, one that is
// missing, one behind a link to a disk that is not there. A row goes only when its month
// folder was read and the file is not in it; the others keep their rows, names included.

#include "PhotoTestSupport.hpp"
#include "ProcessTestSupport.hpp"
#include "platform/console/Console.hpp"
#include "platform/formatting/QuotedText.hpp"

#include <fstream>
#include <map>
#include <set>

namespace qv::platform::test {
namespace {

namespace fs = std::filesystem;

// Original name of each asset, by identifier.
std::map<std::string, std::string> namesOf(const FetchResult& result) {
    std::map<std::string, std::string> names;
    for (std::size_t i = 0; i < result.count(); ++i) {
        names[result.object(i)->localIdentifier] = result.object(i)->originalFilename;
    }
    return names;
}

class PhotoLibraryFoldersTest : public PhotoLibraryTest {
protected:
    // Two pictures of January 2024 and one of March, added under their original names.
    void addThree() {
        for (const auto& [name, date] :
             {std::pair{"QV_20240101_100000.JPG", "2024:01:01 10:00:00"},
              std::pair{"QV_20240102_100000.JPG", "2024:01:02 10:00:00"},
              std::pair{"QV_20240314_100000.JPG", "2024:03:14 10:00:00"}}) {
            ASSERT_TRUE(create(writeSource(name, makeJpeg(40, 30, date))).success);
        }
        names = namesOf(library().fetchAssets());
        ASSERT_EQ(names.size(), 3u);
        library_.reset();
    }

    // Opens the library again; what it printed.
    std::string reopened() {
        ConsoleCapture console;
        reopen();
        return console.text();
    }

    // At the next start, with the folder back: every row, name and file as before, and
    // nothing dropped or taken in.
    void expectAllBack() {
        EXPECT_EQ(reopened(), "");
        const FetchResult all = library().fetchAssets();
        EXPECT_EQ(namesOf(all), names);
        for (std::size_t i = 0; i < all.count(); ++i) {
            EXPECT_FALSE(readBytes(all.object(i)->file).empty()) << all.object(i)->file;
        }
    }

    std::map<std::string, std::string> names;
};

TEST_F(PhotoLibraryFoldersTest, AMonthFolderThatCannotBeReadKeepsItsRows) {
    addThree();
    const fs::path january = folder / "2024" / "01";
    {
        const ScopedMode locked(january, fs::perms::none);
        testing::ScopedPermissionBits asTheOwner;
        EXPECT_EQ(reopened(), "The photo library cannot read the folder " + quotedPath(january) +
                                  " (Permission denied); it keeps the 2 assets in it as they "
                                  "are\n");
        EXPECT_EQ(namesOf(library().fetchAssets()), names);
        library_.reset();
    }
    expectAllBack();
}

// Hears the library's changes: what each did to a fetch of every asset made before it.
struct ChangeRecorder : PhotoLibraryChangeObserver {
    FetchResult before;
    std::vector<FetchResultChangeDetails> details;
    void photoLibraryDidChange(const PhotoLibraryChange& change) override {
        if (auto each = change.changeDetails(before)) {
            before = each->fetchResultAfterChanges;
            details.push_back(std::move(*each));
        }
    }
};

// What has the library look at a folder again: a fetch, a change, or neither (its timer,
// 5 s after the last look, as long as a folder cannot be read).
enum class LookAgain { byAFetch, byAChange, byTheTimer };

TEST_F(PhotoLibraryFoldersTest, AFolderThatComesBackIsReadAgainAtTheNextFetchChangeOrTry) {
    addThree();
    const fs::path january = folder / "2024" / "01";
    for (const LookAgain look :
         {LookAgain::byAFetch, LookAgain::byAChange, LookAgain::byTheTimer}) {
        const char* const how[] = {"fetch", "change", "timer"};
        SCOPED_TRACE(how[int(look)]);
        // A picture copied in by hand meanwhile: a file without a row.
        const char* const uuids[] = {"3F2504E0-4F89-41D3-9A0C-0305E82C3301",
                                     "6F9619FF-8B86-D011-B42D-00C04FC964FF",
                                     "9A1B2C3D-4E5F-4A6B-8C7D-0E1F2A3B4C5D"};
        std::ofstream(january / (std::string(uuids[int(look)]) + ".JPG"), std::ios::binary)
            << readBytes(writeSource("copied.JPG", makeJpeg(40, 30, "2024:01:03 10:00:00")));
        auto recorder = std::make_shared<ChangeRecorder>();
        {
            const ScopedMode locked(january, fs::perms::none);
            testing::ScopedPermissionBits asTheOwner;
            EXPECT_NE(reopened().find("cannot read the folder " + quotedPath(january)),
                      std::string::npos);
            recorder->before = library().fetchAssets();
            library().registerChangeObserver(recorder);
            dispatch.runUntilIdle(); // still unreadable: nothing changes
            EXPECT_TRUE(recorder->details.empty());
        }
        ConsoleCapture console;
        if (look == LookAgain::byAChange) { // even one that fails
            EXPECT_FALSE(create(writeSource("notes.txt", {'h', 'i'})).success);
        } else if (look == LookAgain::byAFetch) {
            library().fetchAssets();
            dispatch.runUntilIdle();
        } else {
            dispatch.runFor(std::chrono::seconds(5));
        }
        EXPECT_EQ(console.text(),
                  "The photo library took in 1 file that had no entry in its index\n");
        const FetchResult all = library().fetchAssets();
        EXPECT_EQ(all.count(), pictureFiles(folder).size());
        ASSERT_FALSE(recorder->details.empty());
        // Its rows first, as changed, then the file taken in.
        std::set<std::string> changed;
        for (const std::size_t index : recorder->details.front().changedIndexes) {
            changed.insert(recorder->details.front()
                               .fetchResultAfterChanges.object(index)
                               ->file.parent_path());
        }
        EXPECT_EQ(changed, std::set<std::string>{january});
        EXPECT_EQ(recorder->details.back().fetchResultAfterChanges.count(), all.count());
    }
}

TEST_F(PhotoLibraryFoldersTest, AYearFolderThatCannotBeReadKeepsTheRowsOfEveryMonthInIt) {
    addThree();
    const fs::path year = folder / "2024";
    {
        const ScopedMode locked(year, fs::perms::none);
        testing::ScopedPermissionBits asTheOwner;
        EXPECT_EQ(reopened(), "The photo library cannot read the folder " + quotedPath(year) +
                                  " (Permission denied); it keeps the 3 assets in it as they "
                                  "are\n");
        EXPECT_EQ(library().fetchAssets().count(), 3u);
        library_.reset();
    }
    expectAllBack();
}

TEST_F(PhotoLibraryFoldersTest, AMissingMonthOrYearFolderKeepsItsRowsUntilItComesBack) {
    addThree();
    const fs::path march = folder / "2024" / "03";
    fs::rename(march, root / "March");
    EXPECT_EQ(reopened(), "The photo library cannot read the folder " + quotedPath(march) +
                              " (it is missing); it keeps the 1 asset in it as it is\n");
    EXPECT_EQ(library().fetchAssets().count(), 3u);
    library_.reset();
    fs::rename(root / "March", march);

    const fs::path year = folder / "2024";
    fs::rename(year, root / "2024");
    EXPECT_EQ(reopened(), "The photo library cannot read the folder " + quotedPath(year) +
                              " (it is missing); it keeps the 3 assets in it as they are\n");
    library_.reset();
    fs::rename(root / "2024", year);
    expectAllBack();
}

TEST_F(PhotoLibraryFoldersTest, AYearFolderLinkedToADiskThatIsNotThereKeepsItsRows) {
    addThree();
    const fs::path year = folder / "2024";
    const fs::path disk = root / "disk";
    fs::create_directories(disk);
    fs::rename(year, disk / "2024");
    fs::create_directory_symlink(disk / "2024", year);
    expectAllBack(); // read through the link

    fs::rename(disk, root / "unmounted");
    EXPECT_EQ(reopened(), "The photo library cannot read the folder " + quotedPath(year) +
                              " (it is a link to " + quotedPath(disk / "2024") +
                              ", which is missing); it keeps the 3 assets in it as they are\n");
    EXPECT_EQ(library().fetchAssets().count(), 3u);
    library_.reset();
    fs::rename(root / "unmounted", disk);
    expectAllBack();
}

TEST_F(PhotoLibraryFoldersTest, AFileGoneFromAFolderThatWasReadLosesItsRowAlone) {
    addThree();
    const fs::path january = folder / "2024" / "01";
    fs::path removed;
    for (const auto& entry : fs::directory_iterator(january)) {
        removed = entry.path();
    }
    fs::remove(removed);
    {
        const ScopedMode locked(folder / "2024" / "03", fs::perms::none);
        testing::ScopedPermissionBits asTheOwner;
        const std::string printed = reopened();
        EXPECT_NE(printed.find("The photo library dropped 1 asset whose file is gone\n"),
                  std::string::npos)
            << printed;
        EXPECT_NE(printed.find("(Permission denied); it keeps the 1 asset in it as it is\n"),
                  std::string::npos)
            << printed;
        EXPECT_EQ(library().fetchAssets().count(), 2u);
        library_.reset();
    }
    names.erase(removed.stem().string());
    expectAllBack();
}

TEST_F(PhotoLibraryFoldersTest, AReadOnlyIndexHidesOnlyRowsWhoseFileIsProvenGone) {
    addThree();
    {
        const ScopedMode readOnly(folder / "library.sqlite",
                                  withoutWrite(folder / "library.sqlite"));
        const ScopedMode locked(folder / "2024" / "01", fs::perms::none);
        testing::ScopedPermissionBits asTheOwner;
        const std::string printed = reopened();
        EXPECT_NE(printed.find("it keeps the 2 assets in it as they are"), std::string::npos)
            << printed;
        EXPECT_EQ(library().fetchAssets().count(), 3u);
        library_.reset();
    }
    expectAllBack();
}

} // namespace
} // namespace qv::platform::test
