// The keyring on POSIX desktops: the Secret Service on the session bus,
// through libsecret. Each call runs on a main context of its own and is
// cancelled when it takes too long, so a keyring that hangs or a prompt
// nobody answers delays the program by seconds, never for good. Without a
// session bus the keyring is unavailable at once, libsecret untouched: a
// server or a CI machine waits for nothing.

#include <libsecret/secret.h>

#include <cstdlib>
#include <mutex>

#include "base/charset.h"
#include "base/secretstore.h"

namespace lianshuo {
namespace {

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
    static_cast<Waiting*>(data)->result = static_cast<GAsyncResult*>(g_object_ref(result));
}

gboolean cancelNow(gpointer cancellable) {
    g_cancellable_cancel(static_cast<GCancellable*>(cancellable));
    return G_SOURCE_REMOVE;
}

// The reason of `error` as GBK, and frees it.
std::string reasonOf(GError* error) {
    std::string reason = error == nullptr ? std::string("钥匙串没有说明原因")
                         : g_error_matches(error, G_IO_ERROR, G_IO_ERROR_CANCELLED)
                             ? std::string("钥匙串没有及时回答")
                             : fromUtf8(error->message);
    if (error) g_error_free(error);
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
                secret_password_lookup(schema(), cancel, done, data, "file", utf8.file.c_str(),
                                       "section", utf8.section.c_str(), "key", utf8.key.c_str(),
                                       static_cast<char*>(nullptr));
            },
            kCallMs);
        GError* error = nullptr;
        gchar* secret = secret_password_lookup_finish(result, &error);
        g_object_unref(result);
        if (error) return Failure{0, "读不出钥匙串：" + reasonOf(error)};
        if (secret == nullptr) return std::optional<std::string>();
        std::optional<std::string> found = fromUtf8(secret);
        secret_password_free(secret);
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
                secret_password_store(schema(), SECRET_COLLECTION_DEFAULT, shown.c_str(),
                                      value.c_str(), cancel, done, data, "file", utf8.file.c_str(),
                                      "section", utf8.section.c_str(), "key", utf8.key.c_str(),
                                      static_cast<char*>(nullptr));
            },
            kCallMs);
        GError* error = nullptr;
        const bool stored = secret_password_store_finish(result, &error);
        g_object_unref(result);
        if (!stored) return Status::failed("写不进钥匙串：" + reasonOf(error));
        return {};
    }

    Status remove(const SecretName& name) override {
        const std::lock_guard lock(mutex_);
        if (!ready()) return unavailable();
        const Names utf8(name);
        GAsyncResult* result = await(
            [&](GCancellable* cancel, GAsyncReadyCallback done, gpointer data) {
                secret_password_clear(schema(), cancel, done, data, "file", utf8.file.c_str(),
                                      "section", utf8.section.c_str(), "key", utf8.key.c_str(),
                                      static_cast<char*>(nullptr));
            },
            kCallMs);
        GError* error = nullptr;
        // False without an error: there was nothing to remove.
        (void)secret_password_clear_finish(result, &error);
        g_object_unref(result);
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
        context_ = g_main_context_new();
        // Opening a session makes the service answer: a bus without one fails here.
        GAsyncResult* result = await(
            [](GCancellable* cancel, GAsyncReadyCallback done, gpointer data) {
                secret_service_get(SECRET_SERVICE_OPEN_SESSION, cancel, done, data);
            },
            kProbeMs);
        GError* error = nullptr;
        ::SecretService* service = secret_service_get_finish(result, &error);
        g_object_unref(result);
        if (service == nullptr) {
            why_ = reasonOf(error);
            return false;
        }
        g_object_unref(service);
        return true;
    }

    Failure unavailable() const { return {0, "钥匙串不可用：" + why_}; }

    // Runs what `start` begins on this store's context until it finishes, or
    // cancels it after `ms` milliseconds; the caller unrefs the result.
    template <typename Start>
    GAsyncResult* await(Start&& start, guint ms) {
        g_main_context_push_thread_default(context_);
        GCancellable* cancel = g_cancellable_new();
        Waiting waiting;
        start(cancel, &finished, &waiting);
        GSource* timer = g_timeout_source_new(ms);
        g_source_set_callback(timer, cancelNow, cancel, nullptr);
        g_source_attach(timer, context_);
        while (waiting.result == nullptr) g_main_context_iteration(context_, TRUE);
        g_source_destroy(timer);
        g_source_unref(timer);
        g_object_unref(cancel);
        g_main_context_pop_thread_default(context_);
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
