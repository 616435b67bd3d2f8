#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""A stand-in desktop notification service on the session bus: every Notify call is appended to
LOG as one JSON line [app_name, summary, body]. Writes READY once it owns the name."""
import json
import sys

from gi.repository import Gio, GLib

INTERFACE = """
<node>
  <interface name="org.freedesktop.Notifications">
    <method name="GetCapabilities"><arg direction="out" type="as"/></method>
    <method name="GetServerInformation">
      <arg direction="out" type="s"/><arg direction="out" type="s"/>
      <arg direction="out" type="s"/><arg direction="out" type="s"/>
    </method>
    <method name="Notify">
      <arg direction="in" type="s"/><arg direction="in" type="u"/><arg direction="in" type="s"/>
      <arg direction="in" type="s"/><arg direction="in" type="s"/><arg direction="in" type="as"/>
      <arg direction="in" type="a{sv}"/><arg direction="in" type="i"/>
      <arg direction="out" type="u"/>
    </method>
    <method name="CloseNotification"><arg direction="in" type="u"/></method>
  </interface>
</node>
"""

log_path, ready_path = sys.argv[1], sys.argv[2]
sent = 0


def call(connection, sender, path, interface, method, args, invocation):
    global sent
    if method == "GetCapabilities":
        invocation.return_value(GLib.Variant("(as)", (["body"],)))
    elif method == "GetServerInformation":
        invocation.return_value(GLib.Variant("(ssss)", ("recorder", "kelvarn", "1", "1.2")))
    elif method == "Notify":
        app, _, _, summary, body = args.unpack()[:5]
        with open(log_path, "a", encoding="utf-8") as log:
            log.write(json.dumps([app, summary, body], ensure_ascii=False) + "\n")
        sent += 1
        invocation.return_value(GLib.Variant("(u)", (sent,)))
    else:
        invocation.return_value(None)


bus = Gio.bus_get_sync(Gio.BusType.SESSION, None)
bus.register_object("/org/freedesktop/Notifications",
                    Gio.DBusNodeInfo.new_for_xml(INTERFACE).interfaces[0], call)
# DBUS_NAME_FLAG_DO_NOT_QUEUE; answers 1 once the name is ours.
reply = bus.call_sync("org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus",
                      "RequestName", GLib.Variant("(su)", ("org.freedesktop.Notifications", 4)),
                      GLib.VariantType("(u)"), Gio.DBusCallFlags.NONE, -1, None)
if reply.unpack()[0] != 1:
    sys.exit("org.freedesktop.Notifications is taken")
open(ready_path, "w").close()
GLib.MainLoop().run()
