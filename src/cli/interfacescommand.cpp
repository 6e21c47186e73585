#include <algorithm>
#include <iostream>

#include "cli/helptext.h"
#include "cli/session.h"
#include "services/interfacekeys.h"
#include "services/interfacestore.h"
#include "store/inicontent.h"

namespace lianshuo::cli {
namespace {

std::string settingsNotWritten(Session& session, const Status& status) {
    return "无法写入设置文件 " + session.store().path() + "：" + status.reason();
}

void warnKeyring(Console& console, const std::string& notice) {
    if (!notice.empty()) print(console.err, "lianshuo: 警告：" + notice + "\n");
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
    if (!knownInterface(session.store(), name)) return fail(console, "未知接口“" + name + "”");
    // The fourteen always, the later keys where the section has them; the secrets masked.
    for (const InterfaceKey& key : interfaceKeys()) {
        const auto raw = ini::readRaw(session.store().content(), interfaceSection(name), key.name);
        if (key.optional && !raw) continue;
        const bool secret = isSecretKey(key.name) && raw && !raw->empty();
        print(console.out, std::string(key.name) + "=" + (secret ? "********" : raw.value_or("")));
        console.out << '\n';
    }
    return kOk;
}

int exportOne(Session& session, Console& console, const std::string& name, const std::string& file,
              bool withToken) {
    if (!knownInterface(session.store(), name)) return fail(console, "未知接口“" + name + "”");
    ShortUrlInterface definition = loadInterface(name, session.store());
    if (withToken)
        if (const Status fetched = fetchInterfaceSecrets(name, definition, session.store());
            !fetched)
            return fail(console, "无法导出 " + name + "：" + fetched.reason());
    if (const Status written = exportInterface(definition, file, withToken); !written)
        return fail(console, "无法写入 " + file + "：" + written.reason());
    return kOk;
}

int importOne(Session& session, Console& console, const std::string& file) {
    const Result<ShortUrlInterface> definition = importInterface(file);
    if (!definition) return fail(console, "无法导入 " + file + "：" + definition.reason());
    std::string keyringNotice;
    if (const Status saved = saveInterface(*definition, session.store(), &keyringNotice); !saved)
        return fail(console, settingsNotWritten(session, saved));
    warnKeyring(console, keyringNotice);
    print(console.out, interfaceName(*definition));
    console.out << '\n';
    return kOk;
}

int removeOne(Session& session, Console& console, const std::string& name) {
    if (!knownInterface(session.store(), name)) return fail(console, "未知接口“" + name + "”");
    // Exit 0 only once the deletion is on disk.
    std::string keyringNotice;
    if (const Status saved = deleteInterface(name, session.store(), &keyringNotice); !saved)
        return fail(console, settingsNotWritten(session, saved));
    warnKeyring(console, keyringNotice);
    return kOk;
}

int runAction(const Options& options, Console& console) {
    const std::vector<std::string>& args = options.positional;
    const std::string& action = args.front();
    Session session;
    std::string error;
    if (action == "presets") return printPresets(console);
    if (action == "test") return runInterfaceTest(options, console);
    const bool writes = action == "import" || action == "delete" || action == "add";
    if (!session.openSettings(options, writes, error)) return fail(console, error);
    if (action == "list") return list(session, console);
    if (action == "show") return show(session, console, args[1]);
    if (action == "export") return exportOne(session, console, args[1], args[2], options.withToken);
    if (action == "import") return importOne(session, console, args[1]);
    if (action == "add") return runInterfaceAdd(session, options, console);
    return removeOne(session, console, args[1]);
}

}  // namespace

int runInterfaces(const Options& options, Console& console) {
    const std::vector<std::string>& args = options.positional;
    const std::string action = args.empty() ? std::string() : args.front();
    const std::size_t wanted = action == "list" || action == "presets" || action == "add"     ? 1
                               : action == "show" || action == "delete" || action == "import" ? 2
                               : action == "export"                                           ? 3
                               : action == "test" && args.size() == 3                         ? 3
                               : action == "test"                                             ? 2
                                                                                              : 0;
    if (wanted == 0 || args.size() != wanted) return fail(console, usageLine("interfaces"));
    // Each command prints its own failure, with the reason, as one line.
    return runAction(options, console);
}

}  // namespace lianshuo::cli
