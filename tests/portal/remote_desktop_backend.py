#!/usr/bin/python3
"""A remote desktop for the portal tests, on the session bus, recording every
call it receives as one JSON line.

As a backend (default) it implements org.freedesktop.impl.portal.RemoteDesktop
for Debian's xdg-desktop-portal. With --frontend it plays the portal itself,
org.freedesktop.portal.RemoteDesktop at version 2, which keeps grants: the
real portal of Debian 12 is at version 1 and cannot.

Its answer to each request is 0 (granted) unless the answers file, a JSON
object read at every call, names another for the method: {"Start": 1}.
{"EndSessionAfterStart": 1} has the backend end each session 0.1 s after it starts.
{"GrantDevices": 2} grants no more than those device types (the pointer
alone), as a user who unticks the keyboard; {"AvailableDeviceTypes": 2} is
what the remote desktop says it offers (read at each call by the frontend,
once at its start by Debian's portal).
"""
import argparse
import json
import sys

import dbus
import dbus.service
from dbus.mainloop.glib import DBusGMainLoop
from gi.repository import GLib

OBJECT = "/org/freedesktop/portal/desktop"
POINTER = 2


def plain(value):
    """D-Bus values as JSON ones."""
    if isinstance(value, (dbus.Dictionary, dict)):
        return {str(k): plain(v) for k, v in value.items()}
    if isinstance(value, (dbus.Array, dbus.Struct, list, tuple)):
        return [plain(v) for v in value]
    if isinstance(value, dbus.Boolean):
        return bool(value)
    if isinstance(value, (dbus.Double, float)):
        return float(value)
    if isinstance(value, (int, dbus.Byte)):
        return int(value)
    return str(value)


class Recorder:
    def __init__(self, record_path, answers_path):
        self.record = open(record_path, "a", buffering=1)
        self.answers_path = answers_path

    def __call__(self, call, **fields):
        entry = {"call": call}
        entry.update({key: plain(value) for key, value in fields.items()})
        self.record.write(json.dumps(entry, sort_keys=True) + "\n")

    def answer(self, method, default=0):
        try:
            with open(self.answers_path) as answers:
                return int(json.load(answers).get(method, default))
        except (OSError, ValueError):
            return default


def session_class(interface, record):
    """A session object, which the caller (or the portal) closes, and which
    says when the desktop ends it."""

    def Close(self):
        record("Session.Close", session=self.__dbus_object_path__)
        self.remove_from_connection()

    def Closed(self):
        pass

    # dbus-python reads a class's methods when the class is made, and names
    # them after their functions.
    return type("Session", (dbus.service.Object,), {
        "Close": dbus.service.method(interface, in_signature="", out_signature="")(Close),
        "Closed": dbus.service.signal(interface, signature="")(Closed),
    })


class Devices:
    """What both roles grant: the device types asked for, a restore token or data."""

    def __init__(self, record):
        self.record = record
        self.types = {}
        self.grants = 0

    def select(self, session, options):
        self.types[str(session)] = int(options.get("types", 7))

    def started(self, session):
        self.grants += 1
        granted = self.types.get(str(session), 7) & self.record.answer("GrantDevices", 7)
        return {"devices": dbus.UInt32(granted)}


def backend(bus, record, version):
    interface = "org.freedesktop.impl.portal.RemoteDesktop"
    devices = Devices(record)
    Session = session_class("org.freedesktop.impl.portal.Session", record)
    sessions = {}

    class Backend(common_methods(interface, record, version)):
        @dbus.service.method(interface, in_signature="oosa{sv}", out_signature="ua{sv}")
        def CreateSession(self, handle, session, app_id, options):
            record("CreateSession", session=session, options=options)
            sessions[str(session)] = Session(bus, session)
            return record.answer("CreateSession"), {}

        @dbus.service.method(interface, in_signature="oosa{sv}", out_signature="ua{sv}")
        def SelectDevices(self, handle, session, app_id, options):
            record("SelectDevices", session=session, options=options)
            devices.select(session, options)
            return record.answer("SelectDevices"), {}

        @dbus.service.method(interface, in_signature="oossa{sv}", out_signature="ua{sv}")
        def Start(self, handle, session, app_id, parent_window, options):
            record("Start", session=session, options=options)
            if record.answer("EndSessionAfterStart"):
                # As when the user stops the sharing from the desktop's own controls.
                GLib.timeout_add(100, lambda: sessions[str(session)].Closed() and False)
            return record.answer("Start"), devices.started(session)

    return "org.freedesktop.impl.portal.desktop.deckmousetest", Backend(bus, OBJECT)


def frontend(bus, record, version):
    interface = "org.freedesktop.portal.RemoteDesktop"
    devices = Devices(record)
    Session = session_class("org.freedesktop.portal.Session", record)

    class Request(dbus.service.Object):
        @dbus.service.signal("org.freedesktop.portal.Request", signature="ua{sv}")
        def Response(self, response, results):
            pass

    def answer_later(sender, options, method, results):
        # As the portal does: the handle first, the Response once the
        # caller has it.
        name = sender[1:].replace(".", "_")
        path = "%s/request/%s/%s" % (OBJECT, name, options["handle_token"])
        request = Request(bus, path)

        def respond():
            response = record.answer(method)
            request.Response(dbus.UInt32(response), results if response == 0 else {})
            request.remove_from_connection()
            return False

        GLib.idle_add(respond)
        return dbus.ObjectPath(path)

    class Frontend(common_methods(interface, record, version)):
        @dbus.service.method(interface, in_signature="a{sv}", out_signature="o", sender_keyword="sender")
        def CreateSession(self, options, sender):
            record("CreateSession", options=options)
            name = sender[1:].replace(".", "_")
            session = "%s/session/%s/%s" % (OBJECT, name, options["session_handle_token"])
            Session(bus, session)
            return answer_later(sender, options, "CreateSession", {"session_handle": session})

        @dbus.service.method(interface, in_signature="oa{sv}", out_signature="o", sender_keyword="sender")
        def SelectDevices(self, session, options, sender):
            record("SelectDevices", session=session, options=options)
            devices.select(session, options)
            return answer_later(sender, options, "SelectDevices", {})

        @dbus.service.method(interface, in_signature="osa{sv}", out_signature="o", sender_keyword="sender")
        def Start(self, session, parent_window, options, sender):
            record("Start", session=session, options=options)
            results = devices.started(session)
            results["restore_token"] = "token-%d" % devices.grants
            return answer_later(sender, options, "Start", results)

    return "org.freedesktop.portal.Desktop", Frontend(bus, OBJECT)


def common_methods(interface, record, version):
    """A base class with the pointer and keyboard calls, the same in both roles."""
    signatures = {
        "NotifyKeyboardKeycode": "oa{sv}iu",
        "NotifyPointerMotion": "oa{sv}dd",
        "NotifyPointerMotionAbsolute": "oa{sv}udd",
        "NotifyPointerButton": "oa{sv}iu",
        "NotifyPointerAxis": "oa{sv}dd",
        "NotifyPointerAxisDiscrete": "oa{sv}ui",
    }
    def recording(name, arguments):
        # dbus-python wants a named parameter for each argument, and names
        # the method after the function.
        def two(self, session, options, first, second):
            record(name, session=session, options=options, args=[first, second])

        def three(self, session, options, first, second, third):
            record(name, session=session, options=options, args=[first, second, third])

        call = two if arguments == 2 else three
        call.__name__ = name
        return call

    # dbus-python names a method after its function.
    def Get(self, interface_name, name):
        return self.GetAll(interface_name)[name]

    def GetAll(self, interface_name):
        return {"AvailableDeviceTypes": dbus.UInt32(record.answer("AvailableDeviceTypes", 7)),
                "version": dbus.UInt32(version)}

    methods = {
        "Get": dbus.service.method(dbus.PROPERTIES_IFACE, in_signature="ss", out_signature="v")(Get),
        "GetAll": dbus.service.method(dbus.PROPERTIES_IFACE, in_signature="s", out_signature="a{sv}")(GetAll),
    }
    for name, signature in signatures.items():
        notify = recording(name, len(signature) - len("oa{sv}"))
        methods[name] = dbus.service.method(interface, in_signature=signature, out_signature="")(notify)
    return type("RemoteDesktopCommon", (dbus.service.Object,), methods)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--record", required=True)
    parser.add_argument("--answers", required=True)
    parser.add_argument("--frontend", action="store_true")
    parser.add_argument("--version", type=int, default=1)
    arguments = parser.parse_args()
    DBusGMainLoop(set_as_default=True)
    bus = dbus.SessionBus()
    record = Recorder(arguments.record, arguments.answers)
    role = frontend if arguments.frontend else backend
    name, served = role(bus, record, arguments.version)
    # The object is served before the name is taken, and the name before the
    # line that says so.
    held = dbus.service.BusName(name, bus, do_not_queue=True)
    print("ready", flush=True)
    GLib.MainLoop().run()
    del held, served


if __name__ == "__main__":
    sys.exit(main())
