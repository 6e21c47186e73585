#pragma once
// Strict stand-ins for public short-link APIs, as their documents describe
// them. Each checks the method, the path, the credential header, the content
// type and the shape of the body, and answers in the service's own success
// and error shapes; anything a real service would refuse is refused the same
// way. A long address is acceptable when it starts with http:// or https://.
// Short codes count up from "fk1" per fake; an address seen before keeps its
// code where the service does so. Texts are UTF-8, as on the wire.

#include <string>

#include "support/test_server.h"

namespace lianshuo::test {

/// The credentials the fakes accept unless told otherwise.
inline constexpr const char* kFakeToken = "tok-123";
// The user name of the fakes that log in first; kFakeToken is then the password.
inline constexpr const char* kFakeUser = "ann@example.test";

/// Bitly v4: POST /v4/shorten, "Authorization: Bearer", JSON {"long_url", "domain"?};
/// 201 (200 for a known address) with "link"; errors {"message", "description", …}.
void serveBitly(TestServer& server, std::string token = kFakeToken);

/// Shlink REST v3: POST /rest/v3/short-urls, "X-Api-Key", JSON {"longUrl", …};
/// 200 with "shortUrl"; errors as application/problem+json with "title" and "detail".
void serveShlink(TestServer& server, std::string apiKey = kFakeToken);

/// Kutt v2: POST /api/v2/links, "X-API-KEY", JSON {"target", …}; 201 with "link"; errors {"error"}.
void serveKutt(TestServer& server, std::string apiKey = kFakeToken);

/// YOURLS: GET or POST /yourls-api.php with signature, action=shorturl, url and
/// format (json, simple); JSON replies carry "shorturl", "message" and "statusCode".
void serveYourls(TestServer& server, std::string signature = kFakeToken);

/// TinyURL's token API: POST /create, "Authorization: Bearer", JSON {"url", "domain"?};
/// 200 with "data.tiny_url"; errors {"data": [], "code", "errors": [...]}.
void serveTinyUrlApi(TestServer& server, std::string token = kFakeToken);

/// TinyURL's api-create.php: GET /api-create.php?url=; the short address as plain text.
void serveTinyUrlPlain(TestServer& server);

/// T.LY: POST /api/v1/link/shorten, "Authorization: Bearer", "Accept: application/json",
/// JSON {"long_url", "domain"?}; 201 with "short_url"; errors {"message", "errors"?}.
void serveTly(TestServer& server, std::string token = kFakeToken);

/// Dub: POST /links, "Authorization: Bearer", JSON {"url", …}; 200 with "shortLink";
/// errors {"error": {"code", "message", "doc_url"}}.
void serveDub(TestServer& server, std::string token = kFakeToken);

/// is.gd and v.gd: GET /create.php?format=json|simple&url=; JSON {"shorturl"} or
/// {"errorcode", "errormessage"}; simple: the address, or "Error: …" with 400.
void serveIsGd(TestServer& server, std::string shortHost = "is.gd");

/// da.gd: GET /s?url=; the address and a line break as text/plain; errors as text with 400.
void serveDaGd(TestServer& server);

/// Polr 2: GET /api/v2/action/shorten?key=&url=&response_type=json; {"action", "result"};
/// errors {"error", "status_code", "error_code"}.
void servePolr(TestServer& server, std::string key = kFakeToken);

/// Sink: POST /api/link/create, "Authorization: Bearer", JSON {"url", "slug"?}; 201 with
/// "link" and "shortLink"; errors {"statusCode", "statusMessage", "message"}.
void serveSink(TestServer& server, std::string token = kFakeToken);

/// cleanuri: POST /api/v1/shorten, form url=; {"result_url"}; errors {"error"} with 400.
void serveCleanUri(TestServer& server);

/// spoo.me: POST / with form url= and "Accept: application/json"; {"short_url"};
/// errors {"UrlError": …} with 400.
void serveSpooMe(TestServer& server);

/// A multipart shortener in the manner of 0x0.st: POST / as multipart/form-data with
/// the field "shorten"; the address and a line break as text; errors as text with 400.
void serveMultipartShortener(TestServer& server);

/// tiny.cc v3: POST /tiny/api/3/urls, HTTP Basic of `token`, JSON {"urls": [{"long_url", …}]};
/// always 200, each address's own {"error": {"code", "message"}} beside its
/// short_url_with_protocol.
void serveTinyCc(TestServer& server, std::string token = kFakeToken);

/// Rebrandly: POST /v1/links, "apikey", JSON {"destination", "domain"?}; 200 with "shortUrl"
/// without a scheme; errors {"code", "message"}.
void serveRebrandly(TestServer& server, std::string apiKey = kFakeToken);

/// Short.io: POST /links, "authorization" (the key itself), JSON {"domain", "originalURL"};
/// 200 with "shortURL"; errors {"error", "statusCode"}.
void serveShortIo(TestServer& server, std::string apiKey = kFakeToken);

/// Cutt.ly: GET /api/api.php?key=&short=; always 200 with "url.status" (7 shortened, 4 bad
/// key, 2 not a link) and, when shortened, "url.shortLink".
void serveCuttly(TestServer& server, std::string key = kFakeToken);

/// Zipline v4: POST /api/user/urls, "Authorization" (the token itself), JSON {"destination",
/// "vanity"?} where an empty vanity is refused; 200 with "url"; errors {"error", "statusCode"}.
void serveZipline(TestServer& server, std::string token = kFakeToken);

/// Switchy: POST /v1/links/create, "Api-Authorization", JSON {"link": {"url", "domain"?, "id"?}};
/// 200 with "domain" and "id" apart; errors {"message"}.
void serveSwitchy(TestServer& server, std::string token = kFakeToken);

/// Lstu: POST /a as a form with lsturl and format=json; 200 with {"success": true, "short"}, or
/// {"success": false, "msg"} for a refused address.
void serveLstu(TestServer& server);

/// 1pt: GET /addURL?long=; 201 with the code alone in "short"; errors {"message"} with 400.
void serve1pt(TestServer& server);

/// x.gd: GET /V1/shorten?url=&key=; always 200 with "status" inside (200, 400, 401, 429…),
/// "shorturl" or "message".
void serveXgd(TestServer& server, std::string key = kFakeToken);

/// BL.INK v4: POST /api/v4/access_token with JSON {"email", "password"} answers 200
/// {"success": 1, "access_token"}, a wrong pair 401 {"success": 0, "message"}; POST
/// /api/v4/DOMAIN/links needs "Authorization: Bearer" with the token issued last and JSON
/// {"url", "alias"?} (401, or 400 for a bad url or an empty alias, each {"success": 0,
/// "message"}); 200 with {"success": 1, "objects": [{"short_link", …}]}.
void serveBlink(TestServer& server, std::string email = kFakeUser,
                std::string password = kFakeToken, std::string domainId = "12345");

/// The fields of a multipart/form-data body under `contentType`, in order; empty when
/// the body is no such thing.
std::vector<std::pair<std::string, std::string>> multipartFields(const std::string& contentType,
                                                                 const std::string& body);

}  // namespace lianshuo::test
