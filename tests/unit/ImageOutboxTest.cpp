#include "host/ImageOutbox.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace {

using Queued = std::vector<std::pair<std::string, std::string>>;  // context, path

Queued TakeAll(ImageOutbox& outbox) {
    Queued taken;
    while (const auto image = outbox.Take()) taken.emplace_back(image->context, image->path);
    EXPECT_TRUE(outbox.Empty());
    return taken;
}

TEST(ImageOutboxTest, NewestPathPerKeyInTheOrderTheKeysFirstWaited) {
    const struct {
        const char* name;
        Queued put;
        Queued expected;
    } cases[] = {
        {"nothing", {}, {}},
        {"keys in order", {{"a", "1"}, {"b", "2"}, {"c", "3"}}, {{"a", "1"}, {"b", "2"}, {"c", "3"}}},
        {"a newer image keeps the key's place", {{"a", "1"}, {"b", "2"}, {"a", "3"}}, {{"a", "3"}, {"b", "2"}}},
        {"many updates of one key", {{"k", "1"}, {"k", "2"}, {"k", "3"}, {"k", "4"}}, {{"k", "4"}}},
        {"the same path again", {{"a", "p"}, {"b", "q"}, {"a", "p"}}, {{"a", "p"}, {"b", "q"}}},
        {"contexts differing in case", {{"Key", "1"}, {"key", "2"}}, {{"Key", "1"}, {"key", "2"}}},
        {"empty context and NUL", {{"", "1"}, {std::string("a\0b", 3), "2"}, {"a", "3"}, {"", "4"}},
         {{"", "4"}, {std::string("a\0b", 3), "2"}, {"a", "3"}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ImageOutbox outbox;
        for (const auto& [context, path] : c.put) outbox.Put(context, path);
        EXPECT_EQ(outbox.Empty(), c.expected.empty());
        EXPECT_EQ(TakeAll(outbox), c.expected);
    }
}

TEST(ImageOutboxTest, AKeyTakenWaitsAgainAtTheBack) {
    ImageOutbox outbox;
    outbox.Put("a", "1");
    outbox.Put("b", "2");
    ASSERT_EQ(outbox.Take()->context, "a");
    outbox.Put("a", "3");  // sent already: this one is a new image, after b's
    outbox.Put("b", "4");
    EXPECT_EQ(TakeAll(outbox), (Queued{{"b", "4"}, {"a", "3"}}));
}

TEST(ImageOutboxTest, ClearForgetsEverything) {
    ImageOutbox outbox;
    outbox.Put("a", "1");
    outbox.Put("b", "2");
    outbox.Clear();
    EXPECT_TRUE(outbox.Empty());
    EXPECT_FALSE(outbox.Take());
    outbox.Put("b", "3");
    EXPECT_EQ(TakeAll(outbox), (Queued{{"b", "3"}}));
}

}  // namespace
