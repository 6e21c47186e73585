#include <algorithm>
#include <iostream>

#include "cli/session.h"
#include "services/interfacestore.h"
#include "store/inicontent.h"

namespace lianshuo::cli {
namespace {

// The keys of an interface section, in the order they are written.
constexpr const char* kKeys[] = {"调用模式", "URL编码",  "POST数据", "接口地址", "截取",
                                 "逆向截取", "左边字符", "右边字符", "替换",     "欲替换",
                                 "替换为",   "插入",     "前缀",     "后缀"};

std::string settingsNotWritten(Session& session, const Status& status) {
    return "cannot write the settings file " + session.store().path() + ": " + status.reason();
}

bool knownInterface(ControlStateStore& store, const std::string& name) {
    const std::vector<std::string> names = listInterfaceNames(store);
    return std::find(names.begin(), names.end(), name) != names.end();
}

int list(Session& session, Console& console) {
    for (const std::string& name : listInterfaceNames(session.store())) {
        print(console.out, name);
        console.out << '\n';
    }
    return kOk;
}

int show(Session& session, Console& console, const std::string& name) {
    if (!knownInterface(session.store(), name))
        return fail(console, "unknown interface '" + name + "'");
    for (const char* key : kKeys) {
        const auto raw = ini::readRaw(session.store().content(), interfaceSection(name), key);
        print(console.out, std::string(key) + "=" + raw.value_or(""));
        console.out << '\n';
    }
    return kOk;
}

int exportOne(Session& session, Console& console, const std::string& name,
              const std::string& file) {
    if (!knownInterface(session.store(), name))
        return fail(console, "unknown interface '" + name + "'");
    if (const Status written = exportInterface(loadInterface(name, session.store()), file);
        !written)
        return fail(console, "cannot write " + file + ": " + written.reason());
    return kOk;
}

int importOne(Session& session, Console& console, const std::string& file) {
    const Result<ShortUrlInterface> definition = importInterface(file);
    if (!definition) return fail(console, "cannot import " + file + ": " + definition.reason());
    if (const Status saved = saveInterface(*definition, session.store()); !saved)
        return fail(console, settingsNotWritten(session, saved));
    print(console.out, interfaceName(*definition));
    console.out << '\n';
    return kOk;
}

int removeOne(Session& session, Console& console, const std::string& name) {
    if (!knownInterface(session.store(), name))
        return fail(console, "unknown interface '" + name + "'");
    // Exit 0 only once the deletion is on disk.
    if (const Status saved = deleteInterface(name, session.store()); !saved)
        return fail(console, settingsNotWritten(session, saved));
    return kOk;
}

int runAction(const Options& options, Console& console) {
    const std::vector<std::string>& args = options.positional;
    const std::string& action = args.front();
    Session session;
    std::string error;
    const bool writes = action == "import" || action == "delete";
    if (!session.openSettings(options, writes, error)) return fail(console, error);
    if (action == "list") return list(session, console);
    if (action == "show") return show(session, console, args[1]);
    if (action == "export") return exportOne(session, console, args[1], args[2]);
    if (action == "import") return importOne(session, console, args[1]);
    return removeOne(session, console, args[1]);
}

}  // namespace

int runInterfaces(const Options& options, Console& console) {
    const std::vector<std::string>& args = options.positional;
    const std::string action = args.empty() ? std::string() : args.front();
    const std::size_t wanted = action == "list"                         ? 1
                               : action == "show" || action == "delete" ? 2
                               : action == "import"                     ? 2
                               : action == "export"                     ? 3
                                                                        : 0;
    if (wanted == 0 || args.size() != wanted)
        return fail(console,
                    "usage: lianshuo interfaces list | show NAME | export NAME FILE | "
                    "import FILE | delete NAME");
    // Each command prints its own failure, with the reason, as one line.
    const ControlStateStore::WarningHandler shown =
        ControlStateStore::setWarningHandler([](std::string_view, std::string_view) {});
    const int status = runAction(options, console);
    ControlStateStore::setWarningHandler(shown);
    return status;
}

}  // namespace lianshuo::cli
