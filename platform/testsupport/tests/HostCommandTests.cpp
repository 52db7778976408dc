#include "TestSupport.h"

#include <gtest/gtest.h>

// Host tools make the fixtures of many tests; their exit codes and output must be trustworthy.
TEST(HostCommand, WaitsForTheCommandAndReturnsItsCodeAndOutput)
{
    std::string output;
    EXPECT_EQ(0, testsupport::RunHostCommand("sleep 0.3; printf '%s|%s' \"a b\" 'c\\d'", &output));
    EXPECT_EQ("a b|c\\d", output);
    EXPECT_EQ(3, testsupport::RunHostCommand("exit 3"));
}

TEST(HostCommand, QuotesWindowsPathsForTheShell)
{
    testsupport::ScratchFolder folder;
    const CString path = folder / L"it's here.txt";
    ASSERT_EQ(0, testsupport::RunHostCommand("printf x > " + testsupport::ShellQuoted(path)));
    const std::vector<BYTE> bytes = testsupport::ReadAll(path);
    EXPECT_EQ(std::string("x"), std::string(bytes.begin(), bytes.end()));
}
