// A scripted world whose set-up did not take runs no search and says so, so that no test of
// "nothing is delivered" can pass because nothing ran.
#include <gtest/gtest.h>

#include "search_world.h"

namespace tarvel {
namespace {

using namespace tarvel::testing;

TEST(SearchWorldSetUp, AWorldWithoutItsApartmentRunsNoSearch) {
    ASSERT_EQ(S_OK, CoInitializeEx(nullptr, COINIT_MULTITHREADED));
    {
        SearchWorld world;
        world.setTable(pathTable({TARVEL_UTF16("C:\\a")}));
        EXPECT_FALSE(world.ready());
        EXPECT_EQ(-1, world.search());
        EXPECT_TRUE(world.instrumentation.journal().empty());
        const Journal problems = world.leftovers();
        ASSERT_FALSE(problems.empty());
        EXPECT_EQ("set-up failed: entering the apartment 0x80010106", problems[0]);
    }
    CoUninitialize();
}

TEST(SearchWorldSetUp, AWorldThatIsSetUpRunsItsSearch) {
    SearchWorld world;
    world.setTable(pathTable({TARVEL_UTF16("C:\\a")}));
    EXPECT_TRUE(world.ready());
    EXPECT_EQ(0, world.search());
    EXPECT_EQ(1u, world.host.lines.size());
    EXPECT_EQ(Journal{}, world.leftovers());
}

}  // namespace
}  // namespace tarvel
