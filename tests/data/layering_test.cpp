// The layers depend downwards only: platform <- data <- analysis <- logger <- viewer / cli. A
// reader never reaches up for laps or courses, and the core builds without the viewer. The
// logger's setup files carry the course's line and the lap marks, so it sits over the analysis.
#include <filesystem>
#include <regex>

#include "tests/test_support.h"

namespace qvtk::test {
namespace {

TEST(Layering, EachFolderIncludesOnlyTheLayersBelowIt) {
    const std::pair<const char*, std::vector<std::string>> allowed[] = {
        {"platform", {"platform"}},
        {"data", {"data", "platform"}},
        {"analysis", {"analysis", "data", "platform"}},
        {"logger", {"logger", "analysis", "data", "platform"}},
    };
    const std::regex include(R"(#include "(\w+)/)");
    for (const auto& [folder, below] : allowed) {
        for (const auto& entry :
             std::filesystem::directory_iterator(std::filesystem::path(QVTK_SOURCE_DIR) / folder)) {
            const std::string text = ReadWholeFile(entry.path().string());
            for (std::sregex_iterator m(text.begin(), text.end(), include), end; m != end; ++m)
                EXPECT_NE(std::find(below.begin(), below.end(), (*m)[1].str()), below.end())
                    << entry.path().filename() << " includes " << (*m)[1];
        }
    }
}

} // namespace
} // namespace qvtk::test
