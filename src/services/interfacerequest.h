#pragma once
// The request a custom interface makes for one long address: its templates
// filled by context, its headers expanded and its body in its format.
//
// Placeholders: "#长网址#" is the long address percent-encoded in the address
// and a form body, the contents of a JSON string in a JSON body, and the plain
// address in a multipart field, a raw body or a header. "#长网址原文#" is the
// plain address everywhere, "#令牌#" the token, "#用户名#" and "#密码#" the
// credentials and "#别名#" the alias (all encoded like "#长网址#"); "#别名?#" is the alias too, but
// a JSON member, form pair or query pair that is nothing but it is left out when there is none. A
// function call's argument is filled with plain values, and its result encoded
// like "#长网址#" for where the call stands.

#include <string>
#include <string_view>
#include <vector>

#include "services/conversionoutcome.h"
#include "services/servicerequest.h"
#include "services/shorturlinterface.h"
#include "services/templatesyntax.h"

namespace lianshuo {

/// A pasted line: the long address, and the alias wished for after a tab.
struct AddressLine {
    std::string longUrl;
    std::string alias;
};

/// Splits `line` at its first tab; both parts trimmed of spaces.
AddressLine splitAddressLine(std::string_view line);

/// True when `placeholder` ("#用户名#") stands where the interface sends it: the address, a
/// header, or the body.
bool interfaceUses(const ShortUrlInterface& definition, std::string_view placeholder);

/// True when the interface sends the "令牌" key: where "#令牌#" stands, or in its token
/// request when it has one.
bool interfaceUsesToken(const ShortUrlInterface& definition);

struct FilledRequest {
    ServiceRequest request;
    bool viaRequestObject = false;  // an "http://" template goes through the request object
    ConversionOutcome failure;      // set when the interface can make no request of this address
};

/// The request `definition` makes for `longUrl` (GBK) with `alias`; the
/// charset mode, method and redirect rule are set, the cancel flag is not.
/// `token`, when given, stands for "#令牌#" in place of the "令牌" key: the
/// one a token request obtained.
FilledRequest fillInterfaceRequest(const ShortUrlInterface& definition, std::string_view longUrl,
                                   std::string_view alias, const std::string* token = nullptr);

}  // namespace lianshuo
