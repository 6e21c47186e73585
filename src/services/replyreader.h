#pragma once
// Reads an interface's reply the way its extraction says: cut, JSON path,
// regular expression or reply header, and its error expression.

#include <optional>
#include <string>

#include "services/jsonpath.h"
#include "services/servicerequest.h"
#include "services/shorturlinterface.h"

namespace lianshuo {

class ReplyReader {
public:
    /// Both must outlive the reader.
    ReplyReader(const ShortUrlInterface& definition, const ServiceReply& reply)
        : d_(definition), reply_(reply) {}

    /// What the reply holds where the interface looks for the short address,
    /// before replace, prefix and suffix; empty when nothing is there.
    std::string shortUrlText();

    /// The service's own words where the error expression points, on one
    /// line; empty without an expression or a match.
    std::string errorText();

    /// Why a JSON reply nested too deep was not read; empty otherwise.
    std::string readProblem();

private:
    // Both JSON paths, read in one pass on first use.
    void readJson();

    const ShortUrlInterface& d_;
    const ServiceReply& reply_;
    bool read_ = false;
    std::string jsonProblem_;
    std::optional<JsonFound> shortUrl_, error_;
};

}  // namespace lianshuo
