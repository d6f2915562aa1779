// QtMultimedia's PulseAudio backend (Qt 6.4) keeps one connection to the sound server for the
// whole process, served by a thread of PulseAudio's own ("threaded mainloop"). At exit a
// library-wide static object of QtMultimedia disconnects and frees that connection from the main
// thread without taking the mainloop's lock, while the mainloop thread is still running. When the
// server sends anything at that moment — a sink that turns idle when the last chord's stream ends,
// a volume change by any other client — the mainloop thread handles it on a connection being freed
// under its feet, and PulseAudio aborts the program ("Assertion 'pa_atomic_load(&(pd)->_ref) >= 1'
// failed at pdispatch.c", or 'pd' in pa_pdispatch_register_reply, or 'p->srb == srb' in
// pstream.c).
//
// PulseAudio's rule is that every call on such a connection from outside its thread holds the
// mainloop's lock. The program defines the two functions that end a connection itself, so that
// QtMultimedia's calls come here first: they take the lock of the connection's mainloop (known
// from when the connection was made) and then do what libpulse does. Calls from the mainloop
// thread itself, and connections on other kinds of mainloops, pass straight through. The lock is
// recursive, so a caller already holding it loses nothing.

#include "sound/pulse_context_lock.h"

#include <dlfcn.h>

#include <bit>
#include <map>
#include <mutex>

extern "C" {
struct pa_threaded_mainloop;
struct pa_mainloop_api;
struct pa_context;
struct pa_proplist;
}

namespace {

// libpulse's own function of that name.
template <typename Function> Function* Libpulse(const char* name) {
    return std::bit_cast<Function*>(dlsym(RTLD_NEXT, name));
}

struct Loops {
    std::mutex mutex;
    std::map<const pa_mainloop_api*, pa_threaded_mainloop*> ofApi;
    std::map<const pa_context*, pa_threaded_mainloop*> ofContext;
};

// Never destroyed: it serves the connections' teardown during exit.
Loops& TheLoops() {
    static Loops* loops = new Loops;
    return *loops;
}

pa_threaded_mainloop* LoopOfApi(const pa_mainloop_api* api) {
    Loops& loops = TheLoops();
    const std::lock_guard<std::mutex> guard(loops.mutex);
    const auto it = loops.ofApi.find(api);
    return it == loops.ofApi.end() ? nullptr : it->second;
}

pa_threaded_mainloop* LoopOfContext(const pa_context* context) {
    Loops& loops = TheLoops();
    const std::lock_guard<std::mutex> guard(loops.mutex);
    const auto it = loops.ofContext.find(context);
    return it == loops.ofContext.end() ? nullptr : it->second;
}

void RememberContext(pa_context* context, const pa_mainloop_api* api) {
    if (!context) {
        return;
    }
    pa_threaded_mainloop* loop = LoopOfApi(api);
    Loops& loops = TheLoops();
    const std::lock_guard<std::mutex> guard(loops.mutex);
    if (loop) {
        loops.ofContext[context] = loop;
    } else {
        loops.ofContext.erase(context); // a new connection at a freed one's address
    }
}

// libpulse's lock of a threaded mainloop.
struct LoopLockCalls {
    int (*inThread)(pa_threaded_mainloop*) =
        Libpulse<int(pa_threaded_mainloop*)>("pa_threaded_mainloop_in_thread");
    void (*lock)(pa_threaded_mainloop*) =
        Libpulse<void(pa_threaded_mainloop*)>("pa_threaded_mainloop_lock");
    void (*unlock)(pa_threaded_mainloop*) =
        Libpulse<void(pa_threaded_mainloop*)>("pa_threaded_mainloop_unlock");
};

// Holds the mainloop's lock for its lifetime, unless there is no such mainloop or the caller is
// its own thread.
class LoopLock {
public:
    explicit LoopLock(pa_threaded_mainloop* loop) {
        static const LoopLockCalls calls;
        if (loop && calls.inThread && calls.lock && calls.unlock && !calls.inThread(loop)) {
            calls.lock(loop);
            m_loop = loop;
            m_unlock = calls.unlock;
        }
    }
    ~LoopLock() {
        if (m_loop) {
            m_unlock(m_loop);
        }
    }
    LoopLock(const LoopLock&) = delete;
    LoopLock& operator=(const LoopLock&) = delete;

private:
    pa_threaded_mainloop* m_loop = nullptr;
    void (*m_unlock)(pa_threaded_mainloop*) = nullptr;
};

} // namespace

extern "C" {

pa_mainloop_api* pa_threaded_mainloop_get_api(pa_threaded_mainloop* loop) {
    static auto* next =
        Libpulse<pa_mainloop_api*(pa_threaded_mainloop*)>("pa_threaded_mainloop_get_api");
    pa_mainloop_api* api = next(loop);
    if (api) {
        Loops& loops = TheLoops();
        const std::lock_guard<std::mutex> guard(loops.mutex);
        loops.ofApi[api] = loop;
    }
    return api;
}

void pa_threaded_mainloop_free(pa_threaded_mainloop* loop) {
    static auto* next = Libpulse<void(pa_threaded_mainloop*)>("pa_threaded_mainloop_free");
    {
        Loops& loops = TheLoops();
        const std::lock_guard<std::mutex> guard(loops.mutex);
        std::erase_if(loops.ofApi, [loop](const auto& entry) { return entry.second == loop; });
        std::erase_if(loops.ofContext, [loop](const auto& entry) { return entry.second == loop; });
    }
    next(loop);
}

pa_context* pa_context_new(pa_mainloop_api* api, const char* name) {
    static auto* next = Libpulse<pa_context*(pa_mainloop_api*, const char*)>("pa_context_new");
    pa_context* context = next(api, name);
    RememberContext(context, api);
    return context;
}

pa_context* pa_context_new_with_proplist(pa_mainloop_api* api, const char* name,
                                         const pa_proplist* properties) {
    static auto* next = Libpulse<pa_context*(pa_mainloop_api*, const char*, const pa_proplist*)>(
        "pa_context_new_with_proplist");
    pa_context* context = next(api, name, properties);
    RememberContext(context, api);
    return context;
}

void pa_context_disconnect(pa_context* context) {
    static auto* next = Libpulse<void(pa_context*)>("pa_context_disconnect");
    const LoopLock lock(LoopOfContext(context));
    next(context);
}

void pa_context_unref(pa_context* context) {
    static auto* next = Libpulse<void(pa_context*)>("pa_context_unref");
    const LoopLock lock(LoopOfContext(context));
    next(context);
}

} // extern "C"

namespace zk {

bool PulseConnectionsGuarded() {
    Loops& loops = TheLoops();
    const std::lock_guard<std::mutex> guard(loops.mutex);
    return !loops.ofContext.empty();
}

} // namespace zk
