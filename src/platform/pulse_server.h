#pragma once
// A client of the desktop's sound server over its PulseAudio protocol (PulseAudio itself, or
// PipeWire's pipewire-pulse): one connection with its own event thread, and what the devices list.
// Nothing here ever waits on the server without a limit, so a server that hangs cannot hang us.
#include <pulse/pulseaudio.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace dl::pulse {

// The input that follows the default output: the monitor of whatever the desktop plays through.
inline constexpr const char* kDesktopSound = "What the desktop plays";

// A connection: a threaded main loop and a context, ready when made. Locked while in use by the
// caller (the event thread's callbacks run with the same lock held).
class Connection {
public:
    ~Connection();
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;
    // Null when no server answers in time.
    static std::unique_ptr<Connection> open(int limit_ms);

    pa_context* context() const { return context_; }
    pa_threaded_mainloop* loop() const { return loop_; }
    void lock() { pa_threaded_mainloop_lock(loop_); }
    void unlock() { pa_threaded_mainloop_unlock(loop_); }
    // With the lock held: waits (releasing it meanwhile) until the operation ends or the limit passes.
    bool finish(pa_operation* op, int limit_ms);
    // With the lock held: polls `done` until it holds or the limit passes.
    template <typename Fn>
    bool wait_until(Fn&& done, int limit_ms) {
        for (int waited = 0; !done(); waited += 2) {
            if (waited >= limit_ms || !alive()) return done();
            unlock();
            pause_briefly();
            lock();
        }
        return true;
    }
    bool alive() const;

private:
    Connection() = default;
    static void pause_briefly();
    pa_threaded_mainloop* loop_ = nullptr;
    pa_context* context_ = nullptr;
};

// A sink or a source as the server lists it.
struct Endpoint {
    std::string name;         // the server's name (what streams connect to)
    std::string description;  // what the desktop shows ("Monitor of Built-in Audio")
    bool monitor = false;     // a sink's monitor
    uint32_t rate = 0;        // its own format
    int channels = 0;
};

struct ServerView {
    bool reached = false;
    std::vector<Endpoint> sinks, sources;
    std::string default_sink, default_source;
};

// Whether the program talks to the server itself: the environment names no other SDL driver and a
// server answers. Decided once per audio start.
bool in_use();
void forget();  // the next in_use() asks again
// What the server lists now (reached false when it does not answer).
ServerView view(Connection& c);
ServerView view(Connection& c, int limit_ms);
ServerView view();

// The names the devices menus and --list-devices show: outputs, or the inputs (the microphones,
// then the desktop's sound and the outputs' monitors).
std::vector<std::string> device_names(const ServerView& v, bool capture);
// The server's name for a device name (empty: the default); false when there is no such device.
bool server_name(const ServerView& v, const std::string& device, bool capture, std::string& out);

// The format of the input named `device` when it is an output's monitor (or the desktop's sound).
bool monitor_format(const ServerView& v, const std::string& device, uint32_t& rate, int& channels);

}  // namespace dl::pulse
