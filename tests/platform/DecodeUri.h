#pragma once

#include <string>

namespace tavolin::test {

/// Reverses the %XX encoding of a file URI.
inline std::string DecodeUri(const std::string& uri) {
    std::string out;
    for (size_t i = 0; i < uri.size(); ++i) {
        if (uri[i] == '%' && i + 2 < uri.size()) {
            out += static_cast<char>(std::stoi(uri.substr(i + 1, 2), nullptr, 16));
            i += 2;
        } else {
            out += uri[i];
        }
    }
    return out;
}

}  // namespace tavolin::test
