#pragma once
// Custom interfaces as INI sections "短网址选项_" + name, where the name is
// the host of the interface's address. The same format serves the settings
// file and the files of export and import.

#include <string>
#include <string_view>
#include <vector>

#include "services/shorturlinterface.h"

namespace lianshuo {

class ControlStateStore;

/// The name an interface is saved under: the host of its address.
std::string interfaceName(const ShortUrlInterface& definition);

/// The INI section of the interface called `name`.
std::string interfaceSection(std::string_view name);

/// Writes the fourteen keys into the interface's section; false when a write failed.
bool saveInterface(const ShortUrlInterface& definition, ControlStateStore& store);

/// Reads the interface called `name`; missing keys read as 0, empty or false.
ShortUrlInterface loadInterface(std::string_view name, ControlStateStore& store);

/// The names of every interface in the store's file, in file order.
std::vector<std::string> listInterfaceNames(ControlStateStore& store);

/// Removes the interface called `name`.
void deleteInterface(std::string_view name, ControlStateStore& store);

/// Removes every interface section, leaving every other section as it is.
void deleteAllInterfaces(ControlStateStore& store);

/// Saves `definition` into the INI file at `path`, keeping its other sections.
bool exportInterface(const ShortUrlInterface& definition, std::string_view path);

/// The first interface of the INI file at `path` (an empty name when it holds none).
ShortUrlInterface importInterface(std::string_view path, std::string* importedName = nullptr);

}  // namespace lianshuo
