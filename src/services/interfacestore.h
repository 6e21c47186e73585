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
/// what is stored already. Refuses what checkSavable refuses.
Status saveInterface(const ShortUrlInterface& definition, ControlStateStore& store);

/// Reads the interface called `name`; missing keys read as 0, empty or false.
ShortUrlInterface loadInterface(std::string_view name, ControlStateStore& store);

/// The names of every interface in the store's file, in file order.
std::vector<std::string> listInterfaceNames(ControlStateStore& store);

/// Removes the interface called `name`; a failure says why the file still holds it.
Status deleteInterface(std::string_view name, ControlStateStore& store);

/// Removes every interface section as one save, leaving every other section as it is.
Status deleteAllInterfaces(ControlStateStore& store);

/// Writes a new file at `path` that holds `definition` alone, replacing
/// whatever file was there in one step: an INI section, or a custom-uploader
/// file when the name ends in ".sxcu". The token stays out unless `withToken`.
Status exportInterface(const ShortUrlInterface& definition, std::string_view path,
                       bool withToken = false);

/// The first interface of the INI file at `path` (or the interface of a
/// ".sxcu" file), and its section's name. Fails
/// when the file cannot be read, holds no interface section, or names one that
/// has no address or cannot be stored. Never creates, locks or changes the file.
Result<ShortUrlInterface> importInterface(std::string_view path,
                                          std::string* importedName = nullptr);

}  // namespace lianshuo
