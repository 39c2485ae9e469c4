#include "platform/pulse_server.h"

#include <atomic>
#include <cstdlib>
#include <cstring>

#include "platform/system.h"

namespace dl::pulse {

namespace {

// How long a listing or a connection may take before the server counts as not there.
constexpr int kViewLimitMs = 1500;
// A server that lists nothing in this time while it is connected is hanging.
constexpr int kRefreshLimitMs = 200;

int g_in_use = -1;  // -1: not asked yet

// One connection that stays, whose lists answer at once: the server's events say when they are to
// be read again (a server that hangs sends none, and the last lists stand).
struct Watch {
    std::atomic<bool> stale{true};
    ServerView lists;
    std::unique_ptr<Connection> connection;  // last: its events stop before the rest goes
};
std::unique_ptr<Watch> g_watch;

void on_event(pa_context*, pa_subscription_event_type_t, uint32_t, void* watch) {
    static_cast<Watch*>(watch)->stale.store(true);
}

Watch* watch() {
    if (g_watch && g_watch->connection) {
        g_watch->connection->lock();
        const bool alive = g_watch->connection->alive();
        g_watch->connection->unlock();
        if (alive) return g_watch.get();
    }
    g_watch.reset();
    auto w = std::make_unique<Watch>();
    w->connection = Connection::open(kViewLimitMs);
    if (!w->connection) return nullptr;
    Connection& c = *w->connection;
    c.lock();
    pa_context_set_subscribe_callback(c.context(), &on_event, w.get());
    const auto mask = pa_subscription_mask_t(PA_SUBSCRIPTION_MASK_SINK | PA_SUBSCRIPTION_MASK_SOURCE |
                                             PA_SUBSCRIPTION_MASK_SERVER);
    c.finish(pa_context_subscribe(c.context(), mask, nullptr, nullptr), kViewLimitMs);
    c.unlock();
    g_watch = std::move(w);
    return g_watch.get();
}

}  // namespace

// On the program's clock, so that a test can tell that a wait happened without timing it.
void Connection::pause_briefly() { sleep_ms(2); }

Connection::~Connection() {
    if (!loop_) return;
    // Stopping the event thread never waits on the server: it only leaves its poll.
    pa_threaded_mainloop_stop(loop_);
    if (context_) {
        pa_context_disconnect(context_);
        pa_context_unref(context_);
    }
    pa_threaded_mainloop_free(loop_);
}

std::unique_ptr<Connection> Connection::open(int limit_ms) {
    std::unique_ptr<Connection> c(new Connection);
    c->loop_ = pa_threaded_mainloop_new();
    if (!c->loop_) return nullptr;
    pa_proplist* props = pa_proplist_new();
    // The name and icon the desktop's volume control shows for the program.
    pa_proplist_sets(props, PA_PROP_APPLICATION_NAME, "dewlark");
    pa_proplist_sets(props, PA_PROP_APPLICATION_ID, "dewlark");
    pa_proplist_sets(props, PA_PROP_APPLICATION_ICON_NAME, "dewlark");
    c->context_ = pa_context_new_with_proplist(pa_threaded_mainloop_get_api(c->loop_), "dewlark", props);
    pa_proplist_free(props);
    if (!c->context_) return nullptr;
    // No server of our own is started: one that is not running is not there.
    if (pa_context_connect(c->context_, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0) return nullptr;
    if (pa_threaded_mainloop_start(c->loop_) < 0) return nullptr;
    c->lock();
    const bool ready = c->wait_until([&] { return pa_context_get_state(c->context_) == PA_CONTEXT_READY; }, limit_ms);
    c->unlock();
    return ready ? std::move(c) : nullptr;
}

bool Connection::alive() const {
    const pa_context_state_t s = pa_context_get_state(context_);
    return s != PA_CONTEXT_FAILED && s != PA_CONTEXT_TERMINATED;
}

bool Connection::finish(pa_operation* op, int limit_ms) {
    if (!op) return false;
    const bool done = wait_until([op] { return pa_operation_get_state(op) != PA_OPERATION_RUNNING; }, limit_ms);
    if (!done) pa_operation_cancel(op);
    pa_operation_unref(op);
    return done;
}

bool in_use() {
    if (g_in_use < 0) {
        const char* driver = std::getenv("SDL_AUDIODRIVER");
        const bool ours = !driver || !*driver || std::strcmp(driver, "pulseaudio") == 0 ||
                          std::strcmp(driver, "pulse") == 0 || std::strcmp(driver, "pipewire") == 0;
        g_in_use = ours && watch() != nullptr;
    }
    return g_in_use == 1;
}

void forget() {
    g_in_use = -1;
    g_watch.reset();
}

ServerView view(Connection& c) { return view(c, kViewLimitMs); }

ServerView view(Connection& c, int limit_ms) {
    ServerView v;
    c.lock();
    auto on_sink = [](pa_context*, const pa_sink_info* i, int eol, void* u) {
        if (eol == 0 && i) static_cast<ServerView*>(u)->sinks.push_back(
                {i->name, i->description, false, i->sample_spec.rate, i->sample_spec.channels});
    };
    auto on_source = [](pa_context*, const pa_source_info* i, int eol, void* u) {
        if (eol == 0 && i)
            static_cast<ServerView*>(u)->sources.push_back(
                {i->name, i->description, i->monitor_of_sink != PA_INVALID_INDEX, i->sample_spec.rate,
                 i->sample_spec.channels});
    };
    auto on_server = [](pa_context*, const pa_server_info* i, void* u) {
        auto* view = static_cast<ServerView*>(u);
        if (i && i->default_sink_name) view->default_sink = i->default_sink_name;
        if (i && i->default_source_name) view->default_source = i->default_source_name;
    };
    v.reached = c.finish(pa_context_get_sink_info_list(c.context(), on_sink, &v), limit_ms) &&
                c.finish(pa_context_get_source_info_list(c.context(), on_source, &v), limit_ms) &&
                c.finish(pa_context_get_server_info(c.context(), on_server, &v), limit_ms);
    c.unlock();
    return v;
}

ServerView view() {
    Watch* w = watch();
    if (!w) return {};
    // A server that does not answer at once has the lists it had: it may be hanging.
    if (w->stale.exchange(false) || !w->lists.reached)
        if (ServerView now = view(*w->connection, kRefreshLimitMs); now.reached || !w->lists.reached) w->lists = now;
    return w->lists;
}

std::vector<std::string> device_names(const ServerView& v, bool capture) {
    std::vector<std::string> names;
    if (!capture) {
        for (const Endpoint& e : v.sinks) names.push_back(e.description);
        return names;
    }
    for (const Endpoint& e : v.sources)
        if (!e.monitor) names.push_back(e.description);
    if (!v.sinks.empty()) names.push_back(kDesktopSound);
    for (const Endpoint& e : v.sources)
        if (e.monitor) names.push_back(e.description);
    return names;
}

bool server_name(const ServerView& v, const std::string& device, bool capture, std::string& out) {
    out.clear();
    if (device.empty()) return true;
    if (capture && device == kDesktopSound) {
        for (const Endpoint& s : v.sinks)
            if (s.name == v.default_sink) {
                out = s.name + ".monitor";
                return true;
            }
        // No default named: the first output's.
        if (v.sinks.empty()) return false;
        out = v.sinks.front().name + ".monitor";
        return true;
    }
    for (const Endpoint& e : capture ? v.sources : v.sinks)
        if (e.description == device) {
            out = e.name;
            return true;
        }
    return false;
}

bool monitor_format(const ServerView& v, const std::string& device, uint32_t& rate, int& channels) {
    std::string name;
    if (device.empty() || !server_name(v, device, true, name)) return false;
    for (const Endpoint& e : v.sources)
        if (e.name == name && e.monitor) {
            rate = e.rate;
            channels = e.channels;
            return rate > 0 && channels > 0;
        }
    return false;
}

}  // namespace dl::pulse
