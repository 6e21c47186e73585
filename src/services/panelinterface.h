#pragma once

#include "services/builtinhosts.h"
#include "services/shorturlinterface.h"

namespace lianshuo {

/// The interface panel's content before anything was loaded into it: the
/// Baidu service's legacy create page, read with the usual cut and replace.
ShortUrlInterface initialPanelInterface(const BuiltinHosts& hosts);

}  // namespace lianshuo
