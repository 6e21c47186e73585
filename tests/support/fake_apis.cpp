#include "support/fake_apis.h"

#include <cctype>
#include <map>
#include <memory>
#include <mutex>
#include <nlohmann/json.hpp>

namespace lianshuo::test {
namespace {

using json = nlohmann::json;
using Fields = std::map<std::string, std::string>;

std::string lower(std::string text) {
    for (char& c : text)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return text;
}

std::string percentDecode(std::string_view text, bool plusIsSpace) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size() && std::isxdigit(text[i + 1]) &&
            std::isxdigit(text[i + 2])) {
            out += static_cast<char>(std::stoi(std::string(text.substr(i + 1, 2)), nullptr, 16));
            i += 2;
        } else {
            out += plusIsSpace && text[i] == '+' ? ' ' : text[i];
        }
    }
    return out;
}

Fields fieldsOf(std::string_view encoded) {
    Fields fields;
    while (!encoded.empty()) {
        const std::size_t amp = encoded.find('&');
        const std::string_view pair = encoded.substr(0, amp);
        const std::size_t equals = pair.find('=');
        fields[percentDecode(pair.substr(0, equals), true)] =
            equals == std::string_view::npos ? "" : percentDecode(pair.substr(equals + 1), true);
        encoded = amp == std::string_view::npos ? std::string_view() : encoded.substr(amp + 1);
    }
    return fields;
}

Fields queryOf(const RecordedRequest& r) {
    const std::size_t mark = r.target.find('?');
    return mark == std::string::npos ? Fields{}
                                     : fieldsOf(std::string_view(r.target).substr(mark + 1));
}

std::string field(const Fields& fields, const std::string& name) {
    const auto found = fields.find(name);
    return found == fields.end() ? std::string() : found->second;
}

bool isLongUrl(const std::string& url) {
    const bool scheme = url.starts_with("http://") || url.starts_with("https://");
    return scheme && url.size() > 10 && url.find_first_of(" \t\r\n") == std::string::npos;
}

std::string bearerOf(const RecordedRequest& r) {
    const std::string value = r.header("Authorization");
    return value.starts_with("Bearer ") ? value.substr(7) : std::string();
}

bool sendsJson(const RecordedRequest& r) {
    return lower(r.header("Content-Type")).starts_with("application/json");
}

bool sendsForm(const RecordedRequest& r) {
    return lower(r.header("Content-Type")).starts_with("application/x-www-form-urlencoded");
}

// The body as a JSON object, or null when it is none.
json objectOf(const RecordedRequest& r) {
    json body = json::parse(r.body, nullptr, false);
    return body.is_object() ? body : json();
}

std::string stringMember(const json& object, const char* name) {
    if (!object.is_object()) return {};
    const auto found = object.find(name);
    return found != object.end() && found->is_string() ? found->get<std::string>() : std::string();
}

void answerJson(Exchange& e, int status, const json& body,
                const std::string& type = "application/json") {
    e.answer(status, body.dump(), {"Content-Type: " + type});
}

void answerText(Exchange& e, int status, const std::string& text) {
    e.answer(status, text, {"Content-Type: text/plain; charset=utf-8"});
}

// Short codes "fk1", "fk2", …, shared by the connection threads of one fake.
class Codes {
public:
    // The code of `url`: a known address keeps its code when `reuse`; `fresh` says which.
    std::string codeFor(const std::string& url, bool reuse, bool* fresh = nullptr) {
        std::lock_guard lock(mutex_);
        const auto known = codes_.find(url);
        if (fresh) *fresh = !(reuse && known != codes_.end());
        if (reuse && known != codes_.end()) return known->second;
        std::string code = "fk" + std::to_string(++count_);
        codes_.emplace(url, code);
        return code;
    }

private:
    std::mutex mutex_;
    int count_ = 0;
    std::map<std::string, std::string> codes_;
};

}  // namespace

std::vector<std::pair<std::string, std::string>> multipartFields(const std::string& contentType,
                                                                 const std::string& body) {
    std::vector<std::pair<std::string, std::string>> fields;
    const std::size_t at = lower(contentType).find("boundary=");
    if (!lower(contentType).starts_with("multipart/form-data") || at == std::string::npos)
        return {};
    const std::string delimiter = "--" + contentType.substr(at + 9);
    if (!body.starts_with(delimiter + "\r\n") || !body.ends_with(delimiter + "--\r\n")) return {};
    std::size_t part = delimiter.size() + 2;
    while (part < body.size() - delimiter.size() - 4) {
        const std::size_t next = body.find("\r\n" + delimiter, part);
        const std::size_t headEnd = body.find("\r\n\r\n", part);
        if (next == std::string::npos || headEnd == std::string::npos || headEnd > next) return {};
        const std::string head = body.substr(part, headEnd - part);
        const std::string prefix = "Content-Disposition: form-data; name=\"";
        if (!head.starts_with(prefix) || !head.ends_with("\"")) return {};
        fields.emplace_back(head.substr(prefix.size(), head.size() - prefix.size() - 1),
                            body.substr(headEnd + 4, next - headEnd - 4));
        part = next + 2 + delimiter.size() + 2;
    }
    return fields;
}

void serveBitly(TestServer& server, std::string token) {
    auto codes = std::make_shared<Codes>();
    server.route("/v4/shorten", [=](Exchange& e) {
        const RecordedRequest& r = e.request();
        auto error = [&](int status, const std::string& message, const std::string& description) {
            answerJson(
                e, status,
                {{"message", message}, {"resource", "bitlinks"}, {"description", description}});
        };
        if (r.method != "POST") return error(405, "METHOD_NOT_ALLOWED", "Method not allowed.");
        if (bearerOf(r) != token)
            return error(403, "FORBIDDEN", "You are currently forbidden to access this resource.");
        const json body = objectOf(r);
        if (!sendsJson(r) || body.is_null())
            return error(400, "INVALID_CONTENT_TYPE_HEADER", "The body must be JSON.");
        const std::string longUrl = stringMember(body, "long_url");
        if (!isLongUrl(longUrl) || (body.contains("domain") && !body["domain"].is_string())) {
            json reply = {{"message", "INVALID_ARG_LONG_URL"},
                          {"resource", "bitlinks"},
                          {"description", "The value provided is invalid."},
                          {"errors", {{{"field", "long_url"}, {"error_code", "invalid"}}}}};
            return answerJson(e, 400, reply);
        }
        bool fresh = true;
        const std::string code = codes->codeFor(longUrl, true, &fresh);
        answerJson(e, fresh ? 201 : 200,
                   {{"created_at", "2026-01-01T00:00:00+0000"},
                    {"id", "bit.ly/" + code},
                    {"link", "https://bit.ly/" + code},
                    {"long_url", longUrl},
                    {"archived", false},
                    {"tags", json::array()},
                    {"deeplinks", json::array()}});
    });
}

void serveShlink(TestServer& server, std::string apiKey) {
    auto codes = std::make_shared<Codes>();
    server.route("/rest/v3/short-urls", [=](Exchange& e) {
        const RecordedRequest& r = e.request();
        auto problem = [&](int status, const std::string& type, const std::string& title,
                           const std::string& detail, json extra = json::object()) {
            extra.update({{"type", "https://shlink.io/api/error/" + type},
                          {"title", title},
                          {"detail", detail},
                          {"status", status}});
            answerJson(e, status, extra, "application/problem+json");
        };
        if (r.method != "POST")
            return problem(405, "method-not-allowed", "Method not allowed", "Use POST.");
        if (r.headerCount("X-Api-Key") == 0)
            return problem(401, "missing-authentication", "Invalid authorization",
                           "Expected one of the following authentication headers, "
                           "[\"X-Api-Key\"], but none were provided");
        if (r.header("X-Api-Key") != apiKey)
            return problem(401, "invalid-api-key", "Invalid API key",
                           "Provided API key does not exist or is invalid.");
        const json body = objectOf(r);
        const std::string longUrl = stringMember(body, "longUrl");
        if (!sendsJson(r) || !isLongUrl(longUrl))
            return problem(400, "invalid-data", "Invalid data", "Provided data is not valid",
                           {{"invalidElements", {"longUrl"}}});
        const bool findIfExists = body.value("findIfExists", false);
        const std::string code = codes->codeFor(longUrl, findIfExists);
        answerJson(e, 200,
                   {{"shortCode", code},
                    {"shortUrl", "https://s.shlink.test/" + code},
                    {"longUrl", longUrl},
                    {"dateCreated", "2026-01-01T00:00:00+00:00"},
                    {"tags", json::array()},
                    {"domain", nullptr},
                    {"title", nullptr},
                    {"crawlable", false},
                    {"forwardQuery", true}});
    });
}

void serveKutt(TestServer& server, std::string apiKey) {
    auto codes = std::make_shared<Codes>();
    server.route("/api/v2/links", [=](Exchange& e) {
        const RecordedRequest& r = e.request();
        auto error = [&](int status, const std::string& message) {
            answerJson(e, status, {{"error", message}});
        };
        if (r.method != "POST") return error(404, "Not found.");
        if (r.header("X-API-KEY") != apiKey) return error(401, "Unauthorized.");
        const json body = objectOf(r);
        if (!sendsJson(r) || body.is_null()) return error(400, "Body must be JSON.");
        const std::string target = stringMember(body, "target");
        if (target.empty()) return error(400, "Target is missing.");
        if (!isLongUrl(target)) return error(400, "Target must be a valid URL.");
        const std::string code = codes->codeFor(target, false);
        answerJson(e, 201,
                   {{"id", "00000000-0000-0000-0000-00000000000" + code.substr(2, 1)},
                    {"address", code},
                    {"banned", false},
                    {"password", false},
                    {"target", target},
                    {"visit_count", 0},
                    {"link", "https://kutt.it/" + code}});
    });
}

void serveYourls(TestServer& server, std::string signature) {
    auto codes = std::make_shared<Codes>();
    server.route("/yourls-api.php", [=](Exchange& e) {
        const RecordedRequest& r = e.request();
        Fields params = queryOf(r);
        if (r.method == "POST" && sendsForm(r))
            for (auto& [name, value] : fieldsOf(r.body)) params[name] = value;
        const bool simple = field(params, "format") == "simple";
        auto reply = [&](int status, json body) {
            if (!simple) return answerJson(e, status, body);
            const std::string text =
                stringMember(body, body.contains("shorturl") ? "shorturl" : "message");
            e.answer(status, text, {"Content-Type: text/plain; charset=utf-8"});
        };
        if (r.method != "GET" && r.method != "POST")
            return reply(405, {{"errorCode", 405}, {"message", "Method not allowed"}});
        if (field(params, "signature") != signature)
            return reply(403, {{"errorCode", 403}, {"message", "Please log in"}, {"callback", ""}});
        if (field(params, "action") != "shorturl")
            return reply(
                400, {{"errorCode", 400}, {"message", "Unknown or missing \"action\" parameter"}});
        const std::string url = field(params, "url");
        if (!isLongUrl(url))
            return reply(400, {{"status", "fail"},
                               {"code", "error:nourl"},
                               {"message", "Missing or malformed URL"},
                               {"errorCode", "400"},
                               {"statusCode", 400}});
        bool fresh = true;
        const std::string code = codes->codeFor(url, true, &fresh);
        const json link = {
            {"keyword", code}, {"url", url}, {"title", "Title"}, {"ip", "127.0.0.1"}};
        const std::string shortUrl = "http://s.yourls.test/" + code;
        if (!fresh)
            return reply(400, {{"status", "fail"},
                               {"code", "error:url"},
                               {"url", link},
                               {"message", url + " already exists in database"},
                               {"title", "Title"},
                               {"shorturl", shortUrl},
                               {"statusCode", 400}});
        reply(200, {{"url", link},
                    {"status", "success"},
                    {"message", url + " added to database"},
                    {"title", "Title"},
                    {"shorturl", shortUrl},
                    {"statusCode", 200}});
    });
}

void serveTinyUrlApi(TestServer& server, std::string token) {
    auto codes = std::make_shared<Codes>();
    server.route("/create", [=](Exchange& e) {
        const RecordedRequest& r = e.request();
        auto error = [&](int status, int code, const std::string& message) {
            answerJson(e, status, {{"data", json::array()}, {"code", code}, {"errors", {message}}});
        };
        if (r.method != "POST") return error(405, 5, "Method not allowed.");
        if (bearerOf(r) != token) return error(401, 1, "Unauthorized");
        const json body = objectOf(r);
        if (!sendsJson(r) || body.is_null()) return error(422, 5, "The body must be JSON.");
        const std::string url = stringMember(body, "url");
        if (url.empty()) return error(422, 5, "The url field is required.");
        if (!isLongUrl(url)) return error(422, 5, "The url must be a valid URL.");
        const std::string domain = body.value("domain", "tinyurl.com");
        const std::string code = codes->codeFor(url, false);
        answerJson(e, 200,
                   {{"data",
                     {{"domain", domain},
                      {"alias", code},
                      {"deleted", false},
                      {"archived", false},
                      {"tags", json::array()},
                      {"tiny_url", "https://" + domain + "/" + code},
                      {"url", url}}},
                    {"code", 0},
                    {"errors", json::array()}});
    });
}

void serveTinyUrlPlain(TestServer& server) {
    auto codes = std::make_shared<Codes>();
    server.route("/api-create.php", [=](Exchange& e) {
        const std::string url = field(queryOf(e.request()), "url");
        if (e.request().method != "GET" || !isLongUrl(url)) return answerText(e, 400, "Error");
        answerText(e, 200, "https://tinyurl.com/" + codes->codeFor(url, true));
    });
}

void serveTly(TestServer& server, std::string token) {
    auto codes = std::make_shared<Codes>();
    server.route("/api/v1/link/shorten", [=](Exchange& e) {
        const RecordedRequest& r = e.request();
        // Without asking for JSON a guest is sent to the login page, as the framework does.
        if (r.header("Accept").find("application/json") == std::string::npos) {
            e.answer(302, "", {"Location: https://t.ly/login"});
            return;
        }
        if (r.method != "POST")
            return answerJson(e, 405,
                              {{"message", "The GET method is not supported for this route."}});
        if (bearerOf(r) != token) return answerJson(e, 401, {{"message", "Unauthenticated."}});
        const json body = objectOf(r);
        const std::string longUrl = stringMember(body, "long_url");
        if (!sendsJson(r) || !isLongUrl(longUrl)) {
            const std::string message = longUrl.empty() ? "The long url field is required."
                                                        : "The long url field must be a valid URL.";
            return answerJson(e, 422,
                              {{"message", message}, {"errors", {{"long_url", {message}}}}});
        }
        const std::string domain = body.value("domain", "https://t.ly/");
        const std::string code = codes->codeFor(longUrl, false);
        answerJson(e, 201,
                   {{"short_url", domain + code},
                    {"description", nullptr},
                    {"long_url", longUrl},
                    {"domain", domain},
                    {"short_id", code},
                    {"public_stats", false}});
    });
}

void serveDub(TestServer& server, std::string token) {
    auto codes = std::make_shared<Codes>();
    server.route("/links", [=](Exchange& e) {
        const RecordedRequest& r = e.request();
        auto error = [&](int status, const std::string& code, const std::string& message) {
            answerJson(e, status,
                       {{"error",
                         {{"code", code},
                          {"message", message},
                          {"doc_url", "https://dub.co/docs/api-reference/errors#" + code}}}});
        };
        if (r.method != "POST") return error(405, "method_not_allowed", "Method not allowed.");
        if (bearerOf(r) != token)
            return error(401, "unauthorized", "Unauthorized: Invalid API key.");
        const json body = objectOf(r);
        if (!sendsJson(r) || body.is_null()) return error(400, "bad_request", "Invalid JSON body.");
        const std::string url = stringMember(body, "url");
        if (!isLongUrl(url)) return error(422, "unprocessable_entity", "url: Invalid URL");
        const std::string code = codes->codeFor(url, false);
        answerJson(e, 200,
                   {{"id", "link_" + code},
                    {"domain", "dub.sh"},
                    {"key", code},
                    {"url", url},
                    {"shortLink", "https://dub.sh/" + code},
                    {"archived", false}});
    });
}

void serveIsGd(TestServer& server, std::string shortHost) {
    auto codes = std::make_shared<Codes>();
    server.route("/create.php", [=](Exchange& e) {
        const RecordedRequest& r = e.request();
        Fields params = queryOf(r);
        if (r.method == "POST" && sendsForm(r))
            for (auto& [name, value] : fieldsOf(r.body)) params[name] = value;
        const std::string format = field(params, "format");
        const std::string url = field(params, "url");
        std::string error;
        if (r.method != "GET" && r.method != "POST")
            error = "Please use GET or POST.";
        else if (url.empty())
            error = "Please specify a URL to shorten.";
        else if (!isLongUrl(url))
            error = "Please enter a valid URL to shorten";
        if (!error.empty()) {
            if (format == "json")
                return answerJson(e, 200, {{"errorcode", 1}, {"errormessage", error}});
            return answerText(e, 400, "Error: " + error);
        }
        const std::string shortUrl = "https://" + shortHost + "/" + codes->codeFor(url, true);
        if (format == "json") return answerJson(e, 200, {{"shorturl", shortUrl}});
        answerText(e, 200, shortUrl);
    });
}

void serveDaGd(TestServer& server) {
    auto codes = std::make_shared<Codes>();
    server.route("/s", [=](Exchange& e) {
        const std::string url = field(queryOf(e.request()), "url");
        if (e.request().method != "GET") return answerText(e, 405, "Method not allowed.\n");
        if (url.empty()) return answerText(e, 400, "Long URL cannot be empty.\n");
        if (!isLongUrl(url))
            return answerText(e, 400, "Long URL must have http:// or https:// scheme.\n");
        answerText(e, 200, "https://da.gd/" + codes->codeFor(url, true) + "\n");
    });
}

void servePolr(TestServer& server, std::string key) {
    auto codes = std::make_shared<Codes>();
    server.route("/api/v2/action/shorten", [=](Exchange& e) {
        const Fields params = queryOf(e.request());
        auto error = [&](int status, const std::string& code, const std::string& message) {
            answerJson(e, status,
                       {{"error", message}, {"status_code", status}, {"error_code", code}});
        };
        if (e.request().method != "GET")
            return error(405, "METHOD_NOT_ALLOWED", "Method not allowed.");
        if (field(params, "key") != key)
            return error(401, "AUTH_ERROR", "Authentication token required.");
        const std::string url = field(params, "url");
        if (!isLongUrl(url)) return error(400, "SHORTEN_ERROR", "URL is not valid.");
        const std::string shortUrl = "https://s.polr.test/" + codes->codeFor(url, true);
        if (field(params, "response_type") == "json")
            return answerJson(e, 200, {{"action", "shorten"}, {"result", shortUrl}});
        answerText(e, 200, shortUrl);
    });
}

void serveSink(TestServer& server, std::string token) {
    auto codes = std::make_shared<Codes>();
    server.route("/api/link/create", [=](Exchange& e) {
        const RecordedRequest& r = e.request();
        auto error = [&](int status, const std::string& message) {
            answerJson(e, status,
                       {{"url", "/api/link/create"},
                        {"statusCode", status},
                        {"statusMessage", message},
                        {"message", message}});
        };
        if (r.method != "POST") return error(405, "Method Not Allowed");
        if (bearerOf(r) != token) return error(401, "Unauthorized");
        const json body = objectOf(r);
        const std::string url = stringMember(body, "url");
        if (!sendsJson(r) || !isLongUrl(url)) return error(400, "Invalid url");
        const std::string slug =
            body.contains("slug") ? stringMember(body, "slug") : codes->codeFor(url, false);
        answerJson(e, 201,
                   {{"link", {{"id", "id-" + slug}, {"url", url}, {"slug", slug}}},
                    {"shortLink", "https://s.sink.test/" + slug}});
    });
}

void serveCleanUri(TestServer& server) {
    auto codes = std::make_shared<Codes>();
    server.route("/api/v1/shorten", [=](Exchange& e) {
        const RecordedRequest& r = e.request();
        if (r.method != "POST")
            return answerJson(e, 405, {{"error", "API Error: Method not allowed"}});
        const std::string url = sendsForm(r) ? field(fieldsOf(r.body), "url") : "";
        if (url.empty()) return answerJson(e, 400, {{"error", "API Error: URL is empty"}});
        if (!isLongUrl(url))
            return answerJson(e, 400, {{"error", "API Error: URL is invalid (check #1)"}});
        answerJson(e, 200, {{"result_url", "https://cleanuri.com/" + codes->codeFor(url, true)}});
    });
}

void serveSpooMe(TestServer& server) {
    auto codes = std::make_shared<Codes>();
    server.route("/", [=](Exchange& e) {
        const RecordedRequest& r = e.request();
        // Without asking for JSON the site answers with its page.
        if (r.header("Accept").find("application/json") == std::string::npos) {
            e.answer(200, "<!DOCTYPE html><title>spoo.me</title>", {"Content-Type: text/html"});
            return;
        }
        const std::string url =
            r.method == "POST" && sendsForm(r) ? field(fieldsOf(r.body), "url") : "";
        if (!isLongUrl(url))
            return answerJson(e, 400,
                              {{"UrlError",
                                "Invalid URL, URL must have a valid protocol and must "
                                "follow rfc_1034 & rfc_2728 patterns"}});
        answerJson(e, 200, {{"short_url", "https://spoo.me/" + codes->codeFor(url, false)}});
    });
}

void serveMultipartShortener(TestServer& server) {
    auto codes = std::make_shared<Codes>();
    server.route("/", [=](Exchange& e) {
        const RecordedRequest& r = e.request();
        if (r.method != "POST") return answerText(e, 405, "Method Not Allowed\n");
        const auto fields = multipartFields(r.header("Content-Type"), r.body);
        if (fields.empty()) return answerText(e, 400, "Bad Request: not multipart/form-data\n");
        std::string url;
        for (const auto& [name, value] : fields)
            if (name == "shorten") url = value;
        if (url.empty()) return answerText(e, 400, "Bad Request: no field 'shorten'\n");
        if (!isLongUrl(url)) return answerText(e, 400, "Invalid URL\n");
        answerText(e, 200, "https://0x0.test/" + codes->codeFor(url, true) + "\n");
    });
}

}  // namespace lianshuo::test

namespace lianshuo::test {
namespace {

std::string base64Of(std::string_view bytes) {
    static constexpr char kDigits[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    for (std::size_t i = 0; i < bytes.size(); i += 3) {
        const auto byte = [&](std::size_t at) {
            return at < bytes.size() ? static_cast<unsigned char>(bytes[at]) : 0u;
        };
        const unsigned n = byte(i) << 16 | byte(i + 1) << 8 | byte(i + 2);
        out += kDigits[n >> 18 & 63];
        out += kDigits[n >> 12 & 63];
        out += i + 1 < bytes.size() ? kDigits[n >> 6 & 63] : '=';
        out += i + 2 < bytes.size() ? kDigits[n & 63] : '=';
    }
    return out;
}

// A JSON request to `path` by POST with `credential` in `header` (its value whole); the
// checks the services share, answered with `refuse(status, message)` when they fail.
template <typename Refuse>
bool acceptsJsonPost(const RecordedRequest& r, const std::string& header,
                     const std::string& credential, Refuse refuse) {
    if (r.method != "POST") return refuse(405, "Method not allowed"), false;
    if (r.header(header) != credential) return refuse(401, "Unauthorized"), false;
    if (!sendsJson(r) || objectOf(r).is_null()) return refuse(400, "Body must be JSON"), false;
    return true;
}

}  // namespace

void serveTinyCc(TestServer& server, std::string token) {
    auto codes = std::make_shared<Codes>();
    server.route("/tiny/api/3/urls", [=](Exchange& e) {
        const RecordedRequest& r = e.request();
        auto refuse = [&](int status, const std::string& message) {
            answerJson(e, status, {{"error", {{"code", 1002}, {"message", message}}}});
        };
        if (!acceptsJsonPost(r, "Authorization", "Basic " + base64Of(token), refuse)) return;
        const json urls = objectOf(r).value("urls", json());
        if (!urls.is_array() || urls.size() != 1) return refuse(400, "urls must be an array");
        const std::string longUrl = stringMember(urls[0], "long_url");
        // Every address of a batch gets its own error inside a 200.
        json entry = {{"long_url", longUrl}, {"error", {{"code", 0}, {"message", ""}}}};
        if (urls[0].contains("custom_hash") && stringMember(urls[0], "custom_hash").empty())
            entry["error"] = {{"code", 1215}, {"message", "Empty custom hash"}};
        else if (!isLongUrl(longUrl))
            entry["error"] = {{"code", 1205}, {"message", "Invalid long URL"}};
        else {
            const std::string code = codes->codeFor(longUrl, false);
            entry["hash"] = code;
            entry["short_url"] = "tiny.cc/" + code;
            entry["short_url_with_protocol"] = "https://tiny.cc/" + code;
        }
        answerJson(e, 200, {{"error", {{"code", 0}, {"message", ""}}}, {"urls", {entry}}});
    });
}

void serveRebrandly(TestServer& server, std::string apiKey) {
    auto codes = std::make_shared<Codes>();
    server.route("/v1/links", [=](Exchange& e) {
        const RecordedRequest& r = e.request();
        auto refuse = [&](int status, const std::string& message) {
            answerJson(e, status, {{"code", "Refused"}, {"message", message}});
        };
        if (!acceptsJsonPost(r, "apikey", apiKey, refuse)) return;
        const json body = objectOf(r);
        const std::string destination = stringMember(body, "destination");
        if (!isLongUrl(destination))
            return answerJson(e, 403,
                              {{"code", "InvalidFormat"},
                               {"property", "destination"},
                               {"message", "Cannot create link: destination is invalid"}});
        if (body.contains("slashtag") && stringMember(body, "slashtag").empty())
            return refuse(403, "Cannot create link: slashtag is empty");
        const std::string code = codes->codeFor(destination, false);
        answerJson(e, 200,
                   {{"id", code},
                    {"slashtag", code},
                    {"destination", destination},
                    {"shortUrl", "rebrand.ly/" + code},
                    {"domainName", "rebrand.ly"}});
    });
}

void serveShortIo(TestServer& server, std::string apiKey) {
    auto codes = std::make_shared<Codes>();
    server.route("/links", [=](Exchange& e) {
        const RecordedRequest& r = e.request();
        auto refuse = [&](int status, const std::string& message) {
            answerJson(e, status, {{"error", message}, {"statusCode", status}});
        };
        if (!acceptsJsonPost(r, "authorization", apiKey, refuse)) return;
        const json body = objectOf(r);
        if (stringMember(body, "domain").empty()) return refuse(400, "domain is required");
        const std::string longUrl = stringMember(body, "originalURL");
        if (!isLongUrl(longUrl)) return refuse(400, "originalURL is not a valid URL");
        if (body.contains("path") && stringMember(body, "path").empty())
            return refuse(400, "path must not be empty");
        const std::string code = codes->codeFor(longUrl, true);
        answerJson(e, 200,
                   {{"idString", "lnk_" + code},
                    {"path", code},
                    {"originalURL", longUrl},
                    {"shortURL", "https://" + stringMember(body, "domain") + "/" + code},
                    {"secureShortURL", "https://" + stringMember(body, "domain") + "/" + code}});
    });
}

void serveCuttly(TestServer& server, std::string key) {
    auto codes = std::make_shared<Codes>();
    server.route("/api/api.php", [=](Exchange& e) {
        const RecordedRequest& r = e.request();
        const Fields query = queryOf(r);
        // Every answer is a 200; url.status says what happened (7: shortened).
        auto status = [&](int code) { answerJson(e, 200, {{"url", {{"status", code}}}}); };
        if (r.method != "GET") return status(5);
        if (field(query, "key") != key) return status(4);
        const std::string longUrl = field(query, "short");
        if (!isLongUrl(longUrl)) return status(2);
        if (query.contains("name") && field(query, "name").empty()) return status(3);
        const std::string code = codes->codeFor(longUrl, false);
        answerJson(e, 200,
                   {{"url",
                     {{"status", 7},
                      {"fullLink", longUrl},
                      {"date", "2026-01-01"},
                      {"shortLink", "https://cutt.ly/" + code},
                      {"title", "a.test"}}}});
    });
}

void serveZipline(TestServer& server, std::string token) {
    auto codes = std::make_shared<Codes>();
    server.route("/api/user/urls", [=](Exchange& e) {
        const RecordedRequest& r = e.request();
        auto refuse = [&](int status, const std::string& message) {
            answerJson(e, status, {{"error", message}, {"statusCode", status}});
        };
        if (!acceptsJsonPost(r, "Authorization", token, refuse)) return;
        const json body = objectOf(r);
        const std::string destination = stringMember(body, "destination");
        if (!isLongUrl(destination)) return refuse(400, "destination: Invalid url");
        if (body.contains("vanity") && stringMember(body, "vanity").empty())
            return refuse(400, "vanity: String must contain at least 1 character(s)");
        const std::string code = codes->codeFor(destination, false);
        answerJson(e, 200,
                   {{"id", "url_" + code},
                    {"code", code},
                    {"vanity", nullptr},
                    {"destination", destination},
                    {"url", "https://s.zipline.test/go/" + code}});
    });
}

void serveSwitchy(TestServer& server, std::string token) {
    auto codes = std::make_shared<Codes>();
    server.route("/v1/links/create", [=](Exchange& e) {
        const RecordedRequest& r = e.request();
        auto refuse = [&](int status, const std::string& message) {
            answerJson(e, status, {{"message", message}});
        };
        if (!acceptsJsonPost(r, "Api-Authorization", token, refuse)) return;
        const json link = objectOf(r).value("link", json());
        const std::string longUrl = stringMember(link, "url");
        if (!isLongUrl(longUrl)) return refuse(400, "link.url must be a valid URL");
        if (link.contains("id") && stringMember(link, "id").empty())
            return refuse(400, "link.id must not be empty");
        const std::string domain = stringMember(link, "domain");
        answerJson(e, 200,
                   {{"id", codes->codeFor(longUrl, false)},
                    {"domain", domain.empty() ? "hi.switchy.io" : domain},
                    {"url", longUrl}});
    });
}

void serveLstu(TestServer& server) {
    auto codes = std::make_shared<Codes>();
    server.route("/a", [=](Exchange& e) {
        const RecordedRequest& r = e.request();
        if (r.method != "POST" || !sendsForm(r)) return answerText(e, 404, "Not found");
        const Fields form = fieldsOf(r.body);
        auto refuse = [&](const std::string& message) {
            answerJson(e, 200, {{"success", false}, {"msg", message}});
        };
        if (field(form, "format") != "json") return answerText(e, 200, "<html>…</html>");
        const std::string longUrl = field(form, "lsturl");
        if (!isLongUrl(longUrl)) return refuse(longUrl + " is not a valid URL.");
        if (form.contains("lsturl-custom") && field(form, "lsturl-custom").empty())
            return refuse(
                "The shortened text can contain only numbers, letters and the - and _ "
                "character.");
        const std::string code = codes->codeFor(longUrl, true);
        answerJson(e, 200,
                   {{"success", true}, {"url", longUrl}, {"short", "https://lstu.fr/" + code}});
    });
}

void serve1pt(TestServer& server) {
    auto codes = std::make_shared<Codes>();
    server.route("/addURL", [=](Exchange& e) {
        const RecordedRequest& r = e.request();
        const Fields query = queryOf(r);
        if (r.method != "GET") return answerJson(e, 405, {{"message", "Method not allowed"}});
        const std::string longUrl = field(query, "long");
        if (!isLongUrl(longUrl)) return answerJson(e, 400, {{"message", "Bad request"}});
        if (query.contains("short") && field(query, "short").empty())
            return answerJson(e, 400, {{"message", "Bad request"}});
        answerJson(
            e, 201,
            {{"message", "Added!"}, {"short", codes->codeFor(longUrl, false)}, {"long", longUrl}});
    });
}

void serveXgd(TestServer& server, std::string key) {
    auto codes = std::make_shared<Codes>();
    server.route("/V1/shorten", [=](Exchange& e) {
        const RecordedRequest& r = e.request();
        const Fields query = queryOf(r);
        // Failures are 200 replies with the status inside.
        auto refuse = [&](int status, const std::string& message) {
            answerJson(e, 200, {{"status", status}, {"message", message}});
        };
        if (r.method != "GET") return refuse(400, "Method not allowed.");
        if (field(query, "key") != key) return refuse(401, "Invalid API key.");
        const std::string longUrl = field(query, "url");
        if (!isLongUrl(longUrl)) return refuse(400, "Invalid URL.");
        if (query.contains("shortid") && field(query, "shortid").size() < 6)
            return refuse(400, "Invalid shortid.");
        answerJson(e, 200,
                   {{"status", 200},
                    {"shorturl", "https://x.gd/" + codes->codeFor(longUrl, false)},
                    {"analytics", true},
                    {"filterbots", false},
                    {"originalurl", longUrl}});
    });
}

void serveBlink(TestServer& server, std::string email, std::string password, std::string domainId) {
    struct Session {
        std::mutex mutex;
        int issued = 0;
        std::string token;
    };
    auto session = std::make_shared<Session>();
    auto refuse = [](Exchange& e, int status, const std::string& message) {
        answerJson(e, status, {{"success", 0}, {"message", message}});
    };
    server.route("/api/v4/access_token", [=](Exchange& e) {
        const RecordedRequest& r = e.request();
        if (r.method != "POST") return refuse(e, 405, "Method Not Allowed");
        if (!sendsJson(r)) return refuse(e, 400, "The input data was invalid");
        const json body = objectOf(r);
        if (stringMember(body, "email") != email || stringMember(body, "password") != password)
            return refuse(e, 401, "The input auth data was invalid");
        std::lock_guard lock(session->mutex);
        session->token = "at-" + std::to_string(++session->issued);
        answerJson(e, 200, {{"success", 1}, {"access_token", session->token}});
    });
    auto codes = std::make_shared<Codes>();
    server.route("/api/v4/" + domainId + "/links", [=](Exchange& e) {
        const RecordedRequest& r = e.request();
        if (r.method != "POST") return refuse(e, 405, "Method Not Allowed");
        {
            std::lock_guard lock(session->mutex);
            if (session->token.empty() || bearerOf(r) != session->token)
                return refuse(e, 401, "Unauthorized");
        }
        if (!sendsJson(r)) return refuse(e, 400, "The input data was invalid");
        const json body = objectOf(r);
        const std::string url = stringMember(body, "url");
        if (!isLongUrl(url)) return refuse(e, 400, "The url field must be a valid URL.");
        if (body.contains("alias") && stringMember(body, "alias").empty())
            return refuse(e, 400, "The alias field must be a non-empty string.");
        const std::string code = stringMember(body, "alias").empty() ? codes->codeFor(url, false)
                                                                     : stringMember(body, "alias");
        answerJson(e, 200,
                   {{"success", 1},
                    {"objects",
                     {{{"id", 1},
                       {"url", url},
                       {"alias", code},
                       {"short_link", "https://bl.ink/" + code}}}}});
    });
}

}  // namespace lianshuo::test
