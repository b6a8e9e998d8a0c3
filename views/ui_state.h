#pragma once

#include <QObject>
#include <functional>
#include <type_traits>

namespace qvx::views {

/// Process-wide: while false, navigation between views, closing the window and every command
/// that talks to the controller do nothing. Long operations on the user-interface thread
/// clear it through a UiBusyScope.
[[nodiscard]] bool uiEnabled();

/// Clears `uiEnabled` for its lifetime and restores the previous value at the end; nested
/// scopes restore in order, so an inner operation never re-enables closing under an outer one.
/// All scopes live on the user-interface thread.
class UiBusyScope {
public:
    UiBusyScope();
    /// A scope whose operation can be cut short: `cancel` asks it to stop early. It is called
    /// on the user-interface thread while the operation lets events through.
    explicit UiBusyScope(std::function<void()> cancel);
    ~UiBusyScope();
    UiBusyScope(const UiBusyScope&) = delete;
    UiBusyScope& operator=(const UiBusyScope&) = delete;

private:
    bool m_previous;
    bool m_cancellable;
};

/// Asks every running operation that can be cut short to stop, and runs `then` once
/// `uiEnabled` is set again. False, with `then` dropped, when none of them can be cut short.
bool cancelBusyOperations(std::function<void()> then);

/// Connects a command that talks to the controller: `command` (a member of `receiver` or a
/// callable) runs only while `uiEnabled`. Inside another operation's wait its frames would go
/// into a modem dialogue or queue behind a transfer, so the click is dropped before anything
/// is sent, as a click on a navigation button is.
template <typename Sender, typename Signal, typename Receiver, typename Command>
QMetaObject::Connection connectDeviceCommand(Sender* sender, Signal signal, Receiver* receiver,
                                             Command command) {
    return QObject::connect(sender, signal, receiver, [receiver, command] {
        if (!uiEnabled()) {
            return;
        }
        if constexpr (std::is_member_function_pointer_v<Command>) {
            (receiver->*command)();
        } else {
            command();
        }
    });
}

/// Runs `job` on a worker thread while the user interface keeps processing its events, and
/// returns once the job has ended and its thread is joined. The job must not touch widgets.
void runPumping(const std::function<void()>& job);

}  // namespace qvx::views
