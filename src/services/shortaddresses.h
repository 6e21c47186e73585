#pragma once
// Which addresses are short already: those on the hosts of short-link
// services (the built-in ones, the presets' short domains, hosts the user
// names) and every short address the history keeps, matched as a whole
// address, since a self-hosted service may share its host with ordinary
// pages. The file converter asks for every address it finds, so a question
// costs a host cut and a hash look-up or two.

#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "base/result.h"
#include "services/builtinhosts.h"

namespace lianshuo {

class ConversionMemory;

class ShortAddressBook {
public:
    /// A host ("t.cn") or a host and port ("s.example:8080"), any letter case;
    /// a host without a port stands for every port.
    void addHost(std::string_view host);
    /// A short address and the long one it stands for (GBK).
    void addAddress(std::string_view shortUrl, std::string_view longUrl);

    /// On one of the hosts, or one of the short addresses added.
    bool isKnown(std::string_view url) const { return onHost(url) || longOf(url) != nullptr; }
    /// On one of the hosts.
    bool onHost(std::string_view url) const;
    /// The long address added for `shortUrl`, or null.
    const std::string* longOf(std::string_view shortUrl) const;

private:
    std::unordered_set<std::string> hosts_, hostPorts_;
    std::unordered_map<std::string, std::string> addresses_;  // by addressKey()
};

/// The parts of an http(s) address a host rule looks at: the host in lower
/// case and the port as written (empty when none). False for anything else.
bool splitAuthority(std::string_view url, std::string& host, std::string& port);

/// The hosts of the built-in services and the presets' short domains.
ShortAddressBook standardShortAddresses(const BuiltinHosts& hosts);

/// "H1,H2" into hosts (each a host or host:port; blanks around a comma are
/// dropped); fails naming the first entry that is no host.
Result<std::vector<std::string>> parseHostList(std::string_view text);

/// Adds every short address `memory` keeps.
Status addKeptAddresses(ShortAddressBook& book, ConversionMemory& memory);

/// The history key under which an expanded address is kept: the short address's host.
std::string expandedHistoryKey(std::string_view shortUrl);

}  // namespace lianshuo
