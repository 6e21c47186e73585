#pragma once
// The key the conversion history keeps a service's conversions under: it
// names what would answer a request, so that a changed host or an edited
// interface never hands out links made by what it was before.

#include <string>

#include "services/builtinhosts.h"
#include "services/shorturlinterface.h"

namespace lianshuo {

/// "baidu:HOST", "weibo:RELAY-HOST", "tinyurl:HOST", or for the custom
/// interface "custom:NAME:FINGERPRINT" (NAME its saved name, else the host of
/// its address).
std::string historyServiceKey(int service, const BuiltinHosts& hosts,
                              const ShortUrlInterface& custom);

/// 16 hex digits over the fields that shape a custom interface's request: the
/// address, the method, the POST template (when it is sent) and the encoding,
/// and where set the method's name, the headers, the body format and the token.
std::string interfaceFingerprint(const ShortUrlInterface& definition);

}  // namespace lianshuo
