// digital-id-notification-listener RECORD -- PROGRAM [ARGUMENTS...]
//
// A notification service for the tests, on the session bus of the environment (as
// dbus-run-session gives it): owns org.freedesktop.Notifications, runs PROGRAM, answers its
// Notify calls and appends one line per call to RECORD, then exits with PROGRAM's exit status
// once it has ended. A line holds the call's fields, separated by tabs: app_name, replaces_id,
// app_icon, summary, body, the number of actions, the number of hints, expire_timeout (tabs,
// line feeds and backslashes in texts written as \t, \n and \\).

#include <signal.h>
#include <sys/wait.h>
#include <systemd/sd-event.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <memory>
#include <string>

#include "platform/linux/desktop/sd_bus_handles.h"

namespace {

// Frees an event loop, and a bus slot (the object's registration).
struct SdEventFreer {
  void operator()(sd_event* event) const { sd_event_unref(event); }
};
struct SdBusSlotFreer {
  void operator()(sd_bus_slot* slot) const { sd_bus_slot_unref(slot); }
};
using SdEventPtr = std::unique_ptr<sd_event, SdEventFreer>;
using SdBusSlotPtr = std::unique_ptr<sd_bus_slot, SdBusSlotFreer>;

// What the service shares with its callbacks.
struct Listener {
  std::string record;        // the file that receives one line per call
  std::uint32_t lastId = 0;  // the id handed out by the last Notify
  int childStatus = 1;       // the exit status of the program, once it has ended
};

// A text with tabs, line feeds and backslashes escaped, for one field of a record line.
std::string Escaped(const char* text) {
  std::string escaped;
  for (const char* c = text; *c != '\0'; ++c) {
    if (*c == '\t') {
      escaped += "\\t";
    } else if (*c == '\n') {
      escaped += "\\n";
    } else if (*c == '\\') {
      escaped += "\\\\";
    } else {
      escaped += *c;
    }
  }
  return escaped;
}

// Counts the entries of the array at the message's read position and steps over it.
int CountArray(sd_bus_message* message, const char* contents, const char* entry) {
  int count = 0;
  if (sd_bus_message_enter_container(message, 'a', contents) < 0) return -1;
  int atEnd = 0;
  while ((atEnd = sd_bus_message_at_end(message, 0)) == 0) {
    if (sd_bus_message_skip(message, entry) < 0) return -1;
    ++count;
  }
  if (atEnd < 0 || sd_bus_message_exit_container(message) < 0) return -1;
  return count;
}

int OnNotify(sd_bus_message* message, void* data, sd_bus_error* error) {
  auto* listener = static_cast<Listener*>(data);
  const char* appName = nullptr;
  std::uint32_t replacesId = 0;
  const char* icon = nullptr;
  const char* summary = nullptr;
  const char* body = nullptr;
  std::int32_t timeout = 0;
  if (sd_bus_message_read(message, "susss", &appName, &replacesId, &icon, &summary, &body) < 0) {
    return sd_bus_error_set(error, SD_BUS_ERROR_INVALID_ARGS, "bad Notify arguments");
  }
  const int actions = CountArray(message, "s", "s");
  const int hints = CountArray(message, "{sv}", "{sv}");
  if (actions < 0 || hints < 0 || sd_bus_message_read(message, "i", &timeout) < 0) {
    return sd_bus_error_set(error, SD_BUS_ERROR_INVALID_ARGS, "bad Notify arguments");
  }
  std::ofstream(listener->record, std::ios::app)
      << Escaped(appName) << '\t' << replacesId << '\t' << Escaped(icon) << '\t' << Escaped(summary)
      << '\t' << Escaped(body) << '\t' << actions << '\t' << hints << '\t' << timeout << '\n';
  return sd_bus_reply_method_return(message, "u", ++listener->lastId);
}

int OnChildEnded(sd_event_source* source, const siginfo_t* info, void* data) {
  auto* listener = static_cast<Listener*>(data);
  listener->childStatus = info->si_code == CLD_EXITED ? info->si_status : 128 + info->si_status;
  return sd_event_exit(sd_event_source_get_event(source), 0);
}

const sd_bus_vtable kNotificationsVtable[] = {
    SD_BUS_VTABLE_START(0),
    SD_BUS_METHOD("Notify", "susssasa{sv}i", "u", OnNotify, SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_VTABLE_END};

int Fail(const char* what, int error) {
  std::fprintf(stderr, "digital-id-notification-listener: %s: error %d\n", what, -error);
  return 125;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 4 || std::string(argv[2]) != "--") {
    std::fprintf(stderr, "usage: digital-id-notification-listener RECORD -- PROGRAM [ARGS...]\n");
    return 125;
  }
  Listener listener;
  listener.record = argv[1];
  sd_bus* opened = nullptr;
  int result = sd_bus_open_user(&opened);
  if (result < 0) return Fail("no session bus", result);
  const digital_id::SdBusPtr bus(opened);
  sd_bus_slot* added = nullptr;
  result =
      sd_bus_add_object_vtable(bus.get(), &added, "/org/freedesktop/Notifications",
                               "org.freedesktop.Notifications", kNotificationsVtable, &listener);
  if (result < 0) return Fail("object", result);
  const SdBusSlotPtr slot(added);
  // The name is owned before the program starts, so that its first call finds the service.
  result = sd_bus_request_name(bus.get(), "org.freedesktop.Notifications", 0);
  if (result < 0) return Fail("name", result);

  // The event loop learns of the program's end through SIGCHLD, blocked for that.
  sigset_t childSignal;
  sigemptyset(&childSignal);
  sigaddset(&childSignal, SIGCHLD);
  sigprocmask(SIG_BLOCK, &childSignal, nullptr);
  const pid_t child = ::fork();
  if (child < 0) return Fail("fork", -1);
  if (child == 0) {
    sigprocmask(SIG_UNBLOCK, &childSignal, nullptr);
    ::execvp(argv[3], argv + 3);
    std::perror(argv[3]);
    ::_exit(127);
  }
  sd_event* made = nullptr;
  result = sd_event_new(&made);
  if (result < 0) return Fail("event loop", result);
  const SdEventPtr event(made);
  if ((result = sd_bus_attach_event(bus.get(), event.get(), SD_EVENT_PRIORITY_NORMAL)) < 0 ||
      (result = sd_event_add_child(event.get(), nullptr, child, WEXITED, OnChildEnded, &listener)) <
          0) {
    return Fail("event sources", result);
  }
  result = sd_event_loop(event.get());
  sd_bus_detach_event(bus.get());
  if (result < 0) return Fail("event loop", result);
  return listener.childStatus;
}
