#include "platform/UserMessages.h"

#include <cstdio>

#include "util/Cp1252.h"

namespace tavolin {

void PrintUserMessage(const UserMessage& m) {
    std::string line = Cp1252ToUtf8(m.caption) + ": " + Cp1252ToUtf8(m.text);
    for (char& c : line) {
        if (c == '\n' || c == '\r') c = ' ';
    }
    std::fprintf(stderr, "%s\n", line.c_str());
}

}  // namespace tavolin
