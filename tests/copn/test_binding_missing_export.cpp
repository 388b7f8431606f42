// The binding against a library that lacks one export (SetBaud): only that
// wrapper fails, and it calls nothing.
#include "EveryWrapper.h"
#include "QEL_COPN_Interface.h"
#include "QelDouble.h"
#include "ScriptedSuccess.h"

#include <gtest/gtest.h>

namespace {

TEST(BindingMissingExport, OnlyTheMissingExportsWrapperFails)
{
    qeldouble::Reset();
    ScriptEveryWrapperToSucceed();
    TQEL_COPN_Interface copn;
    ASSERT_NE(copn.LibraryHandle, nullptr);
    EXPECT_EQ(copn.pfnSetBaud, nullptr);
    EXPECT_NE(copn.pfnSetNodeID, nullptr);

    const auto results = CallEveryWrapper(copn);
    for (const auto &[name, result] : results)
        EXPECT_EQ(result, name == "SetBaud" ? 0 : 1) << name;
    EXPECT_EQ(qeldouble::CallCount("SetBaud"), 0u);
    EXPECT_EQ(qeldouble::Calls().size(), 24u);
}

} // namespace
