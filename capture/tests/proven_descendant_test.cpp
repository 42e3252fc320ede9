#include "capture/proven_descendant.h"

#include <gtest/gtest.h>

#include "capture/tests/fakes.h"

namespace quorvantel::capture {
namespace {

using testing::identity;
using testing::IdentityTable;

// The family of the root 42 (parent 1): 43 its child, 44 a grandchild of user 502,
// 99 unrelated.
IdentityTable family() {
    IdentityTable table;
    table.set(identity(42, 1, 1000, 500))
        .set(identity(43, 42, 1000, 500))
        .set(identity(45, 43, 1200))
        .set(identity(44, 43, 1300, 0, 502))
        .set(identity(99, 1, 900));
    return table;
}

TEST(CaptureProvenDescendant, FollowsParentLinksOfOneUser) {
    struct Case {
        const char* what;
        std::int32_t candidate;
        bool proven;
    };
    const Case cases[] = {
        {"the root itself", 42, true},
        {"a child started at the same moment", 43, true},
        {"a grandchild", 45, true},
        {"a grandchild of another user", 44, false},
        {"an unrelated process", 99, false},
    };
    for (const auto& c : cases) {
        IdentityTable table = family();
        EXPECT_EQ(provenDescendant(table.at(c.candidate), table.at(42), table.reader()), c.proven) << c.what;
    }
}

TEST(CaptureProvenDescendant, RefusesWhatCannotBeProven) {
    struct Case {
        const char* what;
        std::vector<ProcessIdentity> table;
        ProcessIdentity candidate;
        ProcessIdentity root;
    };
    const ProcessIdentity root = identity(42, 1, 1000);
    const Case cases[] = {
        {"an invalid candidate", {root}, ProcessIdentity{}, root},
        {"an invalid root", {root, identity(43, 42, 1001)}, identity(43, 42, 1001), ProcessIdentity{}},
        {"a candidate of another user", {root}, identity(43, 42, 1001, 0, 502), root},
        {"an ancestor of another user", {root, identity(43, 42, 1001, 0, 502)}, identity(44, 43, 1002), root},
        {"a parent started later (its identifier reused)", {root, identity(43, 42, 1001, 1)}, identity(44, 43, 1001), root},
        {"the root's identifier reused", {identity(42, 1, 1500), identity(43, 42, 1600)}, identity(43, 42, 1600), root},
        {"the root's identifier reused, microseconds apart", {identity(42, 1, 1000, 1), identity(43, 42, 1600)},
         identity(43, 42, 1600), root},
        {"a parent that is gone", {root}, identity(44, 43, 1002), root},
        {"a chain ending at the first process", {root, identity(43, 1, 1001)}, identity(44, 43, 1002), root},
        {"a chain ending without a parent", {root, identity(43, 0, 1001)}, identity(44, 43, 1002), root},
        {"a cycle", {root, identity(50, 51, 1000), identity(51, 50, 1000)}, identity(50, 51, 1000), root},
        {"a process that is its own parent", {root, identity(50, 50, 1000)}, identity(50, 50, 1000), root},
    };
    for (const auto& c : cases) {
        IdentityTable table;
        for (const auto& entry : c.table) table.set(entry);
        EXPECT_FALSE(provenDescendant(c.candidate, c.root, table.reader())) << c.what;
    }
}

TEST(CaptureProvenDescendant, AChainThatChangesOnItsSecondReadingIsNotProven) {
    struct Case {
        const char* what;
        std::int32_t pid;
        ProcessIdentity later;
    };
    const Case cases[] = {
        {"reparented", 43, identity(43, 1, 1000, 500)},
        {"replaced by a later process", 45, identity(45, 43, 1250)},
        {"exited", 43, ProcessIdentity{}},
        {"changed user", 45, identity(45, 43, 1200, 0, 502)},
        {"the root replaced", 42, identity(42, 1, 1100)},
    };
    for (const auto& c : cases) {
        IdentityTable table = family();
        const auto read = table.reader();
        const ProcessIdentity candidate = read(45);
        const ProcessIdentity root = table.at(42);
        // 45 was read once above, 43 and 42 are read once on the walk: the change
        // shows on the second reading.
        table.changeAfter(c.pid, 1, c.later);
        EXPECT_FALSE(provenDescendant(candidate, root, read)) << c.what;
    }
    // Unchanged, the same chain is proven.
    IdentityTable table = family();
    const auto read = table.reader();
    EXPECT_TRUE(provenDescendant(read(45), table.at(42), read));
    EXPECT_EQ(table.reads(45), 2);
    EXPECT_EQ(table.reads(43), 2);
    EXPECT_EQ(table.reads(42), 2);
}

// A straight chain of `length` processes from the root 1000 (parent 1) down.
IdentityTable chainOf(int length) {
    IdentityTable table;
    table.set(identity(1000, 1, 1000));
    for (int i = 1; i < length; ++i) table.set(identity(1000 + i, 1000 + i - 1, 1000 + i));
    return table;
}

TEST(CaptureProvenDescendant, FollowsAtMostSixtyFourProcesses) {
    const int bound = static_cast<int>(kMaximumAncestryChain);
    for (const int length : {2, bound - 1, bound, bound + 1, bound + 10}) {
        IdentityTable table = chainOf(length);
        const bool proven = provenDescendant(table.at(1000 + length - 1), table.at(1000), table.reader());
        EXPECT_EQ(proven, length <= bound) << length << " processes";
    }
}

}  // namespace
}  // namespace quorvantel::capture
