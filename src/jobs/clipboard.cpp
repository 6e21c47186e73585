#include "jobs/clipboard.h"

namespace lianshuo {
namespace {
Clipboard* installedClipboard = nullptr;
}  // namespace

void setClipboard(Clipboard* clipboard) {
    installedClipboard = clipboard;
}

Clipboard* clipboard() {
    return installedClipboard;
}

}  // namespace lianshuo
