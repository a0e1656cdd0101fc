// Ordering and choice of installed runtimes: preference, server VM and version keys, the
// stability rule, and "Preferred versions" (which entry matches is JavaVersion's concern).
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "jre/runtime_search.h"
#include "test_support.h"

namespace noviq {
namespace {

struct Found {
    const char* version;
    bool isPreferred;
    bool isServerVm;
};

std::vector<JreCandidate> candidatesOf(const std::vector<Found>& found) {
    std::vector<JreCandidate> list;
    for (size_t i = 0; i < found.size(); ++i) {
        JreCandidate c;
        const std::string v = found[i].version;
        c.version.parse(test::wide(std::u16string(v.begin(), v.end())), 0);
        c.homeFolder = test::wide(u"home" + std::u16string(1, char16_t(u'0' + i)));
        c.isPreferred = found[i].isPreferred;
        c.isServerVm = found[i].isServerVm;
        list.push_back(c);
    }
    return list;
}

// The discovery indexes of the candidates, in list order ("home<i>").
std::string order(const std::vector<JreCandidate>& list) {
    std::string text;
    for (const JreCandidate& c : list)
        text += static_cast<char>(c.homeFolder[4]);
    return text;
}

RuntimeRequest preferences(bool searchBothKinds, JvmType type,
                           std::vector<std::u16string> preferred = {}) {
    RuntimeRequest p;
    p.searchBothKinds = searchBothKinds;
    p.jvmType = type;
    for (const std::u16string& entry : preferred)
        p.preferredVersions.add(test::wide(entry));
    return p;
}

// The order must be the one that repeated passes of adjacent swaps give, where neighbours
// are swapped only when the later one is strictly ahead: preferred first (only when both kinds
// are searched), then a server VM (only for favor_server), then the higher version. Checked
// against exactly that over many lists full of ties, for every combination of settings.
TEST(CandidateOrder, EqualsRepeatedAdjacentSwaps) {
    auto strictlyAhead = [](const RuntimeRequest& p, const JreCandidate& a, const JreCandidate& b) {
        if (p.searchBothKinds && a.isPreferred != b.isPreferred)
            return a.isPreferred;
        if (p.jvmType == JvmType::FavorServer && a.isServerVm != b.isServerVm)
            return a.isServerVm;
        return a.version.compare(b.version) > 0;
    };
    const char* versions[] = {"1.5", "1.6", "1.6.0", "1.6.0_7", "1.6.0_20", "1.7", "1.10"};
    const JvmType types[] = {JvmType::Default, JvmType::Server, JvmType::FavorServer};
    std::mt19937 random(20240601);
    for (int round = 0; round < 500; ++round) {
        const RuntimeRequest prefs = preferences(random() % 2 == 0, types[random() % 3]);
        std::vector<Found> found;
        const size_t count = 1 + random() % 40; // long lists too: short ones sort stably anyway
        for (size_t i = 0; i < count; ++i)
            found.push_back({versions[random() % 7], random() % 2 == 0, random() % 2 == 0});
        std::vector<JreCandidate> expected = candidatesOf(found);
        for (bool swapped = true; swapped;) {
            swapped = false;
            for (size_t i = 0; i + 1 < expected.size(); ++i)
                if (strictlyAhead(prefs, expected[i + 1], expected[i])) {
                    std::swap(expected[i], expected[i + 1]);
                    swapped = true;
                }
        }
        std::vector<JreCandidate> sorted = candidatesOf(found);
        JreSearch(prefs).sortCandidates(sorted);
        ASSERT_EQ(order(sorted), order(expected)) << "round " << round;
    }
}

TEST(CandidateOrder, PreferredVersionsChooseInEntryOrder) {
    const std::vector<Found> found = {{"1.7.0_10", true, false},
                                      {"1.6.0_20", true, false},
                                      {"1.6.0_7", true, false},
                                      {"1.5.0_22", true, false}};
    const struct {
        const char* name;
        std::vector<std::u16string> preferred;
        char expected;
    } cases[] = {
        {"first entry that matches wins", {u"1.5", u"1.6"}, '3'},
        {"entry without match: first sorted", {u"1.4"}, '0'},
        {"later entry matches, first candidate of its family", {u"1.4", u"1.6"}, '1'},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const JreSearch search(preferences(true, JvmType::Default, c.preferred));
        std::vector<JreCandidate> list = candidatesOf(found);
        search.sortCandidates(list);
        EXPECT_EQ(search.selectCandidate(list).homeFolder[4], c.expected);
    }
}

} // namespace
} // namespace noviq
