#pragma once
// What the command line says about its own use: the text of --help and the
// one-line usage of each command that a usage error shows. GBK.

#include <string>
#include <string_view>

namespace lianshuo::cli {

/// The whole --help text, its first line "用法：lianshuo [命令] [选项]".
std::string helpText();

/// "用法：lianshuo COMMAND ...": the forms `command` takes ("history",
/// "interfaces", "qr"); the general usage line for any other.
std::string usageLine(std::string_view command);

}  // namespace lianshuo::cli
