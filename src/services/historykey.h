#pragma once
// The key the conversion history keeps a service's conversions under: it
// names what would answer a request, so that a changed host or an edited
// interface never hands out links made by what it was before.

#include <functional>
#include <string>
#include <string_view>

#include "services/builtinhosts.h"
#include "services/shorturlinterface.h"

namespace lianshuo {

/// A secret made into the tag a key holds in its place (the history's HMAC).
using SecretTagger = std::function<std::string(std::string_view secret)>;

/// "baidu:HOST", "weibo:RELAY-HOST", "tinyurl:HOST", or for the custom
/// interface "custom:NAME:FINGERPRINT" (NAME its saved name, else the host of
/// its address).
std::string historyServiceKey(int service, const BuiltinHosts& hosts,
                              const ShortUrlInterface& custom, const SecretTagger& tag);

/// The key versions before tagged secrets gave the same service, whose
/// fingerprint took the token as it is; empty where it is today's key (every
/// service but a custom interface with a token).
std::string formerHistoryServiceKey(int service, const ShortUrlInterface& custom);

/// 16 hex digits over the fields that shape a custom interface's request: the
/// address, the method, the POST template (when it is sent) and the encoding,
/// and where set the method's name, the headers and the body format; with a
/// token, "-" and the token's tag follow.
std::string interfaceFingerprint(const ShortUrlInterface& definition, const SecretTagger& tag);

}  // namespace lianshuo
