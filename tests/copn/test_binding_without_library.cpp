// The binding when the library file cannot be found: nothing stops the
// program, every wrapper fails, and nothing is released that was not loaded.
#include "EveryWrapper.h"
#include "FreeLibrarySpy.h"
#include "QEL_COPN_Interface.h"

#include <gtest/gtest.h>

#include <dlfcn.h>

namespace {

TEST(BindingWithoutLibrary, EveryWrapperFailsAndDestructionFreesNothing)
{
    ASSERT_EQ(dlopen("libQEL_COPN.so", RTLD_NOW | RTLD_NOLOAD), nullptr);
    auto *copn = new TQEL_COPN_Interface;
    EXPECT_EQ(copn->LibraryHandle, nullptr);
    EXPECT_EQ(copn->BindLibrary(), 0);
#define EXPECT_SLOT_NULL(name) EXPECT_EQ(reinterpret_cast<void *>(copn->pfn##name), nullptr) << #name;
    QEL_COPN_ENTRY_POINTS(EXPECT_SLOT_NULL, EXPECT_SLOT_NULL)
#undef EXPECT_SLOT_NULL

    for (NodeIdentity &node : copn->NodeTable)
        node.Online = 1;
    const auto results = CallEveryWrapper(*copn);
    EXPECT_EQ(results.size(), 36u);
    for (const auto &[name, result] : results)
        EXPECT_EQ(result, 0) << name;
    EXPECT_EQ(copn->InterfaceHandle, 0u);
    // CloseCard (among the wrappers above) still clears the online flags.
    for (const NodeIdentity &node : copn->NodeTable)
        EXPECT_EQ(node.Online, 0u);

    delete copn;
    EXPECT_EQ(FreeLibraryCallCount(), 0);
}

} // namespace
