#include "services/tokenrequest.h"

#include <ctime>

#include "base/gbk.h"
#include "base/helpers.h"
#include "http/charsets.h"
#include "services/interfacerequest.h"
#include "services/interfacerules.h"
#include "services/jsonpath.h"
#include "services/secretmask.h"
#include "services/servicerequest.h"
#include "services/templatesyntax.h"

namespace lianshuo {
namespace {

bool holdsControl(std::string_view text) {
    for (const char c : text)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) return true;
    return false;
}

// The first placeholder of `parts` (calls' arguments too) that names an address or an alias:
// the token is made once for a run, before any address is known.
std::string addressPlaceholderIn(const std::vector<TemplatePart>& parts) {
    for (const TemplatePart& part : parts) {
        switch (part.placeholder) {
            case Placeholder::LongUrl:
                return "#长网址#";
            case Placeholder::PlainLongUrl:
                return "#长网址原文#";
            case Placeholder::Alias:
                return "#别名#";
            case Placeholder::AliasOrNothing:
                return "#别名?#";
            case Placeholder::Call:
                if (std::string name = addressPlaceholderIn(part.argument); !name.empty())
                    return name;
                break;
            default:
                break;
        }
    }
    return {};
}

// One token request: the token, or the failure as the request ended. A reply without the
// token fails with kind TokenRequest and the whole reason in its message.
ConversionOutcome requestOnce(const ShortUrlInterface& t, const std::atomic<bool>* stop,
                              std::string& token) {
    FilledRequest filled = fillInterfaceRequest(t, {}, {});
    if (!filled.failure.ok()) return filled.failure;
    filled.request.cancel = stop;
    // The request object sends a POST without a body as a GET; a log-in by header is a POST.
    if (filled.request.post && filled.request.method.empty()) filled.request.method = "POST";
    // A JSON reply is UTF-8 whatever the charset the interface sends in.
    filled.request.charsetMode = kUtf8;
    const ServiceReply reply = sendServiceRequest(filled.request, filled.viaRequestObject);
    if (ConversionOutcome failure = replyFailure(reply); !failure.ok()) return failure;
    const auto found = findJsonValues(reply.text, {t.extractExpression});
    if (found && (*found)[0] &&
        ((*found)[0]->kind == JsonKind::Text || (*found)[0]->kind == JsonKind::Number) &&
        !trimWhiteSpace((*found)[0]->text).empty()) {
        token = (*found)[0]->text;
        return {};
    }
    // The reply itself is not quoted: besides a refusal's words it may hold another secret.
    const std::string words = serviceMessage(reply.text);
    return ConversionOutcome::failed(
        FailureKind::TokenRequest,
        "回复中没有令牌（" + t.extractExpression + "）" + (words.empty() ? "" : "：" + words));
}

}  // namespace

ShortUrlInterface tokenRequestInterface(const ShortUrlInterface& d) {
    ShortUrlInterface t;
    t.address = d.tokenUrl;
    t.utf8Encoding = d.utf8Encoding;
    setRequestMethod(t, d.tokenMethod.empty() ? "POST" : d.tokenMethod);
    t.headers = d.tokenHeaders;
    // Without a body (a log-in by header alone) there is no JSON to check.
    t.bodyFormat = d.tokenBody.empty() ? BodyFormat::Form : d.tokenBodyFormat;
    t.postTemplate = d.tokenBody;
    t.token = d.token;
    t.username = d.username;
    t.password = d.password;
    t.secretsInKeyring = d.secretsInKeyring;
    t.extractKind = ExtractKind::Json;
    t.extractExpression = d.tokenPath;
    return t;
}

void addTokenRequestProblems(const ShortUrlInterface& d, std::vector<std::string>& problems) {
    if (!hasTokenRequest(d)) {
        const bool any = !d.tokenMethod.empty() || !d.tokenHeaders.empty() ||
                         !d.tokenBody.empty() || !d.tokenPath.empty() ||
                         d.tokenLifetimeSeconds != 0 || d.tokenBodyFormat != BodyFormat::Json;
        if (any) problems.push_back("令牌请求的各项要有令牌地址才能使用");
        return;
    }
    if (holdsControl(d.tokenUrl)) problems.push_back("令牌地址含有换行或控制字符");
    const std::string method = toLowerAscii(d.tokenMethod);
    if (!method.empty() && method != "get" && method != "post")
        problems.push_back("令牌请求方法“" + d.tokenMethod + "”不受支持（GET 或 POST）");
    for (const std::string& line : headerLinesOf(d.tokenHeaders))
        if (const Status header = checkHeaderLine(line); !header)
            problems.push_back("令牌" + header.reason());
    for (const auto& [what, text] :
         {std::pair<const char*, const std::string&>{"令牌地址", d.tokenUrl},
          {"令牌请求头", d.tokenHeaders},
          {"令牌请求正文", d.tokenBody}}) {
        const auto parsed = parseTemplate(text);
        if (!parsed)
            problems.push_back(std::string(what) + "：" + parsed.reason());
        else if (const std::string name = addressPlaceholderIn(*parsed); !name.empty())
            problems.push_back(std::string(what) + "：令牌请求中不能用 " + name);
    }
    const int format = static_cast<int>(d.tokenBodyFormat);
    if (format != 0 && format != 1)
        problems.push_back("令牌请求格式 " + std::to_string(format) +
                           " 不受支持（0 表单或 1 JSON）");
    if (d.tokenPath.empty())
        problems.push_back("令牌提取为空：应为回复中令牌所在的 JSON 路径");
    else if (const Status path = checkJsonPath(d.tokenPath); !path)
        problems.push_back("令牌提取：" + path.reason());
    if (d.tokenLifetimeSeconds < 0 || d.tokenLifetimeSeconds > kLongestTokenLifetime)
        problems.push_back("令牌有效秒应在 0 到 " + std::to_string(kLongestTokenLifetime) +
                           " 之间");
}

ObtainedToken obtainToken(const ShortUrlInterface& d, const TokenRetry& retry,
                          const std::atomic<bool>* stop) {
    static const std::atomic<bool> kNeverStopped{false};
    const std::atomic<bool>& stopped = stop != nullptr ? *stop : kNeverStopped;
    const ShortUrlInterface t = tokenRequestInterface(d);
    ObtainedToken out;
    ConversionOutcome ended = requestOnce(t, stop, out.token);
    long delayMs = retry.firstDelayMs;
    for (int tries = 0; tries < retry.retries && ended.retryable && !stopped; ++tries) {
        const long waitMs =
            ended.retryAfterSeconds >= 0 ? std::min(ended.retryAfterSeconds, 60L) * 1000 : delayMs;
        waitInterruptibly(waitMs, stopped);
        if (stopped) break;
        ended = requestOnce(t, stop, out.token);
        delayMs *= 2;
    }
    if (ended.ok()) return out;
    if (stopped || ended.failure == FailureKind::Stopped) {
        out.failure = ConversionOutcome::failed(FailureKind::Stopped, {});
        return out;
    }
    const std::string reason =
        ended.failure == FailureKind::TokenRequest ? ended.message : ended.reason();
    out.failure = ConversionOutcome::failed(FailureKind::TokenRequest,
                                            SecretMask(interfaceSecrets(d)).apply(reason));
    return out;
}

}  // namespace lianshuo
