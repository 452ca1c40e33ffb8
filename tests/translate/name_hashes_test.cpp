// The set of name hashes: a name added is found again, and names that differ
// in any byte of any length, the tail bytes that are loaded overlapping
// included, do not meet (a meeting is allowed, but would send every part the
// long way if it were common).
#include "name_hashes.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

TEST(NameHashes, NamesThatDifferInOneByteOfAnyLengthDoNotMeet)
{
    std::vector<std::string> names{""};
    for (size_t length = 1; length <= 24; ++length) {
        const std::string base(length, 'a');
        for (size_t at = 0; at < length; ++at) {
            for (char c : {'a', 'b', '1', '\xB2'}) {
                std::string name = base;
                name[at] = c;
                if (c != 'a' || at == 0)
                    names.push_back(name);
            }
        }
    }
    NameHashes hashes(names.size());
    for (const std::string& name : names)
        EXPECT_TRUE(hashes.insert(name)) << '"' << name << "\" met a name added before it";
    for (const std::string& name : names)
        EXPECT_TRUE(hashes.mayContain(name)) << name;
    EXPECT_FALSE(hashes.insert("aaaa")) << "a name added twice meets itself";
    EXPECT_FALSE(hashes.mayContain("Sketch1"));
}

} // namespace
