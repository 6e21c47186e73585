#pragma once
// Custom interfaces as INI sections "短网址选项_" + name, where the name is
// the interface's "接口名称" or else the host of its address. The same format
// serves the settings file and the files of export and import.

#include <string>
#include <string_view>
#include <vector>

#include "base/result.h"
#include "services/shorturlinterface.h"

namespace lianshuo {

class ControlStateStore;

/// The name an interface is saved under: its "接口名称", else the host of its address.
std::string interfaceName(const ShortUrlInterface& definition);

/// The name a save gives an interface: its "接口名称", else the host of its
/// address with the port when that is not its scheme's default
/// ("127.0.0.1:8080"; the section carries it, the interface keeps no name). An
/// interface an earlier save named by its bare host (the same host and port
/// are in that section) keeps that name.
std::string nameForSaving(const ShortUrlInterface& definition, ControlStateStore& store);

/// The INI section of the interface called `name`.
std::string interfaceSection(std::string_view name);

/// Refuses a name holding a line break, "[", "]" or another control character:
/// as a section name it would write lines and sections of its own.
Status checkInterfaceName(std::string_view name);

/// Refuses an interface address holding a line break or another control character.
Status checkInterfaceAddress(std::string_view address);

/// What saving and export refuse: a bad name (checkInterfaceName), a bad address
/// (checkInterfaceAddress), and keys that could never be sent (a header that
/// is no "Name: Value", an expression that does not parse); the reasons in one line.
Status checkInterface(const ShortUrlInterface& definition);

/// What saving refuses: what checkInterface refuses, and an interface with
/// neither name nor address (its section would have no name).
Status checkSavable(const ShortUrlInterface& definition);

/// Writes the fourteen keys, and the later keys that differ from their
/// default, into the interface's section as one save; nothing when they hold
/// what is stored already. Refuses what checkSavable refuses, and fallbacks
/// that are not saved or lead back to the interface (checkFallbacks). The secrets go
/// into the system keyring when there is one; when the keyring refuses them
/// they are saved in the file and `keyringNotice` says why. The section is
/// `name`'s (nameForSaving() for a save the user asks for), else interfaceName()'s.
Status saveInterface(const ShortUrlInterface& definition, ControlStateStore& store,
                     std::string* keyringNotice = nullptr, std::string_view name = {});

/// Fills the secrets of the interface loaded as `name` from the keyring when
/// its section says they are there; fails when the keyring cannot be asked or
/// lacks one ("钥匙串中没有该接口的令牌"), leaving secretsInKeyring set.
Status fetchInterfaceSecrets(std::string_view name, ShortUrlInterface& definition,
                             const ControlStateStore& store);

/// Reads the interface called `name`; missing keys read as 0, empty or false.
ShortUrlInterface loadInterface(std::string_view name, ControlStateStore& store);

/// The interface saved as `name` with its secrets; fails when there is none or
/// the keyring cannot give them.
Result<ShortUrlInterface> loadSavedInterface(std::string_view name, ControlStateStore& store);

/// The names of every interface in the store's file, in file order.
std::vector<std::string> listInterfaceNames(ControlStateStore& store);

/// Removes the interface called `name`, and its secrets from the keyring; a
/// failure says why the file still holds it, `keyringNotice` why the keyring does.
Status deleteInterface(std::string_view name, ControlStateStore& store,
                       std::string* keyringNotice = nullptr);

/// Removes every interface section as one save, leaving every other section as
/// it is, and their secrets from the keyring (`keyringNotice` says why not).
Status deleteAllInterfaces(ControlStateStore& store, std::string* keyringNotice = nullptr);

/// Writes a new file at `path` that holds `definition` alone, replacing
/// whatever file was there in one step: an INI section, or a custom-uploader
/// file when the name ends in ".sxcu". The token and the credentials stay out
/// unless `withToken`; refuses `withToken` while they are in the keyring, not fetched.
Status exportInterface(const ShortUrlInterface& definition, std::string_view path,
                       bool withToken = false);

/// The first interface of the INI file at `path` (or the interface of a
/// ".sxcu" file), and its section's name. Fails
/// when the file cannot be read, holds no interface section, or names one that
/// has no address or cannot be stored. Never creates, locks or changes the file.
Result<ShortUrlInterface> importInterface(std::string_view path,
                                          std::string* importedName = nullptr);

}  // namespace lianshuo
