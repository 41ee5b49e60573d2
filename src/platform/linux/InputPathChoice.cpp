// Linux: the input path, chosen by what the session offers rather than by
// the desktop's name.
#include "platform/linux/InputPathChoice.h"

#include "platform/PlatformLog.h"
#include "platform/linux/portal/PortalInputPath.h"
#include "platform/linux/wayland/WlrootsInputPath.h"
#include "platform/linux/x11/X11InputPath.h"

#include <cstdlib>

namespace platform::linux_input {
namespace {

struct KnownPath {
    const char* name;
    PathKind kind;
    const char* description;
    bool SessionOffer::*offered;  // null: always there
};

const KnownPath kPaths[] = {
    {"wlroots", PathKind::Wlroots, "the compositor's virtual pointer", &SessionOffer::virtualPointer},
    {"portal", PathKind::Portal, "the desktop portal's remote desktop", &SessionOffer::portal},
    {"x11", PathKind::X11, "X11 (XTest)", nullptr},
};

const KnownPath* FindPath(const std::string& name) {
    for (const KnownPath& path : kPaths) {
        if (name == path.name) return &path;
    }
    return nullptr;
}

bool Offers(const SessionOffer& offer, const KnownPath& path) {
    return path.offered == nullptr || offer.*path.offered;
}

const KnownPath& Automatic(const SessionOffer& offer) {
    for (const KnownPath& path : kPaths) {
        if (Offers(offer, path)) return path;
    }
    return kPaths[std::size(kPaths) - 1];
}

std::string Getenv(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? value : "";
}

}  // namespace

PathChoice ChooseInputPath(const SessionOffer& offer) {
    PathChoice choice;
    const KnownPath* chosen = nullptr;
    if (!offer.forced.empty()) {
        const KnownPath* forced = FindPath(offer.forced);
        if (forced == nullptr) {
            choice.logLines.push_back("DECKMOUSE_INPUT=\"" + offer.forced +
                                      "\" is none of x11, wlroots, portal: choosing by what the session offers");
        } else if (!Offers(offer, *forced)) {
            choice.logLines.push_back(std::string("DECKMOUSE_INPUT=") + forced->name + ", but this session does not offer " +
                                      forced->description + ": choosing by what it offers");
        } else {
            chosen = forced;
        }
    }
    if (chosen == nullptr) chosen = &Automatic(offer);
    choice.path = chosen->kind;
    // Plain X11 outside Wayland is what the plugin always did: nothing to say.
    if (offer.wayland || !offer.forced.empty()) {
        choice.logLines.push_back(std::string("Input through ") + chosen->description);
    }
    if (offer.wayland && chosen->kind == PathKind::X11) {
        choice.logLines.push_back("In this Wayland session only programs running through XWayland receive that input");
    }
    return choice;
}

ChosenInputPath OpenChosenInputPath() {
    SessionOffer offer;
    offer.forced = Getenv("DECKMOUSE_INPUT");
    offer.wayland = !Getenv("WAYLAND_DISPLAY").empty();
    const bool onlyX11 = offer.forced == "x11";
    // Asking the compositor costs nothing; the portal may show the user a
    // dialog, so it is asked only where it would be used.
    std::unique_ptr<InputPath> wlroots = offer.wayland && !onlyX11 ? OpenWlrootsInputPath() : nullptr;
    offer.virtualPointer = wlroots != nullptr;
    const bool portalWanted = offer.forced == "portal" || (offer.wayland && !onlyX11 && !offer.virtualPointer);
    std::unique_ptr<InputPath> portal = portalWanted ? OpenPortalInputPath() : nullptr;
    offer.portal = portal != nullptr;

    const PathChoice choice = ChooseInputPath(offer);
    for (const std::string& line : choice.logLines) LogNote(line);
    switch (choice.path) {
        case PathKind::Wlroots: return {std::move(wlroots), choice.path};
        case PathKind::Portal: return {std::move(portal), choice.path};
        case PathKind::X11: break;
    }
    return {OpenX11InputPath(), PathKind::X11};
}

}  // namespace platform::linux_input
