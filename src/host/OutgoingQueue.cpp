#include "host/OutgoingQueue.h"

OutgoingQueue::OutgoingQueue(Wire wire) : wire(std::move(wire)) {}

void OutgoingQueue::SendText(const std::string& text) { wire.sendText(text); }

void OutgoingQueue::QueueImage(const std::string& context, const std::string& path) { images.Put(context, path); }

bool OutgoingQueue::SendWaitingImages() {
    while (!images.Empty() && HasRoom()) wire.sendImage(*images.Take());
    return !images.Empty();
}

bool OutgoingQueue::HasRoom() const { return wire.unsent() < kUnsentLimit; }

void OutgoingQueue::Clear() { images.Clear(); }
