#include "files/FoldedNames.h"
#include "platform/qt/CaseFold.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

TEST(FoldedNames, FindsEveryNameEqualIgnoringCaseInTheOrderAdded)
{
    CFoldedNames names;
    const std::vector<std::string> added = {
        "Report.TXT",        // 0
        "docs",              // 1
        "report.txt",        // 2
        "\xc3\x89t\xc3\xa9", // 3: "Été" in UTF-8
        "caf\xe9",           // 4: not UTF-8, read as Latin-1
        "\xc3\xa9",          // 5: "é" in UTF-8
    };
    for (const auto& name : added)
        names.Add(name);
    const struct
    {
        std::string name;
        std::vector<size_t> found;
    } cases[] = {
        {"REPORT.txt", {0, 2}},
        {"Docs", {1}},
        {"\xc3\xa9t\xc3\x89", {3}}, // "étÉ": Unicode folding, not only ASCII
        {"CAF\xc9", {4}},           // Latin-1 É against Latin-1 é
        {"\xc3\x83\xc2\xa9", {}},   // "Ã©" spelt in UTF-8 is not the bytes of "é"
        {"\xe3\xa9", {5}},          // not UTF-8: both read as Latin-1, "ã©" either way
        {"other", {}},
        {"", {}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(names.Find(c.name), c.found) << c.name;
}

// The replace check of a job looks every listed name up among the picked
// ones: 1,000 picked against 10,000 listed must cost folds in proportion to
// their sum, not to their product.
TEST(FoldedNames, EachNameIsFoldedAtMostTwice)
{
    size_t folds = 0;
    CFoldedNames names(
        [&](std::wstring_view text)
        {
            ++folds;
            return platform::CaseFold::Fold(text);
        });
    for (int i = 0; i < 1000; ++i)
        names.Add("Picked-" + std::to_string(i) + ".bin");
    size_t matches = 0;
    for (int i = 0; i < 10000; ++i)
        matches += names.Find("picked-" + std::to_string(i * 7) + ".BIN").size();
    EXPECT_EQ(matches, 143u); // 0, 7, ..., 994
    EXPECT_LE(folds, 2u * (1000 + 10000));
}
