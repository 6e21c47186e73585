#pragma once
// The desktop's clipboard for `convert --clipboard` and `--copy`. The command
// line links no window library: the program's entry installs one when a
// display is there, and without one the options fail with a clear error.

#include <optional>
#include <string>

namespace lianshuo {

class Clipboard {
public:
    virtual ~Clipboard() = default;
    /// The clipboard's text (UTF-8), nullopt when it cannot be read.
    virtual std::optional<std::string> text() = 0;
    /// Replaces the clipboard's text (UTF-8); false when it could not.
    virtual bool setText(const std::string& text) = 0;
};

/// Installs the clipboard the commands use (not owned; null: no display).
void setClipboard(Clipboard* clipboard);
Clipboard* clipboard();

}  // namespace lianshuo
