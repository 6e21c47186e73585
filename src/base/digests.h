#pragma once
// MD5 (RFC 1321) and SHA-1 (FIPS 180-1) as lower-case hex, for the signatures
// some services ask for. Neither is used to keep anything of ours secret.

#include <string>
#include <string_view>

namespace lianshuo {

/// MD5 of `bytes` in lower-case hex.
std::string md5Hex(std::string_view bytes);

/// SHA-1 of `bytes` in lower-case hex.
std::string sha1Hex(std::string_view bytes);

}  // namespace lianshuo
