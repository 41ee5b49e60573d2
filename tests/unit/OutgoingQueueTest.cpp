#include "host/OutgoingQueue.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

namespace {

constexpr std::size_t kMiB = 1024 * 1024;

// A connection whose host reads only when told: every image counts as
// 1 MiB unsent, a text as its length.
struct FakeConnection {
    std::size_t unsent = 0;
    std::vector<std::string> sent;  // "text <text>", "image <context> <path>"

    OutgoingQueue::Wire Wire() {
        return {[this] { return unsent; },
                [this](const std::string& text) {
                    unsent += text.size();
                    sent.push_back("text " + text);
                },
                [this](const ImageOutbox::Image& image) {
                    unsent += kMiB;
                    sent.push_back("image " + image.context + " " + image.path);
                }};
    }
};

// "image <context> <path>" queues an image and sends what has room, as the
// connection does; "text <text>" sends a text; "read" has the host take
// everything unsent, and what waits is sent then.
std::vector<std::string> Play(const std::vector<std::string>& steps, bool& stillWaiting) {
    FakeConnection connection;
    OutgoingQueue queue{connection.Wire()};
    stillWaiting = false;
    for (const std::string& step : steps) {
        std::istringstream words(step);
        std::string kind, first, second;
        words >> kind >> first >> second;
        if (kind == "image") {
            queue.QueueImage(first, second);
        } else if (kind == "text") {
            queue.SendText(first);
        } else {
            connection.unsent = 0;
        }
        stillWaiting = queue.SendWaitingImages();
    }
    return connection.sent;
}

std::vector<std::string> Images(const char* prefix, int from, int to) {
    std::vector<std::string> steps;
    for (int i = from; i <= to; ++i) steps.push_back(std::string(prefix) + std::to_string(i) + " p" + std::to_string(i));
    return steps;
}

std::vector<std::string> Join(std::vector<std::vector<std::string>> parts) {
    std::vector<std::string> joined;
    for (auto& part : parts) joined.insert(joined.end(), part.begin(), part.end());
    return joined;
}

TEST(OutgoingQueueTest, OnlyImagesWaitAndOnlyAKeysOlderImagesGo) {
    // Four images of 1 MiB fill the room; a step that queues an image reads as the image sent.
    const std::vector<std::string> full = Images("image k", 1, 4);
    const struct {
        const char* name;
        std::vector<std::string> steps;
        std::vector<std::string> sent;
        bool stillWaiting;
    } cases[] = {
        {"with room, everything at once in order",
         {"image a p1", "text setTitle", "image b p2"},
         {"image a p1", "text setTitle", "image b p2"},
         false},
        {"a fifth image waits", Join({full, {"image e p5"}}), full, true},
        {"a save with twelve images of 1 MiB waiting goes at once",
         Join({Images("image k", 1, 12), {"text setGlobalSettings"}}),
         Join({full, {"text setGlobalSettings"}}),
         true},
        {"the user's messages all go, however much is unsent",
         Join({full, {"image w p", "text setGlobalSettings", "text showAlert", "text setTitle",
                      "text sendToPropertyInspector", "text setFeedback"}}),
         Join({full, {"text setGlobalSettings", "text showAlert", "text setTitle", "text sendToPropertyInspector",
                          "text setFeedback"}}),
         true},
        {"once the host reads, the waiting images go, a key's newest only",
         Join({full, {"image a p1", "image b p2", "image a p3", "text setGlobalSettings", "image a p4", "read"}}),
         Join({full, {"text setGlobalSettings", "image a p4", "image b p2"}}),
         false},
        {"twelve waiting images go four at a time as the host reads",
         Join({Images("image k", 1, 12), {"read"}}),
         Images("image k", 1, 8),
         true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        bool stillWaiting = false;
        EXPECT_EQ(Play(c.steps, stillWaiting), c.sent);
        EXPECT_EQ(stillWaiting, c.stillWaiting);
    }
}

TEST(OutgoingQueueTest, ClearForgetsTheWaitingImagesNotWhatComesAfter) {
    FakeConnection connection;
    connection.unsent = OutgoingQueue::kUnsentLimit;
    OutgoingQueue queue{connection.Wire()};
    queue.QueueImage("a", "p1");
    EXPECT_TRUE(queue.SendWaitingImages());
    EXPECT_FALSE(queue.HasRoom());
    queue.Clear();
    connection.unsent = 0;
    EXPECT_TRUE(queue.HasRoom());
    EXPECT_FALSE(queue.SendWaitingImages());
    queue.QueueImage("b", "p2");
    queue.SendWaitingImages();
    EXPECT_EQ(connection.sent, std::vector<std::string>{"image b p2"});
}

}  // namespace
