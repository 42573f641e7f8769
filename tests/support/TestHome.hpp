#pragma once
// The home of a test binary: the folder in QV_HOME, where the program keeps its settings,
// pictures and photo library. ctest gives every binary its own; a binary run on its own
// gets a temporary one from the shared test main (TestMain.cpp), removed when it ends, so
// QV_HOME is always set while tests run and no test touches the user's files.

#include <filesystem>
#include <string>
#include <vector>

namespace qv::testing {

// The test binary's home (QV_HOME).
std::filesystem::path testHome();

// A folder of the running test's own under the home, named after the test, empty at the
// start of the test (what an earlier run left there is removed).
std::filesystem::path freshTestFolder();

// Like freshTestFolder(), but a folder of its own under it at each run of the test in this
// process (--gtest_repeat): for tests of lines said once per path for the whole process
// (console/FailureLines.hpp), which a second run on the same paths would not see. Call it
// once a run.
std::filesystem::path freshRunFolder();

// The names of the entries directly in `folder`, sorted; none for a missing folder.
std::vector<std::string> namesIn(const std::filesystem::path& folder);

// The bytes of `file`; empty when it cannot be read.
std::string contentOf(const std::filesystem::path& file);

} // namespace qv::testing
