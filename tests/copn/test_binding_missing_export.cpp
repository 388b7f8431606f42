// The binding against a library that lacks SetBaud and predates the
// recording: only those wrappers fail, and they call nothing.
#include "EveryWrapper.h"
#include "QEL_COPN_Interface.h"
#include "QelDouble.h"
#include "ScriptedSuccess.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

namespace {

TEST(BindingMissingExport, OnlyTheMissingExportsWrapperFails)
{
    qeldouble::Reset();
    ScriptEveryWrapperToSucceed();
    TQEL_COPN_Interface copn;
    ASSERT_NE(copn.LibraryHandle, nullptr);
    EXPECT_EQ(copn.pfnSetBaud, nullptr);
    EXPECT_EQ(copn.pfnTrace_Start, nullptr);
    EXPECT_EQ(copn.pfnTrace_SaveRecent, nullptr);
    EXPECT_NE(copn.pfnSetNodeID, nullptr);

    const auto results = CallEveryWrapper(copn);
    const std::set<std::string> missing = {"SetBaud", "Trace_Start", "Trace_Stop", "Trace_GetStatus",
                                           "Trace_SaveRecent", "Trace_SetBlackBoxMinutes"};
    for (const auto &[name, result] : results)
        EXPECT_EQ(result, missing.count(name) != 0 ? 0 : 1) << name;
    for (const std::string &name : missing)
        EXPECT_EQ(qeldouble::CallCount(name), 0u) << name;
    EXPECT_EQ(qeldouble::Calls().size(), results.size() - missing.size());
}

} // namespace
