// SPDX-License-Identifier: GPL-3.0-or-later
// The sync's notice over libnotify, which speaks the freedesktop notification protocol on the
// session bus. Only kelvarn-cli links it; the core knows nothing of a desktop.
#include <libnotify/notify.h>
#include <sys/stat.h>

#include <cstdlib>
#include <cstring>

#include "cli/sync_notice.h"

namespace kelvarn::cli {
namespace {

// A session to speak to: its bus named in the environment, or at its usual place. Without one
// GLib would try to start a bus of its own, which a cron job or a timer must not do.
bool sessionBusThere() {
    const char* address = std::getenv("DBUS_SESSION_BUS_ADDRESS");
    if (address != nullptr && *address != '\0') {
        return true;
    }
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    struct stat bus {};
    return runtime != nullptr && *runtime != '\0' &&
           ::stat((std::string(runtime) + "/bus").c_str(), &bus) == 0 && S_ISSOCK(bus.st_mode);
}

// A server that reads markup in the body would take a "<" or "&" of a file name for a tag.
std::string bodyFor(const std::string& body) {
    GList* caps = notify_get_server_caps();
    bool markup = false;
    for (GList* cap = caps; cap != nullptr; cap = cap->next) {
        markup = markup || std::strcmp(static_cast<const char*>(cap->data), "body-markup") == 0;
    }
    g_list_free_full(caps, g_free);
    if (!markup) {
        return body;
    }
    gchar* escaped = g_markup_escape_text(body.c_str(), -1);
    std::string text = escaped;
    g_free(escaped);
    return text;
}

void ignore(const gchar*, GLogLevelFlags, const gchar*, gpointer) {}

}  // namespace

void notifyDesktop(const std::string& summary, const std::string& body) {
    if (!sessionBusThere() || !notify_init("Kelvarn")) {
        return;
    }
    // libnotify warns on stderr when the bus has no notification service; that is no fault.
    g_log_set_handler("libnotify", static_cast<GLogLevelFlags>(G_LOG_LEVEL_MASK), ignore, nullptr);
    NotifyNotification* notice =
        notify_notification_new(summary.c_str(), bodyFor(body).c_str(), "kelvarn");
    notify_notification_set_hint(notice, "desktop-entry", g_variant_new_string("kelvarn"));
    GError* error = nullptr;
    // No service to show it: the sync's output and exit status already say everything.
    notify_notification_show(notice, &error);
    g_clear_error(&error);
    g_object_unref(notice);
    notify_uninit();
}

}  // namespace kelvarn::cli
