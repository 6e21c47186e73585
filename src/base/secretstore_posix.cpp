// The keyring on POSIX desktops: the Secret Service on the session bus,
// through libsecret. Each call runs on a main context of its own and is
// cancelled when it takes too long, so a keyring that hangs or a prompt
// nobody answers delays the program by seconds, never for good. Without a
// session bus the keyring is unavailable at once, libsecret untouched: a
// server or a CI machine waits for nothing.
//
// libsecret (and GIO under it) is loaded when the keyring is first asked, not
// at start: a command-line run that never needs it does not pay for loading
// them, and a machine without libsecret still runs, keeping tokens in the file.

#include <libsecret/secret.h>

#include <cstdlib>
#include <mutex>

#include "base/charset.h"
#include "base/platform.h"
#include "base/secretstore.h"

namespace lianshuo {
namespace {

// The functions of libsecret and GLib this store calls, found in the loaded library.
struct Api {
    decltype(&::g_cancellable_cancel) cancellableCancel;
    decltype(&::g_cancellable_new) cancellableNew;
    decltype(&::g_error_free) errorFree;
    decltype(&::g_error_matches) errorMatches;
    decltype(&::g_io_error_quark) ioErrorQuark;
    decltype(&::g_main_context_iteration) contextIteration;
    decltype(&::g_main_context_new) contextNew;
    decltype(&::g_main_context_pop_thread_default) contextPop;
    decltype(&::g_main_context_push_thread_default) contextPush;
    decltype(&::g_object_ref) objectRef;
    decltype(&::g_object_unref) objectUnref;
    decltype(&::g_source_attach) sourceAttach;
    decltype(&::g_source_destroy) sourceDestroy;
    decltype(&::g_source_set_callback) sourceSetCallback;
    decltype(&::g_source_unref) sourceUnref;
    decltype(&::g_timeout_source_new) timeoutSourceNew;
    decltype(&::secret_password_clear) clear;
    decltype(&::secret_password_clear_finish) clearFinish;
    decltype(&::secret_password_free) free;
    decltype(&::secret_password_lookup) lookup;
    decltype(&::secret_password_lookup_finish) lookupFinish;
    decltype(&::secret_password_store) store;
    decltype(&::secret_password_store_finish) storeFinish;
    decltype(&::secret_service_get) serviceGet;
    decltype(&::secret_service_get_finish) serviceGetFinish;
};

Api api{};

template <typename Function>
bool bind(void* library, Function& entry, const char* name) {
    entry = reinterpret_cast<Function>(platform::findFunction(library, name));
    return entry != nullptr;
}

// Loads libsecret and fills `api`; the failure says why.
Status loadApi() {
    const Result<void*> library = platform::loadLibrary("libsecret-1.so.0");
    if (!library) return Status::failed("无法载入 libsecret（" + library.reason() + "）");
    void* l = *library;
    Api& a = api;
    const bool complete =
        bind(l, a.cancellableCancel, "g_cancellable_cancel") &&
        bind(l, a.cancellableNew, "g_cancellable_new") && bind(l, a.errorFree, "g_error_free") &&
        bind(l, a.errorMatches, "g_error_matches") && bind(l, a.ioErrorQuark, "g_io_error_quark") &&
        bind(l, a.contextIteration, "g_main_context_iteration") &&
        bind(l, a.contextNew, "g_main_context_new") &&
        bind(l, a.contextPop, "g_main_context_pop_thread_default") &&
        bind(l, a.contextPush, "g_main_context_push_thread_default") &&
        bind(l, a.objectRef, "g_object_ref") && bind(l, a.objectUnref, "g_object_unref") &&
        bind(l, a.sourceAttach, "g_source_attach") &&
        bind(l, a.sourceDestroy, "g_source_destroy") &&
        bind(l, a.sourceSetCallback, "g_source_set_callback") &&
        bind(l, a.sourceUnref, "g_source_unref") &&
        bind(l, a.timeoutSourceNew, "g_timeout_source_new") &&
        bind(l, a.clear, "secret_password_clear") &&
        bind(l, a.clearFinish, "secret_password_clear_finish") &&
        bind(l, a.free, "secret_password_free") && bind(l, a.lookup, "secret_password_lookup") &&
        bind(l, a.lookupFinish, "secret_password_lookup_finish") &&
        bind(l, a.store, "secret_password_store") &&
        bind(l, a.storeFinish, "secret_password_store_finish") &&
        bind(l, a.serviceGet, "secret_service_get") &&
        bind(l, a.serviceGetFinish, "secret_service_get_finish");
    if (!complete) return Status::failed("libsecret 缺少需要的函数");
    return {};
}

// Long enough for the service to start on demand.
constexpr guint kProbeMs = 3000;
// Long enough to unlock a keyring at its prompt.
constexpr guint kCallMs = 15000;

const SecretSchema* schema() {
    static const SecretSchema made = [] {
        SecretSchema s{};
        s.name = "net.lianshuo.Secret";
        s.flags = SECRET_SCHEMA_NONE;
        s.attributes[0] = {"file", SECRET_SCHEMA_ATTRIBUTE_STRING};
        s.attributes[1] = {"section", SECRET_SCHEMA_ATTRIBUTE_STRING};
        s.attributes[2] = {"key", SECRET_SCHEMA_ATTRIBUTE_STRING};
        return s;
    }();
    return &made;
}

struct Waiting {
    GAsyncResult* result = nullptr;
};

void finished(GObject*, GAsyncResult* result, gpointer data) {
    static_cast<Waiting*>(data)->result = static_cast<GAsyncResult*>(api.objectRef(result));
}

gboolean cancelNow(gpointer cancellable) {
    api.cancellableCancel(static_cast<GCancellable*>(cancellable));
    return G_SOURCE_REMOVE;
}

// The reason of `error` as GBK, and frees it.
std::string reasonOf(GError* error) {
    std::string reason = error == nullptr ? std::string("钥匙串没有说明原因")
                         : api.errorMatches(error, api.ioErrorQuark(), G_IO_ERROR_CANCELLED)
                             ? std::string("钥匙串没有及时回答")
                             : fromUtf8(error->message);
    if (error) api.errorFree(error);
    return reason;
}

class Keyring final : public SecretStore {
public:
    bool available() override {
        const std::lock_guard lock(mutex_);
        return ready();
    }

    Result<std::optional<std::string>> lookup(const SecretName& name) override {
        const std::lock_guard lock(mutex_);
        if (!ready()) return unavailable();
        const Names utf8(name);
        GAsyncResult* result = await(
            [&](GCancellable* cancel, GAsyncReadyCallback done, gpointer data) {
                api.lookup(schema(), cancel, done, data, "file", utf8.file.c_str(), "section",
                           utf8.section.c_str(), "key", utf8.key.c_str(),
                           static_cast<char*>(nullptr));
            },
            kCallMs);
        GError* error = nullptr;
        gchar* secret = api.lookupFinish(result, &error);
        api.objectUnref(result);
        if (error) return Failure{0, "读不出钥匙串：" + reasonOf(error)};
        if (secret == nullptr) return std::optional<std::string>();
        std::optional<std::string> found = fromUtf8(secret);
        api.free(secret);
        return found;
    }

    Status store(const SecretName& name, std::string_view label, std::string_view secret) override {
        const std::lock_guard lock(mutex_);
        if (!ready()) return unavailable();
        const Names utf8(name);
        const std::string shown = toUtf8(label);
        const std::string value = toUtf8(secret);
        GAsyncResult* result = await(
            [&](GCancellable* cancel, GAsyncReadyCallback done, gpointer data) {
                api.store(schema(), SECRET_COLLECTION_DEFAULT, shown.c_str(), value.c_str(), cancel,
                          done, data, "file", utf8.file.c_str(), "section", utf8.section.c_str(),
                          "key", utf8.key.c_str(), static_cast<char*>(nullptr));
            },
            kCallMs);
        GError* error = nullptr;
        const bool stored = api.storeFinish(result, &error);
        api.objectUnref(result);
        if (!stored) return Status::failed("写不进钥匙串：" + reasonOf(error));
        return {};
    }

    Status remove(const SecretName& name) override {
        const std::lock_guard lock(mutex_);
        if (!ready()) return unavailable();
        const Names utf8(name);
        GAsyncResult* result = await(
            [&](GCancellable* cancel, GAsyncReadyCallback done, gpointer data) {
                api.clear(schema(), cancel, done, data, "file", utf8.file.c_str(), "section",
                          utf8.section.c_str(), "key", utf8.key.c_str(),
                          static_cast<char*>(nullptr));
            },
            kCallMs);
        GError* error = nullptr;
        // False without an error: there was nothing to remove.
        (void)api.clearFinish(result, &error);
        api.objectUnref(result);
        if (error) return Status::failed("钥匙串删不掉：" + reasonOf(error));
        return {};
    }

private:
    struct Names {
        explicit Names(const SecretName& name)
            : file(toUtf8(name.file)), section(toUtf8(name.section)), key(toUtf8(name.key)) {}
        std::string file, section, key;
    };

    // Whether the service answers, asked once per run.
    bool ready() {
        if (!probed_) {
            probed_ = true;
            reachable_ = probe();
        }
        return reachable_;
    }

    bool probe() {
        const char* bus = std::getenv("DBUS_SESSION_BUS_ADDRESS");
        if (bus == nullptr || *bus == '\0') {
            why_ = "没有会话总线";
            return false;
        }
        if (const Status loaded = loadApi(); !loaded) {
            why_ = loaded.reason();
            return false;
        }
        context_ = api.contextNew();
        // Opening a session makes the service answer: a bus without one fails here.
        GAsyncResult* result = await(
            [](GCancellable* cancel, GAsyncReadyCallback done, gpointer data) {
                api.serviceGet(SECRET_SERVICE_OPEN_SESSION, cancel, done, data);
            },
            kProbeMs);
        GError* error = nullptr;
        ::SecretService* service = api.serviceGetFinish(result, &error);
        api.objectUnref(result);
        if (service == nullptr) {
            why_ = reasonOf(error);
            return false;
        }
        api.objectUnref(service);
        return true;
    }

    Failure unavailable() const { return {0, "钥匙串不可用：" + why_}; }

    // Runs what `start` begins on this store's context until it finishes, or
    // cancels it after `ms` milliseconds; the caller unrefs the result.
    template <typename Start>
    GAsyncResult* await(Start&& start, guint ms) {
        api.contextPush(context_);
        GCancellable* cancel = api.cancellableNew();
        Waiting waiting;
        start(cancel, &finished, &waiting);
        GSource* timer = api.timeoutSourceNew(ms);
        api.sourceSetCallback(timer, cancelNow, cancel, nullptr);
        api.sourceAttach(timer, context_);
        while (waiting.result == nullptr) api.contextIteration(context_, TRUE);
        api.sourceDestroy(timer);
        api.sourceUnref(timer);
        api.objectUnref(cancel);
        api.contextPop(context_);
        return waiting.result;
    }

    std::mutex mutex_;
    bool probed_ = false;
    bool reachable_ = false;
    std::string why_;
    GMainContext* context_ = nullptr;  // kept for the life of the process, like the service
};

}  // namespace

SecretStore& systemSecretStore() {
    static Keyring keyring;
    return keyring;
}

}  // namespace lianshuo
