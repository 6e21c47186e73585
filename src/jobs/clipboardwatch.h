#pragma once
// What the clipboard watch does with a copied text: convert it when it is one
// long web address, leave it when it is anything else, already short, or the
// program's own last result. Copies made while one converts wait in order.

#include <cstddef>
#include <deque>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace lianshuo {

struct BuiltinHosts;

/// `text` without the spaces (full-width ones too) and line ends around it.
std::string trimmedCopy(std::string_view text);

class ClipboardWatch {
public:
    enum class Verdict { Convert, NotOneAddress, AlreadyShort, OwnResult };

    /// `shortHosts`: hosts whose addresses are short already (their subdomains too).
    explicit ClipboardWatch(std::vector<std::string> shortHosts);

    /// The built-in services' hosts (as set and by default) and the well-known short domains.
    static std::vector<std::string> knownShortHosts(const BuiltinHosts& hosts);

    /// What becomes of the copied `text` (GBK); its address is the text trimmed.
    Verdict judge(std::string_view text) const;
    /// Judges `text` and, when it is to be converted, queues its address
    /// unless that address already waits or converts.
    Verdict offer(std::string_view text);
    /// When none converts, takes the next waiting address and marks it converting.
    std::optional<std::string> next();
    /// The conversion under way has ended; a success's short address is the
    /// program's own last result from now on.
    void finished(const std::optional<std::string>& shortUrl);

    /// The program itself put `text` on the clipboard: it is its own last result.
    void ownCopy(std::string_view text) { lastResult_ = trimmedCopy(text); }

    bool converting() const { return converting_.has_value(); }
    std::size_t waiting() const { return waiting_.size(); }

    /// Why `verdict` leaves a text alone, for a conversion asked for by hand.
    static std::string refusal(Verdict verdict);

private:
    bool isShortHost(std::string_view address) const;

    std::vector<std::string> shortHosts_;
    std::deque<std::string> waiting_;
    std::optional<std::string> converting_;
    std::string lastResult_;
};

}  // namespace lianshuo
