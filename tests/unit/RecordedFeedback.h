#pragma once

#include "plugin/key/runs/KeyFeedback.h"

#include <mutex>
#include <string>
#include <vector>

// What the commands asked their keys to show: "held <context>", "own
// <context>", "alert <context>".
class RecordedFeedback : public KeyFeedback {
public:
    void ShowKeyImage(const std::string& context, Image image) override {
        Add((image == Image::Held ? "held " : "own ") + context);
    }
    void ShowAlert(const std::string& context) override { Add("alert " + context); }

    std::vector<std::string> Take() {
        std::lock_guard<std::mutex> guard(mutex);
        std::vector<std::string> taken;
        taken.swap(shown);
        return taken;
    }

private:
    void Add(const std::string& line) {
        std::lock_guard<std::mutex> guard(mutex);
        shown.push_back(line);
    }

    std::mutex mutex;
    std::vector<std::string> shown;
};
